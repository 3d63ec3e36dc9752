#include "refdata.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

std::string ReadWholeFile(const std::string& path, bool& ok)
{
    std::ifstream in(path, std::ios::binary);
    ok = static_cast<bool>(in);
    std::ostringstream s;
    if (ok)
        s << in.rdbuf();
    return s.str();
}

bool WriteWholeFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

std::string JoinLines(const std::vector<std::string>& lines, size_t first, size_t last)
{
    std::string s;
    for (size_t i = first; i < last && i < lines.size(); ++i) {
        s += lines[i];
        s += '\n';
    }
    return TrimTrailingNewlines(std::move(s));
}

std::string TrimTrailingNewlines(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

std::string TrimSpaces(const std::string& s)
{
    size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos)
        return std::string();
    size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

std::string OutputHeader(int blankLines)
{
    return blankLines > 0 ? "出力 最後に空行" + std::to_string(blankLines) : std::string("出力");
}

std::string OutputWithBlankLines(const TSample& s)
{
    return s.out + std::string(static_cast<size_t>(s.outBlankLines), '\n');
}

namespace {

bool StartsWith(const std::string& s, const std::string& prefix)
{
    return s.compare(0, prefix.size(), prefix) == 0;
}

std::string Where(const std::string& path, size_t index)
{
    return path + ":" + std::to_string(index + 1) + ": ";
}

// The names of an entry header "== A / B".
std::vector<std::string> HeaderNames(const std::string& rest)
{
    std::vector<std::string> names;
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find(" / ", start);
        if (end == std::string::npos)
            end = rest.size();
        std::string name = TrimSpaces(rest.substr(start, end - start));
        if (!name.empty())
            names.push_back(name);
        start = end + 3;
    }
    return names;
}

bool ParseExitCode(const std::string& text, int& code)
{
    std::string t = TrimSpaces(text);
    if (t.empty() || t.size() > 3 || !std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    code = std::stoi(t);
    return true;
}

}   // namespace

TDataFile ReadDataFile(const std::string& path, std::vector<std::string>& errors)
{
    TDataFile data;
    data.path = path;
    data.stem = fs::path(path).stem().string();
    bool ok = false;
    const std::string text = ReadWholeFile(path, ok);
    if (!ok) {
        errors.push_back(path + ": cannot be read");
        return data;
    }
    const std::vector<std::string> lines = SplitLines(text);
    size_t i = 0;
    while (i < lines.size() && TrimSpaces(lines[i]).empty())
        ++i;
    if (i >= lines.size() || !StartsWith(lines[i], "= ")) {
        errors.push_back(Where(path, i) + "the file must start with \"= TITLE\"");
        return data;
    }
    data.title = TrimSpaces(lines[i].substr(2));
    size_t introStart = ++i;
    while (i < lines.size() && !StartsWith(lines[i], "== "))
        ++i;
    data.intro = JoinLines(lines, introStart, i);
    while (!data.intro.empty() && data.intro.front() == '\n')
        data.intro.erase(0, 1);

    while (i < lines.size()) {
        // lines[i] is an entry header.
        TEntry entry;
        entry.file = path;
        entry.line = static_cast<int>(i + 1);
        entry.names = HeaderNames(lines[i].substr(3));
        if (entry.names.empty())
            errors.push_back(Where(path, i) + "an entry without a name");
        ++i;
        // The description: the lines up to the first block or the next entry.
        size_t descStart = i;
        while (i < lines.size() && !StartsWith(lines[i], "--- ") && !StartsWith(lines[i], "== "))
            ++i;
        std::vector<std::string> desc;
        for (size_t k = descStart; k < i; ++k)
            if (!TrimSpaces(lines[k]).empty())
                desc.push_back(TrimSpaces(lines[k]));
        if (desc.size() == 1)
            entry.description = desc[0];
        else if (desc.size() > 1)
            errors.push_back(Where(path, descStart) + "the description of \"" +
                             (entry.names.empty() ? "" : entry.names[0]) + "\" must be one line");
        // The blocks.
        TSample* sample = nullptr;
        while (i < lines.size() && StartsWith(lines[i], "--- ")) {
            const std::string kind = TrimSpaces(lines[i].substr(4));
            const size_t headerLine = i;
            size_t first = ++i;
            while (i < lines.size() && !StartsWith(lines[i], "--- ") && !StartsWith(lines[i], "== "))
                ++i;
            const std::string body = JoinLines(lines, first, i);
            if (kind == "補足") {
                entry.note = body;
            } else if (kind == "例" || kind == "例 窓") {
                entry.samples.emplace_back();
                sample = &entry.samples.back();
                sample->code = body;
                sample->window = kind == "例 窓";
                sample->file = path;
                sample->line = static_cast<int>(headerLine + 2);
                if (body.empty())
                    errors.push_back(Where(path, headerLine) + "an empty sample");
            } else if (!sample) {
                errors.push_back(Where(path, headerLine) + "\"--- " + kind + "\" before any sample");
            } else if (kind == "入力") {
                sample->input = body;
            } else if (kind == "出力" || StartsWith(kind, "出力 最後に空行")) {
                sample->out = body;
                const std::string n = kind == "出力" ? "0" : kind.substr(std::string("出力 最後に空行").size());
                if (!ParseExitCode(n, sample->outBlankLines) || (kind != "出力" && sample->outBlankLines == 0))
                    errors.push_back(Where(path, headerLine) + "\"--- 出力 最後に空行N\" needs a number N above 0");
            } else if (kind == "標準エラー") {
                sample->err = body;
            } else if (kind == "終了コード") {
                if (!ParseExitCode(body, sample->exitCode))
                    errors.push_back(Where(path, headerLine) + "the exit status must be a number");
            } else {
                errors.push_back(Where(path, headerLine) + "unknown block \"--- " + kind + "\"");
            }
        }
        data.entries.push_back(std::move(entry));
        if (i < lines.size() && !StartsWith(lines[i], "== ")) {
            errors.push_back(Where(path, i) + "unexpected line");
            ++i;
        }
    }
    return data;
}

std::string WriteDataFile(const TDataFile& data)
{
    std::string s = "= " + data.title + "\n";
    if (!data.intro.empty())
        s += data.intro + "\n";
    auto block = [&s](const std::string& kind, const std::string& body) {
        s += "--- " + kind + "\n";
        if (!body.empty())
            s += body + "\n";
    };
    for (const TEntry& e : data.entries) {
        s += "\n== ";
        for (size_t k = 0; k < e.names.size(); ++k)
            s += (k ? " / " : "") + e.names[k];
        s += "\n" + e.description + "\n";
        if (!e.note.empty())
            block("補足", e.note);
        for (const TSample& sm : e.samples) {
            block(sm.window ? "例 窓" : "例", sm.code);
            if (!sm.input.empty())
                block("入力", sm.input);
            block(OutputHeader(sm.outBlankLines), sm.out);
            if (!sm.err.empty())
                block("標準エラー", sm.err);
            if (sm.exitCode != 0)
                block("終了コード", std::to_string(sm.exitCode));
        }
    }
    return s;
}

std::vector<TDataFile> ReadDataFolder(const std::string& dir, std::vector<std::string>& errors)
{
    std::vector<std::string> paths;
    std::error_code ec;
    for (const auto& de : fs::directory_iterator(dir, ec))
        if (de.path().extension() == ".txt")
            paths.push_back(de.path().string());
    if (ec)
        errors.push_back(dir + ": cannot be listed");
    std::sort(paths.begin(), paths.end());
    std::vector<TDataFile> files;
    for (const std::string& p : paths)
        files.push_back(ReadDataFile(p, errors));
    return files;
}

std::vector<TSample> ReadGuideSamples(const std::string& path, std::vector<std::string>& errors)
{
    std::vector<TSample> samples;
    bool ok = false;
    const std::vector<std::string> lines = SplitLines(ReadWholeFile(path, ok));
    if (!ok) {
        errors.push_back(path + ": cannot be read");
        return samples;
    }
    TSample* last = nullptr;
    bool outSeen = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!StartsWith(lines[i], "```") || lines[i] == "```")
            continue;
        const std::string info = TrimSpaces(lines[i].substr(3));
        const size_t open = i;
        size_t close = i + 1;
        while (close < lines.size() && lines[close] != "```")
            ++close;
        if (close >= lines.size()) {
            errors.push_back(Where(path, open) + "an unclosed code block");
            break;
        }
        const std::string body = JoinLines(lines, open + 1, close);
        if (info == "prk" || info == "prk 窓") {
            if (last && !outSeen)
                errors.push_back(Where(path, last->line - 2) + "a program without a \"```出力\" block");
            samples.emplace_back();
            last = &samples.back();
            outSeen = false;
            last->code = body;
            last->window = info == "prk 窓";
            last->file = path;
            last->line = static_cast<int>(open + 2);
        } else if (info == "出力" || info == "入力" || info == "標準エラー" || info == "終了コード") {
            if (!last) {
                errors.push_back(Where(path, open) + "\"```" + info + "\" before any program");
            } else if (info == "出力") {
                last->out = body;
                // Blank lines at the end of the block are part of what is shown.
                for (size_t k = close; k > open + 1 && lines[k - 1].empty() && !body.empty(); --k)
                    ++last->outBlankLines;
                last->outFirst = static_cast<int>(open + 1);
                last->outLast = static_cast<int>(close);
                outSeen = true;
            } else if (info == "入力") {
                last->input = body;
            } else if (info == "標準エラー") {
                last->err = body;
            } else if (!ParseExitCode(body, last->exitCode)) {
                errors.push_back(Where(path, open) + "the exit status must be a number");
            }
        }
        i = close;
    }
    if (last && !outSeen)
        errors.push_back(Where(path, last->line - 2) + "a program without a \"```出力\" block");
    return samples;
}
