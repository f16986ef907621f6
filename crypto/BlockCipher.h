#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

#include "crypto/Cipher.h"
#include "crypto/SecureFill.h"

namespace lw {

enum TDCP_ciphermode : uint8_t { cmCBC = 0, cmCFB8bit = 1, cmCFBblock = 2, cmOFB = 3, cmCTR = 4 };

// Root of the block ciphers: adds the chaining mode and dispatches Encrypt/Decrypt to it.
class TDCP_blockcipher : public TDCP_cipher {
public:
    static int32_t ClassBlockSize() { return -1; }
    virtual int32_t BlockSize() const { return ClassBlockSize(); }

    TDCP_ciphermode CipherMode() const { return m_cipherMode; }
    void SetCipherMode(TDCP_ciphermode mode) { m_cipherMode = mode; }

    void Encrypt(const void* in, void* out, uint32_t count) override;
    void Decrypt(const void* in, void* out, uint32_t count) override;

    virtual void SetInitVector(const void* block) { (void)block; }
    virtual void GetChainValue(void* block) { (void)block; }
    virtual void EncryptBlock(const void* in, void* out) { (void)in, (void)out; }
    virtual void DecryptBlock(const void* in, void* out) { (void)in, (void)out; }

    // The multi-block primitive the modes build on: whole blocks, each on its own when cv
    // is null, else chained (CBC) through cv, which is read and left holding the last
    // ciphertext block. in and out are the same buffer or apart. A cipher's fast path
    // comes in through TDCP_blockcipherN's EncryptChain/DecryptChain.
    virtual void EncryptBlocks(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* cv)
    {
        (void)in, (void)out, (void)blocks, (void)cv;
    }
    virtual void DecryptBlocks(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* cv)
    {
        (void)in, (void)out, (void)blocks, (void)cv;
    }

    virtual void EncryptCBC(const void* in, void* out, uint32_t count) { (void)in, (void)out, (void)count; }
    virtual void DecryptCBC(const void* in, void* out, uint32_t count) { (void)in, (void)out, (void)count; }
    virtual void EncryptCFB8bit(const void* in, void* out, uint32_t count) { (void)in, (void)out, (void)count; }
    virtual void DecryptCFB8bit(const void* in, void* out, uint32_t count) { (void)in, (void)out, (void)count; }
    virtual void EncryptCFBblock(const void* in, void* out, uint32_t count) { (void)in, (void)out, (void)count; }
    virtual void DecryptCFBblock(const void* in, void* out, uint32_t count) { (void)in, (void)out, (void)count; }
    virtual void EncryptOFB(const void* in, void* out, uint32_t count) { (void)in, (void)out, (void)count; }
    virtual void DecryptOFB(const void* in, void* out, uint32_t count) { (void)in, (void)out, (void)count; }
    virtual void EncryptCTR(const void* in, void* out, uint32_t count) { (void)in, (void)out, (void)count; }
    virtual void DecryptCTR(const void* in, void* out, uint32_t count) { (void)in, (void)out, (void)count; }

protected:
    // Text is always 8-bit CFB, whatever CipherMode says.
    void CipherTextBytes(uint8_t* bytes, uint32_t count, bool encrypt) override;

    // Builds the key schedule; runs with the keyed flag already set.
    virtual void ScheduleKey(const void* key, uint32_t sizeInBits) { (void)key, (void)sizeInBits; }

    void RequireKeyed() const
    {
        if (!m_initialized)
            throw EDCP_blockcipher(kCipherNotInitialized);
    }

private:
    TDCP_ciphermode m_cipherMode = cmCBC;
};

// IV, chaining value and the five modes, written once for both block lengths.
template <size_t B>
class TDCP_blockcipherN : public TDCP_blockcipher {
public:
    static int32_t ClassBlockSize() { return static_cast<int32_t>(B * 8); }
    int32_t BlockSize() const override { return ClassBlockSize(); }

    void SetKey(const void* key, uint32_t sizeInBits, const void* iv) override;
    void Wipe() override;
    void Reset() override;
    void SetInitVector(const void* block) override;
    void GetChainValue(void* block) override;

    // Refuse when not keyed, then hand a chained run to EncryptChain/DecryptChain and
    // an unchained one to the block loop.
    void EncryptBlocks(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* cv) final;
    void DecryptBlocks(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* cv) final;

    void EncryptCBC(const void* in, void* out, uint32_t count) override;
    void DecryptCBC(const void* in, void* out, uint32_t count) override;
    void EncryptCFB8bit(const void* in, void* out, uint32_t count) override;
    void DecryptCFB8bit(const void* in, void* out, uint32_t count) override;
    void EncryptCFBblock(const void* in, void* out, uint32_t count) override;
    void DecryptCFBblock(const void* in, void* out, uint32_t count) override;
    void EncryptOFB(const void* in, void* out, uint32_t count) override;
    void DecryptOFB(const void* in, void* out, uint32_t count) override;
    void EncryptCTR(const void* in, void* out, uint32_t count) override;
    void DecryptCTR(const void* in, void* out, uint32_t count) override;

    // Adds 1 to the chaining value as one big-endian number, modulo 2^(8B).
    void IncrementCounter();

    // Read-only views for checks that the material was wiped.
    std::span<const uint8_t> InitVectorBytes() const { return m_iv.Bytes(); }
    std::span<const uint8_t> ChainValueBytes() const { return m_cv.Bytes(); }

protected:
    // CBC over whole blocks through cv, keyed already: what a cipher's fast path
    // overrides. The default is the block loop.
    virtual void EncryptChain(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* cv);
    virtual void DecryptChain(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* cv);

    TKeyArray<uint8_t, B, 0xFF> m_iv;
    TKeyArray<uint8_t, B, 0xFF> m_cv;

private:
    // One block at a time through EncryptBlock/DecryptBlock; chained when cv is not null.
    void EncryptLoop(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* cv);
    void DecryptLoop(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* cv);
    void CbcMode(const void* in, void* out, uint32_t count, bool encrypt);
    // The partial last block of CBC and block CFB, both directions: CV := E(CV), then XOR.
    void CipherTail(const uint8_t* in, uint8_t* out, uint32_t r);
    void StreamMode(const void* in, void* out, uint32_t count, bool counter);
};

extern template class TDCP_blockcipherN<8>;
extern template class TDCP_blockcipherN<16>;

class TDCP_blockcipher64 : public TDCP_blockcipherN<8> {};
class TDCP_blockcipher128 : public TDCP_blockcipherN<16> {};

void XorBytes(uint8_t* target, const uint8_t* source, size_t count);

} // namespace lw
