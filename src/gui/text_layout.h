// Text preparation shared by the window's text output and its message boxes. These
// work on Shift_JIS bytes and need no window, so they are tested on their own.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/text.h"   // SplitLines, which splits the lines drawn here

// The longest text that 表示 expands and draws whole; a longer one is cut here.
constexpr size_t kShowTextLimit = 4096;
// The longest message of 言う; a longer one is cut and "..." appended.
constexpr size_t kSayTextLimit = 4095;
// Tab widths beyond this are taken as this many columns, so a careless
// タブ文字の個数 cannot make one tab allocate gigabytes of spaces.
constexpr int kMaxTabWidth = 1000;

// The first `maxBytes` bytes of `text`, one byte less when the cut would split a
// double-byte character.
std::string_view CutAtCharBoundary(std::string_view text, size_t maxBytes);

// Expands tabs to spaces up to the next multiple of `tabWidth` columns (a double-byte
// character counts two columns) and turns every line break (CR, LF, CR LF, LF CR)
// into CR LF, restarting the column count. A width of 0 or less drops tabs.
std::string ExpandTabsAndBreaks(std::string_view text, int tabWidth);

// The lines that 表示 draws: a text of at most kShowTextLimit bytes is expanded first,
// a longer one is cut to that limit and split as it stands.
std::vector<std::string> DisplayLines(std::string_view text, int tabWidth);

// The message of 言う before fitting: cut to kSayTextLimit bytes plus "..." when
// longer, then expanded.
std::string SayText(std::string_view text, int tabWidth);

// Keeps as many lines as fit into `limit` pixels at `lineHeight` pixels each, each
// followed by CR LF, and appends "..." when lines were dropped. `text` holds CR LF
// breaks only (as ExpandTabsAndBreaks leaves it).
std::string FitLines(const std::string& text, int lineHeight, int limit);

// A colour text: "#RRGGBB" gives R + 256*G + 65536*B; anything else is read as a
// signed 32-bit integer (decimal, or hexadecimal after "$"), `def` when it is none.
int32_t ParseColourText(std::string_view text, int32_t def);
