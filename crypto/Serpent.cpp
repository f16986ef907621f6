#include "crypto/Serpent.h"

#include <bit>
#include <cstring>

namespace lw {
namespace {

using TWords = TDCP_serpent::TWords;

struct TKnownAnswer {
    uint32_t bits;
    uint8_t key[32];
    uint8_t plain[16];
    uint8_t cipher[16];
};

// Defined at the bottom of this file.
extern const TKnownAnswer KNOWN_ANSWERS[3];

constexpr uint32_t PHI = 0x9E3779B9;

// Byte 4k is the low byte of word k.
inline uint32_t LoadWord(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void StoreWord(uint8_t* p, uint32_t w)
{
    p[0] = uint8_t(w);
    p[1] = uint8_t(w >> 8);
    p[2] = uint8_t(w >> 16);
    p[3] = uint8_t(w >> 24);
}

// The S-boxes S0..S7 and their inverses SI0..SI7 as gate sequences on whole words, so one
// pass applies the box at all 32 bit positions. The sequences came from a search for short,
// shallow AND/OR/XOR/NOT circuits; the tests run each one over all 16 inputs against the
// tables.
inline void S0(TWords& x)
{
    const uint32_t a0 = x[0], a1 = x[1], a2 = x[2], a3 = x[3];
    const uint32_t t0 = a0 | a3;
    const uint32_t t1 = a1 ^ a2;
    const uint32_t t2 = t0 ^ t1;
    const uint32_t t3 = a2 | a3;
    const uint32_t t4 = t1 ^ t3;
    const uint32_t t5 = a0 ^ a3;
    const uint32_t t6 = a1 | a2;
    const uint32_t t7 = t5 & t6;
    const uint32_t t8 = t4 ^ t7;
    const uint32_t t9 = a0 ^ t7;
    const uint32_t t10 = a0 ^ a2;
    const uint32_t t11 = ~t10;
    const uint32_t t12 = t2 | t11;
    const uint32_t t13 = t9 ^ t12;
    const uint32_t t14 = a2 & t1;
    const uint32_t t15 = a2 ^ t5;
    const uint32_t t16 = t14 | t15;
    const uint32_t t17 = t12 ^ t16;
    x = {t17, t13, t8, t2};
}

inline void S1(TWords& x)
{
    const uint32_t a0 = x[0], a1 = x[1], a2 = x[2], a3 = x[3];
    const uint32_t t0 = a2 ^ a3;
    const uint32_t t1 = ~a1;
    const uint32_t t2 = a0 | t1;
    const uint32_t t3 = t0 ^ t2;
    const uint32_t t4 = a1 & t0;
    const uint32_t t5 = a3 & t0;
    const uint32_t t6 = a0 ^ a3;
    const uint32_t t7 = t1 ^ t6;
    const uint32_t t8 = t5 | t7;
    const uint32_t t9 = t4 ^ t8;
    const uint32_t t10 = a2 ^ t2;
    const uint32_t t11 = t6 & t10;
    const uint32_t t12 = t8 ^ t11;
    const uint32_t t13 = t3 | t8;
    const uint32_t t14 = a1 | a2;
    const uint32_t t15 = t6 ^ t14;
    const uint32_t t16 = t13 ^ t15;
    x = {t9, t16, t3, t12};
}

inline void S2(TWords& x)
{
    const uint32_t a0 = x[0], a1 = x[1], a2 = x[2], a3 = x[3];
    const uint32_t t0 = a1 ^ a2;
    const uint32_t t1 = a0 & a2;
    const uint32_t t2 = a3 ^ t1;
    const uint32_t t3 = t0 ^ t2;
    const uint32_t t4 = a1 & t2;
    const uint32_t t5 = ~a0;
    const uint32_t t6 = t0 ^ t5;
    const uint32_t t7 = t4 ^ t6;
    const uint32_t t8 = t2 ^ t6;
    const uint32_t t9 = a0 | a3;
    const uint32_t t10 = a1 ^ t9;
    const uint32_t t11 = t6 | t10;
    const uint32_t t12 = t8 ^ t11;
    const uint32_t t13 = a1 ^ t5;
    const uint32_t t14 = t2 | t13;
    const uint32_t t15 = t11 ^ t14;
    x = {t3, t15, t12, t7};
}

inline void S3(TWords& x)
{
    const uint32_t a0 = x[0], a1 = x[1], a2 = x[2], a3 = x[3];
    const uint32_t t0 = a0 & a3;
    const uint32_t t1 = a1 | t0;
    const uint32_t t2 = a0 ^ a2;
    const uint32_t t3 = a0 | a3;
    const uint32_t t4 = t2 & t3;
    const uint32_t t5 = t1 ^ t4;
    const uint32_t t6 = a1 ^ a3;
    const uint32_t t7 = t3 & t6;
    const uint32_t t8 = a0 & a1;
    const uint32_t t9 = t2 | t8;
    const uint32_t t10 = t7 ^ t9;
    const uint32_t t11 = a2 | t8;
    const uint32_t t12 = t4 ^ t11;
    const uint32_t t13 = t6 ^ t12;
    const uint32_t t14 = t5 & t10;
    const uint32_t t15 = t3 ^ t8;
    const uint32_t t16 = t5 ^ t15;
    const uint32_t t17 = t14 ^ t16;
    x = {t17, t5, t10, t13};
}

inline void S4(TWords& x)
{
    const uint32_t a0 = x[0], a1 = x[1], a2 = x[2], a3 = x[3];
    const uint32_t t0 = a1 | a2;
    const uint32_t t1 = a0 | a1;
    const uint32_t t2 = a0 ^ a3;
    const uint32_t t3 = t1 & t2;
    const uint32_t t4 = t0 ^ t3;
    const uint32_t t5 = ~a0;
    const uint32_t t6 = a2 ^ t5;
    const uint32_t t7 = a0 ^ a1;
    const uint32_t t8 = t2 | t7;
    const uint32_t t9 = t6 ^ t8;
    const uint32_t t10 = a1 | t3;
    const uint32_t t11 = a3 | t7;
    const uint32_t t12 = t6 & t11;
    const uint32_t t13 = t10 ^ t12;
    const uint32_t t14 = t9 | t12;
    const uint32_t t15 = t0 & t3;
    const uint32_t t16 = t5 ^ t15;
    const uint32_t t17 = t14 ^ t16;
    x = {t9, t13, t17, t4};
}

inline void S5(TWords& x)
{
    const uint32_t a0 = x[0], a1 = x[1], a2 = x[2], a3 = x[3];
    const uint32_t t0 = a1 ^ a3;
    const uint32_t t1 = a0 & t0;
    const uint32_t t2 = ~a2;
    const uint32_t t3 = a1 | a3;
    const uint32_t t4 = t2 ^ t3;
    const uint32_t t5 = t1 ^ t4;
    const uint32_t t6 = a0 | a1;
    const uint32_t t7 = t2 ^ t6;
    const uint32_t t8 = t1 | t7;
    const uint32_t t9 = a3 ^ t8;
    const uint32_t t10 = a0 ^ t0;
    const uint32_t t11 = a3 | t5;
    const uint32_t t12 = t10 ^ t11;
    const uint32_t t13 = ~t5;
    const uint32_t t14 = t7 | t13;
    const uint32_t t15 = t10 ^ t14;
    x = {t5, t12, t15, t9};
}

inline void S6(TWords& x)
{
    const uint32_t a0 = x[0], a1 = x[1], a2 = x[2], a3 = x[3];
    const uint32_t t0 = ~a1;
    const uint32_t t1 = a0 & a3;
    const uint32_t t2 = a2 ^ t1;
    const uint32_t t3 = t0 ^ t2;
    const uint32_t t4 = a1 | a3;
    const uint32_t t5 = a2 ^ t4;
    const uint32_t t6 = a0 ^ a3;
    const uint32_t t7 = a1 | a2;
    const uint32_t t8 = t6 & t7;
    const uint32_t t9 = t5 ^ t8;
    const uint32_t t10 = t0 ^ t8;
    const uint32_t t11 = a0 ^ a1;
    const uint32_t t12 = t2 | t11;
    const uint32_t t13 = t10 ^ t12;
    const uint32_t t14 = t3 & t6;
    const uint32_t t15 = t11 ^ t14;
    const uint32_t t16 = t13 ^ t15;
    x = {t16, t3, t13, t9};
}

inline void S7(TWords& x)
{
    const uint32_t a0 = x[0], a1 = x[1], a2 = x[2], a3 = x[3];
    const uint32_t t0 = a0 & a2;
    const uint32_t t1 = a1 | t0;
    const uint32_t t2 = a0 | a3;
    const uint32_t t3 = a2 ^ a3;
    const uint32_t t4 = t2 ^ t3;
    const uint32_t t5 = t1 ^ t4;
    const uint32_t t6 = a0 ^ a3;
    const uint32_t t7 = a1 ^ a2;
    const uint32_t t8 = t4 | t7;
    const uint32_t t9 = t6 ^ t8;
    const uint32_t t10 = t2 ^ t7;
    const uint32_t t11 = t3 & t6;
    const uint32_t t12 = a1 & t11;
    const uint32_t t13 = t10 ^ t12;
    const uint32_t t14 = t6 & t10;
    const uint32_t t15 = a0 & a1;
    const uint32_t t16 = t3 | t15;
    const uint32_t t17 = ~t16;
    const uint32_t t18 = t14 | t17;
    x = {t18, t9, t13, t5};
}

inline void SI0(TWords& x)
{
    const uint32_t a0 = x[0], a1 = x[1], a2 = x[2], a3 = x[3];
    const uint32_t t0 = ~a3;
    const uint32_t t1 = a0 | a1;
    const uint32_t t2 = t0 ^ t1;
    const uint32_t t3 = a2 ^ t2;
    const uint32_t t4 = a0 | a2;
    const uint32_t t5 = a2 | t0;
    const uint32_t t6 = a0 & a3;
    const uint32_t t7 = a1 ^ t6;
    const uint32_t t8 = t5 & t7;
    const uint32_t t9 = t4 ^ t8;
    const uint32_t t10 = a0 ^ t7;
    const uint32_t t11 = a1 | t0;
    const uint32_t t12 = t7 ^ t11;
    const uint32_t t13 = t3 | t12;
    const uint32_t t14 = t10 ^ t13;
    const uint32_t t15 = a3 ^ t10;
    const uint32_t t16 = t3 & t12;
    const uint32_t t17 = t15 ^ t16;
    x = {t17, t9, t3, t14};
}

inline void SI1(TWords& x)
{
    const uint32_t a0 = x[0], a1 = x[1], a2 = x[2], a3 = x[3];
    const uint32_t t0 = a2 ^ a3;
    const uint32_t t1 = a1 & a3;
    const uint32_t t2 = a0 ^ t1;
    const uint32_t t3 = t0 ^ t2;
    const uint32_t t4 = ~a0;
    const uint32_t t5 = a1 & a2;
    const uint32_t t6 = t4 ^ t5;
    const uint32_t t7 = a0 & a2;
    const uint32_t t8 = a1 ^ a3;
    const uint32_t t9 = t7 | t8;
    const uint32_t t10 = t6 ^ t9;
    const uint32_t t11 = a2 ^ t9;
    const uint32_t t12 = t0 & t2;
    const uint32_t t13 = t11 ^ t12;
    const uint32_t t14 = t4 | t9;
    const uint32_t t15 = t12 ^ t14;
    const uint32_t t16 = a1 ^ t15;
    x = {t16, t13, t10, t3};
}

inline void SI2(TWords& x)
{
    const uint32_t a0 = x[0], a1 = x[1], a2 = x[2], a3 = x[3];
    const uint32_t t0 = a1 & a3;
    const uint32_t t1 = a1 | a2;
    const uint32_t t2 = a0 ^ t1;
    const uint32_t t3 = t0 ^ t2;
    const uint32_t t4 = a0 | a2;
    const uint32_t t5 = a1 & t4;
    const uint32_t t6 = ~a3;
    const uint32_t t7 = a0 & a2;
    const uint32_t t8 = t6 | t7;
    const uint32_t t9 = t5 ^ t8;
    const uint32_t t10 = t3 | t9;
    const uint32_t t11 = a1 ^ a2;
    const uint32_t t12 = t6 ^ t11;
    const uint32_t t13 = t10 ^ t12;
    const uint32_t t14 = a0 | a1;
    const uint32_t t15 = t8 & t14;
    const uint32_t t16 = t12 ^ t15;
    x = {t3, t13, t16, t9};
}

inline void SI3(TWords& x)
{
    const uint32_t a0 = x[0], a1 = x[1], a2 = x[2], a3 = x[3];
    const uint32_t t0 = a0 | a3;
    const uint32_t t1 = a1 ^ a2;
    const uint32_t t2 = a2 | a3;
    const uint32_t t3 = t1 & t2;
    const uint32_t t4 = t0 ^ t3;
    const uint32_t t5 = t0 & t1;
    const uint32_t t6 = a0 & a3;
    const uint32_t t7 = a1 & a2;
    const uint32_t t8 = t6 ^ t7;
    const uint32_t t9 = t5 ^ t8;
    const uint32_t t10 = t1 | t6;
    const uint32_t t11 = a0 ^ a2;
    const uint32_t t12 = t7 | t11;
    const uint32_t t13 = t0 & t12;
    const uint32_t t14 = t10 ^ t13;
    const uint32_t t15 = a1 & t11;
    const uint32_t t16 = a3 ^ t10;
    const uint32_t t17 = t15 | t16;
    x = {t4, t17, t9, t14};
}

inline void SI4(TWords& x)
{
    const uint32_t a0 = x[0], a1 = x[1], a2 = x[2], a3 = x[3];
    const uint32_t t0 = a2 ^ a3;
    const uint32_t t1 = a2 | a3;
    const uint32_t t2 = a1 ^ t1;
    const uint32_t t3 = a0 & t2;
    const uint32_t t4 = t0 ^ t3;
    const uint32_t t5 = a0 ^ a3;
    const uint32_t t6 = a1 | a3;
    const uint32_t t7 = t5 & t6;
    const uint32_t t8 = t2 ^ t7;
    const uint32_t t9 = ~a0;
    const uint32_t t10 = a2 ^ t8;
    const uint32_t t11 = t9 | t10;
    const uint32_t t12 = t2 ^ t11;
    const uint32_t t13 = a2 | t3;
    const uint32_t t14 = t8 | t9;
    const uint32_t t15 = t13 ^ t14;
    const uint32_t t16 = t6 ^ t15;
    x = {t12, t4, t16, t8};
}

inline void SI5(TWords& x)
{
    const uint32_t a0 = x[0], a1 = x[1], a2 = x[2], a3 = x[3];
    const uint32_t t0 = a1 & a2;
    const uint32_t t1 = a0 & a1;
    const uint32_t t2 = a0 ^ a3;
    const uint32_t t3 = t1 | t2;
    const uint32_t t4 = t0 ^ t3;
    const uint32_t t5 = a2 | t1;
    const uint32_t t6 = ~a1;
    const uint32_t t7 = a0 & a3;
    const uint32_t t8 = t6 ^ t7;
    const uint32_t t9 = t5 ^ t8;
    const uint32_t t10 = a1 & t3;
    const uint32_t t11 = a0 ^ a2;
    const uint32_t t12 = t7 | t11;
    const uint32_t t13 = t10 ^ t12;
    const uint32_t t14 = a0 & a2;
    const uint32_t t15 = a1 | t14;
    const uint32_t t16 = t7 ^ t15;
    const uint32_t t17 = t4 ^ t16;
    x = {t4, t17, t13, t9};
}

inline void SI6(TWords& x)
{
    const uint32_t a0 = x[0], a1 = x[1], a2 = x[2], a3 = x[3];
    const uint32_t t0 = a1 ^ a3;
    const uint32_t t1 = ~a2;
    const uint32_t t2 = a0 | t1;
    const uint32_t t3 = t0 ^ t2;
    const uint32_t t4 = t0 | t1;
    const uint32_t t5 = a0 ^ a2;
    const uint32_t t6 = a1 & a3;
    const uint32_t t7 = t5 | t6;
    const uint32_t t8 = a1 ^ t7;
    const uint32_t t9 = t4 ^ t8;
    const uint32_t t10 = a1 | t3;
    const uint32_t t11 = a0 & a1;
    const uint32_t t12 = t7 ^ t11;
    const uint32_t t13 = t10 ^ t12;
    const uint32_t t14 = t0 | t8;
    const uint32_t t15 = t5 | t11;
    const uint32_t t16 = t1 ^ t15;
    const uint32_t t17 = t14 ^ t16;
    x = {t13, t3, t9, t17};
}

inline void SI7(TWords& x)
{
    const uint32_t a0 = x[0], a1 = x[1], a2 = x[2], a3 = x[3];
    const uint32_t t0 = a0 & a1;
    const uint32_t t1 = a2 | t0;
    const uint32_t t2 = a0 | a1;
    const uint32_t t3 = a3 & t2;
    const uint32_t t4 = t1 ^ t3;
    const uint32_t t5 = a0 | a3;
    const uint32_t t6 = a2 & t5;
    const uint32_t t7 = a1 ^ a3;
    const uint32_t t8 = t0 | t7;
    const uint32_t t9 = t6 ^ t8;
    const uint32_t t10 = ~a0;
    const uint32_t t11 = t7 ^ t10;
    const uint32_t t12 = t2 & t7;
    const uint32_t t13 = t1 | t12;
    const uint32_t t14 = t11 ^ t13;
    const uint32_t t15 = a2 ^ t12;
    const uint32_t t16 = a3 | t14;
    const uint32_t t17 = t15 ^ t16;
    x = {t17, t14, t9, t4};
}

inline void LinearTransform(TWords& x)
{
    x[0] = std::rotl(x[0], 13);
    x[2] = std::rotl(x[2], 3);
    x[1] ^= x[0] ^ x[2];
    x[3] ^= x[2] ^ (x[0] << 3);
    x[1] = std::rotl(x[1], 1);
    x[3] = std::rotl(x[3], 7);
    x[0] ^= x[1] ^ x[3];
    x[2] ^= x[3] ^ (x[1] << 7);
    x[0] = std::rotl(x[0], 5);
    x[2] = std::rotl(x[2], 22);
}

inline void InverseLinearTransform(TWords& x)
{
    x[2] = std::rotr(x[2], 22);
    x[0] = std::rotr(x[0], 5);
    x[2] ^= x[3] ^ (x[1] << 7);
    x[0] ^= x[1] ^ x[3];
    x[3] = std::rotr(x[3], 7);
    x[1] = std::rotr(x[1], 1);
    x[3] ^= x[2] ^ (x[0] << 3);
    x[1] ^= x[0] ^ x[2];
    x[2] = std::rotr(x[2], 3);
    x[0] = std::rotr(x[0], 13);
}

inline void AddRoundKey(TWords& x, const uint32_t* k)
{
    x[0] ^= k[0];
    x[1] ^= k[1];
    x[2] ^= k[2];
    x[3] ^= k[3];
}

template <void (*Box)(TWords&)>
inline void Round(TWords& x, const uint32_t* k)
{
    AddRoundKey(x, k);
    Box(x);
    LinearTransform(x);
}

template <void (*Box)(TWords&)>
inline void InverseRound(TWords& x, const uint32_t* k)
{
    InverseLinearTransform(x);
    Box(x);
    AddRoundKey(x, k);
}

} // namespace

void TDCP_serpent::ApplySbox(unsigned box, TWords& x)
{
    constexpr void (*boxes[8])(TWords&) = {S0, S1, S2, S3, S4, S5, S6, S7};
    boxes[box % 8](x);
}

void TDCP_serpent::ApplyInverseSbox(unsigned box, TWords& x)
{
    constexpr void (*boxes[8])(TWords&) = {SI0, SI1, SI2, SI3, SI4, SI5, SI6, SI7};
    boxes[box % 8](x);
}

void TDCP_serpent::ScheduleKey(const void* key, uint32_t sizeInBits)
{
    // Words 0..7 are the key words w[-8..-1]; group 2 + i becomes round key K_i.
    std::array<TWords, 35> work{};
    auto w = [&work](uint32_t i) -> uint32_t& { return work[i / 4][i % 4]; };

    const auto* bytes = static_cast<const uint8_t*>(key);
    for (uint32_t i = 0; i < sizeInBits / 8; ++i)
        w(i / 4) |= uint32_t(bytes[i]) << (8 * (i % 4));
    // Bit number sizeInBits becomes 1; the bits of a partial last byte are not copied.
    if (sizeInBits < 256) {
        const uint32_t q = sizeInBits / 32;
        const uint32_t m = uint32_t(1) << (sizeInBits % 32);
        w(q) = m | (w(q) & (m - 1));
    }
    for (uint32_t i = 0; i < 132; ++i)
        w(i + 8) = std::rotl(w(i) ^ w(i + 3) ^ w(i + 5) ^ w(i + 7) ^ PHI ^ i, 11);

    for (uint32_t i = 0; i < 33; ++i) {
        TWords& group = work[i + 2];
        ApplySbox(35 - i, group); // S_((3 - i) mod 8)
        std::memcpy(SubKeys.data() + 4 * i, group.data(), sizeof(group));
    }
    SecureFill(work.data(), sizeof(work), 0x00);
}

void TDCP_serpent::Wipe()
{
    SubKeys.Wipe();
    TDCP_blockcipher128::Wipe();
}

void TDCP_serpent::EncryptBlock(const void* in, void* out)
{
    RequireKeyed();
    const auto* src = static_cast<const uint8_t*>(in);
    TWords x{LoadWord(src), LoadWord(src + 4), LoadWord(src + 8), LoadWord(src + 12)};
    for (int pass = 0; pass < 4; ++pass) {
        const uint32_t* k = SubKeys.data() + 32 * pass;
        Round<S0>(x, k);
        Round<S1>(x, k + 4);
        Round<S2>(x, k + 8);
        Round<S3>(x, k + 12);
        Round<S4>(x, k + 16);
        Round<S5>(x, k + 20);
        Round<S6>(x, k + 24);
        AddRoundKey(x, k + 28);
        S7(x);
        if (pass < 3)
            LinearTransform(x);
        else
            AddRoundKey(x, k + 32);
    }
    auto* dst = static_cast<uint8_t*>(out);
    StoreWord(dst, x[0]);
    StoreWord(dst + 4, x[1]);
    StoreWord(dst + 8, x[2]);
    StoreWord(dst + 12, x[3]);
}

void TDCP_serpent::DecryptBlock(const void* in, void* out)
{
    RequireKeyed();
    const auto* src = static_cast<const uint8_t*>(in);
    TWords x{LoadWord(src), LoadWord(src + 4), LoadWord(src + 8), LoadWord(src + 12)};
    for (int pass = 3; pass >= 0; --pass) {
        const uint32_t* k = SubKeys.data() + 32 * pass;
        if (pass == 3)
            AddRoundKey(x, k + 32);
        else
            InverseLinearTransform(x);
        SI7(x);
        AddRoundKey(x, k + 28);
        InverseRound<SI6>(x, k + 24);
        InverseRound<SI5>(x, k + 20);
        InverseRound<SI4>(x, k + 16);
        InverseRound<SI3>(x, k + 12);
        InverseRound<SI2>(x, k + 8);
        InverseRound<SI1>(x, k + 4);
        InverseRound<SI0>(x, k);
    }
    auto* dst = static_cast<uint8_t*>(out);
    StoreWord(dst, x[0]);
    StoreWord(dst + 4, x[1]);
    StoreWord(dst + 8, x[2]);
    StoreWord(dst + 12, x[3]);
}

bool TDCP_serpent::ClassKnownAnswerTest()
{
    TDCP_serpent cipher;
    bool ok = true;
    for (const TKnownAnswer& v : KNOWN_ANSWERS) {
        uint8_t block[16];
        cipher.SetKey(v.key, v.bits, nullptr);
        cipher.EncryptBlock(v.plain, block);
        ok = ok && std::memcmp(block, v.cipher, sizeof(block)) == 0;
        cipher.DecryptBlock(block, block);
        cipher.Wipe();
        ok = ok && std::memcmp(block, v.plain, sizeof(block)) == 0;
    }
    return ok;
}

namespace {

// clang-format off
constinit const TKnownAnswer KNOWN_ANSWERS[3] = {
    {128,
     {0xff,0xee,0xdd,0xcc,0xbb,0xaa,0x99,0x88,0x77,0x66,0x55,0x44,0x33,0x22,0x11,0x00},
     {0x10,0x32,0x54,0x76,0x98,0xba,0xdc,0xfe,0xef,0xcd,0xab,0x89,0x67,0x45,0x23,0x01},
     {0xd5,0xba,0xa0,0x0a,0x4b,0xb9,0xd8,0xa7,0xc9,0x81,0xc8,0xdc,0x90,0xd8,0x9d,0x92}},
    {192,
     {0x88,0x99,0xaa,0xbb,0xcc,0xdd,0xee,0xff,0xff,0xee,0xdd,0xcc,0xbb,0xaa,0x99,0x88,
      0x77,0x66,0x55,0x44,0x33,0x22,0x11,0x00},
     {0x10,0x32,0x54,0x76,0x98,0xba,0xdc,0xfe,0xef,0xcd,0xab,0x89,0x67,0x45,0x23,0x01},
     {0xda,0x86,0x08,0x42,0xb7,0x20,0x80,0x2b,0xf4,0x04,0xa4,0xc7,0x10,0x34,0x87,0x9a}},
    {256,
     {0x00,0x11,0x22,0x33,0x44,0x55,0x66,0x77,0x88,0x99,0xaa,0xbb,0xcc,0xdd,0xee,0xff,
      0xff,0xee,0xdd,0xcc,0xbb,0xaa,0x99,0x88,0x77,0x66,0x55,0x44,0x33,0x22,0x11,0x00},
     {0x10,0x32,0x54,0x76,0x98,0xba,0xdc,0xfe,0xef,0xcd,0xab,0x89,0x67,0x45,0x23,0x01},
     {0x93,0xdf,0x9a,0x3c,0xaf,0xe3,0x87,0xbd,0x99,0x9e,0xeb,0xe3,0x93,0xa1,0x7f,0xca}},
};
// clang-format on

} // namespace
} // namespace lw
