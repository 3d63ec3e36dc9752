// Japanese character codes: detection of Shift_JIS, EUC-JP and ISO-2022-JP (JIS)
// texts, conversion between them by the JIS X 0208 arithmetic, MIME encoded words
// for mail headers, and the binary cut used when mail text is received.
//
// JIS output always starts kanji runs with ESC $ B and ends them with ESC ( J (JIS X
// 0201 Roman); half-width katakana become full-width in JIS (a following voiced or
// semi-voiced mark is merged where a combined kana exists) and stay half-width in
// EUC-JP (SS2 + byte). Undecidable input (ASCII, binary, EUC-or-SJIS) is returned
// unchanged. No step ever reads past the end of its text.
//
//   JConvert("漢字a", kCodeJis)          -> ESC $ B, 0x34 0x41 0x3B 0x7A, ESC ( J, "a"
//   MimeEncodeHeader("Re: 会議")          -> "Re: =?ISO-2022-JP?B?...?="
#pragma once
#include <string>
#include <string_view>

enum : int {
    kCodeUnknown = 0,
    kCodeBinary = 1,
    kCodeJis = 2,      // ESC $ B
    kCodeJisOld = 3,   // ESC $ @
    kCodeEuc = 4,
    kCodeSjis = 5,
    kCodeEucOrSjis = 6,
};

int DetectCode(std::string_view text);
// Converts to kCodeJis, kCodeEuc or kCodeSjis from whatever DetectCode finds.
std::string JConvert(std::string_view text, int target);

// The individual conversions (the source encoding is taken as given).
std::string SjisToJis(std::string_view text);
std::string EucToJis(std::string_view text);
std::string SjisToEuc(std::string_view text);
std::string JisToEuc(std::string_view text);
std::string JisToSjis(std::string_view text);
std::string EucToSjis(std::string_view text);

// Shift_JIS text to a header value: runs of two-byte characters become
// "=?ISO-2022-JP?B?...?=" words, one-byte characters are copied.
std::string MimeEncodeHeader(std::string_view sjis);
// "=?ISO-2022-JP?B?...?=" words (found case-insensitively) decoded back to JIS text;
// other words are left alone.
std::string MimeDecodeHeader(std::string_view text);
// The text up to the first byte that is neither part of a two-byte character nor
// TAB, LF, CR or printable ASCII.
std::string CutAtBinary(std::string_view text);
