#include "interp/debug_model.h"

#include <algorithm>
#include <charconv>

#include "core/hash.h"
#include "core/sjis.h"
#include "core/stacks.h"
#include "core/text.h"
#include "interp/interp.h"
#include "interp/line_io.h"

namespace {

// How much of a value the console shows, and how many program lines around the
// current one.
constexpr size_t kDumpValueBytes = 120;
constexpr int32_t kDumpContext = 2;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The value cut after about `limit` bytes at a character boundary, line breaks as
// "\n", tabs as spaces.
std::string OneLine(std::string_view value, size_t limit)
{
    std::string out;
    const char* p = value.data();
    const char* end = p + value.size();
    while (p < end) {
        if (out.size() >= limit) {
            out += "...";
            break;
        }
        if (*p == '\r' || *p == '\n') {
            out += "\\n";
            p += (*p == '\r' && p + 1 < end && p[1] == '\n') ? 2 : 1;
            continue;
        }
        if (*p == '\t') {
            out += ' ';
            ++p;
            continue;
        }
        const size_t n = (IsLeadByte(static_cast<unsigned char>(*p)) && p + 1 < end) ? 2 : 1;
        out.append(p, n);
        p += n;
    }
    return out;
}

}   // namespace

int32_t DebugFilterLevel(std::string_view filter)
{
    const std::string_view t = TrimView(filter);
    int32_t v = 0;
    const char* first = t.data();
    const char* last = t.data() + t.size();
    if (!t.empty() && t.front() == '+')
        ++first;
    const auto r = std::from_chars(first, last, v);
    if (t.empty() || r.ec != std::errc() || r.ptr != last)
        return -1;
    return v;
}

std::vector<TDebugRow> DebugVariableRows(const THash& words, std::string_view filter, bool showObjects)
{
    const bool filtered = !filter.empty();
    const int32_t level = DebugFilterLevel(filter);
    std::vector<TDebugRow> rows;
    for (const THashNode* n : words.Nodes()) {
        if (n->Kind != wkVariable && n->Kind != wkObject && n->Kind != wkHash)
            continue;
        const bool sore = n->Name == "それ";
        if (filtered && !sore && n->Id < level)
            continue;
        if (n->Kind == wkObject && !showObjects)
            continue;
        TDebugRow row;
        row.Name = n->Name;
        const THash* table = n->Table();
        row.Value = table ? table->Pairs() : n->Value;
        row.Type = n->TypeText;
        row.Level = n->Id;
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string DebugFilterAfterSystemBox(const std::string& filter, bool ticked)
{
    if (ticked)
        return std::string();
    return filter.empty() ? std::string("0") : filter;
}

int DebugFindRow(const std::vector<TDebugRow>& rows, std::string_view text)
{
    const std::string_view t = TrimView(text);
    if (t.empty())
        return -1;
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].Name.compare(0, t.size(), t) == 0)
            return static_cast<int>(i);
    return -1;
}

int DebugRowNamed(const std::vector<TDebugRow>& rows, std::string_view name)
{
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].Name == name)
            return static_cast<int>(i);
    return -1;
}

const char* ControlKindName(uint8_t kind)
{
    switch (kind) {
    case 0:
        return "もし、ならば";
    case 1:
        return "もし、違えば";
    case 2:
        return "繰り返す";
    case 3:
        return "回";
    case 4:
        return "呼ぶ";
    case 5:
        return "イベント";
    case 6:
        return "反復";
    case 7:
        return "不明";
    case 8:
        return "条件分岐";
    default:
        return "その他";
    }
}

std::vector<std::string> DebugControlEntries(const TRunControlStack& rc)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < rc.Count(); ++i)
        out.push_back(std::to_string(i + 1) + ":" + ControlKindName(rc.At(i).RcKind));
    return out;
}

