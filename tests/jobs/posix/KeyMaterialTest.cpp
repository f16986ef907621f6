// Key material after a job: the cipher object's schedule, IV and chaining value and the
// phrase's digest hold their wipe patterns when their memory goes back to the heap, and
// no released block still holds the phrase or its digest. Every heap release of this
// test program passes the check below while a job is watched.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <mutex>
#include <new>

#include <functional>
#include <gtest/gtest.h>

#include "../JobDoubles.h"
#include "../JobRows.h"
#include "TestUtil.h"
#include "crypto/Blowfish.h"
#include "crypto/Rc4.h"
#include "crypto/Rijndael.h"
#include "crypto/Serpent.h"
#include "crypto/Sha1.h"
#include "jobs/CipherFactory.h"
#include "jobs/JobSteps.h"
#include "jobs/Jobs.h"
#include "jobs/Plausibility.h"
#include "platform/MemoryStream.h"
#include "platform/SecretText.h"

using namespace lwtest;

namespace {

constexpr size_t kDigestSize = 20;
constexpr size_t kMaxRegions = 4;

struct Region {
    size_t offset = 0;
    size_t size = 0;
    const uint8_t* pattern = nullptr; // what a fresh object holds there
};

// What one watched job released. Filled from inside operator delete, so fixed arrays only.
struct Watch {
    const void* phrase = nullptr;
    size_t phraseSize = 0;
    uint8_t digest[kDigestSize] = {};
    size_t cipherSize = 0; // the first block of this size allocated is the job's cipher
    Region regions[kMaxRegions];
    size_t regionCount = 0;

    const void* cipherBlock = nullptr;
    int cipherReleases = 0;
    int cipherRegionsNotWiped = 0;
    int blocksWithPhrase = 0;
    int blocksWithDigest = 0;
    int wipedDigestBuffers = 0;

    const void* plaintext = nullptr; // a marker from a decryption's plaintext, when set
    size_t plaintextSize = 0;
    int blocksWithPlaintext = 0;

    bool refuseCipher = false; // the cipher's allocation fails: the job throws before its try
};

std::mutex g_watchLock;
Watch* g_watch = nullptr;
thread_local bool t_inHook = false;

void NoteAllocation(const void* block, size_t size)
{
    if (!g_watch || t_inHook)
        return;
    t_inHook = true;
    {
        std::lock_guard lock(g_watchLock);
        if (g_watch && !g_watch->cipherBlock && size == g_watch->cipherSize)
            g_watch->cipherBlock = block;
    }
    t_inHook = false;
}

void InspectRelease(const void* block, size_t size)
{
    if (!g_watch || !block || t_inHook)
        return;
    t_inHook = true;
    {
        std::lock_guard lock(g_watchLock);
        if (Watch* w = g_watch) {
            const auto* bytes = static_cast<const uint8_t*>(block);
            if (w->phraseSize && ::memmem(bytes, size, w->phrase, w->phraseSize))
                ++w->blocksWithPhrase;
            if (::memmem(bytes, size, w->digest, kDigestSize))
                ++w->blocksWithDigest;
            if (w->plaintextSize && ::memmem(bytes, size, w->plaintext, w->plaintextSize))
                ++w->blocksWithPlaintext;
            if (size >= kDigestSize && size < kDigestSize + 16 &&
                std::all_of(bytes, bytes + kDigestSize, [](uint8_t b) { return b == 0xFF; }))
                ++w->wipedDigestBuffers;
            if (block == w->cipherBlock) {
                ++w->cipherReleases;
                for (size_t r = 0; r < w->regionCount; ++r)
                    if (std::memcmp(bytes + w->regions[r].offset, w->regions[r].pattern, w->regions[r].size) != 0)
                        ++w->cipherRegionsNotWiped;
                w->cipherBlock = nullptr;
            }
        }
    }
    t_inHook = false;
}

bool Refused(size_t size)
{
    if (!g_watch || t_inHook)
        return false;
    std::lock_guard lock(g_watchLock);
    return g_watch && g_watch->refuseCipher && size == g_watch->cipherSize;
}

void* Allocate(size_t size, size_t alignment)
{
    if (Refused(size))
        throw std::bad_alloc();
    void* block =
        alignment <= alignof(std::max_align_t)
            ? std::malloc(size ? size : 1)
            : std::aligned_alloc(alignment, (std::max<size_t>(size, 1) + alignment - 1) / alignment * alignment);
    if (!block)
        throw std::bad_alloc();
    NoteAllocation(block, size);
    return block;
}

void Release(void* block, size_t size)
{
    InspectRelease(block, size ? size : (block ? ::malloc_usable_size(block) : 0));
    std::free(block);
}

} // namespace

