// The decompressing stream against a plain library decode of the same bytes, driven by
// a sequence of reads and seeks that the input chooses. Layout of an input:
//   flags (bit 0: compress the payload first; bits 1-3: block size; bits 4-6: bytes
//   before the stream), op count, 3 bytes per op (kind, 16-bit argument), then with
//   bit 0 a mutation count and 3 bytes per mutation (16-bit offset, xor), then the payload.
#include <algorithm>
#include <bzlib.h>
#include <cstring>
#include <string>

#include "FuzzUtil.h"
#include "compress/BZip2.h"
#include "platform/MemoryStream.h"

namespace {

using lwfuzz::Bytes;

using lwfuzz::Reader;

// What the library itself makes of the bytes, fed whole, up to a cap.
struct Reference {
    Bytes out;
    bool ended = false;    // the end-of-stream marker was reached
    bool trailing = false; // bytes follow it
    bool capped = false;   // stopped at the cap before anything else happened
    bool failed = false;   // a data error: the library may have made bytes it does not count
    // Whether out is all there is; otherwise only its bytes are known.
    bool Complete() const { return !capped && !failed; }
};

constexpr size_t kCap = 1 << 20;

Reference Decode(const Bytes& in)
{
    Reference ref;
    bz_stream z{};
    if (BZ2_bzDecompressInit(&z, 0, 0) != BZ_OK)
        std::abort();
    z.next_in = const_cast<char*>(reinterpret_cast<const char*>(in.data()));
    z.avail_in = static_cast<unsigned>(in.size());
    ref.out.resize(kCap);
    z.next_out = reinterpret_cast<char*>(ref.out.data());
    z.avail_out = kCap;
    for (;;) {
        const unsigned outBefore = z.avail_out;
        const unsigned inBefore = z.avail_in;
        const int rc = BZ2_bzDecompress(&z);
        if (rc == BZ_STREAM_END) {
            ref.ended = true;
            ref.trailing = z.avail_in > 0;
            break;
        }
        if (rc != BZ_OK) {
            ref.failed = true;
            break;
        }
        if (z.avail_out == 0) {
            ref.capped = true;
            break;
        }
        if (z.avail_in == inBefore && z.avail_out == outBefore)
            break; // input ran out before the end marker
    }
    ref.out.resize(kCap - z.avail_out);
    BZ2_bzDecompressEnd(&z);
    return ref;
}

bool Expected(const std::string& message)
{
    return message == lw::kInvalidStreamOperation || message == "Stream read error" || message.starts_with("error -");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Reader in(data, size);
    const uint8_t flags = in.Byte();
    const unsigned opCount = in.Byte() % 33;
    struct Op {
        uint8_t kind;
        unsigned arg;
    };
    std::vector<Op> ops;
    for (unsigned i = 0; i < opCount; ++i) {
        const uint8_t kind = in.Byte();
        ops.push_back({kind, in.Word()});
    }
    struct Mutation {
        unsigned offset;
        uint8_t mask;
    };
    std::vector<Mutation> mutations;
    if (flags & 1) {
        const unsigned count = in.Byte() % 5;
        for (unsigned i = 0; i < count; ++i) {
            const unsigned offset = in.Word();
            mutations.push_back({offset, in.Byte()});
        }
    }
    Bytes payload = in.Rest();

    Bytes stream = payload;
    if (flags & 1) {
        // A real stream of the payload, then damaged where the input says.
        stream.resize(payload.size() + payload.size() / 100 + 700);
        unsigned length = static_cast<unsigned>(stream.size());
        const int blockSize = (flags >> 1) % 9 + 1;
        char none = 0; // the library refuses a null source even for 0 bytes
        if (BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(stream.data()), &length,
                                     payload.empty() ? &none : reinterpret_cast<char*>(payload.data()),
                                     static_cast<unsigned>(payload.size()), blockSize, 0, 0) != BZ_OK)
            std::abort();
        stream.resize(length);
        for (const auto& m : mutations)
            stream[m.offset % stream.size()] ^= m.mask;
    }
    const size_t start = (flags >> 4) & 7;
    Bytes source(start, 'P');
    source.insert(source.end(), stream.begin(), stream.end());

    const Reference fromStart = Decode(stream);
    const Reference fromZero = start == 0 ? fromStart : Decode(source);
    if ((flags & 1) && mutations.empty())
        FUZZ_CHECK(fromStart.ended && !fromStart.trailing && fromStart.out == payload);

