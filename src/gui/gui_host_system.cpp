// The window host's side of the system commands: the desktop's windows and keys
// (X11 when Qt runs on it, otherwise the run-time's own windows, reached through Qt
// events), the main window's place, the beep, the log window of ログる and the
// system clipboard.
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

#include <algorithm>

#include "commands/files/files.h"
#include "commands/system/key_sequence.h"
#include "core/codec.h"
#include "gui/dialog_answers.h"
#include "gui/gui_host.h"
#include "gui/main_window.h"
#include "gui/x11_desktop.h"
#include "interp/interp.h"
#include "services/qt_text.h"

namespace {

// アクティブ and キー送信 look this often whether the window has come to the front,
// and give up after this many looks.
constexpr int kActivatePollMs = 10;
constexpr int kActivateTries = 512;

// The X11 desktop when Qt itself draws on X11; nil offscreen, on Wayland and on
// other platforms, where only the run-time's own windows can be reached.
TX11Desktop* Desktop()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    return TX11Desktop::Instance();
}

std::vector<QWidget*> OwnWindows()
{
    std::vector<QWidget*> out;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && !w->windowTitle().isEmpty())
            out.push_back(w);
    return out;
}

// The first of `titles` equal to `wanted`, else the first containing it; -1 when none.
template <class T, class TitleOf> int PickWindow(const std::vector<T>& windows, const QString& wanted, TitleOf titleOf)
{
    for (size_t i = 0; i < windows.size(); ++i)
        if (titleOf(windows[i]) == wanted)
            return static_cast<int>(i);
    for (size_t i = 0; i < windows.size(); ++i)
        if (titleOf(windows[i]).contains(wanted))
            return static_cast<int>(i);
    return -1;
}

// ---- keys as Qt events (the run-time's own windows) ----

struct TQtKey {
    int Key = 0;
    QString Text;
};

// What a US keyboard gives with Shift for the unshifted characters.
QChar Shifted(QChar c)
{
    static const QString plain = QStringLiteral("1234567890-=[];',./`\\");
    static const QString shifted = QStringLiteral("!@#$%^&*()_+{}:\"<>?~|");
    if (c.isLower())
        return c.toUpper();
    const int at = plain.indexOf(c);
    return at >= 0 ? shifted.at(at) : c;
}

TQtKey QtNamedKey(TNamedKey key, Qt::KeyboardModifiers mods)
{
    switch (key) {
    case TNamedKey::CapsLock:
        return {Qt::Key_CapsLock, {}};
    case TNamedKey::NumLock:
        return {Qt::Key_NumLock, {}};
    case TNamedKey::ScrollLock:
        return {Qt::Key_ScrollLock, {}};
    case TNamedKey::Escape:
        return {Qt::Key_Escape, QStringLiteral("\x1b")};
    case TNamedKey::Enter:
        return {Qt::Key_Return, QStringLiteral("\r")};
    case TNamedKey::Help:
        return {Qt::Key_Help, {}};
    case TNamedKey::PrintScreen:
        return {Qt::Key_Print, {}};
    case TNamedKey::Tab:
        return (mods & Qt::ShiftModifier) ? TQtKey{Qt::Key_Backtab, {}} : TQtKey{Qt::Key_Tab, QStringLiteral("\t")};
    case TNamedKey::Break:
        return {Qt::Key_Pause, {}};
    case TNamedKey::Clear:
        return {Qt::Key_Clear, {}};
    case TNamedKey::Backspace:
        return {Qt::Key_Backspace, QStringLiteral("\b")};
    case TNamedKey::Delete:
        return {Qt::Key_Delete, QStringLiteral("\x7f")};
    case TNamedKey::Insert:
        return {Qt::Key_Insert, {}};
    case TNamedKey::Left:
        return {Qt::Key_Left, {}};
    case TNamedKey::Right:
        return {Qt::Key_Right, {}};
    case TNamedKey::Up:
        return {Qt::Key_Up, {}};
    case TNamedKey::Down:
        return {Qt::Key_Down, {}};
    case TNamedKey::PageUp:
        return {Qt::Key_PageUp, {}};
    case TNamedKey::PageDown:
        return {Qt::Key_PageDown, {}};
    case TNamedKey::Home:
        return {Qt::Key_Home, {}};
    case TNamedKey::End:
        return {Qt::Key_End, {}};
    case TNamedKey::Ime:
        return {Qt::Key_Zenkaku_Hankaku, {}};
    default:
        break;
    }
    return {Qt::Key_F1 + (static_cast<int>(key) - static_cast<int>(TNamedKey::F1)), {}};
}

