// The option record and the option-text reader.
#include "archive/options.h"

#include <cstring>
#include "core/text.h"

const char* const kSwitchNames[swCount] = {
    "a",   "c",   "e",   "f",   "h",   "i",   "l",   "m",   "n",   "o",  "p",   "r",   "s",   "t",   "u",
    "x",   "y",   "z",   "jc",  "jd",  "je",  "jf",  "jh",  "ji",  "jm", "jn",  "jp",  "jr",  "jsb", "jsc",
    "jsd", "jse", "jsf", "jsl", "jso", "jss", "jst", "jsv", "jsz", "jw", "jyc", "jyd", "jyk", "jyn", "jyo",
    "ga",  "gd",  "ge",  "gf",  "gj",  "gm",  "gn",  "go",  "gp",  "gs", "gu",  "gw",
};

TArchiverOptions::TArchiverOptions()
{
    std::memset(Sw, -1, sizeof Sw);
}

bool FindSwitch(const std::string& name, TSwitch& out)
{
    for (int i = 0; i < swCount; ++i) {
        if (name == kSwitchNames[i]) {
            out = static_cast<TSwitch>(i);
            return true;
        }
    }
    return false;
}

void ParseArchiveOptions(const std::string& text, TArchiverOptions& o)
{
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(' ', start);
        if (end == std::string::npos)
            end = text.size();
        std::string piece = TrimSpacesAndBreaks(text.substr(start, end - start));
        start = end + 1;
        if (piece.empty())
            continue;
        if (piece[0] == '-')
            piece.erase(0, 1);
        if (piece.empty())
            continue;
        const char v = piece.back();
        if (v < '0' || v > '9')
            continue;
        TSwitch sw;
        if (FindSwitch(piece.substr(0, piece.size() - 1), sw))
            o[sw] = static_cast<int8_t>(v - '0');
    }
}

ESfxNoRequiredFile::ESfxNoRequiredFile(std::string format, std::string file, std::string kind)
    : EArchiver(format + "の自己解凍書庫を作るための" + kind + "\"" + file + "\"が見つかりません。"),
      Format(std::move(format)), File(std::move(file)), Kind(std::move(kind))
{
}
