// One section per kind of script object, each ending in the kind's record of
// operations; KindOps looks the records up by kind code.
#include "gui/kinds.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>

#include <algorithm>
#include <cmath>

#include "core/codec.h"
#include "core/hash.h"
#include "gui/anime_box.h"
#include "gui/controls.h"
#include "gui/event_relay.h"
#include "gui/main_window.h"
#include "gui/objects_internal.h"
#include "gui/tedit.h"
#include "gui/text_font.h"
#include "gui/text_layout.h"
#include "interp/interp.h"
#include "services/qt_text.h"

// ---- shared helpers ---------------------------------------------------------------------------

std::string JoinItemLines(const QStringList& items)
{
    std::string out;
    for (const QString& i : items) {
        out += QStringToSjis(i);
        out += "\r\n";
    }
    return out;
}

QStringList SplitItemLines(const std::string& sjis)
{
    QString t = SjisToQString(sjis);
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList lines = t.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines;
}

long long LenientNumber(const std::string& text)
{
    std::string t;
    for (char c : Trim(text))
        if (c != ',')
            t += c;
    return static_cast<long long>(std::trunc(ToNumber(t)));
}

int IntOr(const std::string& text, int def)
{
    return ToIntOrDefault(TrimView(text), def);
}

void SetButtonCaption(QPushButton* b, const QString& caption)
{
    b->setText(caption);
    const int need = b->fontMetrics().horizontalAdvance(b->text()) + 10;
    if (b->width() < need)
        b->resize(need, b->height());
}

std::string Num(long long v)
{
    return std::to_string(v);
}

const char* Flag(bool on)
{
    return on ? "1" : "0";
}

