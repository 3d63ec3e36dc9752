// The table engine's sorting, column values, searching and filtering, and the line
// arrays (see csv_table.h).
#include "commands/tables/csv_table.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numeric>
#include <unordered_map>

#include "commands/numbers/datetime.h"
#include "commands/patterns/wildcard.h"
#include "commands/strings/strings.h"
#include "core/sjis.h"
#include "core/text.h"
#include "interp/interp.h"

namespace {

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
        while (a <= mid)
            tmp[o++] = idx[a++];
        while (b <= hi)
            tmp[o++] = idx[b++];
        std::copy(tmp.begin() + lo, tmp.begin() + hi + 1, idx.begin() + lo);
        return;
    }
    for (size_t i = lo; i < hi; ++i) {
        size_t m = i;
        for (size_t j = i + 1; j <= hi; ++j)
            if (k.Less(idx[j], idx[m]))
                m = j;
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
        if (c >= 'A' && c <= 'Z')
            k[i] = static_cast<char>(c + 32);
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
            while (i < t.size() && (t[i] == ' ' || t[i] == '\t'))
                ++i;
            if (i >= t.size())
                break;
            if (t[i] == '(') {
                size_t close = MatchingParen(t, i);
                std::vector<char> sub = Eval(t.substr(i + 1, close - i - 1));
                for (size_t r = 0; r < n_; ++r)
                    result[r] |= sub[r];
                i = close + 1;
                continue;
            }
            std::string_view rest = t.substr(i);
            if (rest.substr(0, 4) == "AND " || rest.substr(0, 4) == "and ") {
                std::vector<char> sub = Eval(rest.substr(4));
                for (size_t r = 0; r < n_; ++r)
                    result[r] = result[r] && sub[r];
                break;
            }
            if (rest.substr(0, 3) == "OR " || rest.substr(0, 3) == "or ") {
                std::vector<char> sub = Eval(rest.substr(3));
                for (size_t r = 0; r < n_; ++r)
                    result[r] |= sub[r];
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
                if (c == quote)
                    quote = 0;
                continue;
            }
            if (c == '"' || c == '\'')
                quote = c;
            else if (c == '(')
                ++depth;
            else if (c == ')' && --depth == 0)
                return i;
        }
        throw ECsv("\")\"が対応していません。");
    }

    enum Op { Eq, Ne, Gt, Ge, Lt, Le };

    template <class T> static bool Apply(Op op, const T& a, const T& b)
    {
        switch (op) {
        case Eq:
            return a == b;
        case Ne:
            return !(a == b);
        case Gt:
            return a > b;
        case Ge:
            return a >= b;
        case Lt:
            return a < b;
        case Le:
            return a <= b;
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
        while (i < t.size() && (t[i] == '<' || t[i] == '=' || t[i] == '>'))
            ++i;
        std::string_view opText = t.substr(ob, i - ob);
        size_t vb = i;
        while (i < t.size() && t[i] != ' ' && t[i] != '\t' && t[i] != '\r' && t[i] != '\n')
            i += CharLenAt(t, i);
        std::string_view value = t.substr(vb, i - vb);
        Op op;
        if (opText == "=")
            op = Eq;
        else if (opText == "<>" || opText == "><")
            op = Ne;
        else if (opText == ">")
            op = Gt;
        else if (opText == ">=" || opText == "=>")
            op = Ge;
        else if (opText == "<")
            op = Lt;
        else if (opText == "<=" || opText == "=<")
            op = Le;
        else
            throw ECsv("演算子の指定エラー。");
        int64_t col = -1;
        if (n_ > 0) {
            const TCsvCells& head = db_.Rows[0];
            for (size_t c = 0; c < head.size(); ++c)
                if (head[c] == name) {
                    col = static_cast<int64_t>(c);
                    break;
                }
        }
        if (col < 0)
            throw ECsv("フィールド名\"" + name + "\"が見つかりません。");
        if (n_ > 0)
            result[0] = 1;   // the header row
        if (!value.empty() && (value[0] == '"' || value[0] == '`')) {
            std::string text;
            if (value.size() >= 2) {
                size_t last = 0;
                for (size_t k = 1; k < value.size(); k += CharLenAt(value, k))
                    last = k;
                text.assign(value.substr(1, last - 1));
            }
            std::string_view tv = text;
            if (op == Eq || op == Ne) {
                TWildcard w(tv);
                for (size_t r = 1; r < n_; ++r)
                    if (w.WholeMatch(db_.Cell(col, r)) == (op == Eq))
                        result[r] = 1;
            } else {
                for (size_t r = 1; r < n_; ++r)
                    if (Apply(op, std::string_view(db_.Cell(col, r)), tv))
                        result[r] = 1;
            }
            return;
        }
        if (!value.empty() && value[0] == '#') {
            long double v;
            if (!ParseDateTime(value.substr(1), v))
                return;   // every data row false
            for (size_t r = 1; r < n_; ++r) {
                long double c;
                if (ParseDateTime(db_.Cell(col, r), c) && Apply(op, c, v))
                    result[r] = 1;
            }
            return;
        }
        const long double v = ToNumber(value);
        for (size_t r = 1; r < n_; ++r)
            if (Apply(op, ToNumber(db_.Cell(col, r)), v))
                result[r] = 1;
    }
};

}   // namespace

