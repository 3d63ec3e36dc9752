#include "objects.h"

#include "pages.h"
#include "refdata.h"

const char* const kKindGroup = "GUI部品の種類";
const char* const kPropertyGroup = "プロパティとイベント";

namespace {

std::vector<std::string> SplitList(const std::string& text)
{
    const std::string sep = "、";
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(sep, start);
        if (end == std::string::npos)
            end = text.size();
        const std::string item = TrimSpaces(text.substr(start, end - start));
        if (!item.empty())
            out.push_back(item);
        start = end + sep.size();
    }
    return out;
}

// The event name without the remark in brackets ("クリックした時（…）").
std::string EventName(const std::string& item)
{
    const size_t bracket = item.find("（");
    return bracket == std::string::npos ? item : item.substr(0, bracket);
}

TObjectTable Build()
{
    TObjectTable t;
#define PORU_OBJECT_KIND(code, name, page, control, events, mainEvent, valueRead, valueSet)                            \
    t.kinds.push_back({code, name, page, control, SplitList(events), mainEvent, valueRead, valueSet});
#define PORU_PROPERTY(code, name, tag, kinds, read, set)                                                               \
    t.properties.push_back({code, name, tag, SplitList(kinds), read, set});
#define PORU_EVENT(slot, name, happens, variables) t.events.push_back({slot, name, happens, variables});
#include "interp/object_table.inc"
    return t;
}

const char* TagText(const std::string& tag)
{
    if (tag == "e")
        return "数値（型 e）";
    if (tag == "s")
        return "文字列（型 s）";
    if (tag == "-")
        return "文字列（型はそのまま）";
    return "読めない";
}

std::string KindsText(const TPropertyRow& p)
{
    if (p.kinds.size() == 1 && p.kinds[0] == "*")
        return "すべての種類";
    std::string s;
    for (const std::string& k : p.kinds)
        s += (s.empty() ? "" : "、") + k;
    return s;
}

std::string PropertyDescription(const TPropertyRow& p, const TEventRow* ev)
{
    if (ev)
        return "イベント: " + ev->happens + "ときに実行するラベルを決める。";
    // The first sentence of what reading gives, as the one line a list shows; the
    // rest is there for the full-text search.
    const size_t stop = p.read.find("。");
    const std::string first = stop == std::string::npos ? p.read : p.read.substr(0, stop + std::string("。").size());
    return "プロパティ（" + KindsText(p) + "）。" + first + "\n" + p.read + "\n" + p.set;
}

std::string EventLines(const TEventRow& ev, const std::string& indent)
{
    std::string s;
    s += indent + "起きるとき: " + ev.happens + "\n";
    s += indent + "ラベルの決め方: 「部品名の、" + ev.name +
         "は、ラベル名」（「」で囲んだプログラムも可。「``」で外す）\n";
    s += indent + "実行前に入る変数: " + ev.variables + "\n";
    return s;
}

std::string KindsWithEvent(const TObjectTable& t, const std::string& event)
{
    std::string s;
    for (const TObjectKindRow& k : t.kinds)
        for (const std::string& e : k.events)
            if (EventName(e) == event) {
                s += (s.empty() ? "" : "、") + k.name;
                break;
            }
    if (event == "ファイルドロップした時")
        return "ファイルドロップを1にした部品";
    return s;
}

std::string PropertyText(const TObjectTable& t, const TPropertyRow& p)
{
    const TEventRow* ev = t.Event(p.name);
    std::string s = p.name + "　〔" + kPropertyGroup + "・プロパティ番号 " + std::to_string(p.code) + "〕\n";
    s += "  書式: 部品名の、" + p.name +
         (p.tag.empty() ? "は、値" : "（読む） / 部品名の、" + p.name + "は、値（設定）") + "\n";
    s += "  読み取り: " + std::string(TagText(p.tag)) + "\n";
    s += "  種類: " + (ev ? KindsWithEvent(t, p.name) : KindsText(p)) + "\n";
    s += "\n";
    if (ev)
        s += "  " + PropertyDescription(p, ev) + "\n" + EventLines(*ev, "  ");
    s += "  読むと: " + p.read + "\n";
    s += "  設定すると: " + p.set + "\n";
    return s;
}

std::string KindText(const TObjectTable& t, const TObjectKindRow& k)
{
    std::string s = k.name + "　〔" + std::string(kKindGroup);
    if (k.code >= 0)
        s += "・種類番号 " + std::to_string(k.code);
    s += "〕\n";
    if (k.code >= 0 && k.name != "メニュー")
        s += "  作り方: (X,Y)に、名前を、" + k.name + "として、作成 ／ 名前" + k.name + "を、作る\n";
    s += "\n  " + k.control + "\n";
    s += "  部品名だけで読むと: " + k.valueRead + "\n";
    s += "  部品名に代入すると: " + k.valueSet + "\n";
    s += "\nプロパティ:\n";
    std::string line = " ";
    for (const TPropertyRow& p : t.properties)
        if (!t.Event(p.name) && t.Acts(p, k)) {
            if (line.size() > 60) {
                s += line + "\n";
                line = " ";
            }
            line += " " + p.name;
        }
    s += line + "\n";
    s += "イベント:\n";
    for (const std::string& e : k.events)
        s += "  " + e + "\n";
    s += "  ファイルドロップした時（ファイルドロップを1にしたとき）\n";
    if (!k.mainEvent.empty())
        s += "「イベント」を設定すると" + k.mainEvent + "にも設定されます。\n";
    s += "各プロパティの説明は porukana-cli --doc プロパティ名 で読めます。\n";
    return s;
}

std::string Cell(std::string s)
{
    std::string out;
    for (char c : s)
        out += c == '|' ? std::string("\\|") : std::string(1, c);
    return out;
}

