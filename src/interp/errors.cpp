// Error reporting: the location prefix, the accumulated error text, warnings, the
// run loop's error handling by error mode, and the error-mode commands.
#include <cstring>
#include <filesystem>
#include <functional>

#include "core/codec.h"
#include "core/error.h"
#include "core/paths.h"
#include "core/walker_mode.h"
#include "interp/builtins.h"
#include "interp/debug_link.h"
#include "interp/error_detail.h"
#include "interp/host.h"
#include "interp/read_path.h"
#include "interp/interp.h"

namespace {

TPoruBase* gActive = nullptr;

void RecordInActiveState(const std::string& msg)
{
    if (!gActive)
        return;
    const std::string detail = ErrorDetail(*gActive, msg);
    // A wrapping message repeats the inner one: its detail is shown once.
    const std::string line = "    " + detail + "\r\n";
    const bool shown =
        detail.empty() || (gActive->ErrorText.size() >= line.size() &&
                           gActive->ErrorText.compare(gActive->ErrorText.size() - line.size(), line.size(), line) == 0);
    gActive->AppendErrorText(msg);
    if (!shown)
        gActive->ErrorText += line;
}

// The name between the first pair of double quotes after `lead`.
bool QuotedAfter(const std::string& msg, const char* lead, std::string& name)
{
    const size_t at = msg.find(lead);
    if (at == std::string::npos)
        return false;
    const size_t from = at + std::strlen(lead);
    const size_t to = msg.find('"', from);
    if (to == std::string::npos)
        return false;
    name = msg.substr(from, to - from);
    return true;
}

}   // namespace

void SetActiveState(TPoruBase* st)
{
    gActive = st;
    SetErrorRecorder(RecordInActiveState);
}

void TPoruBase::AppendErrorText(std::string_view line)
{
    ErrorText.append(line);
    ErrorText += "\r\n";
}

int32_t TPoruBase::CurrentLineNo()
{
    if (!Cursor)
        return LineNo;
    // The marker after the line's end holds the number of the line the cursor is on.
    // The end found last time serves again for a later position of the same line,
    // so a run of errors along one long line scans it once.
    const char* p = Cursor;
    const std::less_equal<const char*> le;
    if (lineEnd_ && le(lineFrom_, p) && le(p, lineEnd_) &&
        (*lineEnd_ == '\0' || *lineEnd_ == '\r' || *lineEnd_ == '\n')) {
        p = lineEnd_;
    } else {
        while (*p && *p != '\r' && *p != '\n')
            ++p;
        lineFrom_ = Cursor;
        lineEnd_ = p;
    }
    if (!*p)
        return LineNo;
    while (*p == '\r' || *p == '\n')
        ++p;
    if (!(*p >= '0' && *p <= '9'))
        return LineNo;
    int64_t n = 0;
    while (*p >= '0' && *p <= '9') {
        n = n * 10 + (*p - '0');
        if (n > 100000000)
            return LineNo;
        ++p;
    }
    if (*p != ':')
        return LineNo;
    LineNo = static_cast<int32_t>(n);
    return LineNo;
}

void TPoruBase::ForgetPositionsIn(std::string_view text)
{
    const std::less_equal<const char*> le;
    auto inside = [&](const char* pos) { return pos && le(text.data(), pos) && le(pos, text.data() + text.size()); };
    if (inside(ErrorReturnPos))
        ErrorReturnPos = nullptr;
    if (inside(TimerTarget))
        TimerTarget = nullptr;
    lineFrom_ = lineEnd_ = nullptr;
}

std::string TPoruBase::FormatError(std::string_view msg)
{
    return FormatMessageLine(TSeverity::Error, PathNamePart(FileName), CurrentLineNo(), msg);
}

void TPoruBase::Error(std::string_view msg)
{
    Raise(FormatError(msg));
}

void TPoruBase::ArgError()
{
    ArgError(std::string_view());
}

void TPoruBase::ArgError(std::string_view explanation)
{
    ArgError(CurrentCommand ? std::string_view(CurrentCommand->Name) : std::string_view(), explanation);
}

void TPoruBase::ArgError(std::string_view name, std::string_view explanation)
{
    Error(ArgErrorText(name, explanation));
}

