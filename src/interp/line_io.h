// A line conversation with a person without a window: the dialogs and the debug
// question are asked this way on the console and from scripted answer files.
#pragma once
#include <string>

// Where the prompts go and the answers come from. Texts are Shift_JIS.
class TLineIo {
public:
    virtual ~TLineIo() = default;
    // Shows a prompt (it ends where the answer is typed).
    virtual void Prompt(const std::string& text) = 0;
    // The next answer line without its line end; false at the end of the input.
    virtual bool ReadLine(std::string& line) = 0;
};

// A choice that was not understood is asked for again, this many reads in all.
constexpr int kLineAttempts = 3;
