// Registration of the built-in words and the handler table. Every row comes from
// builtins_table.inc; this file turns the rows into word-table nodes at the start of
// every run and computes the values that depend on the machine and the command line.
#include "interp/builtins.h"

#include <sys/utsname.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "core/codec.h"
#include "interp/host.h"

namespace fs = std::filesystem;

namespace {

const CommandRow kCommandRows[] = {
#define PORU_COMMAND(family, symbol, id, name, argSpec) {id, Family::family, name, argSpec, #symbol},
#define PORU_ALIAS(family, symbol, name, argSpec)                                                                      \
    {static_cast<int>(Cmd::symbol), Family::family, name, argSpec, #symbol},
#include "interp/builtins_table.inc"
};

const SystemWordRow kSystemWordRows[] = {
#define PORU_VARIABLE(name, value, description, computed) {false, name, value, description, Computed::computed},
#define PORU_CONSTANT(name, value, description, computed) {true, name, value, description, Computed::computed},
#include "interp/builtins_table.inc"
};

const char* const kFamilyNames[] = {
    "Include", "RunLoop",  "Functions",  "Errors",  "Dll",    "Control", "Strings",    "Numbers", "Files",
    "Tables",  "Patterns", "Encodings",  "Dialogs", "System", "Office",  "GuiObjects", "Window",  "Drawing",
    "Events",  "Media",    "Properties", "Tcp",     "Net",    "Archive", "Debug",
};
static_assert(sizeof(kFamilyNames) / sizeof(kFamilyNames[0]) == size_t(Family::Debug) + 1);

// The handler of every id. Function-local so that registrars in other files may run
// before or after this file's own static initialisation.
Handler* HandlerSlots()
{
    static Handler slots[kMaxCommandId + 1] = {};
    return slots;
}

// ---- paths ----

// A native folder path as a script value: Shift_JIS, ending in "/".
std::string FolderValue(const fs::path& folder)
{
    std::string s = folder.string();
    if (s.empty() || s.back() != '/')
        s += '/';
    return FromNativePath(s);
}

std::string Env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

fs::path HomeDir()
{
    std::string home = Env("HOME");
    if (home.empty()) {
        if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
            home = pw->pw_dir;
    }
    return home.empty() ? fs::path("/") : fs::path(home);
}

// An XDG base directory: the variable when it holds an absolute path, else the
// default below the home folder.
fs::path XdgBase(const char* variable, const char* homeRelative)
{
    std::string v = Env(variable);
    if (!v.empty() && v[0] == '/')
        return fs::path(v);
    return HomeDir() / homeRelative;
}

// A user folder (desktop, documents): $XDG_<key>_DIR, then the line of
// user-dirs.dirs in the configuration folder, then ~/<fallback>.
fs::path UserDir(const std::string& key, const char* fallback)
{
    const std::string variable = "XDG_" + key + "_DIR";
    std::string v = Env(variable.c_str());
    if (!v.empty() && v[0] == '/')
        return fs::path(v);
    std::ifstream in(XdgBase("XDG_CONFIG_HOME", ".config") / "user-dirs.dirs");
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, variable.size() + 1, variable + "=") != 0)
            continue;
        std::string value = line.substr(variable.size() + 1);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.compare(0, 5, "$HOME") == 0)
            return fs::path(HomeDir().string() + value.substr(5));
        if (!value.empty() && value[0] == '/')
            return fs::path(value);
    }
    return HomeDir() / fallback;
}

// The executable as a native path; parameter 0 when the host did not record it.
fs::path ExecutableNative(const TPoruBase& st)
{
    if (!st.ExePath.empty())
        return fs::path(ToNativePath(st.ExePath));
    if (!st.Params.empty())
        return fs::path(ToNativePath(st.Params[0]));
    return fs::path();
}

// The command-line parameter at `index`; parameter 0 is the executable's full path.
std::string Parameter(const TPoruBase& st, size_t index)
{
    if (index == 0 && !st.ExePath.empty())
        return st.ExePath;
    return index < st.Params.size() ? st.Params[index] : std::string();
}

size_t ParameterCount(const TPoruBase& st)
{
    return std::max(st.Params.size(), st.ExePath.empty() ? size_t(0) : size_t(1));
}

// The absolute native form of a script path given in Shift_JIS. A relative path is
// taken from the current folder; start-up may already have moved into the script's
// folder, so when the joined path does not exist but the bare name does, that wins.
fs::path AbsoluteScriptPath(const std::string& sjisPath)
{
    std::error_code ec;
    fs::path cwd = fs::current_path(ec);
    if (sjisPath.empty())
        return cwd / "";
    fs::path p(ToNativePath(sjisPath));
    if (p.is_relative()) {
        fs::path joined = cwd / p;
        if (!fs::exists(joined, ec) && p.has_parent_path() && fs::exists(cwd / p.filename(), ec))
            joined = cwd / p.filename();
        p = joined;
    }
    return p.lexically_normal();
}

