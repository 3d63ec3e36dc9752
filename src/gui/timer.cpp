// The script timer (タイマー設定, タイマー解除).
#include <QTimer>

#include <cmath>

#include "core/text.h"
#include "gui/objects_internal.h"
#include "interp/builtins.h"
#include "interp/event_run.h"
#include "interp/host.h"
#include "interp/interp.h"

bool gInBusyPulse = false;

namespace {

constexpr int64_t kMaxSlice = 0x7FFFFFFF;

void ArmSlice(TObjectsState& s)
{
    const int64_t slice = std::min<int64_t>(s.TimerLeftMs, kMaxSlice);
    s.TimerLeftMs -= slice;
    s.ScriptTimer->start(static_cast<int>(slice));
}

void TimerExpired(TPoruBase& st)
{
    TObjectsState& s = ObjState(st);
    if (s.TimerLeftMs > 0) {
        // A long interval goes on in another slice.
        ArmSlice(s);
        return;
    }
    if (gInBusyPulse) {
        // The window is only being repainted inside a long computation: the
        // handler waits for a moment when events may run.
        s.ScriptTimer->start(1);
        return;
    }
    s.ScriptTimer->stop();
    RunHandlerAsEvent(st, st.TimerTarget);
}

QTimer* TimerOf(TPoruBase& st)
{
    TObjectsState& s = ObjState(st);
    if (!s.ScriptTimer) {
        s.ScriptTimer = new QTimer(static_cast<QObject*>(st.Host ? nullptr : nullptr));
        s.ScriptTimer->setSingleShot(true);
        s.ScriptTimer->setTimerType(Qt::PreciseTimer);
        TPoruBase* sp = &st;
        QObject::connect(s.ScriptTimer, &QTimer::timeout, [sp] { TimerExpired(*sp); });
    }
    return s.ScriptTimer;
}

// タイマー設定: seconds 秒後に, label へ飛ぶ.
void cmdTimerSet(TPoruBase& st)
{
    std::string label = Trim(st.PopRaw());
    if (!label.empty() && (label.front() == '"' || label.front() == '`'))
        label = Trim(st.ExpandLiteral(label));
    const long double seconds = st.PopNumber();
    QTimer* timer = TimerOf(st);
    TObjectsState& s = ObjState(st);
    if (label.empty()) {
        timer->stop();
        s.TimerLeftMs = 0;
        st.TimerTarget = nullptr;
        return;
    }
    THashNode* w = st.Words.FindExact(label);
    if (!w || w->Kind != wkLabel)
        st.Error(J("未定義のラベル\"") + label + J("\"に、ジャンプしようとしました。"));
    const long double ms = std::trunc(seconds * 1000);
    if (!(ms >= 0 && ms <= 4294967295.0L))
        st.Error(J("範囲チェックエラー"));
    timer->stop();
    st.TimerTarget = w->Position();
    s.TimerLeftMs = static_cast<int64_t>(ms);
    if (s.TimerLeftMs == 0)
        return;   // an interval of 0 never fires
    ArmSlice(s);
}

void cmdTimerOff(TPoruBase& st)
{
    TObjectsState& s = ObjState(st);
    if (s.ScriptTimer)
        s.ScriptTimer->stop();
    s.TimerLeftMs = 0;
}

HandlerRegistrar reg({{Cmd::TimerSet, cmdTimerSet}, {Cmd::TimerOff, cmdTimerOff}});

}   // namespace

void StopScriptTimer(TPoruBase& st)
{
    cmdTimerOff(st);
}
