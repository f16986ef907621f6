// The parallel decompressor against the single library stream over the same source: same
// count on every read, same bytes, same error message. Layout of an input:
//   flags (bit 0: compress the payload first; bits 1-4: block size; bits 5-6: threads
//   1-3; bit 7: blocks through the library only), copies (the payload is repeated this
//   many times, each copy's first byte counting up, to make streams of several blocks),
//   source piece (16 bits), read sizes (count, then 24 bits each), flips (count, then
//   24-bit byte offset and xor each), payload.
#include <bzlib.h>
#include <stdexcept>
#include <string>

#include "FuzzUtil.h"
#include "compress/BZip2.h"
#include "compress/ParallelBZip2Decompressor.h"

namespace {

using lwfuzz::Bytes;

class Reader {
public:
    Reader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    unsigned Word() { return Byte() | (unsigned(Byte()) << 8); }
    unsigned Triple() { return Word() | (unsigned(Byte()) << 16); }
    Bytes Rest() { return Bytes(m_data + std::min(m_pos, m_size), m_data + m_size); }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// Forward only, at most `piece` bytes a read, as a decrypting source gives them.
class TSource : public lw::TStream {
public:
    TSource(const Bytes& data, size_t piece) : m_data(data), m_piece(piece) {}
    int64_t Read(std::span<uint8_t> buffer) override
    {
        const size_t n = std::min({buffer.size(), m_piece, m_data.size() - m_at});
        std::copy_n(m_data.begin() + static_cast<ptrdiff_t>(m_at), n, buffer.begin());
        m_at += n;
        return static_cast<int64_t>(n);
    }
    int64_t Write(std::span<const uint8_t>) override { throw std::logic_error("write"); }
    int64_t Seek(int64_t offset, lw::TSeekOrigin origin) override
    {
        FUZZ_CHECK(offset == 0 && origin == lw::TSeekOrigin::soCurrent);
        return static_cast<int64_t>(m_at);
    }

private:
    const Bytes& m_data;
    size_t m_piece;
    size_t m_at = 0;
};

struct TTrace {
    std::vector<int64_t> counts;
    Bytes data;
    std::string error;
};

TTrace Trace(lw::TStream& stream, const std::vector<size_t>& sizes)
{
    TTrace t;
    Bytes buf;
    // Tiny reads of a long output stop early; both streams get the same reads either way.
    for (size_t i = 0; i < 20000; ++i) {
        buf.resize(sizes[i % sizes.size()]);
        int64_t n = 0;
        try {
            n = stream.Read(buf);
        } catch (const lw::EBZDecompressionError& e) {
            t.error = e.what();
            return t;
        }
        t.counts.push_back(n);
        t.data.insert(t.data.end(), buf.begin(), buf.begin() + n);
        if (n == 0)
            return t;
    }
    return t;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Reader in(data, size);
    const uint8_t flags = in.Byte();
    const unsigned copies = in.Byte() % 64 + 1;
    const size_t piece = in.Word() + 1;
    std::vector<size_t> sizes;
    for (unsigned i = 0, n = in.Byte() % 4 + 1; i < n; ++i)
        sizes.push_back(in.Triple() % (3u << 20) + 1);
    std::vector<std::pair<unsigned, uint8_t>> flips;
    for (unsigned i = 0, n = in.Byte() % 5; i < n; ++i) {
        const unsigned at = in.Triple();
        flips.push_back({at, in.Byte()});
    }
    const Bytes payload = in.Rest();

    Bytes stream = payload;
    if (flags & 1) {
        Bytes plain;
        for (unsigned c = 0; c < copies; ++c) {
            plain.insert(plain.end(), payload.begin(), payload.end());
            if (!payload.empty())
                plain[plain.size() - payload.size()] += static_cast<uint8_t>(c);
        }
        stream.resize(plain.size() + plain.size() / 50 + 700);
        auto length = static_cast<unsigned>(stream.size());
        char none = 0;
        FUZZ_CHECK(BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(stream.data()), &length,
                                            plain.empty() ? &none : reinterpret_cast<char*>(plain.data()),
                                            static_cast<unsigned>(plain.size()), (flags >> 1) % 9 + 1, 0, 0) == BZ_OK);
        stream.resize(length);
    }
    if (!stream.empty())
        for (const auto& [at, mask] : flips)
            stream[at % stream.size()] ^= mask;

    TSource single(stream, piece);
    lw::TBZDecompressionStream reference(single);
    const TTrace want = Trace(reference, sizes);

    TSource source(stream, piece);
    lw::TParallelBZDecompressor parallel(source, (flags >> 5) % 3 + 1);
    if (flags & 0x80)
        parallel.UseLibraryForBlocks();
    const TTrace got = Trace(parallel, sizes);
    FUZZ_CHECK(got.error == want.error);
    FUZZ_CHECK(got.counts == want.counts);
    FUZZ_CHECK(got.data == want.data);
    if ((flags & 1) && flips.empty())
        FUZZ_CHECK(want.error.empty());
    return 0;
}
