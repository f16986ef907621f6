#include "crypto/Rijndael.h"

#include <algorithm>
#include <cstring>

#include "crypto/CpuFeatures.h"
#include "crypto/KnownAnswer.h"
#include "crypto/RijndaelNi.h"
#include "platform/LoadStore.h"

namespace lw {
namespace {

using TByteTable = std::array<uint8_t, 256>;
using TWordTables = std::array<std::array<uint32_t, 256>, 4>;

// Defined at the bottom of this file.
extern const TByteTable SBOX;
extern const TByteTable INV_SBOX;
extern const TWordTables ENCRYPT_TABLES;
extern const TWordTables DECRYPT_TABLES;
extern const TWordTables INV_MIX_TABLES;
extern const std::array<uint32_t, 30> ROUND_CONSTANTS;
extern const TKnownAnswer KNOWN_ANSWERS[3];

inline uint8_t B0(uint32_t w)
{
    return uint8_t(w);
}
inline uint8_t B1(uint32_t w)
{
    return uint8_t(w >> 8);
}
inline uint8_t B2(uint32_t w)
{
    return uint8_t(w >> 16);
}
inline uint8_t B3(uint32_t w)
{
    return uint8_t(w >> 24);
}

inline uint32_t SubWord(uint32_t w)
{
    return uint32_t(SBOX[B0(w)]) | uint32_t(SBOX[B1(w)]) << 8 | uint32_t(SBOX[B2(w)]) << 16 |
           uint32_t(SBOX[B3(w)]) << 24;
}

inline uint32_t InvMixColumn(uint32_t w)
{
    const auto& m = INV_MIX_TABLES;
    return m[0][B0(w)] ^ m[1][B1(w)] ^ m[2][B2(w)] ^ m[3][B3(w)];
}

} // namespace

void TDCP_rijndael::ScheduleKey(const void* key, uint32_t sizeInBits)
{
    const uint32_t n = std::min<uint32_t>(sizeInBits / 8, 32);
    uint8_t work[32] = {};
    const TWipeOnExit wipeWork(work);
    std::memcpy(work, key, n);

    RoundCount = AesRounds(n);
    const uint32_t nk = RoundCount - 6;

    auto w = [this](uint32_t t) -> uint32_t& { return EncryptRoundKeys[t / 4][t % 4]; };
    const uint32_t total = 4 * (RoundCount + 1);
    for (uint32_t t = 0; t < nk; ++t)
        w(t) = LoadLE32(work + 4 * t);
    uint32_t temp = 0;
    for (uint32_t t = nk; t < total; ++t) {
        temp = w(t - 1);
        if (t % nk == 0)
            temp = SubWord(temp >> 8 | temp << 24) ^ ROUND_CONSTANTS[t / nk - 1];
        else if (nk > 6 && t % nk == 4)
            temp = SubWord(temp);
        w(t) = w(t - nk) ^ temp;
    }
    SecureFill(&temp, sizeof(temp), 0);

    // Equivalent inverse cipher: the inner round keys go through InvMixColumns once here.
    std::memcpy(DecryptRoundKeys.data(), EncryptRoundKeys.data(), EncryptRoundKeys.Bytes().size());
    for (uint32_t r = 1; r < RoundCount; ++r)
        for (uint32_t c = 0; c < 4; ++c)
            DecryptRoundKeys[r][c] = InvMixColumn(DecryptRoundKeys[r][c]);
}

void TDCP_rijndael::Wipe()
{
    RoundCount = 0;
    EncryptRoundKeys.Wipe();
    DecryptRoundKeys.Wipe();
    TDCP_blockcipher128::Wipe();
}

TAesRoundKeys TDCP_rijndael::InstructionKeys() const
{
    // Each round key holds its four columns first, row 0 lowest: byte order on x86.
    return {reinterpret_cast<const uint8_t*>(EncryptRoundKeys.data()),
            reinterpret_cast<const uint8_t*>(DecryptRoundKeys.data()), sizeof(TRoundKey), RoundCount};
}

void TDCP_rijndael::EncryptBlock(const void* in, void* out)
{
    RequireKeyed();
    if (CpuFeatures().aes)
        AesNiEncryptBlock(InstructionKeys(), static_cast<const uint8_t*>(in), static_cast<uint8_t*>(out));
    else
        EncryptBlockTable(in, out);
}

void TDCP_rijndael::DecryptBlock(const void* in, void* out)
{
    RequireKeyed();
    if (CpuFeatures().aes)
        AesNiDecryptBlock(InstructionKeys(), static_cast<const uint8_t*>(in), static_cast<uint8_t*>(out));
    else
        DecryptBlockTable(in, out);
}

// The AES instructions run whole CBC runs when the CPU has them.
void TDCP_rijndael::EncryptChain(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* cv)
{
    if (!CpuFeatures().aes)
        return TDCP_blockcipher128::EncryptChain(in, out, blocks, cv);
    AesNiEncryptCBC(InstructionKeys(), cv, in, out, blocks);
}

void TDCP_rijndael::DecryptChain(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* cv)
{
    const TCpuFeatures& cpu = CpuFeatures();
    if (!cpu.aes)
        return TDCP_blockcipher128::DecryptChain(in, out, blocks, cv);
    if (cpu.vaes && cpu.avx512f)
        VaesDecryptCBC(InstructionKeys(), cv, in, out, blocks);
    else if (cpu.vaes && cpu.avx2)
        VaesDecryptCBC256(InstructionKeys(), cv, in, out, blocks);
    else
        AesNiDecryptCBC(InstructionKeys(), cv, in, out, blocks);
}

void TDCP_rijndael::EncryptBlockTable(const void* in, void* out)
{
    const auto* src = static_cast<const uint8_t*>(in);
    const auto& t = ENCRYPT_TABLES;
    const TRoundKey* rk = EncryptRoundKeys.data();

    uint32_t s0 = LoadLE32(src) ^ rk[0][0];
    uint32_t s1 = LoadLE32(src + 4) ^ rk[0][1];
    uint32_t s2 = LoadLE32(src + 8) ^ rk[0][2];
    uint32_t s3 = LoadLE32(src + 12) ^ rk[0][3];
    for (uint32_t r = 1; r < RoundCount; ++r) {
        const uint32_t t0 = t[0][B0(s0)] ^ t[1][B1(s1)] ^ t[2][B2(s2)] ^ t[3][B3(s3)] ^ rk[r][0];
        const uint32_t t1 = t[0][B0(s1)] ^ t[1][B1(s2)] ^ t[2][B2(s3)] ^ t[3][B3(s0)] ^ rk[r][1];
        const uint32_t t2 = t[0][B0(s2)] ^ t[1][B1(s3)] ^ t[2][B2(s0)] ^ t[3][B3(s1)] ^ rk[r][2];
        const uint32_t t3 = t[0][B0(s3)] ^ t[1][B1(s0)] ^ t[2][B2(s1)] ^ t[3][B3(s2)] ^ rk[r][3];
        s0 = t0;
        s1 = t1;
        s2 = t2;
        s3 = t3;
    }

    // Each table holds the plain S-box value in one byte: row 0 in table 2, row 1 in
    // table 3, row 2 in table 0, row 3 in table 1.
    const auto last = [](uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
        const auto& tab = ENCRYPT_TABLES;
        return (tab[2][B0(a)] & 0x000000FFu) ^ (tab[3][B1(b)] & 0x0000FF00u) ^ (tab[0][B2(c)] & 0x00FF0000u) ^
               (tab[1][B3(d)] & 0xFF000000u);
    };
    const TRoundKey& k = rk[RoundCount];
    auto* dst = static_cast<uint8_t*>(out);
    const uint32_t o0 = last(s0, s1, s2, s3) ^ k[0];
    const uint32_t o1 = last(s1, s2, s3, s0) ^ k[1];
    const uint32_t o2 = last(s2, s3, s0, s1) ^ k[2];
    const uint32_t o3 = last(s3, s0, s1, s2) ^ k[3];
    StoreLE32(dst, o0);
    StoreLE32(dst + 4, o1);
    StoreLE32(dst + 8, o2);
    StoreLE32(dst + 12, o3);
}

void TDCP_rijndael::DecryptBlockTable(const void* in, void* out)
{
    const auto* src = static_cast<const uint8_t*>(in);
    const auto& t = DECRYPT_TABLES;
    const TRoundKey* rk = DecryptRoundKeys.data();

    uint32_t s0 = LoadLE32(src) ^ rk[RoundCount][0];
    uint32_t s1 = LoadLE32(src + 4) ^ rk[RoundCount][1];
    uint32_t s2 = LoadLE32(src + 8) ^ rk[RoundCount][2];
    uint32_t s3 = LoadLE32(src + 12) ^ rk[RoundCount][3];
    for (uint32_t r = RoundCount - 1; r >= 1; --r) {
        const uint32_t t0 = t[0][B0(s0)] ^ t[1][B1(s3)] ^ t[2][B2(s2)] ^ t[3][B3(s1)] ^ rk[r][0];
        const uint32_t t1 = t[0][B0(s1)] ^ t[1][B1(s0)] ^ t[2][B2(s3)] ^ t[3][B3(s2)] ^ rk[r][1];
        const uint32_t t2 = t[0][B0(s2)] ^ t[1][B1(s1)] ^ t[2][B2(s0)] ^ t[3][B3(s3)] ^ rk[r][2];
        const uint32_t t3 = t[0][B0(s3)] ^ t[1][B1(s2)] ^ t[2][B2(s1)] ^ t[3][B3(s0)] ^ rk[r][3];
        s0 = t0;
        s1 = t1;
        s2 = t2;
        s3 = t3;
    }

    const auto last = [](uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
        return uint32_t(INV_SBOX[B0(a)]) | uint32_t(INV_SBOX[B1(b)]) << 8 | uint32_t(INV_SBOX[B2(c)]) << 16 |
               uint32_t(INV_SBOX[B3(d)]) << 24;
    };
    const TRoundKey& k = rk[0];
    auto* dst = static_cast<uint8_t*>(out);
    const uint32_t o0 = last(s0, s3, s2, s1) ^ k[0];
    const uint32_t o1 = last(s1, s0, s3, s2) ^ k[1];
    const uint32_t o2 = last(s2, s1, s0, s3) ^ k[2];
    const uint32_t o3 = last(s3, s2, s1, s0) ^ k[3];
    StoreLE32(dst, o0);
    StoreLE32(dst + 4, o1);
    StoreLE32(dst + 8, o2);
    StoreLE32(dst + 12, o3);
}

bool TDCP_rijndael::ClassKnownAnswerTest()
{
    return PassesKnownAnswers<TDCP_rijndael>(KNOWN_ANSWERS);
}

// The tables follow from GF(2^8) with the polynomial x^8 + x^4 + x^3 + x + 1; they are
// worked out by the compiler.
namespace {

constexpr uint8_t XTime(uint8_t x)
{
    return uint8_t(x << 1) ^ ((x & 0x80) ? 0x1B : 0x00);
}

constexpr uint8_t GfMul(uint8_t a, uint8_t b)
{
    uint8_t r = 0;
    for (; b; b >>= 1, a = XTime(a))
        if (b & 1)
            r ^= a;
    return r;
}

constexpr uint8_t Rotl8(uint8_t x, int n)
{
    return uint8_t(x << n | x >> (8 - n));
}

constexpr TByteTable MakeSBox()
{
    // Inverses through powers of the generator 3; 0 maps to 0.
    TByteTable exp{}, log{};
    uint8_t x = 1;
    for (int i = 0; i < 255; ++i) {
        exp[i] = x;
        log[x] = uint8_t(i);
        x = GfMul(x, 3);
    }
    TByteTable box{};
    for (int v = 0; v < 256; ++v) {
        const uint8_t inv = v ? exp[(255 - log[v]) % 255] : 0;
        box[v] = inv ^ Rotl8(inv, 1) ^ Rotl8(inv, 2) ^ Rotl8(inv, 3) ^ Rotl8(inv, 4) ^ 0x63;
    }
    return box;
}

constexpr TByteTable MakeInvSBox()
{
    const TByteTable box = MakeSBox();
    TByteTable inv{};
    for (int v = 0; v < 256; ++v)
        inv[box[v]] = uint8_t(v);
    return inv;
}

constexpr TByteTable MakeIdentity()
{
    TByteTable id{};
    for (int v = 0; v < 256; ++v)
        id[v] = uint8_t(v);
    return id;
}

// Table 0 holds box[x] times the column's coefficients, row 0 low; each further table
// is the previous one rotated up by one byte.
constexpr TWordTables MakeWordTables(const TByteTable& box, uint8_t c0, uint8_t c1, uint8_t c2, uint8_t c3)
{
    TWordTables t{};
    for (int x = 0; x < 256; ++x) {
        const uint8_t s = box[x];
        t[0][x] = uint32_t(GfMul(s, c0)) | uint32_t(GfMul(s, c1)) << 8 | uint32_t(GfMul(s, c2)) << 16 |
                  uint32_t(GfMul(s, c3)) << 24;
        for (int i = 1; i < 4; ++i)
            t[i][x] = t[i - 1][x] << 8 | t[i - 1][x] >> 24;
    }
    return t;
}

constexpr std::array<uint32_t, 30> MakeRoundConstants()
{
    std::array<uint32_t, 30> rc{};
    uint8_t x = 1;
    for (auto& c : rc) {
        c = x;
        x = XTime(x);
    }
    return rc;
}

constinit const TByteTable SBOX = MakeSBox();
constinit const TByteTable INV_SBOX = MakeInvSBox();
constinit const TWordTables ENCRYPT_TABLES = MakeWordTables(MakeSBox(), 2, 1, 1, 3);
constinit const TWordTables DECRYPT_TABLES = MakeWordTables(MakeInvSBox(), 14, 9, 13, 11);
constinit const TWordTables INV_MIX_TABLES = MakeWordTables(MakeIdentity(), 14, 9, 13, 11);
constinit const std::array<uint32_t, 30> ROUND_CONSTANTS = MakeRoundConstants();

// clang-format off
constinit const TKnownAnswer KNOWN_ANSWERS[3] = {
    {128,
     {0x00,0x01,0x02,0x03,0x05,0x06,0x07,0x08,0x0a,0x0b,0x0c,0x0d,0x0f,0x10,0x11,0x12},
     {0x50,0x68,0x12,0xa4,0x5f,0x08,0xc8,0x89,0xb9,0x7f,0x59,0x80,0x03,0x8b,0x83,0x59},
     {0xd8,0xf5,0x32,0x53,0x82,0x89,0xef,0x7d,0x06,0xb5,0x06,0xa4,0xfd,0x5b,0xe9,0xc9}},
    {192,
     {0xa0,0xa1,0xa2,0xa3,0xa5,0xa6,0xa7,0xa8,0xaa,0xab,0xac,0xad,0xaf,0xb0,0xb1,0xb2,
      0xb4,0xb5,0xb6,0xb7,0xb9,0xba,0xbb,0xbc},
     {0x4f,0x1c,0x76,0x9d,0x1e,0x5b,0x05,0x52,0xc7,0xec,0xa8,0x4d,0xea,0x26,0xa5,0x49},
     {0xf3,0x84,0x72,0x10,0xd5,0x39,0x1e,0x23,0x60,0x60,0x8e,0x5a,0xcb,0x56,0x05,0x81}},
    {256,
     {0x00,0x01,0x02,0x03,0x05,0x06,0x07,0x08,0x0a,0x0b,0x0c,0x0d,0x0f,0x10,0x11,0x12,
      0x14,0x15,0x16,0x17,0x19,0x1a,0x1b,0x1c,0x1e,0x1f,0x20,0x21,0x23,0x24,0x25,0x26},
     {0x5e,0x25,0xca,0x78,0xf0,0xde,0x55,0x80,0x25,0x24,0xd3,0x8d,0xa3,0xfe,0x44,0x56},
     {0xe8,0xb7,0x2b,0x4e,0x8b,0xe2,0x43,0x43,0x8c,0x9f,0xff,0x1f,0x0e,0x20,0x58,0x72}},
};
// clang-format on

} // namespace
} // namespace lw
