// Error reporting: the location prefix, the accumulated error text, warnings, the
// run loop's error handling by error mode, and the error-mode commands.
#include <cstring>
#include <functional>

#include "core/error.h"
#include "core/paths.h"
#include "interp/builtins.h"
#include "interp/debug_link.h"
#include "interp/host.h"
#include "interp/interp.h"

namespace {

TPoruBase* gActive = nullptr;

void RecordInActiveState(const std::string& msg)
{
    if (gActive)
        gActive->AppendErrorText(msg);
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
