// Character-wise text operations over Shift_JIS for the string commands. A
// character is one byte, or two when the first is a lead byte (a lead byte that
// ends the text is one character). Positions are 1-based; every search is tried
// only at character starts, so a needle never matches from a trail byte.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/sjis.h"
#include "core/text_limits.h"

namespace sjistext {

constexpr size_t npos = std::string_view::npos;

size_t CharCount(std::string_view s);

// Byte offset of the first exact match of `needle` at a character start at or
// after byte `from` (itself a character start); npos when none or needle empty.
size_t FindAtCharStart(std::string_view s, std::string_view needle, size_t from = 0);

// 何文字目: character position of the first match, 0 when none.
int32_t CharPosition(std::string_view text, std::string_view needle);
// 出現回数: non-overlapping matches; 0 for an empty word.
int32_t CountMatches(std::string_view text, std::string_view word);

// Characters first ... last (1-based, inclusive); positions below 1 select nothing.
std::string SelectChars(std::string_view s, int64_t first, int64_t last);
std::string LeftChars(std::string_view s, int64_t count);
std::string RightChars(std::string_view s, int64_t count);
std::string MidChars(std::string_view s, int64_t start, int64_t count);
std::string MidBytes(std::string_view s, int64_t start, int64_t count);
// 右端削除 / 左端削除: the text without its last / first count characters.
std::string DropRightChars(std::string_view s, int64_t count);
std::string DropLeftChars(std::string_view s, int64_t count);

// 行数: lines ending at CR LF, LF or CR; a final break starts no further line.
int32_t LineCount(std::string_view s);
// 段落を切り出す: the index-th paragraph (1-based) with its trailing CR/LF run.
std::string Paragraph(std::string_view s, int64_t index);

// 区切る: pieces between exact separator matches; a separator at the end yields
// no empty last piece. An empty separator leaves the text as one piece.
std::vector<std::string> SplitPieces(std::string_view s, std::string_view sep);

struct Cut {
    std::string piece;   // what それ receives
    std::string rest;    // what the variable keeps
};
// 切り取る: the text before the first match, the rest after it; without a match the
// whole text and an empty rest.
Cut CutBefore(std::string_view source, std::string_view delim);
// 判別して切り取る: as CutBefore, but an escape byte and the character after it are
// copied as they are and never end the piece.
Cut CutEscaped(std::string_view source, std::string_view delim, char escape);
// 範囲を切り取る: false when the start marker is absent.
bool CutRange(std::string_view value, std::string_view startMark, std::string_view endMark, Cut& out);

// トリム: bytes <= 32 at both ends, then the blank characters 　, space, tab,
// CR and LF at both ends (whole characters).
std::string TrimBlanks(std::string_view s);
// 送り仮名削除
std::string DeleteOkurigana(std::string_view s);
// タグ削除 and タグ切り出し
std::string DeleteTags(std::string_view s);
std::string ExtractTags(std::string_view s, std::string_view name);

// 置換: every match replaced, scanning on after each replacement.
std::string ReplaceAll(std::string_view s, std::string_view search, std::string_view repl);
// リフレイン (times <= 0 gives the empty text).
std::string Repeat(std::string_view s, int64_t times);
// 右寄せ / ゼロで埋める: `fill` bytes in front up to `width` bytes.
std::string PadLeft(std::string_view s, int64_t width, char fill);
// 行揃え: lines of at most `width` bytes with CR LF breaks; a character listed in
// `kinsoku` that would begin a line is pulled back to the end of the line before.
std::string FillLines(std::string_view s, int64_t width, int64_t tabSize, std::string_view kinsoku);

// Character classes of the first character (all false for the empty text).
bool FirstIsUpper(std::string_view s);
bool FirstIsDigit(std::string_view s);
bool FirstIsWide(std::string_view s);
bool FirstIsHiragana(std::string_view s);
bool FirstIsKatakana(std::string_view s);
// 数列か: a digit, then only digits, "+", "-", ".", "E" and "e".
bool IsNumberString(std::string_view s);
// Hiragana as the string commands count it: a two-byte code in 0x82A0-0x833E.
bool IsHiraganaCode(uint16_t code);

// キーコード of a non-empty text; 文字 of a code 0 ... 65535.
int32_t CodeOfFirstChar(std::string_view s);
std::string CharOfCode(int64_t code);

}   // namespace sjistext
