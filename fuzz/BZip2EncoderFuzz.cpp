// Our block coder against the library's: any data through the parallel compressor (our
// coder, the library for blocks whose rotations tie) must give the very stream the library
// writes in one call. Layout of an input:
//   flags (bits 0-3: level, 0 read as 1; bits 4-5: shape; bits 6-7: threads 1-3),
//   length (24 bits: what the shapes grow the payload to), payload.
// Shapes: 0 the payload as it is; 1 the payload repeated to the length (ties); 2 the
// same with one byte changed in the middle (no ties, long equal stretches); 3 each payload
// byte a run of its own low six bits plus one, repeated to the length.
#include <bzlib.h>

#include "FuzzUtil.h"
#include "compress/ParallelBZip2Compressor.h"
#include "platform/MemoryStream.h"

namespace {

using lwfuzz::Bytes;

constexpr size_t kMaxLength = 1 << 20;

Bytes Shape(unsigned shape, size_t length, const Bytes& payload)
{
    if (shape == 0 || payload.empty())
        return payload;
    Bytes unit = payload;
    if (shape == 3) {
        unit.clear();
        for (const uint8_t b : payload)
            unit.insert(unit.end(), (b & 63u) + 1, b);
    }
    Bytes out;
    while (out.size() < length)
        out.insert(out.end(), unit.begin(), unit.end());
    out.resize(std::max(length, payload.size()));
    if (shape == 2)
        out[out.size() / 2] ^= 0x5a;
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size)
{
    lwfuzz::Reader in(input, size);
    const unsigned flags = in.Byte();
    const size_t length = std::min<size_t>(in.Word() | (size_t{in.Byte()} << 16), kMaxLength);
    const int level = std::max(1u, flags & 15u) > 9 ? 9 : static_cast<int>(std::max(1u, flags & 15u));
    const Bytes data = Shape((flags >> 4) & 3u, length, in.Take(size));

    Bytes library(data.size() + data.size() / 100 + 600);
    auto libraryLength = static_cast<unsigned>(library.size());
    Bytes source = data.empty() ? Bytes(1) : data; // the library refuses a null source
    FUZZ_CHECK(BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(library.data()), &libraryLength,
                                        reinterpret_cast<char*>(source.data()), static_cast<unsigned>(data.size()),
                                        level, 0, 30) == BZ_OK);
    library.resize(libraryLength);

    lw::TMemoryStream out;
    lw::TParallelBZCompressor packer(static_cast<lw::TBlockSize100k>(level - 1), out, 1 + (flags >> 6) % 3);
    packer.WriteBuffer(data);
    packer.Finish();
    FUZZ_CHECK(out.Data() == library);
    return 0;
}
