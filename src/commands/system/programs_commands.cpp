// Starting programs and opening documents: 起動, 起動して終了まで待機 and
// エクスプローラーで開く. A command line is taken apart here (cmdline_split.h) and the
// program started with an argument vector; script text never reaches a shell. A
// program is started directly when the program part names an executable (a path,
// a file found by the read-path search, or a name on $PATH); anything else (a
// document, folder, URL or mail address) goes to the desktop's opener. A script
// (".prk") is run by a new copy of this run-time.
#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#include "commands/files/files.h"
#include "commands/files/security.h"
#include "commands/system/cmdline_split.h"
#include "commands/system/process_spawn.h"
#include "commands/system/system.h"
#include "core/codec.h"
#include "core/hash.h"
#include "core/text.h"
#include "interp/builtins.h"
#include "interp/host.h"
#include "interp/interp.h"
#include "loader/container.h"
#include "loader/container_temp.h"

namespace {

constexpr int kWaitSliceMs = 100;

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != prefix[i])
            return false;
    }
    return true;
}

bool IsAddress(std::string_view text)
{
    return StartsWithIgnoringCase(text, "HTTP://") || StartsWithIgnoringCase(text, "HTTPS://") ||
           StartsWithIgnoringCase(text, "MAILTO:");
}

bool Exists(const std::string& native)
{
    struct stat sb {};
    return !native.empty() && stat(native.c_str(), &sb) == 0;
}

bool IsScript(const std::string& program)
{
    return LowerAscii(PathExtPart(program)) == ".prk";
}

std::vector<std::string> NativeWords(const std::string& params)
{
    std::vector<std::string> words;
    for (const std::string& w : SplitCommandLine(params))
        words.push_back(SjisToUtf8(w));
    return words;
}

// The run-time's own executable (native).
std::string RuntimeExecutable(TPoruBase& st)
{
    if (!st.ExePath.empty())
        return ToNativePath(st.ExePath);
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

// The executable a program part names, native; "" when it names none. A name
// without a folder is looked for by the read-path search first (the current and
// the script's folder among others), then on $PATH.
std::string ExecutableFor(TPoruBase& st, const std::string& program)
{
    if (program.empty())
        return std::string();
    const std::string native = ToNativePath(program);
    if (LastPathSeparator(program) == std::string::npos) {
        const std::string found = ToNativePath(FindReadPath(st, program));
        if (found.find('/') != std::string::npos && IsExecutableFile(found))
            return found;
        return FindExecutable(native);
    }
    return IsExecutableFile(native) ? native : std::string();
}

// Starting a program asks the gate with its path (one inside the script's folder
// starts without a question at the mid level); an address always asks.
std::string StartQuestion(const std::string& shown)
{
    return "\"" + shown + "\"を起動します。よろしいですか？";
}

bool AskToStart(TPoruBase& st, const std::string& path, const std::string& shown)
{
    return SecurityGate(st, path, StartQuestion(shown));
}

bool AskToOpenAddress(TPoruBase& st, const std::string& address)
{
    return SecurityGateAsk(st, StartQuestion(address));
}

// The argument vector of a new run-time for `script` (Shift_JIS, resolved). When
// this run-time is a stand-alone program (it carries a container), "-run" comes
// first: the copy would otherwise run its own packed script again instead of the
// one it was given, and start itself without end.
std::vector<std::string> RuntimeArgs(TPoruBase& st, const std::string& script)
{
    const std::string exe = RuntimeExecutable(st);
    uint64_t offset = 0, size = 0;
    if (LocateAppendedAt(exe, offset, size) && size > 0)
        return {exe, "-run", ToNativePath(script)};
    return {exe, ToNativePath(script)};
}

// The shell's "open" action: an executable is started with the parameters, any
// other target (a document, folder or address) is handed to the desktop.
pid_t OpenTarget(TPoruBase& st, const std::string& target, const std::string& params, bool detached)
{
    if (IsAddress(target)) {
        if (!AskToOpenAddress(st, target))
            return -1;
        return OpenWithDesktop(SjisToUtf8(target), detached);
    }
    const std::string exe = ExecutableFor(st, target);
    if (!AskToStart(st, exe.empty() ? target : FromNativePath(exe), Trim(target + " " + params)))
        return -1;
    if (exe.empty())
        return OpenWithDesktop(ToNativePath(target), detached);
    std::vector<std::string> argv{exe};
    for (std::string& w : NativeWords(params))
        argv.push_back(std::move(w));
    return SpawnProgram(exe, argv, detached);
}

// Waits for a child, letting events run, until it ends or the run stops; a child
// left behind by a stopping run is handed to the reaper.
void WaitForChild(TPoruBase& st, pid_t pid)
{
    if (pid <= 0)
        return;
    while (!ChildHasEnded(pid)) {
        if (st.Stopping) {
            ReapWhenEnded(pid);
            return;
        }
        if (st.Host)
            st.Host->WaitMs(st, kWaitSliceMs);
        else
            usleep(kWaitSliceMs * 1000);
    }
}

// A command line after the packed-file extraction: the whole text, or else its
// program part, may name a file packed into the program, which is then extracted
// and started from its temporary copy.
struct TStartLine {
    TCommandParts Parts;   // the program without quotes
    bool Packed = false;   // the program is an extracted entry
};

TStartLine ExtractStartLine(TPoruBase& st, const std::string& given, TCommandParts (*split)(std::string_view))
{
    TStartLine line;
    const std::string whole = ExtractPacked(st, given);
    if (whole != given) {
        line.Parts.Program = whole;   // a path that may hold spaces: no parameters
        line.Packed = true;
        return line;
    }
    line.Parts = split(given);
    line.Parts.Program = StripQuotes(line.Parts.Program);
    const std::string program = ExtractPacked(st, line.Parts.Program);
    line.Packed = program != line.Parts.Program;
    line.Parts.Program = program;
    return line;
}

// Starts a new run-time for a script. A script packed into the program is the
// program's own and starts without the gate's question; with `container` the
// run's container goes with it (as "-resource", copied to a temporary file).
pid_t StartScript(TPoruBase& st, const TStartLine& line, bool container, bool detached)
{
    const std::string script = FindReadPath(st, line.Parts.Program);
    if (!line.Packed && !AskToStart(st, script, script))
        return -1;
    std::vector<std::string> argv = RuntimeArgs(st, script);
    TPackedState& packed = st.Ext<TPackedState>();
    if (container && packed.Reader) {
        const std::string dir = PrivateTempDir();
        if (!dir.empty() && packed.Reader->CopyContainer(dir + "TMP.TMP")) {
            argv.push_back("-resource");
            argv.push_back(dir + "TMP.TMP");
        }
    }
    for (std::string& w : NativeWords(line.Parts.Params))
        argv.push_back(std::move(w));
    return SpawnProgram(argv[0], argv, detached);
}

}   // namespace