void TPoruBase::ReportWarning(std::string_view msg)
{
    const std::string out = FormatMessageLine(TSeverity::Warning, PathNamePart(FileName), CurrentLineNo(), msg);
    AppendErrorText(out);
    if (DebugMode)
        ShowErrorDialog();
    else if (Host)
        Host->Warning(*this, out);
}

void TPoruBase::HandleRunError(const EPoru& e, bool raisedAsEPoru)
{
    if (Sys.ErrorMessage)
        Sys.ErrorMessage->Value = e.Message;
    if (ErrorLabel) {
        ErrorReturnPos = Cursor;
        Cursor = ErrorLabel->Position();
        return;
    }
    if (ErrorWarn) {
        if (!raisedAsEPoru || ErrorText.empty()) {
            if (ErrorText.empty())
                ErrorText = FormatError(e.Message) + "\r\n特定できないシステムエラーです(ToT)";
        }
        ShowErrorDialog();
    }
}

void TPoruBase::ShowErrorDialog()
{
    if (!Host) {
        Stopping = true;
        Cursor = nullptr;
        StoppedByError = true;
        return;
    }
    ErrorChoice c = Host->ShowErrorDialog(*this, ErrorText);
    if (c == ErrorChoice::Continue)
        return;
    if (c == ErrorChoice::Debug) {
        ShowDebugger(*this);   // its stop choice closes the main window
        return;
    }
    StoppedByError = true;
    Cursor = nullptr;
    Host->RequestClose(*this);
    Stopping = true;
    Cursor = nullptr;
}

// ---- error-mode commands ------------------------------------------------------------

namespace {

// エラーを無視: errors are recorded and the run goes on.
void cmdIgnoreErrors(TPoruBase& st)
{
    st.ErrorWarn = false;
    st.ErrorLabel = nullptr;
}

// エラー処理設定: errors jump to the named label.
void cmdErrorLabel(TPoruBase& st)
{
    std::string name = st.PopRaw();
    THashNode* n = st.Words.FindExact(name);
    if (n && n->Kind == wkLabel) {
        st.ErrorLabel = n;
        return;
    }
    st.ErrorLabel = nullptr;
    st.Error("未定義のラベル\"" + name + "\"に、ジャンプしようとしました。");
}

// エラーを警告: the default: errors show the error dialog.
void cmdWarnErrors(TPoruBase& st)
{
    st.ErrorWarn = true;
    st.ErrorLabel = nullptr;
}

// エラーから復帰: resume where the last error taken by the label arose.
void cmdResume(TPoruBase& st)
{
    st.Cursor = st.ErrorReturnPos;
    if (!st.Cursor)
        st.Stopping = true;
}

// 終了処理設定: set (or clear with an empty text) the label run when closing.
void cmdCloseLabel(TPoruBase& st)
{
    std::string raw = st.PopRaw();
    THashNode* n = st.Words.FindExact(raw);
    if (n && n->Kind == wkLabel) {
        st.CloseLabel = n;
        if (st.Sys.NoExit)
            st.Sys.NoExit->Value = "1";
        return;
    }
    std::string v = st.EvaluateValue(raw);
    if (!v.empty())
        st.Error("未定義のラベル\"" + raw + "\"に、ジャンプしようとしました。");
    st.CloseLabel = nullptr;
    if (st.Sys.NoExit)
        st.Sys.NoExit->Value = "0";
}

HandlerRegistrar reg({{Cmd::IgnoreErrors, cmdIgnoreErrors},
                      {Cmd::ErrorLabel, cmdErrorLabel},
                      {Cmd::WarnErrors, cmdWarnErrors},
                      {Cmd::Resume, cmdResume},
                      {Cmd::CloseLabel, cmdCloseLabel}});

}   // namespace

// ---- detail lines -----------------------------------------------------------------------

void NoteWrongFormCall(TPoruBase& st, const std::string& label, const std::vector<std::string>& entries)
{
    // Calls without arguments are the common case: while nothing is noted there is
    // nothing to clear.
    if (entries.empty() && !st.WrongFormNoted && !ReferenceWalker())
        return;
    TWrongFormCall& w = st.Ext<TWrongFormCall>();
    w = TWrongFormCall{};
    st.WrongFormNoted = !entries.empty();
    if (entries.empty())
        return;
    w.Label = label;
    w.File = PathNamePart(st.FileName);
    w.Line = st.CurrentLineNo();
    w.FirstEntry = entries.front();
}

