// Control events to script handlers: every control gets an event filter (mouse,
// keys, drops) and its change signals; the record's slot decides what runs. The
// handler runs at once when the interpreter is idle, and right after the running
// statement when it is busy (a statement that lets messages through).
#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>

#include <csignal>

#include "core/codec.h"
#include "core/hash.h"
#include "core/text.h"
#include "gui/anime_box.h"
#include "gui/controls.h"
#include "gui/event_relay.h"
#include "gui/kinds.h"
#include "gui/main_window.h"
#include "gui/objects_internal.h"
#include "interp/event_run.h"
#include "interp/interp.h"
#include "services/qt_text.h"

namespace {

TEventRelay* RelayOf(QWidget* w)
{
    for (QObject* c : w->children())
        if (auto* r = dynamic_cast<TEventRelay*>(c))
            return r;
    return nullptr;
}

}   // namespace

// ---- the event filter ---------------------------------------------------------------------

bool TEventRelay::eventFilter(QObject* watched, QEvent* e)
{
    switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        if (mouse_)
            OnMouse(watched, e);
        break;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        if (keys_)
            OnKey(e);
        break;
    case QEvent::DragEnter:
        return OnDragEnter(e);
    case QEvent::Drop:
        return OnDrop(e);
    default:
        break;
    }
    return false;
}

void TEventRelay::OnMouse(QObject* watched, QEvent* e)
{
    auto* me = static_cast<QMouseEvent*>(e);
    QWidget* from = qobject_cast<QWidget*>(watched);
    QPoint pt = me->position().toPoint();
    if (from == control_ && BelongsToChildObject(pt))
        return;   // ignored by a child object and passed on to its container
    if (from && from != control_)
        pt = from->mapTo(control_, pt);
    const bool dbl = e->type() == QEvent::MouseButtonDblClick;
    Qt::MouseButtons buttons = me->buttons();
    if (e->type() == QEvent::MouseButtonRelease)
        buttons |= me->button();
    const std::string mods = ModifierText(me->modifiers(), buttons, dbl);
    SetMouseVariables(st_, pt.x(), pt.y(), mods);
    const int id = id_;
    TPoruBase& st = st_;
    if (e->type() == QEvent::MouseButtonPress) {
        FireEvent(st, id, esMouseDown);
    } else if (e->type() == QEvent::MouseButtonRelease) {
        FireEvent(st, id, esMouseUp);
        if (clickOnRelease_ && me->button() == Qt::LeftButton)
            FireEvent(st, id, esClick);
    } else if (dbl) {
        FireEvent(st, id, esDoubleClick);
    } else {
        FireEvent(st, id, esMouseMove);
    }
}

void TEventRelay::OnKey(QEvent* e)
{
    auto* ke = static_cast<QKeyEvent*>(e);
    if (e->type() == QEvent::KeyRelease && ke->isAutoRepeat())
        return;
    const int slot = e->type() == QEvent::KeyPress ? esKeyDown : esKeyUp;
    TObjNode* rec = FindObjectById(st_, id_);
    if (!rec || !rec->EventPos[slot])
        return;   // the variables are written only for a handler
    SetSystemWord(st_, "押されたキー", std::to_string(VirtualKey(ke->key(), ke->modifiers())));
    SetSystemWord(st_, "押された特殊キー", ModifierText(ke->modifiers(), Qt::NoButton, false));
    FireEvent(st_, id_, slot);
}

bool TEventRelay::OnDragEnter(QEvent* e)
{
    auto* de = static_cast<QDragEnterEvent*>(e);
    if (!drops_ || !de->mimeData()->hasUrls())
        return false;
    de->acceptProposedAction();
    return true;
}

bool TEventRelay::OnDrop(QEvent* e)
{
    auto* de = static_cast<QDropEvent*>(e);
    if (!drops_ || !de->mimeData()->hasUrls())
        return false;
    std::vector<std::string> files;
    for (const QUrl& u : de->mimeData()->urls())
        files.push_back(QStringToSjis(u.isLocalFile() ? u.toLocalFile() : u.toString()));
    de->acceptProposedAction();
    DeliverDroppedFiles(st_, id_, files);
    return true;
}

