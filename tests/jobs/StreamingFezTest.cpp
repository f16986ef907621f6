// The streamed ".fez" path against the in-memory one it replaced: the same bytes for
// every cipher and every size around the 8,192-byte pieces, both ways.
#include <memory>
#include <random>

#include <gtest/gtest.h>

#include "TestUtil.h"
#include "compress/BZip2.h"
#include "jobs/CipherFactory.h"
#include "jobs/CipherPieceStreams.h"
#include "jobs/JobSteps.h"
#include "platform/MemoryStream.h"

namespace {

using lwtest::Bytes;

std::unique_ptr<lw::TDCP_cipher> Keyed(int index)
{
    auto cipher = lw::CreateCipher(index);
    lw::job::KeyCipher(cipher.get(), "streaming phrase");
    return cipher;
}

void Fill(lw::TMemoryStream& s, const Bytes& data)
{
    s.WriteBuffer(data);
    s.SetPosition(0);
}

Bytes InMemory(int cipher, const Bytes& data, bool decrypt)
{
    lw::TMemoryStream in;
    Fill(in, data);
    lw::TMemoryStream out;
    auto c = Keyed(cipher);
    const uint64_t done = decrypt ? c->StreamDecrypt(in, out, data.size()) : c->StreamEncrypt(in, out, data.size());
    EXPECT_EQ(done, data.size());
    return out.Data();
}

// Writes or reads in uneven amounts, so pieces never line up with the calls.
Bytes Streamed(int cipher, const Bytes& data, bool decrypt, uint32_t seed)
{
    std::mt19937 rng(seed);
    auto amount = [&] { return static_cast<size_t>(rng() % 3 == 0 ? rng() % 20000 : rng() % 300); };
    auto c = Keyed(cipher);
    lw::TMemoryStream out;
    if (!decrypt) {
        lw::job::TCipherWriteStream sealed(*c, out);
        for (size_t at = 0; at < data.size();) {
            const size_t n = std::min(amount(), data.size() - at);
            sealed.WriteBuffer(std::span(data).subspan(at, n));
            at += n;
        }
        EXPECT_EQ(sealed.Position(), static_cast<int64_t>(data.size()));
        sealed.Finish();
        return out.Data();
    }
    lw::TMemoryStream in;
    Fill(in, data);
    lw::job::TCipherReadStream opened(*c, in, data.size());
    Bytes piece(20000);
    for (;;) {
        const int64_t n = opened.Read(std::span(piece).first(amount()));
        if (n == 0 && opened.Consumed() == data.size())
            break;
        out.WriteBuffer(std::span(piece).first(static_cast<size_t>(n)));
    }
    EXPECT_EQ(opened.Position(), static_cast<int64_t>(data.size()));
    return out.Data();
}

const std::vector<size_t>& Sizes()
{
    static const std::vector<size_t> sizes = {0,
                                              1,
                                              15,
                                              16,
                                              17,
                                              8191,
                                              8192,
                                              8193,
                                              16383,
                                              16384,
                                              16385,
                                              65535,
                                              65536,
                                              65537,
                                              81919,
                                              81921,
                                              3 * 1048576 - 1,
                                              3 * 1048576 + 8191};
    return sizes;
}

class StreamingPieces : public ::testing::TestWithParam<int> {};

TEST_P(StreamingPieces, SameBytesAsTheInMemoryPathBothWays)
{
    const int cipher = GetParam();
    for (size_t size : Sizes()) {
        const Bytes data = lwtest::RandomBytes(size, static_cast<uint32_t>(size + 1));
        for (bool decrypt : {false, true})
            ASSERT_EQ(Streamed(cipher, data, decrypt, static_cast<uint32_t>(size)), InMemory(cipher, data, decrypt))
                << (decrypt ? "decrypt " : "encrypt ") << size;
    }
}

INSTANTIATE_TEST_SUITE_P(AllCiphers, StreamingPieces, ::testing::Values(0, 1, 2, 3));

// The old job steps: the whole stream in memory between the two stages.
Bytes OldEncrypt(int cipher, const Bytes& data)
{
    lw::TMemoryStream source;
    Fill(source, data);
    lw::TMemoryStream packed;
    {
        lw::TBZCompressionStream packer(lw::TBlockSize100k::bs5, packed);
        packer.CopyFrom(source, 0);
        packer.Finish();
    }
    packed.SetPosition(0);
    lw::TMemoryStream out;
    Keyed(cipher)->StreamEncrypt(packed, out, packed.Size());
    return out.Data();
}

TEST(StreamingFez, JobStepsGiveTheOldBytesAndTheSourceBack)
{
    std::mt19937 rng(5);
    Bytes text;
    while (text.size() < 1'300'000)
        text.push_back(static_cast<uint8_t>("aab cd\n"[rng() % 7]));
    const std::vector<Bytes> inputs = {{}, {'x'}, lwtest::RandomBytes(8192 * 3 - 14, 3), text};
    for (int cipher = 0; cipher < 4; ++cipher)
        for (const Bytes& data : inputs) {
            lw::TMemoryStream source;
            Fill(source, data);
            source.SetPosition(17 % (data.size() + 1)); // the step reads from the start whatever
            lw::TMemoryStream sealed;
            lw::job::CompressAndEncrypt(source, *Keyed(cipher), sealed);
            ASSERT_EQ(sealed.Data(), OldEncrypt(cipher, data)) << cipher << " " << data.size();

            sealed.SetPosition(0);
            lw::TMemoryStream back;
            lw::job::DecryptAndDecompress(sealed, *Keyed(cipher), sealed.Size(), back);
            ASSERT_EQ(back.Data(), data) << cipher << " " << data.size();
        }
}

// A source that delivers less than asked from a given point on.
class ShortSource final : public lw::TMemoryStream {
public:
    explicit ShortSource(int64_t limit) : m_limit(limit) {}
    int64_t Read(std::span<uint8_t> buffer) override
    {
        const int64_t room = std::max<int64_t>(m_limit - Position(), 0);
        return TMemoryStream::Read(buffer.first(static_cast<size_t>(std::min<int64_t>(room, buffer.size()))));
    }

private:
    int64_t m_limit;
};

TEST(StreamingFez, ASourceEndingEarlyIsAReadErrorBothWays)
{
    // Random bytes do not shrink: the sealed stream is as long as the source and a limit
    // inside it cuts it.
    const Bytes data = lwtest::RandomBytes(200000, 6);
    lw::TMemoryStream whole;
    Fill(whole, data);
    lw::TMemoryStream fez;
    lw::job::CompressAndEncrypt(whole, *Keyed(1), fez);
    for (int64_t limit : {int64_t{0}, int64_t{8191}, int64_t{100000}}) {
        for (bool decrypt : {false, true}) {
            ShortSource source(limit);
            Fill(source, decrypt ? fez.Data() : data);
            lw::TMemoryStream out;
            try {
                if (decrypt)
                    lw::job::DecryptAndDecompress(source, *Keyed(1), source.Size(), out);
                else
                    lw::job::CompressAndEncrypt(source, *Keyed(1), out);
                ADD_FAILURE() << "no error at " << limit;
            } catch (const lw::EReadError& e) {
                EXPECT_STREQ(e.what(), "Stream read error");
            }
        }
    }
}

TEST(StreamingFez, TheCipherStreamsGoOneWayOnly)
{
    auto c = Keyed(3);
    lw::TMemoryStream m;
    uint8_t b[3] = {1, 2, 3};
    lw::job::TCipherWriteStream sealed(*c, m);
    EXPECT_THROW(sealed.Read(b), lw::EStreamError);
    EXPECT_THROW(sealed.Seek(0, lw::TSeekOrigin::soBeginning), lw::EStreamError);
    sealed.WriteBuffer(b);
    sealed.Finish();
    sealed.Finish();
    EXPECT_EQ(m.Size(), 3);
    EXPECT_THROW(sealed.Write(b), lw::EStreamError);
    lw::job::TCipherReadStream opened(*c, m, 3);
    EXPECT_THROW(opened.Write(b), lw::EStreamError);
    EXPECT_THROW(opened.Seek(1, lw::TSeekOrigin::soCurrent), lw::EStreamError);
}

} // namespace
