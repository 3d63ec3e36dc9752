// Run preparation: the built-in words are registered, the main text normalised and
// every label registered before the first statement runs; 取り込む loads, prepares
// and runs another file at the point of inclusion.
#include <cstring>
#include <filesystem>
#include <functional>

#include "core/codec.h"
#include "core/file_io.h"
#include "core/sjis.h"
#include "core/text.h"
#include "interp/builtins.h"
#include "interp/host.h"
#include "interp/include_path.h"
#include "interp/interp.h"
#include "loader/normaliser.h"
#include "loader/scanner.h"
#include "loader/script_encoding.h"

void TPoruBase::PrepareRun()
{
    ErrorText.clear();
    Cursor = nullptr;
    LineNo = 0;
    lineFrom_ = lineEnd_ = nullptr;   // the line last looked up was in the previous text
    LayoutX = 10;
    LayoutY = 10;
    if (Sys.So)
        Sys.So->Payload = nullptr;
    Words.Clear();
    Sys = TSystemWords{};
    CondResult = -1;
    RegisterBuiltins(*this);
    NormaliseOrRaise(Source);
    ForgetGroupEnds();
    Texts[0] = Source;
    TextCount = 1;
    ScanDefinitions(0, FileName);
    Source = Texts[0];
    Cursor = nullptr;
    if (Source.find("母艦浮上") == std::string::npos && Host) {
        Host->ShowMainWindow();
        Host->ProcessEvents();
    }
}

void TPoruBase::ScanDefinitions(int slot, const std::string& fileName)
{
    const char* text = Texts[slot].c_str();
    const char* p = text;
    while (*p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (IsLeadByte(c) && p[1]) {
            p += 2;
            continue;
        }
        if (c == '"' || c == '`') {
            const char* s = p;
            try {
                ReadLiteral(p);
            } catch (const EPoru& e) {
                Cursor = s;
                Error(e.Message);
            }
            continue;
        }
        if (c != '*') {
            ++p;
            continue;
        }
        const char* before = p;
        ++p;
        if (*p == '*') {
            ++p;
            continue;
        }
        std::string name = ReadWord(p);
        if (name.empty())
            continue;
        const char* q = before;
        while (q > text && (q[-1] == ' ' || q[-1] == '\t'))
            --q;
        bool lineStart = q == text || q[-1] == '\r' || q[-1] == '\n' || q[-1] == ':';
        if (!lineStart)
            continue;
        if (!(*p == '\r' || *p == '\n' || *p == '\0'))
            continue;
        if (Words.FindExact(name)) {
            Cursor = p;
            Error("ラベル\"" + name + "\"の定義に失敗しました。既に単語として使われています。");
        }
        Words.Add(new THashNode(name, "", "", fileName, 0, wkLabel, const_cast<char*>(p), true));
    }
}

void TPoruBase::Include(const std::string& pathArg)
{
    std::string path = std::string(Trim(ResolveIncludePath(*this, pathArg)));
    std::string savedFile = FileName;
    std::string native = ToNativePath(path);
    std::string bytes;
    if (!ReadRegularFile(native, bytes)) {
        // A folder, a device or a FIFO is no program file; neither is one that fails
        // to read.
        std::error_code ec;
        if (!std::filesystem::exists(native, ec))
            Error("ファイル\"" + path + "\"が、ありません。");
        Error("ファイル\"" + path + "\"は、プログラムとして読めません。");
    }
    std::string raw = IncludedScriptToSjis(*this, path, std::move(bytes));
    // Loaded as lines, each followed by CR LF.
    std::string text;
    text.reserve(raw.size() + 2);
    for (size_t i = 0; i < raw.size(); ++i) {
        char ch = raw[i];
        if (ch == '\r') {
            if (i + 1 < raw.size() && raw[i + 1] == '\n')
                ++i;
            text += "\r\n";
        } else if (ch == '\n') {
            text += "\r\n";
        } else {
            text += ch;
        }
    }
    if (!text.empty() && (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0))
        text += "\r\n";
    if (text.find('\0') != std::string::npos)
        Error("ファイル\"" + path + "\"は、プログラムとして読めません。");
    const char* savedCursor = Cursor;
    try {
        Normalise(text);
    } catch (const ENormalise& e) {
        FileName = path;
        Cursor = nullptr;
        LineNo = e.Line;
        std::string msg = FormatError(e.Message);
        FileName = savedFile;
        Cursor = savedCursor;
        Raise(msg);
    }
    if (TextCount >= kMaxTexts)
        Error("範囲チェックエラー");
    int slot = TextCount;
    Texts[slot] = std::move(text);
    try {
        FileName = path;
        ScanDefinitions(slot, path);
    } catch (...) {
        // The labels found before the failure go with the text: the slot is taken
        // by the next file, and they must not point into a released text.
        const std::string& failed = Texts[slot];
        const std::less_equal<const char*> le;
        for (THashNode* n : Words.Nodes()) {
            const char* at = n->Kind == wkLabel ? n->Position() : nullptr;
            if (at && le(failed.data(), at) && le(at, failed.data() + failed.size()))
                Words.Remove(n->Name, false);
        }
        ForgetPositionsIn(failed);
        ForgetGroupEnds();
        FileName = savedFile;
        Cursor = savedCursor;
        Texts[slot].clear();
        throw;
    }
    ++TextCount;
    FileName = path;
    EnterNesting();
    Cursor = Texts[slot].c_str();
    RunControl.EnterLevel();
    struct Restore {
        TPoruBase& st;
        std::string file;
        const char* cursor;
        ~Restore()
        {
            st.RunControl.LeaveLevel();
            st.LeaveNesting();
            st.FileName = file;
            st.Cursor = cursor;
        }
    } restore{*this, savedFile, savedCursor};
    RunLoop();
}

namespace {

// 取り込む: load another program file and run its top-level statements here.
void cmdInclude(TPoruBase& st)
{
    std::string name = st.PopText();
    st.Include(name);
}

HandlerRegistrar reg({{Cmd::Include, cmdInclude}});

}   // namespace
