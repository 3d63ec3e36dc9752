// The run loop: executes statements at the cursor, continues or ends the open
// control structures when a text ends, and the nested-run pattern used by calls,
// includes, events and ぽるかなする.
#include <pthread.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "core/walker_mode.h"
#include "interp/builtins.h"
#include "interp/calc_cache.h"
#include "interp/event_loop.h"
#include "interp/host.h"
#include "interp/interp.h"
#include "loader/normaliser.h"

namespace {
const char kTooDeep[] = "関数やイベントの呼び出しが深すぎるため、実行を中止します。";
}   // namespace

void TPoruBase::EnterNesting()
{
    CheckStack();
    if (NestDepth >= kMaxNesting)
        Error(kTooDeep);
    savedCalcDepth_[NestDepth] = calcDepth_;
    calcDepth_ = 0;
    ++NestDepth;
}

void TPoruBase::StackExhausted()
{
    Error(kTooDeep);
}

// The lowest frame address a recursing path may reach on this thread: the stack's
// low end plus a margin for the error itself (formatting, unwinding, the host's
// report) and for what a single command uses between two checks. A quarter of the
// stack, at least 128 KiB and at most 1 MiB: 256 KiB of a 1 MiB stack, 1 MiB of the
// usual 8 MiB.
uintptr_t StackFloorOfThisThread()
{
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) != 0)
        return 0;
    void* low = nullptr;
    size_t size = 0;
    int rc = pthread_attr_getstack(&attr, &low, &size);
    pthread_attr_destroy(&attr);
    if (rc != 0 || !low || size == 0)
        return 0;
    size_t margin = std::clamp<size_t>(size / 4, 128 * 1024, 1024 * 1024);
    if (margin >= size)
        return 0;
    return reinterpret_cast<uintptr_t>(low) + margin;
}

// Set by the window host: called every 256 statements so that a long computation
// still lets the window repaint and close. Nil in the console.
void (*gRunLoopPulse)(TPoruBase&) = nullptr;
IEventLoop* gEventLoop = nullptr;

void TPoruBase::RunLoop()
{
    if (!Cursor)
        return;
    const char* previous = nullptr;
    // Entries pending when this loop started belong to an enclosing sentence; a
    // failed sentence of this loop leaves nothing above them for the next one.
    const size_t argBase = Args.Count();
    // With an error label too: the handler starts a sentence of its own (left on the
    // stack, they would end its first sentence and fail it again, forever), and
    // エラーから復帰 takes up the text where the error arose with a clean stack.
    auto dropFailedSentence = [&]() {
        auto& items = Args.Items();
        if (items.size() > argBase)
            items.resize(argBase);
    };
    // A statement that failed without moving the cursor is left: the rest of its
    // line (within the open body) is skipped, so that an ignored error cannot repeat
    // forever.
    auto leaveStuckLine = [&]() {
        if (!Cursor || Cursor != previous)
            return;
        const char* limit = RunControl.BodyLimit();
        const char* stuck = Cursor;
        while (*Cursor && *Cursor != '\r' && *Cursor != '\n' && Cursor != limit)
            ++Cursor;
        if (Cursor == stuck && *Cursor && Cursor != limit)
            ++Cursor;
        previous = nullptr;
    };
    for (;;) {
        if (!Cursor)
            return;
        if (!AtEnd(Cursor)) {
            if ((++runPulse_ & 0xFF) == 0 && gRunLoopPulse)
                gRunLoopPulse(*this);
            try {
                if (RunControl.Count() > kMaxRunControl)
                    Error("実行が無限ループしている可能性があるので終了します。");
                if (Stopping)
                    return;
                if (Cursor == previous)
                    Error("特定できないシステムエラーです(ToT)");
                previous = Cursor;
                ExecuteStep(Cursor);
            } catch (const TRunEnded&) {
                Cursor = nullptr;   // a statement run while a construct was read ended the run
            } catch (const EPoru& e) {
                leaveStuckLine();
                dropFailedSentence();
                if (!e.Recorded) {
                    std::string msg = FormatError(e.Message);
                    AppendErrorText(msg);
                    HandleRunError(EPoru(msg, true), true);
                } else {
                    HandleRunError(e, true);
                }
            } catch (const std::bad_alloc&) {
                // Reported like the run-time's own errors, with the file and line.
                leaveStuckLine();
                dropFailedSentence();
                std::string msg = FormatError("メモリが足りません。");
                AppendErrorText(msg);
                HandleRunError(EPoru(msg, true), true);
            } catch (const std::exception& e) {
                leaveStuckLine();
                dropFailedSentence();
                HandleRunError(EPoru(e.what()), false);
            }
            if (Stopping)
                return;
            continue;
        }
        // End of a text: continue or close the open structures.
        previous = nullptr;
        try {
            CheckRunControl();
            if (Cursor && !AtEnd(Cursor))
                continue;
            while (RunControl.Count() != 0) {
                CheckRunControl();
                if (Cursor && !AtEnd(Cursor))
                    break;
            }
        } catch (const EPoru& e) {
            HandleRunError(e, true);
            if (Stopping)
                return;
        }
        if (Cursor && !AtEnd(Cursor))
            continue;
        return;
    }
}

