// Base64 with the standard alphabet and "=" padding, no line breaks.
//   Base64Encode("abc") == "YWJj"; Base64Encode("ab") == "YWI="
// Decoding ignores CR and LF and any other byte outside the alphabet, and ends at
// the first "="; a last group of two or three characters gives one or two bytes, a
// lone last character nothing.
#pragma once
#include <string>
#include <string_view>

std::string Base64Encode(std::string_view data);
std::string Base64Decode(std::string_view text);
