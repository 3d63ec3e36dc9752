// The table engine's rows and cells: CSV text read and written, cell access and the
// structural operations (see csv_table.h).
#include "core/csv_table.h"

#include <algorithm>
#include <unordered_map>

#include "core/error.h"
#include "core/sjis.h"
#include "core/text.h"
#include "core/text_limits.h"

namespace {

const std::string kEmpty;

// A step that adds `cells` cells and `rows` row slots to a table must keep their
// memory within the limit of one built text; else the memory error, before
// anything is allocated.
void CheckGrowth(uint64_t cells, uint64_t rows)
{
    if (cells > sjistext::kMaxTextBytes || rows > sjistext::kMaxTextBytes)
        throw EPoru(sjistext::kMsgTooLarge);
    sjistext::CheckTextSize(cells * sizeof(std::string) + rows * sizeof(TCsvCells));
}

// The empty cells that padding every row (of those `pick` selects) up to `col`
// cells would add.
template <class Pick> uint64_t PaddingCells(const std::vector<TCsvCells>& rows, int64_t col, Pick pick)
{
    uint64_t cells = 0;
    for (const auto& r : rows)
        if (pick(r) && r.size() < static_cast<uint64_t>(col)) {
            cells += static_cast<uint64_t>(col) - r.size();
            if (cells > sjistext::kMaxTextBytes)
                break;
        }
    return cells;
}

uint64_t PaddingCells(const std::vector<TCsvCells>& rows, int64_t col)
{
    return PaddingCells(rows, col, [](const TCsvCells&) { return true; });
}

bool Lead(const char* p, const char* end)
{
    return IsLeadByte(static_cast<unsigned char>(*p)) && p + 1 < end;
}

// Reads one field at p (see the reading rules in csv_table.h) into `field`.
void ReadField(const char*& p, const char* end, std::string& field)
{
    field.clear();
    while (p < end && *p == ' ')
        ++p;
    bool quoted = false;
    if (p < end && *p == '"') {
        quoted = true;
        ++p;
    }
    while (p < end) {
        // Ordinary bytes in one run.
        const char* run = p;
        while (p < end) {
            unsigned char c = static_cast<unsigned char>(*p);
            if (c == '"' || c == '\r' || c == '\n' || c == ',' || IsLeadByte(c))
                break;
            ++p;
        }
        field.append(run, p);
        if (p >= end)
            break;
        const char c = *p;
        if (Lead(p, end)) {
            field.append(p, 2);
            p += 2;
            continue;
        }
        if (IsLeadByte(static_cast<unsigned char>(c))) {   // a lead byte that ends the text
            field += c;
            ++p;
            continue;
        }
        if (c == '"') {
            if (p + 1 < end && p[1] == '"') {
                field += '"';
                p += 2;
                continue;
            }
            const char* q = p + 1;
            while (q < end && *q == ' ')
                ++q;
            if (q == end || *q == '\r' || *q == '\n' || *q == ',') {
                ++p;   // a closing quote
                break;
            }
            field += '"';
            ++p;
            continue;
        }
        if (!quoted)   // CR, LF or ","
            break;
        field += c;
        ++p;
    }
    if (p < end && *p == ',')
        ++p;
}

std::string FinishField(const std::string& f)
{
    size_t b = 0, e = f.size();
    while (b < e && static_cast<unsigned char>(f[b]) <= 32)
        ++b;
    while (e > b && static_cast<unsigned char>(f[e - 1]) <= 32)
        --e;
    if (e - b > 1 && f[b] == '"' && f[e - 1] == '"') {
        ++b;
        --e;
    }
    return f.substr(b, e - b);
}

bool NeedsQuotes(std::string_view cell)
{
    for (size_t i = 0; i < cell.size(); i += CharLenAt(cell, i)) {
        char c = cell[i];
        if (c == '"' || c == ',' || c == '\r' || c == '\n')
            return true;
        if (c == 'I' && i + 1 < cell.size() && cell[i + 1] == 'D')
            return true;
    }
    return false;
}

bool IsBlankCell(const std::string& c)
{
    for (unsigned char b : c)
        if (b > 32)
            return false;
    return true;
}

void DropTrailingBlank(TCsvCells& row)
{
    while (!row.empty() && IsBlankCell(row.back()))
        row.pop_back();
}

}   // namespace

