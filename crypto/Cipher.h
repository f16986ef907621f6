#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "crypto/Errors.h"
#include "crypto/Hash.h"
#include "platform/Stream.h"

namespace lw {

// Root of the ciphers. A new cipher is not keyed; its key material already holds the
// wipe pattern because every key array fills itself on construction.
class TDCP_cipher {
public:
    TDCP_cipher() = default;
    TDCP_cipher(const TDCP_cipher&) = delete;
    TDCP_cipher& operator=(const TDCP_cipher&) = delete;
    virtual ~TDCP_cipher() = default;

    static int32_t ClassId() { return -1; }
    static std::string ClassAlgorithm() { return {}; }
    static int32_t ClassMaxKeySize() { return -1; }
    static bool ClassKnownAnswerTest() { return false; }

    virtual int32_t Id() const { return ClassId(); }
    virtual std::string Algorithm() const { return ClassAlgorithm(); }
    virtual int32_t MaxKeySize() const { return ClassMaxKeySize(); }
    virtual bool KnownAnswerTest() const { return ClassKnownAnswerTest(); }

    // Wipes a keyed cipher, checks the size, marks the cipher keyed. iv may be null.
    virtual void SetKey(const void* key, uint32_t sizeInBits, const void* iv);
    // Overrides clear their own material first, then call their parent; the flag goes last.
    virtual void Wipe() { m_initialized = false; }
    virtual void Reset() {}
    // in and out are the same buffer or apart, never partly overlapping. They raise only
    // when the cipher is not keyed (StreamEncrypt and StreamDecrypt count on it).
    virtual void Encrypt(const void* in, void* out, uint32_t count);
    virtual void Decrypt(const void* in, void* out, uint32_t count);
    virtual std::string EncryptText(std::string_view text);
    virtual std::string DecryptText(std::string_view text);

    // Keys with the digest of the phrase's bytes; any failure reads kDigestAllocFailed.
    void SetKeyFromPhrase(std::string_view phrase, const TDCP_hashclass& hash);
    // Pieces of 8192 bytes, the last one shorter; each piece is written exactly. Streams
    // that lend their bytes (ReadView, WriteView) are ciphered in place of the copies.
    uint64_t StreamEncrypt(TStream& in, TStream& out, uint64_t count);
    uint64_t StreamDecrypt(TStream& in, TStream& out, uint64_t count);

    bool Initialized() const { return m_initialized; }

    static constexpr uint32_t kStreamPiece = 8192;

protected:
    // What the text calls run over the text's bytes in place: Encrypt/Decrypt here.
    virtual void CipherTextBytes(uint8_t* bytes, uint32_t count, bool encrypt);

    bool m_initialized = false;

private:
    template <class Op>
    uint64_t StreamPieces(TStream& in, TStream& out, uint64_t count, Op op);
};

// The instance twins of a cipher class's values, written once: Derived states only its
// static ClassX values and Base is the root it extends.
template <class Derived, class Base>
class TCipherClass : public Base {
public:
    int32_t Id() const override { return Derived::ClassId(); }
    std::string Algorithm() const override { return Derived::ClassAlgorithm(); }
    int32_t MaxKeySize() const override { return Derived::ClassMaxKeySize(); }
    bool KnownAnswerTest() const override { return Derived::ClassKnownAnswerTest(); }
};

} // namespace lw
