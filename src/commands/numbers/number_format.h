// Number helpers of the number and string commands: rounding to decimal places,
// checked conversions to whole numbers, and the formatting of 通貨形式に変換,
// 指定形式に変換, HEX and FRAC.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace numfmt {

// The messages of floating faults, the same texts the calculator uses.
extern const char* const kMsgDivideByZero;   // 0 による浮動小数点数除算
extern const char* const kMsgInvalidOp;      // 不正な浮動小数点数演算命令
extern const char* const kMsgOverflow;       // 浮動小数点数のオーバーフロー

std::string IntToText(int64_t v);

// x truncated toward zero when it fits 64 bits; false otherwise (or for NaN).
bool TruncToInt64(long double x, int64_t& out);
// Nearest 64-bit integer, halves to even; false when it does not fit.
bool RoundToInt64(long double x, int64_t& out);

// 切り捨て: x cut after `places` decimals (negative places cut to tens ...). Both work
// on the decimal digits of x as it reads (the shortest text that converts back to
// x), not on its binary value: -311.8 cut at 2 stays -311.8.
long double TruncToPlaces(long double x, int32_t places);
// 四捨五入: the same with rounding to nearest, halves to even (-66.755 at 2 gives
// -66.76, 0.25 at 1 gives 0.2).
long double RoundToPlaces(long double x, int32_t places);

// HEX: the 32-bit pattern in upper-case hexadecimal, at least two digits.
std::string HexOf(int32_t v);
// FRAC: the half-width text from its first "." on, with a "0" in front; the empty
// text when it has no ".".
std::string FracText(std::string_view text);

// Fixed notation with `decimals` places, rounded half away from zero on the
// value's decimal digits (as above); `group` inserts "," between groups of three
// integer digits.
std::string FormatFixed(long double v, int decimals, bool group);

// 通貨形式に変換 of a value (already a number) and whether its text held a ".".
// False when the value is beyond the currency range (about 9.2E14).
bool FormatCurrency(long double v, bool withDecimals, std::string& out);

// 指定形式に変換: one value through a format "%[index:][-][width][.precision]type"
// with the types d u x (whole), e f g n m (real), s (text) and "%%". The value's
// form is chosen from the format's letters (see number_format.cpp). False when
// the format does not fit the value.
bool FormatWithSpec(std::string_view format, std::string_view value, std::string& out);

}   // namespace numfmt
