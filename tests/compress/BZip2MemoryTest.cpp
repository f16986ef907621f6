// The library's allocations come through the non-throwing operator new. This test program
// replaces it so that blocks of a chosen size or more are refused.
#include <atomic>
#include <cstdint>
#include <new>

#include <gtest/gtest.h>

#include "BZip2Helpers.h"
#include "compress/ParallelBZip2Decompressor.h"

namespace {
std::atomic<size_t> g_refuseFrom{SIZE_MAX};

class RefuseAllocations {
public:
    explicit RefuseAllocations(size_t from) { g_refuseFrom = from; }
    ~RefuseAllocations() { g_refuseFrom = SIZE_MAX; }
    RefuseAllocations(const RefuseAllocations&) = delete;
    RefuseAllocations& operator=(const RefuseAllocations&) = delete;
};
} // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    if (size >= g_refuseFrom)
        return nullptr;
    try {
        return ::operator new(size);
    } catch (...) {
        return nullptr;
    }
}

using namespace lw;
using namespace bztest;

namespace {

// Block size 5 needs about 2 MB for each of its big arrays; the record itself far less.
constexpr size_t kBigBlock = 1000000;

TEST(BZip2Memory, RefusedAllocationInConstructionIsOutOfMemory)
{
    TMemoryStream dest;
    {
        RefuseAllocations refuse(0);
        EXPECT_THROW(TBZDecompressionStream bz(dest), std::bad_alloc);
        EXPECT_THROW(TBZCompressionStream bz(TBlockSize100k::bs5, dest), std::bad_alloc);
    }
    RefuseAllocations refuse(kBigBlock);
    EXPECT_THROW(TBZCompressionStream bz(TBlockSize100k::bs5, dest), std::bad_alloc);
    EXPECT_NO_THROW(TBZCompressionStream bz(TBlockSize100k::bs1, dest));
}

TEST(BZip2Memory, RefusedAllocationInReadIsOutOfMemory)
{
    const Bytes data = PseudoText(10000, 16);
    TMemoryStream src, again;
    Fill(src, Compress(data));
    Fill(again, Compress(data));
    TBZDecompressionStream bz(src);
    TParallelBZDecompressor parallel(again, 2);
    parallel.UseLibraryForBlocks(); // the library's allocations are the ones refused
    Bytes out(data.size());
    {
        RefuseAllocations refuse(kBigBlock);
        EXPECT_THROW(bz.Read(out), std::bad_alloc);
        EXPECT_THROW(parallel.Read(out), std::bad_alloc);
    }
    // A failed block stays first: the parallel stream never goes on past it.
    EXPECT_THROW(parallel.Read(out), std::bad_alloc);
    // The hook itself stays sound: with memory back, the stream can start over.
    EXPECT_EQ(bz.Seek(0, TSeekOrigin::soBeginning), 0);
    bz.ReadBuffer(out);
    EXPECT_TRUE(Same(out, data));
}

} // namespace