bool TEventRelay::BelongsToChildObject(const QPoint& pt) const
{
    for (QWidget* c = control_->childAt(pt); c && c != control_; c = c->parentWidget())
        if (c->property("poruId").isValid())
            return true;
    return false;
}

std::string ModifierText(Qt::KeyboardModifiers mods, Qt::MouseButtons buttons, bool dbl)
{
    std::string out;
    auto add = [&out](const char* name) {
        out += name;
        out += "\r\n";
    };
    if (mods & Qt::ShiftModifier)
        add("Shift");
    if (mods & Qt::AltModifier)
        add("Alt");
    if (mods & Qt::ControlModifier)
        add("Ctrl");
    if (buttons & Qt::LeftButton)
        add("Left");
    if (buttons & Qt::RightButton)
        add("Right");
    if (buttons & Qt::MiddleButton)
        add("Middle");
    if (dbl)
        add("Double");
    return Trim(out);
}

namespace {

// The virtual-key codes of the keys that are neither letters, digits nor function keys.
struct TKeyCode {
    int Key;
    int Code;
};
const TKeyCode kKeyCodes[] = {
    {Qt::Key_Backspace, 8},    {Qt::Key_Tab, 9},           {Qt::Key_Backtab, 9},       {Qt::Key_Clear, 12},
    {Qt::Key_Return, 13},      {Qt::Key_Enter, 13},        {Qt::Key_Shift, 16},        {Qt::Key_Control, 17},
    {Qt::Key_Alt, 18},         {Qt::Key_Pause, 19},        {Qt::Key_CapsLock, 20},     {Qt::Key_Escape, 27},
    {Qt::Key_Space, 32},       {Qt::Key_PageUp, 33},       {Qt::Key_PageDown, 34},     {Qt::Key_End, 35},
    {Qt::Key_Home, 36},        {Qt::Key_Left, 37},         {Qt::Key_Up, 38},           {Qt::Key_Right, 39},
    {Qt::Key_Down, 40},        {Qt::Key_Print, 44},        {Qt::Key_Insert, 45},       {Qt::Key_Delete, 46},
    {Qt::Key_Meta, 91},        {Qt::Key_Menu, 93},         {Qt::Key_NumLock, 144},     {Qt::Key_ScrollLock, 145},
    {Qt::Key_Semicolon, 186},  {Qt::Key_Colon, 186},       {Qt::Key_Plus, 187},        {Qt::Key_Equal, 187},
    {Qt::Key_Comma, 188},      {Qt::Key_Less, 188},        {Qt::Key_Minus, 189},       {Qt::Key_Underscore, 189},
    {Qt::Key_Period, 190},     {Qt::Key_Greater, 190},     {Qt::Key_Slash, 191},       {Qt::Key_Question, 191},
    {Qt::Key_At, 192},         {Qt::Key_QuoteLeft, 192},   {Qt::Key_BracketLeft, 219}, {Qt::Key_BraceLeft, 219},
    {Qt::Key_Backslash, 220},  {Qt::Key_Bar, 220},         {Qt::Key_yen, 220},         {Qt::Key_BracketRight, 221},
    {Qt::Key_BraceRight, 221}, {Qt::Key_AsciiCircum, 222}, {Qt::Key_Apostrophe, 222},
};

}   // namespace

int VirtualKey(int key, Qt::KeyboardModifiers mods)
{
    if (mods & Qt::KeypadModifier) {
        if (key >= Qt::Key_0 && key <= Qt::Key_9)
            return 96 + (key - Qt::Key_0);
        switch (key) {
        case Qt::Key_Asterisk:
            return 106;
        case Qt::Key_Plus:
            return 107;
        case Qt::Key_Minus:
            return 109;
        case Qt::Key_Period:
            return 110;
        case Qt::Key_Slash:
            return 111;
        default:
            break;
        }
    }
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return key;   // 65..90 alike
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return key;   // 48..57 alike
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return 112 + (key - Qt::Key_F1);
    for (const TKeyCode& k : kKeyCodes)
        if (k.Key == key)
            return k.Code;
    return 0;
}

void SetMouseVariables(TPoruBase& st, int x, int y, const std::string& modifiers)
{
    SetSystemWord(st, "マウスX", std::to_string(x));
    SetSystemWord(st, "マウスY", std::to_string(y));
    SetSystemWord(st, "押された特殊キー", modifiers);
}

