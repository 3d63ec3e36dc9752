// Width, case and kana conversions over Shift_JIS (CP932) text, built on our own
// tables (kana.cpp documents every mapping). Every function walks the text by
// characters, so a trail byte is never converted on its own; characters without a
// mapping are copied unchanged.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// 半角変換: full-width ASCII forms, the ideographic space, full-width katakana and
// the kana punctuation become their one-byte forms; a voiced or semi-voiced
// katakana becomes two one-byte characters (ガ -> ｶﾞ).
std::string ToHalfWidth(std::string_view text);
// 全角変換: the reverse. One-byte ASCII 0x20-0x7E and one-byte katakana become
// two-byte characters; a one-byte kana followed by ﾞ or ﾟ merges into one voiced
// character when that character exists (ｶﾞ -> ガ, ｳﾞ -> ヴ), else both convert
// separately (ｱﾞ -> ア゛).
std::string ToFullWidth(std::string_view text);
// 大文字変換 / 小文字変換: Latin letters in both widths, Greek and Cyrillic.
std::string ToUpperCase(std::string_view text);
std::string ToLowerCase(std::string_view text);
// カタカナ変換 / ひらがな変換: hiragana ぁ-ん and the iteration marks ゝゞ to and
// from katakana ァ-ン and ヽヾ. ヴ, ヵ and ヶ have no hiragana in CP932 and stay.
std::string ToKatakana(std::string_view text);
std::string ToHiragana(std::string_view text);
// 英数半角変換: only full-width digits, letters, the listed symbols and the
// ideographic space become one-byte; everything else, one-byte katakana included,
// is copied.
std::string AlnumToHalf(std::string_view text);

// The half-width form of the single character at the start of `ch` (one or two
// bytes); the character itself when it has none. Used by the character tests.
std::string HalfOfFirstChar(std::string_view text);

// Table access for tests: the one-byte form(s) of a two-byte code (0 when none;
// a two-byte result such as 0xB6DE for ガ is returned high byte first), and the
// two-byte form of a one-byte character (0 when none).
uint16_t HalfFormOf(uint16_t code);
uint16_t FullFormOf(unsigned char c);
