#include "compress/BZip2BlockJob.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "compress/BZip2BlockDecoder.h"
#include "compress/BZip2Format.h"
#include "compress/BZip2Library.h"

namespace lw::bz {

namespace {

// A block that decodes to more than this is left to the single stream, keeping memory bounded.
constexpr size_t kMaxBlockOutput = size_t{3} << 20;

} // namespace

void TBlockOutput::Reserve(size_t size)
{
    if (capacity >= size)
        return;
    data.reset();
    data = std::make_unique_for_overwrite<uint8_t[]>(size);
    capacity = size;
}

void TBlockOutput::Grow(size_t size, size_t keep)
{
    auto bigger = std::make_unique_for_overwrite<uint8_t[]>(size);
    std::memcpy(bigger.get(), data.get(), keep);
    data = std::move(bigger);
    capacity = size;
}

// Our decoder first; a block it refuses may still be one the library takes whole.
void TBlockJob::Decode(TBZBlockDecoder& decoder) noexcept
{
    try {
        output.Reserve(std::min(kMaxBlockOutput, size_t{150000} * static_cast<size_t>(level)));
        const auto bits = static_cast<uint64_t>(endBit - startBit);
        if (!libraryOnly && decoder.Read(input, kHeaderBits, kHeaderBits + bits, level)) {
            TBZBlockResult r = decoder.Write(std::span(output.data.get(), output.capacity), size);
            if (r == TBZBlockResult::outputFull && output.capacity < kMaxBlockOutput) {
                output.Reserve(kMaxBlockOutput);
                r = decoder.Write(std::span(output.data.get(), output.capacity), size);
            }
            ok = r == TBZBlockResult::ok;
        }
        if (!ok)
            DecodeWithLibrary();
    } catch (...) {
        error = std::current_exception();
    }
}

void TBlockJob::DecodeWithLibrary()
{
    TLibStream d(TLibStream::TMode::decompress);
    bz_stream& z = d.z;
    z.next_in = reinterpret_cast<char*>(input.data());
    z.avail_in = static_cast<unsigned>(input.size());
    size_t produced = 0;
    for (;;) {
        z.next_out = reinterpret_cast<char*>(output.data.get() + produced);
        z.avail_out = static_cast<unsigned>(output.capacity - produced);
        const int rc = BZ2_bzDecompress(&z);
        produced = output.capacity - z.avail_out;
        if (rc == BZ_STREAM_END) {
            ok = z.avail_in == 0;
            break;
        }
        if (rc == BZ_MEM_ERROR)
            throw std::bad_alloc();
        if (rc != BZ_OK)
            break;
        if (z.avail_out == 0) {
            if (output.capacity >= kMaxBlockOutput)
                break;
            output.Grow(std::min(kMaxBlockOutput, output.capacity * 2), produced);
        } else if (z.avail_in == 0) {
            break;
        }
    }
    size = ok ? produced : 0;
}

} // namespace lw::bz
