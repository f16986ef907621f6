#include "crypto/Sha1.h"

#include <array>
#include <cstring>

#include "crypto/Errors.h"
#include "platform/LoadStore.h"

namespace lw {
namespace {

constexpr uint32_t Rol(uint32_t x, int n)
{
    return (x << n) | (x >> (32 - n));
}

} // namespace

void TDCP_sha1::Init()
{
    Wipe();
    m_hash[0] = 0x67452301;
    m_hash[1] = 0xEFCDAB89;
    m_hash[2] = 0x98BADCFE;
    m_hash[3] = 0x10325476;
    m_hash[4] = 0xC3D2E1F0;
    m_initialized = true;
}

void TDCP_sha1::Wipe()
{
    m_lenHi = m_lenLo = 0;
    m_index = 0;
    m_buffer.Wipe();
    m_hash.Wipe();
    TDCP_hash::Wipe();
}

void TDCP_sha1::Update(std::span<const uint8_t> bytes)
{
    if (!m_initialized)
        throw EDCP_hash(kHashNotInitialized);
    const uint64_t bits = BitCount() + uint64_t(bytes.size()) * 8;
    m_lenHi = static_cast<uint32_t>(bits >> 32);
    m_lenLo = static_cast<uint32_t>(bits);
    const uint8_t* p = bytes.data();
    size_t count = bytes.size();
    while (count > 0) {
        const size_t room = 64 - m_index;
        if (room > count) {
            std::memcpy(m_buffer.data() + m_index, p, count);
            m_index += static_cast<uint32_t>(count);
            break;
        }
        std::memcpy(m_buffer.data() + m_index, p, room);
        p += room;
        count -= room;
        ProcessBlock();
    }
}

void TDCP_sha1::Final(std::span<uint8_t> digest)
{
    if (!m_initialized)
        throw EDCP_hash(kHashNotInitialized);
    m_buffer[m_index] = 0x80;
    if (m_index >= 56)
        ProcessBlock();
    StoreBE32(m_buffer.data() + 56, m_lenHi);
    StoreBE32(m_buffer.data() + 60, m_lenLo);
    ProcessBlock();
    for (size_t i = 0; i < 20 && i < digest.size(); ++i)
        digest[i] = static_cast<uint8_t>(m_hash[i / 4] >> (24 - 8 * (i % 4)));
    Wipe();
}

void TDCP_sha1::ProcessBlock()
{
    m_index = 0;
    std::array<uint32_t, 80> w;
    const TWipeOnExit wipeSchedule(w);
    for (int i = 0; i < 16; ++i)
        w[i] = LoadBE32(m_buffer.data() + 4 * i);
    for (int i = 16; i < 80; ++i)
        w[i] = Rol(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    uint32_t a = m_hash[0], b = m_hash[1], c = m_hash[2], d = m_hash[3], e = m_hash[4];
    for (int i = 0; i < 80; ++i) {
        uint32_t f, k;
        if (i < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999;
        } else if (i < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1;
        } else if (i < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDC;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6;
        }
        const uint32_t t = Rol(a, 5) + f + e + k + w[i];
        e = d;
        d = c;
        c = Rol(b, 30);
        b = a;
        a = t;
    }
    m_hash[0] += a;
    m_hash[1] += b;
    m_hash[2] += c;
    m_hash[3] += d;
    m_hash[4] += e;
    m_buffer.Wipe();
}

bool TDCP_sha1::ClassKnownAnswerTest()
{
    static const uint8_t kAbc[20] = {0xa9, 0x99, 0x3e, 0x36, 0x47, 0x06, 0x81, 0x6a, 0xba, 0x3e,
                                     0x25, 0x71, 0x78, 0x50, 0xc2, 0x6c, 0x9c, 0xd0, 0xd8, 0x9d};
    static const uint8_t kLong[20] = {0x84, 0x98, 0x3e, 0x44, 0x1c, 0x3b, 0xd2, 0x6e, 0xba, 0xae,
                                      0x4a, 0xa1, 0xf9, 0x51, 0x29, 0xe5, 0xe5, 0x46, 0x70, 0xf1};
    TDCP_sha1 hash;
    uint8_t digest[20];
    hash.Init();
    hash.UpdateText("abc");
    hash.Final(digest);
    bool ok = std::memcmp(digest, kAbc, 20) == 0;
    hash.Init();
    hash.UpdateText("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq");
    hash.Final(digest);
    ok = ok && std::memcmp(digest, kLong, 20) == 0;
    return ok;
}

} // namespace lw