// Every form of the global allocation functions, so none mixes with the library's own.
void* operator new(size_t size)
{
    return Allocate(size, 0);
}
void* operator new[](size_t size)
{
    return Allocate(size, 0);
}
void* operator new(size_t size, std::align_val_t a)
{
    return Allocate(size, static_cast<size_t>(a));
}
void* operator new[](size_t size, std::align_val_t a)
{
    return Allocate(size, static_cast<size_t>(a));
}
void* operator new(size_t size, const std::nothrow_t&) noexcept
{
    try {
        return Allocate(size, 0);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept
{
    return operator new(size, tag);
}
void* operator new(size_t size, std::align_val_t a, const std::nothrow_t&) noexcept
{
    try {
        return Allocate(size, static_cast<size_t>(a));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](size_t size, std::align_val_t a, const std::nothrow_t& tag) noexcept
{
    return operator new(size, a, tag);
}
void operator delete(void* block) noexcept
{
    Release(block, 0);
}
void operator delete[](void* block) noexcept
{
    Release(block, 0);
}
void operator delete(void* block, size_t size) noexcept
{
    Release(block, size);
}
void operator delete[](void* block, size_t size) noexcept
{
    Release(block, size);
}
void operator delete(void* block, std::align_val_t) noexcept
{
    Release(block, 0);
}
void operator delete[](void* block, std::align_val_t) noexcept
{
    Release(block, 0);
}
void operator delete(void* block, size_t size, std::align_val_t) noexcept
{
    Release(block, size);
}
void operator delete[](void* block, size_t size, std::align_val_t) noexcept
{
    Release(block, size);
}
void operator delete(void* block, const std::nothrow_t&) noexcept
{
    Release(block, 0);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept
{
    Release(block, 0);
}
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept
{
    Release(block, 0);
}
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept
{
    Release(block, 0);
}

namespace {

// The key material of a cipher, by its own accessors.
std::vector<std::span<const uint8_t>> KeyRegions(const lw::TDCP_cipher& c)
{
    if (auto* rc4 = dynamic_cast<const lw::TDCP_rc4*>(&c))
        return {rc4->PermutationBytes(), rc4->InitialPermutationBytes()};
    if (auto* bf = dynamic_cast<const lw::TDCP_blowfish*>(&c))
        return {bf->SBoxBytes(), bf->PArrayBytes(), bf->InitVectorBytes(), bf->ChainValueBytes()};
    if (auto* sp = dynamic_cast<const lw::TDCP_serpent*>(&c))
        return {sp->SubKeyBytes(), sp->InitVectorBytes(), sp->ChainValueBytes()};
    auto& rj = dynamic_cast<const lw::TDCP_rijndael&>(c);
    return {rj.EncryptRoundKeyBytes(), rj.DecryptRoundKeyBytes(), rj.InitVectorBytes(), rj.ChainValueBytes()};
}

size_t ObjectSize(int cipher)
{
    constexpr size_t sizes[] = {sizeof(lw::TDCP_rc4), sizeof(lw::TDCP_blowfish), sizeof(lw::TDCP_serpent),
                                sizeof(lw::TDCP_rijndael)};
    return sizes[cipher];
}

Bytes Sha1(const std::string& text)
{
    lw::TDCP_sha1 hash;
    hash.Init();
    hash.UpdateText(text);
    Bytes digest(kDigestSize);
    hash.Final(digest);
    return digest;
}

// A phrase too long for a string's inline buffer, so any copy of it lands on the heap.
const std::string kPhrase = "correct horse battery staple, and a few more words to it";
// Clearing a string zeroes its first byte only: the watch looks for the rest of the phrase.
constexpr size_t kPhraseSkip = 1;

struct WatchedJob {
    int cipher;
    bool encrypt;
    bool compressed;
    bool failWrites; // the output's first write fails: the job ends by its exception path
};

class KeyMaterial : public ::testing::TestWithParam<WatchedJob> {};

} // namespace

TEST_P(KeyMaterial, ReleasedMemoryHoldsWipePatternsAfterTheJob)
{
    const WatchedJob& j = GetParam();
    TempDir dir;
    const Bytes plain = TextBytes(50000, 11);
    WriteFile(dir / "f.bin", plain);
    const std::string packed = dir / (j.compressed ? "f.bin.fez" : "f.bin.fe2");

    // Fresh objects show where each region sits and what its wipe pattern is.
    std::unique_ptr<lw::TDCP_cipher> fresh = lw::CreateCipher(j.cipher);
    Watch watch;
    watch.phrase = kPhrase.data() + kPhraseSkip;
    watch.phraseSize = kPhrase.size() - kPhraseSkip;
    const Bytes digest = Sha1(kPhrase);
    std::copy(digest.begin(), digest.end(), watch.digest);
    watch.cipherSize = ObjectSize(j.cipher);
    for (auto region : KeyRegions(*fresh)) {
        ASSERT_LT(watch.regionCount, kMaxRegions);
        const auto offset = static_cast<size_t>(region.data() - reinterpret_cast<const uint8_t*>(fresh.get()));
        watch.regions[watch.regionCount++] = {offset, region.size(), region.data()};
    }

    auto run = [&](const std::string& source, bool encrypt, bool watched) {
        ScriptedAsk ask;
        RecordingHandOff handOff;
        lw::TJobContext context{ask, handOff};
        const lw::TJobOptions options = JobOptions(source, kPhrase, j.cipher, j.compressed);
        FaultScope faults;
        if (j.failWrites && encrypt == j.encrypt)
            faults.FailFrom(lw::fs::TFileOp::Write, 1, ENOSPC);
        {
            std::lock_guard lock(g_watchLock);
            g_watch = watched ? &watch : nullptr;
        }
        (encrypt ? lw::RunEncryptJob : lw::RunDecryptJob)(options, context);
        {
            std::lock_guard lock(g_watchLock);
            g_watch = nullptr;
        }
        return ask.boxes;
    };
    if (!j.encrypt) {
        ASSERT_EQ(run(dir / "f.bin", true, false).size(), 1u); // the source to decrypt
        std::filesystem::rename(dir / "f.bin", dir / "plain");
    }
    const auto boxes = run(j.encrypt ? dir / "f.bin" : packed, j.encrypt, true);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, j.failWrites ? "File IO error" : j.encrypt ? "File encrypted" : "File decrypted");
    if (!j.encrypt && !j.failWrites) {
        EXPECT_EQ(ReadFile(dir / "f.bin"), plain);
    }

    EXPECT_EQ(watch.cipherReleases, 1) << "the job's cipher object was not seen going back to the heap";
    EXPECT_EQ(watch.cipherRegionsNotWiped, 0) << "key material left in the released cipher object";
    EXPECT_GE(watch.wipedDigestBuffers, 1) << "no released digest buffer held its wipe pattern";
    EXPECT_EQ(watch.blocksWithDigest, 0) << "a released block still held the phrase's digest";
    EXPECT_EQ(watch.blocksWithPhrase, 0) << "a released block still held the phrase";
}

INSTANTIATE_TEST_SUITE_P(Jobs, KeyMaterial, ::testing::ValuesIn([] {
                             std::vector<WatchedJob> all;
                             for (int cipher = 0; cipher < 4; ++cipher)
                                 for (bool encrypt : {true, false})
                                     for (bool compressed : {false, true})
                                         for (bool fail : {false, true})
                                             all.push_back({cipher, encrypt, compressed, fail});
                             return all;
                         }()),
                         [](const auto& entry) {
                             const WatchedJob& j = entry.param;
                             return std::string(lw::CreateCipher(j.cipher)->Algorithm()) +
                                    (j.encrypt ? "_encrypt" : "_decrypt") + (j.compressed ? "_fez" : "_fe2") +
                                    (j.failWrites ? "_failing" : "");
                         });

// The same steps as a job, looked at through the cipher's own accessors: keyed, the
// material differs from the pattern; after the job's Wipe it is the pattern again.
TEST(KeyMaterialAccessors, JobStepsLeaveEveryCipherInItsWipePattern)
{
    for (int cipher = 0; cipher < 4; ++cipher) {
        std::unique_ptr<lw::TDCP_cipher> fresh = lw::CreateCipher(cipher);
        std::unique_ptr<lw::TDCP_cipher> used = lw::CreateCipher(cipher);
        SCOPED_TRACE(used->Algorithm());
        lw::job::KeyCipher(used.get(), kPhrase);
        const Bytes data = TextBytes(3 * 8192 + 5, 2);
        lw::TMemoryStream in, out;
        in.WriteBuffer(data);
        in.SetPosition(0);
        EXPECT_EQ(used->StreamEncrypt(in, out, data.size()), data.size());
        const auto keyed = KeyRegions(*used);
        const auto pattern = KeyRegions(*fresh);
        bool anyKeyed = false;
        for (size_t r = 0; r < keyed.size(); ++r)
            anyKeyed = anyKeyed || !std::equal(keyed[r].begin(), keyed[r].end(), pattern[r].begin());
        EXPECT_TRUE(anyKeyed);
        used->Wipe();
        EXPECT_FALSE(used->Initialized());
        const auto wiped = KeyRegions(*used);
        for (size_t r = 0; r < wiped.size(); ++r)
            EXPECT_TRUE(std::equal(wiped[r].begin(), wiped[r].end(), pattern[r].begin())) << "region " << r;
    }
}

namespace {

// Runs `run` with the watch on.
template <class Run>
void Watched(Watch& watch, Run run)
{
    {
        std::lock_guard lock(g_watchLock);
        g_watch = &watch;
    }
    run();
    std::lock_guard lock(g_watchLock);
    g_watch = nullptr;
}

Watch PhraseWatch(int cipher, const std::string& marker)
{
    Watch watch;
    watch.phrase = kPhrase.data() + kPhraseSkip;
    watch.phraseSize = kPhrase.size() - kPhraseSkip;
    const Bytes digest = Sha1(kPhrase);
    std::copy(digest.begin(), digest.end(), watch.digest);
    watch.cipherSize = ObjectSize(cipher);
    watch.plaintext = marker.data();
    watch.plaintextSize = marker.size();
    return watch;
}

const std::string kMarker = "marker-7f3a9c-of-a-deciphered-plaintext";

} // namespace

TEST(CipherTrials, TheWatchSeesAReleasedBlockWithThePlaintext)
{
    Watch watch = PhraseWatch(0, kMarker);
    Watched(watch, [] { delete new std::string(kMarker + " in a block of its own"); });
    EXPECT_GE(watch.blocksWithPlaintext, 1);
}

// The trial decryptions of CipherThatFits wipe their ciphers, the deciphered bytes and the
// copy the kind probes flip bits in before releasing them.
TEST(CipherTrials, ReleasedMemoryHoldsNoPhraseDigestOrPlaintext)
{
    std::string text;
    while (text.size() < 20000)
        text += "Some lines of text, and a " + kMarker + " among them.\n";
    // Random bytes behind a PNG header: not text, so the kind probes judge it on their copy.
    Bytes png = RandomBytes(20000, 5);
    const uint8_t header[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D',
                              'R',  0,   0,   1,   0,    0,    0,    1,    0, 8, 2, 0,  0,   0};
    std::copy(std::begin(header), std::end(header), png.begin());
    std::copy(kMarker.begin(), kMarker.end(), png.begin() + 100);
    for (const Bytes& plain : {Bytes(text.begin(), text.end()), png})
        for (int cipher = 0; cipher < 4; ++cipher) {
            std::unique_ptr<lw::TDCP_cipher> fresh = lw::CreateCipher(cipher);
            SCOPED_TRACE(fresh->Algorithm());
            lw::job::KeyCipher(fresh.get(), kPhrase);
            lw::TMemoryStream in, out;
            in.WriteBuffer(plain);
            in.SetPosition(0);
            fresh->StreamEncrypt(in, out, plain.size());
            const Bytes encrypted = out.Data();

            // The trials go in index order; the one before the right cipher is watched too.
            const int tried = (cipher + 2) % 4;
            const int firstTrial = tried == 0 ? 1 : 0;
            Watch watch = PhraseWatch(firstTrial, kMarker);
            fresh = lw::CreateCipher(firstTrial);
            for (auto region : KeyRegions(*fresh)) {
                const auto offset = static_cast<size_t>(region.data() - reinterpret_cast<const uint8_t*>(fresh.get()));
                watch.regions[watch.regionCount++] = {offset, region.size(), region.data()};
            }
            std::optional<int32_t> named;
            Watched(watch, [&] { named = lw::CipherThatFits(encrypted, kPhrase, tried, false); });
            EXPECT_EQ(named, cipher);
            EXPECT_EQ(watch.blocksWithPlaintext, 0) << "a released block still held deciphered bytes";
            EXPECT_EQ(watch.blocksWithPhrase, 0);
            EXPECT_EQ(watch.blocksWithDigest, 0);
            EXPECT_EQ(watch.cipherReleases, 1);
            EXPECT_EQ(watch.cipherRegionsNotWiped, 0);
        }
}

namespace {

// Holds the phrase twice over, so assigning it needs a bigger buffer.
const std::string kLongerPhrase = kPhrase + " / " + kPhrase;

// A job whose cipher cannot be allocated, which throws before its try, run the way the
// tool and the window run one: the options are theirs and the exception passes them by.
void RunJobThatThrowsEarly(bool encrypt)
{
    ScriptedAsk ask;
    RecordingHandOff handOff;
    lw::TJobContext context{ask, handOff};
    const lw::TJobOptions options = JobOptions("f.bin.fe2", kPhrase, 0);
    EXPECT_THROW((encrypt ? lw::RunEncryptJob : lw::RunDecryptJob)(options, context), std::bad_alloc);
    EXPECT_TRUE(ask.boxes.empty());
}

struct PhraseRow {
    const char* name;
    std::function<void()> handle; // runs with the watch on
    bool leaves;                  // whether a released block still holds the phrase
    bool refuseCipher = false;
};

void PrintTo(const PhraseRow& row, std::ostream* out)
{
    *out << row.name;
}

class KeyPhraseBuffer : public ::testing::TestWithParam<PhraseRow> {};

} // namespace

TEST_P(KeyPhraseBuffer, ReleasedMemoryHoldsThePhraseOnlyWhereExpected)
{
    Watch watch = PhraseWatch(0, kMarker);
    watch.refuseCipher = GetParam().refuseCipher;
    Watched(watch, GetParam().handle);
    if (GetParam().leaves)
        EXPECT_GE(watch.blocksWithPhrase, 1) << "the watch missed a released copy of the phrase";
    else
        EXPECT_EQ(watch.blocksWithPhrase, 0) << "a released block still held the phrase";
}

INSTANTIATE_TEST_SUITE_P(Rows, KeyPhraseBuffer,
                         ::testing::Values(
                             // What every other row would show without the wipes.
                             PhraseRow{"PlainString",
                                       [] {
                                           std::string plain(kPhrase);
                                           asm volatile("" : : "r"(plain.data()) : "memory");
                                       },
                                       true},
                             PhraseRow{"Destroyed", [] { lw::TSecretText secret(kPhrase); }, false},
                             PhraseRow{"GrownByAssignment",
                                       [] {
                                           lw::TSecretText secret(kPhrase);
                                           secret = kLongerPhrase;
                                           EXPECT_EQ(secret.View(), kLongerPhrase);
                                       },
                                       false},
                             PhraseRow{"ShrunkByAssignment",
                                       [] {
                                           lw::TSecretText secret(kPhrase);
                                           secret = "k";
                                       },
                                       false},
                             PhraseRow{"MovedFrom",
                                       [] {
                                           lw::TSecretText from(kPhrase);
                                           lw::TSecretText to(std::move(from));
                                           EXPECT_EQ(to.View(), kPhrase);
                                       },
                                       false},
                             PhraseRow{"MovedOverAnother",
                                       [] {
                                           lw::TSecretText from(kPhrase);
                                           lw::TSecretText to(kLongerPhrase);
                                           to = std::move(from);
                                           EXPECT_EQ(to.View(), kPhrase);
                                       },
                                       false},
                             PhraseRow{"OptionsMovedAndDestroyed",
                                       [] {
                                           lw::TJobOptions options = JobOptions("f", kPhrase, 0);
                                           lw::TJobOptions moved = std::move(options);
                                           EXPECT_EQ(moved.KeyPhrase.View(), kPhrase);
                                       },
                                       false},
                             PhraseRow{"EncryptThrowsBeforeItsTry", [] { RunJobThatThrowsEarly(true); }, false, true},
                             PhraseRow{"DecryptThrowsBeforeItsTry", [] { RunJobThatThrowsEarly(false); }, false, true}),
                         [](const auto& entry) { return std::string(entry.param.name); });