// ---------------------------------------------------------------- text

void TCsvRows::SetText(std::string_view text)
{
    Rows.clear();
    const char* p = text.data();
    const char* end = p + text.size();
    std::string field;
    while (p < end) {
        TCsvCells row;
        while (p < end) {
            ReadField(p, end, field);
            row.push_back(FinishField(field));
            if (p < end && (*p == '\r' || *p == '\n'))
                break;
        }
        if (p < end && (*p == '\r' || *p == ','))
            ++p;
        if (p < end && *p == '\n')
            ++p;
        Rows.push_back(std::move(row));
    }
}

void TCsvRows::AppendCell(std::string& out, std::string_view cell)
{
    // A cell of broken text may end in a lone lead byte, which the reader would
    // join with the "," or quote after it: a blank after it pairs with the lead byte
    // instead and is trimmed off again when the cell is read.
    size_t last = 0;
    for (size_t i = 0; i < cell.size(); i += CharLenAt(cell, i))
        last = i;
    const bool loneLead =
        !cell.empty() && last + 1 == cell.size() && IsLeadByte(static_cast<unsigned char>(cell[last]));
    if (!NeedsQuotes(cell)) {
        out.append(cell);
        if (loneLead)
            out += ' ';
        return;
    }
    // Quotes are doubled where the reader sees them: at character starts (the second
    // byte of a two-byte character is never a quote to it).
    out += '"';
    for (size_t i = 0; i < cell.size();) {
        const size_t len = CharLenAt(cell, i);
        if (len == 1 && cell[i] == '"')
            out += '"';
        out.append(cell.substr(i, len));
        i += len;
    }
    if (loneLead)
        out += ' ';
    out += '"';
}

std::string TCsvRows::EncodeRow(const TCsvCells& row, size_t width)
{
    std::string out;
    const size_t n = std::max(width, row.size());
    for (size_t c = 0; c < n; ++c) {
        if (c)
            out += ',';
        if (c < row.size())
            AppendCell(out, row[c]);
    }
    return out;
}

std::string TCsvRows::GetText() const
{
    const size_t width = Width();
    size_t guess = 0;
    for (const auto& r : Rows)
        for (const auto& c : r)
            guess += c.size() + 1;
    // Every non-empty row is padded with commas to the width.
    uint64_t commas = 0;
    for (const auto& r : Rows)
        if (!r.empty())
            commas += width - 1;
    sjistext::CheckTextSize(guess + commas + 2 * Rows.size());
    std::string out;
    out.reserve(guess + Rows.size() * (width + 2));
    for (const auto& row : Rows) {
        if (!row.empty()) {
            for (size_t c = 0; c < width; ++c) {
                if (c)
                    out += ',';
                if (c < row.size())
                    AppendCell(out, row[c]);
            }
        }
        out += "\r\n";
    }
    return out;
}

TCsvCells TCsvRows::ParseLine(std::string_view line)
{
    TCsvRows db;
    db.SetText(line);
    return db.Rows.empty() ? TCsvCells{} : std::move(db.Rows[0]);
}

// ---------------------------------------------------------------- access

size_t TCsvRows::Width() const
{
    size_t w = 0;
    for (const auto& r : Rows)
        w = std::max(w, r.size());
    return w;
}

const std::string& TCsvRows::Cell(int64_t col, int64_t row) const
{
    if (row < 0 || col < 0 || static_cast<size_t>(row) >= Rows.size())
        return kEmpty;
    const TCsvCells& r = Rows[row];
    return static_cast<size_t>(col) < r.size() ? r[col] : kEmpty;
}

void TCsvRows::SetCell(int64_t col, int64_t row, std::string text)
{
    if (row < 0 || col < 0)
        return;
    const uint64_t newRows =
        static_cast<uint64_t>(row) < Rows.size() ? 0 : static_cast<uint64_t>(row) + 1 - Rows.size();
    const uint64_t have = newRows ? 0 : Rows[row].size();
    CheckGrowth(static_cast<uint64_t>(col) < have ? 0 : static_cast<uint64_t>(col) + 1 - have, newRows);
    if (static_cast<size_t>(row) >= Rows.size())
        Rows.resize(row + 1);
    TCsvCells& r = Rows[row];
    if (static_cast<size_t>(col) >= r.size())
        r.resize(col + 1);
    r[col] = std::move(text);
}