void TPoruBase::CheckRunControl()
{
    if (RunControl.Count() == 0)
        return;
    try {
        TRunControl* top = RunControl.Top();
        switch (top->RcKind) {
        case rcIfTrue:
        case rcIfFalse:
        case rcCase: {
            const char* after = top->After;
            TRunControl dead;
            RunControl.Pop(dead);
            Cursor = after;
            return;
        }
        case rcFor:
            // The entry is continued in place: same effect as popping it and pushing
            // an identical copy, without copying its body.
            if (top->Counter == top->Limit) {
                TRunControl dead;
                RunControl.Pop(dead);
                Cursor = dead.After;
                return;
            }
            ++top->Counter;
            if (top->CounterWord) {
                StoreWholeNumber(*top->CounterWord, top->Counter);
            }
            Cursor = top->BodyText();
            return;
        case rcTimes:
            if (top->Counter == top->Limit) {
                TRunControl dead;
                RunControl.Pop(dead);
                Cursor = dead.After;
                return;
            }
            ++top->Counter;
            Cursor = top->BodyText();
            StoreWholeNumber(*Sys.Count, top->Counter);
            return;
        case rcCall:
        case rcEvent: {
            TRunControl dead;
            RunControl.Pop(dead);
            Cursor = dead.BodyStart;
            FileName = dead.SavedFileName;
            return;
        }
        case rcEach: {
            if (!top->List || static_cast<size_t>(top->Counter) >= top->List->size()) {
                TRunControl dead;
                RunControl.Pop(dead);
                Cursor = dead.After;
                return;
            }
            ++top->Counter;
            SetSore((*top->List)[static_cast<size_t>(top->Counter) - 1], "s");
            StoreWholeNumber(*Sys.Count, top->Counter);
            Sys.Count->TypeText = "e";
            Cursor = top->BodyText();
            return;
        }
        case rcWhile: {
            long double v;
            if (!WhileHoldsOnNumbers(*top, v)) {
                std::string cond = top->Condition;
                std::string r = CalculateText(cond);
                if (!Cursor || RunControl.Count() == 0)
                    return;   // the condition ended the run
                v = std::trunc(ToNumber(r));
                top = RunControl.Top();
            }
            if (v != 0) {
                ++top->Counter;
                StoreWholeNumber(*Sys.Count, top->Counter);
                Cursor = top->BodyText();
            } else {
                TRunControl dead;
                RunControl.Pop(dead);
                Cursor = dead.After;
            }
            return;
        }
        default: {
            TRunControl dead;
            RunControl.Pop(dead);
            throw EPoru("特定できないシステムエラーです(ToT)\"CheckRunControl\"で未定義の構文があります。");
        }
        }
    } catch (const EPoru& e) {
        Raise(FormatError("実行制御でエラー。") + e.Message + ".制御スタック：" + std::to_string(RunControl.Count()));
    }
}

// A ループ condition worked out on numbers alone, with its program kept in the entry:
// v is what the calculator's text would read as (whole numbers directly). False, with
// nothing run, when the condition is to be calculated from its text.
bool TPoruBase::WhileHoldsOnNumbers(TRunControl& e, long double& v)
{
    if (ReferenceWalker())
        return false;
    if (!e.ConditionLooked) {
        TCalcCache& cache = CalcCache();
        e.ConditionProgram = cache.Find(cache.Calculations, e.Condition, false);
        e.ConditionLooked = true;
    }
    TNumResult r;
    if (!e.ConditionProgram || !RunNumeric(*static_cast<const TCalcProg*>(e.ConditionProgram), r))
        return false;
    SetPendingTag('e');
    if (r.Int && r.I > -kWholeLimit && r.I < kWholeLimit) {
        v = static_cast<long double>(r.I);
    } else {
        std::string text;
        long long whole;
        NumberResultText(r, text, whole);
        v = std::trunc(ToNumber(text));
    }
    return true;
}

void TPoruBase::RunNested(const char* pos)
{
    EnterNesting();
    const char* saved = Cursor;
    Cursor = pos;
    RunControl.EnterLevel();
    struct Leave {
        TPoruBase& st;
        const char* saved;
        ~Leave()
        {
            st.RunControl.LeaveLevel();
            st.Cursor = saved;
            st.LeaveNesting();
        }
    } leave{*this, saved};
    RunLoop();
}

