#pragma once
// Inputs, references and stream doubles shared by the bzip2 stream tests.
#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestUtil.h"
#include "compress/BZip2.h"
#include "platform/MemoryStream.h"

#include <bzlib.h>
#include <stdexcept>

namespace bztest {

using lwtest::Bytes;

inline Bytes PseudoText(size_t n, uint32_t seed)
{
    static const char* words[] = {"the ",      "key ", "phrase ", "file ",   "cipher ",      "block ",
                                  "stream ",   "of ",  "and ",    "wipe ",   "Lockwell\r\n", "7 ",
                                  "compress ", "to ",  "a ",      "folder ", "mail ",        "\t"};
    std::mt19937 rng(seed);
    Bytes out;
    out.reserve(n + 16);
    while (out.size() < n) {
        const char* w = words[rng() % std::size(words)];
        out.insert(out.end(), w, w + std::char_traits<char>::length(w));
    }
    out.resize(n);
    return out;
}

// Runs of every length from 1 to 600, straddling the run-length stage's limits.
inline Bytes LongRuns()
{
    Bytes out(300000, 'A');
    for (size_t len = 1; len <= 600; ++len)
        out.insert(out.end(), len, static_cast<uint8_t>(len % 7));
    return out;
}

struct NamedInput {
    std::string name;
    Bytes data;
};

inline void PrintTo(const NamedInput& in, std::ostream* os)
{
    *os << in.name;
}

inline const std::vector<NamedInput>& Inputs()
{
    static const std::vector<NamedInput> inputs = {
        {"empty", {}},
        {"one_byte", {'a'}},
        {"small", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'b', 'z', 'i', 'p', '2', '\n'}},
        {"text", PseudoText(50000, 1)},
        {"random", lwtest::RandomBytes(150000, 2)},
        {"long_runs", LongRuns()},
        {"multi_block", PseudoText(1200000, 3)},
    };
    return inputs;
}

inline const Bytes& MultiBlock()
{
    return Inputs().back().data;
}

// Equality of byte strings without printing megabytes on failure.
inline ::testing::AssertionResult Same(const Bytes& got, const Bytes& want)
{
    if (got == want)
        return ::testing::AssertionSuccess();
    const auto at = std::mismatch(got.begin(), got.end(), want.begin(), want.end()).first - got.begin();
    return ::testing::AssertionFailure() << "sizes " << got.size() << " and " << want.size() << ", first difference at "
                                         << at;
}

inline void Fill(lw::TMemoryStream& stream, const Bytes& data)
{
    stream.WriteBuffer(data);
    stream.SetPosition(0);
}

// Writes in pieces of `piece` bytes (0: all at once) and finishes.
inline Bytes Compress(const Bytes& data, size_t piece = 0, lw::TBlockSize100k size = lw::TBlockSize100k::bs5)
{
    lw::TMemoryStream dest;
    lw::TBZCompressionStream bz(size, dest);
    if (piece == 0)
        piece = std::max<size_t>(data.size(), 1);
    for (size_t at = 0; at < data.size(); at += piece) {
        const size_t n = std::min(piece, data.size() - at);
        EXPECT_EQ(bz.Write(std::span(data.data() + at, n)), static_cast<int64_t>(n));
    }
    bz.Finish();
    return dest.Data();
}

// Reads in pieces until 0. A read count far beyond the output size means a loop.
inline Bytes Decompress(const Bytes& compressed, size_t piece = 4096)
{
    lw::TMemoryStream src;
    Fill(src, compressed);
    lw::TBZDecompressionStream bz(src);
    Bytes out, buf(piece);
    for (size_t reads = 0;; ++reads) {
        if (reads > 100000000 / piece + 1000)
            throw std::runtime_error("decompression does not end");
        const int64_t n = bz.Read(buf);
        if (n == 0)
            break;
        out.insert(out.end(), buf.begin(), buf.begin() + n);
    }
    return out;
}

// The message of the EBZDecompressionError that decompressing raises, or "" for none.
// The error carries the library's code that its message gives.
inline std::string DecompressError(const Bytes& compressed)
{
    try {
        Decompress(compressed);
    } catch (const lw::EBZDecompressionError& e) {
        EXPECT_EQ("error " + std::to_string(e.Code()), e.Message());
        return e.what();
    }
    return "";
}

