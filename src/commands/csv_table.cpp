// The table engine (see csv_table.h).
#include "commands/csv_table.h"

#include <algorithm>
#include <memory>
#include <cmath>
#include <numeric>
#include <unordered_map>

#include "commands/datetime.h"
#include "commands/strings_text.h"
#include "commands/wildcard.h"
#include "core/sjis.h"
#include "core/text.h"
#include "interp/interp.h"

namespace {

const std::string kEmpty;

// A step that adds `cells` cells and `rows` row slots to a table must keep their
// memory within the limit of one built text; else the memory error, before
// anything is allocated.
void CheckGrowth(uint64_t cells, uint64_t rows)
{
    if (cells > sjistext::kMaxTextBytes || rows > sjistext::kMaxTextBytes) throw EPoru(sjistext::kMsgTooLarge);
    sjistext::CheckTextSize(cells * sizeof(std::string) + rows * sizeof(TCsvCells));
}

// The empty cells that padding every row (of those `pick` selects) up to `col`
// cells would add.
template <class Pick>
uint64_t PaddingCells(const std::vector<TCsvCells>& rows, int64_t col, Pick pick)
{
    uint64_t cells = 0;
    for (const auto& r : rows)
        if (pick(r) && r.size() < static_cast<uint64_t>(col)) {
            cells += static_cast<uint64_t>(col) - r.size();
            if (cells > sjistext::kMaxTextBytes) break;
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
    while (b < e && static_cast<unsigned char>(f[b]) <= 32) ++b;
    while (e > b && static_cast<unsigned char>(f[e - 1]) <= 32) --e;
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
        if (c == '"' || c == ',' || c == '\r' || c == '\n') return true;
        if (c == 'I' && i + 1 < cell.size() && cell[i + 1] == 'D') return true;
    }
    return false;
}

bool IsBlankCell(const std::string& c)
{
    for (unsigned char b : c)
        if (b > 32) return false;
    return true;
}

void DropTrailingBlank(TCsvCells& row)
{
    while (!row.empty() && IsBlankCell(row.back()))
        row.pop_back();
}

struct TSortKeys {
    TCsvDb::SortKind Kind;
    std::vector<std::string_view> Text;
    std::vector<long double> Num;
    bool Less(uint32_t a, uint32_t b) const
    {
        return Kind == TCsvDb::SortKind::Text ? Text[a] < Text[b] : Num[a] < Num[b];
    }
};

// Merges halves of more than 21 rows (the first half wins ties); sorts 21 rows or
// fewer by selection.
void SortRange(std::vector<uint32_t>& idx, std::vector<uint32_t>& tmp, size_t lo, size_t hi, const TSortKeys& k)
{
    if (hi - lo > 20) {
        size_t mid = (lo + hi) / 2;
        SortRange(idx, tmp, lo, mid, k);
        SortRange(idx, tmp, mid + 1, hi, k);
        size_t a = lo, b = mid + 1, o = lo;
        while (a <= mid && b <= hi)
            tmp[o++] = k.Less(idx[b], idx[a]) ? idx[b++] : idx[a++];
        while (a <= mid) tmp[o++] = idx[a++];
        while (b <= hi) tmp[o++] = idx[b++];
        std::copy(tmp.begin() + lo, tmp.begin() + hi + 1, idx.begin() + lo);
        return;
    }
    for (size_t i = lo; i < hi; ++i) {
        size_t m = i;
        for (size_t j = i + 1; j <= hi; ++j)
            if (k.Less(idx[j], idx[m])) m = j;
        std::swap(idx[i], idx[m]);
    }
}

std::string DateError(std::string_view cell)
{
    return "'" + std::string(cell) + "' は正しい日付ではありません";
}

// Case-folded sort key of a line: ASCII and full-width Latin capitals to small.
std::string FoldKey(std::string_view s)
{
    std::string k(s);
    for (size_t i = 0; i < k.size();) {
        unsigned char c = static_cast<unsigned char>(k[i]);
        if (IsLeadByte(c) && i + 1 < k.size()) {
            unsigned char t = static_cast<unsigned char>(k[i + 1]);
            if (c == 0x82 && t >= 0x60 && t <= 0x79)
                k[i + 1] = static_cast<char>(t + 0x21);
            i += 2;
            continue;
        }
        if (c >= 'A' && c <= 'Z') k[i] = static_cast<char>(c + 32);
        ++i;
    }
    return k;
}

// ---- conditions of 表条件抽出 ----

class TCondition {
public:
    explicit TCondition(const TCsvDb& db) : db_(db), n_(db.RowCount()) {}

