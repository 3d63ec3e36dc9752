// The table engine's rows and cells: a table is CSV text read into rows of cells.
// The interpreter's index access (A#1, A#0#1, A#1は…), the table commands and the
// grid control all go through it.
//
//   TCsvRows db;
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

// Rows of cells read from CSV text, with cell access and the structural operations;
// the table commands' engine TCsvDb adds sorting, searching and filtering.
class TCsvRows {
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
    void Join(int64_t keyA, const TCsvRows& b, int64_t keyB);

    std::string Html(std::string_view attributes) const;
};

// Character-wise replacement of every occurrence (the scan resumes after the
// inserted text).
std::string ReplaceAllChars(std::string_view text, std::string_view search, std::string_view replacement);
// Character-wise substring search.
bool ContainsChars(std::string_view text, std::string_view needle);

// ---- line arrays ----
// Lines are split with SplitLineViews of core/text.h (CR LF, LF or CR; a final line
// break starts no line).
// Every line followed by CR LF.
std::string JoinLines(const std::vector<std::string_view>& lines);
std::string JoinLines(const std::vector<std::string>& lines);
