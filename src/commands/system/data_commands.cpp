// The system commands that move data: the clipboard (コピー, クリップボード取得),
// named shared memory (共有保存, 共有読込), encrypted files (暗号化して保存,
// 暗号解除して読込) and packed containers (ファイル合成, 合成ファイル取り出す).
#include "commands/files/atomic_file.h"
#include "commands/files/files.h"
#include "commands/files/security.h"
#include "commands/system/encrypted_file.h"
#include "commands/system/shared_memory.h"
#include "commands/system/system.h"
#include "core/codec.h"
#include "core/hash.h"
#include "core/paths.h"
#include "core/sjis.h"
#include "core/text.h"
#include "interp/builtins.h"
#include "interp/host.h"
#include "interp/interp.h"
#include "loader/container.h"

void SetSoreGuessed(TPoruBase& st, std::string value)
{
    if (value.empty()) {
        st.SetSoreValue(std::string());
        return;
    }
    const char c = value[0];
    st.SetSore(std::move(value), (c >= '0' && c <= '9') || c == '$' ? "e" : "s");
}

void StoreInTarget(TPoruBase& st, THashNode* target, std::string value)
{
    target->TypeText = "s";
    if (target->Kind == wkObject && st.Host)
        st.Host->SetObjectValue(st, target, value);
    target->Value = std::move(value);
}

namespace {

[[noreturn]] void IoError(TPoruBase& st, const std::string& name)
{
    st.Error("ファイル\"" + name + "\"の、読み込みか書き込みに、失敗しました。");
}

// ---- clipboard ----

void cmdCopyText(TPoruBase& st)
{
    SetClipboardText(st.PopText());
}

void cmdClipboardText(TPoruBase& st)
{
    st.SetSorePending(ClipboardText(), "s");
}

// ---- shared memory ----

// 共有保存: それ's first 256 bytes into the named block, which stays while this
// run-time lives.
void cmdShareStore(TPoruBase& st)
{
    const std::string name = st.PopText();
    if (!st.Ext<TSharedBlocks>().Store(name, st.Sys.Sore->Value))
        st.Error(name + "を開けません。");
}

// 共有読込: the block's text, or the empty text when there is no such block.
void cmdShareRead(TPoruBase& st)
{
    std::string text;
    ReadSharedBlock(st.PopText(), text);
    SetSoreGuessed(st, std::move(text));
}

// ---- encrypted files ----

void cmdEncryptSave(TPoruBase& st)
{
    const std::string file = st.PopText();
    const std::string text = st.PopText();
    if (!SecurityGate(st, file, "\"" + file + "\"へ保存しますか？"))
        return;
    if (!RewriteFile(ToNativePath(file), EncryptText(text)))
        IoError(st, file);
}

void cmdDecryptLoad(TPoruBase& st)
{
    const std::string given = st.PopText();
    THashNode* target = st.PopWord(true);
    const std::string file = ResolveReadPath(st, given);
    std::string bytes, text;
    bool missing = false;
    if (!ReadFileBytes(ToNativePath(file), bytes, missing) || !DecryptText(bytes, text))
        IoError(st, file);
    StoreInTarget(st, target, std::move(text));
}

// ---- packed containers ----

// The entry lines of ファイル合成: "," stands for "="; a list without any "=" names
// only files, each packed under its file name without scrambling.
std::vector<std::string> EntryLines(const std::string& list)
{
    std::string text = list;
    for (size_t i = 0; i < text.size(); i += CharLen(text.c_str() + i))
        if (text[i] == ',')
            text[i] = '=';
    const bool namesOnly = text.find('=') == std::string::npos;
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = Trim(std::string_view(text).substr(pos, end - pos));
        if (!line.empty())
            lines.push_back(namesOnly ? line + "=" + PathNamePart(line) + "=0" : line);
        pos = end + 1;
    }
    return lines;
}

void cmdPackFiles(TPoruBase& st)
{
    const std::string container = Trim(st.PopText());
    const std::string list = Trim(st.PopText());
    if (container.empty())
        st.ArgError();
    if (!SecurityGate(st, container, "\"" + container + "\"へ保存します。"))
        return;
    TFileMixWriter writer;
    writer.Entries = EntryLines(list);
    try {
        if (!writer.Save(ToNativePath(container)))
            IoError(st, container);
    } catch (const EContainer& e) {
        st.Error(e.what());
    }
}

void cmdUnpackEntry(TPoruBase& st)
{
    const std::string entry = st.PopText();
    const std::string container = ResolveReadPath(st, Trim(st.PopText()));
    std::string bytes;
    try {
        TFileMixReader reader(ToNativePath(container));
        if (!reader.ExtractEntry(entry, bytes))
            st.Error("ファイル\"" + entry + "\"が、ありません。");
    } catch (const EContainer& e) {
        st.Error(e.what());
    }
    st.SetSore(std::move(bytes), "s");
}

HandlerRegistrar reg({{Cmd::CopyText, cmdCopyText},
                      {Cmd::ClipboardText, cmdClipboardText},
                      {Cmd::ShareStore, cmdShareStore},
                      {Cmd::ShareRead, cmdShareRead},
                      {Cmd::EncryptSave, cmdEncryptSave},
                      {Cmd::DecryptLoad, cmdDecryptLoad},
                      {Cmd::PackFiles, cmdPackFiles},
                      {Cmd::UnpackEntry, cmdUnpackEntry}});

}   // namespace