// ---------------------------------------------------------------- sorting

void TCsvDb::Sort(int64_t col, SortKind kind)
{
    Trim();
    const size_t first = FirstDataRow();
    if (Rows.size() <= first + 1)
        return;
    const size_t n = Rows.size() - first;
    TSortKeys keys{kind, {}, {}};
    if (kind == SortKind::Text) {
        keys.Text.reserve(n);
        for (size_t r = first; r < Rows.size(); ++r)
            keys.Text.push_back(Cell(col, r));
    } else {
        keys.Num.reserve(n);
        for (size_t r = first; r < Rows.size(); ++r) {
            const std::string& c = Cell(col, r);
            long double v;
            if (kind == SortKind::Number)
                v = ToNumber(c);
            else if (!ParseDateTime(c, v))
                throw ECsv(DateError(c));
            keys.Num.push_back(v);
        }
    }
    std::vector<uint32_t> idx(n), tmp(n);
    std::iota(idx.begin(), idx.end(), 0);
    SortRange(idx, tmp, 0, n - 1, keys);
    std::vector<TCsvCells> sorted;
    sorted.reserve(n);
    for (uint32_t i : idx)
        sorted.push_back(std::move(Rows[first + i]));
    std::move(sorted.begin(), sorted.end(), Rows.begin() + first);
}

// ---------------------------------------------------------------- column values

long double TCsvDb::ColumnSum(int64_t col) const
{
    long double s = 0;
    for (size_t r = FirstDataRow(); r < Rows.size(); ++r)
        s += ToNumber(Cell(col, r));
    return s;
}

long double TCsvDb::ColumnMean(int64_t col) const
{
    return Rows.empty() ? 0 : ColumnSum(col) / static_cast<long double>(Rows.size());
}

namespace {

// The least or greatest number of a column's data cells (empty cells but the first
// skipped); 0 without data rows.
template <typename Pick> long double FoldColumn(const TCsvDb& db, int64_t col, Pick pick)
{
    const size_t first = db.FirstDataRow();
    if (first >= db.Rows.size())
        return 0;
    long double m = ToNumber(db.Cell(col, first));
    for (size_t r = first + 1; r < db.Rows.size(); ++r) {
        const std::string& c = db.Cell(col, r);
        if (!c.empty())
            m = pick(m, ToNumber(c));
    }
    return m;
}

}   // namespace

long double TCsvDb::ColumnMin(int64_t col) const
{
    return FoldColumn(*this, col, [](long double a, long double b) { return std::min(a, b); });
}

long double TCsvDb::ColumnMax(int64_t col) const
{
    return FoldColumn(*this, col, [](long double a, long double b) { return std::max(a, b); });
}

// ---------------------------------------------------------------- searching

