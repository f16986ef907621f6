#include "compress/BZip2Library.h"

#include <cstddef>

namespace lw::bz {

namespace {

// Called from C: must not throw. A null return makes the library report BZ_MEM_ERROR.
void* Alloc(void*, int items, int size) noexcept
{
    if (items <= 0 || size <= 0)
        return nullptr;
    return ::operator new(static_cast<size_t>(items) * static_cast<size_t>(size), std::nothrow);
}

void Free(void*, void* block) noexcept
{
    ::operator delete(block);
}

} // namespace

TLibStream::TLibStream(TMode mode, int level) : m_mode(mode)
{
    z.bzalloc = Alloc;
    z.bzfree = Free;
    Init(level);
}

void TLibStream::Init(int level)
{
    if (m_mode == TMode::compress)
        Check<EBZCompressionError>(BZ2_bzCompressInit(&z, level, 0, 0));
    else
        Check<EBZDecompressionError>(BZ2_bzDecompressInit(&z, 0, 0));
    m_live = true;
}

void TLibStream::End() noexcept
{
    if (!m_live)
        return;
    m_live = false;
    if (m_mode == TMode::compress)
        BZ2_bzCompressEnd(&z);
    else
        BZ2_bzDecompressEnd(&z);
}

void TLibStream::Restart()
{
    // After a failed start there is no state to end: the library's parameter error is raised.
    m_live = false;
    Check<EBZDecompressionError>(BZ2_bzDecompressEnd(&z));
    Init(0);
}

} // namespace lw::bz