const char* kGeneratedNote =
    "<!-- このページは src/interp/object_table.inc から自動生成されます。直接編集せず、表を直して"
    " make docs を実行してください。 -->\n";

std::string PropertyAnchor(const std::string& name)
{
    return "objects.md#" + AnchorOf(name);
}

std::string KindPage(const TObjectTable& t, const TObjectKindRow& k)
{
    std::string s = kGeneratedNote;
    s += "# " + k.name + "\n\n";
    s += "[GUI部品の一覧](objects.md)・[命令リファレンスの目次](index.md)\n\n";
    s += k.control + "\n\n";
    if (k.code >= 0 && k.name != "メニュー")
        s += "作り方: `(X,Y)に、名前を、" + k.name + "として、作成` または `名前" + k.name + "を、作る`\n\n";
    s += "- 部品名だけで読むと: " + k.valueRead + "\n";
    s += "- 部品名に代入すると: " + k.valueSet + "\n\n";
    s += "## プロパティ\n\n| プロパティ | 型 | 読むと | 設定すると |\n|---|---|---|---|\n";
    for (const TPropertyRow& p : t.properties)
        if (!t.Event(p.name) && t.Acts(p, k))
            s += "| [" + p.name + "](" + PropertyAnchor(p.name) + ") | " + TagText(p.tag) + " | " + Cell(p.read) +
                 " | " + Cell(p.set) + " |\n";
    s += "\n## イベント\n\n| イベント | 起きるとき | 実行前に入る変数 |\n|---|---|---|\n";
    std::vector<std::string> names;
    for (const std::string& e : k.events)
        names.push_back(e);
    names.push_back("ファイルドロップした時（ファイルドロップを1にしたとき）");
    for (const std::string& e : names)
        if (const TEventRow* ev = t.Event(EventName(e)))
            s += "| [" + e + "](" + PropertyAnchor(ev->name) + ") | " + Cell(ev->happens) + " | " +
                 Cell(ev->variables) + " |\n";
    if (!k.mainEvent.empty())
        s += "\n「イベント」を設定すると" + k.mainEvent + "にも設定されます。\n";
    return s;
}

std::string OverviewPage(const TObjectTable& t)
{
    std::string s = kGeneratedNote;
    s += "# GUI部品とプロパティ\n\n[命令リファレンスの目次](index.md)\n\n";
    s += "部品は `(X,Y)に、名前を、種類として、作成` か `名前種類を、作る` で作り、`部品名の、プロパティは、値` "
         "で設定し、"
         "`部品名の、プロパティ` で読みます。イベントのプロパティにラベル名を設定すると、そのことが起きたときにラベルが"
         "実行されます。端末では `porukana-cli --doc テキスト` のように一つずつ読めます。\n\n";
    s += "## 部品の種類\n\n| 種類 | 番号 | 説明 |\n|---|---|---|\n";
    for (const TObjectKindRow& k : t.kinds)
        s += "| [" + k.name + "](" + KindPageFile(k) + ") | " + (k.code >= 0 ? std::to_string(k.code) : "-") + " | " +
             Cell(k.control) + " |\n";
    s += "\n## プロパティ\n\n";
    for (const TPropertyRow& p : t.properties) {
        const TEventRow* ev = t.Event(p.name);
        s += "### " + p.name + "\n\n";
        s += "- プロパティ番号: " + std::to_string(p.code) + "\n";
        s += "- 読み取り: " + std::string(TagText(p.tag)) + "\n";
        s += "- 種類: " + (ev ? KindsWithEvent(t, p.name) : KindsText(p)) + "\n";
        if (ev) {
            s += "- 起きるとき: " + ev->happens + "\n";
            s += "- 実行前に入る変数: " + ev->variables + "\n";
        }
        s += "- 読むと: " + p.read + "\n";
        s += "- 設定すると: " + p.set + "\n\n";
    }
    while (s.size() > 1 && s[s.size() - 1] == '\n' && s[s.size() - 2] == '\n')
        s.pop_back();
    return s;
}

}   // namespace

const TObjectTable& TObjectTable::Get()
{
    static const TObjectTable table = Build();
    return table;
}

const TEventRow* TObjectTable::Event(const std::string& name) const
{
    for (const TEventRow& e : events)
        if (e.name == name)
            return &e;
    return nullptr;
}

bool TObjectTable::Acts(const TPropertyRow& p, const TObjectKindRow& k) const
{
    const std::string kind = k.code < 0 ? std::string("フォーム") : k.name;
    for (const std::string& name : p.kinds)
        if (name == "*" || name == kind)
            return true;
    return false;
}

std::vector<TObjectEntry> ObjectEntries(const TObjectTable& table)
{
    std::vector<TObjectEntry> out;
    for (const TObjectKindRow& k : table.kinds)
        out.push_back({{k.name}, kKindGroup, k.control, KindText(table, k)});
    for (const TPropertyRow& p : table.properties) {
        std::vector<std::string> names = {p.name};
        if (p.name == "マウス押した時")
            names.push_back("マウス押時");
        out.push_back({names, kPropertyGroup, PropertyDescription(p, table.Event(p.name)), PropertyText(table, p)});
    }
    return out;
}

std::string PropertyLink(const std::string& name)
{
    return PropertyAnchor(name);
}

std::string KindPageFile(const TObjectKindRow& kind)
{
    return "object-" + kind.page + ".md";
}

std::map<std::string, std::string> ObjectPages(const TObjectTable& table)
{
    std::map<std::string, std::string> pages;
    pages["objects.md"] = OverviewPage(table);
    for (const TObjectKindRow& k : table.kinds)
        pages[KindPageFile(k)] = KindPage(table, k);
    return pages;
}
