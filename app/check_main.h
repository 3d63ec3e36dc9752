// --check FILE...: reads programs without running them and reports the findings.
#pragma once

// `files` are the program files as named on the command line (UTF-8). Each finding
// goes to standard error as "[注　意] FILE(N行目): MESSAGE" (or "[エラー] ...")
// with the working form on an indented line below. Returns the exit status: 0 when
// nothing was found, 1 when an error was, 3 when only warnings were, 2 without files.
// `console`: window-only commands are findings (the console runner refuses them).
int RunCheckCommand(int count, char** files, bool console);
