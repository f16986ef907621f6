#include "compress/BZip2BlockDecoder.h"

#include "compress/BZip2BlockWalk.h"
#include "compress/BZip2Format.h"

#include <algorithm>
#include <cstring>

namespace lw {

namespace {

constexpr unsigned kMaxGroups = 6;
constexpr unsigned kMaxAlpha = 258;
constexpr unsigned kMaxSelectors = 18002;
constexpr unsigned kGroupSize = 50;
constexpr unsigned kMaxLen = 20;
constexpr unsigned kFastBits = 10;
constexpr unsigned kMaxRunByte = 251; // the longest run is 4 + 251 bytes

// A canonical code: codes of 10 bits or fewer through one table look-up, longer ones by
// their left-aligned bounds per length.
struct THuffman {
    std::array<uint16_t, 1u << kFastBits> fast{}; // symbol << 5 | length, 0 for longer codes
    std::array<uint32_t, kMaxLen + 2> limit{};    // left-aligned in 20 bits, exclusive
    std::array<int32_t, kMaxLen + 2> offset{};
    std::array<uint16_t, kMaxAlpha> perm{};

    // False unless the lengths make a complete prefix code.
    bool Build(std::span<const uint8_t> lengths)
    {
        std::array<uint32_t, kMaxLen + 1> count{};
        for (uint8_t l : lengths)
            ++count[l];
        uint32_t kraft = 0;
        for (unsigned l = 1; l <= kMaxLen; ++l)
            kraft += count[l] << (kMaxLen - l);
        if (kraft != (1u << kMaxLen))
            return false;
        std::array<uint32_t, kMaxLen + 1> next{}, index{};
        uint32_t code = 0, at = 0;
        for (unsigned l = 1; l <= kMaxLen; ++l) {
            next[l] = code;
            index[l] = at;
            offset[l] = static_cast<int32_t>(code) - static_cast<int32_t>(at);
            code = (code + count[l]) << 1;
            at += count[l];
            limit[l] = (next[l] + count[l]) << (kMaxLen - l);
        }
        fast.fill(0);
        for (unsigned s = 0; s < lengths.size(); ++s) {
            const unsigned l = lengths[s];
            const uint32_t c = next[l]++;
            perm[index[l]++] = static_cast<uint16_t>(s);
            if (l <= kFastBits) {
                const uint32_t from = c << (kFastBits - l), n = 1u << (kFastBits - l);
                std::fill_n(fast.begin() + from, n, static_cast<uint16_t>(s << 5 | l));
            }
        }
        return true;
    }

    unsigned Decode(bz::TBitReader& bits) const
    {
        const uint64_t w = bits.Peek();
        const unsigned e = fast[static_cast<std::size_t>(w >> (64 - kFastBits))];
        if (e != 0) [[likely]] {
            bits.Skip(e & 31);
            return e >> 5;
        }
        const auto v = static_cast<uint32_t>(w >> (64 - kMaxLen));
        unsigned l = kFastBits + 1;
        while (v >= limit[l])
            ++l;
        bits.Skip(l);
        return perm[static_cast<uint32_t>(static_cast<int32_t>(v >> (kMaxLen - l)) - offset[l])];
    }
};

// Move-to-front over 256 bytes held in 32 words, element i in bits 8 * (i % 8) of word i / 8.
struct TMtf {
    std::array<uint64_t, 32> w{};

