// The stream loop's piece buffer and the modes' working blocks, chaining values and key
// stream are wiped before their memory is given back. Each decryption runs on a thread
// whose stack is a buffer of this test's own; once the thread has ended, no piece of the
// plaintext may be found anywhere in that stack.
#include <gtest/gtest.h>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <thread>
#include <windows.h>
#else
#include <pthread.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "TestUtil.h"
#include "crypto/Blowfish.h"
#include "crypto/CpuFeatures.h"
#include "crypto/Rc4.h"
#include "crypto/Rijndael.h"
#include "crypto/Serpent.h"
#include "crypto/Sha1.h"
#include "platform/MemoryStream.h"

using namespace lw;
using lwtest::Bytes;

namespace {

constexpr size_t kStackSize = 1 << 20;

// Unoptimised code keeps its own copies of locals on the stack, and a sanitizer moves frames
// and changes how a thread's stack is used; the search speaks only of the optimised build.
#if defined(__OPTIMIZE__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
constexpr bool kStackSearchHolds = true;
#else
constexpr bool kStackSearchHolds = false;
#endif
#define SKIP_UNLESS_STACK_SEARCH_HOLDS()                                                                               \
    if (!kStackSearchHolds)                                                                                            \
    GTEST_SKIP() << "stack search needs an optimised build without sanitizers"

// Runs a function on a thread whose stack is memory this object owns and keeps.
class TOwnStack {
public:
#ifdef _WIN32
    TOwnStack() : m_stack(static_cast<uint8_t*>(std::malloc(kStackSize)))
#else
    TOwnStack() : m_stack(static_cast<uint8_t*>(std::aligned_alloc(4096, kStackSize)))
#endif
    {
        std::memset(m_stack.get(), 0, kStackSize);
    }

    void Run(std::function<void()> fn)
    {
#ifdef _WIN32
        std::thread([this, &fn] { RunThenCopyOwnStack(fn); }).join();
#else
        pthread_attr_t attr;
        ASSERT_EQ(pthread_attr_init(&attr), 0);
        ASSERT_EQ(pthread_attr_setstack(&attr, m_stack.get(), kStackSize), 0);
        pthread_t thread;
        ASSERT_EQ(pthread_create(&thread, &attr, &Trampoline, &fn), 0);
        ASSERT_EQ(pthread_join(thread, nullptr), 0);
        pthread_attr_destroy(&attr);
#endif
    }

    // Offsets of the 8-byte pieces of data (at multiples of 8) found in the stack.
    std::vector<size_t> Find(const Bytes& data) const
    {
        std::vector<size_t> found;
        const uint8_t* begin = m_stack.get();
        const uint8_t* end = begin + kStackSize;
        for (size_t at = 0; at + 8 <= data.size(); at += 8) {
            const uint8_t* hit = std::search(begin, end, data.begin() + static_cast<ptrdiff_t>(at),
                                             data.begin() + static_cast<ptrdiff_t>(at + 8));
            if (hit != end)
                found.push_back(at);
        }
        return found;
    }

private:
    // The function runs below a gap, so what the thread does after it (returning, exiting)
    // stays inside the gap and cannot overwrite what the function left behind.
    static void* Trampoline(void* fn)
    {
        BelowAGap(*static_cast<std::function<void()>*>(fn));
        return nullptr;
    }

    [[gnu::noinline]] static void BelowAGap(const std::function<void()>& fn)
    {
        uint8_t gap[kStackSize / 4];
        asm volatile("" : : "r"(gap) : "memory");
        fn();
        asm volatile("" : : "r"(gap) : "memory");
    }

#ifdef _WIN32
    // Windows starts no thread on a stack the caller chose (winpthreads takes the address
    // and ignores it): the thread itself copies the used part of its stack, from this frame
    // down, once the function has returned below the gap.
    [[gnu::noinline]] void RunThenCopyOwnStack(const std::function<void()>& fn)
    {
        BelowAGap(fn);
        uint8_t top = 0;
        asm volatile("" : : "r"(&top) : "memory");
        // The committed pages from this frame down reach as deep as the thread went; the
        // guard page below them ends the walk.
        const auto* limit = &top;
        MEMORY_BASIC_INFORMATION region{};
        while (VirtualQuery(limit - 1, &region, sizeof region) == sizeof region && region.State == MEM_COMMIT &&
               (region.Protect & PAGE_GUARD) == 0 && (region.Protect & PAGE_READWRITE) != 0)
            limit = static_cast<const uint8_t*>(region.BaseAddress);
        const size_t used = std::min(static_cast<size_t>(&top - limit), kStackSize);
        std::memcpy(m_stack.get(), &top - used, used);
    }
#endif

