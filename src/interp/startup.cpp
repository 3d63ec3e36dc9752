// Start-up: the program's origin, the options and the loading of the start file.
#include "interp/startup.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "core/codec.h"
#include "core/error.h"
#include "core/file_io.h"
#include "core/paths.h"
#include "core/text.h"
#include "interp/interp.h"
#include "interp/read_path.h"
#include "loader/container.h"
#include "loader/elf.h"
#include "loader/script_encoding.h"

namespace fs = std::filesystem;

namespace {

const char* const kPackedScript = "porukana.prk";

bool FileExists(const std::string& sjisPath)
{
    std::error_code ec;
    return fs::is_regular_file(ToNativePath(sjisPath), ec);
}

// The folder of a script path as an absolute Shift_JIS folder value ending in "/".
std::string AbsoluteFolderOf(const std::string& sjisPath)
{
    std::error_code ec;
    fs::path p = fs::absolute(fs::path(ToNativePath(sjisPath)), ec).lexically_normal();
    std::string folder = p.parent_path().string();
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return FromNativePath(folder);
}

// A start file that carries its program in a container instead of being a script.
bool IsProgramFile(const std::string& sjisPath)
{
    const std::string ext = LowerAscii(PathExtPart(sjisPath));
    return ext == ".exe" || ext == ".scr" || IsElfFile(ToNativePath(sjisPath));
}

// Loads the start file into the state; false when it cannot be read.
bool LoadStartFile(TPoruBase& st, const std::string& path)
{
    std::string bytes;
    if (!ReadRegularFile(ToNativePath(path), bytes))
        return false;
    TScriptText decoded = DecodeScriptBytes(std::move(bytes), RunScriptEncoding(st));
    if (!decoded.Ok)
        throw EPoru(ScriptTextFailure(path, decoded));
    st.Source = JoinScriptLines(decoded.Text);
    st.FileName = path;
    st.Ext<TStartInfo>().MainFolder = AbsoluteFolderOf(path);
    const std::string folder = ToNativePath(PathFolderPart(path));
    if (!folder.empty())
        (void)chdir(folder.c_str());
    return true;
}

// The name errors give the packed script: the file name the packer recorded, or
// the entry name when there is none (a container written by ファイル合成) or it is
// no plain file name.
std::string PackedScriptName(TFileMixReader& reader)
{
    std::string name;
    if (!reader.Find(kScriptNameEntry) || !reader.ReadEntryText(kScriptNameEntry, name))
        return kPackedScript;
    if (name.empty() || name.size() > 255 || name == "." || name == ".." ||
        name.find_first_of(std::string("/\0\r\n", 4)) != std::string::npos)   // none is a trail byte
        return kPackedScript;
    return name;
}

}   // namespace

std::string JoinScriptLines(const std::string& bytes)
{
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 16 + 2);
    size_t i = 0;
    const size_t n = bytes.size();
    while (i < n) {
        size_t j = i;
        while (j < n && bytes[j] != '\r' && bytes[j] != '\n')
            ++j;
        out.append(bytes, i, j - i);
        out += "\r\n";
        if (j < n && bytes[j] == '\r' && j + 1 < n && bytes[j + 1] == '\n')
            j += 2;
        else if (j < n)
            ++j;
        i = j;
    }
    return out;
}

std::string DefaultStartFile(const std::string& exePath)
{
    const size_t sep = LastPathSeparator(exePath);
    const std::string ext = PathExtPart(exePath);
    // A name that is only an extension (".porukana") has none.
    const size_t nameStart = sep == std::string::npos ? 0 : sep + 1;
    if (ext.empty() || ext.size() == exePath.size() - nameStart)
        return exePath + ".prk";
    return exePath.substr(0, exePath.size() - ext.size()) + ".prk";
}

bool LoadFromContainer(TPoruBase& st, const std::string& sjisFile)
{
    if (st.Params.size() > 1 && st.Params[1] == "-run")
        return false;
    const std::string native = ToNativePath(sjisFile);
    uint64_t offset = 0, size = 0;
    if (!LocateAppendedAt(native, offset, size) || size == 0)
        return false;
    // Data after the image that is no container (a malformed file) means none. The
    // container is read where it lies instead of being copied to a temporary file.
    {
        std::ifstream in(native, std::ios::binary);
        char magic[4] = {};
        in.seekg(static_cast<std::streamoff>(offset));
        if (!in.read(magic, 4) || std::string_view(magic, 4) != "fMix")
            return false;
    }
    std::string text;
    try {
        auto reader = std::make_shared<TFileMixReader>(native, offset);
        st.Ext<TPackedState>().Reader = reader;
        if (!reader->Find(kPackedScript))
            return false;
        if (!reader->ReadEntryText(kPackedScript, text))
            throw EContainer("\"" + std::string(kPackedScript) + "\"を読めません。");
    } catch (const EContainer& e) {
        throw EPoru(std::string("ファイルの展開に失敗しました。") + e.what());
    }
    TScriptText decoded = DecodeScriptBytes(std::move(text), RunScriptEncoding(st));
    if (!decoded.Ok)
        throw EPoru(ScriptTextFailure(kPackedScript, decoded));
    st.Source = std::move(decoded.Text);
    st.FileName = PackedScriptName(*st.Ext<TPackedState>().Reader);
    st.FromContainer = true;
    st.Ext<TStartInfo>().MainFolder = AbsoluteFolderOf(sjisFile);
    return true;
}

