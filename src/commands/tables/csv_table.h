// The table commands' engine: TCsvDb is a table of rows (core/csv_table.h) that can
// also be sorted, summed, searched and filtered; the line arrays of the array
// commands.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/csv_table.h"

class TCsvDb : public TCsvRows {
public:
    // ---- sorting ----
    enum class SortKind { Text, Number, Date };
    // Trims, then sorts the data rows by the column; a non-date cell raises ECsv.
    void Sort(int64_t col, SortKind kind);

    // ---- column values ----
    long double ColumnSum(int64_t col) const;
    long double ColumnMean(int64_t col) const;
    long double ColumnMin(int64_t col) const;
    long double ColumnMax(int64_t col) const;

    // ---- searching and filtering ----
    // First row from `start` that matches; -1 when none. `width` is Width() (the row
    // of a search over every column is matched as one CSV line of that width).
    int64_t FindRow(int64_t start, int64_t col, std::string_view key, bool exact, size_t width) const;
    // Header and the rows for which the prepared condition holds, as CSV.
    std::string Filter(std::string_view condition) const;
};

// 表ピックアップ: the rows (or, for column -1, the lines) whose cell matches the pattern
// (wildcard when it holds * ? [, else substring); a header row is kept.
std::string PickupText(std::string_view text, int64_t col, std::string_view pattern, bool header);

// The incremental search of 表検索 / 表曖昧検索 / 表検索次の値.
struct TFindCsv {
    TCsvDb Table;
    std::string Key;
    int64_t Column = -1;
    bool Exact = true;
    int64_t NextRow = 0;
    size_t Width = 0;

    // The next matching row (and moves past it), or -1.
    int64_t FindNext();
    void Clear();
};

// ---- line arrays ----
// ソート: case-insensitive order (ASCII and full-width Latin letters folded), ties by bytes.
std::string SortLinesText(std::string_view text);
// 数値ソート: by the number of each line; equal numbers keep their order.
std::string SortLinesNumber(std::string_view text);
std::string InsertLine(std::string_view text, int64_t index, std::string_view line);
// false (text unchanged) when the index is not a line.
bool DeleteLine(std::string_view text, int64_t index, std::string& out);

struct TArrayStats {
    long double Sum = 0, Mean = 0, Variance = 0, StdDev = 0, Min = 0, Max = 0;
    size_t Count = 0;
};
// Statistics over the values of lines already converted to half width; empty lines
// are dropped and an empty array counts as the single value 0. The standard
// deviation of one value raises ECsv.
TArrayStats ArrayStats(const std::vector<std::string>& halfWidthLines, bool needStdDev);

// Condition text of 表条件抽出 after preparation: `toHalf` outside quotes, "," to a
// space, "または " to "OR ", "かつ " to "AND ".
std::string PrepareCondition(std::string_view text, std::string (*toHalf)(std::string_view));

// Date-time text to a day number (days since 1899-12-30 and the fraction of a day);
// false when the text is not a date.
bool ParseDateTime(std::string_view text, long double& out);
