// StreamEncrypt and StreamDecrypt over streams that lend their bytes against the same calls
// through streams that only read and write: the same bytes, counts, positions and errors.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <typeinfo>
#include <vector>

#include "TestUtil.h"
#include "crypto/Blowfish.h"
#include "crypto/CpuFeatures.h"
#include "crypto/Rc4.h"
#include "crypto/Rijndael.h"
#include "crypto/Serpent.h"
#include "crypto/Sha1.h"
#include "platform/Exception.h"
#include "platform/FileStream.h"
#include "platform/MemoryStream.h"

using namespace lw;
using namespace lwtest;

namespace {

// Forwards to another stream and lends nothing: every piece goes through the buffer.
class TPlainStream final : public TStream {
public:
    explicit TPlainStream(TStream& inner) : m_inner(inner) {}
    int64_t Read(std::span<uint8_t> buffer) override { return m_inner.Read(buffer); }
    int64_t Write(std::span<const uint8_t> buffer) override { return m_inner.Write(buffer); }
    int64_t Seek(int64_t offset, TSeekOrigin origin) override { return m_inner.Seek(offset, origin); }
    int64_t Size() override { return m_inner.Size(); }

private:
    TStream& m_inner;
};

// Records the writes it is asked for.
class TWriteLog final : public TMemoryStream {
public:
    std::vector<int64_t> writes;
    int64_t Write(std::span<const uint8_t> buffer) override
    {
        writes.push_back(static_cast<int64_t>(buffer.size()));
        return TMemoryStream::Write(buffer);
    }
};

struct CipherKind {
    const char* name;
    std::function<std::unique_ptr<TDCP_cipher>()> make;
};

template <class C>
CipherKind Kind(const char* name)
{
    return {name, [] { return std::unique_ptr<TDCP_cipher>(new C); }};
}

const CipherKind kCiphers[] = {Kind<TDCP_rc4>("RC4"), Kind<TDCP_blowfish>("Blowfish"), Kind<TDCP_serpent>("Serpent"),
                               Kind<TDCP_rijndael>("Rijndael")};

std::unique_ptr<TDCP_cipher> Keyed(const CipherKind& kind)
{
    auto c = kind.make();
    c->SetKeyFromPhrase("pieces without copies", HashClass<TDCP_sha1>());
    return c;
}

// What a call leaves behind: its count or error, and the cipher's state after it.
struct Outcome {
    uint64_t total = 0;
    std::string error;
    Bytes next;
    bool operator==(const Outcome&) const = default;
};

void PrintTo(const Outcome& o, std::ostream* os)
{
    *os << "total " << o.total << ", error \"" << o.error << "\", then " << ToHex(o.next);
}

Outcome Pieces(TDCP_cipher& c, bool encrypt, TStream& in, TStream& out, uint64_t count)
{
    Outcome o;
    try {
        o.total = encrypt ? c.StreamEncrypt(in, out, count) : c.StreamDecrypt(in, out, count);
    } catch (const std::exception& e) {
        o.error = std::string(typeid(e).name()) + ": " + e.what();
    }
    if (c.Initialized()) {
        o.next = RandomBytes(37, 9);
        c.Encrypt(o.next.data(), o.next.data(), static_cast<uint32_t>(o.next.size()));
    }
    return o;
}

Bytes Contents(TStream& s)
{
    const int64_t pos = s.Position();
    s.SetPosition(0);
    Bytes b(static_cast<size_t>(s.Size()));
    s.Read(b);
    s.SetPosition(pos);
    return b;
}

enum class End { Memory, File };

// A stream holding data at position pos, in memory or in a new file.
std::unique_ptr<TStream> Open(End end, const std::string& path, const Bytes& data, int64_t pos)
{
    std::unique_ptr<TStream> s;
    if (end == End::Memory)
        s = std::make_unique<TMemoryStream>();
    else
        s = std::make_unique<TFileStream>(path, TFileMode::fmCreate);
    s->Write(data);
    s->SetPosition(pos);
    return s;
}

} // namespace

TEST(StreamViews, MemoryAndFileEndsMatchTheBufferPath)
{
    constexpr uint32_t kSizes[] = {0, 1, 15, 16, 17, 8191, 8192, 8193, 3 * 8192 + 4096};
    constexpr int64_t kLead = 5; // bytes before the input's starting position
    struct Target {
        size_t size;
        int64_t pos;
    };
    const Target kTargets[] = {{0, 0}, {9000, 3}}; // empty, or overwritten then grown
    TempDir dir(MemoryTempRoot());
    for (const auto& kind : kCiphers)
        for (bool forced : {false, true})
            for (bool encrypt : {true, false})
                for (uint32_t size : kSizes)
                    for (uint64_t count : {uint64_t{size}, uint64_t{size} - size / 3, uint64_t{size} + 5000})
                        for (const Target& target : kTargets)
                            for (End inEnd : {End::Memory, End::File})
                                for (End outEnd : {End::Memory, End::File}) {
                                    SCOPED_TRACE(std::string(kind.name) + (forced ? " fallback" : "") +
                                                 (encrypt ? " encrypt" : " decrypt") + " size " + std::to_string(size) +
                                                 " count " + std::to_string(count) + " target " +
                                                 std::to_string(target.size) + " in " +
                                                 (inEnd == End::File ? "file" : "memory") + " out " +
                                                 (outEnd == End::File ? "file" : "memory"));
                                    ForceNoCpuFeatures(forced);
                                    const Bytes data = RandomBytes(kLead + size, size + 1);
                                    const Bytes prior = RandomBytes(target.size, 3);

                                    TMemoryStream refIn, refOut;
                                    refIn.Write(data);
                                    refIn.SetPosition(kLead);
                                    refOut.Write(prior);
                                    refOut.SetPosition(target.pos);
                                    TPlainStream plainIn(refIn), plainOut(refOut);
                                    auto ref = Keyed(kind);
                                    const Outcome want = Pieces(*ref, encrypt, plainIn, plainOut, count);

                                    auto in = Open(inEnd, dir / "in", data, kLead);
                                    auto out = Open(outEnd, dir / "out", prior, target.pos);
                                    auto c = Keyed(kind);
                                    const Outcome got = Pieces(*c, encrypt, *in, *out, count);
                                    ForceNoCpuFeatures(false);

                                    EXPECT_TRUE(want.error.empty()) << want.error;
                                    EXPECT_EQ(got, want);
                                    EXPECT_EQ(in->Position(), refIn.Position());
                                    EXPECT_EQ(out->Position(), refOut.Position());
                                    EXPECT_EQ(Contents(*out), refOut.Data());
                                }
}

