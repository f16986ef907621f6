#include "crypto/BlockCipher.h"

#include <cstring>

namespace lw {

void XorBytes(uint8_t* target, const uint8_t* source, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        target[i] ^= source[i];
}

void TDCP_blockcipher::Encrypt(const void* in, void* out, uint32_t count)
{
    switch (m_cipherMode) {
    case cmCBC: EncryptCBC(in, out, count); break;
    case cmCFB8bit: EncryptCFB8bit(in, out, count); break;
    case cmCFBblock: EncryptCFBblock(in, out, count); break;
    case cmOFB: EncryptOFB(in, out, count); break;
    case cmCTR: EncryptCTR(in, out, count); break;
    }
}

void TDCP_blockcipher::Decrypt(const void* in, void* out, uint32_t count)
{
    switch (m_cipherMode) {
    case cmCBC: DecryptCBC(in, out, count); break;
    case cmCFB8bit: DecryptCFB8bit(in, out, count); break;
    case cmCFBblock: DecryptCFBblock(in, out, count); break;
    case cmOFB: DecryptOFB(in, out, count); break;
    case cmCTR: DecryptCTR(in, out, count); break;
    }
}

void TDCP_blockcipher::CipherTextBytes(uint8_t* bytes, uint32_t count, bool encrypt)
{
    if (encrypt)
        EncryptCFB8bit(bytes, bytes, count);
    else
        DecryptCFB8bit(bytes, bytes, count);
}

template <size_t B>
void TDCP_blockcipherN<B>::SetKey(const void* key, uint32_t sizeInBits, const void* iv)
{
    TDCP_cipher::SetKey(key, sizeInBits, iv);
    try {
        ScheduleKey(key, sizeInBits);
    } catch (...) {
        Wipe();
        throw;
    }
    if (iv) {
        std::memcpy(m_iv.data(), iv, B);
    } else {
        std::memset(m_iv.data(), 0, B);
        EncryptBlock(m_iv.data(), m_iv.data());
    }
    Reset();
}

template <size_t B>
void TDCP_blockcipherN<B>::Wipe()
{
    m_iv.Wipe();
    m_cv.Wipe();
    TDCP_blockcipher::Wipe();
}

template <size_t B>
void TDCP_blockcipherN<B>::Reset()
{
    RequireKeyed();
    std::memcpy(m_cv.data(), m_iv.data(), B);
}

template <size_t B>
void TDCP_blockcipherN<B>::SetInitVector(const void* block)
{
    RequireKeyed();
    std::memcpy(m_iv.data(), block, B);
    Reset();
}

template <size_t B>
void TDCP_blockcipherN<B>::GetChainValue(void* block)
{
    RequireKeyed();
    std::memcpy(block, m_cv.data(), B);
}

template <size_t B>
void TDCP_blockcipherN<B>::CipherTail(const uint8_t* in, uint8_t* out, uint32_t r)
{
    EncryptBlock(m_cv.data(), m_cv.data());
    for (uint32_t i = 0; i < r; ++i)
        out[i] = in[i] ^ m_cv[i];
}

template <size_t B>
void TDCP_blockcipherN<B>::EncryptLoop(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* cv)
{
    uint8_t block[B];
    const TWipeOnExit wipeBlock(block);
    for (; blocks > 0; --blocks, in += B, out += B) {
        std::memcpy(block, in, B);
        if (cv)
            XorBytes(block, cv, B);
        EncryptBlock(block, block);
        std::memcpy(out, block, B);
        if (cv)
            std::memcpy(cv, block, B);
    }
}

template <size_t B>
void TDCP_blockcipherN<B>::DecryptLoop(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* cv)
{
    uint8_t saved[B];
    uint8_t block[B];
    const TWipeOnExit wipeSaved(saved);
    const TWipeOnExit wipeBlock(block);
    for (; blocks > 0; --blocks, in += B, out += B) {
        std::memcpy(saved, in, B);
        DecryptBlock(saved, block);
        if (cv) {
            XorBytes(block, cv, B);
            std::memcpy(cv, saved, B);
        }
        std::memcpy(out, block, B);
    }
}

template <size_t B>
void TDCP_blockcipherN<B>::EncryptBlocks(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* cv)
{
    RequireKeyed();
    if (cv)
        EncryptChain(in, out, blocks, cv);
    else
        EncryptLoop(in, out, blocks, nullptr);
}

template <size_t B>
void TDCP_blockcipherN<B>::DecryptBlocks(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* cv)
{
    RequireKeyed();
    if (cv)
        DecryptChain(in, out, blocks, cv);
    else
        DecryptLoop(in, out, blocks, nullptr);
}

template <size_t B>
void TDCP_blockcipherN<B>::EncryptChain(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* cv)
{
    EncryptLoop(in, out, blocks, cv);
}

template <size_t B>
void TDCP_blockcipherN<B>::DecryptChain(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* cv)
{
    DecryptLoop(in, out, blocks, cv);
}

// Whole blocks through the multi-block primitive, then the partial-block rule.
template <size_t B>
void TDCP_blockcipherN<B>::CbcMode(const void* inp, void* outp, uint32_t count, bool encrypt)
{
    RequireKeyed();
    const auto in = static_cast<const uint8_t*>(inp);
    const auto out = static_cast<uint8_t*>(outp);
    const uint32_t whole = count / B * B;
    if (encrypt)
        EncryptBlocks(in, out, count / B, m_cv.data());
    else
        DecryptBlocks(in, out, count / B, m_cv.data());
    if (whole < count)
        CipherTail(in + whole, out + whole, count - whole);
}

template <size_t B>
void TDCP_blockcipherN<B>::EncryptCBC(const void* in, void* out, uint32_t count)
{
    CbcMode(in, out, count, true);
}
template <size_t B>
void TDCP_blockcipherN<B>::DecryptCBC(const void* in, void* out, uint32_t count)
{
    CbcMode(in, out, count, false);
}

template <size_t B>
void TDCP_blockcipherN<B>::EncryptCFB8bit(const void* inp, void* outp, uint32_t count)
{
    RequireKeyed();
    auto in = static_cast<const uint8_t*>(inp);
    auto out = static_cast<uint8_t*>(outp);
    uint8_t key[B];
    const TWipeOnExit wipeKey(key);
    for (uint32_t i = 0; i < count; ++i) {
        EncryptBlock(m_cv.data(), key);
        out[i] = in[i] ^ key[0];
        std::memmove(m_cv.data(), m_cv.data() + 1, B - 1);
        m_cv[B - 1] = out[i];
    }
}

template <size_t B>
void TDCP_blockcipherN<B>::DecryptCFB8bit(const void* inp, void* outp, uint32_t count)
{
    RequireKeyed();
    auto in = static_cast<const uint8_t*>(inp);
    auto out = static_cast<uint8_t*>(outp);
    uint8_t key[B];
    const TWipeOnExit wipeKey(key);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t c = in[i];
        EncryptBlock(m_cv.data(), key);
        out[i] = c ^ key[0];
        std::memmove(m_cv.data(), m_cv.data() + 1, B - 1);
        m_cv[B - 1] = c;
    }
}

