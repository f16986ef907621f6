// Base64 text into DecryptText for each cipher. Layout of an input: cipher (0-3), phrase
// length and phrase, then the text. Any text decrypts without harm, its Base64 layer reads
// back what was encoded, and a text enciphered by a twin cipher comes back whole.
#include <algorithm>
#include <string>

#include "FuzzUtil.h"
#include "crypto/Base64.h"
#include "crypto/Sha1.h"
#include "jobs/CipherFactory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const int index = data[0] % 4;
    const size_t phraseLength = std::min<size_t>(data[1] % 33, size - 2);
    const std::string phrase(reinterpret_cast<const char*>(data + 2), phraseLength);
    const std::string text(reinterpret_cast<const char*>(data + 2 + phraseLength), size - 2 - phraseLength);

    // Whole groups of four give three bytes, fewer for each "=" in the group's last two places.
    const std::vector<uint8_t> decoded = lw::Base64Decode(text);
    FUZZ_CHECK(decoded.size() <= text.size() / 4 * 3 && decoded.size() + text.size() / 4 * 2 >= text.size() / 4 * 3);
    const std::span<const uint8_t> raw(data, size);
    FUZZ_CHECK(lw::Base64Decode(lw::Base64Encode(raw)) == std::vector<uint8_t>(raw.begin(), raw.end()));

    auto sender = lw::CreateCipher(index);
    auto receiver = lw::CreateCipher(index);
    FUZZ_CHECK(sender && receiver);
    sender->SetKeyFromPhrase(phrase, lw::HashClass<lw::TDCP_sha1>());
    receiver->SetKeyFromPhrase(phrase, lw::HashClass<lw::TDCP_sha1>());

    const std::string plain = receiver->DecryptText(text);
    FUZZ_CHECK(plain.size() == decoded.size());
    receiver->Reset();
    FUZZ_CHECK(receiver->DecryptText(sender->EncryptText(text)) == text);
    sender->Wipe();
    receiver->Wipe();
    return 0;
}
