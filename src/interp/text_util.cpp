#include "interp/text_util.h"

#include <vector>

#include "core/csv_table.h"
#include "core/hash.h"
#include "core/sjis.h"
#include "core/text.h"

bool StartsCharAt(std::string_view text, size_t start)
{
    size_t i = 0;
    while (i < start)
        i += IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
    return i == start;
}

namespace {

template <class F> void ForEachLine(std::string_view text, F f)
{
    size_t i = 0;
    while (i <= text.size()) {
        size_t j = i;
        while (j < text.size() && text[j] != '\r' && text[j] != '\n')
            ++j;
        if (!f(text.substr(i, j - i)))
            return;
        if (j >= text.size())
            return;
        if (text[j] == '\r' && j + 1 < text.size() && text[j + 1] == '\n')
            ++j;
        i = j + 1;
    }
}

}   // namespace

std::string LookupPairValue(std::string_view lines, std::string_view name)
{
    std::string result;
    ForEachLine(lines, [&](std::string_view line) {
        size_t eq = line.find('=');
        std::string_view key = eq == std::string_view::npos ? line : line.substr(0, eq);
        if (TrimView(key) == name) {
            if (eq != std::string_view::npos)
                result.assign(line.substr(eq + 1));
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
    while (out.size() >= 4 && out.compare(out.size() - 4, 4, "\r\n\r\n") == 0)
        out.resize(out.size() - 2);
    if (out == "\r\n")
        out.clear();
    if (!done) {
        out.append(name);
        out += '=';
        out.append(value);
        out += "\r\n";
    }
    if (out.size() >= 2)
        out.resize(out.size() - 2);
    return out;
}

std::string CsvRowValue(const std::string& csv, int row)
{
    if (row < 0)
        return std::string();
    TCsvRows db;
    db.SetText(csv);
    return db.RowValue(row);
}

std::string CsvCellValue(const std::string& csv, int col, int row)
{
    if (row < 0 || col < 0)
        return std::string();
    TCsvRows db;
    db.SetText(csv);
    return db.Cell(col, row);
}

std::string CsvSetRow(const std::string& csv, int row, const std::string& value)
{
    if (row < 0)
        return csv;
    TCsvRows db;
    db.SetText(csv);
    db.SetRow(row, value);
    return db.GetText();
}

std::string CsvSetCell(const std::string& csv, int col, int row, const std::string& value)
{
    if (row < 0 || col < 0)
        return csv;
    TCsvRows db;
    db.SetText(csv);
    db.SetCell(col, row, value);
    return db.GetText();
}
