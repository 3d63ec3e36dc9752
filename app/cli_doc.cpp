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

}   // namespace

int PrintReferenceEntry(const char* wordUtf8)
{
    const std::string word = wordUtf8 ? Trim(wordUtf8) : std::string();
    if (word.empty()) {
        WriteUtf8(stderr, SjisToUtf8("--doc には調べる単語を続けてください（例: porukana-cli --doc 表示）。\n"));
        return 2;
    }
    const std::vector<const TReferenceEntry*> found = FindReference(word);
    if (found.empty()) {
        std::string message = "「" + Utf8ToSjis(word) + "」は、命令・システム変数・定数のどれにもありません。\n";
        const std::vector<const TReferenceEntry*> near = FindReferenceContaining(word);
        if (!near.empty()) {
            message += "名前にこの語を含む単語:";
            for (size_t i = 0; i < near.size() && i < 12; ++i)
                message += " " + Utf8ToSjis(ReferenceNames(*near[i])[0]);
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
