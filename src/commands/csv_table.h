// The table engine: a table is CSV text read into rows of cells. The interpreter's
// index access (A#1, A#0#1, A#1は…), the table commands and the grid control all go
// through it.
//
//   TCsvDb db;
//   db.SetText(text);                 // parse CSV text (never fails)
//   db.RowCount(); db.Width();        // row slots; largest cell count of any row
//   db.Cell(col, row);                // "" for a missing cell
//   db.RowValue(row);                 // A#row: the only cell of a one-cell row, else the row as a CSV line
//   db.SetCell(col, row, "x");        // grows the table as needed
//   db.SetRow(row, "a,b");            // replaces a row by a parsed CSV line
//   db.GetText();                     // back to CSV text, every row padded to Width(), CR LF after each
//
// Columns and rows count from 0. A row with no cells is an empty row slot (written
// as a bare CR LF). The header flag, when set, keeps row 0 out of sorting, searching
// and filtering. Reading rules: a field may be quoted; "" inside a field is one
// quote; a quote is closing only when the next non-space character ends the field;
// fields are trimmed of bytes <= 32 and of one pair of enclosing quotes; a trailing
// "," adds no cell. Writing quotes a cell that holds a quote, ",", CR, LF or "ID".
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/text.h"

// A failure of a table operation (bad date while sorting, a malformed condition).
struct ECsv : std::runtime_error {
    using std::runtime_error::runtime_error;
};

using TCsvCells = std::vector<std::string>;

class TCsvDb {
public:
    std::vector<TCsvCells> Rows;
    bool Header = false;

    // ---- text ----
    void SetText(std::string_view text);
    std::string GetText() const;
    // One row written as a CSV line (padded to `width` cells, no line break).
    static std::string EncodeRow(const TCsvCells& row, size_t width);
    static void AppendCell(std::string& out, std::string_view cell);
    static TCsvCells ParseLine(std::string_view line);

    // ---- access ----
    size_t RowCount() const { return Rows.size(); }
    size_t Width() const;
    size_t FirstDataRow() const { return Header ? 1 : 0; }
    const std::string& Cell(int64_t col, int64_t row) const;
    void SetCell(int64_t col, int64_t row, std::string text);
    std::string RowValue(int64_t row) const;
    void SetRow(int64_t row, std::string_view csvLine);

    // ---- rows and columns ----
    void DeleteRow(int64_t row);
    void InsertColumn(int64_t col);
    void DeleteColumn(int64_t col);
    void MoveColumn(int64_t from, int64_t to);
    void Reverse();
    void Transpose();
    void Trim();
    // Removes every row whose key cell is repeated in a later row.
    void RemoveDuplicates(int64_t col);
    std::string ColumnLines(int64_t col) const;
    void PasteColumn(int64_t col, std::string_view lines);
    // Replaces every occurrence of `search` in the column's cells (character-wise).
    void ReplaceInColumn(int64_t col, std::string_view search, std::string_view replacement);
    // Joins B into this table by key columns (see the join rules in the .cpp).
    void Join(int64_t keyA, const TCsvDb& b, int64_t keyB);

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

    std::string Html(std::string_view attributes) const;
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
// Lines are split with SplitLineViews of core/text.h (CR LF, LF or CR; a final line
// break starts no line).
// Every line followed by CR LF.
std::string JoinLines(const std::vector<std::string_view>& lines);
std::string JoinLines(const std::vector<std::string>& lines);
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
// Character-wise replacement of every occurrence (the scan resumes after the
// inserted text).
std::string ReplaceAllChars(std::string_view text, std::string_view search, std::string_view replacement);
// Character-wise substring search.
bool ContainsChars(std::string_view text, std::string_view needle);
