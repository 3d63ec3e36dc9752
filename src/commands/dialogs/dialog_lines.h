// The dialogs as a line protocol, for runs without a person at a window: the
// console host asks on standard error and reads standard input; the window host
// reads scripted answers from a file the same way. Every dialog writes its prompt and
// reads one line; the end of the input cancels (二択 answers いいえ). The forms of the
// answers are described in the README.
#pragma once
#include <string>
#include <vector>

#include "commands/dialogs/dialogs.h"
#include "interp/line_io.h"

class TLineDialogs {
public:
    explicit TLineDialogs(TLineIo& io) : io_(io) {}

    // The line is the entry.
    bool AskText(const std::string& message, std::string& answer);
    // 1 yes, 0 no, 2 cancel (withCancel); the end of the input: 0, or 2 with cancel.
    int AskQuestion(const std::string& message, bool withCancel);
    // editable: the line is the answer. Otherwise a line equal to an item, or an
    // item's number from 1, chooses it.
    bool ChooseFromList(const std::string& message, const std::vector<std::string>& items, bool editable,
                        std::string& answer);
    bool ChooseButton(const std::string& message, const std::vector<std::string>& choices, std::string& answer);
    // Lines up to one holding only "." or the end of the input, joined with CR LF;
    // the end of the input before any line keeps `text`.
    void EditMemo(std::string& text);
    bool ChooseColour(int32_t& colour);
    bool ChooseFont(TFontChoice& font);
    // A name is taken from the current folder unless it is absolute; an empty line
    // cancels. The save dialog appends the default extension to a name without one.
    bool ChooseOpenFile(const std::vector<TDialogFilter>& filter, std::string& file);
    bool ChooseSaveFile(const std::vector<TDialogFilter>& filter, const std::string& defaultExt, std::string& file);
    // The folder, with "/" appended when missing.
    bool ChooseFolder(std::string& folder);

private:
    // Reads until `accept` takes a line, at most kLineAttempts times; false when
    // none was taken or the input ended.
    template <class F> bool Ask(const std::string& prompt, F accept);

    TLineIo& io_;
};

// A script path for an answered name: absolute names as they are, others below the
// current folder.
std::string PathFromCurrentFolder(const std::string& name);
