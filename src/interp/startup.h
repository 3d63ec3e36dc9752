// Start-up shared by both executables: decides where the program comes from (a
// container appended to the executable, then the command line, then the default
// start file beside the executable), reads the options, opens the resource
// container and loads the script text into the interpreter state.
#pragma once
#include <string>
#include <vector>

#include "loader/script_encoding.h"

class TPoruBase;

struct TStartResult {
    bool HasProgram = false;      // st.Source holds the program to run
    std::string MessageText;      // show in a plain message box (start file unreadable)
    std::string WarningCaption;   // show in a warning box ("-runtime" file broken) ...
    std::string WarningText;
    std::string ErrorText;   // ... or as an interpreter error (container failures)
    int ExitCode() const { return HasProgram ? 0 : 2; }
};

// Where start-up found things; kept in the state as st.Ext<TStartInfo>().
struct TStartInfo {
    std::string MainFolder;   // folder of the main program file (Shift_JIS, ends in "/")
};

// `params` are the command-line parameters in Shift_JIS, parameter 0 being the
// executable as started; `exePath` the running executable's full path (Shift_JIS).
// Fills st.Params, ExePath, FileName, Source, RuntimeMode, FromContainer,
// DefaultStart, DebugMode, LineStop, SecurityLevel and the resource container, and
// moves into the start file's folder. Never throws.
TStartResult PrepareStart(TPoruBase& st, const std::vector<std::string>& params, const std::string& exePath);

// The same from main()'s arguments (UTF-8), the executable taken from
// /proc/self/exe.
TStartResult PrepareStartFromArgv(TPoruBase& st, int argc, char** argv);

// Takes the program from the container appended to a file: false when the first
// parameter is "-run", when the file carries no container, or when the container
// has no entry "porukana.prk". Raises EPoru ("ファイルの展開に失敗しました。" and the
// cause) when a container is there but cannot be read.
bool LoadFromContainer(TPoruBase& st, const std::string& sjisFile);

// The default start file: the executable's path with its extension replaced by
// ".prk", or ".prk" appended when it has none (Shift_JIS).
std::string DefaultStartFile(const std::string& exePath);

// The lines of a script file joined with CR LF after every line.
std::string JoinScriptLines(const std::string& bytes);

// The encoding chosen on the command line for every script file of the run
// (the start file, packed scripts and included files).
TScriptEncoding RunScriptEncoding(TPoruBase& st);
void SetRunScriptEncoding(TPoruBase& st, TScriptEncoding encoding);
