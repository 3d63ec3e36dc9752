#include "gui/objects.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QSignalBlocker>
#include <QTabWidget>

#include <cmath>
#include <string_view>

#include "core/codec.h"
#include "core/hash.h"
#include "core/sjis.h"
#include "core/text.h"
#include "gui/anime_box.h"
#include "gui/controls.h"
#include "gui/kinds.h"
#include "gui/main_window.h"
#include "gui/objects_internal.h"
#include "gui/picture.h"
#include "gui/tedit.h"
#include "gui/text_font.h"
#include "gui/text_layout.h"
#include "interp/builtins.h"
#include "interp/host.h"
#include "interp/interp.h"
#include "services/qt_text.h"

std::string J(const char* utf8)
{
    return Utf8ToSjis(utf8);
}

namespace {

constexpr const char* kKindNamesUtf8[okKindCount] = {
    "ボタン",   "エディタ", "イメージ",  "バー",     "コンボ",     "リスト",     "メモ",
    "フォーム", "グリッド", "ラベル",    "チェック", "トラック",   "アニメ",     "メニュー",
    "ブラウザ", "パネル",   "Tエディタ", "ラジオ",   "スクロール", "タブページ",
};

// The reference is made from the object table; its kind codes and names are these.
struct TTableKind {
    int Code;
    const char* Name;
};
constexpr TTableKind kTableKinds[] = {
#define PORU_OBJECT_KIND(code, name, page, control, events, mainEvent, valueRead, valueSet) {code, name},
#include "interp/object_table.inc"
#undef PORU_OBJECT_KIND
};
constexpr bool SameKinds()
{
    int count = 0;
    for (const TTableKind& k : kTableKinds) {
        if (k.Code < 0)
            continue;   // 母艦, a フォーム
        if (k.Code >= okKindCount || std::string_view(k.Name) != std::string_view(kKindNamesUtf8[k.Code]))
            return false;
        ++count;
    }
    return count == okKindCount;
}
static_assert(SameKinds(), "the object table has every kind, with the codes and names the GUI uses");

const std::vector<std::string>& KindNames()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> v;
        for (const char* n : kKindNamesUtf8)
            v.push_back(Utf8ToSjis(n));
        return v;
    }();
    return names;
}

// True when `name` ends with `tail` and the tail starts on a character boundary.
bool EndsWithKind(const std::string& name, const std::string& tail)
{
    if (tail.size() > name.size() || name.compare(name.size() - tail.size(), tail.size(), tail) != 0)
        return false;
    const size_t start = name.size() - tail.size();
    size_t i = 0;
    while (i < start)
        i += IsLeadByte(static_cast<unsigned char>(name[i])) ? 2 : 1;
    return i == start;
}

}   // namespace

const std::string& KindName(int kind)
{
    static const std::string empty;
    return kind >= 0 && kind < okKindCount ? KindNames()[kind] : empty;
}

int KindOfName(const std::string& sjisName)
{
    for (int k = 0; k < okKindCount; ++k)
        if (KindNames()[k] == sjisName)
            return k;
    return -1;
}

TObjectsState::~TObjectsState()
{
    delete ScriptTimer;
    delete Tray;
}

TObjectsState& ObjState(TPoruBase& st)
{
    return st.Ext<TObjectsState>();
}

TMainWindow* HostWindowOf(TPoruBase& st)
{
    return st.Host ? static_cast<TMainWindow*>(st.Host->MainWindowControl()) : nullptr;
}

void SetSystemWord(TPoruBase& st, const char* utf8Name, const std::string& value)
{
    if (THashNode* n = st.Words.FindExact(J(utf8Name)))
        n->Value = value;
}

std::string SystemWordValue(TPoruBase& st, const char* utf8Name)
{
    THashNode* n = st.Words.FindExact(J(utf8Name));
    return n ? n->Value : std::string();
}

// ---- finding ------------------------------------------------------------------------

