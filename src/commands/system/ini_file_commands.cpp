// INI files (INIファイル開く, 閉じる, 書く, 読む) through the run-time's own INI
// engine (ini_file.h), and the main window's place kept in one (フォームの位置記録,
// フォームの位置復元). The file is created by its first write, not when opened.
#include "commands/files/files.h"
#include "commands/files/security.h"
#include "commands/system/ini_file.h"
#include "commands/system/system.h"
#include "core/codec.h"
#include "core/hash.h"
#include "core/text.h"
#include "interp/builtins.h"
#include "interp/host.h"
#include "interp/interp.h"

namespace {

// The section of the main window's place: the script's name of the main window.
const char* const kFormSection = "母艦";

struct TIniState {
    bool Open = false;
    std::string Path;   // script form, resolved
};

// A name without a folder of its own is taken in the current folder.
std::string IniPath(TPoruBase& st, const std::string& name)
{
    const std::string native = ToNativePath(name);
    if (name.find(":\\") == std::string::npos && !native.empty() && native[0] != '/')
        return FindReadPath(st, CurrentFolderValue() + name);
    return FindReadPath(st, name);
}

const std::string& OpenIniPath(TPoruBase& st)
{
    TIniState& ini = st.Ext<TIniState>();
    if (!ini.Open)
        st.Error("\"" + RunningCommandName(st) + "\"予めINIファイルを開いておく必要があります。");
    return ini.Path;
}

[[noreturn]] void IniFailure(TPoruBase& st, const std::string& file, const std::string& section, const std::string& key)
{
    st.Error("INIファイル書き込みに失敗。ファイル名=" + file + " キー名=" + key + " セクション=" + section);
}

// INIファイル開く: a missing file needs the gate's consent (it is created by the
// first write).
void cmdIniOpen(TPoruBase& st)
{
    const std::string name = Trim(st.PopText());
    TIniState& ini = st.Ext<TIniState>();
    ini.Open = false;
    if (name.empty())
        st.ArgError();
    const std::string path = IniPath(st, name);
    std::string probe;
    bool failed = false;
    IniReadFile(ToNativePath(path), "", "", probe, failed);
    if (failed)
        st.Error("ファイル\"" + path + "\"の、読み込みか書き込みに、失敗しました。");
    if (!IsRegularFile(ToNativePath(path)) && !SecurityGate(st, path, "設定ファイル\"" + path + "\"を作成します。"))
        return;
    ini.Open = true;
    ini.Path = path;
}

void cmdIniClose(TPoruBase& st)
{
    st.Ext<TIniState>() = TIniState();
}

// INIファイル書く: value, section, key.
void cmdIniWrite(TPoruBase& st)
{
    const std::string key = st.PopText();
    const std::string section = st.PopText();
    const std::string value = st.PopText();
    const std::string file = OpenIniPath(st);
    const TTextWriteMode mode = TextWriteMode(st);
    if (!SecurityGate(st, file,
                      "設定ファイル\"" + file + "\"にある[" + section + "]の\"" + key + "\"に値を書き込みます。"))
        return;
    std::vector<TLostChar> lost;
    if (!IniWriteFile(ToNativePath(file), section, key, value, mode.Encoding, mode.LineEnd, &lost))
        IniFailure(st, file, section, key);
    ReportLostChars(st, lost, file);
}

// INIファイル読む: the value (or the empty text) into the target, tag "s".
void cmdIniRead(TPoruBase& st)
{
    const std::string key = st.PopText();
    const std::string section = st.PopText();
    THashNode* target = st.PopWord(true);
    const std::string file = OpenIniPath(st);
    std::string value;
    bool failed = false;
    IniReadFile(ToNativePath(file), section, key, value, failed);
    if (failed)
        IniFailure(st, file, section, key);
    StoreInTarget(st, target, std::move(value));
}

// フォームの位置記録: the main window's state, then its normal bounds.
void cmdFormSave(TPoruBase& st)
{
    const std::string path = IniPath(st, Trim(st.PopText()));
    if (!st.Host)
        return;
    const TWindowPlace place = st.Host->MainWindowPlace(st);
    if (!SecurityGate(st, path, "INIファイル\"" + path + "\"にフォーム情報を保存します。"))
        return;
    const std::pair<const char*, int> keys[] = {
        {"state", place.State},   {"top", place.Top},     {"left", place.Left},
        {"height", place.Height}, {"width", place.Width},
    };
    for (const auto& [key, value] : keys)
        if (!IniWriteFile(ToNativePath(path), kFormSection, key, std::to_string(value)))
            IniFailure(st, path, kFormSection, key);
}

// フォームの位置復元: whatever the file holds is applied; missing keys keep the
// window's present values.
void cmdFormRestore(TPoruBase& st)
{
    const std::string path = IniPath(st, Trim(st.PopText()));
    if (!st.Host)
        return;
    TWindowPlace place = st.Host->MainWindowPlace(st);
    const std::pair<const char*, int*> keys[] = {
        {"state", &place.State},   {"top", &place.Top},     {"left", &place.Left},
        {"height", &place.Height}, {"width", &place.Width},
    };
    for (const auto& [key, field] : keys) {
        std::string value;
        bool failed = false;
        if (IniReadFile(ToNativePath(path), kFormSection, key, value, failed))
            *field = ToIntOrDefault(value, *field);
        else if (failed)
            IniFailure(st, path, kFormSection, key);
    }
    st.Host->SetMainWindowPlace(st, place);
}

HandlerRegistrar reg({{Cmd::IniOpen, cmdIniOpen},
                      {Cmd::IniClose, cmdIniClose},
                      {Cmd::IniWrite, cmdIniWrite},
                      {Cmd::IniRead, cmdIniRead},
                      {Cmd::FormSave, cmdFormSave},
                      {Cmd::FormRestore, cmdFormRestore}});

}   // namespace