std::string OsText()
{
    utsname u{};
    if (uname(&u) != 0)
        return std::string();
    return std::string(u.sysname) + " " + u.release + " " + u.machine;
}

}   // namespace

const CommandRow* CommandRows(size_t& count)
{
    count = sizeof(kCommandRows) / sizeof(kCommandRows[0]);
    return kCommandRows;
}

const SystemWordRow* SystemWordRows(size_t& count)
{
    count = sizeof(kSystemWordRows) / sizeof(kSystemWordRows[0]);
    return kSystemWordRows;
}

const char* CommandNameOfId(int id)
{
    for (const CommandRow& row : kCommandRows)
        if (row.id == id)
            return row.name;
    return nullptr;
}

std::string RunningCommandName(const TPoruBase& st)
{
    if (!st.CurrentCommand)
        return std::string();
    // The row of the alias the script used, else the first row of the id.
    const char* first = nullptr;
    for (const CommandRow& row : kCommandRows) {
        if (row.id != st.CurrentCommand->Id)
            continue;
        if (FoldOkurigana(row.name) == st.CurrentCommand->Name)
            return row.name;
        if (!first)
            first = row.name;
    }
    return first ? first : st.CurrentCommand->Name;
}

const char* FamilyName(Family f)
{
    size_t i = static_cast<size_t>(f);
    return i < sizeof(kFamilyNames) / sizeof(kFamilyNames[0]) ? kFamilyNames[i] : "";
}

bool IsWindowFamily(Family f)
{
    switch (f) {
    case Family::GuiObjects:
    case Family::Window:
    case Family::Drawing:
    case Family::Events:
    case Family::Media:
    case Family::Properties:
        return true;
    default:
        return false;
    }
}

bool FamilyOfId(int id, Family& out)
{
    struct IdFamilies {
        Family family[kMaxCommandId + 1] = {};
        bool used[kMaxCommandId + 1] = {};
        IdFamilies()
        {
            for (const CommandRow& row : kCommandRows) {
                if (!used[row.id]) {
                    used[row.id] = true;
                    family[row.id] = row.family;
                }
            }
        }
    };
    static const IdFamilies table;
    if (id < 0 || id > kMaxCommandId || !table.used[id])
        return false;
    out = table.family[id];
    return true;
}

Handler GetHandler(int id)
{
    if (id < 0 || id > kMaxCommandId)
        return nullptr;
    return HandlerSlots()[id];
}

Handler GetHandler(Cmd command)
{
    return GetHandler(static_cast<int>(command));
}

void SetHandler(Cmd command, Handler h)
{
    const int id = static_cast<int>(command);
    if (id < 0 || id > kMaxCommandId)
        throw std::out_of_range("command id out of range: " + std::to_string(id));
    HandlerSlots()[id] = h;
}

HandlerRegistrar::HandlerRegistrar(std::initializer_list<std::pair<Cmd, Handler>> entries)
{
    for (const auto& [command, h] : entries)
        SetHandler(command, h);
}

// ---- registration ----

THashNode* RegisterCommand(TPoruBase& st, const char* name, const char* argSpec, int id)
{
    // The table takes the node, also when it refuses it (and then raises).
    auto* node =
        new THashNode(FoldOkurigana(name), argSpec, std::string(), std::string(), id, wkCommand, nullptr, true);
    st.Words.Add(node);
    return node;
}

static THashNode* AddSystemWord(TPoruBase& st, const char* name, std::string value, const char* description,
                                bool reserved)
{
    auto* node = new THashNode(name, std::string(), std::move(value), description, -1, wkVariable, nullptr, reserved);
    st.Words.Add(node);
    return node;
}

THashNode* RegisterVariable(TPoruBase& st, const char* name, std::string value, const char* description)
{
    return AddSystemWord(st, name, std::move(value), description, false);
}

THashNode* RegisterConstant(TPoruBase& st, const char* name, std::string value, const char* description)
{
    return AddSystemWord(st, name, std::move(value), description, true);
}

std::string CommandLineText(TPoruBase& st)
{
    // The script's parameter: the one start-up took the script from, so that options
    // before it (-security low, -debug, -run) are neither the script nor its first
    // argument. Without that record: the executable itself for the default start
    // file; after "-runtime" and its argument in runtime mode; after the executable
    // for a plain run; the executable again for a program packed into it.
    size_t position = 0;
    if (st.ScriptParam >= 0 && !st.DefaultStart)
        position = static_cast<size_t>(st.ScriptParam);
    else if (!st.DefaultStart)
        position = (st.RuntimeMode ? 2 : 0) + (st.FromContainer ? 0 : 1);

    const size_t count = ParameterCount(st);
    std::string text;
    for (size_t i = position; i < count; ++i) {
        if (i > position)
            text += "\r\n";
        text += Parameter(st, i);
    }

    fs::path script = AbsoluteScriptPath(Parameter(st, position));
    st.ScriptPath = position < count ? FromNativePath(script.string()) : std::string();
    st.StartFolder = FolderValue(script.parent_path());
    return text;
}