TObjNode* FindObjectById(TPoruBase& st, int id)
{
    if (id < 0)
        return nullptr;
    TObjNode* rec = st.Objects.Get(static_cast<size_t>(id));
    return rec && !rec->Name.empty() ? rec : nullptr;
}

TObjNode* RecordOfWord(TPoruBase& st, THashNode* word)
{
    TObjNode* rec = FindObjectById(st, word->Id);
    if (!rec)
        st.Error(J("オブジェクト\"") + word->Name + J("\"は、作成されていません。"));
    return rec;
}

TObjNode* FindObjectByWord(TPoruBase& st, const std::string& name)
{
    THashNode* w = st.Words.FindExact(name);
    if (!w)
        st.Error(J("単語\"") + name + J("\"は、定義されていません。"));
    if (w->Kind != wkObject)
        st.Error("\"" + name + J("\"は、オブジェクトではありません。"));
    return RecordOfWord(st, w);
}

QWidget* ObjectWidget(TObjNode* rec)
{
    if (!rec || rec->ClassCode == okMenu)
        return nullptr;
    return static_cast<QWidget*>(rec->Control);
}

QAction* ObjectAction(TObjNode* rec)
{
    if (!rec || rec->ClassCode != okMenu)
        return nullptr;
    return static_cast<QAction*>(rec->Control);
}

// ---- canvas ---------------------------------------------------------------------------------

QImage* ObjectCanvas(TPoruBase& st, TObjNode* obj)
{
    if (!obj)
        return nullptr;
    if (obj->Index == 0) {
        TMainWindow* w = HostWindowOf(st);
        if (!w)
            return nullptr;
        w->Surface()->EnsurePictureSize(w->Surface()->width(), w->Surface()->height());
        return &w->Surface()->Picture();
    }
    const TKindOps& ops = KindOps(obj->ClassCode);
    return ops.Canvas ? ops.Canvas(obj) : nullptr;
}

void RepaintObject(TPoruBase& st, TObjNode* obj)
{
    if (!obj)
        return;
    if (obj->Index == 0) {
        if (TMainWindow* w = HostWindowOf(st))
            w->Surface()->update();
        return;
    }
    if (obj->ClassCode == okForm)
        static_cast<TFormWindow*>(obj->Control)->Background()->update();
    else if (QWidget* w = ObjectWidget(obj))
        w->update();
}

void CanvasResized(TPoruBase& st, TObjNode* obj)
{
    if (!obj)
        return;
    if (const TKindOps& ops = KindOps(obj->ClassCode); ops.FitCanvas)
        ops.FitCanvas(obj);
    RepaintObject(st, obj);
}

// ---- direct values --------------------------------------------------------------------------

std::string WidgetText(TObjNode* rec)
{
    const TKindOps& ops = KindOps(rec->ClassCode);
    return ops.Caption ? ops.Caption(rec) : std::string();
}

