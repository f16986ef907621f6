#include "crypto/Serpent.h"

#include <bit>
#include <cstring>

#include "crypto/KnownAnswer.h"
#include "crypto/SerpentCircuits.h"
#include "crypto/SerpentSimd.h"
#include "platform/LoadStore.h"

namespace lw {
namespace {

using TWords = TDCP_serpent::TWords;

// Defined at the bottom of this file.
extern const TKnownAnswer KNOWN_ANSWERS[3];

constexpr uint32_t PHI = 0x9E3779B9;

// More than the deepest frame of the CBC runs takes, spills and batch buffers included.
constexpr size_t kRoundsFrame = 2048;

} // namespace

void TDCP_serpent::ApplySbox(unsigned box, TWords& x)
{
    using B = void (*)(TWords&);
    constexpr B boxes[8] = {serpent::S0, serpent::S1, serpent::S2, serpent::S3,
                            serpent::S4, serpent::S5, serpent::S6, serpent::S7};
    boxes[box % 8](x);
}

void TDCP_serpent::ApplyInverseSbox(unsigned box, TWords& x)
{
    using B = void (*)(TWords&);
    constexpr B boxes[8] = {serpent::SI0, serpent::SI1, serpent::SI2, serpent::SI3,
                            serpent::SI4, serpent::SI5, serpent::SI6, serpent::SI7};
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

TSerpentLanes TDCP_serpent::Lanes() const
{
    return SerpentLanes(m_laneCap);
}

// Whole CBC runs go to the level this CPU allows, without a call per block.
void TDCP_serpent::EncryptChain(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* cv)
{
    SerpentEncryptCbc(Lanes(), SubKeys.data(), in, out, blocks, cv);
    ScrubStackBelow<kRoundsFrame>();
}

void TDCP_serpent::DecryptChain(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* cv)
{
    SerpentDecryptCbc(Lanes(), SubKeys.data(), in, out, blocks, cv);
    ScrubStackBelow<kRoundsFrame>();
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
    TWords x{LoadLE32(src), LoadLE32(src + 4), LoadLE32(src + 8), LoadLE32(src + 12)};
    serpent::EncryptWords(x, SubKeys.data());
    auto* dst = static_cast<uint8_t*>(out);
    StoreLE32(dst, x[0]);
    StoreLE32(dst + 4, x[1]);
    StoreLE32(dst + 8, x[2]);
    StoreLE32(dst + 12, x[3]);
}

void TDCP_serpent::DecryptBlock(const void* in, void* out)
{
    RequireKeyed();
    const auto* src = static_cast<const uint8_t*>(in);
    TWords x{LoadLE32(src), LoadLE32(src + 4), LoadLE32(src + 8), LoadLE32(src + 12)};
    serpent::DecryptWords(x, SubKeys.data());
    auto* dst = static_cast<uint8_t*>(out);
    StoreLE32(dst, x[0]);
    StoreLE32(dst + 4, x[1]);
    StoreLE32(dst + 8, x[2]);
    StoreLE32(dst + 12, x[3]);
}

bool TDCP_serpent::ClassKnownAnswerTest()
{
    return PassesKnownAnswers<TDCP_serpent>(KNOWN_ANSWERS);
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