    struct TFree {
        void operator()(uint8_t* p) const { std::free(p); }
    };
    std::unique_ptr<uint8_t, TFree> m_stack;
};

// Lends no views, so the stream loop copies every piece through its buffer.
class TCopyingStream final : public TMemoryStream {};

struct ScrubRow {
    const char* name;
    std::function<std::unique_ptr<TDCP_cipher>()> make;
    TDCP_ciphermode mode;
    bool noFeatures; // the portable code instead of the CPU's instructions
};

template <class C>
ScrubRow Row(const char* name, TDCP_ciphermode mode, bool noFeatures = false)
{
    return {name, [] { return std::make_unique<C>(); }, mode, noFeatures};
}

std::vector<ScrubRow> Rows()
{
    std::vector<ScrubRow> rows{Row<TDCP_rc4>("RC4", cmCBC)};
    const std::pair<TDCP_ciphermode, const char*> modes[] = {
        {cmCBC, "CBC"}, {cmCFB8bit, "CFB8"}, {cmCFBblock, "CFBblock"}, {cmOFB, "OFB"}, {cmCTR, "CTR"}};
    for (auto [mode, name] : modes) {
        rows.push_back(Row<TDCP_blowfish>(name, mode));
        rows.push_back(Row<TDCP_serpent>(name, mode));
        rows.push_back(Row<TDCP_rijndael>(name, mode));
    }
    rows.push_back(Row<TDCP_serpent>("CBC", cmCBC, true));
    rows.push_back(Row<TDCP_rijndael>("CBC", cmCBC, true));
    return rows;
}

std::string RowName(const ScrubRow& r)
{
    const auto c = r.make();
    return c->Algorithm() + "_" + r.name + (r.noFeatures ? "_portable" : "");
}

class ScrubBuffers : public ::testing::TestWithParam<ScrubRow> {};

// A few pieces and a partial block at the end, so the tail rule runs too.
constexpr uint32_t kLength = 3 * TDCP_cipher::kStreamPiece + 1000 + 5;

TEST_P(ScrubBuffers, NoPlaintextLeftOnTheStack)
{
    SKIP_UNLESS_STACK_SEARCH_HOLDS();
    const ScrubRow& row = GetParam();
    const Bytes plain = lwtest::RandomBytes(kLength, 2024);
    TMemoryStream cipherText;
    {
        const auto c = row.make();
        if (auto* b = dynamic_cast<TDCP_blockcipher*>(c.get()))
            b->SetCipherMode(row.mode);
        c->SetKeyFromPhrase("scrub the stack", HashClass<TDCP_sha1>());
        TMemoryStream source;
        source.Write(plain);
        source.SetPosition(0);
        c->StreamEncrypt(source, cipherText, kLength);
    }
    cipherText.SetPosition(0);
    TCopyingStream encrypted;
    encrypted.Write(cipherText.Data());
    encrypted.SetPosition(0);

    TOwnStack stack;
    TCopyingStream decrypted;
    ForceNoCpuFeatures(row.noFeatures);
    stack.Run([&] {
        const auto c = row.make();
        if (auto* b = dynamic_cast<TDCP_blockcipher*>(c.get()))
            b->SetCipherMode(row.mode);
        c->SetKeyFromPhrase("scrub the stack", HashClass<TDCP_sha1>());
        c->StreamDecrypt(encrypted, decrypted, kLength);
    });
    ForceNoCpuFeatures(false);
    ASSERT_EQ(decrypted.Data(), plain) << "the decryption itself";
    const std::vector<size_t> found = stack.Find(plain);
    EXPECT_TRUE(found.empty()) << found.size() << " pieces of plaintext left, the first at byte "
                               << (found.empty() ? 0 : found.front());
}

// One call of whole blocks, so no later call in the same frame can overwrite what the
// mode left: neither the plaintext nor what the mode XORs onto it to get there (the
// decrypted block before the chaining XOR, or the key stream) may remain.
class ScrubChains : public ::testing::TestWithParam<ScrubRow> {};

TEST_P(ScrubChains, NoChainTemporariesLeftByOneCall)
{
    SKIP_UNLESS_STACK_SEARCH_HOLDS();
    const ScrubRow& row = GetParam();
    const auto probe = row.make();
    auto* block = dynamic_cast<TDCP_blockcipher*>(probe.get());
    ASSERT_NE(block, nullptr);
    const size_t b = static_cast<size_t>(block->BlockSize() / 8);
    const uint32_t n = static_cast<uint32_t>(64 * b);
    block->SetCipherMode(row.mode);
    block->SetKeyFromPhrase("chain temporaries", HashClass<TDCP_sha1>());
    Bytes iv(b);
    block->GetChainValue(iv.data());
    const Bytes plain = lwtest::RandomBytes(n, 77);
    Bytes work = plain;
    block->Encrypt(work.data(), work.data(), n);

    Bytes chained = iv; // the IV and then the ciphertext
    chained.insert(chained.end(), work.begin(), work.end());
    Bytes xored(n);
    for (size_t i = 0; i < n; ++i)
        xored[i] = plain[i] ^ (row.mode == cmCBC ? chained[i] : work[i]);
    if (row.mode == cmCFB8bit) {
        // Only one byte of each key block meets the data; the last one whole is the secret.
        xored.assign(b, 0);
        block->EncryptBlock(chained.data() + n - 1, xored.data());
    }

    TOwnStack stack;
    ForceNoCpuFeatures(row.noFeatures);
    stack.Run([&] {
        const auto c = row.make();
        dynamic_cast<TDCP_blockcipher&>(*c).SetCipherMode(row.mode);
        c->SetKeyFromPhrase("chain temporaries", HashClass<TDCP_sha1>());
        c->Decrypt(work.data(), work.data(), n);
    });
    ForceNoCpuFeatures(false);
    ASSERT_EQ(work, plain) << "the decryption itself";
    EXPECT_TRUE(stack.Find(plain).empty()) << "plaintext left";
    EXPECT_TRUE(stack.Find(xored).empty()) << "the block XORed onto the data left";
}

INSTANTIATE_TEST_SUITE_P(Ciphers, ScrubBuffers, ::testing::ValuesIn(Rows()),
                         [](const auto& instance) { return RowName(instance.param); });

// The block cipher rows: the stream cipher has no chaining temporaries.
std::vector<ScrubRow> BlockRows()
{
    std::vector<ScrubRow> rows = Rows();
    std::erase_if(rows, [](const ScrubRow& r) { return !dynamic_cast<TDCP_blockcipher*>(r.make().get()); });
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Ciphers, ScrubChains, ::testing::ValuesIn(BlockRows()),
                         [](const auto& instance) { return RowName(instance.param); });

// The search sees what a function leaves in its frame: a copy that nobody wipes.
[[gnu::noinline]] void LeaveACopy(const Bytes& data)
{
    volatile uint8_t copy[64];
    for (size_t i = 0; i < sizeof(copy); ++i)
        copy[i] = data[i];
}

TEST(ScrubBuffers, TheSearchFindsAnUnwipedCopy)
{
    SKIP_UNLESS_STACK_SEARCH_HOLDS();
    const Bytes plain = lwtest::RandomBytes(64, 7);
    TOwnStack stack;
    stack.Run([&] { LeaveACopy(plain); });
    EXPECT_EQ(stack.Find(plain).size(), 8u);
}

} // namespace
