// Every published vector in tests/data, through one runner: a block cipher both ways, out of
// place and in place; RC4 from a fresh key stream each way; SHA-1 forwards.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "CipherChecks.h"
#include "TestUtil.h"
#include "crypto/Blowfish.h"
#include "crypto/Rc4.h"
#include "crypto/Rijndael.h"
#include "crypto/Serpent.h"
#include "crypto/Sha1.h"

using namespace lw;
using namespace lwtest;

namespace {

struct TVectorFile {
    const char* file;
    std::map<std::string, size_t> sections;   // vectors each section holds at the least
    std::unique_ptr<TDCP_cipher> (*cipher)(); // none for the hash
};

template <class C>
std::unique_ptr<TDCP_cipher> NewCipher()
{
    return std::make_unique<C>();
}

Bytes Blocks(TDCP_blockcipher& c, const Bytes& in, bool decrypt)
{
    Bytes out(in.size());
    const auto size = static_cast<size_t>(c.BlockSize() / 8);
    for (size_t i = 0; i + size <= in.size(); i += size)
        decrypt ? c.DecryptBlock(in.data() + i, out.data() + i) : c.EncryptBlock(in.data() + i, out.data() + i);
    return out;
}

// Rijndael's rounds follow its key length; it counts the vectors of each length.
void CheckVector(const TVectorFile& file, const Bytes& key, const Bytes& in, const Bytes& out,
                 std::map<size_t, size_t>& rijndaelKeys)
{
    if (!file.cipher) {
        TDCP_sha1 hash;
        hash.Init();
        hash.Update(in);
        Bytes digest(20);
        hash.Final(digest);
        EXPECT_EQ(ToHex(digest), ToHex(out));
        return;
    }
    const auto cipher = file.cipher();
    cipher->SetKey(key.data(), static_cast<uint32_t>(key.size() * 8), nullptr);
    if (auto* rijndael = dynamic_cast<TDCP_rijndael*>(cipher.get())) {
        EXPECT_EQ(rijndael->Rounds(), 6 + key.size() / 4);
        ++rijndaelKeys[key.size()];
    }
    if (auto* block = dynamic_cast<TDCP_blockcipher*>(cipher.get())) {
        EXPECT_EQ(ToHex(Blocks(*block, in, false)), ToHex(out));
        EXPECT_EQ(ToHex(Blocks(*block, out, true)), ToHex(in));
        ExpectInPlaceBlock(*block, in, out);
    } else {
        Bytes text(in.size());
        cipher->Encrypt(in.data(), text.data(), static_cast<uint32_t>(text.size()));
        EXPECT_EQ(ToHex(text), ToHex(out));
        cipher->Reset();
        cipher->Decrypt(text.data(), text.data(), static_cast<uint32_t>(text.size()));
        EXPECT_EQ(ToHex(text), ToHex(in));
    }
}

TEST(CipherVectors, EveryPublishedVector)
{
    std::map<size_t, size_t> rijndaelKeys; // vectors per key length
    const TVectorFile files[] = {
        {"sha1.vec", {{"SHA1", 4}}, nullptr},
        {"rc4.vec", {{"RC4", 3}}, NewCipher<TDCP_rc4>},
        {"blowfish.vec", {{"Blowfish", 34}, {"BlowfishKeyLength", 24}}, NewCipher<TDCP_blowfish>},
        {"serpent.vec", {{"Self-test", 3}, {"NESSIE", 18}}, NewCipher<TDCP_serpent>},
        {"rijndael.vec", {{"FIPS-197 Appendix C", 3}, {"Rijndael Table KAT", 3}}, NewCipher<TDCP_rijndael>},
    };
    for (const TVectorFile& file : files) {
        const VecFile vec = ReadVecFile(file.file);
        for (const auto& [section, least] : file.sections)
            EXPECT_GE(vec.sections.at(section).size(), least) << file.file << " " << section;
        for (const auto& [section, vectors] : vec.sections)
            for (const auto& v : vectors) {
                const Bytes key = v.count("Key") ? v.at("Key") : Bytes{};
                SCOPED_TRACE(std::string(file.file) + " " + section + " key " + ToHex(key) + " in " +
                             ToHex(v.at("In")));
                CheckVector(file, key, v.at("In"), v.at("Out"), rijndaelKeys);
            }
    }
    EXPECT_EQ(rijndaelKeys.size(), 3u) << "16-, 24- and 32-byte keys only";
    for (const auto& [length, count] : rijndaelKeys)
        EXPECT_GE(count, 6u) << "Rijndael vectors with " << length << "-byte keys";
}

} // namespace