TQtKey QtCharKey(char c, Qt::KeyboardModifiers mods)
{
    QChar ch = QLatin1Char(c);
    TQtKey k;
    k.Key = ch.toUpper().unicode();
    if (mods & Qt::ShiftModifier)
        ch = Shifted(ch);
    if (mods & Qt::ControlModifier)
        k.Text = ch.isLetter() ? QString(QChar(ch.toUpper().unicode() & 0x1F)) : QString();
    else
        k.Text = QString(ch);
    if (c == '\r' || c == '\n')
        k = {Qt::Key_Return, QStringLiteral("\r")};
    else if (c == '\t')
        k = {Qt::Key_Tab, QStringLiteral("\t")};
    return k;
}

QWidget* KeyTarget()
{
    if (QWidget* w = QApplication::focusWidget())
        return w;
    QWidget* active = QApplication::activeWindow();
    return active && active->focusWidget() ? active->focusWidget() : active;
}

// Sends a press and a release to the focused widget, which may change (Tab) or
// vanish (a handler destroying it) between keys.
void SendQtKey(const TQtKey& k, Qt::KeyboardModifiers mods)
{
    QPointer<QWidget> target = KeyTarget();
    if (!target)
        return;
    QKeyEvent press(QEvent::KeyPress, k.Key, mods, k.Text);
    QCoreApplication::sendEvent(target, &press);
    if (!target)
        return;
    QKeyEvent release(QEvent::KeyRelease, k.Key, mods, k.Text);
    QCoreApplication::sendEvent(target, &release);
}

Qt::KeyboardModifier QtModifier(TKeyModifier m)
{
    switch (m) {
    case TKeyModifier::Shift:
        return Qt::ShiftModifier;
    case TKeyModifier::Ctrl:
        return Qt::ControlModifier;
    case TKeyModifier::Alt:
        return Qt::AltModifier;
    }
    return Qt::NoModifier;
}

void SendKeysAsQtEvents(const std::vector<TKeyAction>& actions)
{
    Qt::KeyboardModifiers mods;
    for (const TKeyAction& a : actions) {
        switch (a.Kind) {
        case TKeyAction::Down:
            mods |= QtModifier(a.Modifier);
            break;
        case TKeyAction::Up:
            mods &= ~QtModifier(a.Modifier);
            break;
        case TKeyAction::Named:
            SendQtKey(QtNamedKey(a.Key, mods), mods);
            break;
        case TKeyAction::Char:
            SendQtKey(QtCharKey(a.Text[0], mods), mods);
            break;
        case TKeyAction::Typed:
            SendQtKey({0, SjisToQString(a.Text)}, mods & ~Qt::ShiftModifier);
            break;
        }
    }
}

// ---- keys through X11 ----

// Presses modifiers as the actions say and releases, when it goes, every one still
// held, so that an interrupted list never leaves a key down on the desktop.
class TX11KeySender {
public:
    explicit TX11KeySender(TX11Desktop& d) : d_(d) {}
    ~TX11KeySender()
    {
        for (TKeyModifier m : held_)
            d_.Modifier(m, false);
        d_.Sync();
    }
    void Send(const TKeyAction& a)
    {
        switch (a.Kind) {
        case TKeyAction::Down:
            d_.Modifier(a.Modifier, true);
            held_.push_back(a.Modifier);
            break;
        case TKeyAction::Up:
            if (auto it = std::find(held_.rbegin(), held_.rend(), a.Modifier); it != held_.rend()) {
                held_.erase(std::next(it).base());
                d_.Modifier(a.Modifier, false);
            }
            break;
        case TKeyAction::Named:
            d_.PressNamed(a.Key);
            break;
        case TKeyAction::Char:
            d_.PressChar(a.Text[0]);
            break;
        case TKeyAction::Typed:
            d_.TypeText(SjisToUtf8(a.Text));
            break;
        }
    }

private:
    TX11Desktop& d_;
    std::vector<TKeyModifier> held_;
};

// ---- the log window ----

void ShowLogWindow(QWidget* parent, const QString& caption, const QString& text)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(caption);
    auto* layout = new QVBoxLayout(&dialog);
    auto* memo = new QPlainTextEdit(&dialog);
    memo->setObjectName(QStringLiteral("memLog"));
    memo->setReadOnly(true);
    memo->setPlainText(text);
    layout->addWidget(memo);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    layout->addWidget(buttons);
    dialog.resize(480, 360);
    dialog.exec();
}

// ---- the clipboard ----

// Scripts see line breaks as CR LF; other programs on this desktop expect LF.
std::string ClipboardGet()
{
    if (!QGuiApplication::instance())
        return std::string();
    QString text = QGuiApplication::clipboard()->text();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return QStringToSjis(text);
}

