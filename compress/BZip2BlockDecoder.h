#pragma once
// Decodes one bzip2 block on its own. Strict: anything a plain encoder would not write
// (randomised blocks, surplus bits, odd code lengths, a bad checksum...) is refused, so the
// caller can leave such blocks to the library and its exact behaviour.
#include <array>
#include <cstdint>
#include <memory>
#include <span>

namespace lw {

namespace bz {
class TBitReader;
}
class TBZBlockWalk;

enum class TBZBlockResult { ok, bad, outputFull };

class TBZBlockDecoder {
public:
    TBZBlockDecoder();
    ~TBZBlockDecoder();
    TBZBlockDecoder(const TBZBlockDecoder&) = delete;
    TBZBlockDecoder& operator=(const TBZBlockDecoder&) = delete;

    // Reads the block that takes exactly bits [startBit, endBit) of `in`, its magic first,
    // in a stream of block size `level` (1..9). False if it is not a plain, whole block.
    bool Read(std::span<const uint8_t> in, uint64_t startBit, uint64_t endBit, int level);
    // The bytes of the block read last, checked against its checksum; `size` gets their
    // count. outputFull: they do not fit, call again with more room.
    TBZBlockResult Write(std::span<uint8_t> out, size_t& size);
    uint32_t Crc() const { return m_crc; }

    // The most bytes an encoder puts in a block of `level` before the final run-length
    // decoding: it closes the block once 19 short of the level's size, the last run (up
    // to 5 bytes) having begun below that.
    static constexpr uint32_t MaxSymbols(int level) { return 100000u * static_cast<uint32_t>(level) - 15; }

private:
    struct TTables;
    bool ReadData(bz::TBitReader& bits, int level);

    std::unique_ptr<TTables> m_tables;
    // Per position of the sorted block: its byte in the low 8 bits, above it the position
    // that comes next in the output.
    std::unique_ptr<uint32_t[]> m_tt;
    std::unique_ptr<TBZBlockWalk> m_walk; // the block's bytes in order, run lengths still coded
    uint32_t m_capacity = 0;
    uint32_t m_count = 0; // bytes in the block
    uint32_t m_origPtr = 0;
    uint32_t m_crc = 0;
    bool m_ready = false;
    bool m_walked = false;
};

} // namespace lw
