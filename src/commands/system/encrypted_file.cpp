#include "commands/system/encrypted_file.h"

#include <cstdint>

#include "loader/cipher.h"

std::string EncryptText(std::string_view text)
{
    if (text.empty())
        return std::string();
    const uint32_t n = static_cast<uint32_t>(text.size());
    std::string plain;
    plain.reserve(text.size() + 4);
    for (int i = 0; i < 4; ++i)
        plain += static_cast<char>((n >> (8 * i)) & 0xFF);
    plain.append(text);
    TCipher c(std::move(plain));
    c.Scramble(kFileKey);
    return std::move(c.Bytes);
}

bool DecryptText(std::string_view fileBytes, std::string& text)
{
    text.clear();
    if (fileBytes.empty())
        return true;
    if (fileBytes.size() < 4)
        return false;
    TCipher c{std::string(fileBytes)};
    c.Scramble(kFileKey);
    uint32_t n = 0;
    for (int i = 0; i < 4; ++i)
        n |= static_cast<uint32_t>(static_cast<unsigned char>(c.Bytes[i])) << (8 * i);
    if (n > c.Bytes.size() - 4)
        return false;
    text = c.Bytes.substr(4, n);
    return true;
}
