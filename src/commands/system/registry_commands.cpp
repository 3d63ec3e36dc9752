// The registry commands (レジストリ開く ... レジストリサブキー取得) and the file
// associations (関連付ける, 関連付けを削除), over the run-time's own registry store
// (registry.h). One key is open at a time; writes and deletions ask the
// security gate (which always asks at the mid level: the registry is outside the
// script's folder).
#include <cmath>

#include "commands/files/files.h"
#include "commands/files/security.h"
#include "commands/system/registry.h"
#include "commands/system/system.h"
#include "core/codec.h"
#include "core/hash.h"
#include "core/text.h"
#include "interp/builtins.h"
#include "interp/interp.h"

namespace {

constexpr int kClassesRoot = 0;
constexpr long double kMaxBinaryRead = 64.0L * 1024 * 1024;

struct TRegistryState {
    bool Open = false;
    int Root = 0;
    std::string Path;   // as the script gave it
};

TRegistryState& RegState(TPoruBase& st)
{
    return st.Ext<TRegistryState>();
}

TRegistryStore Store()
{
    return TRegistryStore(TRegistryStore::DefaultFolder());
}

TRegistryState& NeedOpenKey(TPoruBase& st)
{
    TRegistryState& r = RegState(st);
    if (!r.Open)
        st.Error("レジストリが開かれていません。");
    return r;
}

// A key named relative to the open key, or from the root when it starts with "\".
std::string SubkeyPath(const TRegistryState& r, const std::string& key)
{
    if (!key.empty() && key[0] == '\\')
        return key;
    return r.Path + "\\" + key;
}

bool AskWrite(TPoruBase& st, const TRegistryState& r, const std::string& name, const std::string& value)
{
    return SecurityGateAsk(st, "レジストリ\"" + r.Path + "\"の,\"" + name + "\"に,\r\n\"" + value +
                                   "\"が書き込まれます。よろしいですか？");
}

void WriteOrFail(TPoruBase& st, const TRegistryState& r, const TRegValue& v)
{
    if (!Store().WriteValue(r.Root, r.Path, v))
        st.Error("レジストリの\"" + v.Name + "\"に、書き込めません。");
}

// A count of bytes (a whole number from 0 up to `limit`).
size_t PopByteCount(TPoruBase& st, long double limit)
{
    const long double n = std::trunc(st.PopNumber());
    if (!(n >= 0 && n <= limit))
        st.ArgError();
    return static_cast<size_t>(n);
}

// レジストリ開く: root number and key path; missing keys are created.
void cmdRegOpen(TPoruBase& st)
{
    const std::string path = st.PopText();
    const std::string rootText = Trim(st.PopText());
    TRegistryState& r = RegState(st);
    r.Open = false;
    bool digits = !rootText.empty();
    int64_t root = 0;
    for (char c : rootText) {
        if (c < '0' || c > '9' || root > 0xFFFFFFFFLL) {
            digits = false;
            break;
        }
        root = root * 10 + (c - '0');
    }
    if (digits && root >= 0x80000000LL)
        root -= 0x80000000LL;   // the root's handle itself
    if (!digits || !TRegistryStore::RootName(root) || !Store().CreateKey(static_cast<int>(root), path))
        st.ArgError();
    r.Open = true;
    r.Root = static_cast<int>(root);
    r.Path = path;
}

void cmdRegClose(TPoruBase& st)
{
    RegState(st) = TRegistryState();
}

// レジストリ読む: a string value (a number or binary data as its text).
void cmdRegRead(TPoruBase& st)
{
    const std::string name = st.PopText();
    const TRegistryState& r = NeedOpenKey(st);
    TRegValue v;
    std::string text;
    if (Store().ReadValue(r.Root, r.Path, name, v))
        text = v.Type == TRegType::DWord ? std::to_string(static_cast<int32_t>(DWordValue(v.Data))) : v.Data;
    SetSoreGuessed(st, std::move(text));
}

// レジストリ書く: それ as a string value.
void cmdRegWrite(TPoruBase& st)
{
    const std::string name = st.PopText();
    const TRegistryState& r = NeedOpenKey(st);
    const std::string value = st.Sys.Sore->Value;
    if (!AskWrite(st, r, name, value))
        return;
    WriteOrFail(st, r, {name, TRegType::String, value});
}

// レジストリのバイナリを読む: exactly `count` bytes, filled from the value.
void cmdRegReadBinary(TPoruBase& st)
{
    const size_t count = PopByteCount(st, kMaxBinaryRead);
    const std::string name = st.PopText();
    const TRegistryState& r = NeedOpenKey(st);
    std::string bytes(count, '\0');
    TRegValue v;
    if (Store().ReadValue(r.Root, r.Path, name, v))
        bytes.replace(0, std::min(count, v.Data.size()), v.Data, 0, std::min(count, v.Data.size()));
    st.SetSore(std::move(bytes), "s");
}

// レジストリにバイナリを書く: the first `count` bytes of the value (at most all of it).
void cmdRegWriteBinary(TPoruBase& st)
{
    const size_t count = PopByteCount(st, 4294967295.0L);
    const std::string name = st.PopText();
    const std::string value = st.PopText();
    const TRegistryState& r = NeedOpenKey(st);
    const std::string data = value.substr(0, std::min(count, value.size()));
    if (!AskWrite(st, r, name, data))
        return;
    WriteOrFail(st, r, {name, TRegType::Binary, data});
}

// レジストリのDWORDを読む: the value as a signed 32-bit number.
void cmdRegReadDWord(TPoruBase& st)
{
    const std::string name = st.PopText();
    const TRegistryState& r = NeedOpenKey(st);
    TRegValue v;
    if (!Store().ReadValue(r.Root, r.Path, name, v) || v.Type != TRegType::DWord)
        st.Error("レジストリの\"" + name + "\"は、DWORDの値ではありません。");
    st.SetSorePending(std::to_string(static_cast<int32_t>(DWordValue(v.Data))), "e");
}

// レジストリにDWORDを書く: a whole number that fits 32 bits (signed or not).
void cmdRegWriteDWord(TPoruBase& st)
{
    const std::string name = st.PopText();
    const long double n = std::trunc(st.PopNumber());
    const TRegistryState& r = NeedOpenKey(st);
    if (!(n >= -2147483648.0L && n <= 4294967295.0L))
        st.ArgError();
    const auto v = static_cast<uint32_t>(static_cast<int64_t>(n));
    if (!AskWrite(st, r, name, NumberToText(n)))
        return;
    WriteOrFail(st, r, {name, TRegType::DWord, DWordData(v)});
}

void cmdRegDeleteValue(TPoruBase& st)
{
    const std::string name = st.PopText();
    const TRegistryState& r = NeedOpenKey(st);
    if (!SecurityGateAsk(st, "レジストリ\"" + r.Path + "\"の,\"" + name + "\"の値が,削除されます。よろしいですか？"))
        return;
    if (Store().DeleteValue(r.Root, r.Path, name) != TRegistryStore::TResult::Ok)
        st.Error("\"" + name + "\"が削除できません。");
}

// レジストリキー削除: a key without subkeys (one with subkeys is refused).
void cmdRegDeleteKey(TPoruBase& st)
{
    const std::string key = st.PopText();
    const TRegistryState& r = NeedOpenKey(st);
    if (!SecurityGateAsk(st, "レジストリ\"" + r.Path + "\"の,\"" + key + "\"キーが,削除されます。よろしいですか？"))
        return;
    if (Store().DeleteKey(r.Root, SubkeyPath(r, key), false) != TRegistryStore::TResult::Ok)
        st.Error("\"" + key + "\"が削除できません。");
}

// レジストリサブキー取得: the names of the open key's subkeys, one per line.
void cmdRegSubkeys(TPoruBase& st)
{
    const TRegistryState& r = NeedOpenKey(st);
    std::vector<std::string> names;
    Store().SubkeyNames(r.Root, r.Path, names);
    std::string text;
    for (const std::string& n : names)
        text += n + "\r\n";
    st.SetSorePending(Trim(text), "s");
}

// ---- file associations -----------------------------------------------------------

std::string DropDot(std::string ext)
{
    if (!ext.empty() && ext[0] == '.')
        ext.erase(0, 1);
    return ext;
}

bool SetDefault(TRegistryStore& store, const std::string& path, const std::string& value)
{
    return store.WriteValue(kClassesRoot, path, {std::string(), TRegType::String, value});
}

// 関連付ける: extension, program, description. The file type is named after the
// extension ("txtFile" for ".txt").
void cmdAssociate(TPoruBase& st)
{
    const std::string description = Trim(st.PopText());
    const std::string program = Trim(st.PopText());
    const std::string ext = DropDot(Trim(st.PopText()));
    if (ext.empty())
        st.ArgError();
    if (!IsRegularFile(ToNativePath(program)))
        st.ArgError(":\"" + program + "\"が存在しません。");
    TRegistryStore store = Store();
    const std::string text =
        store.KeyExists(kClassesRoot, ext)
            ? "既に関連付けされている拡張子\"" + ext + "\"を、\"" + program + "\"へ関連付けを変更します。"
            : "拡張子\"" + ext + "\"を、\"" + program + "\"へ関連付けます。";
    if (!SecurityGateAsk(st, text))
        return;
    const std::string type = ext + "File";
    const bool ok =
        SetDefault(store, "\\." + ext, type) && SetDefault(store, "\\" + type, description) &&
        SetDefault(store, "\\" + type + "\\DefaultIcon", "\"" + PathFolderPart(st.ExePath) + "porukana.ico\"") &&
        SetDefault(store, "\\" + type + "\\shell\\open\\command", "\"" + program + "\" \"%1\"");
    if (!ok)
        st.Error("拡張子\"" + ext + "\"の関連付けに失敗しました。");
}

// 関連付けを削除: the extension's key and the file type it names.
void cmdDissociate(TPoruBase& st)
{
    const std::string ext = DropDot(Trim(st.PopText()));
    if (ext.empty())
        st.ArgError();
    if (!SecurityGateAsk(st, "拡張子\"" + ext + "\"の関連付けを削除します。"))
        return;
    TRegistryStore store = Store();
    TRegValue type;
    const bool named = store.ReadValue(kClassesRoot, "\\." + ext, "", type) && !Trim(type.Data).empty();
    store.DeleteKey(kClassesRoot, "\\." + ext, true);
    if (named)
        store.DeleteKey(kClassesRoot, "\\" + Trim(type.Data), true);
}

HandlerRegistrar reg({{Cmd::RegRead, cmdRegRead},
                      {Cmd::RegWrite, cmdRegWrite},
                      {Cmd::RegOpen, cmdRegOpen},
                      {Cmd::RegClose, cmdRegClose},
                      {Cmd::RegDeleteValue, cmdRegDeleteValue},
                      {Cmd::RegDeleteKey, cmdRegDeleteKey},
                      {Cmd::RegReadBinary, cmdRegReadBinary},
                      {Cmd::RegWriteBinary, cmdRegWriteBinary},
                      {Cmd::RegReadDWord, cmdRegReadDWord},
                      {Cmd::RegWriteDWord, cmdRegWriteDWord},
                      {Cmd::RegSubkeys, cmdRegSubkeys},
                      {Cmd::Associate, cmdAssociate},
                      {Cmd::Dissociate, cmdDissociate}});

}   // namespace
