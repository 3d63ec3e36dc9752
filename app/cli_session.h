// porukana-cli without a program file: a program given on the command line (-e TEXT),
// read from standard input (-), or typed line by line at an interactive prompt.
#pragma once
#include <string>
#include <vector>

class TPoruBase;
class TConsoleHost;

// Where the program of the run comes from.
struct TInlineProgram {
    enum Kind { None, Text, Stdin, Interactive } kind = None;
    std::string text;   // -e: the program (UTF-8 as typed)
    // The arguments before "-e TEXT" or "-" (the run-time's options); the ones after
    // them are the program's parameters.
    std::vector<char*> options, parameters;
};

// Finds "-e TEXT" or "-" among the arguments after the options, or, with no program
// file, --interactive or a terminal on standard input and output. `args[0]` is the
// executable. Returns false (and leaves `out.kind` None) when a file is to be run.
bool FindInlineProgram(const std::vector<char*>& args, bool haveTerminal, TInlineProgram& out);

// Loads the program of -e or - into the state after the start-up read the options:
// its text (the encoding detected, or as -sjis / -utf8 say), its name for messages
// ("コマンドライン" or "標準入力"), the parameters. Returns false and a message
// (Shift_JIS) when standard input cannot be read or decoded.
bool LoadInlineProgram(TPoruBase& st, TInlineProgram& program, std::string& sjisMessage);

// The interactive prompt: reads lines from standard input until its end or 終わり,
// running each line in one state so that variables, labels and functions stay. A line
// that begins with "*" (a label) starts a definition that lasts to the next empty line;
// "?WORD" or "--doc WORD" prints the reference. Errors are reported and the session
// goes on.
void RunInteractive(TPoruBase& st, TConsoleHost& host);