TEST(StreamViews, OneMemoryStreamBothWays)
{
    for (const auto& kind : kCiphers)
        for (bool encrypt : {true, false})
            for (uint32_t size : {8193u, 3u * 8192u + 4096u})
                for (int64_t start : {int64_t{0}, int64_t{100}}) {
                    SCOPED_TRACE(std::string(kind.name) + " size " + std::to_string(size) + " start " +
                                 std::to_string(start));
                    const Bytes data = RandomBytes(size, 7);
                    TMemoryStream ref, s;
                    ref.Write(data);
                    s.Write(data);
                    ref.SetPosition(start);
                    s.SetPosition(start);
                    TPlainStream plain(ref);
                    auto a = Keyed(kind);
                    auto b = Keyed(kind);
                    const Outcome want = Pieces(*a, encrypt, plain, plain, size);
                    EXPECT_EQ(Pieces(*b, encrypt, s, s, size), want);
                    EXPECT_EQ(s.Position(), ref.Position());
                    EXPECT_EQ(s.Data(), ref.Data());
                    EXPECT_GT(ref.Size(), static_cast<int64_t>(size)); // each piece lands after itself
                }
}

TEST(StreamViews, FailuresLeaveWhatTheBufferPathLeaves)
{
    const Bytes data = RandomBytes(20000, 11);
    struct Case {
        const char* name;
        bool keyed;
        int64_t outPos;
    };
    const Case cases[] = {
        {"write before the start", true, -1}, // "Stream write error" after the cipher took the piece
        {"cipher not keyed", false, 0},       // raised before anything reaches the output
    };
    for (const auto& kind : kCiphers)
        for (bool encrypt : {true, false})
            for (const Case& k : cases) {
                SCOPED_TRACE(std::string(kind.name) + " " + k.name);
                auto setUp = [&](TMemoryStream& in, TMemoryStream& out) {
                    in.Write(data);
                    in.SetPosition(0);
                    out.Write(Bytes(10, 0x5A));
                    out.SetPosition(k.outPos);
                };
                TMemoryStream refIn, refOut, in, out;
                setUp(refIn, refOut);
                setUp(in, out);
                TPlainStream plainIn(refIn), plainOut(refOut);
                auto a = k.keyed ? Keyed(kind) : kind.make();
                auto b = k.keyed ? Keyed(kind) : kind.make();
                const Outcome want = Pieces(*a, encrypt, plainIn, plainOut, data.size());
                EXPECT_FALSE(want.error.empty());
                EXPECT_EQ(Pieces(*b, encrypt, in, out, data.size()), want);
                EXPECT_EQ(in.Position(), refIn.Position());
                EXPECT_EQ(out.Position(), refOut.Position());
                EXPECT_EQ(out.Data(), refOut.Data());
            }
    TMemoryStream in;
    in.Write(data);
    in.SetPosition(0);
    TMemoryStream out;
    out.SetPosition(-1);
    auto c = Keyed(kCiphers[3]);
    try {
        c->StreamEncrypt(in, out, 100);
        FAIL();
    } catch (const EWriteError& e) {
        EXPECT_STREQ(e.what(), "Stream write error");
    }
}

TEST(StreamViews, DerivedStreamsStillSeeTheirWrites)
{
    for (const auto& kind : kCiphers) {
        SCOPED_TRACE(kind.name);
        const Bytes data = RandomBytes(20000, 5);
        TMemoryStream in, refIn, refOut;
        TWriteLog out;
        in.Write(data);
        in.SetPosition(0);
        refIn.Write(data);
        refIn.SetPosition(0);
        TPlainStream plainIn(refIn), plainOut(refOut);
        auto a = Keyed(kind);
        auto b = Keyed(kind);
        EXPECT_EQ(Pieces(*b, true, in, out, 20000), Pieces(*a, true, plainIn, plainOut, 20000));
        EXPECT_EQ(out.writes, (std::vector<int64_t>{8192, 8192, 3616}));
        EXPECT_EQ(out.Data(), refOut.Data());
    }
}
