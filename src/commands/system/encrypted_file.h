// The layout of the files of 暗号化して保存 and 暗号解除して読込: a 4-byte
// little-endian length n and the n bytes of the text, the whole scrambled with the
// stream scrambler under the file key (loader/cipher.h). An empty text is an empty
// file.
#pragma once
#include <string>
#include <string_view>

// The file's bytes for a text.
std::string EncryptText(std::string_view text);
// The text of a file's bytes; false when the bytes are too short for the length
// they carry (a damaged file, or one written with another key). An empty file is
// the empty text.
bool DecryptText(std::string_view fileBytes, std::string& text);
