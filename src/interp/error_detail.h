// Detail lines: a second, indented line under an error whose message alone leaves
// the cause open (a file that is not there and the folders searched, a division by
// zero, a word read as a condition word, a label called in a form it cannot take).
// The message itself stays as it is; the detail goes into the accumulated error
// text only, so the console writes it under the message and the error dialog
// shows it.
#pragma once
#include <string>
#include <vector>

class TPoruBase;

// A label without 関数定義 called with arguments: they stay on the stack, and the
// first sentence of the label fails on them far from the call.
struct TWrongFormCall {
    std::string Label;
    std::string File;   // the calling file's name part
    int Line = 0;       // and line
    std::string FirstEntry;
};

void NoteWrongFormCall(TPoruBase& st, const std::string& label, const std::vector<std::string>& entries);

// The detail for a message being recorded; empty when there is none.
std::string ErrorDetail(TPoruBase& st, const std::string& message);