std::vector<std::string> DebugProgramLines(std::string_view text)
{
    std::vector<std::string> lines;
    if (text.empty())
        return lines;
    size_t i = 0;
    size_t index = 0;   // the source line (from 0) of the line that starts at i
    bool first = true;
    for (;;) {
        size_t end = i;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        std::string_view line = text.substr(i, end - i);
        if (!first) {
            // A marker "N:" names the source line; a line without one (a break inside
            // a string) follows the previous line.
            size_t d = 0;
            while (d < line.size() && IsDigit(line[d]))
                ++d;
            size_t marked = 0;
            if (d > 0 && d < line.size() && line[d] == ':' &&
                std::from_chars(line.data(), line.data() + d, marked).ec == std::errc() && marked >= index &&
                marked < index + 100000) {
                index = marked;
                line.remove_prefix(d + 1);
            }
        }
        first = false;
        lines.resize(index);   // markers only grow: the lines skipped stay empty
        lines.emplace_back(line);
        ++index;
        if (end >= text.size())
            break;
        i = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
        if (i >= text.size())
            break;   // the final break ends the last line
    }
    // Programs are read with a break after every line: the marker after the last
    // one starts no line of the source.
    if (lines.size() > 1 && lines.back().empty())
        lines.pop_back();
    return lines;
}

TDebugView DebugViewOf(TPoruBase& st, std::string_view filter, bool showObjects)
{
    TDebugView v;
    v.Line = st.CurrentLineNo();
    v.Program = DebugProgramLines(st.Source);
    v.Control = DebugControlEntries(st.RunControl);
    v.Rows = DebugVariableRows(st.Words, filter, showObjects);
    return v;
}

const char* DebugQuestion()
{
    return "c=連続実行 l=一行毎に実行 q=実行中断 > ";
}

std::string DebugDumpText(const TDebugView& view, std::string_view filter, const std::string& word)
{
    std::string out = "---- デバッグ ----\n";
    out += "現在の実行行:" + std::to_string(view.Line) + "\n";
    const int32_t count = static_cast<int32_t>(view.Program.size());
    for (int32_t n = std::max(1, view.Line - kDumpContext); n <= std::min(count, view.Line + kDumpContext); ++n) {
        out += n == view.Line ? "> " : "  ";
        out += std::to_string(n) + ": " + OneLine(view.Program[static_cast<size_t>(n - 1)], kDumpValueBytes) + "\n";
    }
    out += "[制御構造]";
    if (view.Control.empty())
        out += " なし";
    for (const std::string& c : view.Control)
        out += " " + c;
    out += "\n[変数] ";
    out += filter.empty() ? std::string("全て") : "レベル" + std::string(filter) + "以上";
    out += "\n名前\t値\t型\t宣言レベル\n";
    for (const TDebugRow& r : view.Rows) {
        out += r.Name == word && !word.empty() ? "*" : "";
        out +=
            r.Name + "\t" + OneLine(r.Value, kDumpValueBytes) + "\t" + r.Type + "\t" + std::to_string(r.Level) + "\n";
    }
    out += DebugQuestion();
    return out;
}

bool ParseDebugAnswer(std::string_view answer, DebugChoice& choice)
{
    const std::string_view t = TrimView(answer);
    if (t.empty())
        return false;
    switch (t.front()) {
    case 'c':
    case 'C':
        choice = DebugChoice::Continue;
        return true;
    case 'l':
    case 'L':
        choice = DebugChoice::Step;
        return true;
    case 'q':
    case 'Q':
        choice = DebugChoice::Stop;
        return true;
    default:
        return false;
    }
}

DebugChoice AskDebugOnLines(TLineIo& io, const std::string& dump)
{
    io.Prompt(dump);
    for (int attempt = 0; attempt < kLineAttempts; ++attempt) {
        if (attempt > 0)
            io.Prompt(DebugQuestion());
        std::string line;
        if (!io.ReadLine(line))
            break;
        DebugChoice c;
        if (ParseDebugAnswer(line, c))
            return c;
    }
    return DebugChoice::Continue;
}
