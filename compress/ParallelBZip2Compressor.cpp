#include "compress/ParallelBZip2Compressor.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <exception>
#include <string>

#include "compress/BZip2Library.h"

namespace lw {

namespace {

constexpr size_t kFeedPiece = 65536;
constexpr size_t kMaxRun = 255;

// A finished run as the library stores it: up to three bytes as they are, longer runs as
// four bytes and the count beyond four. Returns the bytes stored.
size_t PutRun(uint8_t* out, unsigned byte, unsigned length)
{
    const auto b = static_cast<uint8_t>(byte);
    if (length <= 3) {
        std::memset(out, b, length);
        return length;
    }
    std::memset(out, b, 4);
    out[4] = static_cast<uint8_t>(length - 4);
    return 5;
}

bool HasZeroByte(uint64_t x)
{
    return ((x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull) != 0;
}

} // namespace

struct TParallelBZCompressor::TBlock {
    std::vector<uint8_t> stored; // the block after the first run-length stage
    size_t used = 0;
    bz::TEncodedBlock coded; // its bits start at bit `from` of coded.bytes
    uint64_t from = 0;
    std::exception_ptr error;
};

namespace {

// Gives the library back the block's original bytes; it redoes the same run-length stage
// and, fed nothing else, ends the block at the same place.
void CompressBlock(std::vector<uint8_t>& packed, const std::vector<uint8_t>& stored, size_t used, int level)
{
    bz::TLibStream lib(bz::TLibStream::TMode::compress, level);
    bz_stream& z = lib.z;

    packed.resize(used + used / 64 + 1024);
    z.next_out = reinterpret_cast<char*>(packed.data());
    z.avail_out = static_cast<unsigned>(packed.size());
    auto grow = [&] {
        const size_t have = packed.size();
        packed.resize(have * 2);
        z.next_out = reinterpret_cast<char*>(packed.data() + have);
        z.avail_out = static_cast<unsigned>(packed.size() - have);
    };
    std::vector<uint8_t> piece(kFeedPiece);
    size_t fill = 0;
    auto feed = [&] {
        z.next_in = reinterpret_cast<char*>(piece.data());
        z.avail_in = static_cast<unsigned>(fill);
        while (z.avail_in > 0) {
            bz::Check<EBZCompressionError>(BZ2_bzCompress(&z, BZ_RUN));
            if (z.avail_out == 0)
                grow();
        }
        fill = 0;
    };
    int previous = -1;
    unsigned same = 0;
    for (size_t i = 0; i < used;) {
        if (fill + kMaxRun + 1 > piece.size())
            feed();
        const uint8_t c = stored[i++];
        piece[fill++] = c;
        if (c != previous) {
            previous = c;
            same = 1;
        } else if (++same == 4) {
            const uint8_t extra = i < used ? stored[i++] : 0;
            std::memset(piece.data() + fill, c, extra);
            fill += extra;
            previous = -1;
        }
    }
    feed();
    z.next_in = nullptr;
    for (;;) {
        if (bz::Check<EBZCompressionError>(BZ2_bzCompress(&z, BZ_FINISH)) == BZ_STREAM_END)
            break;
        if (z.avail_out == 0)
            grow();
    }
    packed.resize(packed.size() - z.avail_out);
}

} // namespace

TParallelBZCompressor::TParallelBZCompressor(TBlockSize100k blockSize, TStream& destination, unsigned threads)
    : m_destination(destination), m_level(static_cast<int>(blockSize) + 1), m_threads(std::max(threads, 1u)),
      m_workers(std::make_unique<TWorkers>(
          m_threads, [this](TBlock& block, bz::TBlockEncoderScratch& scratch) { Run(block, scratch); }))
{
    if (m_level < 1 || m_level > 9)
        throw EBZCompressionError(BZ_PARAM_ERROR);
    m_blockMax = static_cast<size_t>(100000 * m_level - 19);
    m_block = std::make_shared<TBlock>();
    m_block->stored.resize(m_blockMax + 8);
}

TParallelBZCompressor::~TParallelBZCompressor()
{
    m_workers->Stop();
}

// On a worker: no exception leaves the thread, a failure travels with its block.
void TParallelBZCompressor::Run(TBlock& block, bz::TBlockEncoderScratch& scratch) noexcept
{
    try {
        if (BeforeBlock)
            BeforeBlock();
        block.from = 0;
        if (!bz::EncodeBlock(std::span(block.stored).first(block.used), scratch, block.coded)) {
            CompressBlock(block.coded.bytes, block.stored, block.used, m_level);
            if (!bz::LocateOnlyBlock(block.coded.bytes, block.from, block.coded.bits, block.coded.crc))
                throw EBZCompressionError(BZ_CONFIG_ERROR);
        }
    } catch (...) {
        block.error = std::current_exception();
    }
}

int64_t TParallelBZCompressor::Read(std::span<uint8_t>)
{
    throw EBZCompressionError(kInvalidStreamOperation);
}

int64_t TParallelBZCompressor::Write(std::span<const uint8_t> buffer)
{
    if (m_finished)
        throw EBZCompressionError(kInvalidStreamOperation);
    const uint8_t* in = buffer.data();
    const size_t n = buffer.size();
    size_t i = 0;
    // The library's counting, byte for byte: the block is full once it holds m_blockMax.
    unsigned run = m_runByte;
    unsigned length = m_runLength;
    size_t used = m_block->used;
    uint8_t* out = m_block->stored.data();
    while (i < n) {
        if (used >= m_blockMax) {
            m_block->used = used;
            m_runByte = run;
            m_runLength = length;
            Submit();
            used = 0;
            out = m_block->stored.data();
        }
        if constexpr (std::endian::native == std::endian::little) {
            // Eight bytes at once while no byte equals the one before it.
            if (length == 1 && i + 8 <= n && used + 8 <= m_blockMax) {
                uint64_t next;
                std::memcpy(&next, in + i, 8);
                const uint64_t before = (next << 8) | run;
                if (!HasZeroByte(next ^ before)) {
                    std::memcpy(out + used, &before, 8);
                    used += 8;
                    run = in[i + 7];
                    i += 8;
                    continue;
                }
            }
        }
        const unsigned c = in[i++];
        if (c != run && length == 1) {
            out[used++] = static_cast<uint8_t>(run);
            run = c;
        } else if (c != run || length == kMaxRun) {
            if (run < 256)
                used += PutRun(out + used, run, length);
            run = c;
            length = 1;
        } else {
            ++length;
        }
    }
    m_block->used = used;
    m_runByte = run;
    m_runLength = length;
    m_taken += n;
    return static_cast<int64_t>(n);
}

int64_t TParallelBZCompressor::Seek(int64_t offset, TSeekOrigin origin)
{
    if (offset != 0 || origin != TSeekOrigin::soCurrent)
        throw EBZCompressionError(kInvalidStreamOperation);
    return static_cast<int64_t>(m_taken);
}

void TParallelBZCompressor::Finish()
{
    if (m_finished)
        return;
    m_finished = true;
    // A block that filled on the last byte was closed then; the open run starts the next.
    if (m_block->used >= m_blockMax)
        Submit();
    if (m_runByte < 256)
        m_block->used += PutRun(m_block->stored.data() + m_block->used, m_runByte, m_runLength);
    m_runByte = 256;
    m_runLength = 0;
    if (m_block->used > 0)
        Submit();
    WriteDone(0);
    if (m_out.BitCount() == 0)
        m_out.Put(bz::StreamHeader(m_level), bz::kHeaderBits);
    m_out.Put(bz::kEndMagic, bz::kMagicBits);
    m_out.Put(m_combinedCrc, bz::kCrcBits);
    m_out.Pad();
    m_destination.WriteBuffer(m_out.Bytes());
    m_out.ClearBytes();
    m_workers->Stop();
}

void TParallelBZCompressor::Submit()
{
    m_workers->Push(std::move(m_block));
    if (!m_spare.empty()) {
        m_block = std::move(m_spare.back());
        m_spare.pop_back();
        m_block->used = 0;
        m_block->error = nullptr;
    } else {
        m_block = std::make_shared<TBlock>();
        m_block->stored.resize(m_blockMax + 8);
    }
    // Enough blocks queued to keep every worker busy, and no more: memory stays bounded.
    WriteDone(2 * static_cast<size_t>(m_threads) + 1);
}

void TParallelBZCompressor::WriteDone(size_t keepInFlight)
{
    // The blocks are always the workers' to compress: the test seam runs on them only.
    while (m_workers->Size() > keepInFlight || m_workers->FrontDone()) {
        std::shared_ptr<TBlock> block = m_workers->Front(false);
        m_workers->Pop();
        Splice(*block);
        m_spare.push_back(std::move(block));
    }
}

void TParallelBZCompressor::Splice(TBlock& block)
{
    if (block.error)
        std::rethrow_exception(block.error);
    if (m_out.BitCount() == 0)
        m_out.Put(bz::StreamHeader(m_level), bz::kHeaderBits);
    m_out.PutBits(block.coded.bytes, block.from, block.coded.bits);
    m_combinedCrc = bz::CombineCrc(m_combinedCrc, block.coded.crc);
    m_destination.WriteBuffer(m_out.Bytes());
    m_out.ClearBytes();
}

} // namespace lw