    std::vector<char> Eval(std::string_view t)
    {
        std::vector<char> result(n_, 0);
        size_t i = 0;
        for (;;) {
            while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
            if (i >= t.size()) break;
            if (t[i] == '(') {
                size_t close = MatchingParen(t, i);
                std::vector<char> sub = Eval(t.substr(i + 1, close - i - 1));
                for (size_t r = 0; r < n_; ++r) result[r] |= sub[r];
                i = close + 1;
                continue;
            }
            std::string_view rest = t.substr(i);
            if (rest.substr(0, 4) == "AND " || rest.substr(0, 4) == "and ") {
                std::vector<char> sub = Eval(rest.substr(4));
                for (size_t r = 0; r < n_; ++r) result[r] = result[r] && sub[r];
                break;
            }
            if (rest.substr(0, 3) == "OR " || rest.substr(0, 3) == "or ") {
                std::vector<char> sub = Eval(rest.substr(3));
                for (size_t r = 0; r < n_; ++r) result[r] |= sub[r];
                break;
            }
            Compare(t, i, result);
        }
        return result;
    }

private:
    const TCsvDb& db_;
    size_t n_;

    static size_t MatchingParen(std::string_view t, size_t open)
    {
        int depth = 0;
        char quote = 0;
        for (size_t i = open; i < t.size(); i += CharLenAt(t, i)) {
            char c = t[i];
            if (quote) {
                if (c == quote) quote = 0;
                continue;
            }
            if (c == '"' || c == '\'') quote = c;
            else if (c == '(') ++depth;
            else if (c == ')' && --depth == 0) return i;
        }
        throw ECsv("\")\"が対応していません。");
    }

    enum Op { Eq, Ne, Gt, Ge, Lt, Le };

    template <class T>
    static bool Apply(Op op, const T& a, const T& b)
    {
        switch (op) {
        case Eq: return a == b;
        case Ne: return !(a == b);
        case Gt: return a > b;
        case Ge: return a >= b;
        case Lt: return a < b;
        case Le: return a <= b;
        }
        return false;
    }

    void Compare(std::string_view t, size_t& i, std::vector<char>& result)
    {
        size_t b = i;
        while (i < t.size() && t[i] != '<' && t[i] != '=' && t[i] != '>')
            i += CharLenAt(t, i);
        std::string name(TrimView(t.substr(b, i - b)));
        size_t ob = i;
        while (i < t.size() && (t[i] == '<' || t[i] == '=' || t[i] == '>')) ++i;
        std::string_view opText = t.substr(ob, i - ob);
        size_t vb = i;
        while (i < t.size() && t[i] != ' ' && t[i] != '\t' && t[i] != '\r' && t[i] != '\n')
            i += CharLenAt(t, i);
        std::string_view value = t.substr(vb, i - vb);
        Op op;
        if (opText == "=") op = Eq;
        else if (opText == "<>" || opText == "><") op = Ne;
        else if (opText == ">") op = Gt;
        else if (opText == ">=" || opText == "=>") op = Ge;
        else if (opText == "<") op = Lt;
        else if (opText == "<=" || opText == "=<") op = Le;
        else throw ECsv("演算子の指定エラー。");
        int64_t col = -1;
        if (n_ > 0) {
            const TCsvCells& head = db_.Rows[0];
            for (size_t c = 0; c < head.size(); ++c)
                if (head[c] == name) { col = static_cast<int64_t>(c); break; }
        }
        if (col < 0)
            throw ECsv("フィールド名\"" + name + "\"が見つかりません。");
        if (n_ > 0) result[0] = 1;   // the header row
        if (!value.empty() && (value[0] == '"' || value[0] == '`')) {
            std::string text;
            if (value.size() >= 2) {
                size_t last = 0;
                for (size_t k = 1; k < value.size(); k += CharLenAt(value, k)) last = k;
                text.assign(value.substr(1, last - 1));
            }
            std::string_view tv = text;
            if (op == Eq || op == Ne) {
                TWildcard w(tv);
                for (size_t r = 1; r < n_; ++r)
                    if (w.WholeMatch(db_.Cell(col, r)) == (op == Eq)) result[r] = 1;
            } else {
                for (size_t r = 1; r < n_; ++r)
                    if (Apply(op, std::string_view(db_.Cell(col, r)), tv)) result[r] = 1;
            }
            return;
        }
        if (!value.empty() && value[0] == '#') {
            long double v;
            if (!ParseDateTime(value.substr(1), v)) return;   // every data row false
            for (size_t r = 1; r < n_; ++r) {
                long double c;
                if (ParseDateTime(db_.Cell(col, r), c) && Apply(op, c, v)) result[r] = 1;
            }
            return;
        }
        const long double v = ToNumber(value);
        for (size_t r = 1; r < n_; ++r)
            if (Apply(op, ToNumber(db_.Cell(col, r)), v)) result[r] = 1;
    }
};

}  // namespace

