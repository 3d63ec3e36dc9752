// Dictionaries: a variable turned into a nested word table (kind 6, tag "hs") and
// the listing of its keys.
#include "commands/tables/csv_table.h"
#include "interp/builtins.h"

namespace {

std::string PopName(TPoruBase& st)
{
    std::string name = st.PopRaw();
    if (name.size() >= 2 && name.front() == '`' && name.back() == '`')
        name = name.substr(1, name.size() - 2);
    return name;
}

// ハッシュキー列挙, 辞書項目列挙: the keys of a dictionary in its own order, or the
// names before "=" of a name=value text, one per line.
void cmdHashKeys(TPoruBase& st)
{
    std::string name = PopName(st);
    THashNode* n = st.Words.FindExact(name);
    if (!n)
        st.Error("オブジェクト\"" + name + "\"は、作成されていません。");
    std::string out;
    if (n->Kind == wkHash) {
        if (THash* t = n->Table())
            for (THashNode* item : t->Nodes()) {
                out += item->Name;
                out += "\r\n";
            }
    } else {
        for (std::string_view line : SplitLineViews(n->Value)) {
            size_t eq = line.find('=');
            if (eq != std::string_view::npos)
                out.append(line.substr(0, eq));
            out += "\r\n";
        }
    }
    st.SetSore(std::move(out), "s");
}

// 辞書として扱う: the variable (created when missing) becomes a dictionary filled
// from its name=value lines.
void cmdMakeDictionary(TPoruBase& st)
{
    THashNode* n = st.PopWord(true);
    if (n->Reserved)
        st.Error("オブジェクト\"" + n->Name + "\"は、既に存在するので、作成できません。");
    if (n->Kind == wkVariable) {
        auto* table = new THash;
        table->LoadPairs(n->Value);
        n->SetTable(table);
    } else if (n->Kind != wkHash) {
        st.Error("\"" + n->Name + "\"は、文法が正しくないため、実行できません。変更できません！");
    }
    n->TypeText = "hs";
}

HandlerRegistrar
    reg({{Cmd::HashKeys, cmdHashKeys}, {Cmd::DictionaryItems, cmdHashKeys}, {Cmd::MakeDictionary, cmdMakeDictionary}});

}   // namespace