void RunCurrentHandler(TPoruBase& st, TObjNode* rec, bool untilDone)
{
    if (!rec || !rec->EventPos[esCurrent] || st.Stopping)
        return;
    if (THashNode* ev = st.Words.FindExact(J("イベントオブジェクト"))) {
        ev->Kind = wkObject;
        ev->Id = rec->Index;
    }
    RunHandlerAsEvent(st, rec->EventPos[esCurrent], untilDone);
}

void FireEvent(TPoruBase& st, int id, int slot, bool untilDone)
{
    TObjNode* rec = FindObjectById(st, id);
    if (!rec || !rec->EventPos[slot] || st.Stopping)
        return;
    if (TMainWindow* w = HostWindowOf(st); w && w->IsClosed())
        return;
    const char* saved = rec->EventPos[esCurrent];
    rec->EventPos[esCurrent] = rec->EventPos[slot];
    RunCurrentHandler(st, rec, untilDone);
    // The handler may have destroyed the object: look the record up again.
    if (TObjNode* again = FindObjectById(st, id); again == rec)
        rec->EventPos[esCurrent] = saved;
}

void AssignHandler(TPoruBase& st, TObjNode* rec, int slot, const std::string& valueIn)
{
    std::string value = valueIn;
    if (value == "\"\"" || value == "``") {
        rec->EventPos[slot] = nullptr;
        rec->EventCode[slot].clear();
        return;
    }
    if (value.size() >= 2 && value.front() == '`' && value.back() == '`')
        value = value.substr(1, value.size() - 2);
    std::string code;
    if (THashNode* w = st.Words.FindExact(value)) {
        if (w->Kind == wkLabel) {
            rec->EventPos[slot] = w->Position();
            rec->EventCode[slot].clear();
            return;
        }
        if (w->Kind == wkVariable)
            st.Error(J("計算式に誤りがあります。イベントに変数を設定することは出来ません。ラベルを指定してください。"));
        code = value;
    } else if (value.empty()) {
        rec->EventPos[slot] = nullptr;
        rec->EventCode[slot].clear();
        return;
    } else if (value.front() == '(') {
        int depth = 0;
        size_t end = 0;
        for (size_t i = 0; i < value.size(); ++i) {
            if (value[i] == '(')
                ++depth;
            else if (value[i] == ')' && --depth == 0) {
                end = i;
                break;
            }
        }
        code = end ? value.substr(1, end - 1) : value.substr(1);
    } else {
        code = value;
    }
    // Handler code runs as program text, normalised like the program itself.
    std::string text = code + "\r\n";
    st.NormaliseOrRaise(text);
    TObjectsState& s = ObjState(st);
    s.Codes.push_back(std::move(text));
    rec->EventCode[slot] = code;
    rec->EventPos[slot] = s.Codes.back().c_str();
}

void WireEvents(TPoruBase& st, TObjNode* rec)
{
    QWidget* w = ObjectWidget(rec);
    if (!w)
        return;
    const TKindOps& ops = KindOps(rec->ClassCode);
    auto* relay = new TEventRelay(st, w, rec->Index, ops.Keys, ops.Mouse, false);
    Watch(w, relay, ops.Mouse);
    if (ops.Wire)
        ops.Wire(st, rec, relay);
}

void WireMainWindow(TPoruBase& st)
{
    TMainWindow* main = HostWindowOf(st);
    if (!main || main->property("poruWired").toBool())
        return;
    main->setProperty("poruWired", true);
    main->Surface()->setProperty("poruId", 0);
    auto* surfaceRelay = new TEventRelay(st, main->Surface(), 0, false, true, false);
    surfaceRelay->clickOnRelease_ = true;
    Watch(main->Surface(), surfaceRelay, true);
    auto* keyRelay = new TEventRelay(st, main, 0, true, false, false);
    main->installEventFilter(keyRelay);
    TPoruBase* sp = &st;
    main->SetResizedHandler([sp] { FireEvent(*sp, 0, esChange); });
}

// ---- dropped files ----------------------------------------------------------------------

