#include "commands/dialogs/dialog_lines.h"

#include <filesystem>
#include <system_error>

#include "commands/files/files.h"
#include "core/codec.h"
#include "core/text.h"
#include "interp/text_util.h"

namespace {

const char* const kEntryHint = "> ";

// "  1: A\n  2: B\n" (numbered) or "  A\n  B\n".
std::string ItemLines(const std::vector<std::string>& items, bool numbered)
{
    std::string out;
    for (size_t i = 0; i < items.size(); ++i) {
        out += "  ";
        if (numbered)
            out += std::to_string(i + 1) + ": ";
        out += items[i] + "\n";
    }
    return out;
}

std::string FilterNames(const std::vector<TDialogFilter>& filter)
{
    std::string out;
    for (const TDialogFilter& f : filter) {
        if (!out.empty())
            out += "、";
        out += f.Description;
    }
    return out;
}

bool Absolute(const std::string& name)
{
    return !name.empty() && (name[0] == '/' || name[0] == '\\');
}

}   // namespace

std::string PathFromCurrentFolder(const std::string& name)
{
    if (Absolute(name))
        return name;
    std::error_code ec;
    std::string folder = FromNativePath(std::filesystem::current_path(ec).string());
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder + name;
}

template <class F> bool TLineDialogs::Ask(const std::string& prompt, F accept)
{
    io_.Prompt(prompt + kEntryHint);
    std::string line;
    for (int attempt = 1; attempt <= kLineAttempts; ++attempt) {
        if (attempt > 1)
            io_.Prompt(kEntryHint);
        if (!io_.ReadLine(line))
            return false;
        if (accept(line))
            return true;
    }
    return false;
}

bool TLineDialogs::AskText(const std::string& message, std::string& answer)
{
    io_.Prompt(message + "\n" + kEntryHint);
    return io_.ReadLine(answer);
}

int TLineDialogs::AskQuestion(const std::string& message, bool withCancel)
{
    const int onEnd = withCancel ? 2 : 0;
    int result = onEnd;
    const std::string hint = withCancel ? "[はい/いいえ/キャンセル] " : "[はい/いいえ] ";
    io_.Prompt(message + "\n" + hint);
    std::string line;
    for (int attempt = 1; attempt <= kLineAttempts; ++attempt) {
        if (attempt > 1)
            io_.Prompt(hint);
        if (!io_.ReadLine(line))
            return onEnd;
        result = YesNoAnswer(line, withCancel);
        if (result >= 0)
            return result;
    }
    return onEnd;
}

bool TLineDialogs::ChooseFromList(const std::string& message, const std::vector<std::string>& items, bool editable,
                                  std::string& answer)
{
    if (editable) {
        io_.Prompt(message + "\n" + ItemLines(items, false) + kEntryHint);
        return io_.ReadLine(answer);
    }
    return ChooseButton(message, items, answer);
}

bool TLineDialogs::ChooseButton(const std::string& message, const std::vector<std::string>& choices,
                                std::string& answer)
{
    return Ask(message + "\n" + ItemLines(choices, true), [&](const std::string& line) {
        const int i = ChoiceAnswer(line, choices);
        if (i < 0)
            return false;
        answer = choices[static_cast<size_t>(i)];
        return true;
    });
}

void TLineDialogs::EditMemo(std::string& text)
{
    std::string prompt = "メモを入力してください（「.」だけの行で終わります）。\n";
    if (!text.empty())
        prompt += "初期値:\n" + text + (text.back() == '\n' ? "" : "\n");
    io_.Prompt(prompt);
    std::string line, joined;
    bool any = false;
    while (io_.ReadLine(line)) {
        if (line == ".") {
            any = true;
            break;
        }
        if (any)
            joined += "\r\n";
        joined += line;
        any = true;
    }
    if (any)
        text = joined;
}

bool TLineDialogs::ChooseColour(int32_t& colour)
{
    return Ask("色を入力してください（10進数か#RRGGBB）。\n",
               [&](const std::string& line) { return ColourAnswer(line, colour); });
}

bool TLineDialogs::ChooseFont(TFontChoice& font)
{
    return Ask("フォントを入力してください（書体|スタイル|サイズ）。\n",
               [&](const std::string& line) { return ParseFontChoice(line, font); });
}

bool TLineDialogs::ChooseOpenFile(const std::vector<TDialogFilter>& filter, std::string& file)
{
    io_.Prompt("読み込むファイルを入力してください（" + FilterNames(filter) + "）。\n" + kEntryHint);
    std::string line;
    if (!io_.ReadLine(line) || Trim(line).empty())
        return false;
    file = PathFromCurrentFolder(line);
    return true;
}

bool TLineDialogs::ChooseSaveFile(const std::vector<TDialogFilter>& filter, const std::string& defaultExt,
                                  std::string& file)
{
    io_.Prompt("書き込むファイルを入力してください（" + FilterNames(filter) + "）。\n" + kEntryHint);
    std::string line;
    if (!io_.ReadLine(line) || Trim(line).empty())
        return false;
    file = PathFromCurrentFolder(line);
    if (!defaultExt.empty() && PathExtPart(file).empty() && !file.empty() && file.back() != '/')
        file += "." + defaultExt;
    return true;
}

bool TLineDialogs::ChooseFolder(std::string& folder)
{
    io_.Prompt("フォルダを入力してください。\n" + std::string(kEntryHint));
    std::string line;
    if (!io_.ReadLine(line) || Trim(line).empty())
        return false;
    folder = PathFromCurrentFolder(line);
    if (EndsWithChar(folder, "\\"))
        folder.back() = '/';
    else if (folder.back() != '/')
        folder += '/';
    return true;
}
