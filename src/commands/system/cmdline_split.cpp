#include "commands/system/cmdline_split.h"

#include "core/sjis.h"
#include "core/text.h"

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

}   // namespace

std::vector<std::string> SplitCommandLine(std::string_view line)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;   // a word has started (possibly an empty quoted one)
    bool quoted = false;
    size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (!quoted && IsBlank(c)) {
            if (inWord) {
                words.push_back(std::move(word));
                word.clear();
                inWord = false;
            }
            ++i;
            continue;
        }
        inWord = true;
        if (c == '\\') {
            size_t n = 0;
            while (i < line.size() && line[i] == '\\') {
                ++n;
                ++i;
            }
            if (i < line.size() && line[i] == '"') {
                word.append(n / 2, '\\');
                if (n % 2 == 1) {
                    word += '"';
                    ++i;
                }
                // with an even count the quote is handled by the next round
            } else {
                word.append(n, '\\');
            }
            continue;
        }
        if (c == '"') {
            if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                word += '"';   // "" inside quotes
                i += 2;
                continue;
            }
            quoted = !quoted;
            ++i;
            continue;
        }
        const size_t len = CharLenAt(line, i);
        word.append(line.substr(i, len));
        i += len;
    }
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

TCommandParts SplitAtFirstSpace(std::string_view line)
{
    bool quoted = false;
    size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == '"')
            quoted = !quoted;
        else if (c == ' ' && !quoted)
            break;
        i += CharLenAt(line, i);
    }
    TCommandParts parts;
    parts.Program = std::string(line.substr(0, i));
    if (i < line.size())
        parts.Params = Trim(line.substr(i + 1));
    return parts;
}

TCommandParts SplitQuotedProgram(std::string_view line)
{
    TCommandParts parts;
    if (!line.empty() && line[0] == '"') {
        size_t i = 1;
        while (i < line.size() && line[i] != '"')
            i += CharLenAt(line, i);
        parts.Program = std::string(line.substr(1, i - 1));
        if (i < line.size())
            parts.Params = Trim(line.substr(i + 1));
        return parts;
    }
    size_t i = 0;
    while (i < line.size() && line[i] != ' ')
        i += CharLenAt(line, i);
    parts.Program = std::string(line.substr(0, i));
    if (i < line.size())
        parts.Params = Trim(line.substr(i + 1));
    return parts;
}

std::string StripQuotes(std::string_view program)
{
    std::string out;
    for (size_t i = 0; i < program.size();) {
        const size_t len = CharLenAt(program, i);
        if (!(len == 1 && program[i] == '"'))
            out.append(program.substr(i, len));
        i += len;
    }
    return out;
}
