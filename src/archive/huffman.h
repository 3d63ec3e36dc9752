// Static Huffman codes for the LHA block coder: code lengths limited to a maximum,
// always forming a complete code, and canonical codes from lengths (shorter codes
// first, symbols in increasing order within one length), the order decoders rebuild
// their tables in.
#pragma once
#include <cstdint>

// Fills lens[0..n) for the frequencies; unused symbols get 0. Returns the number of
// used symbols; with fewer than two every length is 0 (the one-symbol form of a
// table carries the symbol instead).
int HuffmanLengths(const uint32_t* freq, int n, int limit, uint8_t* lens);

// Canonical codes for the lengths (lengths up to 16).
void CanonicalCodes(const uint8_t* lens, int n, uint16_t* codes);
