#include <gtest/gtest.h>

#include "TestUtil.h"
#include "crypto/Errors.h"
#include "crypto/Sha1.h"

using namespace lw;
using lwtest::Bytes;

namespace {

Bytes Digest(const Bytes& message)
{
    TDCP_sha1 hash;
    hash.Init();
    hash.Update(message);
    Bytes out(20);
    hash.Final(out);
    return out;
}

} // namespace

TEST(Sha1, MillionA)
{
    TDCP_sha1 hash;
    hash.Init();
    const Bytes chunk(1000, 'a');
    for (int i = 0; i < 1000; ++i)
        hash.Update(chunk);
    Bytes out(20);
    hash.Final(out);
    EXPECT_EQ(lwtest::ToHex(out), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

TEST(Sha1, ClassValuesAndKnownAnswerTest)
{
    EXPECT_EQ(TDCP_sha1::ClassId(), 2);
    EXPECT_EQ(TDCP_sha1::ClassAlgorithm(), "SHA1");
    EXPECT_EQ(TDCP_sha1::ClassHashSize(), 160);
    EXPECT_TRUE(TDCP_sha1::ClassKnownAnswerTest());
    TDCP_sha1 hash;
    const TDCP_hash& base = hash;
    EXPECT_EQ(base.Id(), 2);
    EXPECT_EQ(base.HashSize(), 160);
    EXPECT_TRUE(base.KnownAnswerTest());
}

// Padding boundaries: 55 bytes fit one block, 56 need two, 64 fill one in Update.
TEST(Sha1, MatchesHashlibAcrossBoundariesAndRandomMessages)
{
    LWTEST_NEEDS_REFERENCE();
    std::vector<size_t> sizes = {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 128, 1000, 65537};
    Bytes all;
    std::string script = "import sys,hashlib\nd=sys.stdin.buffer.read()\nsizes=[";
    for (size_t s : sizes)
        script += std::to_string(s) + ",";
    script += "]\np=0\nfor s in sizes:\n    sys.stdout.write(hashlib.sha1(d[p:p+s]).hexdigest()+'\\n'); p+=s\n";
    std::vector<Bytes> messages;
    for (size_t i = 0; i < sizes.size(); ++i) {
        messages.push_back(lwtest::RandomBytes(sizes[i], static_cast<uint32_t>(i + 1)));
        all.insert(all.end(), messages.back().begin(), messages.back().end());
    }
    const Bytes out = lwtest::RunPython(script, all);
    std::string expected(out.begin(), out.end());
    std::string got;
    for (const auto& m : messages)
        got += lwtest::ToHex(Digest(m)) + "\n";
    EXPECT_EQ(got, expected);
}

TEST(Sha1, AnySplitGivesTheOneShotDigest)
{
    const Bytes message = lwtest::RandomBytes(130, 7);
    const Bytes whole = Digest(message);
    for (size_t i = 0; i <= message.size(); i += 3)
        for (size_t j = i; j <= message.size(); j += 5) {
            TDCP_sha1 hash;
            hash.Init();
            hash.Update(std::span(message.data(), i));
            hash.Update(std::span<const uint8_t>());
            hash.Update(std::span(message.data() + i, j - i));
            hash.Update(std::span(message.data() + j, message.size() - j));
            Bytes out(20);
            hash.Final(out);
            ASSERT_EQ(out, whole) << i << "," << j;
        }
}

TEST(Sha1, LifecycleAndWipe)
{
    TDCP_sha1 hash;
    EXPECT_THROW(hash.UpdateText(""), EDCP_hash);
    Bytes out(20);
    try {
        hash.Final(out);
        FAIL();
    } catch (const EDCP_hash& e) {
        EXPECT_STREQ(e.what(), "Hash not initialized");
    }
    hash.Init();
    hash.UpdateText("secret phrase");
    EXPECT_NE(hash.BitCount(), 0u);
    hash.Final(out);
    EXPECT_FALSE(hash.Initialized());
    for (uint8_t b : hash.StateBytes())
        EXPECT_EQ(b, 0);
    for (uint8_t b : hash.BufferBytes())
        EXPECT_EQ(b, 0);
    EXPECT_EQ(hash.BitCount(), 0u);
    EXPECT_THROW(hash.Final(out), EDCP_hash);
}
