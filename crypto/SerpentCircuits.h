#pragma once
// The cipher's round functions written once over any word type W that has the bitwise
// operators and shifts of uint32_t: uint32_t itself (one block) or a vector of 32-bit
// lanes (one block per lane). Everything is forced inline so a caller compiled for a
// wider instruction set gets the whole circuit in that instruction set.
#include <array>
#include <cstdint>

namespace lw::serpent {

template <class W>
using TWords = std::array<W, 4>;

template <class W>
[[gnu::always_inline]] inline void S0(TWords<W>& x)
{
    const W a0 = x[0], a1 = x[1], a2 = x[2], a3 = x[3];
    const W t0 = a0 | a3;
    const W t1 = a1 ^ a2;
    const W t2 = t0 ^ t1;
    const W t3 = a2 | a3;
    const W t4 = t1 ^ t3;
    const W t5 = a0 ^ a3;
    const W t6 = a1 | a2;
    const W t7 = t5 & t6;
    const W t8 = t4 ^ t7;
    const W t9 = a0 ^ t7;
    const W t10 = a0 ^ a2;
    const W t11 = ~t10;
    const W t12 = t2 | t11;
    const W t13 = t9 ^ t12;
    const W t14 = a2 & t1;
    const W t15 = a2 ^ t5;
    const W t16 = t14 | t15;
    const W t17 = t12 ^ t16;
    x = {t17, t13, t8, t2};
}

template <class W>
[[gnu::always_inline]] inline void S1(TWords<W>& x)
{
    const W a0 = x[0], a1 = x[1], a2 = x[2], a3 = x[3];
    const W t0 = a2 ^ a3;
    const W t1 = ~a1;
    const W t2 = a0 | t1;
    const W t3 = t0 ^ t2;
    const W t4 = a1 & t0;
    const W t5 = a3 & t0;
    const W t6 = a0 ^ a3;
    const W t7 = t1 ^ t6;
    const W t8 = t5 | t7;
    const W t9 = t4 ^ t8;
    const W t10 = a2 ^ t2;
    const W t11 = t6 & t10;
    const W t12 = t8 ^ t11;
    const W t13 = t3 | t8;
    const W t14 = a1 | a2;
    const W t15 = t6 ^ t14;
    const W t16 = t13 ^ t15;
    x = {t9, t16, t3, t12};
}

template <class W>
[[gnu::always_inline]] inline void S2(TWords<W>& x)
{
    const W a0 = x[0], a1 = x[1], a2 = x[2], a3 = x[3];
    const W t0 = a1 ^ a2;
    const W t1 = a0 & a2;
    const W t2 = a3 ^ t1;
    const W t3 = t0 ^ t2;
    const W t4 = a1 & t2;
    const W t5 = ~a0;
    const W t6 = t0 ^ t5;
    const W t7 = t4 ^ t6;
    const W t8 = t2 ^ t6;
    const W t9 = a0 | a3;
    const W t10 = a1 ^ t9;
    const W t11 = t6 | t10;
    const W t12 = t8 ^ t11;
    const W t13 = a1 ^ t5;
    const W t14 = t2 | t13;
    const W t15 = t11 ^ t14;
    x = {t3, t15, t12, t7};
}

template <class W>
[[gnu::always_inline]] inline void S3(TWords<W>& x)
{
    const W a0 = x[0], a1 = x[1], a2 = x[2], a3 = x[3];
    const W t0 = a0 & a3;
    const W t1 = a1 | t0;
    const W t2 = a0 ^ a2;
    const W t3 = a0 | a3;
    const W t4 = t2 & t3;
    const W t5 = t1 ^ t4;
    const W t6 = a1 ^ a3;
    const W t7 = t3 & t6;
    const W t8 = a0 & a1;
    const W t9 = t2 | t8;
    const W t10 = t7 ^ t9;
    const W t11 = a2 | t8;
    const W t12 = t4 ^ t11;
    const W t13 = t6 ^ t12;
    const W t14 = t5 & t10;
    const W t15 = t3 ^ t8;
    const W t16 = t5 ^ t15;
    const W t17 = t14 ^ t16;
    x = {t17, t5, t10, t13};
}

template <class W>
[[gnu::always_inline]] inline void S4(TWords<W>& x)
{
    const W a0 = x[0], a1 = x[1], a2 = x[2], a3 = x[3];
    const W t0 = a1 | a2;
    const W t1 = a0 | a1;
    const W t2 = a0 ^ a3;
    const W t3 = t1 & t2;
    const W t4 = t0 ^ t3;
    const W t5 = ~a0;
    const W t6 = a2 ^ t5;
    const W t7 = a0 ^ a1;
    const W t8 = t2 | t7;
    const W t9 = t6 ^ t8;
    const W t10 = a1 | t3;
    const W t11 = a3 | t7;
    const W t12 = t6 & t11;
    const W t13 = t10 ^ t12;
    const W t14 = t9 | t12;
    const W t15 = t0 & t3;
    const W t16 = t5 ^ t15;
    const W t17 = t14 ^ t16;
    x = {t9, t13, t17, t4};
}

template <class W>
[[gnu::always_inline]] inline void S5(TWords<W>& x)
{
    const W a0 = x[0], a1 = x[1], a2 = x[2], a3 = x[3];
    const W t0 = a1 ^ a3;
    const W t1 = a0 & t0;
    const W t2 = ~a2;
    const W t3 = a1 | a3;
    const W t4 = t2 ^ t3;
    const W t5 = t1 ^ t4;
    const W t6 = a0 | a1;
    const W t7 = t2 ^ t6;
    const W t8 = t1 | t7;
    const W t9 = a3 ^ t8;
    const W t10 = a0 ^ t0;
    const W t11 = a3 | t5;
    const W t12 = t10 ^ t11;
    const W t13 = ~t5;
    const W t14 = t7 | t13;
    const W t15 = t10 ^ t14;
    x = {t5, t12, t15, t9};
}

template <class W>
[[gnu::always_inline]] inline void S6(TWords<W>& x)
{
    const W a0 = x[0], a1 = x[1], a2 = x[2], a3 = x[3];
    const W t0 = ~a1;
    const W t1 = a0 & a3;
    const W t2 = a2 ^ t1;
    const W t3 = t0 ^ t2;
    const W t4 = a1 | a3;
    const W t5 = a2 ^ t4;
    const W t6 = a0 ^ a3;
    const W t7 = a1 | a2;
    const W t8 = t6 & t7;
    const W t9 = t5 ^ t8;
    const W t10 = t0 ^ t8;
    const W t11 = a0 ^ a1;
    const W t12 = t2 | t11;
    const W t13 = t10 ^ t12;
    const W t14 = t3 & t6;
    const W t15 = t11 ^ t14;
    const W t16 = t13 ^ t15;
    x = {t16, t3, t13, t9};
}

template <class W>
[[gnu::always_inline]] inline void S7(TWords<W>& x)
{
    const W a0 = x[0], a1 = x[1], a2 = x[2], a3 = x[3];
    const W t0 = a0 & a2;
    const W t1 = a1 | t0;
    const W t2 = a0 | a3;
    const W t3 = a2 ^ a3;
    const W t4 = t2 ^ t3;
    const W t5 = t1 ^ t4;
    const W t6 = a0 ^ a3;
    const W t7 = a1 ^ a2;
    const W t8 = t4 | t7;
    const W t9 = t6 ^ t8;
    const W t10 = t2 ^ t7;
    const W t11 = t3 & t6;
    const W t12 = a1 & t11;
    const W t13 = t10 ^ t12;
    const W t14 = t6 & t10;
    const W t15 = a0 & a1;
    const W t16 = t3 | t15;
    const W t17 = ~t16;
    const W t18 = t14 | t17;
    x = {t18, t9, t13, t5};
}

template <class W>
[[gnu::always_inline]] inline void SI0(TWords<W>& x)
{
    const W a0 = x[0], a1 = x[1], a2 = x[2], a3 = x[3];
    const W t0 = ~a3;
    const W t1 = a0 | a1;
    const W t2 = t0 ^ t1;
    const W t3 = a2 ^ t2;
    const W t4 = a0 | a2;
    const W t5 = a2 | t0;
    const W t6 = a0 & a3;
    const W t7 = a1 ^ t6;
    const W t8 = t5 & t7;
    const W t9 = t4 ^ t8;
    const W t10 = a0 ^ t7;
    const W t11 = a1 | t0;
    const W t12 = t7 ^ t11;
    const W t13 = t3 | t12;
    const W t14 = t10 ^ t13;
    const W t15 = a3 ^ t10;
    const W t16 = t3 & t12;
    const W t17 = t15 ^ t16;
    x = {t17, t9, t3, t14};
}

template <class W>
[[gnu::always_inline]] inline void SI1(TWords<W>& x)
{
    const W a0 = x[0], a1 = x[1], a2 = x[2], a3 = x[3];
    const W t0 = a2 ^ a3;
    const W t1 = a1 & a3;
    const W t2 = a0 ^ t1;
    const W t3 = t0 ^ t2;
    const W t4 = ~a0;
    const W t5 = a1 & a2;
    const W t6 = t4 ^ t5;
    const W t7 = a0 & a2;
    const W t8 = a1 ^ a3;
    const W t9 = t7 | t8;
    const W t10 = t6 ^ t9;
    const W t11 = a2 ^ t9;
    const W t12 = t0 & t2;
    const W t13 = t11 ^ t12;
    const W t14 = t4 | t9;
    const W t15 = t12 ^ t14;
    const W t16 = a1 ^ t15;
    x = {t16, t13, t10, t3};
}

template <class W>
[[gnu::always_inline]] inline void SI2(TWords<W>& x)
{
    const W a0 = x[0], a1 = x[1], a2 = x[2], a3 = x[3];
    const W t0 = a1 & a3;
    const W t1 = a1 | a2;
    const W t2 = a0 ^ t1;
    const W t3 = t0 ^ t2;
    const W t4 = a0 | a2;
    const W t5 = a1 & t4;
    const W t6 = ~a3;
    const W t7 = a0 & a2;
    const W t8 = t6 | t7;
    const W t9 = t5 ^ t8;
    const W t10 = t3 | t9;
    const W t11 = a1 ^ a2;
    const W t12 = t6 ^ t11;
    const W t13 = t10 ^ t12;
    const W t14 = a0 | a1;
    const W t15 = t8 & t14;
    const W t16 = t12 ^ t15;
    x = {t3, t13, t16, t9};
}

template <class W>
[[gnu::always_inline]] inline void SI3(TWords<W>& x)
{
    const W a0 = x[0], a1 = x[1], a2 = x[2], a3 = x[3];
    const W t0 = a0 | a3;
    const W t1 = a1 ^ a2;
    const W t2 = a2 | a3;
    const W t3 = t1 & t2;
    const W t4 = t0 ^ t3;
    const W t5 = t0 & t1;
    const W t6 = a0 & a3;
    const W t7 = a1 & a2;
    const W t8 = t6 ^ t7;
    const W t9 = t5 ^ t8;
    const W t10 = t1 | t6;
    const W t11 = a0 ^ a2;
    const W t12 = t7 | t11;
    const W t13 = t0 & t12;
    const W t14 = t10 ^ t13;
    const W t15 = a1 & t11;
    const W t16 = a3 ^ t10;
    const W t17 = t15 | t16;
    x = {t4, t17, t9, t14};
}

template <class W>
[[gnu::always_inline]] inline void SI4(TWords<W>& x)
{
    const W a0 = x[0], a1 = x[1], a2 = x[2], a3 = x[3];
    const W t0 = a2 ^ a3;
    const W t1 = a2 | a3;
    const W t2 = a1 ^ t1;
    const W t3 = a0 & t2;
    const W t4 = t0 ^ t3;
    const W t5 = a0 ^ a3;
    const W t6 = a1 | a3;
    const W t7 = t5 & t6;
    const W t8 = t2 ^ t7;
    const W t9 = ~a0;
    const W t10 = a2 ^ t8;
    const W t11 = t9 | t10;
    const W t12 = t2 ^ t11;
    const W t13 = a2 | t3;
    const W t14 = t8 | t9;
    const W t15 = t13 ^ t14;
    const W t16 = t6 ^ t15;
    x = {t12, t4, t16, t8};
}

template <class W>
[[gnu::always_inline]] inline void SI5(TWords<W>& x)
{
    const W a0 = x[0], a1 = x[1], a2 = x[2], a3 = x[3];
    const W t0 = a1 & a2;
    const W t1 = a0 & a1;
    const W t2 = a0 ^ a3;
    const W t3 = t1 | t2;
    const W t4 = t0 ^ t3;
    const W t5 = a2 | t1;
    const W t6 = ~a1;
    const W t7 = a0 & a3;
    const W t8 = t6 ^ t7;
    const W t9 = t5 ^ t8;
    const W t10 = a1 & t3;
    const W t11 = a0 ^ a2;
    const W t12 = t7 | t11;
    const W t13 = t10 ^ t12;
    const W t14 = a0 & a2;
    const W t15 = a1 | t14;
    const W t16 = t7 ^ t15;
    const W t17 = t4 ^ t16;
    x = {t4, t17, t13, t9};
}

template <class W>
[[gnu::always_inline]] inline void SI6(TWords<W>& x)
{
    const W a0 = x[0], a1 = x[1], a2 = x[2], a3 = x[3];
    const W t0 = a1 ^ a3;
    const W t1 = ~a2;
    const W t2 = a0 | t1;
    const W t3 = t0 ^ t2;
    const W t4 = t0 | t1;
    const W t5 = a0 ^ a2;
    const W t6 = a1 & a3;
    const W t7 = t5 | t6;
    const W t8 = a1 ^ t7;
    const W t9 = t4 ^ t8;
    const W t10 = a1 | t3;
    const W t11 = a0 & a1;
    const W t12 = t7 ^ t11;
    const W t13 = t10 ^ t12;
    const W t14 = t0 | t8;
    const W t15 = t5 | t11;
    const W t16 = t1 ^ t15;
    const W t17 = t14 ^ t16;
    x = {t13, t3, t9, t17};
}

template <class W>
[[gnu::always_inline]] inline void SI7(TWords<W>& x)
{
    const W a0 = x[0], a1 = x[1], a2 = x[2], a3 = x[3];
    const W t0 = a0 & a1;
    const W t1 = a2 | t0;
    const W t2 = a0 | a1;
    const W t3 = a3 & t2;
    const W t4 = t1 ^ t3;
    const W t5 = a0 | a3;
    const W t6 = a2 & t5;
    const W t7 = a1 ^ a3;
    const W t8 = t0 | t7;
    const W t9 = t6 ^ t8;
    const W t10 = ~a0;
    const W t11 = t7 ^ t10;
    const W t12 = t2 & t7;
    const W t13 = t1 | t12;
    const W t14 = t11 ^ t13;
    const W t15 = a2 ^ t12;
    const W t16 = a3 | t14;
    const W t17 = t15 ^ t16;
    x = {t17, t14, t9, t4};
}

template <int N, class W>
[[gnu::always_inline]] inline void Rotl(W& x)
{
    x = (x << N) | (x >> (32 - N));
}

template <class W>
[[gnu::always_inline]] inline void LinearTransform(TWords<W>& x)
{
    Rotl<13>(x[0]);
    Rotl<3>(x[2]);
    x[1] ^= x[0] ^ x[2];
    x[3] ^= x[2] ^ (x[0] << 3);
    Rotl<1>(x[1]);
    Rotl<7>(x[3]);
    x[0] ^= x[1] ^ x[3];
    x[2] ^= x[3] ^ (x[1] << 7);
    Rotl<5>(x[0]);
    Rotl<22>(x[2]);
}

template <class W>
[[gnu::always_inline]] inline void InverseLinearTransform(TWords<W>& x)
{
    Rotl<32 - 22>(x[2]);
    Rotl<32 - 5>(x[0]);
    x[2] ^= x[3] ^ (x[1] << 7);
    x[0] ^= x[1] ^ x[3];
    Rotl<32 - 7>(x[3]);
    Rotl<32 - 1>(x[1]);
    x[3] ^= x[2] ^ (x[0] << 3);
    x[1] ^= x[0] ^ x[2];
    Rotl<32 - 3>(x[2]);
    Rotl<32 - 13>(x[0]);
}

// A vector W takes each key word into every lane.
template <class W>
[[gnu::always_inline]] inline void AddRoundKey(TWords<W>& x, const uint32_t* k)
{
    x[0] ^= k[0];
    x[1] ^= k[1];
    x[2] ^= k[2];
    x[3] ^= k[3];
}

template <class W, void (*Box)(TWords<W>&)>
[[gnu::always_inline]] inline void Round(TWords<W>& x, const uint32_t* k)
{
    AddRoundKey(x, k);
    Box(x);
    LinearTransform(x);
}

template <class W, void (*Box)(TWords<W>&)>
[[gnu::always_inline]] inline void InverseRound(TWords<W>& x, const uint32_t* k)
{
    InverseLinearTransform(x);
    Box(x);
    AddRoundKey(x, k);
}

// 32 rounds with the round keys K0..K32 in words 4i..4i+3.
template <class W>
[[gnu::always_inline]] inline void EncryptWords(TWords<W>& x, const uint32_t* keys)
{
    for (int pass = 0; pass < 4; ++pass) {
        const uint32_t* k = keys + 32 * pass;
        Round<W, S0<W>>(x, k);
        Round<W, S1<W>>(x, k + 4);
        Round<W, S2<W>>(x, k + 8);
        Round<W, S3<W>>(x, k + 12);
        Round<W, S4<W>>(x, k + 16);
        Round<W, S5<W>>(x, k + 20);
        Round<W, S6<W>>(x, k + 24);
        AddRoundKey(x, k + 28);
        S7(x);
        if (pass < 3)
            LinearTransform(x);
        else
            AddRoundKey(x, k + 32);
    }
}

template <class W>
[[gnu::always_inline]] inline void DecryptWords(TWords<W>& x, const uint32_t* keys)
{
    for (int pass = 3; pass >= 0; --pass) {
        const uint32_t* k = keys + 32 * pass;
        if (pass == 3)
            AddRoundKey(x, k + 32);
        else
            InverseLinearTransform(x);
        SI7(x);
        AddRoundKey(x, k + 28);
        InverseRound<W, SI6<W>>(x, k + 24);
        InverseRound<W, SI5<W>>(x, k + 20);
        InverseRound<W, SI4<W>>(x, k + 16);
        InverseRound<W, SI3<W>>(x, k + 12);
        InverseRound<W, SI2<W>>(x, k + 8);
        InverseRound<W, SI1<W>>(x, k + 4);
        InverseRound<W, SI0<W>>(x, k);
    }
}

} // namespace lw::serpent
