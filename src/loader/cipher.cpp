// The stream scrambler and its number generator.
#include "loader/cipher.h"

#include <algorithm>
#include <cstring>

const std::string_view kEntryKey = "<ねこ#みかー?>>>";
const std::string_view kDefaultKey = "タbヌキd45ね6Y#も";
const std::string_view kFileKey = "秘密カギ#poru7鍵ナ9!ぽかZQ3暗";

size_t TMemoryStream::Write(const void* data, size_t count)
{
    if (Position + count > Bytes.size())
        Bytes.resize(Position + count);
    if (count)
        std::memcpy(Bytes.data() + Position, data, count);
    Position += count;
    return count;
}

size_t TMemoryStream::Read(void* data, size_t count)
{
    if (Position >= Bytes.size())
        return 0;
    size_t n = std::min(count, Bytes.size() - Position);
    std::memcpy(data, Bytes.data() + Position, n);
    Position += n;
    return n;
}

namespace {

constexpr int kN = 624;
constexpr int kM = 397;
constexpr uint32_t kMatrix = 0x9908B0DFu;
constexpr uint32_t kUpper = 0x80000000u;
constexpr uint32_t kLower = 0x7FFFFFFFu;

struct TTwister {
    uint32_t State[kN];
    int Index = kN + 1;   // not seeded yet
};

TTwister& Twister()
{
    static TTwister t;
    return t;
}

void Regenerate(TTwister& t)
{
    static const uint32_t mag01[2] = {0u, kMatrix};
    int k = 0;
    for (; k < kN - kM; ++k) {
        uint32_t y = (t.State[k] & kUpper) | (t.State[k + 1] & kLower);
        t.State[k] = t.State[k + kM] ^ (y >> 1) ^ mag01[y & 1u];
    }
    for (; k < kN - 1; ++k) {
        uint32_t y = (t.State[k] & kUpper) | (t.State[k + 1] & kLower);
        t.State[k] = t.State[k + (kM - kN)] ^ (y >> 1) ^ mag01[y & 1u];
    }
    uint32_t y = (t.State[kN - 1] & kUpper) | (t.State[0] & kLower);
    t.State[kN - 1] = t.State[kM - 1] ^ (y >> 1) ^ mag01[y & 1u];
    t.Index = 0;
}

}   // namespace

void SeedCipherGenerator(uint32_t seed)
{
    TTwister& t = Twister();
    t.State[0] = seed & 0x7FFFFFFFu;
    for (int i = 1; i < kN; ++i)
        t.State[i] = (t.State[i - 1] & 0xFFu) * 69069u;
    t.Index = kN;   // the next output regenerates the whole state first
}

uint32_t NextCipherWord()
{
    TTwister& t = Twister();
    if (t.Index > kN)
        SeedCipherGenerator(kCipherSeed);
    if (t.Index >= kN)
        Regenerate(t);
    uint32_t y = t.State[t.Index++];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    return y;
}

TCipher::TCipher()
{
    SeedCipherGenerator(kCipherSeed);
}

TCipher::TCipher(std::string bytes) : TMemoryStream(std::move(bytes))
{
    SeedCipherGenerator(kCipherSeed);
}

void TCipher::Scramble(std::string_view key)
{
    if (key.empty())
        key = kDefaultKey;
    const size_t keyLen = key.size();
    size_t k = 0;
    for (char& ch : Bytes) {
        unsigned char b = static_cast<unsigned char>(ch) ^ static_cast<unsigned char>(key[k]);
        b ^= static_cast<unsigned char>(NextCipherWord() >> 24);
        ch = static_cast<char>(b);
        if (++k == keyLen)
            k = 0;
    }
}

void ScrambleEntry(std::string& bytes)
{
    TCipher c(std::move(bytes));
    c.Scramble(kEntryKey);
    bytes = std::move(c.Bytes);
}
