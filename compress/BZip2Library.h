#pragma once
// Private to this layer: the one place that starts and ends the library's streams, gives them
// our allocation hooks, and turns its return codes into exceptions.
#include <new>

#include <bzlib.h>

#include "compress/BZip2.h"

namespace lw::bz {

// Raises the failure a return code stands for; other codes come back as they are.
template <class E>
int Check(int code)
{
    if (code == BZ_MEM_ERROR)
        throw std::bad_alloc();
    if (code < 0)
        throw E(code);
    return code;
}

// One library stream, compressing or decompressing, ended by the destructor unless End came
// first. Its allocations go through the non-throwing operator new.
class TLibStream {
public:
    enum class TMode { compress, decompress };

    // level: the block size in hundreds of kilobytes when compressing, unused otherwise.
    explicit TLibStream(TMode mode, int level = 0);
    ~TLibStream() { End(); }
    TLibStream(const TLibStream&) = delete;
    TLibStream& operator=(const TLibStream&) = delete;

    // Ends the library state now; the codes it may give are not failures worth raising.
    void End() noexcept;
    // Decompressing: ends and starts again from a fresh state, raising what that gives.
    void Restart();

    bz_stream z{};

private:
    void Init(int level);

    TMode m_mode;
    bool m_live = false;
};

} // namespace lw::bz