int64_t TCsvDb::FindRow(int64_t start, int64_t col, std::string_view key, bool exact, size_t width) const
{
    if (start < 0)
        start = 0;
    const bool wild = !exact && HasWildcardChars(key, false);
    std::unique_ptr<TWildcard> w;
    if (wild)
        w = std::make_unique<TWildcard>(key);
    std::string line;
    for (size_t r = static_cast<size_t>(start); r < Rows.size(); ++r) {
        const TCsvCells& row = Rows[r];
        bool hit = false;
        if (exact) {
            if (col < 0)
                hit = std::find(row.begin(), row.end(), key) != row.end();
            else
                hit = Cell(col, r) == key;
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
        if (hit)
            return static_cast<int64_t>(r);
    }
    return -1;
}

int64_t TFindCsv::FindNext()
{
    if (Table.Rows.empty())
        return -1;
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
    if (wild)
        w = std::make_unique<TWildcard>(pattern);
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
        if ((header && r == 0) || matches(db.Cell(col, r)))
            kept.Rows.push_back(std::move(db.Rows[r]));
    return kept.GetText();
}

std::string TCsvDb::Filter(std::string_view condition) const
{
    TCondition cond(*this);
    std::vector<char> keep = cond.Eval(condition);
    TCsvDb out;
    for (size_t r = 0; r < Rows.size(); ++r)
        if (r == 0 || keep[r])
            out.Rows.push_back(Rows[r]);
    return out.GetText();
}

// ---------------------------------------------------------------- line arrays

std::string SortLinesText(std::string_view text)
{
    std::vector<std::string_view> lines = SplitLineViews(text);
    std::vector<std::string> keys;
    keys.reserve(lines.size());
    for (auto l : lines)
        keys.push_back(FoldKey(l));
    std::vector<uint32_t> idx(lines.size());
    std::iota(idx.begin(), idx.end(), 0);
    std::sort(idx.begin(), idx.end(), [&](uint32_t a, uint32_t b) {
        int c = keys[a].compare(keys[b]);
        return c != 0 ? c < 0 : lines[a] < lines[b];
    });
    std::vector<std::string_view> out;
    out.reserve(idx.size());
    for (uint32_t i : idx)
        out.push_back(lines[i]);
    return JoinLines(out);
}

std::string SortLinesNumber(std::string_view text)
{
    std::vector<std::string_view> lines = SplitLineViews(text);
    std::vector<long double> keys;
    keys.reserve(lines.size());
    for (auto l : lines)
        keys.push_back(ToNumber(l));
    std::vector<uint32_t> idx(lines.size());
    std::iota(idx.begin(), idx.end(), 0);
    std::stable_sort(idx.begin(), idx.end(), [&](uint32_t a, uint32_t b) { return keys[a] < keys[b]; });
    std::vector<std::string_view> out;
    out.reserve(idx.size());
    for (uint32_t i : idx)
        out.push_back(lines[i]);
    return JoinLines(out);
}

std::string InsertLine(std::string_view text, int64_t index, std::string_view line)
{
    std::vector<std::string_view> lines = SplitLineViews(text);
    if (index < 0)
        return std::string(text);
    if (static_cast<size_t>(index) < lines.size()) {
        lines.insert(lines.begin() + index, line);
        return JoinLines(lines);
    }
    // Past the last line: the empty lines up to the index are written directly.
    const uint64_t empty = static_cast<uint64_t>(index) - lines.size();
    if (empty > sjistext::kMaxTextBytes)
        throw EPoru(sjistext::kMsgTooLarge);
    std::string out = JoinLines(lines);
    sjistext::CheckTextSize(out.size() + 2 * empty + line.size() + 2);
    out.reserve(out.size() + 2 * empty + line.size() + 2);
    for (uint64_t k = 0; k < empty; ++k)
        out += "\r\n";
    out.append(line);
    out += "\r\n";
    return out;
}

bool DeleteLine(std::string_view text, int64_t index, std::string& out)
{
    std::vector<std::string_view> lines = SplitLineViews(text);
    if (index < 0 || static_cast<size_t>(index) >= lines.size())
        return false;
    lines.erase(lines.begin() + index);
    out = JoinLines(lines);
    return true;
}

TArrayStats ArrayStats(const std::vector<std::string>& halfWidthLines, bool needStdDev)
{
    std::vector<long double> v;
    for (const auto& l : halfWidthLines) {
        std::string_view t = TrimView(l);
        if (!t.empty())
            v.push_back(ToNumber(t));
    }
    if (v.empty())
        v.push_back(0);
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
        if (v.size() < 2)
            throw ECsv("0 による浮動小数点数除算");
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
    if (!datetime::ParseDateTime(text, dt))
        return false;
    out = static_cast<long double>(dt.Days) + dt.Ms / 86400000.0L;
    return true;
}
