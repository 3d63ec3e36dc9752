#include "interp/text_util.h"

#include <vector>

#include "core/hash.h"
#include "core/sjis.h"

bool EndsWithChar(std::string_view text, std::string_view tail)
{
    if (tail.empty() || text.size() < tail.size()) return false;
    if (text.compare(text.size() - tail.size(), tail.size(), tail) != 0) return false;
    // The tail must start on a character boundary.
    size_t start = text.size() - tail.size();
    size_t i = 0;
    while (i < start) i += IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
    return i == start;
}

namespace {

template <class F>
void ForEachLine(std::string_view text, F f)
{
    size_t i = 0;
    while (i <= text.size()) {
        size_t j = i;
        while (j < text.size() && text[j] != '\r' && text[j] != '\n') ++j;
        if (!f(text.substr(i, j - i))) return;
        if (j >= text.size()) return;
        if (text[j] == '\r' && j + 1 < text.size() && text[j + 1] == '\n') ++j;
        i = j + 1;
    }
}

}  // namespace

std::string LookupPairValue(std::string_view lines, std::string_view name)
{
    std::string result;
    ForEachLine(lines, [&](std::string_view line) {
        size_t eq = line.find('=');
        std::string_view key = eq == std::string_view::npos ? line : line.substr(0, eq);
        if (TrimView(key) == name) {
            if (eq != std::string_view::npos) result.assign(line.substr(eq + 1));
            return false;
        }
        return true;
    });
    return result;
}

std::string SetPairValue(std::string_view lines, std::string_view name, std::string_view value)
{
    std::string out;
    bool done = false;
    ForEachLine(lines, [&](std::string_view line) {
        size_t eq = line.find('=');
        std::string_view key = eq == std::string_view::npos ? line : line.substr(0, eq);
        if (!done && TrimView(key) == name) {
            out.append(name);
            out += '=';
            out.append(value);
            done = true;
        } else {
            out.append(line);
        }
        out += "\r\n";
        return true;
    });
    // ForEachLine yields one empty line for an empty text or a trailing break.
    while (out.size() >= 4 && out.compare(out.size() - 4, 4, "\r\n\r\n") == 0) out.resize(out.size() - 2);
    if (out == "\r\n") out.clear();
    if (!done) {
        out.append(name);
        out += '=';
        out.append(value);
        out += "\r\n";
    }
    if (out.size() >= 2) out.resize(out.size() - 2);
    return out;
}

namespace {

// Rows of cells of a CSV text: "," separates cells, a quoted cell may hold commas,
// line breaks and doubled quotes.
using Rows = std::vector<std::vector<std::string>>;

Rows ParseCsv(const std::string& csv)
{
    Rows rows;
    if (csv.empty()) return rows;
    std::vector<std::string> row;
    std::string cell;
    size_t i = 0, n = csv.size();
    bool any = false;
    while (i < n) {
        char c = csv[i];
        if (c == '"' && cell.empty()) {
            ++i;
            while (i < n) {
                if (csv[i] == '"') {
                    if (i + 1 < n && csv[i + 1] == '"') {
                        cell += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                size_t l = IsLeadByte(static_cast<unsigned char>(csv[i])) && i + 1 < n ? 2 : 1;
                cell.append(csv, i, l);
                i += l;
            }
            any = true;
            continue;
        }
        if (c == ',') {
            row.push_back(std::move(cell));
            cell.clear();
            ++i;
            any = true;
            continue;
        }
        if (c == '\r' || c == '\n') {
            row.push_back(std::move(cell));
            cell.clear();
            rows.push_back(std::move(row));
            row.clear();
            if (c == '\r' && i + 1 < n && csv[i + 1] == '\n') ++i;
            ++i;
            any = false;
            continue;
        }
        size_t l = IsLeadByte(static_cast<unsigned char>(c)) && i + 1 < n ? 2 : 1;
        cell.append(csv, i, l);
        i += l;
        any = true;
    }
    if (any || !cell.empty() || !row.empty()) {
        row.push_back(std::move(cell));
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string CsvQuote(const std::string& cell)
{
    bool need = cell.find_first_of(",\"\r\n") != std::string::npos;
    if (!need) return cell;
    std::string out = "\"";
    for (char c : cell) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string RowToText(const std::vector<std::string>& row)
{
    std::string out;
    for (size_t i = 0; i < row.size(); ++i) {
        if (i) out += ',';
        out += CsvQuote(row[i]);
    }
    return out;
}

std::string RowsToText(const Rows& rows)
{
    std::string out;
    for (const auto& r : rows) {
        out += RowToText(r);
        out += "\r\n";
    }
    return out;
}

}  // namespace

std::string CsvRowValue(const std::string& csv, int row)
{
    Rows rows = ParseCsv(csv);
    if (row < 0 || static_cast<size_t>(row) >= rows.size()) return std::string();
    if (rows[row].size() == 1) return rows[row][0];
    return RowToText(rows[row]);
}

std::string CsvCellValue(const std::string& csv, int col, int row)
{
    Rows rows = ParseCsv(csv);
    if (row < 0 || static_cast<size_t>(row) >= rows.size()) return std::string();
    if (col < 0 || static_cast<size_t>(col) >= rows[row].size()) return std::string();
    return rows[row][col];
}

std::string CsvSetRow(const std::string& csv, int row, const std::string& value)
{
    Rows rows = ParseCsv(csv);
    if (row < 0) return csv;
    if (static_cast<size_t>(row) >= rows.size()) rows.resize(row + 1);
    Rows cells = ParseCsv(value);
    rows[row] = cells.empty() ? std::vector<std::string>{std::string()} : cells[0];
    return RowsToText(rows);
}

std::string CsvSetCell(const std::string& csv, int col, int row, const std::string& value)
{
    Rows rows = ParseCsv(csv);
    if (row < 0 || col < 0) return csv;
    if (static_cast<size_t>(row) >= rows.size()) rows.resize(row + 1);
    if (static_cast<size_t>(col) >= rows[row].size()) rows[row].resize(col + 1);
    rows[row][col] = value;
    return RowsToText(rows);
}