void StartCommandLine(TPoruBase& st, const std::string& given)
{
    const TStartLine line = ExtractStartLine(st, given, SplitAtFirstSpace);
    if (IsScript(line.Parts.Program)) {
        StartScript(st, line, line.Packed || st.FromContainer, true);
        return;
    }
    if (!line.Packed && (IsAddress(given) || Exists(ToNativePath(given)))) {
        OpenTarget(st, given, std::string(), true);
        return;
    }
    OpenTarget(st, line.Parts.Program, line.Parts.Params, true);
}

namespace {

// 起動: a program with its parameters, a script in a new run-time, or a document,
// folder or address opened by the desktop. Failures are not reported.
void cmdStart(TPoruBase& st)
{
    StartCommandLine(st, Trim(st.PopText()));
}

// 起動して終了まで待機: starts the program (or a script in a new run-time) and
// returns when it has ended; events of the script run meanwhile.
void cmdStartAndWait(TPoruBase& st)
{
    const TStartLine line = ExtractStartLine(st, Trim(st.PopText()), SplitQuotedProgram);
    if (IsScript(line.Parts.Program)) {
        WaitForChild(st, StartScript(st, line, false, false));
        return;
    }
    WaitForChild(st, OpenTarget(st, line.Parts.Program, line.Parts.Params, false));
}

// エクスプローラーで開く: web and mail addresses are opened, anything else is shown
// in the file manager.
void cmdExplore(TPoruBase& st)
{
    const std::string text = Trim(st.PopText());
    if (text.empty())
        return;
    const bool address =
        text.rfind("http://", 0) == 0 || text.rfind("https://", 0) == 0 || text.find("mailto:") != std::string::npos;
    if (!(address ? AskToOpenAddress(st, text) : AskToStart(st, text, text)))
        return;
    OpenWithDesktop(address ? SjisToUtf8(text) : ToNativePath(text), true);
}

HandlerRegistrar reg({{Cmd::Start, cmdStart}, {Cmd::StartAndWait, cmdStartAndWait}, {Cmd::Explore, cmdExplore}});

}   // namespace
