#include "gui/dialog_answers.h"

#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "core/codec.h"

namespace {

bool gInteractive = false;

struct TAnswerSource {
    bool opened = false;
    std::unique_ptr<std::ifstream> file;
};

TAnswerSource& Source()
{
    static TAnswerSource source;
    if (!source.opened) {
        source.opened = true;
        const char* path = std::getenv("PORUKANA_DIALOG_ANSWERS");
        if (path && *path)
            source.file = std::make_unique<std::ifstream>(path);
    }
    return source;
}

bool HeadlessPlatform()
{
    const QString name = QGuiApplication::platformName();
    return name == QLatin1String("offscreen") || name == QLatin1String("minimal");
}

}   // namespace

bool DialogsScripted()
{
    if (gInteractive)
        return false;
    const char* path = std::getenv("PORUKANA_DIALOG_ANSWERS");
    return (path && *path) || HeadlessPlatform();
}

bool NextDialogLine(std::string& line)
{
    TAnswerSource& source = Source();
    if (!source.file || !std::getline(*source.file, line))
        return false;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

std::string NextDialogAnswer()
{
    std::string line;
    if (!NextDialogLine(line))
        return std::string();
    size_t a = line.find_first_not_of(" \t\r\n");
    size_t b = line.find_last_not_of(" \t\r\n");
    return a == std::string::npos ? std::string() : line.substr(a, b - a + 1);
}

void RecordDialog(const std::string& captionUtf8, const std::string& textSjis, const std::string& answer)
{
    std::string text = SjisToUtf8(textSjis);
    std::erase(text, '\r');
    std::fprintf(stderr, "[%s]\n%s\n", captionUtf8.c_str(), text.c_str());
    if (!answer.empty())
        std::fprintf(stderr, "-> %s\n", answer.c_str());
    std::fflush(stderr);
}

void SetInteractiveDialogs(bool on)
{
    gInteractive = on;
}

void ResetDialogAnswers()
{
    TAnswerSource& source = Source();
    source.file.reset();
    source.opened = false;
}
