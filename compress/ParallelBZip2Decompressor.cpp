#include "compress/ParallelBZip2Decompressor.h"

#include "compress/BZip2BlockDecoder.h"
#include "compress/BZip2BlockJob.h"
#include "compress/BZip2Bridge.h"
#include "compress/BZip2Format.h"
#include "compress/BZip2Library.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>

namespace lw {

namespace {

// The single stream's source piece; reading in the same pieces lets errors come on the same read.
constexpr size_t kPiece = 65536;
constexpr size_t kMaxPiece = size_t{1} << 30;
// No block the library accepts takes more bits than this; a longer region is not a block.
constexpr int64_t kMaxRegionBits = int64_t{3} << 23;
constexpr size_t kTrimAt = size_t{1} << 20;

} // namespace

struct TParallelBZDecompressor::TFallback {
    bz::TLibStream d{bz::TLibStream::TMode::decompress};
    std::vector<uint8_t> first;
    int64_t fed = 0; // absolute source byte up to which input was handed over
    bool ended = false;
    size_t skip = 0; // bytes of the bridge block still to come out
    std::array<uint8_t, kPiece> piece{};
};

TParallelBZDecompressor::TParallelBZDecompressor(TStream& source, unsigned threads)
    : m_source(source), m_threads(threads),
      m_workers(std::make_unique<TWorkers>(threads, [this](TJob& job, TBZBlockDecoder& decoder) { Run(job, decoder); }))
{}

TParallelBZDecompressor::~TParallelBZDecompressor()
{
    m_workers->Stop();
}

void TParallelBZDecompressor::Run(TJob& job, TBZBlockDecoder& decoder) noexcept
{
    {
        std::lock_guard lock(m_spareMutex);
        job.output = TakeBuffer();
    }
    job.Decode(decoder);
    std::lock_guard lock(m_spareMutex);
    RecycleInput(job);
}

int64_t TParallelBZDecompressor::Read(std::span<uint8_t> buffer)
{
    if (buffer.empty())
        return 0;
    buffer = buffer.first(std::min(buffer.size(), kMaxPiece));
    if (!m_started)
        Start();
    size_t done = 0;
    for (;;) {
        if (m_fallback) {
            done += FallbackRead(buffer.subspan(done));
            break;
        }
        if (!m_current) {
            Advance();
            continue;
        }
        const TJob& job = *m_current;
        const size_t n = std::min(job.size - m_currentAt, buffer.size() - done);
        std::memcpy(buffer.data() + done, job.output.data.get() + m_currentAt, n);
        done += n;
        m_currentAt += n;
        // At a block's end the single stream goes straight on, even with the buffer full.
        if (m_currentAt == job.size)
            Release(std::move(m_current));
        else
            break;
    }
    m_position += static_cast<int64_t>(done);
    return static_cast<int64_t>(done);
}

int64_t TParallelBZDecompressor::Write(std::span<const uint8_t>)
{
    throw EBZDecompressionError(kInvalidStreamOperation);
}

int64_t TParallelBZDecompressor::Seek(int64_t offset, TSeekOrigin origin)
{
    if (offset != 0 || origin != TSeekOrigin::soCurrent)
        throw EBZDecompressionError(kInvalidStreamOperation);
    return m_position;
}

void TParallelBZDecompressor::ReadChunk()
{
    const size_t old = m_raw.size();
    m_raw.resize(old + kPiece);
    const int64_t got = m_source.Read(std::span(m_raw).subspan(old));
    m_raw.resize(old + static_cast<size_t>(std::max<int64_t>(got, 0)));
    if (got <= 0) {
        m_sourceEnded = true;
    } else {
        m_chunkEnds.push_back(m_rawBase + static_cast<int64_t>(m_raw.size()));
    }
    // A magic needs 7 bytes from where it starts unless nothing more comes.
    const size_t limit = m_sourceEnded ? m_raw.size() : (m_raw.size() > 6 ? m_raw.size() - 6 : 0);
    if (limit > m_scanned) {
        std::vector<TBZBlockMark> found;
        FindBlockMarks(m_raw, m_rawBase, m_scanned, limit, found);
        m_marks.insert(m_marks.end(), found.begin(), found.end());
        m_scanned = limit;
    }
}

void TParallelBZDecompressor::Start()
{
    m_started = true;
    while (m_raw.size() < 10 && !m_sourceEnded)
        ReadChunk();
    m_boundary = m_regionStart = bz::kHeaderBits;
    const bool header = m_raw.size() >= 10 && m_raw[0] == 'B' && m_raw[1] == 'Z' && m_raw[2] == 'h' &&
                        m_raw[3] >= '1' && m_raw[3] <= '9';
    if (header && bz::PeekBits(m_raw, bz::kHeaderBits, bz::kMagicBits) == bz::kBlockMagic)
        m_level = m_raw[3] - '0';
    else
        m_pipeStopped = true; // the single stream from the first byte settles it
    FillPipeline();
}

bool TParallelBZDecompressor::NextMark(int64_t after, TBZBlockMark& mark)
{
    for (;;) {
        while (!m_marks.empty() && m_marks.front().bit < after + bz::kMagicBits)
            m_marks.pop_front();
        if (!m_marks.empty()) {
            mark = m_marks.front();
            return true;
        }
        if (m_sourceEnded || (m_rawBase + static_cast<int64_t>(m_scanned)) * 8 - after > kMaxRegionBits)
            return false;
        ReadChunk();
    }
}

void TParallelBZDecompressor::FillPipeline()
{
    const size_t window = std::max<size_t>(2, m_threads + 2);
    while (!m_pipeStopped) {
        if (m_workers->Size() >= window)
            return;
        TBZBlockMark mark{};
        if (!NextMark(m_regionStart, mark)) {
            m_pipeStopped = true;
            return;
        }
        m_workers->Push(TakeJob(m_regionStart, mark.bit));
        m_regionStart = mark.bit;
        if (mark.end)
            m_pipeStopped = true;
    }
}

std::shared_ptr<TParallelBZDecompressor::TJob> TParallelBZDecompressor::TakeJob(int64_t startBit, int64_t endBit)
{
    auto job = std::make_shared<TJob>();
    job->startBit = startBit;
    job->endBit = endBit;
    const auto rel = static_cast<uint64_t>(startBit - m_rawBase * 8);
    job->level = m_level;
    job->libraryOnly = m_libraryOnly;
    {
        std::lock_guard lock(m_spareMutex);
        if (!m_spareInputs.empty()) {
            job->input = std::move(m_spareInputs.back());
            m_spareInputs.pop_back();
        }
    }
    job->crc = bz::WrapBlock(m_raw, rel, rel + static_cast<uint64_t>(endBit - startBit), m_level, job->input);
    return job;
}

void TParallelBZDecompressor::Advance()
{
    FillPipeline();
    // A block no worker has begun yet is decoded here: the quickest way on.
    if (std::shared_ptr<TJob> job = m_workers->Front(true)) {
        // A failed block stays first, so every later read raises the same.
        if (job->error)
            std::rethrow_exception(job->error);
        if (job->ok) {
            m_workers->Pop();
            m_current = job;
            m_currentAt = 0;
            m_combinedCrc = bz::CombineCrc(m_combinedCrc, job->crc);
            m_boundary = job->endBit;
            Trim();
            FillPipeline();
            return;
        }
    }
    // The end of the stream, or a region that is no block on its own.
    m_workers->Clear();
    m_pipeStopped = true;
    StartFallback(m_boundary);
}

TParallelBZDecompressor::TBuffer TParallelBZDecompressor::TakeBuffer()
{
    TBuffer b;
    if (!m_spareOutputs.empty()) {
        b = std::move(m_spareOutputs.back());
        m_spareOutputs.pop_back();
    }
    return b;
}

void TParallelBZDecompressor::Release(std::shared_ptr<TJob> job)
{
    std::lock_guard lock(m_spareMutex);
    m_spareOutputs.push_back(std::move(job->output));
}

void TParallelBZDecompressor::RecycleInput(TJob& job)
{
    job.input.clear();
    m_spareInputs.push_back(std::move(job.input));
}

void TParallelBZDecompressor::Trim()
{
    const int64_t keep = m_boundary / 8;
    if (keep - m_rawBase < static_cast<int64_t>(kTrimAt))
        return;
    const auto drop = static_cast<size_t>(keep - m_rawBase);
    m_raw.erase(m_raw.begin(), m_raw.begin() + static_cast<ptrdiff_t>(drop));
    m_rawBase = keep;
    m_scanned -= drop;
    while (m_chunkEnds.size() > 1 && m_chunkEnds.front() <= (m_boundary - 1) / 8)
        m_chunkEnds.pop_front();
}

size_t TParallelBZDecompressor::ChunkEndOf(int64_t byte) const
{
    const auto it = std::upper_bound(m_chunkEnds.begin(), m_chunkEnds.end(), byte);
    if (it == m_chunkEnds.end())
        throw std::logic_error("piece not held");
    return static_cast<size_t>(*it - m_rawBase);
}

void TParallelBZDecompressor::StartFallback(int64_t bit)
{
    m_fallback = std::make_unique<TFallback>();
    TFallback& fb = *m_fallback;
    if (bit == bz::kHeaderBits) {
        fb.fed = m_rawBase;
        return;
    }
    // Where the single stream stands now: this block next, its source piece loaded.
    auto at = static_cast<size_t>(bit / 8 - m_rawBase);
    bz::TBridge bridge =
        bz::BridgeTo(m_combinedCrc, m_level, static_cast<uint64_t>(bit), bit % 8 != 0 ? m_raw[at] : uint8_t{0});
    if (bit % 8 != 0)
        ++at;
    const size_t end = ChunkEndOf((bit - 1) / 8);
    fb.first = std::move(bridge.bytes);
    fb.first.insert(fb.first.end(), m_raw.begin() + static_cast<ptrdiff_t>(at),
                    m_raw.begin() + static_cast<ptrdiff_t>(end));
    fb.fed = m_rawBase + static_cast<int64_t>(end);
    fb.d.z.next_in = reinterpret_cast<char*>(fb.first.data());
    fb.d.z.avail_in = static_cast<unsigned>(fb.first.size());
    fb.skip = bridge.skip;
}

bool TParallelBZDecompressor::FeedFallback()
{
    TFallback& fb = *m_fallback;
    bz_stream& z = fb.d.z;
    if (fb.fed < m_rawBase + static_cast<int64_t>(m_raw.size())) {
        const size_t from = static_cast<size_t>(fb.fed - m_rawBase), end = ChunkEndOf(fb.fed);
        z.next_in = reinterpret_cast<char*>(m_raw.data() + from);
        z.avail_in = static_cast<unsigned>(end - from);
        fb.fed = m_rawBase + static_cast<int64_t>(end);
        return true;
    }
    if (m_sourceEnded)
        return false;
    const int64_t got = m_source.Read(fb.piece);
    if (got <= 0) {
        m_sourceEnded = true;
        return false;
    }
    z.next_in = reinterpret_cast<char*>(fb.piece.data());
    z.avail_in = static_cast<unsigned>(got);
    return true;
}

size_t TParallelBZDecompressor::FallbackRead(std::span<uint8_t> buffer)
{
    TFallback& fb = *m_fallback;
    bz_stream& z = fb.d.z;
    size_t done = 0;
    bool midCall = false;
    if (fb.skip > 0) {
        // The single stream made one call across the previous block's end: this first call
        // gives out the bridge block's bytes, to be dropped, then goes on into the buffer.
        std::array<uint8_t, 4096 + 16> scratch;
        const size_t room = fb.skip + std::min(buffer.size(), scratch.size() - fb.skip);
        z.next_out = reinterpret_cast<char*>(scratch.data());
        z.avail_out = static_cast<unsigned>(room);
        if (bz::Check<EBZDecompressionError>(BZ2_bzDecompress(&z)) == BZ_STREAM_END)
            fb.ended = true;
        const size_t produced = room - z.avail_out;
        if (produced < fb.skip)
            throw std::logic_error("bridge block not decoded");
        done = produced - fb.skip;
        std::memcpy(buffer.data(), scratch.data() + fb.skip, done);
        fb.skip = 0;
        midCall = z.avail_out == 0 && done < buffer.size();
    }
    z.next_out = reinterpret_cast<char*>(buffer.data() + done);
    z.avail_out = static_cast<unsigned>(buffer.size() - done);
    while (z.avail_out > 0) {
        if (!midCall && z.avail_in == 0 && !FeedFallback()) {
            // Data that stops short of the end-of-stream marker is damaged, not finished.
            if (!fb.ended)
                bz::Check<EBZDecompressionError>(BZ_UNEXPECTED_EOF);
            break;
        }
        midCall = false;
        if (bz::Check<EBZDecompressionError>(BZ2_bzDecompress(&z)) == BZ_STREAM_END)
            fb.ended = true;
    }
    const size_t delivered = buffer.size() - z.avail_out;
    z.next_out = nullptr;
    z.avail_out = 0;
    return delivered;
}

} // namespace lw