void ClipboardSet(const std::string& sjis)
{
    if (!QGuiApplication::instance())
        return;
    QString text = SjisToQString(sjis);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QGuiApplication::clipboard()->setText(text);
}

// Every program that links the window host uses the system clipboard.
struct TClipboardInstall {
    TClipboardInstall() { SetClipboardHooks(ClipboardGet, ClipboardSet); }
} gClipboardInstall;

}   // namespace

std::vector<std::string> TGuiHost::WindowTitles(TPoruBase&)
{
    std::vector<std::string> titles;
    if (TX11Desktop* d = Desktop()) {
        for (const TX11Desktop::TWindow& w : d->TopLevelWindows())
            titles.push_back(Utf8ToSjis(w.Title));
        return titles;
    }
    for (QWidget* w : OwnWindows())
        titles.push_back(QStringToSjis(w->windowTitle()));
    return titles;
}

bool TGuiHost::ActivateWindow(TPoruBase& st, const std::string& title)
{
    const QString wanted = SjisToQString(title);
    if (wanted.isEmpty())
        return false;
    if (TX11Desktop* d = Desktop()) {
        const std::vector<TX11Desktop::TWindow> windows = d->TopLevelWindows();
        const int at =
            PickWindow(windows, wanted, [](const TX11Desktop::TWindow& w) { return QString::fromStdString(w.Title); });
        if (at < 0)
            return false;
        const uint64_t id = windows[at].Id;
        for (QWidget* own : OwnWindows())
            if (static_cast<uint64_t>(own->winId()) == id)
                own->activateWindow();
        d->Activate(id);
        for (int i = 0; i < kActivateTries && !st.Stopping; ++i) {
            if (d->IsActive(id))
                return true;
            WaitMs(st, kActivatePollMs);
        }
        return false;
    }
    const std::vector<QWidget*> windows = OwnWindows();
    const int at = PickWindow(windows, wanted, [](QWidget* w) { return w->windowTitle(); });
    if (at < 0)
        return false;
    QPointer<QWidget> w = windows[at];
    w->raise();
    w->activateWindow();
    for (int i = 0; i < kActivateTries && w && !st.Stopping; ++i) {
        if (QApplication::activeWindow() == w)
            return true;
        WaitMs(st, kActivatePollMs);
    }
    return false;
}

void TGuiHost::SendKeys(TPoruBase& st, const std::vector<TKeyAction>& actions)
{
    if (TX11Desktop* d = Desktop()) {
        {
            TX11KeySender sender(*d);
            for (const TKeyAction& a : actions)
                sender.Send(a);
        }
        ProcessEvents();
        return;
    }
    SendKeysAsQtEvents(actions);
}

TWindowPlace TGuiHost::MainWindowPlace(TPoruBase&)
{
    TWindowPlace p;
    const Qt::WindowStates s = window_->windowState();
    p.State = (s & Qt::WindowMinimized) ? 1 : (s & Qt::WindowMaximized) ? 2 : 0;
    // The bounds of the normal window, also while it is minimised or maximised.
    QRect client = window_->geometry();
    if (p.State != 0 && !window_->normalGeometry().isEmpty())
        client = window_->normalGeometry();
    const QPoint frame = window_->geometry().topLeft() - window_->pos();
    p.Left = client.x() - frame.x();
    p.Top = client.y() - frame.y();
    p.Width = client.width();
    p.Height = client.height();
    return p;
}

void TGuiHost::SetMainWindowPlace(TPoruBase&, const TWindowPlace& p)
{
    constexpr int kMaxSide = 32767;
    window_->setWindowState(Qt::WindowNoState);
    window_->move(std::clamp(p.Left, -kMaxSide, kMaxSide), std::clamp(p.Top, -kMaxSide, kMaxSide));
    window_->resize(std::clamp(p.Width, 1, kMaxSide), std::clamp(p.Height, 1, kMaxSide));
    if (p.State == 2)
        window_->setWindowState(Qt::WindowMaximized);
    else if (p.State == 1)
        window_->setWindowState(Qt::WindowMinimized);
}

void TGuiHost::Beep(TPoruBase&)
{
    QApplication::beep();
}

void TGuiHost::ShowLog(TPoruBase&, const std::string& caption, const std::string& text)
{
    if (DialogsScripted()) {
        RecordDialog(SjisToUtf8(caption), text, std::string());
        return;
    }
    QString shown = SjisToQString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    ShowLogWindow(window_, SjisToQString(caption), shown);
}