QString MemoText(const std::string& sjis)
{
    QString t = SjisToQString(sjis);
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

void SetWidgetText(TPoruBase&, TObjNode* rec, const std::string& value)
{
    if (const TKindOps& ops = KindOps(rec->ClassCode); ops.SetCaption)
        ops.SetCaption(rec, value);
}

std::string ObjectDirectValue(TPoruBase& st, THashNode* word)
{
    TObjNode* rec = RecordOfWord(st, word);
    st.LastTypeTag = "s";
    const TKindOps& ops = KindOps(rec->ClassCode);
    if (!ops.Direct)
        st.Error(J("オブジェクト\"") + rec->Name + J("\"から、直接値を得ることは出来ません。"));
    return ops.Direct(st, rec, word);
}

void SetObjectDirectValue(TPoruBase& st, THashNode* word, const std::string& value)
{
    TObjNode* rec = RecordOfWord(st, word);
    if (const TKindOps& ops = KindOps(rec->ClassCode); ops.SetDirect)
        ops.SetDirect(st, rec, word, value);
}

QImage LoadPictureFile(TPoruBase& st, const std::string& file)
{
    const std::string name = Trim(file);
    QImage img;
    if (!name.empty()) {
        if (!img.load(SjisToQString(name))) {
            // A path written with backslashes.
            QString path = SjisToQString(name);
            path.replace(QLatin1Char('\\'), QLatin1Char('/'));
            if (!img.load(path))
                st.Error(J("ファイル\"") + name + J("\"の、読み込みか書き込みに、失敗しました。"));
        }
    }
    return img;
}

// Through the picture loader: files by format, クリップボード, other objects' pictures;
// an empty name or the name of no object gives an empty picture.
void LoadPictureInto(TPoruBase& st, TObjNode* rec, const std::string& file)
{
    const std::string name = Trim(file);
    const QImage img = name.empty() ? QImage() : LoadPicture(st, name);
    if (const TKindOps& ops = KindOps(rec->ClassCode); ops.ShowPicture)
        ops.ShowPicture(rec, img);
}

// ---- placement helpers -------------------------------------------------------------------------

int GapOf(TPoruBase& st)
{
    return st.Sys.Gap ? ToIntOrDefault(TrimView(st.Sys.Gap->Value), 8) : 8;
}

// Reads "(x,y)" or "x,y": false unless it gives exactly two numbers.
bool ReadPair(TPoruBase& st, const std::string& text, int32_t& x, int32_t& y)
{
    std::vector<long double> v;
    if (!ReadNumbers(st, text, v) || v.size() != 2)
        return false;
    x = static_cast<int32_t>(std::trunc(v[0]));
    y = static_cast<int32_t>(std::trunc(v[1]));
    return true;
}

bool ReadNumbers(TPoruBase& st, const std::string& text, std::vector<long double>& out)
{
    std::string t = Trim(text);
    if (THashNode* n = st.Words.FindExact(t); n && (n->Kind == wkVariable)) {
        t = Trim(n->Value);
    } else if (t.find(J("の")) != std::string::npos) {
        const char* q = t.c_str();
        std::string v = st.ReadValue(q);
        if (*q == '\0')
            t = Trim(v);
    }
    while (t.size() >= 2 && ((t.front() == '(' && t.back() == ')') || (t.front() == '`' && t.back() == '`')))
        t = Trim(std::string_view(t).substr(1, t.size() - 2));
    if (t.empty())
        return true;
    // Split at commas outside parentheses and quotes; evaluate every element.
    int depth = 0;
    bool quote = false;
    std::string cur;
    auto flush = [&] {
        out.push_back(ToNumber(st.EvaluateValue(Trim(cur))));
        cur.clear();
    };
    for (size_t i = 0; i < t.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(t[i]);
        if (IsLeadByte(b) && i + 1 < t.size()) {
            cur += t[i];
            cur += t[++i];
            continue;
        }
        if (b == '"' || b == '`')
            quote = !quote;
        else if (!quote && b == '(')
            ++depth;
        else if (!quote && b == ')')
            --depth;
        if (!quote && depth == 0 && b == ',') {
            flush();
            continue;
        }
        cur += t[i];
    }
    flush();
    return true;
}

QFont CreationFont(TPoruBase& st)
{
    const TFontDesc desc = ParseFontText(SjisToQString(SystemWordValue(st, "文字書体")), InstalledFaces());
    const int size = ToIntOrDefault(TrimView(SystemWordValue(st, "文字サイズ")), 12);
    return FontFromDesc(desc, size);
}

// ---- creation -------------------------------------------------------------------------------

namespace {

// The name as written or the text of a quoted name; raises when it is taken.
std::string NewObjectName(TPoruBase& st, const std::string& nameArg)
{
    std::string name = nameArg;
    if (!name.empty() && (name.front() == '"' || name.front() == '`'))
        name = st.ExpandLiteral(name);
    if (st.Words.FindExact(name))
        st.Error(J("オブジェクト\"") + name + J("\"は、既に存在するので、作成できません。"));
    return name;
}

// The place of a new object: the layout cursor, or the position given.
void NewObjectPlace(TPoruBase& st, const std::string& name, bool atCursor, const std::string& position, int32_t& x,
                    int32_t& y)
{
    x = st.LayoutX;
    y = st.LayoutY;
    if (atCursor)
        return;
    bool ok = false;
    try {
        ok = ReadPair(st, position, x, y);
    } catch (const EPoru&) {
        ok = false;
    }
    if (!ok)
        st.Error(J("オブジェクト\"") + name + J("\"は、未定義なので、作成できません。座標指定に誤りがあります。") +
                 "\"" + position + "\"");
}

// A フォーム opens in the middle of the screen; every other control goes to the
// place asked for (centred when 中央寄せ is on) and moves the layout cursor below it.
void PlaceNewControl(TPoruBase& st, TMainWindow* main, int kind, QWidget* w, int32_t x, int32_t y)
{
    if (kind == okForm) {
        auto* f = static_cast<TFormWindow*>(w);
        f->Background()->setProperty("poruId", w->property("poruId"));
        f->Background()->Fill = Qt::white;
        f->Background()->FitPicture(320, 240);
        f->Background()->Picture().fill(Qt::white);
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        f->move((screen.width() - f->width()) / 2, (screen.height() - f->height()) / 2);
        f->show();
        st.LayoutY = y;
        return;
    }
    if (st.Centring && main)
        x = (main->ClientWidth() - w->width()) / 2;
    w->move(x, y);
    w->show();
    st.LayoutY = y + w->height() + GapOf(st);
}

// A new button is at least as wide as its caption's bytes in "W"s of the main
// window's font.
void FitNewButton(TMainWindow* main, QWidget* w, const std::string& captionSjis)
{
    if (!main)
        return;
    const QFontMetrics fm(main->Surface()->font());
    const int need = fm.horizontalAdvance(QLatin1Char('W')) * static_cast<int>(captionSjis.size());
    if (w->width() < need)
        w->resize(need, w->height());
}

}   // namespace

void CreateObject(TPoruBase& st, const std::string& nameArg, const std::string& kindName, bool atCursor,
                  const std::string& position)
{
    TMainWindow* main = HostWindowOf(st);
    const std::string name = NewObjectName(st, nameArg);
    int32_t x = 0, y = 0;
    NewObjectPlace(st, name, atCursor, position, x, y);
    const QFont font = CreationFont(st);
    const QColor colour = ColourFromValue(ParseColourText(SystemWordValue(st, "文字色"), 0));
    const int kind = KindOfName(kindName);
    const TKindOps& ops = KindOps(kind);
    if (!ops.Create)
        st.Error(J("オブジェクト\"") + kindName + J("\"は、未定義なので、作成できません。"));
    const std::string captionSjis = EndsWithKind(name, kindName) ? name.substr(0, name.size() - kindName.size()) : name;
    const int id = static_cast<int>(st.Objects.Count());

    QWidget* w = ops.Create({st, main, main ? main->Surface() : nullptr, font, SjisToQString(captionSjis)});
    if (ops.CreationFont)
        w->setFont(font);
    if (ops.CreationColour) {
        QPalette pal = w->palette();
        pal.setColor(QPalette::WindowText, colour);
        w->setPalette(pal);
    }
    w->setProperty("poruId", id);
    PlaceNewControl(st, main, kind, w, x, y);
    if (kind == okButton)
        FitNewButton(main, w, captionSjis);

    auto* rec = new TObjNode(name, kind, id, w);
    st.Objects.Add(rec);
    WireEvents(st, rec);
    auto* word =
        new THashNode(name, std::string(), std::string(), kindName, id, wkObject, const_cast<char*>(st.Cursor), false);
    st.Words.Add(word);
    if (st.Sys.So)
        st.Sys.So->CopyFrom(*word);
}

// ---- menus ------------------------------------------------------------------------------------------

void CreateMenuItem(TPoruBase& st, const std::string& parentName, const std::string& name, bool sub)
{
    TMainWindow* main = HostWindowOf(st);
    const int id = static_cast<int>(st.Objects.Count());
    if (THashNode* existing = st.Words.FindExact(name)) {
        if (existing->Reserved)
            st.Error("\"" + name + J("\"は、読取専用です。"));
        if (existing->Kind != wkVariable)
            st.Error(J("オブジェクト\"") + name + J("\"は、既に存在するので、作成できません。"));
        st.Words.Remove(name, true);
    }
    QAction* parentAction = nullptr;
    if (sub) {
        TObjNode* parent = st.Objects.Find(parentName);
        if (!parent)
            st.Error(J("オブジェクト\"") + parentName + J("\"は、作成されていません。"));
        parentAction = ObjectAction(parent);
        if (!parentAction)
            st.Error("\"" + parentName + J("\"は、メニューではありません。"));
    }
    std::string caption = name;
    const std::string menuWord = J("メニュー");
    if (EndsWithKind(caption, menuWord))
        caption.resize(caption.size() - menuWord.size());
    QAction* action = nullptr;
    if (!sub) {
        QMenu* menu = main->menuBar()->addMenu(SjisToQString(caption));
        action = menu->menuAction();
    } else {
        QMenu* menu = parentAction->menu();
        if (!menu) {
            // A plain item that gets sub-items becomes a sub-menu.
            menu = new QMenu(main);
            parentAction->setMenu(menu);
        }
        action = menu->addAction(SjisToQString(caption));
    }
    action->setProperty("poruId", id);
    action->setVisible(true);
    auto* rec = new TObjNode(name, okMenu, id, action);
    st.Objects.Add(rec);
    TPoruBase* sp = &st;
    QObject::connect(action, &QAction::triggered, action, [sp, id] { FireEvent(*sp, id, esClick); });
    if (QMenu* m = action->menu())
        QObject::connect(m, &QMenu::aboutToShow, action, [sp, id] { FireEvent(*sp, id, esClick); });
    auto* word = new THashNode(name, std::string(), std::string(), J("メニュー"), id, wkObject, action, false);
    st.Words.Add(word);
    if (st.Sys.So)
        st.Sys.So->CopyFrom(*word);
}

// ---- destruction --------------------------------------------------------------------------------------

void DestroyObject(TPoruBase& st, int id)
{
    TObjNode* rec = st.Objects.Get(static_cast<size_t>(id));
    if (!rec || id == 0)
        return;
    if (!rec->Control)
        st.Error(J("オブジェクトの破壊で、オブジェクト\"") + rec->Name + J("\"が特定できません。"));
    if (rec->ClassCode == okMenu) {
        QAction* a = ObjectAction(rec);
        const QSignalBlocker block(a);
        a->setVisible(false);
        a->setProperty("poruId", -1);
        // A menu of the menu bar owns its action: free the menu (and so the action).
        if (a->menu() && a->menu()->menuAction() == a)
            a->menu()->deleteLater();
        else
            a->deleteLater();
    } else {
        QWidget* w = ObjectWidget(rec);
        // Emptying must not run handlers of the half-destroyed object.
        const QSignalBlocker block(w);
        if (const TKindOps& ops = KindOps(rec->ClassCode); ops.Empty)
            ops.Empty(w);
        w->hide();
        w->setProperty("poruId", -1);
        ForgetDropTarget(st, w);
        // Freed when control is back in the event loop that was running when it was
        // destroyed, so that a handler of the control itself never sees it vanish.
        w->deleteLater();
    }
    rec->Control = nullptr;
    rec->Name.clear();
    st.Objects.Put(static_cast<size_t>(id), nullptr);
}

// ---- commands ------------------------------------------------------------------------------------------

namespace {

// 作成: position に, name を, kind name として.
void cmdCreate(TPoruBase& st)
{
    const std::string kindName = Trim(st.PopText());
    const std::string name = Trim(st.PopRaw());
    const bool implied = st.ImpliedSore;
    std::string position = st.PopRaw();
    CreateObject(st, name, kindName, implied || Trim(position).empty(), position);
}

// 作る: the kind follows from the end of the name.
void cmdMake(TPoruBase& st)
{
    const std::string name = Trim(st.PopText());
    if (name.empty())
        st.ArgError(J("オブジェクト名がありません。"));
    int kind = -1;
    for (int k = 0; k < okKindCount; ++k)
        if (EndsWithKind(name, KindName(k))) {
            kind = k;
            break;
        }
    if (kind == okMenu)
        CreateMenuItem(st, std::string(), name, false);
    else
        CreateObject(st, name, KindName(kind < 0 ? okButton : kind), true, std::string());
}

// The names of menu commands are taken as written (a variable of that name is
// replaced, not read).
std::string NameArg(TPoruBase& st)
{
    std::string name = Trim(st.PopRaw());
    if (!name.empty() && (name.front() == '"' || name.front() == '`'))
        name = st.ExpandLiteral(name);
    return name;
}

void cmdMenuCreate(TPoruBase& st)
{
    const std::string name = NameArg(st);
    CreateMenuItem(st, std::string(), name, false);
}

void cmdMenuAdd(TPoruBase& st)
{
    const std::string name = NameArg(st);
    const std::string parent = NameArg(st);
    CreateMenuItem(st, parent, name, true);
}

// オブジェクト破壊: by word.
void cmdDestroy(TPoruBase& st)
{
    std::string name = Trim(st.PopRaw());
    THashNode* w = st.Words.FindExact(name);
    if (!w) {
        name = Trim(st.EvaluateValue(name));
        w = st.Words.FindExact(name);
    }
    if (!w)
        st.Error(J("オブジェクト\"") + name + J("\"が特定できません。"));
    if (w->Kind != wkObject)
        st.Error("\"" + name + J("\"は、オブジェクトではありません。"));
    const int id = w->Id;
    if (id == 0)
        return;
    if (TObjNode* rec = FindObjectById(st, id); rec)
        DestroyObject(st, id);
    st.Words.Remove(name, false);
}

void cmdDestroyAll(TPoruBase& st)
{
    for (size_t id = 1; id < st.Objects.Count(); ++id) {
        TObjNode* rec = st.Objects.Get(id);
        if (!rec)
            continue;
        const std::string name = rec->Name;
        if (rec->Control)
            DestroyObject(st, static_cast<int>(id));
        st.Words.Remove(name, false);
    }
}

void cmdCentre(TPoruBase& st)
{
    st.Centring = true;
}
void cmdUncentre(TPoruBase& st)
{
    st.Centring = false;
}

void cmdIdentify(TPoruBase& st)
{
    std::string name = Trim(st.PopRaw());
    if (!name.empty() && (name.front() == '"' || name.front() == '`'))
        name = Trim(st.ExpandLiteral(name));
    THashNode* w = st.Words.FindExact(name);
    if (!w)
        st.Error(J("オブジェクト\"") + name + J("\"は、作成されていません。"));
    if (st.Sys.So)
        st.Sys.So->CopyFrom(*w);
}

HandlerRegistrar reg({
    {Cmd::Create, cmdCreate},
    {Cmd::Destroy, cmdDestroy},
    {Cmd::DestroyAllObjects, cmdDestroyAll},
    {Cmd::Centre, cmdCentre},
    {Cmd::Uncentre, cmdUncentre},
    {Cmd::Identify, cmdIdentify},
    {Cmd::MenuCreate, cmdMenuCreate},
    {Cmd::MenuAdd, cmdMenuAdd},
    {Cmd::Make, cmdMake},
});

}   // namespace
