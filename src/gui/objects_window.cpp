// Commands on existing objects and on the main window: centring, focus, z-order,
// window states, re-parenting, tab pages, browser history, window messages, the
// application icon, the tray icon, the cursor and the frame style of 母艦.
#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSystemTrayIcon>
#include <QTabBar>
#include <QTabWidget>

#include "core/codec.h"
#include "core/hash.h"
#include "core/sjis.h"
#include "core/text.h"
#include "gui/controls.h"
#include "gui/dialog_answers.h"
#include "gui/main_window.h"
#include "gui/objects_internal.h"
#include "interp/builtins.h"
#include "interp/host.h"
#include "interp/interp.h"
#include "services/qt_text.h"

namespace {

// An object name argument: as written (an object word is not read for its value),
// a quoted text expanded, a variable read for the name it holds.
std::string ObjName(TPoruBase& st)
{
    std::string name = Trim(st.PopRaw());
    if (!name.empty() && (name.front() == '"' || name.front() == '`'))
        return Trim(st.ExpandLiteral(name));
    if (THashNode* w = st.Words.FindExact(name); w && w->Kind == wkVariable)
        return Trim(w->Value);
    return name;
}

TObjNode* ByRecordName(TPoruBase& st, const std::string& name)
{
    TObjNode* rec = st.Objects.Find(name);
    if (!rec)
        st.Error(J("オブジェクト\"") + name + J("\"は、作成されていません。"));
    return rec;
}

QWidget* WidgetOf(TPoruBase& st, TObjNode* rec)
{
    if (rec->Index == 0)
        return HostWindowOf(st);
    return ObjectWidget(rec);
}

bool IsWindowObject(TObjNode* rec)
{
    return rec->ClassCode == okForm;
}

void cmdCentreObject(TPoruBase& st)
{
    TObjNode* rec = ByRecordName(st, ObjName(st));
    QWidget* w = WidgetOf(st, rec);
    if (!w)
        return;
    if (IsWindowObject(rec)) {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        w->move((screen.width() - w->width()) / 2, (screen.height() - w->height()) / 2);
        return;
    }
    QWidget* p = w->parentWidget();
    if (!p)
        return;
    const int pid = p->property("poruId").isValid() ? p->property("poruId").toInt() : -1;
    TObjNode* parent = FindObjectById(st, pid);
    const bool panel = parent && parent->ClassCode == okPanel && parent->Control == p;
    const bool window = (p->objectName() == QLatin1String("img")) || dynamic_cast<TFormWindow*>(p) != nullptr;
    if (panel || window)
        w->move((p->width() - w->width()) / 2, (p->height() - w->height()) / 2);
}

void cmdFocus(TPoruBase& st)
{
    const std::string arg = Trim(st.PopRaw());
    TObjNode* rec = st.Objects.Find(arg);
    if (!rec) {
        const std::string expanded = Trim(st.EvaluateValue(arg));
        rec = st.Objects.Find(expanded);
        if (!rec)
            st.Error(J("オブジェクト\"") + expanded + J("\"は、作成されていません。"));
    }
    QWidget* w = WidgetOf(st, rec);
    if (IsWindowObject(rec)) {
        w->raise();
        w->activateWindow();
        w->setFocus();
        return;
    }
    if (!w || !w->isVisible() || !w->isEnabled() || w->focusPolicy() == Qt::NoFocus)
        st.Error("\"" + rec->Name + J("\"には、注目できません。"));
    w->setFocus();
}

void SetOnTop(QWidget* w, bool on)
{
    const bool visible = w->isVisible();
    w->setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (visible)
        w->show();
}

void cmdFront(TPoruBase& st)
{
    TObjNode* rec = ByRecordName(st, ObjName(st));
    QWidget* w = WidgetOf(st, rec);
    if (!w)
        return;
    if (IsWindowObject(rec))
        SetOnTop(w, true);
    w->raise();
}

void cmdBack(TPoruBase& st)
{
    TObjNode* rec = ByRecordName(st, ObjName(st));
    QWidget* w = WidgetOf(st, rec);
    if (!w)
        return;
    if (IsWindowObject(rec))
        SetOnTop(w, false);
    w->lower();
}

QWidget* FormByWord(TPoruBase& st)
{
    const std::string name = ObjName(st);
    TObjNode* rec = FindObjectByWord(st, name);
    if (rec->ClassCode != okForm)
        st.Error(J("オブジェクト\"") + name + J("\"は、\"フォーム\"ではありません。"));
    return WidgetOf(st, rec);
}

void cmdMaximise(TPoruBase& st)
{
    FormByWord(st)->showMaximized();
}
void cmdMinimise(TPoruBase& st)
{
    FormByWord(st)->showMinimized();
}
void cmdNormal(TPoruBase& st)
{
    FormByWord(st)->showNormal();
}

void cmdMainMaximise(TPoruBase& st)
{
    HostWindowOf(st)->showMaximized();
}
// The main window's frame: 0 none, 1 fixed, 2 sizeable, 3 dialog; kept for reading
// スタイル back. A fixed frame keeps the current size.
void SetMainFrame(TMainWindow* m, int style, Qt::WindowFlags extra = {})
{
    Qt::WindowFlags flags = Qt::Window;
    if (style == 0)
        flags |= Qt::FramelessWindowHint;
    if (style == 3)
        flags = Qt::Dialog;
    m->setWindowFlags(flags | extra);
    if (style == 1 || style == 3) {
        m->setFixedSize(m->size());
    } else {
        m->setMinimumSize(0, 0);
        m->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
    m->setProperty("poruStyle", style);
}

void cmdMainMinimise(TPoruBase& st)
{
    TMainWindow* m = HostWindowOf(st);
    SetMainFrame(m, 2);
    m->showNormal();
    m->showMinimized();
}
void cmdMainNormal(TPoruBase& st)
{
    TMainWindow* m = HostWindowOf(st);
    m->unsetCursor();
    SetMainFrame(m, 2);
    m->showNormal();
}
void cmdMainFullScreen(TPoruBase& st)
{
    TMainWindow* m = HostWindowOf(st);
    SetMainFrame(m, 0, Qt::WindowStaysOnTopHint);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    m->setGeometry(0, 0, screen.width(), screen.height());
    m->setWindowState(Qt::WindowMaximized);
    m->show();
    m->move(0, 0);
}
void cmdMainShow(TPoruBase& st)
{
    if (st.Host)
        st.Host->ShowMainWindow();
}

void cmdMainStyle(TPoruBase& st)
{
    const int style = ToIntOrDefault(TrimView(st.PopText()), 2);
    TMainWindow* m = HostWindowOf(st);
    const bool visible = m->isVisible();
    SetMainFrame(m, style);
    if (visible)
        m->show();
}

void cmdCursor(TPoruBase& st)
{
    const bool show = ToIntOrDefault(TrimView(st.PopText()), 1) != 0;
    TMainWindow* m = HostWindowOf(st);
    m->setAttribute(Qt::WA_InputMethodEnabled, show);
    for (QWidget* w : m->findChildren<QWidget*>())
        if (show)
            w->unsetCursor();
        else
            w->setCursor(Qt::BlankCursor);
    if (show)
        m->unsetCursor();
    else
        m->setCursor(Qt::BlankCursor);
}

// The tip of the tray icon: the title, at most 64 bytes, cut at a character boundary.
QString TipText(const QString& title)
{
    std::string sjis = QStringToSjis(title);
    size_t i = 0, keep = 0;
    while (i < sjis.size()) {
        const size_t n = CharLenAt(sjis, i);
        if (i + n > 64)
            break;
        i += n;
        keep = i;
    }
    return SjisToQString(sjis.substr(0, keep));
}

void cmdTray(TPoruBase& st)
{
    const bool on = ToIntOrDefault(TrimView(st.PopText()), 0) != 0;
    TObjectsState& s = ObjState(st);
    TMainWindow* m = HostWindowOf(st);
    if (!on) {
        if (s.Tray) {
            s.Tray->hide();
            delete s.Tray;
            s.Tray = nullptr;
        }
        return;
    }
    if (s.Tray)
        return;   // added once
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;                                                 // no notification area: the window stays as it is
    s.Tray = new QSystemTrayIcon(QApplication::windowIcon());   // owned by the state
    s.Tray->setToolTip(TipText(m->windowTitle()));
    TPoruBase* sp = &st;
    QObject::connect(s.Tray, &QSystemTrayIcon::activated, m, [sp, m](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::Trigger) {
            FireEvent(*sp, 0, esClick);
        } else if (r == QSystemTrayIcon::Context) {
            const auto answer = QMessageBox::question(m, m->windowTitle(), QStringLiteral("終了しますか？"));
            if (answer == QMessageBox::Yes) {
                m->RequestClose();
                return;
            }
        }
        m->show();
        m->raise();
        m->activateWindow();
    });
    s.Tray->show();
}

void cmdIcon(TPoruBase& st)
{
    const std::string arg = Trim(st.PopText());
    QIcon icon;
    QString path = SjisToQString(arg);
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (QFileInfo::exists(path)) {
        icon = QIcon(path);
    } else if (THashNode* w = st.Words.FindExact(arg); w && w->Kind == wkObject) {
        TObjNode* rec = FindObjectById(st, w->Id);
        if (rec && rec->ClassCode == okImage)
            icon = QIcon(QPixmap::fromImage(static_cast<TCanvasBox*>(rec->Control)->Picture()));
    }
    if (icon.isNull() || (icon.availableSizes().isEmpty() && icon.pixmap(16).isNull()))
        st.Error(J("ファイル\"") + arg + J("\"の、読み込みか書き込みに、失敗しました。"));
    QApplication::setWindowIcon(icon);
    HostWindowOf(st)->setWindowIcon(icon);
    if (TObjectsState& s = ObjState(st); s.Tray) {
        s.Tray->setIcon(icon);
        s.Tray->setToolTip(TipText(HostWindowOf(st)->windowTitle()));
    }
}

THashNode* WordArg(TPoruBase& st, std::string name)
{
    name = Trim(name);
    if (name.empty())
        st.ArgError();
    THashNode* w = st.Words.FindExact(name);
    if (!w || w->Kind != wkObject)
        st.Error("\"" + name + J("\"は、オブジェクトではありません。"));
    return w;
}

// 乗せる / 乗せ換える: object を, container へ.
void cmdPutOn(TPoruBase& st)
{
    THashNode* containerWord = WordArg(st, st.PopRaw());
    THashNode* objWord = WordArg(st, st.PopRaw());
    TObjNode* container = RecordOfWord(st, containerWord);
    TObjNode* obj = RecordOfWord(st, objWord);
    const int k = container->ClassCode;
    if (k != okForm && k != okPanel && k != okScroll && k != okTabPage)
        st.ArgError(containerWord->Name, J("パネルとフォームなど以外には乗せられません。"));
    QWidget* target = WidgetOf(st, container);
    if (container->Index == 0)
        target = HostWindowOf(st)->Surface();
    else if (k == okScroll)
        target = static_cast<QScrollArea*>(target)->widget();
    else if (k == okTabPage)
        target = static_cast<QTabWidget*>(target)->currentWidget();
    QWidget* w = ObjectWidget(obj);
    if (!w || !target || w == target || w->isAncestorOf(target))
        st.Error(objWord->Name + J("を、") + containerWord->Name + J("へ、親変更に失敗。"));
    w->setParent(target);
    w->show();
    if (k == okScroll)
        target->resize(std::max(target->width(), w->x() + w->width()),
                       std::max(target->height(), w->y() + w->height()));
}

QTabWidget* TabsArg(TPoruBase& st, const std::string& name)
{
    THashNode* w = WordArg(st, name);
    TObjNode* rec = RecordOfWord(st, w);
    if (rec->ClassCode != okTabPage)
        st.ArgError(w->Name, J("タブページ部品を指定してください。"));
    return static_cast<QTabWidget*>(rec->Control);
}

void cmdTabAdd(TPoruBase& st)
{
    const std::string caption = st.PopText();
    QTabWidget* tabs = TabsArg(st, st.PopRaw());
    tabs->addTab(new QWidget, SjisToQString(caption));
}

void cmdTabEnable(TPoruBase& st)
{
    const std::string value = st.PopText();
    QTabWidget* tabs = TabsArg(st, st.PopRaw());
    const int page = tabs->currentIndex();
    if (page < 0)
        return;
    // Qt would move the selection off a tab it disables; the page's content is
    // disabled instead and its caption greyed, so that the page stays the current
    // one and enabling it again reaches the same page.
    const bool on = ToIntOrDefault(TrimView(value), 0) == 1;
    tabs->widget(page)->setEnabled(on);
    tabs->tabBar()->setTabTextColor(page,
                                    on ? QColor() : tabs->palette().color(QPalette::Disabled, QPalette::WindowText));
}

TBrowser* BrowserArg(TPoruBase& st)
{
    THashNode* w = WordArg(st, st.PopRaw());
    TObjNode* rec = RecordOfWord(st, w);
    if (rec->ClassCode != okBrowser)
        st.ArgError(w->Name, J("ブラウザ部品を指定してください。"));
    return static_cast<TBrowser*>(rec->Control);
}

void cmdForward(TPoruBase& st)
{
    BrowserArg(st)->forward();
}
void cmdBackward(TPoruBase& st)
{
    BrowserArg(st)->backward();
}

// メッセージ送信: there are no native window messages; a few common ones are
// answered the same way (set and get the text, its length, close).
void cmdSendMessage(TPoruBase& st)
{
    const std::string message = st.PopText();
    const std::string name = ObjName(st);
    TObjNode* rec = st.Objects.Find(name);
    if (!rec)
        st.Error(J("オブジェクト\"") + name + J("\"が特定できません。"));
    std::vector<std::string> f;
    size_t start = 0;
    for (int i = 0; i < 2; ++i) {
        const size_t comma = message.find(',', start);
        if (comma == std::string::npos)
            break;
        f.push_back(message.substr(start, comma - start));
        start = comma + 1;
    }
    f.push_back(message.substr(start));
    f.resize(3);
    const int msg = ToIntOrDefault(TrimView(f[0]), 0);
    if (msg < 0)
        st.ArgError();
    const std::string third = Trim(f[2]);
    THashNode* ref = nullptr;
    if (!third.empty() && third[0] != '$' && !(third[0] >= '0' && third[0] <= '9')) {
        ref = st.Words.FindExact(third);
        if (!ref) {
            ref = THashNode::CreateVariable(third, std::string(), static_cast<int32_t>(st.RunControl.Count()), false);
            st.Words.Add(ref);
        }
    }
    QWidget* w = WidgetOf(st, rec);
    long long answer = 0;
    switch (msg) {
    case 12:   // set the text
        if (ref)
            SetWidgetText(st, rec, ref->Value);
        answer = 1;
        break;
    case 13:   // get the text into the variable
        if (ref) {
            ref->Value = WidgetText(rec);
            answer = static_cast<long long>(ref->Value.size());
        }
        break;
    case 14:
        answer = static_cast<long long>(WidgetText(rec).size());
        break;
    case 16:
        if (w)
            w->close();
        break;
    default:
        break;
    }
    st.SetSoreNumber(static_cast<long double>(answer));
}

// The editor settings file is not part of this run-time.
void cmdEditorSettings(TPoruBase& st)
{
    st.Error("\"" + (st.CurrentCommand ? st.CurrentCommand->Name : std::string()) +
             J("\"は、この実行環境では使えません。"));
}

HandlerRegistrar reg({
    {Cmd::Focus, cmdFocus},
    {Cmd::BringToFront, cmdFront},
    {Cmd::SendToBack, cmdBack},
    {Cmd::CentreObject, cmdCentreObject},
    {Cmd::MainMaximise, cmdMainMaximise},
    {Cmd::MainMinimise, cmdMainMinimise},
    {Cmd::MainNormal, cmdMainNormal},
    {Cmd::MainIcon, cmdIcon},
    {Cmd::MainFullScreen, cmdMainFullScreen},
    {Cmd::SendMessage, cmdSendMessage},
    {Cmd::ShowCursor, cmdCursor},
    {Cmd::MainShow, cmdMainShow},
    {Cmd::MainStyle, cmdMainStyle},
    {Cmd::Tray, cmdTray},
    {Cmd::PutOn, cmdPutOn},
    {Cmd::EditorSettings, cmdEditorSettings},
    {Cmd::EditorSettingsSave, cmdEditorSettings},
    {Cmd::EditorSettingsLoad, cmdEditorSettings},
    {Cmd::Maximise, cmdMaximise},
    {Cmd::Minimise, cmdMinimise},
    {Cmd::Normal, cmdNormal},
    {Cmd::TabAdd, cmdTabAdd},
    {Cmd::BrowserForward, cmdForward},
    {Cmd::BrowserBack, cmdBackward},
    {Cmd::TabEnable, cmdTabEnable},
});

}   // namespace