void TPoruBase::RunProgram()
{
    if (!runStartPending_)
        return;
    runStartPending_ = false;
    if (Host)
        Host->ProcessEvents();
    if (FileName.empty()) {
        if (Host)
            Host->RequestClose(*this);
        return;
    }
    try {
        PrepareRun();
        Cursor = Source.c_str();
    } catch (const EPoru& e) {
        if (!e.Recorded)
            AppendErrorText(FormatError(e.Message));
        StoppedByError = true;
        if (Host) {
            Host->ShowErrorDialog(*this, ErrorText);
            Stopping = true;
            Cursor = nullptr;
            Host->RequestClose(*this);
        }
        return;
    }
    try {
        RunLoop();
    } catch (const std::exception& e) {
        if (ErrorText.empty() && Host)
            Host->MessageBox(std::string("システムエラー:") + e.what());
        StoppedByError = true;
    }
}

bool TPoruBase::RequestClose()
{
    const char* saved = Cursor;
    if (CloseLabel) {
        THashNode* label = CloseLabel;
        CloseLabel = nullptr;
        Cursor = label->Position();
        if (Sys.NoExit)
            Sys.NoExit->Value = "0";
        RunControl.EnterLevel();
        try {
            RunLoop();
        } catch (...) {
        }
        RunControl.LeaveLevel();
    }
    if (!Sys.NoExit || Sys.NoExit->Value != "1") {
        Cursor = nullptr;
        Stopping = true;
        return true;
    }
    Cursor = saved;
    return false;
}

void TPoruBase::RunEventAt(const char* pos, bool untilDone)
{
    if (!pos)
        return;
    if (Cursor && *Cursor != '\0' && !untilDone) {
        // A statement is running (inside a command that processes messages): the
        // handler runs next in the active loop and comes back through its record.
        TRunControl e;
        e.RcKind = rcEvent;
        e.BodyStart = Cursor;
        e.After = pos;
        e.SavedFileName = FileName;
        RunControl.Push(std::move(e));
        Cursor = pos;
        return;
    }
    // Nothing is running, or a command is the last thing of its text: the handler
    // runs here, in a loop of its own. When it has returned through its record, what
    // was running goes on from where it stood (a command at the end of a text inside
    // a loop still has the loop to continue); a handler that ended the run (終わり,
    // 待機, a stop) leaves it ended.
    EnterNesting();
    struct Leave {
        TPoruBase& st;
        const char* cursor;
        std::string fileName;
        int32_t lineNo;
        size_t open;
        ~Leave()
        {
            if (!st.Stopping && st.Cursor == nullptr && st.RunControl.Count() == open) {
                st.Cursor = cursor;
                st.FileName.swap(fileName);
                st.LineNo = lineNo;
            }
            st.LeaveNesting();
        }
    } leave{*this, Cursor, FileName, LineNo, RunControl.Count()};
    TRunControl e;
    e.RcKind = rcEvent;
    e.BodyStart = nullptr;
    e.After = pos;
    e.SavedFileName = FileName;
    RunControl.Push(std::move(e));
    Cursor = pos;
    RunLoop();
}

// ---- commands of the run loop ------------------------------------------------------

namespace {

// 終わり: end the program; the window is asked to close.
void cmdEnd(TPoruBase& st)
{
    st.RunControl.ClearLevel();
    st.Cursor = nullptr;
    if (st.Host)
        st.Host->RequestClose(st);
}

// 待機: end the run here and wait for events.
void cmdWait(TPoruBase& st)
{
    st.RunControl.ClearLevel();
    st.Cursor = nullptr;
}

// ぽるかなする: run a program text given as a string.
void cmdRunText(TPoruBase& st)
{
    std::string text = st.PopText();
    std::string savedFile = st.FileName;
    const char* savedCursor = st.Cursor;
    st.FileName = savedFile + "の" + std::to_string(st.LineNo) + "行目のぽるかな";
    struct Restore {
        TPoruBase& st;
        std::string& file;
        const char* cursor;
        ~Restore()
        {
            st.FileName.swap(file);
            st.Cursor = cursor;
        }
    } restore{st, savedFile, savedCursor};
    // The text lives for the nested run; blocks inside it are ranges of it, and the
    // entries that hold them go with the run's level. A position an error left in it
    // goes too: a later エラーから復帰 finds no place to resume (and stops the run).
    auto body = std::make_shared<std::string>(text);
    st.NormaliseOrRaise(*body);
    st.EnterNesting();
    struct Leave {
        TPoruBase& st;
        const std::string& text;
        ~Leave()
        {
            st.RunControl.LeaveLevel();
            st.LeaveNesting();
            st.ForgetPositionsIn(text);
        }
    } leave{st, *body};
    st.RunControl.EnterLevel();
    st.Cursor = body->c_str();
    st.RunLoop();
}

HandlerRegistrar reg({{Cmd::End, cmdEnd}, {Cmd::Wait, cmdWait}, {Cmd::RunText, cmdRunText}});

}   // namespace
