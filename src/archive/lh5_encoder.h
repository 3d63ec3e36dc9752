// The -lh5- compressor of the LHA format: LZSS over an 8 KB window (matches of 3 to
// 256 bytes) whose literals, match lengths and match positions are coded with static
// Huffman codes sent at the start of every block.
//
// Block layout (bits most significant first):
//   16 bits  number of symbols in the block
//   length table of the code-length code (19 entries, count in 5 bits)
//   length table of the literal/length code (510 entries, count in 9 bits),
//            coded with the code-length code; runs of zeros use its symbols 0-2
//   length table of the position code (14 entries, count in 4 bits)
//   the symbols: a literal byte, or a length code followed by a position code and
//            the position's low bits
// A table with a single used symbol is written as count 0 followed by the symbol.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

class TLh5Encoder {
public:
    // Receives the coded bytes, a block at a time; return false to stop.
    using TSink = std::function<bool(const std::string& bytes)>;

    // Compresses data[0..n). Returns false when the sink stopped it or when the coded
    // size would exceed `limit` bytes (the caller then stores the data instead).
    static bool Encode(const uint8_t* data, size_t n, uint64_t limit, const TSink& sink);
};
