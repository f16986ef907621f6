#pragma once
#include <cstddef>
#include <cstdint>

#include "crypto/RijndaelNi.h"

// CBC decryption over vectors of W::kBlocks AES blocks. Each width's source file includes
// this and is compiled for its own instruction set as a whole, so no vector ever passes
// between code built for two different sets.
namespace lw {

template <class W, int R>
inline void VaesDecryptCbcLoop(const TAesRoundKeys& keys, uint8_t* cv, const uint8_t* in, uint8_t* out, size_t blocks)
{
    using V = typename W::Vector;
    constexpr size_t kLane = W::kBlocks;
    // Eight registers in flight keep the AES unit busy.
    constexpr size_t kRegs = 8;
    V k[R + 1];
#pragma GCC unroll 16
    for (int r = 0; r <= R; ++r)
        k[r] = W::Broadcast(keys.dec + static_cast<size_t>(r) * keys.stride);

    // The chaining value sits in the top block, where Previous looks for it.
    V prev = W::Broadcast(cv);
    size_t i = 0;
    for (; i + kLane * kRegs <= blocks; i += kLane * kRegs) {
        V c[kRegs];
        V s[kRegs];
#pragma GCC unroll 8
        for (size_t j = 0; j < kRegs; ++j) {
            c[j] = W::Load(in + 16 * (i + kLane * j));
            s[j] = W::Xor(c[j], k[R]);
        }
#pragma GCC unroll 16
        for (int r = R - 1; r >= 1; --r)
#pragma GCC unroll 8
            for (size_t j = 0; j < kRegs; ++j)
                s[j] = W::Dec(s[j], k[r]);
        s[0] = W::DecLast(s[0], W::Xor(k[0], W::Previous(c[0], prev)));
#pragma GCC unroll 8
        for (size_t j = 1; j < kRegs; ++j)
            s[j] = W::DecLast(s[j], W::Xor(k[0], W::Previous(c[j], c[j - 1])));
        prev = c[kRegs - 1];
#pragma GCC unroll 8
        for (size_t j = 0; j < kRegs; ++j)
            W::Store(out + 16 * (i + kLane * j), s[j]);
    }
    for (; i + kLane <= blocks; i += kLane) {
        const V c = W::Load(in + 16 * i);
        V s = W::Xor(c, k[R]);
#pragma GCC unroll 16
        for (int r = R - 1; r >= 1; --r)
            s = W::Dec(s, k[r]);
        s = W::DecLast(s, W::Xor(k[0], W::Previous(c, prev)));
        prev = c;
        W::Store(out + 16 * i, s);
    }
    // Fewer blocks than a register holds are left to the 128-bit instructions.
    W::StoreTopBlock(cv, prev);
    AesNiDecryptCBC(keys, cv, in + 16 * i, out + 16 * i, blocks - i);
}

} // namespace lw
