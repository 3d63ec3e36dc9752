// Small text helpers of the interpreter: character-boundary tests on Shift_JIS,
// name=value lines, and row/cell access on CSV texts for the index form A#1#2.
#pragma once
#include <string>
#include <string_view>

// True when position `start` of a Shift_JIS text begins a character (is not the
// second byte of a two-byte character).
bool StartsCharAt(std::string_view text, size_t start);
// True when `text` ends with the whole character(s) `tail` (a tail starting in the
// middle of a double-byte character does not count).
inline bool EndsWithChar(std::string_view text, std::string_view tail)
{
    if (tail.empty() || text.size() < tail.size())
        return false;
    const size_t start = text.size() - tail.size();
    // Compared from the last byte, where texts that do not end so mostly differ.
    for (size_t i = tail.size(); i-- > 0;)
        if (text[start + i] != tail[i])
            return false;
    return StartsCharAt(text, start);
}

// The value after the first "=" of the first line named `name`, or "".
std::string LookupPairValue(std::string_view lines, std::string_view name);
// Sets (or appends) the line `name=value`; returns the new text.
std::string SetPairValue(std::string_view lines, std::string_view name, std::string_view value);

// Row n (from 0) of a CSV text: its only cell when it has one, else the row as a
// CSV line; "" for a missing row.
std::string CsvRowValue(const std::string& csv, int row);
std::string CsvCellValue(const std::string& csv, int col, int row);
// Replace a whole row / one cell; the table grows as needed. Returns the CSV text.
std::string CsvSetRow(const std::string& csv, int row, const std::string& value);
std::string CsvSetCell(const std::string& csv, int col, int row, const std::string& value);
