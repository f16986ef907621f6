#pragma once
// Checks the block cipher tests share: one block in place both ways, a thrown message,
// a filled buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <span>

#include "TestUtil.h"
#include "crypto/BlockCipher.h"

namespace lwtest {

inline bool AllBytes(std::span<const uint8_t> bytes, uint8_t value)
{
    return std::all_of(bytes.begin(), bytes.end(), [value](uint8_t b) { return b == value; });
}

template <class E, class F>
void ExpectThrowMessage(F f, const char* message)
{
    try {
        f();
        ADD_FAILURE() << "no exception, expected " << message;
    } catch (const E& e) {
        EXPECT_STREQ(e.what(), message);
    }
}

// in encrypts to out and back again, in the same buffer.
template <class C>
void ExpectInPlaceBlock(C& cipher, const Bytes& in, const Bytes& out)
{
    Bytes buf = in;
    cipher.EncryptBlock(buf.data(), buf.data());
    EXPECT_EQ(ToHex(buf), ToHex(out));
    cipher.DecryptBlock(buf.data(), buf.data());
    EXPECT_EQ(ToHex(buf), ToHex(in));
}

} // namespace lwtest
