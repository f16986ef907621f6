// One table for every cipher, mode and length around the block size: the one-call output
// equals a reference built from single blocks (which the published vectors pin down),
// in place and out of place, and decrypts back. CBC runs the cipher's fast path here,
// so this pins its bytes, the partial-block rule and the chaining value it leaves.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "TestUtil.h"
#include "crypto/Blowfish.h"
#include "crypto/Rijndael.h"
#include "crypto/Serpent.h"
#include "crypto/Sha1.h"

using namespace lw;
using lwtest::Bytes;

namespace {

Bytes Block(TDCP_blockcipher& c, const Bytes& in)
{
    Bytes out(in.size());
    c.EncryptBlock(in.data(), out.data());
    return out;
}

// The whole-message rules, one block at a time; the cipher's chaining value is not used.
Bytes Reference(TDCP_blockcipher& c, TDCP_ciphermode mode, Bytes cv, const Bytes& msg)
{
    const size_t b = cv.size();
    Bytes out;
    if (mode == cmCFB8bit) {
        for (uint8_t x : msg) {
            const uint8_t y = x ^ Block(c, cv)[0];
            out.push_back(y);
            cv.erase(cv.begin());
            cv.push_back(y);
        }
        return out;
    }
    size_t i = 0;
    for (; i + b <= msg.size(); i += b) {
        Bytes y(msg.begin() + static_cast<ptrdiff_t>(i), msg.begin() + static_cast<ptrdiff_t>(i + b));
        if (mode == cmCBC) {
            for (size_t k = 0; k < b; ++k)
                y[k] ^= cv[k];
            y = cv = Block(c, y);
        } else {
            const Bytes key = Block(c, cv);
            for (size_t k = 0; k < b; ++k)
                y[k] ^= key[k];
            if (mode == cmCFBblock)
                cv = y;
            else if (mode == cmOFB)
                cv = key;
            else
                for (size_t k = b; k-- > 0;)
                    if (++cv[k] != 0)
                        break;
        }
        out.insert(out.end(), y.begin(), y.end());
    }
    const Bytes key = Block(c, cv);
    for (size_t k = 0; i + k < msg.size(); ++k)
        out.push_back(msg[i + k] ^ key[k]);
    return out;
}

struct LengthRow {
    std::string name;
    std::function<std::unique_ptr<TDCP_blockcipher>()> make;
    TDCP_ciphermode mode;
    uint32_t length;
};

std::vector<LengthRow> Rows()
{
    const std::pair<const char*, std::function<std::unique_ptr<TDCP_blockcipher>()>> ciphers[] = {
        {"Blowfish", [] { return std::make_unique<TDCP_blowfish>(); }},
        {"Serpent", [] { return std::make_unique<TDCP_serpent>(); }},
        {"Rijndael", [] { return std::make_unique<TDCP_rijndael>(); }},
    };
    const std::pair<TDCP_ciphermode, const char*> modes[] = {
        {cmCBC, "CBC"}, {cmCFB8bit, "CFB8"}, {cmCFBblock, "CFBblock"}, {cmOFB, "OFB"}, {cmCTR, "CTR"}};
    std::vector<LengthRow> rows;
    for (const auto& [cipher, make] : ciphers) {
        const uint32_t b = static_cast<uint32_t>(make()->BlockSize() / 8);
        for (auto [mode, modeName] : modes)
            for (uint32_t n : {0u, 1u, b - 1, b, b + 1, 2 * b + 3, 37 * b, 100 * b + 7})
                rows.push_back({std::string(cipher) + "_" + modeName + "_" + std::to_string(n), make, mode, n});
    }
    return rows;
}

class ModeLengths : public ::testing::TestWithParam<LengthRow> {};

TEST_P(ModeLengths, OneCallEqualsTheBlockReference)
{
    const LengthRow& row = GetParam();
    const auto c = row.make();
    const auto ref = row.make();
    c->SetCipherMode(row.mode);
    c->SetKeyFromPhrase("lengths", HashClass<TDCP_sha1>());
    ref->SetKeyFromPhrase("lengths", HashClass<TDCP_sha1>());
    Bytes iv(static_cast<size_t>(c->BlockSize() / 8));
    c->GetChainValue(iv.data());
    const Bytes plain = lwtest::RandomBytes(row.length, row.length + 1);
    const Bytes expected = Reference(*ref, row.mode, iv, plain);

    Bytes out(row.length, 0xEE);
    c->Encrypt(plain.data(), out.data(), row.length);
    EXPECT_EQ(out, expected);
    Bytes cvAfter(iv.size());
    c->GetChainValue(cvAfter.data());

    c->Reset();
    Bytes inPlace = plain;
    c->Encrypt(inPlace.data(), inPlace.data(), row.length);
    EXPECT_EQ(inPlace, expected);

    c->Reset();
    c->Decrypt(inPlace.data(), inPlace.data(), row.length);
    EXPECT_EQ(inPlace, plain);
    Bytes cvBack(iv.size());
    c->GetChainValue(cvBack.data());
    EXPECT_EQ(cvBack, cvAfter) << "both directions leave the same chaining value";
}

INSTANTIATE_TEST_SUITE_P(Ciphers, ModeLengths, ::testing::ValuesIn(Rows()),
                         [](const auto& instance) { return instance.param.name; });

} // namespace
