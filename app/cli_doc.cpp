#include "cli_doc.h"

#include <cstdio>
#include <string>
#include <vector>

#include "core/codec.h"
#include "core/text.h"
#include "reference/reference.h"

namespace {

void WriteUtf8(std::FILE* f, const std::string& utf8)
{
    std::fwrite(utf8.data(), 1, utf8.size(), f);
}

// A literal of this file (Shift_JIS) as UTF-8.
std::string U(const char* sjis)
{
    return SjisToUtf8(sjis);
}

std::string FirstLine(const char* text)
{
    const std::string s = text;
    return s.substr(0, s.find('\n'));
}

// "HEADING（N件）:" and one line per entry: its heading and its description.
std::string List(const std::string& headingUtf8, const std::vector<const TReferenceEntry*>& entries)
{
    if (entries.empty())
        return std::string();
    std::string s = headingUtf8 + U("（") + std::to_string(entries.size()) + U("件）:\n");
    for (const TReferenceEntry* e : entries)
        s += "  " + ReferenceNames(*e)[0] + U("　…　") + FirstLine(e->description) + "\n";
    return s;
}

constexpr size_t kShortList = 12;

int PrintIndex()
{
    const std::vector<TReferenceGroup> groups = ReferenceGroups();
    size_t words = 0;
    for (const TReferenceGroup& g : groups)
        for (const TReferenceEntry* e : g.entries)
            words += ReferenceNames(*e).size();
    std::string s = U("ぽるかなのリファレンスの索引（") + std::to_string(groups.size()) + U("分類、") +
                    std::to_string(words) + U("語）。porukana-cli --doc 単語 で各項目を読めます。\n") +
                    U("名前を覚えていなくても、--doc 並べ替え、--doc csv のように探せます。\n");
    for (const TReferenceGroup& g : groups) {
        size_t n = 0;
        std::string line = " ";
        std::string body;
        for (const TReferenceEntry* e : g.entries)
            for (const std::string& name : ReferenceNames(*e)) {
                ++n;
                if (line.size() > 70) {
                    body += line + "\n";
                    line = " ";
                }
                line += " " + name;
            }
        body += line + "\n";
        s += "\n" + U("■ ") + g.title + U("（") + std::to_string(n) + U("語）\n") + body;
    }
    WriteUtf8(stdout, s);
    std::fflush(stdout);
    return 0;
}

}   // namespace

int PrintReferenceEntry(const char* wordUtf8, bool all)
{
    const std::string word = wordUtf8 ? Trim(wordUtf8) : std::string();
    if (word.empty())
        return PrintIndex();
    const TReferenceSearch found = SearchReference(word);
    const std::string quoted = U("「") + word + U("」");
    // Beside an entry the word names, a long list of descriptions that mention it is
    // only counted; --all lists it.
    std::string described = List(U("説明に") + quoted + U("が出てくる単語"), found.described);
    if (!found.exact.empty() && !all && found.described.size() > kShortList)
        described = U("説明に") + quoted + U("が出てくる単語は") + std::to_string(found.described.size()) +
                    U("件あります（すべて見るには porukana-cli --doc ") + word + U(" --all）。\n");
    std::string lists = List(U("名前に") + quoted + U("を含む単語"), found.named) + described +
                        List(quoted + U("の関連語"), found.synonyms);
    if (found.Count() == 0) {
        WriteUtf8(stderr, quoted + U("は、命令・システム変数・定数・GUI部品・プロパティのどれにもなく、") +
                              U("名前にも説明にも出てきません。\n") + U("porukana-cli --doc で索引を見られます。\n"));
        return 2;
    }
    std::string s;
    if (!found.exact.empty()) {
        for (size_t i = 0; i < found.exact.size(); ++i)
            s += (i ? "\n" : "") + std::string(found.exact[i]->text);
        if (!lists.empty())
            s += "\n" + U("ほかに見つかった単語:\n") + lists;
    } else if (found.Count() == 1) {
        const TReferenceEntry* only = !found.named.empty()       ? found.named[0]
                                      : !found.described.empty() ? found.described[0]
                                                                 : found.synonyms[0];
        s = only->text;
    } else {
        s = quoted + U("という名前の単語はありません。見つかった単語は") + std::to_string(found.Count()) +
            U("件です（porukana-cli --doc 単語 で詳しく読めます）。\n") + lists;
    }
    WriteUtf8(stdout, s);
    std::fflush(stdout);
    return 0;
}