// The program line holding `at` (without its line marker), when `at` lies in one of
// the run's texts.
std::string LineAround(const TPoruBase& st, const char* at)
{
    const std::less_equal<const char*> le;
    for (int i = -1; at && i < st.TextCount; ++i) {
        const std::string& t = i < 0 ? st.Source : st.Texts[i];
        if (!le(t.data(), at) || !le(at, t.data() + t.size()))
            continue;
        const size_t pos = static_cast<size_t>(at - t.data());
        size_t from = t.rfind('\n', pos == 0 ? 0 : pos - 1);
        from = from == std::string::npos ? 0 : from + 1;
        if (from > 0) {   // after a line break: the marker "N:"
            const size_t colon = t.find(':', from);
            if (colon != std::string::npos && colon < pos)
                from = colon + 1;
        }
        const size_t to = t.find_first_of("\r\n", pos);
        return t.substr(from, (to == std::string::npos ? t.size() : to) - from);
    }
    return {};
}

std::string ErrorDetail(TPoruBase& st, const std::string& message)
{
    if (message.find("0 による浮動小数点数除算") != std::string::npos)
        return "0で割ろうとしました。";
    if (message.find("\")\"が対応していません。") != std::string::npos) {
        const std::string line = LineAround(st, st.Cursor);
        if (!line.empty())
            return "この行で開いた「(」が閉じていません: " + line;
    }
    std::string name;
    if (QuotedAfter(message, "ファイル\"", name) &&
        (message.find("\"が、ありません。") != std::string::npos ||
         message.find("\"の、読み込みか書き込みに、失敗しました。") != std::string::npos)) {
        std::error_code ec;
        const std::string found = FindReadPath(st, name);
        if (std::filesystem::exists(ToNativePath(found), ec))
            return {};
        if (!found.empty() && found[0] == '/') {
            const std::string folder = PathFolderPart(found);
            if (!folder.empty() && !std::filesystem::is_directory(ToNativePath(folder), ec))
                return "フォルダ\"" + folder + "\"がありません。";
            return "ファイル\"" + found + "\"はありません。";
        }
        std::string folders;
        for (const std::string& f : ReadPathFolders(st))
            folders += (folders.empty() ? "" : "、") + f;
        return "ファイル\"" + name + "\"はありません。探したフォルダ: " + folders;
    }
    const TWrongFormCall& w = st.Ext<TWrongFormCall>();
    if (!w.Label.empty() && (message.find(w.FirstEntry) != std::string::npos ||
                             message.find("\"" + w.Label + "\"命令の引数に誤りがあります。") != std::string::npos)) {
        const std::string detail =
            "ラベル\"" + w.Label + "\"は、" + w.File + "(" + std::to_string(w.Line) +
            "行目)で引数付きで呼ばれましたが、関数定義されていないので、引数がそのまま残っています。";
        st.Ext<TWrongFormCall>() = TWrongFormCall{};
        return detail;
    }
    const size_t undefined = message.find("\"は未定義の命令です。");
    if (undefined != std::string::npos) {
        // The words of the rebuilt sentence: one read as a condition word.
        const size_t open = message.rfind('"', undefined == 0 ? 0 : undefined - 1);
        const std::string sentence =
            open == std::string::npos ? std::string() : message.substr(open + 1, undefined - open - 1);
        size_t from = 0;
        while (from <= sentence.size()) {
            size_t comma = sentence.find(',', from);
            if (comma == std::string::npos)
                comma = sentence.size();
            const std::string word = sentence.substr(from, comma - from);
            // 「AがBでなければ」 without もし: the ending is the else word, not a condition.
            const std::string tail = "でなければ";
            if (word.size() >= tail.size() && word.compare(word.size() - tail.size(), tail.size(), tail) == 0)
                return "「でなければ」は「違えば」と同じ意味の語です。条件には「もし、～ならば」を使います。";
            from = comma + 1;
        }
    }
    return {};
}
