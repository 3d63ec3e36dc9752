#include "cli_doc.h"

#include <cstdio>
#include <string>
#include <vector>

#include "core/codec.h"
#include "core/hash.h"
#include "core/text.h"

namespace {

struct TDocEntry {
    const char* names;   // UTF-8, separated by line breaks
    const char* text;    // UTF-8, as the terminal shows it
};

const TDocEntry kEntries[] = {
#include "reference_entries.inc"
};

std::vector<std::string> NamesOf(const TDocEntry& e)
{
    std::vector<std::string> names;
    std::string s = e.names;
    size_t start = 0;
    while (start <= s.size()) {
        size_t end = s.find('\n', start);
        if (end == std::string::npos)
            end = s.size();
        names.push_back(s.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

// The entries one test finds, each once.
template <typename Match> std::vector<const TDocEntry*> Find(Match match)
{
    std::vector<const TDocEntry*> found;
    for (const TDocEntry& e : kEntries)
        for (const std::string& name : NamesOf(e))
            if (match(name)) {
                found.push_back(&e);
                break;
            }
    return found;
}

void WriteUtf8(std::FILE* f, const std::string& utf8)
{
    std::fwrite(utf8.data(), 1, utf8.size(), f);
}

}   // namespace

int PrintReferenceEntry(const char* wordUtf8)
{
    const std::string word = wordUtf8 ? Trim(wordUtf8) : std::string();
    if (word.empty()) {
        WriteUtf8(stderr, SjisToUtf8("--doc には調べる単語を続けてください（例: porukana-cli --doc 表示）。\n"));
        return 2;
    }
    const std::string folded = FoldOkurigana(Utf8ToSjis(word));
    std::vector<const TDocEntry*> found = Find([&](const std::string& name) { return name == word; });
    if (found.empty())
        found = Find([&](const std::string& name) { return FoldOkurigana(Utf8ToSjis(name)) == folded; });
    if (found.empty())
        found = Find([&](const std::string& name) { return LowerAscii(name) == LowerAscii(word); });
    if (found.empty()) {
        std::string message = "「" + Utf8ToSjis(word) + "」は、命令・システム変数・定数のどれにもありません。\n";
        std::vector<const TDocEntry*> near =
            Find([&](const std::string& name) { return name.find(word) != std::string::npos; });
        if (!near.empty()) {
            message += "名前にこの語を含む単語:";
            for (size_t i = 0; i < near.size() && i < 12; ++i)
                message += " " + Utf8ToSjis(NamesOf(*near[i])[0]);
            message += "\n";
        }
        WriteUtf8(stderr, SjisToUtf8(message));
        return 2;
    }
    for (size_t i = 0; i < found.size(); ++i) {
        if (i)
            WriteUtf8(stdout, "\n");
        WriteUtf8(stdout, found[i]->text);
    }
    std::fflush(stdout);
    return 0;
}