TStartResult PrepareStart(TPoruBase& st, const std::vector<std::string>& params, const std::string& exePath)
{
    TStartResult r;
    st.Params = params;
    if (st.Params.empty())
        st.Params.push_back(exePath);
    st.ExePath = exePath;
    st.ScriptParam = -1;
    st.StartFolder.clear();

    try {
        if (LoadFromContainer(st, exePath)) {
            r.HasProgram = true;
            return r;
        }

        std::string startFile;
        const std::string defaultFile = DefaultStartFile(exePath);
        if (st.Params.size() <= 1) {
            if (FileExists(defaultFile)) {
                startFile = defaultFile;
                st.DefaultStart = true;
            }
        } else {
            for (size_t i = 1; i < st.Params.size(); ++i) {
                const std::string& p = st.Params[i];
                if (p.empty() || p[0] != '-') {
                    if (startFile.empty()) {
                        startFile = p;
                        st.ScriptParam = static_cast<int>(i);
                    }
                    continue;
                }
                const bool hasNext = i + 1 < st.Params.size();
                if (p == "-debug") {
                    st.DebugMode = true;
                } else if (p == "-sjis") {
                    SetRunScriptEncoding(st, TScriptEncoding::Sjis);
                } else if (p == "-utf8") {
                    SetRunScriptEncoding(st, TScriptEncoding::Utf8);
                } else if (p == "-linestop") {
                    st.LineStop = true;
                } else if (p == "-runtime" && hasNext) {
                    startFile = st.Params[++i];
                    st.ScriptParam = static_cast<int>(i);
                    st.RuntimeMode = true;
                    if (!LoadFromContainer(st, startFile)) {
                        r.WarningCaption = "プログラムの実行エラー";
                        r.WarningText = "指定されたプログラムファイルは壊れています。";
                        return r;
                    }
                } else if (p == "-resource" && hasNext) {
                    const std::string file = st.Params[++i];
                    try {
                        st.Ext<TPackedState>().Reader = std::make_shared<TFileMixReader>(ToNativePath(file));
                    } catch (const EContainer&) {
                        throw EPoru("リソースファイルの取り込みに失敗しました。");
                    }
                } else if (p == "-security" && hasNext) {
                    const std::string word = LowerAscii(st.Params[++i]);
                    if (word == "low")
                        st.SecurityLevel = 0;
                    else if (word == "mid")
                        st.SecurityLevel = 1;
                    else if (word == "high")
                        st.SecurityLevel = 2;
                }
            }
            if (startFile.empty() && FileExists(defaultFile)) {
                startFile = defaultFile;
                st.DefaultStart = true;
                st.ScriptParam = -1;
            }
        }

        if (st.FromContainer) {
            r.HasProgram = true;
            return r;
        }
        if (startFile.empty())
            return r;
        if (IsProgramFile(startFile))
            return r;
        if (!LoadStartFile(st, startFile)) {
            r.MessageText = "起動ファイル「" + startFile + "」が読込めません。";
            return r;
        }
        r.HasProgram = true;
    } catch (const EPoru& e) {
        r.HasProgram = false;
        r.ErrorText = e.Message;
    }
    return r;
}

TStartResult PrepareStartFromArgv(TPoruBase& st, int argc, char** argv)
{
    std::vector<std::string> params;
    params.reserve(static_cast<size_t>(argc));
    for (int i = 0; i < argc; ++i)
        params.push_back(Utf8ToSjis(argv[i] ? argv[i] : ""));
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    std::string exePath = ec ? (params.empty() ? std::string() : params[0]) : FromNativePath(exe.string());
    return PrepareStart(st, params, exePath);
}

// ---- the run's script encoding ----

namespace {

struct TEncodingChoice {
    TScriptEncoding Encoding = TScriptEncoding::Auto;
};

}   // namespace

TScriptEncoding RunScriptEncoding(TPoruBase& st)
{
    return st.Ext<TEncodingChoice>().Encoding;
}

void SetRunScriptEncoding(TPoruBase& st, TScriptEncoding encoding)
{
    st.Ext<TEncodingChoice>().Encoding = encoding;
}