    lw::TMemoryStream underlying;
    underlying.WriteBuffer(source);
    underlying.SetPosition(static_cast<int64_t>(start));
    lw::TBZDecompressionStream unpacker(underlying);

    const Reference* ref = &fromStart;
    int64_t pos = 0;
    bool broken = false; // a library failure came out: only a rewind is defined now
    Bytes buffer;
    for (const auto& op : ops) {
        if (broken && op.kind % 8 != 1)
            continue;
        try {
            switch (op.kind % 8) {
            case 0: { // read
                buffer.assign(op.arg + (op.kind & 0x80 ? 65536u : 0u), 0xA5);
                const int64_t got = unpacker.Read(buffer);
                FUZZ_CHECK(got >= 0 && got <= static_cast<int64_t>(buffer.size()));
                const auto end = static_cast<size_t>(pos + got);
                const auto known = static_cast<size_t>(
                    std::max<int64_t>(0, std::min<int64_t>(got, static_cast<int64_t>(ref->out.size()) - pos)));
                if (known > 0)
                    FUZZ_CHECK(std::equal(buffer.begin(), buffer.begin() + known, ref->out.begin() + pos));
                FUZZ_CHECK(end <= ref->out.size() || !ref->Complete());
                if (got < static_cast<int64_t>(buffer.size()))
                    FUZZ_CHECK(ref->ended && !ref->trailing && end == ref->out.size());
                pos += got;
                break;
            }
            case 1: // rewind to the very start of the source
                FUZZ_CHECK(unpacker.Seek(0, lw::TSeekOrigin::soBeginning) == 0);
                ref = &fromZero;
                pos = 0;
                broken = false;
                break;
            case 2: // skip forward from here
                FUZZ_CHECK(unpacker.Seek(op.arg, lw::TSeekOrigin::soCurrent) == pos + op.arg);
                pos += op.arg;
                FUZZ_CHECK(!ref->Complete() || pos <= static_cast<int64_t>(ref->out.size()));
                break;
            case 3: // skip forward to an absolute position; 0 at the start rewinds
                if (op.arg > 0) {
                    FUZZ_CHECK(unpacker.Seek(pos + op.arg, lw::TSeekOrigin::soBeginning) == pos + op.arg);
                    pos += op.arg;
                    FUZZ_CHECK(!ref->Complete() || pos <= static_cast<int64_t>(ref->out.size()));
                } else if (pos == 0) {
                    FUZZ_CHECK(unpacker.Seek(0, lw::TSeekOrigin::soBeginning) == 0);
                    ref = &fromZero;
                } else {
                    bool refused = false;
                    try {
                        unpacker.Seek(pos, lw::TSeekOrigin::soBeginning);
                    } catch (const lw::EBZDecompressionError& e) {
                        refused = e.Message() == lw::kInvalidStreamOperation;
                    }
                    FUZZ_CHECK(refused);
                }
                break;
            case 4: { // refused: backwards, from the end, size
                bool refused = false;
                try {
                    if (op.arg % 3 == 0)
                        unpacker.Seek(-1 - int64_t(op.arg), lw::TSeekOrigin::soCurrent);
                    else if (op.arg % 3 == 1)
                        unpacker.Seek(op.arg, lw::TSeekOrigin::soEnd);
                    else
                        unpacker.Size();
                } catch (const lw::EBZDecompressionError& e) {
                    refused = e.Message() == lw::kInvalidStreamOperation;
                }
                FUZZ_CHECK(refused);
                break;
            }
            case 5: { // refused: writing
                bool refused = false;
                try {
                    const uint8_t byte = 0;
                    unpacker.Write(std::span(&byte, op.arg % 2));
                } catch (const lw::EBZDecompressionError& e) {
                    refused = e.Message() == lw::kInvalidStreamOperation;
                }
                FUZZ_CHECK(refused);
                break;
            }
            case 6: // someone else moves the source
                underlying.SetPosition(op.arg % (source.size() + 1));
                break;
            case 7: FUZZ_CHECK(unpacker.Position() == pos); break;
            }
        } catch (const lw::Exception& e) {
            FUZZ_CHECK(Expected(e.Message()));
            broken = true;
        }
    }
    return 0;
}