    void Set(std::span<const uint8_t> bytes)
    {
        w.fill(0);
        for (size_t i = 0; i < bytes.size(); ++i)
            w[i / 8] |= uint64_t{bytes[i]} << (8 * (i % 8));
    }
    uint8_t Front() const { return static_cast<uint8_t>(w[0]); }
    uint8_t Take(unsigned v)
    {
        const unsigned word = v / 8, shift = 8 * (v % 8);
        const auto b = static_cast<uint8_t>(w[word] >> shift);
        uint64_t carry = b;
        for (unsigned k = 0; k < word; ++k) {
            const uint64_t top = w[k] >> 56;
            w[k] = (w[k] << 8) | carry;
            carry = top;
        }
        const uint64_t mask = shift == 56 ? ~uint64_t{0} : (uint64_t{1} << (shift + 8)) - 1;
        w[word] = (w[word] & ~mask) | (((w[word] << 8) | carry) & mask);
        return b;
    }
};

} // namespace

struct TBZBlockDecoder::TTables {
    std::array<THuffman, kMaxGroups> codes;
    std::array<uint8_t, kMaxSelectors> selectors{};
    unsigned selectorCount = 0;
    unsigned inUse = 0;
    std::array<uint8_t, 256> seqToByte{};
};

TBZBlockDecoder::TBZBlockDecoder() : m_tables(std::make_unique<TTables>())
{}
TBZBlockDecoder::~TBZBlockDecoder() = default;

bool TBZBlockDecoder::Read(std::span<const uint8_t> in, uint64_t startBit, uint64_t endBit, int level)
{
    m_ready = false;
    if (level < 1 || level > 9 || endBit > uint64_t{in.size()} * 8 || startBit + bz::kMagicBits + bz::kCrcBits > endBit)
        return false;
    bz::TBitReader bits(in, startBit);
    const uint64_t magic = uint64_t{bits.Get(24)} << 24 | bits.Get(24);
    if (magic != bz::kBlockMagic)
        return false;
    m_crc = bits.Get(bz::kCrcBits);
    if (bits.Get(1) != 0) // randomised: an old encoder's option, left to the library
        return false;
    m_origPtr = bits.Get(24);

    TTables& t = *m_tables;
    const uint32_t used16 = bits.Get(16);
    t.inUse = 0;
    for (unsigned i = 0; i < 16; ++i) {
        if (!(used16 >> (15 - i) & 1u))
            continue;
        const uint32_t used = bits.Get(16);
        for (unsigned j = 0; j < 16; ++j)
            if (used >> (15 - j) & 1u)
                t.seqToByte[t.inUse++] = static_cast<uint8_t>(i * 16 + j);
    }
    if (t.inUse == 0)
        return false;
    const unsigned alpha = t.inUse + 2;

    const unsigned groups = bits.Get(3);
    if (groups < 2 || groups > kMaxGroups)
        return false;
    t.selectorCount = bits.Get(15);
    if (t.selectorCount < 1 || t.selectorCount > kMaxSelectors)
        return false;
    std::array<uint8_t, kMaxGroups> order{0, 1, 2, 3, 4, 5};
    for (unsigned s = 0; s < t.selectorCount; ++s) {
        unsigned j = 0;
        while (bits.Get(1) != 0)
            if (++j >= groups)
                return false;
        const uint8_t g = order[j];
        std::memmove(order.data() + 1, order.data(), j);
        order[0] = g;
        t.selectors[s] = g;
    }

    std::array<uint8_t, kMaxAlpha> lengths{};
    for (unsigned g = 0; g < groups; ++g) {
        int len = static_cast<int>(bits.Get(5));
        for (unsigned s = 0; s < alpha; ++s) {
            for (;;) {
                if (len < 1 || len > static_cast<int>(kMaxLen))
                    return false;
                if (bits.Get(1) == 0)
                    break;
                len += bits.Get(1) == 0 ? 1 : -1;
            }
            lengths[s] = static_cast<uint8_t>(len);
        }
        if (!t.codes[g].Build(std::span(lengths).first(alpha)))
            return false;
    }

    if (!ReadData(bits, level) || bits.Position() != endBit)
        return false;
    if (m_count == 0 || m_origPtr >= m_count)
        return false;

    // Each position gets, above its byte, the position that follows it in the output.
    std::array<uint32_t, 256> counts{};
    uint32_t* const tt = m_tt.get();
    for (uint32_t i = 0; i < m_count; ++i)
        ++counts[tt[i] & 0xff];
    uint32_t sum = 0;
    for (auto& c : counts) {
        const uint32_t n = c;
        c = sum;
        sum += n;
    }
    for (uint32_t i = 0; i < m_count; ++i)
        tt[counts[tt[i] & 0xff]++] |= i << 8;
    m_walked = false;
    m_ready = true;
    return true;
}

bool TBZBlockDecoder::ReadData(bz::TBitReader& bits, int level)
{
    const uint32_t max = MaxSymbols(level);
    const TTables& t = *m_tables;
    uint32_t* tt = m_tt.get();
    // Room grows with the blocks met, up to the level's limit; one entry more for the walk.
    auto room = [&](uint32_t need) {
        if (need <= m_capacity)
            return;
        const uint32_t size = std::min(max, std::max({need, m_capacity * 2, uint32_t{1} << 16}));
        auto bigger = std::make_unique_for_overwrite<uint32_t[]>(size_t{size} + 1);
        std::copy_n(m_tt.get(), m_capacity, bigger.get());
        m_tt = std::move(bigger);
        m_capacity = size;
        tt = m_tt.get();
    };
    TMtf mtf;
    mtf.Set(std::span(t.seqToByte).first(t.inUse));
    const unsigned eob = t.inUse + 1;
    uint32_t n = 0, run = 0, weight = 1;
    for (unsigned g = 0;; ++g) {
        if (g >= t.selectorCount)
            return false;
        const THuffman& code = t.codes[t.selectors[g]];
        for (unsigned i = 0; i < kGroupSize; ++i) {
            bits.Refill();
            const unsigned sym = code.Decode(bits);
            if (sym <= 1) {
                run += weight << sym;
                weight <<= 1;
                if (run > max - n)
                    return false;
                continue;
            }
            if (run != 0) {
                room(n + run);
                std::fill_n(tt + n, run, uint32_t{mtf.Front()});
                n += run;
                run = 0;
                weight = 1;
            }
            if (sym == eob) {
                m_count = n;
                return true;
            }
            if (n >= max)
                return false;
            if (n == m_capacity)
                room(n + 1);
            tt[n++] = mtf.Take(sym - 1);
        }
    }
}

TBZBlockResult TBZBlockDecoder::Write(std::span<uint8_t> out, size_t& size)
{
    size = 0;
    if (!m_ready)
        return TBZBlockResult::bad;
    if (!m_walked) {
        if (!m_walk)
            m_walk = std::make_unique<TBZBlockWalk>();
        if (!m_walk->Run(m_tt.get(), m_count, m_tt[m_origPtr] >> 8)) {
            m_ready = false;
            return TBZBlockResult::bad;
        }
        m_walked = true;
    }
    uint8_t* const o = out.data();
    const size_t cap = out.size();
    size_t at = 0;
    int last = -1;
    unsigned same = 0;
    bool bad = false;
    const bool fits = m_walk->ForEach([&](std::span<const uint8_t> piece) {
        for (const uint8_t ch : piece) {
            if (same == 4) {
                // After four equal bytes: how many more of them.
                if (ch > kMaxRunByte) {
                    bad = true;
                    return false;
                }
                if (cap - at < ch)
                    return false;
                std::memset(o + at, last, ch);
                at += ch;
                same = 0;
                last = -1;
                continue;
            }
            if (ch == last) {
                ++same;
            } else {
                last = ch;
                same = 1;
            }
            if (at == cap)
                return false;
            o[at++] = ch;
        }
        return true;
    });
    if (!fits) {
        if (!bad)
            return TBZBlockResult::outputFull;
        m_ready = false;
        return TBZBlockResult::bad;
    }
    m_ready = false;
    if (same == 4 || bz::BlockCrc(out.first(at)) != m_crc)
        return TBZBlockResult::bad;
    size = at;
    return TBZBlockResult::ok;
}

} // namespace lw
