#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

#include "crypto/SecureFill.h"

namespace {

// Every byte of the buffer, also those past the string's end, which a plain clear keeps.
bool BufferIsZero(const char* buffer, size_t capacity)
{
    for (size_t i = 0; i < capacity; ++i)
        if (buffer[i] != 0)
            return false;
    return true;
}

} // namespace

TEST(WipeString, ClearsTheWholeBufferOnEveryWayOut)
{
    // Short strings live inside the object, long ones on the heap; both shrunk in place first.
    for (size_t length : {5u, 15u, 16u, 70000u}) {
        std::string phrase(length, 'k');
        phrase.resize(length / 2);
        const char* buffer = phrase.data();
        const size_t capacity = phrase.capacity();
        try {
            lw::TScrubOnExit scrub(phrase);
            throw std::runtime_error("job failed");
        } catch (const std::runtime_error&) {}
        EXPECT_TRUE(phrase.empty()) << length;
        EXPECT_EQ(phrase.data(), buffer) << length << ": the buffer stays for reuse";
        EXPECT_TRUE(BufferIsZero(buffer, capacity)) << length;
    }
}