// ---------------------------------------------------------------- text

void TCsvDb::SetText(std::string_view text)
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
            if (p < end && (*p == '\r' || *p == '\n')) break;
        }
        if (p < end && (*p == '\r' || *p == ',')) ++p;
        if (p < end && *p == '\n') ++p;
        Rows.push_back(std::move(row));
    }
}

void TCsvDb::AppendCell(std::string& out, std::string_view cell)
{
    // A cell of broken text may end in a lone lead byte, which the reader would
    // join with the "," or quote after it: a blank after it pairs with the lead byte
    // instead and is trimmed off again when the cell is read.
    size_t last = 0;
    for (size_t i = 0; i < cell.size(); i += CharLenAt(cell, i)) last = i;
    const bool loneLead = !cell.empty() && last + 1 == cell.size() && IsLeadByte(static_cast<unsigned char>(cell[last]));
    if (!NeedsQuotes(cell)) {
        out.append(cell);
        if (loneLead) out += ' ';
        return;
    }
    // Quotes are doubled where the reader sees them: at character starts (the second
    // byte of a two-byte character is never a quote to it).
    out += '"';
    for (size_t i = 0; i < cell.size();) {
        const size_t len = CharLenAt(cell, i);
        if (len == 1 && cell[i] == '"') out += '"';
        out.append(cell.substr(i, len));
        i += len;
    }
    if (loneLead) out += ' ';
    out += '"';
}

std::string TCsvDb::EncodeRow(const TCsvCells& row, size_t width)
{
    std::string out;
    const size_t n = std::max(width, row.size());
    for (size_t c = 0; c < n; ++c) {
        if (c) out += ',';
        if (c < row.size()) AppendCell(out, row[c]);
    }
    return out;
}

std::string TCsvDb::GetText() const
{
    const size_t width = Width();
    size_t guess = 0;
    for (const auto& r : Rows)
        for (const auto& c : r) guess += c.size() + 1;
    // Every non-empty row is padded with commas to the width.
    uint64_t commas = 0;
    for (const auto& r : Rows)
        if (!r.empty()) commas += width - 1;
    sjistext::CheckTextSize(guess + commas + 2 * Rows.size());
    std::string out;
    out.reserve(guess + Rows.size() * (width + 2));
    for (const auto& row : Rows) {
        if (!row.empty()) {
            for (size_t c = 0; c < width; ++c) {
                if (c) out += ',';
                if (c < row.size()) AppendCell(out, row[c]);
            }
        }
        out += "\r\n";
    }
    return out;
}

TCsvCells TCsvDb::ParseLine(std::string_view line)
{
    TCsvDb db;
    db.SetText(line);
    return db.Rows.empty() ? TCsvCells{} : std::move(db.Rows[0]);
}

// ---------------------------------------------------------------- access

size_t TCsvDb::Width() const
{
    size_t w = 0;
    for (const auto& r : Rows) w = std::max(w, r.size());
    return w;
}

const std::string& TCsvDb::Cell(int64_t col, int64_t row) const
{
    if (row < 0 || col < 0 || static_cast<size_t>(row) >= Rows.size()) return kEmpty;
    const TCsvCells& r = Rows[row];
    return static_cast<size_t>(col) < r.size() ? r[col] : kEmpty;
}