template <size_t B>
void TDCP_blockcipherN<B>::EncryptCFBblock(const void* inp, void* outp, uint32_t count)
{
    RequireKeyed();
    auto in = static_cast<const uint8_t*>(inp);
    auto out = static_cast<uint8_t*>(outp);
    for (uint32_t n = count / B; n > 0; --n, in += B, out += B) {
        EncryptBlock(m_cv.data(), m_cv.data());
        XorBytes(m_cv.data(), in, B);
        std::memcpy(out, m_cv.data(), B);
    }
    if (count % B)
        CipherTail(in, out, count % B);
}

template <size_t B>
void TDCP_blockcipherN<B>::DecryptCFBblock(const void* inp, void* outp, uint32_t count)
{
    RequireKeyed();
    auto in = static_cast<const uint8_t*>(inp);
    auto out = static_cast<uint8_t*>(outp);
    uint8_t saved[B];
    const TWipeOnExit wipeSaved(saved);
    for (uint32_t n = count / B; n > 0; --n, in += B, out += B) {
        std::memcpy(saved, in, B);
        EncryptBlock(m_cv.data(), m_cv.data());
        for (size_t i = 0; i < B; ++i)
            out[i] = saved[i] ^ m_cv[i];
        std::memcpy(m_cv.data(), saved, B);
    }
    if (count % B)
        CipherTail(in, out, count % B);
}

// OFB and CTR are their own inverse.
template <size_t B>
void TDCP_blockcipherN<B>::StreamMode(const void* inp, void* outp, uint32_t count, bool counter)
{
    RequireKeyed();
    auto in = static_cast<const uint8_t*>(inp);
    auto out = static_cast<uint8_t*>(outp);
    uint8_t key[B];
    const TWipeOnExit wipeKey(key);
    auto next = [&] {
        if (counter) {
            EncryptBlock(m_cv.data(), key);
            IncrementCounter();
        } else {
            EncryptBlock(m_cv.data(), m_cv.data());
            std::memcpy(key, m_cv.data(), B);
        }
    };
    for (uint32_t n = count / B; n > 0; --n, in += B, out += B) {
        next();
        for (size_t i = 0; i < B; ++i)
            out[i] = in[i] ^ key[i];
    }
    if (const uint32_t r = count % B) {
        next();
        for (uint32_t i = 0; i < r; ++i)
            out[i] = in[i] ^ key[i];
    }
}

template <size_t B>
void TDCP_blockcipherN<B>::EncryptOFB(const void* in, void* out, uint32_t count)
{
    StreamMode(in, out, count, false);
}
template <size_t B>
void TDCP_blockcipherN<B>::DecryptOFB(const void* in, void* out, uint32_t count)
{
    StreamMode(in, out, count, false);
}
template <size_t B>
void TDCP_blockcipherN<B>::EncryptCTR(const void* in, void* out, uint32_t count)
{
    StreamMode(in, out, count, true);
}
template <size_t B>
void TDCP_blockcipherN<B>::DecryptCTR(const void* in, void* out, uint32_t count)
{
    StreamMode(in, out, count, true);
}

template <size_t B>
void TDCP_blockcipherN<B>::IncrementCounter()
{
    size_t i = B - 1;
    ++m_cv[i];
    while (i > 0 && m_cv[i] == 0) {
        ++m_cv[i - 1];
        --i;
    }
}

template class TDCP_blockcipherN<8>;
template class TDCP_blockcipherN<16>;

} // namespace lw
