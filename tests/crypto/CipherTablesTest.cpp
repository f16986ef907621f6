// One table each for what every cipher class shares: its class values, asked of the class
// and of an instance through each root, and its refusal of every call while unkeyed.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "TestUtil.h"
#include "crypto/BlockCipher.h"
#include "crypto/Blowfish.h"
#include "crypto/CpuFeatures.h"
#include "crypto/Rc4.h"
#include "crypto/Rijndael.h"
#include "crypto/Serpent.h"
#include "platform/MemoryStream.h"

using namespace lw;
using lwtest::Bytes;

namespace {

struct ClassRow {
    const char* name;
    std::function<std::unique_ptr<TDCP_cipher>()> make;
    int32_t classId, classMaxKeySize, classBlockSize; // asked of the class
    std::string classAlgorithm;
    bool classKnownAnswerTest;
    int32_t id, maxKeySize, blockSize; // expected; blockSize -1 for the stream cipher
    const char* algorithm;
};

template <class C>
ClassRow Row(const char* name, int32_t id, int32_t maxKeySize, int32_t blockSize)
{
    int32_t classBlockSize = -1;
    if constexpr (std::is_base_of_v<TDCP_blockcipher, C>)
        classBlockSize = C::ClassBlockSize();
    return {name,
            [] { return std::make_unique<C>(); },
            C::ClassId(),
            C::ClassMaxKeySize(),
            classBlockSize,
            C::ClassAlgorithm(),
            C::ClassKnownAnswerTest(),
            id,
            maxKeySize,
            blockSize,
            name};
}

std::vector<ClassRow> ClassRows()
{
    return {Row<TDCP_rc4>("RC4", 19, 2048, -1), Row<TDCP_blowfish>("Blowfish", 5, 448, 64),
            Row<TDCP_serpent>("Serpent", 26, 256, 128), Row<TDCP_rijndael>("Rijndael", 9, 256, 128)};
}

class CipherClass : public ::testing::TestWithParam<ClassRow> {};

TEST_P(CipherClass, ValuesOfTheClassAndOfAnInstanceAgree)
{
    const ClassRow& r = GetParam();
    EXPECT_EQ(r.classId, r.id);
    EXPECT_EQ(r.classAlgorithm, r.algorithm);
    EXPECT_EQ(r.classMaxKeySize, r.maxKeySize);
    EXPECT_EQ(r.classBlockSize, r.blockSize);
    EXPECT_TRUE(r.classKnownAnswerTest);

    const auto c = r.make();
    const TDCP_cipher& root = *c;
    EXPECT_EQ(root.Id(), r.id);
    EXPECT_EQ(root.Algorithm(), r.algorithm);
    EXPECT_EQ(root.MaxKeySize(), r.maxKeySize);
    EXPECT_TRUE(root.KnownAnswerTest());
    // The self-test runs on an instance of its own.
    EXPECT_FALSE(root.Initialized());
    if (const auto* block = dynamic_cast<const TDCP_blockcipher*>(c.get())) {
        EXPECT_EQ(block->BlockSize(), r.blockSize);
        EXPECT_EQ(block->CipherMode(), cmCBC);
    } else {
        EXPECT_EQ(r.blockSize, -1);
    }
}

INSTANTIATE_TEST_SUITE_P(Ciphers, CipherClass, ::testing::ValuesIn(ClassRows()),
                         [](const auto& instance) { return std::string(instance.param.name); });

// A memory stream that lends no views, so the stream loop goes through its piece buffer.
class TCopyingStream final : public TMemoryStream {};

// Every call an unkeyed cipher must refuse; count is the length handed to it.
struct RefusedCall {
    const char* name;
    bool blockOnly;
    std::function<void(TDCP_cipher&, const Bytes& in, Bytes& out, uint32_t count)> call;
};

TDCP_blockcipher& AsBlock(TDCP_cipher& c)
{
    return dynamic_cast<TDCP_blockcipher&>(c);
}

std::vector<RefusedCall> RefusedCalls()
{
    std::vector<RefusedCall> calls;
    for (TDCP_ciphermode mode : {cmCBC, cmCFB8bit, cmCFBblock, cmOFB, cmCTR}) {
        calls.push_back({"Encrypt", mode != cmCBC, [mode](TDCP_cipher& c, const Bytes& in, Bytes& out, uint32_t n) {
                             if (auto* b = dynamic_cast<TDCP_blockcipher*>(&c))
                                 b->SetCipherMode(mode);
                             c.Encrypt(in.data(), out.data(), n);
                         }});
        calls.push_back({"Decrypt", mode != cmCBC, [mode](TDCP_cipher& c, const Bytes& in, Bytes& out, uint32_t n) {
                             if (auto* b = dynamic_cast<TDCP_blockcipher*>(&c))
                                 b->SetCipherMode(mode);
                             c.Decrypt(in.data(), out.data(), n);
                         }});
    }
    using M = void (TDCP_blockcipher::*)(const void*, void*, uint32_t);
    const std::pair<const char*, M> modes[] = {
        {"EncryptCBC", &TDCP_blockcipher::EncryptCBC},
        {"DecryptCBC", &TDCP_blockcipher::DecryptCBC},
        {"EncryptCFB8bit", &TDCP_blockcipher::EncryptCFB8bit},
        {"DecryptCFB8bit", &TDCP_blockcipher::DecryptCFB8bit},
        {"EncryptCFBblock", &TDCP_blockcipher::EncryptCFBblock},
        {"DecryptCFBblock", &TDCP_blockcipher::DecryptCFBblock},
        {"EncryptOFB", &TDCP_blockcipher::EncryptOFB},
        {"DecryptOFB", &TDCP_blockcipher::DecryptOFB},
        {"EncryptCTR", &TDCP_blockcipher::EncryptCTR},
        {"DecryptCTR", &TDCP_blockcipher::DecryptCTR},
    };
    for (auto [name, m] : modes)
        calls.push_back({name, true, [m](TDCP_cipher& c, const Bytes& in, Bytes& out, uint32_t n) {
                             (AsBlock(c).*m)(in.data(), out.data(), n);
                         }});
    for (bool chained : {false, true}) {
        calls.push_back({chained ? "EncryptBlocks/chained" : "EncryptBlocks", true,
                         [chained](TDCP_cipher& c, const Bytes& in, Bytes& out, uint32_t n) {
                             auto& b = AsBlock(c);
                             uint8_t cv[16] = {};
                             const size_t size = static_cast<size_t>(b.BlockSize() / 8);
                             b.EncryptBlocks(in.data(), out.data(), n / size, chained ? cv : nullptr);
                         }});
        calls.push_back({chained ? "DecryptBlocks/chained" : "DecryptBlocks", true,
                         [chained](TDCP_cipher& c, const Bytes& in, Bytes& out, uint32_t n) {
                             auto& b = AsBlock(c);
                             uint8_t cv[16] = {};
                             const size_t size = static_cast<size_t>(b.BlockSize() / 8);
                             b.DecryptBlocks(in.data(), out.data(), n / size, chained ? cv : nullptr);
                         }});
    }
    calls.push_back({"EncryptBlock", true, [](TDCP_cipher& c, const Bytes& in, Bytes& out, uint32_t) {
                         AsBlock(c).EncryptBlock(in.data(), out.data());
                     }});
    calls.push_back({"DecryptBlock", true, [](TDCP_cipher& c, const Bytes& in, Bytes& out, uint32_t) {
                         AsBlock(c).DecryptBlock(in.data(), out.data());
                     }});
    calls.push_back({"Reset", true, [](TDCP_cipher& c, const Bytes&, Bytes&, uint32_t) { c.Reset(); }});
    calls.push_back({"SetInitVector", true,
                     [](TDCP_cipher& c, const Bytes& in, Bytes&, uint32_t) { AsBlock(c).SetInitVector(in.data()); }});
    calls.push_back({"GetChainValue", true,
                     [](TDCP_cipher& c, const Bytes&, Bytes& out, uint32_t) { AsBlock(c).GetChainValue(out.data()); }});
    calls.push_back({"EncryptText", false, [](TDCP_cipher& c, const Bytes& in, Bytes&, uint32_t n) {
                         (void)c.EncryptText(std::string(in.begin(), in.begin() + n));
                     }});
    calls.push_back(
        {"DecryptText", false, [](TDCP_cipher& c, const Bytes&, Bytes&, uint32_t) { (void)c.DecryptText("AAAA"); }});
    for (bool encrypt : {true, false})
        for (bool views : {true, false})
            calls.push_back({encrypt ? "StreamEncrypt" : "StreamDecrypt", false,
                             [encrypt, views](TDCP_cipher& c, const Bytes& in, Bytes& out, uint32_t n) {
                                 std::unique_ptr<TMemoryStream> src, dst;
                                 src = views ? std::make_unique<TMemoryStream>() : std::make_unique<TCopyingStream>();
                                 dst = views ? std::make_unique<TMemoryStream>() : std::make_unique<TCopyingStream>();
                                 src->Write(in);
                                 src->SetPosition(0);
                                 // Nothing may reach the output before the refusal.
                                 struct Check {
                                     TMemoryStream& s;
                                     Bytes& out;
                                     ~Check() { out.assign(s.Data().begin(), s.Data().end()); }
                                 } check{*dst, out};
                                 if (encrypt)
                                     c.StreamEncrypt(*src, *dst, n);
                                 else
                                     c.StreamDecrypt(*src, *dst, n);
                             }});
    return calls;
}

class UnkeyedCipher : public ::testing::TestWithParam<ClassRow> {};

// Fresh and after a key was wiped, on the fast paths and with the CPU features off: each
// call raises the one message and leaves the output as it was.
TEST_P(UnkeyedCipher, RefusesEveryCall)
{
    const ClassRow& row = GetParam();
    const Bytes in = lwtest::RandomBytes(20000, 7);
    const Bytes key = lwtest::RandomBytes(32, 8);
    for (bool noFeatures : {false, true}) {
        ForceNoCpuFeatures(noFeatures);
        for (bool wiped : {false, true}) {
            const auto c = row.make();
            const bool block = dynamic_cast<TDCP_blockcipher*>(c.get()) != nullptr;
            if (wiped) {
                c->SetKey(key.data(), 128, nullptr);
                c->Wipe();
            }
            for (const RefusedCall& call : RefusedCalls()) {
                if (call.blockOnly && !block)
                    continue;
                for (uint32_t n : {0u, 1u, 5u, 16u, 40u, 300u, 10000u}) {
                    // A stream count of 0 reads nothing and so never reaches the cipher.
                    const bool stream = std::string(call.name).rfind("Stream", 0) == 0;
                    if (stream && n == 0)
                        continue;
                    SCOPED_TRACE(std::string(call.name) + " count " + std::to_string(n) +
                                 (wiped ? " wiped" : " fresh") + (noFeatures ? " no CPU features" : ""));
                    const Bytes untouched(20000, 0xC3);
                    Bytes out = untouched;
                    try {
                        call.call(*c, in, out, n);
                        ADD_FAILURE() << "no exception";
                    } catch (const EDCP_cipher& e) {
                        EXPECT_STREQ(e.what(), kCipherNotInitialized);
                    }
                    if (stream)
                        EXPECT_TRUE(out.empty());
                    else
                        EXPECT_EQ(out, untouched);
                }
            }
        }
    }
    ForceNoCpuFeatures(false);
}

INSTANTIATE_TEST_SUITE_P(Ciphers, UnkeyedCipher, ::testing::ValuesIn(ClassRows()),
                         [](const auto& instance) { return std::string(instance.param.name); });

} // namespace
