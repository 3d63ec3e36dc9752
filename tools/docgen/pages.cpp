#include "pages.h"

#include <algorithm>
#include <cstdio>

#include "objects.h"

namespace {

const char* kGeneratedNote = "<!-- このページは docs/reference/data/ から自動生成されます。直接編集せず、データを直して"
                             " make docs を実行してください。 -->\n";

std::string KindName(const TWordRow& row)
{
    switch (row.kind) {
    case TWordRow::Command:
        return "命令";
    case TWordRow::Variable:
        return "システム変数";
    case TWordRow::Constant:
        return "定数";
    }
    return "";
}

// The first registry row of an entry (its kind, family and id).
const TWordRow* MainRow(const TEntry& e, const TDataFile& file, const TRegistry& registry)
{
    for (const std::string& name : e.names)
        for (const TWordRow* row : registry.Rows(name))
            if (DataStemOf(*row) == file.stem)
                return row;
    return nullptr;
}

std::string InitialValue(const TWordRow& row)
{
    if (row.computed)
        return "実行時に決まる";
    if (row.value.empty())
        return "空";
    return row.value;
}

std::string Indented(const std::string& text, const std::string& indent)
{
    std::string s;
    for (const std::string& line : SplitLines(text))
        s += line.empty() ? "\n" : indent + line + "\n";
    return s;
}

void Fence(std::string& s, const std::string& info, const std::string& body)
{
    s += "```" + info + "\n";
    if (!body.empty())
        s += body + "\n";
    s += "```\n\n";
}

// One line per name: "書式" and its usage, or "種類" and the kind with the initial value.
struct TUsageLine {
    std::string label, text;
    bool code;   // shown as code in the pages
};

std::vector<TUsageLine> UsageLines(const TEntry& e, const TDataFile& file, const TRegistry& registry)
{
    std::vector<TUsageLine> lines;
    for (const std::string& name : e.names)
        for (const TWordRow* row : registry.Rows(name)) {
            if (DataStemOf(*row) != file.stem)
                continue;
            if (row->kind == TWordRow::Command)
                lines.push_back({"書式", UsageOf(*row), true});
            else
                lines.push_back({"種類", KindName(*row) + "（初期値: " + InitialValue(*row) + "）", false});
        }
    return lines;
}

// Under an output that ends with blank lines (a command that gives lines ends its
// result with a line break, and 表示 adds one more).
std::string BlankLinesNote(const TSample& s)
{
    return s.outBlankLines == 1 ? std::string("（出力の最後は空行です）")
                                : "（出力の最後に空行が" + std::to_string(s.outBlankLines) + "行続きます）";
}

std::string SampleHeading(const TSample& s)
{
    return s.window ? "例（窓で実行。出力は、言うのメッセージとダイアログの内容）" : "例";
}

std::string InputHeading(const TSample& s)
{
    return s.window ? "ダイアログへの答え" : "入力";
}

std::string FamilyPage(const TDataFile& file, const TRegistry& registry)
{
    std::string s = kGeneratedNote;
    s += "# " + file.title + "\n\n";
    if (!file.intro.empty())
        s += file.intro + "\n\n";
    s += "[命令リファレンスの目次](index.md)\n\n";
    for (const TEntry& e : file.entries) {
        if (e.names.empty())
            continue;
        s += "## " + e.names[0] + "\n\n";
        const TWordRow* row = MainRow(e, file, registry);
        for (const TUsageLine& u : UsageLines(e, file, registry))
            s += "- " + u.label + ": " + (u.code ? "`" + u.text + "`" : u.text) + "\n";
        if (row && row->kind == TWordRow::Command)
            s += "- 命令番号: " + std::to_string(row->id) + "\n";
        s += "\n" + e.description + "\n\n";
        if (!e.note.empty())
            s += e.note + "\n\n";
        for (const TSample& sm : e.samples) {
            s += SampleHeading(sm) + ":\n\n";
            Fence(s, "prk", sm.code);
            if (!sm.input.empty()) {
                s += InputHeading(sm) + ":\n\n";
                Fence(s, "", sm.input);
            }
            s += "出力:\n\n";
            Fence(s, "", OutputWithBlankLines(sm));
            if (sm.outBlankLines > 0)
                s += BlankLinesNote(sm) + "\n\n";
            if (!sm.err.empty()) {
                s += "標準エラー:\n\n";
                Fence(s, "", sm.err);
            }
            if (sm.exitCode != 0)
                s += "終了コード: " + std::to_string(sm.exitCode) + "\n\n";
        }
    }
    while (s.size() > 1 && s[s.size() - 1] == '\n' && s[s.size() - 2] == '\n')
        s.pop_back();
    return s;
}

std::string IndexPage(const std::vector<TDataFile>& files, const TRegistry& registry)
{
    size_t commands = 0, variables = 0, constants = 0;
    std::vector<int> ids;
    for (const TWordRow& row : registry.rows) {
        if (row.kind == TWordRow::Command) {
            ++commands;
            ids.push_back(row.id);
        } else if (row.kind == TWordRow::Variable) {
            ++variables;
        } else {
            ++constants;
        }
    }
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());