std::string TCsvRows::RowValue(int64_t row) const
{
    if (row < 0 || static_cast<size_t>(row) >= Rows.size())
        return {};
    const TCsvCells& r = Rows[row];
    if (r.size() == 1)
        return r[0];
    return EncodeRow(r, r.size());
}

void TCsvRows::SetRow(int64_t row, std::string_view csvLine)
{
    if (row < 0)
        return;
    if (static_cast<uint64_t>(row) >= Rows.size())
        CheckGrowth(0, static_cast<uint64_t>(row) + 1 - Rows.size());
    if (static_cast<size_t>(row) >= Rows.size())
        Rows.resize(row + 1);
    Rows[row] = ParseLine(csvLine);
}

// ---------------------------------------------------------------- rows and columns

void TCsvRows::DeleteRow(int64_t row)
{
    if (row >= 0 && static_cast<size_t>(row) < Rows.size())
        Rows.erase(Rows.begin() + row);
}

void TCsvRows::InsertColumn(int64_t col)
{
    if (col < 0)
        return;
    CheckGrowth(PaddingCells(Rows, col) + Rows.size(), 0);
    for (auto& r : Rows) {
        if (r.size() < static_cast<size_t>(col))
            r.resize(col);
        r.insert(r.begin() + col, std::string());
    }
}

void TCsvRows::DeleteColumn(int64_t col)
{
    if (col < 0)
        return;
    for (auto& r : Rows)
        if (static_cast<size_t>(col) < r.size())
            r.erase(r.begin() + col);
}

void TCsvRows::MoveColumn(int64_t from, int64_t to)
{
    if (from < 0 || to < 0)
        return;
    CheckGrowth(PaddingCells(Rows, to, [&](const TCsvCells& r) { return static_cast<uint64_t>(from) < r.size(); }), 0);
    for (auto& r : Rows) {
        if (static_cast<size_t>(from) >= r.size())
            continue;
        std::string cell = std::move(r[from]);
        r.erase(r.begin() + from);
        if (r.size() < static_cast<size_t>(to))
            r.resize(to);
        r.insert(r.begin() + to, std::move(cell));
    }
}

void TCsvRows::Reverse()
{
    std::reverse(Rows.begin() + std::min(FirstDataRow(), Rows.size()), Rows.end());
}

void TCsvRows::Transpose()
{
    const size_t width = Width();
    std::vector<TCsvCells> out(width, TCsvCells(Rows.size()));
    for (size_t r = 0; r < Rows.size(); ++r)
        for (size_t c = 0; c < Rows[r].size(); ++c)
            out[c][r] = std::move(Rows[r][c]);
    Rows = std::move(out);
    Trim();
}

void TCsvRows::Trim()
{
    size_t first = 0;
    while (first < Rows.size()) {
        DropTrailingBlank(Rows[first]);
        if (!Rows[first].empty())
            break;
        ++first;
    }
    size_t last = Rows.size();
    while (last > first) {
        DropTrailingBlank(Rows[last - 1]);
        if (!Rows[last - 1].empty())
            break;
        --last;
    }
    Rows.erase(Rows.begin() + last, Rows.end());
    Rows.erase(Rows.begin(), Rows.begin() + first);
}

void TCsvRows::RemoveDuplicates(int64_t col)
{
    if (col < 0)
        return;
    std::unordered_map<std::string_view, size_t> lastOf;
    for (size_t r = 0; r < Rows.size(); ++r)
        lastOf[Cell(col, r)] = r;
    std::vector<TCsvCells> kept;
    kept.reserve(Rows.size());
    for (size_t r = 0; r < Rows.size(); ++r)
        if (lastOf[Cell(col, r)] == r)
            kept.push_back(std::move(Rows[r]));
    Rows = std::move(kept);
}

std::string TCsvRows::ColumnLines(int64_t col) const
{
    std::string out;
    if (col < 0)
        return out;
    for (size_t r = 0; r < Rows.size(); ++r) {
        out += Cell(col, r);
        out += "\r\n";
    }
    return out;
}