void TCsvDb::SetCell(int64_t col, int64_t row, std::string text)
{
    if (row < 0 || col < 0) return;
    const uint64_t newRows = static_cast<uint64_t>(row) < Rows.size() ? 0 : static_cast<uint64_t>(row) + 1 - Rows.size();
    const uint64_t have = newRows ? 0 : Rows[row].size();
    CheckGrowth(static_cast<uint64_t>(col) < have ? 0 : static_cast<uint64_t>(col) + 1 - have, newRows);
    if (static_cast<size_t>(row) >= Rows.size()) Rows.resize(row + 1);
    TCsvCells& r = Rows[row];
    if (static_cast<size_t>(col) >= r.size()) r.resize(col + 1);
    r[col] = std::move(text);
}

std::string TCsvDb::RowValue(int64_t row) const
{
    if (row < 0 || static_cast<size_t>(row) >= Rows.size()) return {};
    const TCsvCells& r = Rows[row];
    if (r.size() == 1) return r[0];
    return EncodeRow(r, r.size());
}

void TCsvDb::SetRow(int64_t row, std::string_view csvLine)
{
    if (row < 0) return;
    if (static_cast<uint64_t>(row) >= Rows.size()) CheckGrowth(0, static_cast<uint64_t>(row) + 1 - Rows.size());
    if (static_cast<size_t>(row) >= Rows.size()) Rows.resize(row + 1);
    Rows[row] = ParseLine(csvLine);
}

// ---------------------------------------------------------------- rows and columns

void TCsvDb::DeleteRow(int64_t row)
{
    if (row >= 0 && static_cast<size_t>(row) < Rows.size())
        Rows.erase(Rows.begin() + row);
}

void TCsvDb::InsertColumn(int64_t col)
{
    if (col < 0) return;
    CheckGrowth(PaddingCells(Rows, col) + Rows.size(), 0);
    for (auto& r : Rows) {
        if (r.size() < static_cast<size_t>(col)) r.resize(col);
        r.insert(r.begin() + col, std::string());
    }
}

void TCsvDb::DeleteColumn(int64_t col)
{
    if (col < 0) return;
    for (auto& r : Rows)
        if (static_cast<size_t>(col) < r.size()) r.erase(r.begin() + col);
}

void TCsvDb::MoveColumn(int64_t from, int64_t to)
{
    if (from < 0 || to < 0) return;
    CheckGrowth(PaddingCells(Rows, to, [&](const TCsvCells& r) { return static_cast<uint64_t>(from) < r.size(); }), 0);
    for (auto& r : Rows) {
        if (static_cast<size_t>(from) >= r.size()) continue;
        std::string cell = std::move(r[from]);
        r.erase(r.begin() + from);
        if (r.size() < static_cast<size_t>(to)) r.resize(to);
        r.insert(r.begin() + to, std::move(cell));
    }
}

void TCsvDb::Reverse()
{
    std::reverse(Rows.begin() + std::min(FirstDataRow(), Rows.size()), Rows.end());
}

void TCsvDb::Transpose()
{
    const size_t width = Width();
    std::vector<TCsvCells> out(width, TCsvCells(Rows.size()));
    for (size_t r = 0; r < Rows.size(); ++r)
        for (size_t c = 0; c < Rows[r].size(); ++c)
            out[c][r] = std::move(Rows[r][c]);
    Rows = std::move(out);
    Trim();
}

void TCsvDb::Trim()
{
    size_t first = 0;
    while (first < Rows.size()) {
        DropTrailingBlank(Rows[first]);
        if (!Rows[first].empty()) break;
        ++first;
    }
    size_t last = Rows.size();
    while (last > first) {
        DropTrailingBlank(Rows[last - 1]);
        if (!Rows[last - 1].empty()) break;
        --last;
    }
    Rows.erase(Rows.begin() + last, Rows.end());
    Rows.erase(Rows.begin(), Rows.begin() + first);
}

void TCsvDb::RemoveDuplicates(int64_t col)
{
    if (col < 0) return;
    std::unordered_map<std::string_view, size_t> lastOf;
    for (size_t r = 0; r < Rows.size(); ++r)
        lastOf[Cell(col, r)] = r;
    std::vector<TCsvCells> kept;
    kept.reserve(Rows.size());
    for (size_t r = 0; r < Rows.size(); ++r)
        if (lastOf[Cell(col, r)] == r) kept.push_back(std::move(Rows[r]));
    Rows = std::move(kept);
}

