#pragma once
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "compress/BZip2.h"
#include "compress/BZip2BlockScanner.h"
#include "compress/OrderedWorkers.h"

namespace lw {

class TBZBlockDecoder;
namespace bz {
struct TBlockJob;
struct TBlockOutput;
} // namespace bz

// Read-only: delivers what a TBZDecompressionStream over the same source would, with the same
// errors on the same reads, decoding blocks on worker threads. Reads the source forward only
// and holds a few blocks at a time. Whenever a block does not decode on its own (a damaged
// stream, or a magic that was really data) it goes on with one library stream from there on.
class TParallelBZDecompressor final : public TStream {
public:
    TParallelBZDecompressor(TStream& source, unsigned threads);
    // Stops and joins the workers.
    ~TParallelBZDecompressor() override;

    int64_t Read(std::span<uint8_t> buffer) override;
    int64_t Write(std::span<const uint8_t> buffer) override;
    // Only the position query: the bytes delivered so far.
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;

    // For tests: blocks go to the library, each as a one-block stream, not to our decoder.
    void UseLibraryForBlocks() { m_libraryOnly = true; }

private:
    using TBuffer = bz::TBlockOutput;
    using TJob = bz::TBlockJob;
    struct TFallback;

    void Start();
    void ReadChunk();
    bool NextMark(int64_t after, TBZBlockMark& mark);
    void FillPipeline();
    std::shared_ptr<TJob> TakeJob(int64_t startBit, int64_t endBit);
    void Advance();
    void StartFallback(int64_t bit);
    size_t FallbackRead(std::span<uint8_t> buffer);
    bool FeedFallback();
    size_t ChunkEndOf(int64_t byte) const;
    void Trim();
    // A block's work, on a worker or here.
    void Run(TJob& job, TBZBlockDecoder& decoder) noexcept;
    // Under m_spareMutex: spare room for a block's output and its input.
    TBuffer TakeBuffer();
    void RecycleInput(TJob& job);
    // A delivered block's output room goes back to the spares.
    void Release(std::shared_ptr<TJob> job);

    TStream& m_source;
    bool m_started = false;
    bool m_libraryOnly = false;
    bool m_sourceEnded = false;
    int64_t m_position = 0;
    int m_level = 0;

    // Source bytes from absolute byte m_rawBase on, as read in the single stream's pieces.
    std::vector<uint8_t> m_raw;
    int64_t m_rawBase = 0;
    std::deque<int64_t> m_chunkEnds; // absolute end of each piece still in m_raw
    size_t m_scanned = 0;            // index in m_raw where scanning goes on
    std::deque<TBZBlockMark> m_marks;

    int64_t m_regionStart = 0; // where the next region to be queued starts
    bool m_pipeStopped = false;
    int64_t m_boundary = 0; // end of the block being delivered
    uint32_t m_combinedCrc = 0;
    std::shared_ptr<TJob> m_current;
    size_t m_currentAt = 0;
    std::unique_ptr<TFallback> m_fallback;

    std::mutex m_spareMutex;
    std::vector<TBuffer> m_spareOutputs; // of delivered blocks, for the next ones
    std::vector<std::vector<uint8_t>> m_spareInputs;
    unsigned m_threads;
    // Last: its threads use the members above until it is gone.
    using TWorkers = TOrderedWorkers<TJob, TBZBlockDecoder>;
    std::unique_ptr<TWorkers> m_workers;
};

} // namespace lw
