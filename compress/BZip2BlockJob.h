#pragma once
// One block of the parallel decompressor's stream, decoded on its own, on a worker or on the
// reading thread: by our decoder first, by the library where ours refuses the block.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <vector>

namespace lw {

class TBZBlockDecoder;

namespace bz {

// Output room for a block; kept and handed to the next block once delivered.
struct TBlockOutput {
    std::unique_ptr<uint8_t[]> data;
    size_t capacity = 0;

    void Reserve(size_t size);
    // Keeps the first `keep` bytes.
    void Grow(size_t size, size_t keep);
};

struct TBlockJob {
    int64_t startBit = 0;
    int64_t endBit = 0;
    int level = 0;
    bool libraryOnly = false;
    uint32_t crc = 0;
    std::vector<uint8_t> input; // the block alone as a whole stream
    TBlockOutput output;
    size_t size = 0; // bytes of output
    bool ok = false;
    std::exception_ptr error;

    // Not ok: the block is none on its own, or decodes to more than a block's bounded room.
    // A failure stays in `error`, for the reading thread to raise.
    void Decode(TBZBlockDecoder& decoder) noexcept;

private:
    void DecodeWithLibrary();
};

} // namespace bz
} // namespace lw