std::string TCsvDb::ColumnLines(int64_t col) const
{
    std::string out;
    if (col < 0) return out;
    for (size_t r = 0; r < Rows.size(); ++r) {
        out += Cell(col, r);
        out += "\r\n";
    }
    return out;
}

void TCsvDb::PasteColumn(int64_t col, std::string_view lines)
{
    if (col < 0) return;
    CheckGrowth(PaddingCells(Rows, col) + Rows.size(), 0);
    std::vector<std::string_view> ls = SplitLineViews(lines);
    for (size_t r = 0; r < Rows.size(); ++r) {
        TCsvCells& row = Rows[r];
        if (row.size() < static_cast<size_t>(col)) row.resize(col);
        row.insert(row.begin() + col, r < ls.size() ? std::string(ls[r]) : std::string());
    }
}

void TCsvDb::ReplaceInColumn(int64_t col, std::string_view search, std::string_view replacement)
{
    if (col < 0) return;
    for (auto& r : Rows)
        if (static_cast<size_t>(col) < r.size())
            r[col] = ReplaceAllChars(r[col], search, replacement);
}

// B's cells other than its key column go to A's columns from A's width on: the header
// cells when both tables have a header, and for every data row of A the cells of the
// first row of B holding the same key (a first match in B's row 0 is not used).
void TCsvDb::Join(int64_t keyA, const TCsvDb& b, int64_t keyB)
{
    const size_t w = Width();
    auto appendFrom = [&](TCsvCells& row, const TCsvCells& src) {
        size_t at = w;
        for (size_t c = 0; c < src.size(); ++c) {
            if (static_cast<int64_t>(c) == keyB) continue;
            if (row.size() <= at) row.resize(at + 1);
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
        if (it == firstOf.end() || it->second == 0) continue;
        appendFrom(Rows[r], b.Rows[it->second]);
    }
}

// ---------------------------------------------------------------- sorting

void TCsvDb::Sort(int64_t col, SortKind kind)
{
    Trim();
    const size_t first = FirstDataRow();
    if (Rows.size() <= first + 1) return;
    const size_t n = Rows.size() - first;
    TSortKeys keys{kind, {}, {}};
    if (kind == SortKind::Text) {
        keys.Text.reserve(n);
        for (size_t r = first; r < Rows.size(); ++r) keys.Text.push_back(Cell(col, r));
    } else {
        keys.Num.reserve(n);
        for (size_t r = first; r < Rows.size(); ++r) {
            const std::string& c = Cell(col, r);
            long double v;
            if (kind == SortKind::Number) v = ToNumber(c);
            else if (!ParseDateTime(c, v)) throw ECsv(DateError(c));
            keys.Num.push_back(v);
        }
    }
    std::vector<uint32_t> idx(n), tmp(n);
    std::iota(idx.begin(), idx.end(), 0);
    SortRange(idx, tmp, 0, n - 1, keys);
    std::vector<TCsvCells> sorted;
    sorted.reserve(n);
    for (uint32_t i : idx) sorted.push_back(std::move(Rows[first + i]));
    std::move(sorted.begin(), sorted.end(), Rows.begin() + first);
}

// ---------------------------------------------------------------- column values

long double TCsvDb::ColumnSum(int64_t col) const
{
    long double s = 0;
    for (size_t r = FirstDataRow(); r < Rows.size(); ++r) s += ToNumber(Cell(col, r));
    return s;
}

long double TCsvDb::ColumnMean(int64_t col) const
{
    return Rows.empty() ? 0 : ColumnSum(col) / static_cast<long double>(Rows.size());
}

long double TCsvDb::ColumnMin(int64_t col) const
{
    const size_t first = FirstDataRow();
    if (first >= Rows.size()) return 0;
    long double m = ToNumber(Cell(col, first));
    for (size_t r = first + 1; r < Rows.size(); ++r) {
        const std::string& c = Cell(col, r);
        if (!c.empty()) m = std::min(m, ToNumber(c));
    }
    return m;
}

long double TCsvDb::ColumnMax(int64_t col) const
{
    const size_t first = FirstDataRow();
    if (first >= Rows.size()) return 0;
    long double m = ToNumber(Cell(col, first));
    for (size_t r = first + 1; r < Rows.size(); ++r) {
        const std::string& c = Cell(col, r);
        if (!c.empty()) m = std::max(m, ToNumber(c));
    }
    return m;
}

// ---------------------------------------------------------------- searching

int64_t TCsvDb::FindRow(int64_t start, int64_t col, std::string_view key, bool exact, size_t width) const
{
    if (start < 0) start = 0;
    const bool wild = !exact && HasWildcardChars(key, false);
    std::unique_ptr<TWildcard> w;
    if (wild) w = std::make_unique<TWildcard>(key);
    std::string line;
    for (size_t r = static_cast<size_t>(start); r < Rows.size(); ++r) {
        const TCsvCells& row = Rows[r];
        bool hit = false;
        if (exact) {
            if (col < 0) hit = std::find(row.begin(), row.end(), key) != row.end();
            else hit = Cell(col, r) == key;
        } else {
            std::string_view subject;
            if (col < 0) {
                line = EncodeRow(row, row.empty() ? 0 : width);
                subject = line;
            } else {
                subject = Cell(col, r);
            }
            hit = wild ? w->WholeMatch(subject) : ContainsChars(subject, key);
        }
        if (hit) return static_cast<int64_t>(r);
    }
    return -1;
}

int64_t TFindCsv::FindNext()
{
    if (Table.Rows.empty()) return -1;
    int64_t r = Table.FindRow(NextRow, Column, Key, Exact, Width);
    NextRow = r >= 0 ? r + 1 : static_cast<int64_t>(Table.RowCount());
    return r;
}

void TFindCsv::Clear()
{
    Key.clear();
    Table.Rows.clear();
    Column = -1;
    NextRow = 0;
    Width = 0;
}

std::string PickupText(std::string_view text, int64_t col, std::string_view pattern, bool header)
{
    const bool wild = HasWildcardChars(pattern, true);
    std::unique_ptr<TWildcard> w;
    if (wild) w = std::make_unique<TWildcard>(pattern);
    auto matches = [&](std::string_view s) { return wild ? w->WholeMatch(s) : ContainsChars(s, pattern); };
    if (col < 0) {
        std::string out;
        for (std::string_view line : SplitLineViews(text))
            if (matches(line)) {
                out.append(line);
                out += "\r\n";
            }
        return out;
    }
    TCsvDb db;
    db.SetText(text);
    db.Header = header;
    TCsvDb kept;
    for (size_t r = 0; r < db.Rows.size(); ++r)
        if ((header && r == 0) || matches(db.Cell(col, r))) kept.Rows.push_back(std::move(db.Rows[r]));
    return kept.GetText();
}

std::string TCsvDb::Filter(std::string_view condition) const
{
    TCondition cond(*this);
    std::vector<char> keep = cond.Eval(condition);
    TCsvDb out;
    for (size_t r = 0; r < Rows.size(); ++r)
        if (r == 0 || keep[r]) out.Rows.push_back(Rows[r]);
    return out.GetText();
}

std::string TCsvDb::Html(std::string_view attributes) const
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

// ---------------------------------------------------------------- line arrays

std::string JoinLines(const std::vector<std::string_view>& lines)
{
    size_t n = 0;
    for (auto l : lines) n += l.size() + 2;
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

std::string SortLinesText(std::string_view text)
{
    std::vector<std::string_view> lines = SplitLineViews(text);
    std::vector<std::string> keys;
    keys.reserve(lines.size());
    for (auto l : lines) keys.push_back(FoldKey(l));
    std::vector<uint32_t> idx(lines.size());
    std::iota(idx.begin(), idx.end(), 0);
    std::sort(idx.begin(), idx.end(), [&](uint32_t a, uint32_t b) {
        int c = keys[a].compare(keys[b]);
        return c != 0 ? c < 0 : lines[a] < lines[b];
    });
    std::vector<std::string_view> out;
    out.reserve(idx.size());
    for (uint32_t i : idx) out.push_back(lines[i]);
    return JoinLines(out);
}

std::string SortLinesNumber(std::string_view text)
{
    std::vector<std::string_view> lines = SplitLineViews(text);
    std::vector<long double> keys;
    keys.reserve(lines.size());
    for (auto l : lines) keys.push_back(ToNumber(l));
    std::vector<uint32_t> idx(lines.size());
    std::iota(idx.begin(), idx.end(), 0);
    std::stable_sort(idx.begin(), idx.end(), [&](uint32_t a, uint32_t b) { return keys[a] < keys[b]; });
    std::vector<std::string_view> out;
    out.reserve(idx.size());
    for (uint32_t i : idx) out.push_back(lines[i]);
    return JoinLines(out);
}

std::string InsertLine(std::string_view text, int64_t index, std::string_view line)
{
    std::vector<std::string_view> lines = SplitLineViews(text);
    if (index < 0) return std::string(text);
    if (static_cast<size_t>(index) < lines.size()) {
        lines.insert(lines.begin() + index, line);
        return JoinLines(lines);
    }
    // Past the last line: the empty lines up to the index are written directly.
    const uint64_t empty = static_cast<uint64_t>(index) - lines.size();
    if (empty > sjistext::kMaxTextBytes) throw EPoru(sjistext::kMsgTooLarge);
    std::string out = JoinLines(lines);
    sjistext::CheckTextSize(out.size() + 2 * empty + line.size() + 2);
    out.reserve(out.size() + 2 * empty + line.size() + 2);
    for (uint64_t k = 0; k < empty; ++k) out += "\r\n";
    out.append(line);
    out += "\r\n";
    return out;
}

bool DeleteLine(std::string_view text, int64_t index, std::string& out)
{
    std::vector<std::string_view> lines = SplitLineViews(text);
    if (index < 0 || static_cast<size_t>(index) >= lines.size()) return false;
    lines.erase(lines.begin() + index);
    out = JoinLines(lines);
    return true;
}

TArrayStats ArrayStats(const std::vector<std::string>& halfWidthLines, bool needStdDev)
{
    std::vector<long double> v;
    for (const auto& l : halfWidthLines) {
        std::string_view t = TrimView(l);
        if (!t.empty()) v.push_back(ToNumber(t));
    }
    if (v.empty()) v.push_back(0);
    TArrayStats s;
    s.Count = v.size();
    long double sq = 0;
    s.Min = s.Max = v[0];
    for (long double x : v) {
        s.Sum += x;
        sq += x * x;
        s.Min = std::min(s.Min, x);
        s.Max = std::max(s.Max, x);
    }
    const long double n = static_cast<long double>(v.size());
    s.Mean = s.Sum / n;
    const long double dev = sq - s.Sum * s.Sum / n;
    s.Variance = dev / n;
    if (needStdDev) {
        if (v.size() < 2) throw ECsv("0 による浮動小数点数除算");
        s.StdDev = std::sqrt(std::max(dev, 0.0L) / (n - 1));
    }
    return s;
}

// ---------------------------------------------------------------- helpers

std::string PrepareCondition(std::string_view text, std::string (*toHalf)(std::string_view))
{
    std::string half;
    size_t seg = 0;
    char quote = 0;
    for (size_t i = 0; i < text.size(); i += CharLenAt(text, i)) {
        char c = text[i];
        if (quote) {
            if (c == quote) {
                half.append(text.substr(seg, i + 1 - seg));
                seg = i + 1;
                quote = 0;
            }
            continue;
        }
        if (c == '"' || c == '`') {
            half += toHalf ? toHalf(text.substr(seg, i - seg)) : std::string(text.substr(seg, i - seg));
            seg = i;
            quote = c;
        }
    }
    if (seg < text.size()) {
        std::string_view rest = text.substr(seg);
        half += (quote || !toHalf) ? std::string(rest) : toHalf(rest);
    }
    std::replace(half.begin(), half.end(), ',', ' ');
    half = ReplaceAllChars(half, "または ", "OR ");
    half = ReplaceAllChars(half, "かつ ", "AND ");
    return half;
}

bool ParseDateTime(std::string_view text, long double& out)
{
    datetime::TDateTime dt;
    if (!datetime::ParseDateTime(text, dt)) return false;
    out = static_cast<long double>(dt.Days) + dt.Ms / 86400000.0L;
    return true;
}

std::string ReplaceAllChars(std::string_view text, std::string_view search, std::string_view replacement)
{
    if (search.empty()) return std::string(text);
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
    if (copied == 0) return std::string(text);
    out.append(text.substr(copied));
    return out;
}

bool ContainsChars(std::string_view text, std::string_view needle)
{
    if (needle.empty()) return true;
    for (size_t i = 0; i + needle.size() <= text.size(); i += CharLenAt(text, i))
        if (text.compare(i, needle.size(), needle) == 0) return true;
    return false;
}