namespace {

template <class T> T* W(TObjNode* rec)
{
    return static_cast<T*>(static_cast<QWidget*>(rec->Control));
}

// The class that declares a member function, so that an operation given only the
// member knows what to cast the control to.
template <class M> struct TDeclaring;
template <class C, class R, class... A> struct TDeclaring<R (C::*)(A...)> {
    using Class = C;
};
template <class C, class R, class... A> struct TDeclaring<R (C::*)(A...) const> {
    using Class = C;
};
template <auto Member> using ClassOf = typename TDeclaring<decltype(Member)>::Class;

// ---- operations shared by several kinds --------------------------------------------------------

// A control on the main window's surface at its default size; a captioned one shows
// the object's name.
template <class C, int Width, int Height> QWidget* CreateSized(const TNewControl& n)
{
    auto* c = new C(n.Parent);
    c->resize(Width, Height);
    return c;
}

template <class C, int Width, int Height> QWidget* CreateCaptioned(const TNewControl& n)
{
    auto* c = new C(n.Caption, n.Parent);
    c->resize(Width, Height);
    return c;
}

// Runs the handler of an event slot of the object, found by its id when it fires.
auto Firing(TPoruBase& st, TObjNode* rec, int slot)
{
    return [sp = &st, id = rec->Index, slot] { FireEvent(*sp, id, slot); };
}

// The control reports an event each time it emits a signal.
template <auto Signal, int Slot> void WireSignal(TPoruBase& st, TObjNode* rec, TEventRelay*)
{
    QObject::connect(W<ClassOf<Signal>>(rec), Signal, W<QWidget>(rec), Firing(st, rec, Slot));
}

// The relay reports a click when the mouse button is released.
void WireClickOnRelease(TPoruBase&, TObjNode*, TEventRelay* relay)
{
    relay->clickOnRelease_ = true;
}

// A scrolling control reports the mouse over its viewport.
void WireViewport(TPoruBase&, TObjNode* rec, TEventRelay* relay)
{
    Watch(W<QAbstractScrollArea>(rec)->viewport(), relay, true);
    relay->clickOnRelease_ = true;
}

// The caption of a control that shows it as its text.
template <class C> std::string TextCaption(TObjNode* rec)
{
    return QStringToSjis(W<C>(rec)->text());
}

template <class C> void SetTextCaption(TObjNode* rec, const std::string& value)
{
    W<C>(rec)->setText(SjisToQString(value));
}

// 値 read from a member of the control (a flag reads 1 or 0).
template <auto Get> std::string NumberValue(TPoruBase&, TObjNode* rec)
{
    return Num((W<ClassOf<Get>>(rec)->*Get)());
}

// 値 that chooses among the control's entries: a number outside them is ignored.
template <auto Count, auto Choose> void SetChoiceValue(TPoruBase&, TObjNode* rec, const std::string& value)
{
    auto* c = W<ClassOf<Choose>>(rec);
    const int v = IntOr(value, -1);
    if (v >= 0 && v < (c->*Count)())
        (c->*Choose)(v);
}

// The object's name used as a number.
template <auto Get> std::string NumberDirect(TPoruBase& st, TObjNode* rec, THashNode*)
{
    st.LastTypeTag = "e";
    return Num((W<ClassOf<Get>>(rec)->*Get)());
}

int DirectNumber(const std::string& value)
{
    return static_cast<int>(std::trunc(ToNumber(value)));
}

template <auto Set> void SetNumberDirect(TPoruBase&, TObjNode* rec, THashNode*, const std::string& value)
{
    (W<ClassOf<Set>>(rec)->*Set)(DirectNumber(value));
}

// 編集 of a control that can be made read-only.
template <class C> std::string Writable(TPoruBase&, TObjNode* rec)
{
    return Flag(!W<C>(rec)->isReadOnly());
}

template <class C> void SetWritable(TPoruBase&, TObjNode* rec, const std::string& value)
{
    W<C>(rec)->setReadOnly(LenientNumber(value) == 0);
}

template <class C> void Clear(QWidget* w)
{
    static_cast<C*>(w)->clear();
}

// A picture shown as an icon; none for an empty picture.
QIcon IconOf(const QImage& img)
{
    return img.isNull() ? QIcon() : QIcon(QPixmap::fromImage(img));
}

std::string CaptionText(TPoruBase&, TObjNode* rec)
{
    return WidgetText(rec);
}

void SetCaptionText(TPoruBase& st, TObjNode* rec, const std::string& value)
{
    SetWidgetText(st, rec, value);
}

std::string CaptionDirect(TPoruBase&, TObjNode* rec, THashNode*)
{
    return WidgetText(rec);
}

void SetCaptionDirect(TPoruBase& st, TObjNode* rec, THashNode*, const std::string& value)
{
    SetWidgetText(st, rec, value);
}

// The record of a kind that shows a caption: テキスト is the caption, and so is the
// object's name used as a value unless the kind says otherwise.
constexpr TKindOps Captioned(TKindOps ops)
{
    ops.Text = CaptionText;
    ops.SetText = SetCaptionText;
    if (!ops.Direct) {
        ops.Direct = CaptionDirect;
        ops.SetDirect = SetCaptionDirect;
    }
    return ops;
}

std::string PaletteBackColour(TPoruBase&, TObjNode* rec)
{
    QWidget* w = W<QWidget>(rec);
    return Num(ValueFromColour(w->palette().color(w->backgroundRole())));
}

void SetPaletteBackColour(TPoruBase&, TObjNode* rec, const std::string& value)
{
    QWidget* w = W<QWidget>(rec);
    const QColor c = ColourFromValue(ParseColourText(value, -1));
    QPalette pal = w->palette();
    pal.setColor(w->backgroundRole(), c);
    pal.setColor(QPalette::Base, c);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

// The names of the script objects placed in a container, one a line.
std::string ChildNames(TPoruBase& st, QWidget* container)
{
    std::string out;
    if (!container)
        return out;
    for (QObject* c : container->children()) {
        auto* cw = qobject_cast<QWidget*>(c);
        const int id = cw ? cw->property("poruId").toInt() : 0;
        if (cw && id > 0)
            if (TObjNode* child = FindObjectById(st, id); child && child->Control == cw)
                out += child->Name + "\r\n";
    }
    return out;
}

// Moves the objects named one a line into a container; a scrolling container's
// inner area grows to hold them.
void AdoptChildren(TPoruBase& st, QWidget* container, const std::string& value, bool grow)
{
    for (const QString& line : SplitItemLines(value)) {
        const std::string childName = Trim(QStringToSjis(line));
        if (childName.empty())
            continue;
        THashNode* cw = st.Words.FindExact(childName);
        if (!cw || cw->Kind != wkObject)
            st.Error("\"" + childName + J("\"は、オブジェクトではありません。"));
        QWidget* c = ObjectWidget(RecordOfWord(st, cw));
        if (c && container) {
            c->setParent(container);
            c->show();
            if (grow)
                container->resize(std::max(container->width(), c->x() + c->width()),
                                  std::max(container->height(), c->y() + c->height()));
        }
    }
}

// A container record that is 母艦 places its children on the main window's surface.
QWidget* SurfaceIfMain(TPoruBase& st, TObjNode* rec)
{
    return rec->Index == 0 ? HostWindowOf(st)->Surface() : nullptr;
}

// アイテム of a container: the objects placed in the part of the control that Inner
// names (only asked for when the record is not 母艦).
template <QWidget* (*Inner)(TObjNode*)> std::string ChildrenOf(TPoruBase& st, TObjNode* rec)
{
    QWidget* main = SurfaceIfMain(st, rec);
    return ChildNames(st, main ? main : Inner(rec));
}

template <QWidget* (*Inner)(TObjNode*), bool Grow = false>
void SetChildrenOf(TPoruBase& st, TObjNode* rec, const std::string& value)
{
    QWidget* main = SurfaceIfMain(st, rec);
    AdoptChildren(st, main ? main : Inner(rec), value, Grow);
}

QWidget* Itself(TObjNode* rec)
{
    return W<QWidget>(rec);
}

// ---- ボタン -------------------------------------------------------------------------------------

void SetButtonCaptionOp(TObjNode* rec, const std::string& value)
{
    SetButtonCaption(W<QPushButton>(rec), SjisToQString(value));
}

void ButtonShowsPicture(TObjNode* rec, const QImage& img)
{
    auto* b = W<QPushButton>(rec);
    b->setIcon(IconOf(img));
    if (!img.isNull())
        b->setIconSize(img.size());
}

constexpr TKindOps kButton = Captioned({
    .Create = CreateCaptioned<QPushButton, 75, 25>,
    .Keys = false,
    .Wire = WireSignal<&QPushButton::clicked, esClick>,
    .DefaultEvent = esClick,
    .HasFont = true,
    .Caption = TextCaption<QPushButton>,
    .SetCaption = SetButtonCaptionOp,
    .ShowPicture = ButtonShowsPicture,
});

// ---- エディタ -----------------------------------------------------------------------------------

QWidget* CreateEdit(const TNewControl& n)
{
    auto* e = new QLineEdit(n.Parent);
    e->setFont(n.Font);
    e->resize(121, e->sizeHint().height());
    return e;
}

void WireEdit(TPoruBase& st, TObjNode* rec, TEventRelay* relay)
{
    WireSignal<&QLineEdit::textChanged, esChange>(st, rec, relay);
    WireClickOnRelease(st, rec, relay);
}

void EditTakesFiles(QWidget* w, const std::vector<std::string>& files)
{
    std::string list;
    for (const std::string& f : files) {
        list += f;
        list += "\r\n";
    }
    static_cast<QLineEdit*>(w)->setText(SjisToQString(Trim(list)));
}

constexpr TKindOps kEdit = Captioned({
    .Create = CreateEdit,
    .CreationFont = false,
    .Wire = WireEdit,
    .DefaultEvent = esChange,
    .HasFont = true,
    .HasSelection = true,
    .Caption = TextCaption<QLineEdit>,
    .SetCaption = SetTextCaption<QLineEdit>,
    .Editable = Writable<QLineEdit>,
    .SetEditable = SetWritable<QLineEdit>,
    .BackColour = PaletteBackColour,
    .SetBackColour = SetPaletteBackColour,
    .Empty = Clear<QLineEdit>,
    .TakeFiles = EditTakesFiles,
});

// ---- イメージ -----------------------------------------------------------------------------------

std::string ImageDirect(TPoruBase&, TObjNode*, THashNode* word)
{
    return Trim(word->Value);
}

void SetImageDirect(TPoruBase& st, TObjNode* rec, THashNode* word, const std::string& value)
{
    word->Value = value;
    LoadPictureInto(st, rec, value);
}

QImage* ImageCanvas(TObjNode* rec)
{
    return &W<TCanvasBox>(rec)->Picture();
}

// The box takes the size of its picture.
void FitImage(TObjNode* rec)
{
    auto* box = W<TCanvasBox>(rec);
    if (!box->Picture().isNull())
        box->resize(box->Picture().size());
}

void ImageShowsPicture(TObjNode* rec, const QImage& img)
{
    auto* box = W<TCanvasBox>(rec);
    box->SetPicture(img);
    if (!img.isNull())
        box->resize(img.size());
}

void EmptyImage(QWidget* w)
{
    static_cast<TCanvasBox*>(w)->SetPicture(QImage());
}

constexpr TKindOps kImage = {
    .Create = CreateSized<TCanvasBox, 105, 105>,
    .CreationFont = false,
    .Keys = false,
    .Wire = WireClickOnRelease,
    .DefaultEvent = esMouseDown,
    .Direct = ImageDirect,
    .SetDirect = SetImageDirect,
    .Canvas = ImageCanvas,
    .FitCanvas = FitImage,
    .ShowPicture = ImageShowsPicture,
    .Empty = EmptyImage,
};

// ---- バー ---------------------------------------------------------------------------------------

QWidget* CreateBar(const TNewControl& n)
{
    auto* bar = new QScrollBar(Qt::Horizontal, n.Parent);
    bar->setRange(0, 100);
    bar->resize(121, bar->sizeHint().height());
    return bar;
}

void SetBarValue(TPoruBase&, TObjNode* rec, const std::string& value)
{
    auto* b = W<QScrollBar>(rec);
    const int v = IntOr(value, -1);
    if (v >= 0)
        b->setValue(std::clamp(v, b->minimum(), b->maximum()));
}

constexpr TKindOps kBar = {
    .Create = CreateBar,
    .CreationFont = false,
    .Mouse = false,
    .Wire = WireSignal<&QScrollBar::valueChanged, esChange>,
    .DefaultEvent = esChange,
    .Value = NumberValue<&QScrollBar::value>,
    .SetValue = SetBarValue,
    .Direct = NumberDirect<&QScrollBar::value>,
    .SetDirect = SetNumberDirect<&QScrollBar::setValue>,
};

// ---- コンボ -------------------------------------------------------------------------------------

QWidget* CreateCombo(const TNewControl& n)
{
    auto* c = new QComboBox(n.Parent);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->setCompleter(nullptr);
    c->setFont(n.Font);
    c->resize(145, c->sizeHint().height());
    return c;
}

void WireCombo(TPoruBase& st, TObjNode* rec, TEventRelay* relay)
{
    auto* c = W<QComboBox>(rec);
    QObject::connect(c, &QComboBox::editTextChanged, c, Firing(st, rec, esChange));
    QObject::connect(c, QOverload<int>::of(&QComboBox::activated), c, Firing(st, rec, esClick));
    if (c->lineEdit())
        Watch(c->lineEdit(), relay, false);
}

std::string ComboCaption(TObjNode* rec)
{
    return QStringToSjis(W<QComboBox>(rec)->currentText());
}

void SetComboCaption(TObjNode* rec, const std::string& value)
{
    W<QComboBox>(rec)->setEditText(SjisToQString(value));
}

std::string ComboItems(TPoruBase&, TObjNode* rec)
{
    auto* c = W<QComboBox>(rec);
    QStringList items;
    for (int i = 0; i < c->count(); ++i)
        items << c->itemText(i);
    return JoinItemLines(items);
}

void SetComboItems(TPoruBase&, TObjNode* rec, const std::string& value)
{
    auto* c = W<QComboBox>(rec);
    const QString keep = c->currentText();
    c->clear();
    c->addItems(SplitItemLines(value));
    // The new items leave nothing selected (Qt would select the first one), and a
    // sorted combo keeps them in order.
    c->setCurrentIndex(-1);
    if (c->property("poruSorted").toBool())
        c->model()->sort(0);
    c->setEditText(keep);
}

std::string ComboEditable(TPoruBase&, TObjNode* rec)
{
    return Flag(W<QComboBox>(rec)->isEditable());
}

void SetComboEditable(TPoruBase&, TObjNode* rec, const std::string& value)
{
    W<QComboBox>(rec)->setEditable(LenientNumber(value) != 0);
}

constexpr TKindOps kCombo = Captioned({
    .Create = CreateCombo,
    .CreationFont = false,
    .Wire = WireCombo,
    .DefaultEvent = esClick,
    .HasFont = true,
    .HasSelection = true,
    .Caption = ComboCaption,
    .SetCaption = SetComboCaption,
    .Items = ComboItems,
    .SetItems = SetComboItems,
    .Value = NumberValue<&QComboBox::currentIndex>,
    .SetValue = SetChoiceValue<&QComboBox::count, &QComboBox::setCurrentIndex>,
    .Editable = ComboEditable,
    .SetEditable = SetComboEditable,
    .BackColour = PaletteBackColour,
    .SetBackColour = SetPaletteBackColour,
    .Empty = Clear<QComboBox>,
});

// ---- リスト -------------------------------------------------------------------------------------

std::string ListText(TPoruBase&, TObjNode* rec)
{
    QListWidgetItem* it = W<QListWidget>(rec)->currentItem();
    return it ? QStringToSjis(it->text()) : std::string();
}

void SetListText(TPoruBase&, TObjNode* rec, const std::string& value)
{
    if (QListWidgetItem* it = W<QListWidget>(rec)->currentItem())
        it->setText(SjisToQString(value));
}

std::string ListItems(TPoruBase&, TObjNode* rec)
{
    auto* l = W<QListWidget>(rec);
    QStringList items;
    for (int i = 0; i < l->count(); ++i)
        items << l->item(i)->text();
    return JoinItemLines(items);
}

void SetListItems(TPoruBase&, TObjNode* rec, const std::string& value)
{
    auto* l = W<QListWidget>(rec);
    l->clear();
    l->addItems(SplitItemLines(value));
}

// The overload of the list's row setter that takes just the row.
constexpr auto kSetListRow = qOverload<int>(&QListWidget::setCurrentRow);

void ListTakesFiles(QWidget* w, const std::vector<std::string>& files)
{
    for (const std::string& f : files)
        static_cast<QListWidget*>(w)->addItem(SjisToQString(f));
}

constexpr TKindOps kList = {
    .Create = CreateSized<QListWidget, 121, 97>,
    .Wire = WireViewport,
    .DefaultEvent = esClick,
    .HasFont = true,
    .Text = ListText,
    .SetText = SetListText,
    .Items = ListItems,
    .SetItems = SetListItems,
    .Value = NumberValue<&QListWidget::currentRow>,
    .SetValue = SetChoiceValue<&QListWidget::count, kSetListRow>,
    .BackColour = PaletteBackColour,
    .SetBackColour = SetPaletteBackColour,
    .Direct = NumberDirect<&QListWidget::currentRow>,
    .SetDirect = SetNumberDirect<kSetListRow>,
    .Empty = Clear<QListWidget>,
    .TakeFiles = ListTakesFiles,
};

// ---- メモ and Tエディタ ---------------------------------------------------------------------------

QWidget* CreateMemo(const TNewControl& n)
{
    auto* m = new QPlainTextEdit(n.Parent);
    m->setLineWrapMode(QPlainTextEdit::NoWrap);
    m->resize(185, 89);
    return m;
}

QWidget* CreateTextEditor(const TNewControl& n)
{
    QWidget* w = CreateTEditor(n.St, n.Parent);
    w->resize(185, 89);
    return w;
}

void WireMemo(TPoruBase& st, TObjNode* rec, TEventRelay* relay)
{
    WireSignal<&QPlainTextEdit::textChanged, esChange>(st, rec, relay);
    WireViewport(st, rec, relay);
}

// Lines end in CR LF in script texts.
std::string MemoCaption(TObjNode* rec)
{
    const std::string s = QStringToSjis(W<QPlainTextEdit>(rec)->toPlainText());
    std::string out;
    out.reserve(s.size() + s.size() / 16);
    for (char c : s) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

void SetMemoCaption(TObjNode* rec, const std::string& value)
{
    W<QPlainTextEdit>(rec)->setPlainText(MemoText(value));
}

void MemoTakesFiles(QWidget* w, const std::vector<std::string>& files)
{
    for (const std::string& f : files)
        static_cast<QPlainTextEdit*>(w)->appendPlainText(SjisToQString(f));
}

constexpr TKindOps kMemo = Captioned({
    .Create = CreateMemo,
    .Wire = WireMemo,
    .HasFont = true,
    .HasSelection = true,
    .Caption = MemoCaption,
    .SetCaption = SetMemoCaption,
    .Editable = Writable<QPlainTextEdit>,
    .SetEditable = SetWritable<QPlainTextEdit>,
    .BackColour = PaletteBackColour,
    .SetBackColour = SetPaletteBackColour,
    .Empty = Clear<QPlainTextEdit>,
    .TakeFiles = MemoTakesFiles,
});

constexpr TKindOps kTEditor = Captioned({
    .Create = CreateTextEditor,
    .Wire = WireMemo,
    .DefaultEvent = esChange,
    .HasSelection = true,
    .Caption = MemoCaption,
    .SetCaption = SetMemoCaption,
    .BackColour = PaletteBackColour,
    .SetBackColour = SetPaletteBackColour,
    .Empty = Clear<QPlainTextEdit>,
});

// ---- フォーム (and 母艦, the record of index 0) ------------------------------------------------------

QWidget* CreateForm(const TNewControl& n)
{
    auto* f = new TFormWindow(n.Main);
    f->setWindowTitle(n.Caption);
    f->setWindowIcon(n.Main ? n.Main->windowIcon() : QIcon());
    f->resize(320, 240);
    return f;
}

void WireForm(TPoruBase& st, TObjNode* rec, TEventRelay*)
{
    auto* f = W<TFormWindow>(rec);
    // Mouse events of the background picture; keys of the window.
    auto* bgRelay = new TEventRelay(st, f->Background(), rec->Index, false, true, false);
    Watch(f->Background(), bgRelay, true);
    bgRelay->clickOnRelease_ = true;
    f->OnResized = Firing(st, rec, esChange);
}

std::string FormCaption(TObjNode* rec)
{
    return QStringToSjis(W<QWidget>(rec)->windowTitle());
}

void SetFormCaption(TObjNode* rec, const std::string& value)
{
    W<QWidget>(rec)->setWindowTitle(SjisToQString(value));
}

// The window's children stand beside its background picture.
QWidget* FormArea(TObjNode* rec)
{
    return W<TFormWindow>(rec)->Background()->parentWidget();
}

std::string FormBackColour(TPoruBase& st, TObjNode* rec)
{
    if (rec->Index == 0)
        return Num(ValueFromColour(HostWindowOf(st)->Surface()->WindowColour()));
    return Num(ValueFromColour(W<TFormWindow>(rec)->Background()->Fill));
}

void SetFormBackColour(TPoruBase& st, TObjNode* rec, const std::string& value)
{
    const QColor c = ColourFromValue(ParseColourText(value, -1));
    if (rec->Index == 0) {
        TMainWindow* m = HostWindowOf(st);
        m->Surface()->SetWindowColour(c);
        m->Surface()->Picture().fill(c);
        m->Surface()->update();
        return;
    }
    auto* w = W<TFormWindow>(rec);
    TCanvasBox* bg = w->Background();
    bg->Fill = c;
    bg->SetPicture(QImage());
    bg->FitPicture(w->width(), w->height());
    bg->Picture().fill(c);
}

QImage* FormCanvas(TObjNode* rec)
{
    return &W<TFormWindow>(rec)->Background()->Picture();
}

// The background keeps covering the window.
void FitForm(TObjNode* rec)
{
    auto* form = W<TFormWindow>(rec);
    form->Background()->resize(form->size());
}

// The window takes the size of its background picture.
void FormShowsPicture(TObjNode* rec, const QImage& img)
{
    auto* form = W<TFormWindow>(rec);
    form->Background()->SetPicture(img);
    if (!img.isNull())
        form->resize(img.size());
}

void EmptyForm(QWidget* w)
{
    w->close();
}

constexpr TKindOps kForm = Captioned({
    .Create = CreateForm,
    .CreationColour = true,
    .Mouse = false,
    .Wire = WireForm,
    .DefaultEvent = esMouseDown,
    .Caption = FormCaption,
    .SetCaption = SetFormCaption,
    .Items = ChildrenOf<FormArea>,
    .SetItems = SetChildrenOf<Itself>,
    .BackColour = FormBackColour,
    .SetBackColour = SetFormBackColour,
    .Canvas = FormCanvas,
    .FitCanvas = FitForm,
    .ShowPicture = FormShowsPicture,
    .Empty = EmptyForm,
});

// ---- グリッド ------------------------------------------------------------------------------------

void WireGrid(TPoruBase& st, TObjNode* rec, TEventRelay* relay)
{
    auto* g = W<TSortGrid>(rec);
    WireViewport(st, rec, relay);
    QObject::connect(g, &QTableWidget::cellPressed, g, [g](int row, int col) {
        if (row == 0 && g->Sortable)
            g->SortByColumn(col);
    });
}

std::string GridText(TPoruBase&, TObjNode* rec)
{
    return W<TSortGrid>(rec)->CsvText(false);
}

std::string GridItems(TPoruBase&, TObjNode* rec)
{
    return W<TSortGrid>(rec)->CsvText(true);
}

void SetGridCsv(TPoruBase&, TObjNode* rec, const std::string& value)
{
    W<TSortGrid>(rec)->LoadCsv(value);
}

void SetGridValue(TPoruBase&, TObjNode* rec, const std::string& value)
{
    auto* gr = W<TSortGrid>(rec);
    const int v = IntOr(value, -1);
    if (v >= 0 && v < gr->rowCount())
        gr->setCurrentCell(v == 0 ? 1 : v, std::max(gr->currentColumn(), 0));
}

std::string GridEditable(TPoruBase&, TObjNode* rec)
{
    return Flag(W<TSortGrid>(rec)->editTriggers() != QAbstractItemView::NoEditTriggers);
}

void SetGridEditable(TPoruBase&, TObjNode* rec, const std::string& value)
{
    auto* gr = W<TSortGrid>(rec);
    if (LenientNumber(value) < 1) {
        gr->setEditTriggers(QAbstractItemView::NoEditTriggers);
        gr->setSelectionBehavior(QAbstractItemView::SelectRows);
    } else {
        gr->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::AnyKeyPressed);
        gr->setSelectionBehavior(QAbstractItemView::SelectItems);
    }
    gr->viewport()->update();
}

std::string GridDirect(TPoruBase&, TObjNode* rec, THashNode*)
{
    return W<TSortGrid>(rec)->CsvText(false);
}

void SetGridDirect(TPoruBase&, TObjNode* rec, THashNode*, const std::string& value)
{
    W<TSortGrid>(rec)->LoadCsv(value);
}

void EmptyGrid(QWidget* w)
{
    static_cast<TSortGrid*>(w)->setRowCount(0);
}

constexpr TKindOps kGrid = {
    .Create = CreateSized<TSortGrid, 5 * 64 + 4, 5 * 24 + 4>,
    .Wire = WireGrid,
    .HasFont = true,
    .Text = GridText,
    .SetText = SetGridCsv,
    .Items = GridItems,
    .SetItems = SetGridCsv,
    .Value = NumberValue<&TSortGrid::currentRow>,
    .SetValue = SetGridValue,
    .Editable = GridEditable,
    .SetEditable = SetGridEditable,
    .BackColour = PaletteBackColour,
    .SetBackColour = SetPaletteBackColour,
    .Direct = GridDirect,
    .SetDirect = SetGridDirect,
    .Empty = EmptyGrid,
};

// ---- ラベル -------------------------------------------------------------------------------------

QWidget* CreateLabel(const TNewControl& n)
{
    auto* l = new QLabel(n.Caption, n.Parent);
    l->setAttribute(Qt::WA_TranslucentBackground);
    l->setFont(n.Font);
    l->adjustSize();
    return l;
}

void SetLabelCaption(TObjNode* rec, const std::string& value)
{
    auto* l = W<QLabel>(rec);
    l->setText(SjisToQString(value));
    l->adjustSize();
}

// A label lets the window show through until it is given a colour of its own; a
// translucent widget would not paint the colour at all.
void SetLabelBackColour(TPoruBase& st, TObjNode* rec, const std::string& value)
{
    QLabel* l = W<QLabel>(rec);
    l->setAttribute(Qt::WA_TranslucentBackground, false);
    l->setAttribute(Qt::WA_NoSystemBackground, false);
    SetPaletteBackColour(st, rec, value);
}

constexpr TKindOps kLabel = Captioned({
    .Create = CreateLabel,
    .CreationColour = true,
    .Keys = false,
    .Wire = WireClickOnRelease,
    .DefaultEvent = esClick,
    .HasFont = true,
    .Caption = TextCaption<QLabel>,
    .SetCaption = SetLabelCaption,
    .BackColour = PaletteBackColour,
    .SetBackColour = SetLabelBackColour,
    .Empty = Clear<QLabel>,
});

// ---- チェック -----------------------------------------------------------------------------------

void SetCheckValue(TPoruBase&, TObjNode* rec, const std::string& value)
{
    W<QCheckBox>(rec)->setChecked(IntOr(value, 0) != 0);
}

void SetCheckDirect(TPoruBase&, TObjNode* rec, THashNode*, const std::string& value)
{
    W<QCheckBox>(rec)->setChecked(std::trunc(ToNumber(value)) > 0);
}

void EmptyCheck(QWidget* w)
{
    static_cast<QCheckBox*>(w)->setText(QString());
}

constexpr TKindOps kCheck = Captioned({
    .Create = CreateCaptioned<QCheckBox, 97, 17>,
    .Wire = WireSignal<&QCheckBox::clicked, esClick>,
    .DefaultEvent = esClick,
    .HasFont = true,
    .Caption = TextCaption<QCheckBox>,
    .SetCaption = SetTextCaption<QCheckBox>,
    .Value = NumberValue<&QCheckBox::isChecked>,
    .SetValue = SetCheckValue,
    .BackColour = PaletteBackColour,
    .SetBackColour = SetPaletteBackColour,
    .Direct = NumberDirect<&QCheckBox::isChecked>,
    .SetDirect = SetCheckDirect,
    .Empty = EmptyCheck,
});

// ---- トラック -----------------------------------------------------------------------------------

void WireTrack(TPoruBase& st, TObjNode* rec, TEventRelay* relay)
{
    relay->clickOnRelease_ = true;
    W<TTrackBox>(rec)->OnResized = Firing(st, rec, esChange);
}

constexpr TKindOps kTrack = {
    .Create = CreateSized<TTrackBox, 105, 105>,
    .CreationFont = false,
    .Keys = false,
    .Wire = WireTrack,
    .DefaultEvent = esChange,
};

// ---- アニメ -------------------------------------------------------------------------------------

// The box reports its click on the press.
void WireAnime(TPoruBase& st, TObjNode* rec, TEventRelay*)
{
    WireAnimeBox(st, rec);
}

std::string AnimeValue(TPoruBase& st, TObjNode* rec)
{
    return AnimeProperty(st, rec, TAnimeProp::Interval);
}

void SetAnimeValue(TPoruBase& st, TObjNode* rec, const std::string& value)
{
    SetAnimeProperty(st, rec, TAnimeProp::Interval, value);
}

void SetAnimeBackColour(TPoruBase&, TObjNode* rec, const std::string& value)
{
    W<TAnimeBox>(rec)->SetColour(ColourFromValue(ParseColourText(value, -1)));
}

void EmptyAnime(QWidget* w)
{
    static_cast<TAnimeBox*>(w)->ClearFrames();
    static_cast<TAnimeBox*>(w)->Stop();   // also its sound
}

constexpr TKindOps kAnime = {
    .Create = CreateSized<TAnimeBox, 100, 100>,
    .CreationFont = false,
    .Keys = false,
    .Wire = WireAnime,
    .DefaultEvent = esClick,
    .Value = AnimeValue,
    .SetValue = SetAnimeValue,
    .BackColour = PaletteBackColour,
    .SetBackColour = SetAnimeBackColour,
    .Empty = EmptyAnime,
};

// ---- メニュー (made by the menu commands, not by 作成) ----------------------------------------------

std::string MenuCaption(TObjNode* rec)
{
    return QStringToSjis(ObjectAction(rec)->text());
}

void SetMenuCaption(TObjNode* rec, const std::string& value)
{
    ObjectAction(rec)->setText(SjisToQString(value));
}

std::string MenuValue(TPoruBase&, TObjNode* rec)
{
    return Flag(ObjectAction(rec)->isChecked());
}

void MenuShowsPicture(TObjNode* rec, const QImage& img)
{
    ObjectAction(rec)->setIcon(IconOf(img));
}

void SetMenuValue(TPoruBase&, TObjNode* rec, const std::string& value)
{
    QAction* a = ObjectAction(rec);
    a->setCheckable(true);
    a->setChecked(IntOr(value, 0) != 0);
}

constexpr TKindOps kMenu = Captioned({
    .DefaultEvent = esClick,
    .Caption = MenuCaption,
    .SetCaption = SetMenuCaption,
    .Value = MenuValue,
    .SetValue = SetMenuValue,
    .ShowPicture = MenuShowsPicture,
});

// ---- ブラウザ -----------------------------------------------------------------------------------

QWidget* CreateBrowser(const TNewControl& n)
{
    auto* b = new TBrowser(n.Parent);
    b->resize(b->sizeHint());
    return b;
}

void WireBrowser(TPoruBase& st, TObjNode* rec, TEventRelay*)
{
    TPoruBase* sp = &st;
    const int id = rec->Index;
    W<TBrowser>(rec)->BeforeNavigate = [sp, id](const QUrl& url) {
        TObjNode* r = FindObjectById(*sp, id);
        if (r && r->EventPos[esClick]) {
            SetSystemWord(*sp, "ブラウザ移動先URL", QStringToSjis(url.toString()));
            // The answer is read after the handler: it runs to its end even when the
            // navigation was asked for by a statement that is still running.
            FireEvent(*sp, id, esClick, true);
        }
        return ToIntOrDefault(TrimView(SystemWordValue(*sp, "ブラウザURL移動許可")), 1) != 0;
    };
}

std::string BrowserText(TPoruBase&, TObjNode* rec)
{
    return QStringToSjis(W<TBrowser>(rec)->Location().toString());
}

constexpr TKindOps kBrowser = {
    .Create = CreateBrowser,
    .CreationFont = false,
    .Keys = false,
    .Mouse = false,
    .Wire = WireBrowser,
    .DefaultEvent = esClick,
    .Text = BrowserText,
};

// ---- パネル -------------------------------------------------------------------------------------

QWidget* CreatePanel(const TNewControl& n)
{
    auto* p = new QFrame(n.Parent);
    p->setFrameShape(QFrame::Panel);
    p->setFrameShadow(QFrame::Raised);
    p->resize(185, 41);
    return p;
}

std::string PanelCaption(TObjNode* rec)
{
    return QStringToSjis(W<QFrame>(rec)->property("poruCaption").toString());
}

void SetPanelCaption(TObjNode* rec, const std::string& value)
{
    W<QFrame>(rec)->setProperty("poruCaption", SjisToQString(value));
    W<QFrame>(rec)->update();
}

constexpr TKindOps kPanel = Captioned({
    .Create = CreatePanel,
    .CreationFont = false,
    .Keys = false,
    .Wire = WireClickOnRelease,
    .DefaultEvent = esClick,
    .Caption = PanelCaption,
    .SetCaption = SetPanelCaption,
    .Items = ChildrenOf<Itself>,
    .SetItems = SetChildrenOf<Itself>,
    .BackColour = PaletteBackColour,
    .SetBackColour = SetPaletteBackColour,
});

// ---- ラジオ -------------------------------------------------------------------------------------

void WireRadio(TPoruBase& st, TObjNode* rec, TEventRelay*)
{
    W<TRadioGroup>(rec)->OnClicked = Firing(st, rec, esClick);
}

std::string RadioText(TPoruBase&, TObjNode* rec)
{
    auto* r = W<TRadioGroup>(rec);
    const int i = r->Selected();
    return i >= 0 ? QStringToSjis(r->Items().value(i)) : std::string();
}

void SetRadioText(TPoruBase&, TObjNode* rec, const std::string& value)
{
    auto* r = W<TRadioGroup>(rec);
    if (QAbstractButton* b = r->Group()->button(r->Selected()))
        b->setText(SjisToQString(value));
}

std::string RadioItems(TPoruBase&, TObjNode* rec)
{
    return JoinItemLines(W<TRadioGroup>(rec)->Items());
}

void SetRadioItems(TPoruBase&, TObjNode* rec, const std::string& value)
{
    W<TRadioGroup>(rec)->SetItems(SplitItemLines(value));
}

void SetRadioValue(TPoruBase&, TObjNode* rec, const std::string& value)
{
    auto* r = W<TRadioGroup>(rec);
    const int v = IntOr(value, -1);
    if (v >= 0 && v < r->Items().size())
        r->Select(v);
}

constexpr TKindOps kRadio = {
    .Create = CreateSized<TRadioGroup, 185, 105>,
    .Keys = false,
    .Mouse = false,
    .Wire = WireRadio,
    .Text = RadioText,
    .SetText = SetRadioText,
    .Items = RadioItems,
    .SetItems = SetRadioItems,
    .Value = NumberValue<&TRadioGroup::Selected>,
    .SetValue = SetRadioValue,
    .SetBackColour = SetPaletteBackColour,
    .Direct = NumberDirect<&TRadioGroup::Selected>,
    .SetDirect = SetNumberDirect<&TRadioGroup::Select>,
};

// ---- スクロール ----------------------------------------------------------------------------------

QWidget* CreateScroll(const TNewControl& n)
{
    auto* s = new QScrollArea(n.Parent);
    auto* inner = new QWidget;
    inner->resize(1, 1);
    s->setWidget(inner);
    s->resize(300, 200);
    return s;
}

// The children stand in the scrolled area, which grows to hold them.
QWidget* ScrolledArea(TObjNode* rec)
{
    return W<QScrollArea>(rec)->widget();
}

constexpr TKindOps kScroll = {
    .Create = CreateScroll,
    .CreationFont = false,
    .Keys = false,
    .Wire = WireViewport,
    .Items = ChildrenOf<ScrolledArea>,
    .SetItems = SetChildrenOf<ScrolledArea, true>,
};

// ---- タブページ ----------------------------------------------------------------------------------

std::string TabPageText(TPoruBase&, TObjNode* rec)
{
    auto* t = W<QTabWidget>(rec);
    QStringList pages;
    for (int i = 0; i < t->count(); ++i)
        pages << t->tabText(i);
    return JoinItemLines(pages);
}

void SetTabPageText(TPoruBase&, TObjNode* rec, const std::string& value)
{
    auto* t = W<QTabWidget>(rec);
    const QStringList lines = SplitItemLines(value);
    for (int i = 0; i < lines.size(); ++i) {
        if (i < t->count())
            t->setTabText(i, lines[i]);
        else
            t->addTab(new QWidget, lines[i]);
    }
    while (t->count() > lines.size()) {
        QWidget* page = t->widget(t->count() - 1);
        t->removeTab(t->count() - 1);
        page->deleteLater();
    }
}

// The children stand on the page shown.
QWidget* CurrentPage(TObjNode* rec)
{
    return W<QTabWidget>(rec)->currentWidget();
}

void SetTabPageValue(TPoruBase&, TObjNode* rec, const std::string& value)
{
    W<QTabWidget>(rec)->setCurrentIndex(IntOr(value, 0));
}

constexpr TKindOps kTabPage = {
    .Create = CreateSized<QTabWidget, 289, 193>,
    .CreationFont = false,
    .Keys = false,
    .Wire = WireSignal<&QTabWidget::currentChanged, esChange>,
    .DefaultEvent = esChange,
    .Text = TabPageText,
    .SetText = SetTabPageText,
    .Items = ChildrenOf<CurrentPage>,
    .SetItems = SetChildrenOf<CurrentPage>,
    .Value = NumberValue<&QTabWidget::currentIndex>,
    .SetValue = SetTabPageValue,
};

const TKindOps* const kKinds[okKindCount] = {
    &kButton, &kEdit,  &kImage, &kBar,  &kCombo,   &kList,  &kMemo,    &kForm,  &kGrid,   &kLabel,
    &kCheck,  &kTrack, &kAnime, &kMenu, &kBrowser, &kPanel, &kTEditor, &kRadio, &kScroll, &kTabPage,
};

}   // namespace

const TKindOps& KindOps(int kind)
{
    static const TKindOps none;
    return kind >= 0 && kind < okKindCount ? *kKinds[kind] : none;
}