    std::string s = kGeneratedNote;
    s += "# 命令リファレンス\n\n";
    s += "ぽるかなの組み込み命令 " + std::to_string(commands) + " 語（" + std::to_string(ids.size()) +
         " 種類の命令）、システム変数 " + std::to_string(variables) + " 語、定数 " + std::to_string(constants) +
         " 語の一覧です。各項目の例はテストで実際に実行され、示した出力と照合されています。"
         "端末では `porukana-cli --doc 単語` で同じ項目を読めます。言語そのものの説明は"
         "[言語ガイド](../guide.md)にあります。\n\n";
    s += "| 分類 | 語数 | 語 |\n|---|---|---|\n";
    // Families in the table's order, then the system words.
    std::vector<const TDataFile*> ordered;
    for (const std::string& family : registry.families)
        for (const TDataFile& f : files)
            if (f.stem == family)
                ordered.push_back(&f);
    for (const TDataFile& f : files)
        if (std::find(ordered.begin(), ordered.end(), &f) == ordered.end())
            ordered.push_back(&f);
    for (const TDataFile* f : ordered) {
        size_t words = 0;
        std::string links;
        for (const TEntry& e : f->entries) {
            words += e.names.size();
            for (const std::string& name : e.names)
                links += std::string(links.empty() ? "" : "、") + "[" + name + "](" + PageFileName(f->stem) + "#" +
                         AnchorOf(e.names[0]) + ")";
        }
        s += "| [" + f->title + "](" + PageFileName(f->stem) + ") | " + std::to_string(words) + " | " + links + " |\n";
    }
    // The GUI objects: their kinds, then their properties and events.
    const TObjectTable& objects = TObjectTable::Get();
    std::string kinds, props;
    for (const TObjectKindRow& k : objects.kinds)
        kinds += std::string(kinds.empty() ? "" : "、") + "[" + k.name + "](" + KindPageFile(k) + ")";
    for (const TPropertyRow& p : objects.properties)
        props += std::string(props.empty() ? "" : "、") + "[" + p.name + "](" + PropertyLink(p.name) + ")";
    s += "| [" + std::string(kKindGroup) + "](objects.md) | " + std::to_string(objects.kinds.size()) + " | " + kinds +
         " |\n";
    s += "| [" + std::string(kPropertyGroup) + "](objects.md) | " + std::to_string(objects.properties.size()) + " | " +
         props + " |\n";
    return s;
}

}   // namespace

std::string PageFileName(const std::string& stem)
{
    std::string s = stem;
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s + ".md";
}

std::string UsageOf(const TWordRow& row)
{
    if (row.argSpec.empty())
        return row.name;
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= row.argSpec.size()) {
        size_t end = row.argSpec.find(',', start);
        if (end == std::string::npos)
            end = row.argSpec.size();
        parts.push_back(TrimSpaces(row.argSpec.substr(start, end - start)));
        start = end + 1;
    }
    const bool bare = std::all_of(parts.begin(), parts.end(), [](const std::string& p) { return p == "?"; });
    std::string s;
    if (bare) {
        s = row.name + "(";
        for (size_t i = 0; i < parts.size(); ++i)
            s += (i ? "," : "") + parts[i];
        return s + ")";
    }
    for (const std::string& p : parts)
        s += p + "、";
    return s + row.name;
}

