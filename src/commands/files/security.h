// The security gate: every command that writes, deletes, renames or creates files
// asks it first. The level (0 low: allow all, 1 mid: allow inside the script's
// folder and ask otherwise, 2 high: refuse all) comes from the command line and the
// user's answers, and is overridden by "security.ini" in the script's folder, which
// is read again at every call.
//
// Containment is decided on canonical paths ("..", symbolic links and the deepest
// existing ancestor resolved), component by component and case-sensitively; a path
// with a wildcard always asks at the mid level; security.ini can never be written,
// whatever its letter case and whether named directly, through a symbolic or hard
// link, by a wildcard, or by a folder operation on the folder that holds it.
#pragma once
#include <functional>
#include <string>
#include <vector>

class TPoruBase;

enum class TGateAnswer { Yes, No, AllYes, AllNo };

// The four-button question ("はい", "いいえ", "全てはい", "全ていいえ"); closing the
// dialog answers No. Texts are Shift_JIS. The window host installs a button dialog;
// the default prompts on stderr and reads one line from stdin (end of input or an
// unreadable stdin refuses).
using TGateQuestion = std::function<TGateAnswer(TPoruBase& st, const std::string& text)>;
// The warning box shown when a script tries to touch security.ini.
using TGateWarning = std::function<void(TPoruBase& st, const std::string& caption, const std::string& text)>;

// Installs a host's dialogs; an empty function restores the console default.
void SetGateQuestion(TGateQuestion question);
void SetGateWarning(TGateWarning warning);

// Parses the console answer to the gate's question (Shift_JIS, trimmed first).
TGateAnswer ParseGateAnswer(const std::string& answer);

// Reads security.ini into st.SecurityLevel when it names the running script.
void ReadSecurityFile(TPoruBase& st);
// The level selected by a security.ini word: "H..." 2, "L..." 0, anything else 1.
int SecurityWordLevel(const std::string& word);

// True when the command may go on. `path` is the script-form path the command will
// touch (a relative path is taken from the current folder); `text` the confirmation
// text shown in the question.
bool SecurityGate(TPoruBase& st, const std::string& path, const std::string& text);
// The same for a command that touches several paths (rename, move, copy): every
// path is checked, the question is asked at most once.
bool SecurityGate(TPoruBase& st, const std::vector<std::string>& paths, const std::string& text);

// For commands that change something other than files (the registry, starting
// programs and opening addresses): the low level allows, the high level refuses,
// the mid level asks.
bool SecurityGateAsk(TPoruBase& st, const std::string& text);

// For commands that the gate does not govern inside the script's folder (copy,
// folder removal, shortcuts): the high level refuses; otherwise allows without a
// question when every path lies in the script's folder (no wildcard, not
// security.ini), else asks SecurityGate.
bool SecurityGateOutside(TPoruBase& st, const std::vector<std::string>& paths, const std::string& text);

// True when the canonical form of the native path lies in the script's folder or
// below it (the comparison the gate uses).
bool InsideScriptFolder(TPoruBase& st, const std::string& nativePath);
