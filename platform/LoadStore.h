#pragma once
// Byte order for the ciphers and the bzip2 reader: whole words from unaligned bytes.
// memcpy plus a swap compiles to one load and a bswap (or movbe) on every target we build.
#include <bit>
#include <cstdint>
#include <cstring>

namespace lw {

namespace detail {
template <typename T>
constexpr T SwapBytes(T v)
{
    if constexpr (sizeof(T) == 2)
        return T(__builtin_bswap16(v));
    else if constexpr (sizeof(T) == 4)
        return T(__builtin_bswap32(v));
    else
        return T(__builtin_bswap64(v));
}

template <typename T, std::endian Order>
inline T Load(const uint8_t* p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native != Order)
        v = SwapBytes(v);
    return v;
}

template <typename T, std::endian Order>
inline void Store(uint8_t* p, T v)
{
    if constexpr (std::endian::native != Order)
        v = SwapBytes(v);
    std::memcpy(p, &v, sizeof v);
}
} // namespace detail

inline uint16_t LoadBE16(const uint8_t* p)
{
    return detail::Load<uint16_t, std::endian::big>(p);
}
inline uint32_t LoadBE32(const uint8_t* p)
{
    return detail::Load<uint32_t, std::endian::big>(p);
}
inline uint64_t LoadBE64(const uint8_t* p)
{
    return detail::Load<uint64_t, std::endian::big>(p);
}
inline uint32_t LoadLE32(const uint8_t* p)
{
    return detail::Load<uint32_t, std::endian::little>(p);
}
inline uint64_t LoadLE64(const uint8_t* p)
{
    return detail::Load<uint64_t, std::endian::little>(p);
}

inline void StoreBE16(uint8_t* p, uint16_t v)
{
    detail::Store<uint16_t, std::endian::big>(p, v);
}
inline void StoreBE32(uint8_t* p, uint32_t v)
{
    detail::Store<uint32_t, std::endian::big>(p, v);
}
inline void StoreBE64(uint8_t* p, uint64_t v)
{
    detail::Store<uint64_t, std::endian::big>(p, v);
}
inline void StoreLE32(uint8_t* p, uint32_t v)
{
    detail::Store<uint32_t, std::endian::little>(p, v);
}
inline void StoreLE64(uint8_t* p, uint64_t v)
{
    detail::Store<uint64_t, std::endian::little>(p, v);
}

} // namespace lw