inline Bytes LibraryCompress(const Bytes& data, int level)
{
    unsigned int size = static_cast<unsigned int>(data.size() + data.size() / 100 + 600);
    Bytes out(size);
    // The library refuses a null source even when it is empty.
    Bytes in = data.empty() ? Bytes(1) : data;
    const int rc =
        BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(out.data()), &size, reinterpret_cast<char*>(in.data()),
                                 static_cast<unsigned int>(data.size()), level, 0, 30);
    if (rc != BZ_OK)
        throw std::runtime_error("BZ2_bzBuffToBuffCompress: " + std::to_string(rc));
    out.resize(size);
    return out;
}

#ifdef _WIN32
// Python's bz2 and the bzip2 command are both this library underneath, and neither runs
// under Wine: there the library built from the same source is called directly, which gives
// the same bytes.
inline Bytes LibraryDecompress(const Bytes& data)
{
    bz_stream s{};
    if (BZ2_bzDecompressInit(&s, 0, 0) != BZ_OK)
        throw std::runtime_error("BZ2_bzDecompressInit");
    Bytes in = data;
    Bytes out;
    char chunk[65536];
    s.next_in = reinterpret_cast<char*>(in.data());
    s.avail_in = static_cast<unsigned int>(in.size());
    int rc = BZ_OK;
    while (rc == BZ_OK) {
        s.next_out = chunk;
        s.avail_out = sizeof chunk;
        rc = BZ2_bzDecompress(&s);
        out.insert(out.end(), chunk, s.next_out);
        if (rc == BZ_OK && s.avail_in == 0 && s.avail_out != 0)
            break;
    }
    BZ2_bzDecompressEnd(&s);
    if (rc != BZ_STREAM_END)
        throw std::runtime_error("BZ2_bzDecompress: " + std::to_string(rc));
    return out;
}

inline Bytes PyCompress(const Bytes& data, int level)
{
    return LibraryCompress(data, level);
}

inline Bytes PyDecompress(const Bytes& data)
{
    return LibraryDecompress(data);
}

inline Bytes CommandCompress(const Bytes& data, int level)
{
    return LibraryCompress(data, level);
}

inline Bytes CommandDecompress(const Bytes& data)
{
    return LibraryDecompress(data);
}
#else
inline Bytes PyCompress(const Bytes& data, int level)
{
    return lwtest::RunPython(
        "import sys, bz2\n"
        "sys.stdout.buffer.write(bz2.compress(sys.stdin.buffer.read(), " +
            std::to_string(level) + "))",
        data);
}

inline Bytes PyDecompress(const Bytes& data)
{
    return lwtest::RunPython("import sys, bz2\nsys.stdout.buffer.write(bz2.decompress(sys.stdin.buffer.read()))", data);
}

// The bzip2 command, a second reference beside Python's module.
inline Bytes CommandCompress(const Bytes& data, int level)
{
    return lwtest::RunProgram({"bzip2", "-" + std::to_string(level), "-c"}, data);
}

inline Bytes CommandDecompress(const Bytes& data)
{
    return lwtest::RunProgram({"bzip2", "-dc"}, data);
}
#endif

// A destination that takes at most `capacity` bytes in all, then refuses.
class TRefusingStream : public lw::TStream {
public:
    explicit TRefusingStream(size_t capacity) : m_capacity(capacity) {}
    int64_t Read(std::span<uint8_t>) override { return 0; }
    int64_t Write(std::span<const uint8_t> buffer) override
    {
        const size_t n = std::min(buffer.size(), m_capacity - m_taken);
        m_taken += n;
        m_position += static_cast<int64_t>(n);
        return static_cast<int64_t>(n);
    }
    int64_t Seek(int64_t offset, lw::TSeekOrigin origin) override
    {
        if (origin == lw::TSeekOrigin::soCurrent)
            offset += m_position;
        else if (origin == lw::TSeekOrigin::soEnd)
            offset += static_cast<int64_t>(m_taken);
        return m_position = offset;
    }
    size_t Taken() const { return m_taken; }

private:
    size_t m_capacity;
    size_t m_taken = 0;
    int64_t m_position = 0;
};

} // namespace bztest
