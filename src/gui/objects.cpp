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

#include "commands/registry.h"
#include "core/codec.h"
#include "core/hash.h"
#include "core/sjis.h"
#include "core/text.h"
#include "gui/anime_box.h"
#include "gui/controls.h"
#include "gui/main_window.h"
#include "gui/objects_internal.h"
#include "gui/tedit.h"
#include "gui/text_font.h"
#include "gui/text_layout.h"
#include "interp/host.h"
#include "interp/interp.h"

std::string J(const char* utf8)
{
    return Utf8ToSjis(utf8);
}

namespace {

const char* const kKindNamesUtf8[okKindCount] = {
    "ボタン", "エディタ", "イメージ", "バー", "コンボ", "リスト", "メモ", "フォーム", "グリッド", "ラベル",
    "チェック", "トラック", "アニメ", "メニュー", "ブラウザ", "パネル", "Tエディタ", "ラジオ", "スクロール",
    "タブページ",
};

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

QString Q(const std::string& sjis)
{
    return QString::fromStdString(SjisToUtf8(sjis));
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
    if (obj->ClassCode == okImage)
        return &static_cast<TCanvasBox*>(obj->Control)->Picture();
    if (obj->ClassCode == okForm)
        return &static_cast<TFormWindow*>(obj->Control)->Background()->Picture();
    return nullptr;
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
    if (obj->ClassCode == okImage) {
        auto* box = static_cast<TCanvasBox*>(obj->Control);
        if (!box->Picture().isNull())
            box->resize(box->Picture().size());
    } else if (obj->ClassCode == okForm) {
        auto* form = static_cast<TFormWindow*>(obj->Control);
        form->Background()->resize(form->size());
    }
    RepaintObject(st, obj);
}

// ---- direct values --------------------------------------------------------------------------

std::string WidgetText(TObjNode* rec)
{
    QWidget* w = ObjectWidget(rec);
    QString t;
    switch (rec->ClassCode) {
    case okButton: t = static_cast<QPushButton*>(w)->text(); break;
    case okEdit: t = static_cast<QLineEdit*>(w)->text(); break;
    case okCombo: t = static_cast<QComboBox*>(w)->currentText(); break;
    case okMemo: t = static_cast<QPlainTextEdit*>(w)->toPlainText(); break;
    case okTEditor: t = static_cast<QPlainTextEdit*>(w)->toPlainText(); break;
    case okLabel: t = static_cast<QLabel*>(w)->text(); break;
    case okCheck: t = static_cast<QCheckBox*>(w)->text(); break;
    case okPanel: t = static_cast<QFrame*>(w)->property("poruCaption").toString(); break;
    case okForm: t = w->windowTitle(); break;
    case okMenu: t = ObjectAction(rec)->text(); break;
    default: break;
    }
    std::string s = Utf8ToSjis(t.toStdString());
    if (rec->ClassCode == okMemo || rec->ClassCode == okTEditor) {
        // Lines end in CR LF in script texts.
        std::string out;
        out.reserve(s.size() + s.size() / 16);
        for (char c : s) {
            if (c == '\n')
                out += '\r';
            out += c;
        }
        return out;
    }
    return s;
}

QString MemoText(const std::string& sjis)
{
    QString t = Q(sjis);
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

void SetWidgetText(TPoruBase& st, TObjNode* rec, const std::string& value)
{
    QWidget* w = ObjectWidget(rec);
    const QString t = Q(value);
    switch (rec->ClassCode) {
    case okButton: static_cast<QPushButton*>(w)->setText(t); break;
    case okEdit: static_cast<QLineEdit*>(w)->setText(t); break;
    case okCombo: static_cast<QComboBox*>(w)->setEditText(t); break;
    case okMemo: static_cast<QPlainTextEdit*>(w)->setPlainText(MemoText(value)); break;
    case okTEditor: static_cast<QPlainTextEdit*>(w)->setPlainText(MemoText(value)); break;
    case okLabel: {
        auto* l = static_cast<QLabel*>(w);
        l->setText(t);
        l->adjustSize();
        break;
    }
    case okCheck: static_cast<QCheckBox*>(w)->setText(t); break;
    case okPanel: static_cast<QFrame*>(w)->setProperty("poruCaption", t); w->update(); break;
    case okForm:
        w->setWindowTitle(t);
        break;
    case okMenu: ObjectAction(rec)->setText(t); break;
    default: break;
    }
}

std::string ObjectDirectValue(TPoruBase& st, THashNode* word)
{
    TObjNode* rec = RecordOfWord(st, word);
    st.LastTypeTag = "s";
    switch (rec->ClassCode) {
    case okButton: case okEdit: case okCombo: case okMemo: case okLabel: case okPanel: case okForm:
    case okMenu: case okTEditor:
        return WidgetText(rec);
    case okImage: return Trim(word->Value);
    case okBar:
        st.LastTypeTag = "e";
        return std::to_string(static_cast<QScrollBar*>(rec->Control)->value());
    case okList:
        st.LastTypeTag = "e";
        return std::to_string(static_cast<QListWidget*>(rec->Control)->currentRow());
    case okRadio:
        st.LastTypeTag = "e";
        return std::to_string(static_cast<TRadioGroup*>(rec->Control)->Selected());
    case okGrid: return static_cast<TSortGrid*>(rec->Control)->CsvText(false);
    case okCheck:
        st.LastTypeTag = "e";
        return static_cast<QCheckBox*>(rec->Control)->isChecked() ? "1" : "0";
    default:
        st.Error(J("オブジェクト\"") + rec->Name + J("\"から、直接値を得ることは出来ません。"));
    }
}

void SetObjectDirectValue(TPoruBase& st, THashNode* word, const std::string& value)
{
    TObjNode* rec = RecordOfWord(st, word);
    switch (rec->ClassCode) {
    case okButton: case okEdit: case okCombo: case okMemo: case okLabel: case okPanel: case okForm:
    case okMenu: case okTEditor:
        SetWidgetText(st, rec, value);
        return;
    case okImage:
        word->Value = value;
        LoadPictureInto(st, rec, value);
        return;
    case okBar:
        static_cast<QScrollBar*>(rec->Control)->setValue(static_cast<int>(std::trunc(ToNumber(value))));
        return;
    case okList:
        static_cast<QListWidget*>(rec->Control)->setCurrentRow(static_cast<int>(std::trunc(ToNumber(value))));
        return;
    case okRadio:
        static_cast<TRadioGroup*>(rec->Control)->Select(static_cast<int>(std::trunc(ToNumber(value))));
        return;
    case okGrid: static_cast<TSortGrid*>(rec->Control)->LoadCsv(value); return;
    case okCheck:
        static_cast<QCheckBox*>(rec->Control)->setChecked(std::trunc(ToNumber(value)) > 0);
        return;
    default: return;
    }
}

QImage LoadPictureFile(TPoruBase& st, const std::string& file)
{
    const std::string name = Trim(file);
    QImage img;
    if (!name.empty()) {
        if (!img.load(Q(name))) {
            // A path written with backslashes.
            QString path = Q(name);
            path.replace(QLatin1Char('\\'), QLatin1Char('/'));
            if (!img.load(path))
                st.Error(J("ファイル\"") + name + J("\"の、読み込みか書き込みに、失敗しました。"));
        }
    }
    return img;
}

void LoadPictureInto(TPoruBase& st, TObjNode* rec, const std::string& file)
{
    const QImage img = LoadPictureFile(st, file);
    if (rec->ClassCode == okImage) {
        auto* box = static_cast<TCanvasBox*>(rec->Control);
        box->SetPicture(img);
        if (!img.isNull())
            box->resize(img.size());
    } else if (rec->ClassCode == okForm) {
        auto* form = static_cast<TFormWindow*>(rec->Control);
        form->Background()->SetPicture(img);
        if (!img.isNull())
            form->resize(img.size());
    } else if (rec->ClassCode == okButton) {
        auto* b = static_cast<QPushButton*>(rec->Control);
        b->setIcon(img.isNull() ? QIcon() : QIcon(QPixmap::fromImage(img)));
        if (!img.isNull())
            b->setIconSize(img.size());
    } else if (rec->ClassCode == okMenu) {
        ObjectAction(rec)->setIcon(img.isNull() ? QIcon() : QIcon(QPixmap::fromImage(img)));
    }
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
    const TFontDesc desc = ParseFontText(Q(SystemWordValue(st, "文字書体")), InstalledFaces());
    const int size = ToIntOrDefault(TrimView(SystemWordValue(st, "文字サイズ")), 12);
    return FontFromDesc(desc, size);
}

// ---- creation -------------------------------------------------------------------------------

void CreateObject(TPoruBase& st, const std::string& nameArg, const std::string& kindName, bool atCursor,
                  const std::string& position)
{
    TMainWindow* main = HostWindowOf(st);
    std::string name = nameArg;
    if (!name.empty() && (name.front() == '"' || name.front() == '`'))
        name = st.ExpandLiteral(name);
    if (st.Words.FindExact(name))
        st.Error(J("オブジェクト\"") + name + J("\"は、既に存在するので、作成できません。"));
    int32_t x = st.LayoutX, y = st.LayoutY;
    if (!atCursor) {
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
    const QFont font = CreationFont(st);
    const QColor colour = ColourFromValue(ParseColourText(SystemWordValue(st, "文字色"), 0));
    const int kind = KindOfName(kindName);
    if (kind < 0 || kind == okMenu)
        st.Error(J("オブジェクト\"") + kindName + J("\"は、未定義なので、作成できません。"));
    const std::string captionSjis = EndsWithKind(name, kindName) ? name.substr(0, name.size() - kindName.size()) : name;
    const QString caption = Q(captionSjis);
    const int id = static_cast<int>(st.Objects.Count());

    QWidget* parent = main ? main->Surface() : nullptr;
    QWidget* w = nullptr;
    bool applyFont = true, applyColour = false;
    switch (kind) {
    case okButton: {
        auto* b = new QPushButton(caption, parent);
        b->resize(75, 25);
        w = b;
        break;
    }
    case okEdit: {
        auto* e = new QLineEdit(parent);
        e->setFont(font);
        e->resize(121, e->sizeHint().height());
        w = e;
        break;
    }
    case okImage: {
        auto* box = new TCanvasBox(parent);
        box->resize(105, 105);
        applyFont = false;
        w = box;
        break;
    }
    case okBar: {
        auto* bar = new QScrollBar(Qt::Horizontal, parent);
        bar->setRange(0, 100);
        bar->resize(121, bar->sizeHint().height());
        applyFont = false;
        w = bar;
        break;
    }
    case okCombo: {
        auto* c = new QComboBox(parent);
        c->setEditable(true);
        c->setInsertPolicy(QComboBox::NoInsert);
        c->setCompleter(nullptr);
        c->setFont(font);
        c->resize(145, c->sizeHint().height());
        w = c;
        break;
    }
    case okList: w = new QListWidget(parent); w->resize(121, 97); break;
    case okMemo: {
        auto* m = new QPlainTextEdit(parent);
        m->setLineWrapMode(QPlainTextEdit::NoWrap);
        m->resize(185, 89);
        w = m;
        break;
    }
    case okForm: {
        auto* f = new TFormWindow(main);
        f->setWindowTitle(caption);
        f->setWindowIcon(main ? main->windowIcon() : QIcon());
        f->resize(320, 240);
        applyColour = true;
        w = f;
        break;
    }
    case okGrid: w = new TSortGrid(parent); w->resize(5 * 64 + 4, 5 * 24 + 4); break;
    case okLabel: {
        auto* l = new QLabel(caption, parent);
        l->setAttribute(Qt::WA_TranslucentBackground);
        l->setFont(font);
        l->adjustSize();
        applyColour = true;
        w = l;
        break;
    }
    case okCheck: w = new QCheckBox(caption, parent); w->resize(97, 17); break;
    case okTrack: w = new TTrackBox(parent); w->resize(105, 105); applyFont = false; break;
    case okAnime: w = new TAnimeBox(parent); w->resize(100, 100); applyFont = false; break;
    case okBrowser: w = new TBrowser(parent); w->resize(w->sizeHint()); applyFont = false; break;
    case okPanel: {
        auto* p = new QFrame(parent);
        p->setFrameShape(QFrame::Panel);
        p->setFrameShadow(QFrame::Raised);
        p->resize(185, 41);
        applyFont = false;
        w = p;
        break;
    }
    case okTEditor: w = CreateTEditor(st, parent); w->resize(185, 89); break;
    case okRadio: w = new TRadioGroup(parent); w->resize(185, 105); break;
    case okScroll: {
        auto* s = new QScrollArea(parent);
        auto* inner = new QWidget;
        inner->resize(1, 1);
        s->setWidget(inner);
        s->resize(300, 200);
        applyFont = false;
        w = s;
        break;
    }
    case okTabPage: w = new QTabWidget(parent); w->resize(289, 193); applyFont = false; break;
    default: break;
    }
    if (applyFont && kind != okEdit && kind != okCombo)
        w->setFont(font);
    if (applyColour) {
        QPalette pal = w->palette();
        pal.setColor(QPalette::WindowText, colour);
        w->setPalette(pal);
    }
    w->setProperty("poruId", id);

    if (kind == okForm) {
        auto* f = static_cast<TFormWindow*>(w);
        f->Background()->setProperty("poruId", id);
        f->Background()->Fill = Qt::white;
        f->Background()->FitPicture(320, 240);
        f->Background()->Picture().fill(Qt::white);
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        f->move((screen.width() - f->width()) / 2, (screen.height() - f->height()) / 2);
        f->show();
        st.LayoutY = y;
    } else {
        if (st.Centring && main)
            x = (main->ClientWidth() - w->width()) / 2;
        w->move(x, y);
        w->show();
        st.LayoutY = y + w->height() + GapOf(st);
    }
    if (kind == okButton && main) {
        const QFontMetrics fm(main->Surface()->font());
        const int need = fm.horizontalAdvance(QLatin1Char('W')) * static_cast<int>(captionSjis.size());
        if (w->width() < need)
            w->resize(need, w->height());
    }

    auto* rec = new TObjNode(name, kind, id, w);
    st.Objects.Add(rec);
    WireEvents(st, rec);
    auto* word = new THashNode(name, std::string(), std::string(), kindName, id, wkObject,
                               const_cast<char*>(st.Cursor), false);
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
        QMenu* menu = main->menuBar()->addMenu(Q(caption));
        action = menu->menuAction();
    } else {
        QMenu* menu = parentAction->menu();
        if (!menu) {
            // A plain item that gets sub-items becomes a sub-menu.
            menu = new QMenu(main);
            parentAction->setMenu(menu);
        }
        action = menu->addAction(Q(caption));
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
        switch (rec->ClassCode) {
        case okEdit: static_cast<QLineEdit*>(w)->clear(); break;
        case okMemo: case okTEditor: static_cast<QPlainTextEdit*>(w)->clear(); break;
        case okImage: static_cast<TCanvasBox*>(w)->SetPicture(QImage()); break;
        case okCombo: static_cast<QComboBox*>(w)->clear(); break;
        case okList: static_cast<QListWidget*>(w)->clear(); break;
        case okForm: w->close(); break;
        case okGrid: static_cast<TSortGrid*>(w)->setRowCount(0); break;
        case okLabel: static_cast<QLabel*>(w)->clear(); break;
        case okCheck: static_cast<QCheckBox*>(w)->setText(QString()); break;
        case okAnime:
            static_cast<TAnimeBox*>(w)->ClearFrames();
            static_cast<TAnimeBox*>(w)->Stop();   // also its sound
            break;
        default: break;
        }
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

void cmdCentre(TPoruBase& st) { st.Centring = true; }
void cmdUncentre(TPoruBase& st) { st.Centring = false; }

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
    {7, cmdCreate}, {25, cmdDestroy}, {28, cmdDestroyAll}, {29, cmdCentre}, {30, cmdUncentre},
    {141, cmdIdentify}, {261, cmdMenuCreate}, {262, cmdMenuAdd}, {428, cmdMake},
});

}   // namespace
