#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "compress/BZip2.h"
#include "compress/BZip2BlockEncoder.h"
#include "compress/BZip2Format.h"
#include "compress/OrderedWorkers.h"

namespace lw {

// Write-only: the very bytes one TBZCompressionStream would write, with the blocks
// compressed on worker threads. Blocks end where the library would end them: it counts
// bytes after its first run-length stage and closes a block once it is full, leaving the
// run still open for the next block. Threads start with the first block and are joined
// by Finish or the destructor; a worker's failure is raised by a later Write or Finish.
class TParallelBZCompressor final : public TStream {
public:
    TParallelBZCompressor(TBlockSize100k blockSize, TStream& destination, unsigned threads);
    // Stops the workers; without Finish the stream stays incomplete.
    ~TParallelBZCompressor() override;

    int64_t Read(std::span<uint8_t> buffer) override;
    int64_t Write(std::span<const uint8_t> buffer) override;
    // Only offset 0 from the current position: the uncompressed bytes taken so far.
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;

    // Writes the rest of the stream and joins the workers. Idempotent.
    void Finish();

    // Test seam: runs on a worker before each block; what it throws fails the stream.
    std::function<void()> BeforeBlock;

private:
    struct TBlock;
    using TWorkers = TOrderedWorkers<TBlock, bz::TBlockEncoderScratch>;

    void Submit();
    void WriteDone(size_t keepInFlight);
    void Splice(TBlock& block);
    void Run(TBlock& block, bz::TBlockEncoderScratch& scratch) noexcept;

    TStream& m_destination;
    int m_level;
    size_t m_blockMax;
    unsigned m_threads;
    std::shared_ptr<TBlock> m_block; // being filled
    std::vector<std::shared_ptr<TBlock>> m_spare;
    unsigned m_runByte = 256; // the open run; 256 before the first byte
    unsigned m_runLength = 0;
    uint64_t m_taken = 0;
    uint32_t m_combinedCrc = 0;
    bz::TBitWriter m_out;
    bool m_finished = false;
    // Last: its threads use the members above until it is gone.
    std::unique_ptr<TWorkers> m_workers;
};

} // namespace lw