std::string AnchorOf(const std::string& heading)
{
    std::string a;
    for (char c : heading) {
        const auto u = static_cast<unsigned char>(c);
        if (c >= 'A' && c <= 'Z')
            a += static_cast<char>(c - 'A' + 'a');
        else if (c == ' ')
            a += '-';
        else if (u >= 0x80 || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_')
            a += c;
    }
    return a;
}

std::map<std::string, std::string> MarkdownPages(const std::vector<TDataFile>& files, const TRegistry& registry)
{
    std::map<std::string, std::string> pages;
    for (const TDataFile& f : files)
        pages[PageFileName(f.stem)] = FamilyPage(f, registry);
    pages["index.md"] = IndexPage(files, registry);
    for (auto& [name, text] : ObjectPages(TObjectTable::Get()))
        pages[name] = text;
    return pages;
}

std::string TerminalText(const TEntry& e, const TDataFile& file, const TRegistry& registry)
{
    std::string s;
    const TWordRow* row = MainRow(e, file, registry);
    s += e.names[0] + "　〔" + file.title;
    if (row && row->kind == TWordRow::Command)
        s += "・命令番号 " + std::to_string(row->id);
    s += "〕\n";
    for (const TUsageLine& u : UsageLines(e, file, registry))
        s += "  " + u.label + ": " + u.text + "\n";
    s += "\n" + Indented(e.description, "  ");
    if (!e.note.empty())
        s += Indented(e.note, "  ");
    for (const TSample& sm : e.samples) {
        s += "\n" + SampleHeading(sm) + ":\n" + Indented(sm.code, "  ");
        if (!sm.input.empty())
            s += InputHeading(sm) + ":\n" + Indented(sm.input, "  ");
        s += "出力:\n" + Indented(sm.out, "  ") + std::string(static_cast<size_t>(sm.outBlankLines), '\n');
        if (sm.outBlankLines > 0)
            s += BlankLinesNote(sm) + "\n";
        if (!sm.err.empty())
            s += "標準エラー:\n" + Indented(sm.err, "  ");
        if (sm.exitCode != 0)
            s += "終了コード: " + std::to_string(sm.exitCode) + "\n";
    }
    return s;
}

namespace {

std::string CLiteral(const std::string& text)
{
    std::string s = "\"";
    size_t column = 0;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\n') {
            s += "\\n\"\n    \"";
            column = 0;
            continue;
        }
        if (u < 0x20 || u >= 0x7F || c == '\\' || c == '"' || c == '?') {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\%03o", u);
            s += buf;
        } else {
            s += c;
        }
        if (++column > 100) {
            s += "\"\n    \"";
            column = 0;
        }
    }
    return s + "\"";
}

}   // namespace

std::string EmbedSource(const std::vector<TDataFile>& files, const TRegistry& registry,
                        const std::vector<std::pair<std::string, std::string>>& synonyms)
{
    std::string s = "// Generated from docs/reference/data and src/interp/object_table.inc by porukana-docgen;\n"
                    "// do not edit. PORU_REFERENCE_ENTRY(names separated by line breaks, the entry as the\n"
                    "// terminal shows it, its group, its description); PORU_REFERENCE_SYNONYM(word, names\n"
                    "// separated by line breaks). UTF-8.\n";
    for (const TDataFile& f : files)
        for (const TEntry& e : f.entries) {
            if (e.names.empty())
                continue;
            std::string names;
            for (const std::string& n : e.names)
                names += (names.empty() ? "" : "\n") + n;
            s += "PORU_REFERENCE_ENTRY(" + CLiteral(names) + ",\n    " + CLiteral(TerminalText(e, f, registry)) +
                 ",\n    " + CLiteral(f.title) + ", " +
                 CLiteral(e.description + (e.note.empty() ? "" : "\n" + e.note)) + ")\n";
        }
    for (const TObjectEntry& e : ObjectEntries(TObjectTable::Get())) {
        std::string names;
        for (const std::string& n : e.names)
            names += (names.empty() ? "" : "\n") + n;
        s += "PORU_REFERENCE_ENTRY(" + CLiteral(names) + ",\n    " + CLiteral(e.text) + ",\n    " + CLiteral(e.group) +
             ", " + CLiteral(e.description) + ")\n";
    }
    for (const auto& [word, names] : synonyms)
        s += "PORU_REFERENCE_SYNONYM(" + CLiteral(word) + ", " + CLiteral(names) + ")\n";
    return s;
}

std::vector<std::pair<std::string, std::string>> ReadSynonyms(const std::string& path, std::vector<std::string>& errors)
{
    std::vector<std::pair<std::string, std::string>> out;
    bool ok = false;
    const std::string text = ReadWholeFile(path, ok);
    if (!ok)
        return out;
    int number = 0;
    for (const std::string& line : SplitLines(text)) {
        ++number;
        if (line.empty() || line[0] == '#')
            continue;
        const size_t tab = line.find('\t');
        if (tab == std::string::npos || TrimSpaces(line.substr(0, tab)).empty()) {
            errors.push_back(path + ":" + std::to_string(number) + ": not WORD<TAB>NAME NAME...");
            continue;
        }
        std::string names;
        std::string rest = line.substr(tab + 1);
        size_t start = 0;
        while (start < rest.size()) {
            size_t end = rest.find(' ', start);
            if (end == std::string::npos)
                end = rest.size();
            const std::string name = TrimSpaces(rest.substr(start, end - start));
            if (!name.empty())
                names += (names.empty() ? "" : "\n") + name;
            start = end + 1;
        }
        out.emplace_back(TrimSpaces(line.substr(0, tab)), names);
    }
    return out;
}
