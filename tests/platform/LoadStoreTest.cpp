#include "platform/LoadStore.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace {

// Bytes 01 02 ... 08 at an odd offset, so an aligned-only load would be caught by UBSan.
struct LoadStoreBuffer {
    std::array<uint8_t, 10> bytes{0xEE, 1, 2, 3, 4, 5, 6, 7, 8, 0xEE};
    const uint8_t* At() const { return bytes.data() + 1; }
};

TEST(LoadStore, LoadsReadTheNamedByteOrder)
{
    const LoadStoreBuffer b;
    EXPECT_EQ(lw::LoadBE16(b.At()), 0x0102u);
    EXPECT_EQ(lw::LoadBE32(b.At()), 0x01020304u);
    EXPECT_EQ(lw::LoadLE32(b.At()), 0x04030201u);
    EXPECT_EQ(lw::LoadBE64(b.At()), 0x0102030405060708ull);
    EXPECT_EQ(lw::LoadLE64(b.At()), 0x0807060504030201ull);
}

TEST(LoadStore, StoresWriteBackWhatLoadsRead)
{
    struct Row {
        const char* name;
        void (*store)(uint8_t*, const uint8_t*);
        size_t width;
    };
    const Row rows[] = {
        {"BE16", [](uint8_t* o, const uint8_t* i) { lw::StoreBE16(o, lw::LoadBE16(i)); }, 2},
        {"BE32", [](uint8_t* o, const uint8_t* i) { lw::StoreBE32(o, lw::LoadBE32(i)); }, 4},
        {"LE32", [](uint8_t* o, const uint8_t* i) { lw::StoreLE32(o, lw::LoadLE32(i)); }, 4},
        {"BE64", [](uint8_t* o, const uint8_t* i) { lw::StoreBE64(o, lw::LoadBE64(i)); }, 8},
        {"LE64", [](uint8_t* o, const uint8_t* i) { lw::StoreLE64(o, lw::LoadLE64(i)); }, 8},
    };
    const LoadStoreBuffer in;
    for (const Row& row : rows) {
        std::array<uint8_t, 10> out{};
        out.fill(0xAA);
        row.store(out.data() + 1, in.At());
        for (size_t k = 0; k < out.size(); ++k) {
            const uint8_t want = (k >= 1 && k <= row.width) ? in.bytes[k] : 0xAA;
            EXPECT_EQ(out[k], want) << row.name << " byte " << k;
        }
    }
}

TEST(LoadStore, StoreBigEndianPutsTheHighByteFirst)
{
    std::array<uint8_t, 4> out{};
    lw::StoreBE32(out.data(), 0xA1B2C3D4u);
    EXPECT_EQ(out, (std::array<uint8_t, 4>{0xA1, 0xB2, 0xC3, 0xD4}));
    lw::StoreLE32(out.data(), 0xA1B2C3D4u);
    EXPECT_EQ(out, (std::array<uint8_t, 4>{0xD4, 0xC3, 0xB2, 0xA1}));
}

} // namespace