std::string RuntimeDataFolder(const TPoruBase& st)
{
    fs::path exe = ExecutableNative(st);
    if (exe.empty() || !exe.has_parent_path())
        return FolderValue("/usr/share/porukana");
    fs::path bin = exe.lexically_normal().parent_path();
    fs::path prefix = bin.has_parent_path() && bin != bin.root_path() ? bin.parent_path() : bin;
    return FolderValue(prefix / "share" / "porukana");
}

std::string ComputedValue(TPoruBase& st, Computed c)
{
    switch (c) {
    case Computed::Plain:
        return std::string();
    case Computed::CommandLine:
        return CommandLineText(st);
    case Computed::ScriptFolder:
        if (st.StartFolder.empty())
            CommandLineText(st);
        return st.StartFolder;
    case Computed::RuntimeFolder: {
        fs::path exe = ExecutableNative(st);
        if (exe.empty())
            return std::string();
        std::error_code ec;
        if (exe.is_relative())
            exe = fs::current_path(ec) / exe;
        return FolderValue(exe.lexically_normal().parent_path());
    }
    case Computed::DesktopFolder:
        return FolderValue(UserDir("DESKTOP", "Desktop"));
    case Computed::TrashFolder:
        // The freedesktop trash of the home volume; files put there are its "files".
        return FolderValue(XdgBase("XDG_DATA_HOME", ".local/share") / "Trash" / "files");
    case Computed::DocumentsFolder:
        return FolderValue(UserDir("DOCUMENTS", "Documents"));
    case Computed::StartMenuFolder:
        // Desktop entries of the user's application menu.
        return FolderValue(XdgBase("XDG_DATA_HOME", ".local/share") / "applications");
    case Computed::StartupFolder:
        // Desktop entries started at login.
        return FolderValue(XdgBase("XDG_CONFIG_HOME", ".config") / "autostart");
    case Computed::SendToFolder:
        // Linux desktops have no send-to menu; the user's application entries are
        // the closest thing a script could place a launcher in.
        return FolderValue(XdgBase("XDG_DATA_HOME", ".local/share") / "applications");
    case Computed::WindowsFolder:
    case Computed::SystemFolder:
        return RuntimeDataFolder(st);
    case Computed::TempFolder: {
        std::string tmp = Env("TMPDIR");
        return FolderValue(!tmp.empty() && tmp[0] == '/' ? fs::path(tmp) : fs::path("/tmp"));
    }
    case Computed::FavouritesFolder:
        // No shared favourites folder exists; the user's data folder holds what
        // applications keep for the user.
        return FolderValue(XdgBase("XDG_DATA_HOME", ".local/share"));
    case Computed::OsName:
        return OsText();
    case Computed::ScreenWidth:
        return std::to_string(st.Host ? st.Host->ScreenWidth() : 0);
    case Computed::ScreenHeight:
        return std::to_string(st.Host ? st.Host->ScreenHeight() : 0);
    }
    return std::string();
}

void RegisterBuiltins(TPoruBase& st)
{
    for (const CommandRow& row : kCommandRows)
        RegisterCommand(st, row.name, row.argSpec, row.id);

    // The script's path and folder are needed by several rows; take them once.
    st.StartFolder.clear();
    const std::string commandLine = CommandLineText(st);
    for (const SystemWordRow& row : kSystemWordRows) {
        std::string value;
        if (row.computed == Computed::CommandLine)
            value = commandLine;
        else if (row.computed != Computed::Plain)
            value = ComputedValue(st, row.computed);
        else
            value = row.value;
        if (row.constant)
            RegisterConstant(st, row.name, std::move(value), row.description);
        else
            RegisterVariable(st, row.name, std::move(value), row.description);
    }

    // The main window: object 0 and its word.
    st.Objects.Clear();
    st.Objects.Add(new TObjNode("母艦", 7, 0, st.Host ? st.Host->MainWindowControl() : nullptr));
    st.Words.Add(new THashNode("母艦", std::string(), std::string(), "メインフォーム", 0, wkObject, nullptr, true));

    TSystemWords& sys = st.Sys;
    sys.Sore = st.Words.FindExact("それ");
    sys.So = st.Words.FindExact("そ");
    sys.Soshite = st.Words.FindExact("そして");
    sys.Count = st.Words.FindExact("回数");
    sys.Gap = st.Words.FindExact("部品配置間隔");
    sys.ErrorMessage = st.Words.FindExact("エラーメッセージ");
    sys.NoExit = st.Words.FindExact("終了不可能");
    sys.OutputTarget = st.Words.FindExact("表示出力先");
    sys.TabCount = st.Words.FindExact("タブ文字の個数");
    sys.Naraba = st.Words.Find("ならば", true);
    sys.Nara = st.Words.Find("なら", true);
    sys.Chigaeba = st.Words.Find("違えば", true);
    sys.Moshi = st.Words.Find("もし", true);
    sys.Denakereba = st.Words.Find("でなければ", true);
}
