// The built-in words: every command, system variable and constant, created from one
// table (builtins_table.inc) at the start of every run, and the handler table that
// maps a command id to the function that runs it.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

#include "interp/command_ids.h"
#include "interp/interp.h"

// The command families; the console host uses this to tell window-only commands.
// clang-format off
enum class Family : uint8_t {
    Include, RunLoop, Functions, Errors, Dll, Control,
    Strings, Numbers, Files, Tables, Patterns, Encodings,
    Dialogs, System, Office,
    GuiObjects, Window, Drawing, Events, Media, Properties,
    Tcp, Net, Archive, Debug,
};
// clang-format on

struct CommandRow {
    int id;
    Family family;
    const char* name;      // as written (folded at registration)
    const char* argSpec;   // particle template, "" for none
    const char* symbol;    // the id's name in Cmd ("Half")
};

// How a system word's value is produced at registration: Plain takes the table's
// value; the others are computed from the state and the platform once per run.
// clang-format off
enum class Computed : uint8_t {
    Plain,
    CommandLine, ScriptFolder, RuntimeFolder,
    DesktopFolder, TrashFolder, DocumentsFolder, StartMenuFolder, StartupFolder,
    SendToFolder, WindowsFolder, SystemFolder, TempFolder, FavouritesFolder,
    OsName, ScreenWidth, ScreenHeight,
};
// clang-format on

// One system variable (not reserved) or constant (reserved).
struct SystemWordRow {
    bool constant;
    const char* name;
    const char* value;
    const char* description;   // stored as TypeText
    Computed computed;
};

const SystemWordRow* SystemWordRows(size_t& count);
// The value a computed row gets in this run (Plain gives the empty text).
std::string ComputedValue(TPoruBase& st, Computed c);
// The run-time's data folder, <prefix>/share/porukana/ for an executable in
// <prefix>/bin; it stands for the Windows and system folders (ends in "/").
std::string RuntimeDataFolder(const TPoruBase& st);

const CommandRow* CommandRows(size_t& count);
const char* FamilyName(Family f);
// The name of a command id as the table writes it (作る rather than its folded
// form), from the first row with that id; nil for an unused id.
const char* CommandNameOfId(int id);
// The running command's name (st.CurrentCommand) as the table writes it.
std::string RunningCommandName(const TPoruBase& st);

// True for families that need the window (objects, drawing, events, media, ...).
bool IsWindowFamily(Family f);
// Family of a command id (the first row with that id); false when the id is unused.
bool FamilyOfId(int id, Family& out);

// Handlers by command. Families install theirs with a static HandlerRegistrar
// (or at host start-up); an id without a handler raises the broken-link error.
Handler GetHandler(Cmd command);
// The dispatch's form: the id a command word holds; nil for an id out of range.
Handler GetHandler(int id);
void SetHandler(Cmd command, Handler h);
struct HandlerRegistrar {
    HandlerRegistrar(std::initializer_list<std::pair<Cmd, Handler>> entries);
};

// Creates every built-in word (then 母艦) in st.Words and fills st.Sys.
void RegisterBuiltins(TPoruBase& st);
THashNode* RegisterCommand(TPoruBase& st, const char* name, const char* argSpec, int id);
THashNode* RegisterVariable(TPoruBase& st, const char* name, std::string value, const char* description);
THashNode* RegisterConstant(TPoruBase& st, const char* name, std::string value, const char* description);
// コマンドライン引数; also sets st.ScriptPath and st.StartFolder (母艦のパス).
std::string CommandLineText(TPoruBase& st);