void SetDropTarget(TPoruBase& st, TObjNode* rec, bool on)
{
    QWidget* w = rec->Index == 0 ? static_cast<QWidget*>(HostWindowOf(st)) : ObjectWidget(rec);
    if (!w)
        return;
    if (rec->ClassCode == okForm)
        w = static_cast<TFormWindow*>(w)->Background();
    TObjectsState& s = ObjState(st);
    QWidget* target = w;
    if (auto* area = qobject_cast<QAbstractScrollArea*>(w))
        target = area->viewport();
    TEventRelay* relay = RelayOf(w);
    if (!relay) {
        relay = new TEventRelay(st, w, rec->Index, false, false, true);
        w->installEventFilter(relay);
    }
    relay->drops_ = on;
    if (target != w)
        target->installEventFilter(relay);
    target->setAcceptDrops(on);
    w->setAcceptDrops(on);
    if (on)
        s.DropTargets.push_back(w);
    else
        ForgetDropTarget(st, w);
}

void ForgetDropTarget(TPoruBase& st, QWidget* w)
{
    auto& list = ObjState(st).DropTargets;
    for (auto it = list.begin(); it != list.end();)
        it = (it->isNull() || it->data() == w) ? list.erase(it) : it + 1;
}

void DeliverDroppedFiles(TPoruBase& st, int id, const std::vector<std::string>& files)
{
    TObjNode* rec = FindObjectById(st, id);
    if (!rec)
        return;
    std::string list;
    for (const std::string& f : files) {
        list += f;
        list += "\r\n";
    }
    const std::string trimmed = Trim(list);
    SetSystemWord(st, "イベントの値", trimmed);
    if (rec->EventPos[esFileDrop] || !rec->EventCode[esFileDrop].empty()) {
        FireEvent(st, id, esFileDrop);
        return;
    }
    if (const TKindOps& ops = KindOps(rec->ClassCode); ops.TakeFiles)
        ops.TakeFiles(ObjectWidget(rec), files);
}

// ---- responsiveness while the interpreter is busy ------------------------------------------

extern bool gInBusyPulse;
volatile std::sig_atomic_t gStopSignal = 0;

namespace {

bool IsUserInput(QEvent::Type t)
{
    switch (t) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::ContextMenu:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
        return true;
    default:
        return false;
    }
}

// While the busy pulse processes events, the user's clicks and keys are dropped: a
// handler may run only where the event interruption allows. Everything else (paints,
// resizes, the close request of the window manager) goes through.
class TBusyInputGate : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject*, QEvent* e) override { return gInBusyPulse && IsUserInput(e->type()); }
};

// Called by the run loop every few hundred statements: every 30 ms it lets the
// window repaint and take a close request (which then runs here, between two
// statements), and a stop signal ends the program here.
void BusyPulse(TPoruBase& st)
{
    static QElapsedTimer clock;
    if (!clock.isValid()) {
        clock.start();
        return;
    }
    if (clock.elapsed() < 30 && !gStopSignal)
        return;
    clock.restart();
    gInBusyPulse = true;
    QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers);
    gInBusyPulse = false;
    if (gStopSignal) {
        StopForSignal(st);
        return;
    }
    if (TMainWindow* w = HostWindowOf(st); w && w->TakePendingClose())
        w->RequestClose();
}

}   // namespace

extern void (*gRunLoopPulse)(TPoruBase&);

void InstallBusyPump(TPoruBase& st)
{
    gRunLoopPulse = BusyPulse;
    static TBusyInputGate* gate = nullptr;
    if (!gate && qApp) {
        gate = new TBusyInputGate(qApp);
        qApp->installEventFilter(gate);
    }
}

void StopForSignal(TPoruBase& st)
{
    // Once only: a second call (from a close label that processes events) finds the
    // window being closed.
    static bool inside = false;
    TMainWindow* w = HostWindowOf(st);
    if (inside || (w && w->IsClosed()))
        return;
    inside = true;
    // The dialogs that wait for the user give up (innermost first).
    for (int guard = 0; guard < 32; ++guard) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            break;
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        if (QApplication::activeModalWidget() == modal)
            modal->hide();
    }
    // The close label runs once; then the window goes, whatever the label decided.
    if (w)
        w->RequestClose();
    st.Stopping = true;
    st.Cursor = nullptr;
    if (w)
        w->ForceClose();
    inside = false;
    QCoreApplication::quit();
}