void TCsvRows::PasteColumn(int64_t col, std::string_view lines)
{
    if (col < 0)
        return;
    CheckGrowth(PaddingCells(Rows, col) + Rows.size(), 0);
    std::vector<std::string_view> ls = SplitLineViews(lines);
    for (size_t r = 0; r < Rows.size(); ++r) {
        TCsvCells& row = Rows[r];
        if (row.size() < static_cast<size_t>(col))
            row.resize(col);
        row.insert(row.begin() + col, r < ls.size() ? std::string(ls[r]) : std::string());
    }
}

void TCsvRows::ReplaceInColumn(int64_t col, std::string_view search, std::string_view replacement)
{
    if (col < 0)
        return;
    for (auto& r : Rows)
        if (static_cast<size_t>(col) < r.size())
            r[col] = ReplaceAllChars(r[col], search, replacement);
}

// B's cells other than its key column go to A's columns from A's width on: the header
// cells when both tables have a header, and for every data row of A the cells of the
// first row of B holding the same key (a first match in B's row 0 is not used).
void TCsvRows::Join(int64_t keyA, const TCsvRows& b, int64_t keyB)
{
    const size_t w = Width();
    auto appendFrom = [&](TCsvCells& row, const TCsvCells& src) {
        size_t at = w;
        for (size_t c = 0; c < src.size(); ++c) {
            if (static_cast<int64_t>(c) == keyB)
                continue;
            if (row.size() <= at)
                row.resize(at + 1);
            row[at++] = src[c];
        }
    };
    if (Header && b.Header && !Rows.empty() && !b.Rows.empty())
        appendFrom(Rows[0], b.Rows[0]);
    std::unordered_map<std::string_view, size_t> firstOf;
    for (size_t r = b.Rows.size(); r-- > 0;)
        firstOf[b.Cell(keyB, r)] = r;
    for (size_t r = FirstDataRow(); r < Rows.size(); ++r) {
        auto it = firstOf.find(Cell(keyA, r));
        if (it == firstOf.end() || it->second == 0)
            continue;
        appendFrom(Rows[r], b.Rows[it->second]);
    }
}

std::string TCsvRows::Html(std::string_view attributes) const
{
    const size_t width = Width();
    std::string out = "<TABLE ";
    out.append(attributes);
    out += ">\r\n";
    for (size_t r = 0; r < Rows.size(); ++r) {
        out += "<TR>";
        for (size_t c = 0; c < width; ++c) {
            out += "<TD>";
            out += Cell(static_cast<int64_t>(c), static_cast<int64_t>(r));
            out += "</TD>";
        }
        out += "</TR>\r\n";
    }
    out += "</TABLE>";
    return out;
}

std::string ReplaceAllChars(std::string_view text, std::string_view search, std::string_view replacement)
{
    if (search.empty())
        return std::string(text);
    std::string out;
    size_t i = 0, copied = 0;
    while (i < text.size()) {
        if (text.compare(i, search.size(), search) == 0) {
            out.append(text.substr(copied, i - copied));
            out.append(replacement);
            i += search.size();
            copied = i;
            continue;
        }
        i += CharLenAt(text, i);
    }
    if (copied == 0)
        return std::string(text);
    out.append(text.substr(copied));
    return out;
}

bool ContainsChars(std::string_view text, std::string_view needle)
{
    if (needle.empty())
        return true;
    for (size_t i = 0; i + needle.size() <= text.size(); i += CharLenAt(text, i))
        if (text.compare(i, needle.size(), needle) == 0)
            return true;
    return false;
}

// ---------------------------------------------------------------- line arrays

std::string JoinLines(const std::vector<std::string_view>& lines)
{
    size_t n = 0;
    for (auto l : lines)
        n += l.size() + 2;
    std::string out;
    out.reserve(n);
    for (auto l : lines) {
        out.append(l);
        out += "\r\n";
    }
    return out;
}

std::string JoinLines(const std::vector<std::string>& lines)
{
    std::vector<std::string_view> views(lines.begin(), lines.end());
    return JoinLines(views);
}
