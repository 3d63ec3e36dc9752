// Scanning functions over normalised program text. Each takes a cursor (advanced in
// place). Texts are zero-terminated; a zero byte is the end of the text.
#pragma once
#include <bitset>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using ByteSet = std::bitset<256>;

// tab, space, ',' and 0xA4
bool IsBlank(unsigned char c);
// the 24 single bytes that end a word
bool IsWordTerminator(unsigned char c);
// % & * + - / < = > ^ |
bool IsOperatorChar(unsigned char c);

std::string ReadChar(const char*& p);
void SkipSeparators(const char*& p);
void SkipSpaces(const char*& p);   // tabs and spaces only
std::string ReadWord(const char*& p);
// Same as ReadWord but returns a view into the text (no allocation).
std::string_view ReadWordView(const char*& p);
std::string ReadNumberLiteral(const char*& p);
std::string ReadUntil(const char*& p, std::string_view delimiter);
std::string ReadUntilEsc(const char*& p, std::string_view delimiter, char escape);
std::string ReadUntilSet(const char*& p, const ByteSet& set);
// Returns the whole literal including its delimiters, or "" when the cursor is not
// on a quote. maxLen (0 = unbounded) stops the search for the closing delimiter early.
std::string ReadLiteral(const char*& p, size_t maxLen = 0);
// Returns the inside of a parenthesised group, or "" when the cursor is not on "(".
std::string ReadGroup(const char*& p);
// The same two as views into the text (no copy); they stay valid as long as the text.
std::string_view ReadLiteralView(const char*& p, size_t maxLen = 0);
std::string_view ReadGroupView(const char*& p);
// The same, also giving every group nested inside it as a pair of its "(" and its
// ")" (innermost first), so a caller can remember them instead of scanning again.
std::string_view ReadGroupView(const char*& p, std::vector<std::pair<const char*, const char*>>& nested);

// Messages of the literal and group readers (without location prefix).
extern const char* const kMsgNoCloseQuote;       // 対応するカッコ " または 」 がありません。
extern const char* const kMsgNoCloseBackquote;   // 対応するカッコ ` または 』 がありません。
extern const char* const kMsgNoCloseParen;       // ")"が対応していません。
