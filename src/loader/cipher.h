// The stream scrambler: a memory stream whose bytes can be XORed with a key and with
// a Mersenne Twister byte stream. The transformation is its own inverse. The keys and
// the generator seed are kept here, in one place: containers and encrypted files can
// only be read back with the values they were written with.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The key of scrambled container entries (16 bytes, Shift_JIS).
extern const std::string_view kEntryKey;
// The key used when Scramble is given an empty key (17 bytes, Shift_JIS).
extern const std::string_view kDefaultKey;
// The key of the files written by 暗号化して保存 (29 bytes, Shift_JIS).
extern const std::string_view kFileKey;
// Every TCipher re-seeds the process-wide generator with this value.
constexpr uint32_t kCipherSeed = 9613;

// A growable byte buffer with a read/write position.
class TMemoryStream {
public:
    std::string Bytes;
    size_t Position = 0;

    TMemoryStream() = default;
    explicit TMemoryStream(std::string bytes) : Bytes(std::move(bytes)) {}

    size_t Size() const { return Bytes.size(); }
    // Writes at the position, growing the buffer; returns the count written.
    size_t Write(const void* data, size_t count);
    // Reads up to count bytes from the position; returns the count read.
    size_t Read(void* data, size_t count);
    void Clear()
    {
        Bytes.clear();
        Position = 0;
    }
};

// The generator: MT19937 with this system's own seeding (only the low byte of the
// previous state word is multiplied). Process-wide, shared by all TCipher objects.
void SeedCipherGenerator(uint32_t seed);
uint32_t NextCipherWord();

class TCipher : public TMemoryStream {
public:
    TCipher();   // re-seeds the generator
    explicit TCipher(std::string bytes);
    // XORs every byte with the key (cycled) and with the next generator byte.
    void Scramble(std::string_view key);
};

// Scrambles (or unscrambles) bytes with the entry key, in place.
void ScrambleEntry(std::string& bytes);
