// CRC-16 as the LHA format uses it for file data and headers: polynomial
// x^16 + x^15 + x^2 + 1, bits taken least significant first, initial value 0.
#pragma once
#include <cstddef>
#include <cstdint>

uint16_t Crc16Update(uint16_t crc, const void* data, size_t n);
