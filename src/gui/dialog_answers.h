// Scripted dialog answers for runs without a person at the screen.
//
// When the environment variable PORUKANA_DIALOG_ANSWERS names a file, every dialog
// that asks something takes its answer from the next line of that file instead of
// opening, and writes what it would have shown to stderr. At the end of the file the
// answer is empty, which each dialog reads as cancel (the error dialog: stop).
// Without the variable, on a platform that cannot show windows to anyone
// (offscreen, minimal), dialogs behave as at the end of the file, so such runs never
// wait for a click that cannot come.
#pragma once
#include <string>

// True when dialogs must not open (answers file given, or a headless platform).
bool DialogsScripted();

// The next answer line (UTF-8, without its line break, trimmed); empty at the end of
// the file or when no file is given.
std::string NextDialogAnswer();

// The next answer line as it stands (UTF-8, without its line end); false at the end
// of the file or when no file is given. The dialogs of the commands read their
// answers this way (an empty line is an empty answer, not the end).
bool NextDialogLine(std::string& line);

// Writes the caption and the text (Shift_JIS) of a dialog that was not shown to
// stderr, followed by the answer taken, if any.
void RecordDialog(const std::string& captionUtf8, const std::string& textSjis, const std::string& answer);

// Tests that drive the real dialogs offscreen switch the scripting off (true) and on
// again (false); the answers file and the platform decide otherwise.
void SetInteractiveDialogs(bool on);

// Forgets the open answers file, so that the next call reads the variable again
// (tests change it between cases).
void ResetDialogAnswers();
