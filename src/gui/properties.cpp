// Object properties: a table of the 56 property names, each with its reader and
// setter (those that differ by kind ask the kind's record of operations), reading
// (GetProperty) and setting (SetProperty) through it, and the commands 設定 and 得る.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QWindow>

#include <cmath>
#include <iterator>
#include <string_view>

#include "core/codec.h"
#include "core/hash.h"
#include "core/text.h"
#include "gui/anime_box.h"
#include "gui/controls.h"
#include "gui/kinds.h"
#include "gui/main_window.h"
#include "gui/objects_internal.h"
#include "gui/text_font.h"
#include "gui/text_layout.h"
#include "interp/builtins.h"
#include "interp/interp.h"
#include "services/qt_text.h"

namespace {

// clang-format off
enum TProp {
    pX, pY, pWidth, pHeight, pText, pItems, pValue, pPicture, pStretch, pMax, pMin, pTitle, pOrientation,
    pButtonMode, pVisible, pEvent, pOnClick, pOnDoubleClick, pOnMouseDown, pOnMouseUp, pOnKeyDown, pOnKeyUp,
    pOnChange, pEditable, pTransparent, pBackColour, pSize, pName, pScrollBars, pFontFace, pFontSize,
    pFontColour, pFileDrop, pResizable, pShortcut, pIme, pRepeat, pSound, pOnMouseMove, pMorePictures,
    pSelText, pHandle, pEnabled, pSelStart, pSelLength, pUrl, pRightSide, pBelow, pOnFileDrop, pStyle, pW, pH,
    pPosition, pColumn, pRow, pSort, pPropCount
};
// clang-format on

[[noreturn]] void UndefinedItem(TPoruBase& st, TObjNode* rec, const std::string& name, const std::string& folded)
{
    st.Error(J("オブジェクト\"") + name + "\"(\"" + KindName(rec->ClassCode) + J("\")の設定項目\"") + folded +
             J("\"は未定義です。"));
}

// One reading or setting of a property: the object, its kind and the name asked for.
struct TPropCall {
    TPoruBase& St;
    THashNode* Word;
    TObjNode* Rec;
    std::string Name;     // the object's name
    std::string Folded;   // the property name as asked for, folded
    int Code;
    int Kind;
    const TKindOps& Ops;
    QWidget* W;              // the control; nil for a menu item
    QWidget* G;              // what moves and sizes: the window for 母艦; nil for a menu item
    std::string TagBefore;   // the type tag before a reading, for the readings that keep it

    [[noreturn]] void Undefined() const { UndefinedItem(St, Rec, Name, Folded); }

    [[noreturn]] void NotDefined() const { St.Error(J("オブジェクト\"") + Name + J("\"の設定は、未定義です。")); }

    bool Menu() const { return Kind == okMenu; }

    // A text result: its type tag is "s" (every other reading leaves "e").
    std::string Text(std::string v)
    {
        St.LastTypeTag = "s";
        return v;
    }
};

using TGetter = std::string (*)(TPropCall& c);
using TSetter = void (*)(TPropCall& c, const std::string& value);

std::string Pair(int a, int b)
{
    return "(" + Num(a) + "," + Num(b) + ")";
}

QWidget* Geometry(TPoruBase& st, TObjNode* rec)
{
    if (rec->Index == 0)
        return HostWindowOf(st);
    return ObjectWidget(rec);
}

// The client size of a window object, the outer size of a control.
QSize SizeOf(TPoruBase& st, TObjNode* rec)
{
    if (rec->Index == 0)
        return HostWindowOf(st)->Surface()->size();
    return Geometry(st, rec)->size();
}

void Resize(TPoruBase& st, TObjNode* rec, int w, int h)
{
    if (rec->Index == 0) {
        TMainWindow* m = HostWindowOf(st);
        m->resize(m->width() - m->Surface()->width() + std::max(w, 0),
                  m->height() - m->Surface()->height() + std::max(h, 0));
        return;
    }
    Geometry(st, rec)->resize(std::max(w, 0), std::max(h, 0));
}

void CentreIfAsked(TPoruBase& st, TObjNode* rec)
{
    QWidget* w = ObjectWidget(rec);
    if (!st.Centring || !w || !w->parentWidget() || w->isWindow())
        return;
    QWidget* p = w->parentWidget();
    w->move((p->width() - w->width()) / 2, w->y());
}

QPlainTextEdit* Memo(TObjNode* rec)
{
    return static_cast<QPlainTextEdit*>(rec->Control);
}

// The line edit of an エディタ or a コンボ (nil for a combo that is not editable).
QLineEdit* LineEditOf(TObjNode* rec)
{
    QWidget* w = ObjectWidget(rec);
    return rec->ClassCode == okEdit ? static_cast<QLineEdit*>(w) : static_cast<QComboBox*>(w)->lineEdit();
}

bool IsLineEdit(int kind)
{
    return kind == okEdit || kind == okCombo;
}

// Selection start and length in characters.
void SelectionOf(TObjNode* rec, int& start, int& length, QString& text)
{
    start = length = 0;
    if (IsLineEdit(rec->ClassCode)) {
        QLineEdit* e = LineEditOf(rec);
        if (!e)
            return;
        if (e->hasSelectedText()) {
            start = e->selectionStart();
            length = static_cast<int>(e->selectedText().size());
        } else {
            start = e->cursorPosition();
        }
        text = e->selectedText();
    } else {
        QTextCursor c = Memo(rec)->textCursor();
        start = c.selectionStart();
        length = c.selectionEnd() - c.selectionStart();
        text = c.selectedText();
        text.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    }
}

void SetSelection(TObjNode* rec, int start, int length)
{
    if (IsLineEdit(rec->ClassCode)) {
        if (QLineEdit* e = LineEditOf(rec))
            e->setSelection(start, length);
        return;
    }
    QTextCursor c = Memo(rec)->textCursor();
    const int end = Memo(rec)->document()->characterCount() - 1;
    c.setPosition(std::clamp(start, 0, end));
    c.setPosition(std::clamp(start + length, 0, end), QTextCursor::KeepAnchor);
    Memo(rec)->setTextCursor(c);
}

// ---- place and size ----------------------------------------------------------------------------

// The moved and sized widget; a menu item has none.
QWidget* Placed(TPropCall& c)
{
    if (!c.G)
        c.Undefined();
    return c.G;
}

std::string GetX(TPropCall& c)
{
    return Num(Placed(c)->pos().x());
}

std::string GetY(TPropCall& c)
{
    return Num(Placed(c)->pos().y());
}

std::string GetWidth(TPropCall& c)
{
    Placed(c);
    return Num(SizeOf(c.St, c.Rec).width());
}

std::string GetHeight(TPropCall& c)
{
    Placed(c);
    return Num(SizeOf(c.St, c.Rec).height());
}

std::string GetPosition(TPropCall& c)
{
    const QPoint pos = Placed(c)->pos();
    return c.Text(Pair(pos.x(), pos.y()));
}

std::string GetSize(TPropCall& c)
{
    const QPoint pos = Placed(c)->pos();
    const QSize size = SizeOf(c.St, c.Rec);
    return c.Text("(" + Num(pos.x()) + "," + Num(pos.y()) + "," + Num(pos.x() + size.width()) + "," +
                  Num(pos.y() + size.height()) + ")");
}

std::string GetRightSide(TPropCall& c)
{
    const QPoint pos = Placed(c)->pos();
    const QSize size = SizeOf(c.St, c.Rec);
    return c.Text(Pair(pos.x() + size.width() + GapOf(c.St), pos.y()));
}

std::string GetBelow(TPropCall& c)
{
    const QPoint pos = Placed(c)->pos();
    const QSize size = SizeOf(c.St, c.Rec);
    return c.Text(Pair(pos.x(), pos.y() + size.height() + GapOf(c.St)));
}

// Places a control, or a window by its frame (title bar included) as desktops count
// a window's position. Before the window manager has framed a window the frame's size
// is not known yet, so the window system is given the frame's position to honour.
void Place(QWidget* g, int x, int y)
{
    g->move(x, y);
    if (g->isWindow())
        if (QWindow* handle = g->windowHandle())
            handle->setFramePosition(QPoint(x, y));
}

void SetXY(TPropCall& c, const std::string& value)
{
    if (c.Menu())
        c.NotDefined();
    const int v = static_cast<int>(LenientNumber(value));
    Place(c.G, c.Code == pX ? v : c.G->x(), c.Code == pY ? v : c.G->y());
}

void SetWidth(TPropCall& c, const std::string& value)
{
    if (c.Menu())
        c.NotDefined();
    Resize(c.St, c.Rec, static_cast<int>(LenientNumber(value)), SizeOf(c.St, c.Rec).height());
    CentreIfAsked(c.St, c.Rec);
}

// A control's new height moves the layout cursor below it.
void SetHeight(TPropCall& c, const std::string& value)
{
    if (c.Menu())
        c.NotDefined();
    const int h = static_cast<int>(LenientNumber(value));
    Resize(c.St, c.Rec, SizeOf(c.St, c.Rec).width(), h);
    if (c.Kind != okForm) {
        c.St.LayoutX = c.G->x();
        c.St.LayoutY = c.G->y() + h + GapOf(c.St);
    }
}

// The text of a coordinate pair or rectangle: a list in parentheses is read as it
// was written, each element evaluated on its own (evaluated whole, "(0,0,420,380)"
// would be one calculation and give only its first number); anything else (a
// variable, a literal, a property reading) is evaluated first.
std::string PlacementText(TPropCall& c, const std::string& raw)
{
    const std::string t = Trim(raw);
    if (t.size() >= 2 && t.front() == '(' && t.back() == ')')
        return t;
    return c.St.EvaluateValue(t);
}

void SetPosition(TPropCall& c, const std::string& raw)
{
    const std::string value = PlacementText(c, raw);
    if (c.Menu())
        c.NotDefined();
    int32_t x = 0, y = 0;
    if (!ReadPair(c.St, value, x, y))
        c.St.Error(J("座標の指定エラー"));
    Place(c.G, x, y);
}

// "(x1,y1,x2,y2)": place and size at once; a control moves the layout cursor below it.
void SetSize(TPropCall& c, const std::string& raw)
{
    const std::string value = PlacementText(c, raw);
    if (c.Menu())
        c.NotDefined();
    std::vector<long double> v;
    ReadNumbers(c.St, value, v);
    if (v.size() > 4) {
        std::string list;
        for (long double n : v)
            list += NumberToText(n) + "\r\n";
        c.St.Error(J("座標の指定エラー。引数が多すぎます。\"") + list + "\"");
    }
    v.resize(4, 0);
    const int x1 = static_cast<int>(std::trunc(v[0])), y1 = static_cast<int>(std::trunc(v[1]));
    const int x2 = static_cast<int>(std::trunc(v[2])), y2 = static_cast<int>(std::trunc(v[3]));
    Resize(c.St, c.Rec, x2 - x1, y2 - y1);
    Place(c.G, x1, y1);
    if (c.Kind == okForm) {
        if (c.Rec->Index != 0)
            static_cast<TFormWindow*>(c.W)->Background()->resize(c.G->size());
        return;
    }
    CentreIfAsked(c.St, c.Rec);
    c.St.LayoutX = x1;
    c.St.LayoutY = y2 + GapOf(c.St);
}

// ---- text, items and value (by kind) --------------------------------------------------------

// Readings and settings that the kind's record does. A reading the kind lacks gives
// 0; a setting it lacks is refused as an undefined item of the kind or, for テキスト
// and 値, as a setting the object does not have.
enum class TLacking { Undefined, NotDefined };

template <TReadOp TKindOps::*Op> std::string ReadByKind(TPropCall& c)
{
    return c.Ops.*Op ? (c.Ops.*Op)(c.St, c.Rec) : "0";
}

template <TWriteOp TKindOps::*Op, TLacking Lacking = TLacking::Undefined>
void SetByKind(TPropCall& c, const std::string& value)
{
    if (!(c.Ops.*Op)) {
        if (Lacking == TLacking::NotDefined)
            c.NotDefined();
        c.Undefined();
    }
    (c.Ops.*Op)(c.St, c.Rec, value);
}

std::string GetText(TPropCall& c)
{
    return c.Text(c.Ops.Text ? c.Ops.Text(c.St, c.Rec) : c.Word->Value);
}

std::string GetTitle(TPropCall& c)
{
    return c.Text(c.Kind == okForm ? WidgetText(c.Rec) : c.Word->Value);
}

// テキスト and タイトル set the same.
constexpr auto SetText = SetByKind<&TKindOps::SetText, TLacking::NotDefined>;

std::string GetItems(TPropCall& c)
{
    return c.Text(c.Ops.Items ? c.Ops.Items(c.St, c.Rec) : std::string());
}

constexpr auto SetItems = SetByKind<&TKindOps::SetItems>;
constexpr auto GetValue = ReadByKind<&TKindOps::Value>;
constexpr auto SetValue = SetByKind<&TKindOps::SetValue, TLacking::NotDefined>;

std::string GetName(TPropCall& c)
{
    return c.Text(c.Rec->Name);
}

std::string GetHandle(TPropCall& c)
{
    return c.G ? Num(static_cast<long long>(c.G->internalWinId())) : "0";
}

// ---- selection and caret -------------------------------------------------------------------------

// A リスト's selected string is its current item.
std::string GetSelText(TPropCall& c)
{
    if (c.Kind == okList)
        return c.Text(c.Ops.Text(c.St, c.Rec));
    if (!c.Ops.HasSelection)
        return c.Text(std::string());
    int start, length;
    QString sel;
    SelectionOf(c.Rec, start, length, sel);
    return c.Text(QStringToSjis(sel));
}

void SetSelText(TPropCall& c, const std::string& value)
{
    if (c.Kind == okList) {
        c.Ops.SetText(c.St, c.Rec, value);
        return;
    }
    if (!c.Ops.HasSelection)
        c.Undefined();
    if (IsLineEdit(c.Kind)) {
        if (QLineEdit* e = LineEditOf(c.Rec))
            e->insert(SjisToQString(value));
    } else {
        Memo(c.Rec)->textCursor().insertText(MemoText(value));
    }
}

// 選択位置 and 選択文字数.
std::string GetSelRange(TPropCall& c)
{
    if (!c.Ops.HasSelection)
        return "0";
    int start, length;
    QString sel;
    SelectionOf(c.Rec, start, length, sel);
    return Num(c.Code == pSelStart ? start : length);
}

void SetSelRange(TPropCall& c, const std::string& value)
{
    if (!c.Ops.HasSelection)
        c.Undefined();
    int start, length;
    QString sel;
    SelectionOf(c.Rec, start, length, sel);
    const int v = static_cast<int>(LenientNumber(value));
    if (c.Code == pSelStart)
        SetSelection(c.Rec, v, 0);
    else
        SetSelection(c.Rec, start, v);
}

bool IsMemo(int kind)
{
    return kind == okMemo || kind == okTEditor;
}

// 列 and 行: the current cell of a グリッド, the caret of a メモ.
std::string GetColumnRow(TPropCall& c)
{
    if (c.Kind == okGrid) {
        auto* gr = static_cast<TSortGrid*>(c.W);
        return Num(c.Code == pColumn ? gr->currentColumn() : gr->currentRow());
    }
    if (!IsMemo(c.Kind))
        c.Undefined();
    QTextCursor cur = Memo(c.Rec)->textCursor();
    return Num(c.Code == pColumn ? cur.positionInBlock() : cur.blockNumber());
}

void SetColumnRow(TPropCall& c, const std::string& value)
{
    const int v = IntOr(value, 0);
    if (c.Kind == okGrid) {
        auto* gr = static_cast<TSortGrid*>(c.W);
        if (c.Code == pColumn)
            gr->setCurrentCell(std::max(gr->currentRow(), 0), v);
        else
            gr->setCurrentCell(v, std::max(gr->currentColumn(), 0));
        return;
    }
    if (!IsMemo(c.Kind))
        c.Undefined();
    QPlainTextEdit* m = Memo(c.Rec);
    QTextCursor cur = m->textCursor();
    if (c.Code == pColumn) {
        cur.movePosition(QTextCursor::NextCharacter, QTextCursor::MoveAnchor, std::max(v, 0));
    } else {
        QTextBlock b = m->document()->findBlockByNumber(std::max(v, 0));
        if (b.isValid())
            cur.setPosition(b.position());
    }
    m->setTextCursor(cur);
    m->ensureCursorVisible();
}

// 1 on, 2 hiragana, 3 katakana, 4 half-width katakana; any other number is off.
std::string GetIme(TPropCall& c)
{
    if (!c.Ops.HasSelection)
        return "0";
    const long long mode = LenientNumber(c.Word->Value);
    return mode >= 1 && mode <= 4 ? Num(static_cast<int>(mode)) : "0";
}

// Linux input methods have no per-widget mode; the number is kept in the word.
void SetIme(TPropCall& c, const std::string&)
{
    if (!c.Ops.HasSelection)
        c.Undefined();
}

// ---- pictures and their drawing -----------------------------------------------------------------

std::string GetPicture(TPropCall& c)
{
    return c.Text(c.Word->Value);
}

void SetPicture(TPropCall& c, const std::string& value)
{
    if (c.Kind == okAnime) {
        SetAnimeProperty(c.St, c.Rec, TAnimeProp::Pictures, value);
        return;
    }
    if (!c.Ops.ShowPicture)
        c.NotDefined();
    LoadPictureInto(c.St, c.Rec, value);
}

bool IsCanvas(int kind)
{
    return kind == okImage || kind == okAnime;
}

// The box that shows the object's picture: its own, or a window's background.
// The picture of a picture kind or of a フォーム's background; none for the main
// window, which is a フォーム record without such a background.
TCanvasBox* PictureBox(TPropCall& c)
{
    if (IsCanvas(c.Kind))
        return static_cast<TCanvasBox*>(c.W);
    if (c.Kind == okForm && c.Rec->Index != 0)
        return static_cast<TFormWindow*>(c.W)->Background();
    return nullptr;
}

std::string GetStretch(TPropCall& c)
{
    if (TCanvasBox* box = PictureBox(c))
        return Flag(box->Stretch);
    return c.Text(std::string());
}

std::string GetTransparent(TPropCall& c)
{
    if (TCanvasBox* box = PictureBox(c))
        return Flag(box->Transparent);
    if (c.Kind == okLabel)
        return Flag(c.W->testAttribute(Qt::WA_TranslucentBackground));
    return "0";
}

// 拡大機能 and 透過処理 of a picture; a ラベル is see-through too.
void SetStretchTransparent(TPropCall& c, const std::string& value)
{
    const bool on = (c.Code == pStretch ? IntOr(value, 0) : LenientNumber(value)) > 0;
    TCanvasBox* box = PictureBox(c);
    if (!box && c.Kind == okLabel && c.Code == pTransparent) {
        c.W->setAttribute(Qt::WA_TranslucentBackground, on);
        c.W->setAutoFillBackground(!on);
        return;
    }
    if (!box)
        c.Undefined();
    (c.Code == pStretch ? box->Stretch : box->Transparent) = on;
    box->update();
}

// 追加画像, ボタン機能, 繰り返し回数 and 効果音 of an アニメ.
TAnimeProp AnimePropOf(int code)
{
    switch (code) {
    case pMorePictures:
        return TAnimeProp::MorePictures;
    case pButtonMode:
        return TAnimeProp::ButtonMode;
    case pRepeat:
        return TAnimeProp::Repeat;
    default:
        return TAnimeProp::Sound;
    }
}

// The other kinds read 0 (効果音 an empty text) but have no ボタン機能.
std::string GetAnime(TPropCall& c)
{
    if (c.Kind != okAnime) {
        if (c.Code == pButtonMode)
            c.Undefined();
        return c.Code == pSound ? c.Text(std::string()) : "0";
    }
    if (c.Code == pButtonMode)
        c.St.LastTypeTag = c.TagBefore;
    return AnimeProperty(c.St, c.Rec, AnimePropOf(c.Code));
}

void SetAnime(TPropCall& c, const std::string& value)
{
    if (c.Kind != okAnime)
        c.Undefined();
    SetAnimeProperty(c.St, c.Rec, AnimePropOf(c.Code), value);
}

// ---- colours and fonts ----------------------------------------------------------------------------

constexpr auto GetBackColour = ReadByKind<&TKindOps::BackColour>;
constexpr auto SetBackColour = SetByKind<&TKindOps::SetBackColour>;

// The face as the script named it (ＭＳ ゴシック), not the installed face that stands in
// for it (IPAGothic), while the control still shows that stand-in.
std::string GetFontFace(TPropCall& c)
{
    if (!c.Ops.HasFont)
        return c.Text(std::string());
    const QString family = c.W->font().family();
    const QString named = c.W->property("poruFace").toString();
    if (!named.isEmpty() && MapFaceName(named) == family)
        return c.Text(QStringToSjis(named));
    return c.Text(QStringToSjis(family));
}

std::string GetFontSize(TPropCall& c)
{
    return c.Ops.HasFont ? Num(c.W->font().pointSize()) : "0";
}

std::string GetFontColour(TPropCall& c)
{
    return c.Ops.HasFont ? Num(ValueFromColour(c.W->palette().color(c.W->foregroundRole()))) : "0";
}

// フォント書体, フォントサイズ and フォント色; a ラベル fits its new text size.
void SetFont(TPropCall& c, const std::string& value)
{
    if (!c.Ops.HasFont)
        c.Undefined();
    QWidget* w = c.W;
    if (c.Code == pFontFace) {
        const TFontDesc desc = ParseFontText(SjisToQString(value), InstalledFaces());
        w->setFont(FontFromDesc(desc, IntOr(SystemWordValue(c.St, "文字サイズ"), 12)));
        w->setProperty("poruFace", desc.Face);
    } else if (c.Code == pFontSize) {
        QFont f = w->font();
        f.setPointSize(std::max(1, IntOr(value, 9)));
        w->setFont(f);
    } else {
        QPalette pal = w->palette();
        const QColor col = ColourFromValue(ParseColourText(value, 0));
        pal.setColor(w->foregroundRole(), col);
        pal.setColor(QPalette::Text, col);
        pal.setColor(QPalette::ButtonText, col);
        w->setPalette(pal);
    }
    if (c.Kind == okLabel)
        static_cast<QLabel*>(w)->adjustSize();
}

// ---- state ----------------------------------------------------------------------------------------

// 可視 and 有効: a flag of the menu item's action, or of the control (the window for 母艦).
template <bool (QAction::*OfItem)() const, bool (QWidget::*OfControl)() const> std::string GetFlag(TPropCall& c)
{
    return Flag(c.Menu() ? (ObjectAction(c.Rec)->*OfItem)() : (c.G->*OfControl)());
}

template <void (QAction::*OfItem)(bool), void (QWidget::*OfControl)(bool)>
void SetFlag(TPropCall& c, const std::string& value)
{
    const bool on = IntOr(value, 0) != 0;
    if (c.Menu())
        (ObjectAction(c.Rec)->*OfItem)(on);
    else
        (c.G->*OfControl)(on);
}

constexpr auto GetVisible = GetFlag<&QAction::isVisible, &QWidget::isVisible>;
constexpr auto SetVisible = SetFlag<&QAction::setVisible, &QWidget::setVisible>;
constexpr auto GetEnabled = GetFlag<&QAction::isEnabled, &QWidget::isEnabled>;
constexpr auto SetEnabled = SetFlag<&QAction::setEnabled, &QWidget::setEnabled>;

std::string GetEditable(TPropCall& c)
{
    if (!c.Ops.Editable)
        c.Undefined();
    return c.Ops.Editable(c.St, c.Rec);
}

constexpr auto SetEditable = SetByKind<&TKindOps::SetEditable>;

std::string GetScrollBars(TPropCall& c)
{
    if (c.Kind != okMemo)
        c.Undefined();
    const bool v = Memo(c.Rec)->verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff;
    const bool h = Memo(c.Rec)->horizontalScrollBarPolicy() != Qt::ScrollBarAlwaysOff;
    return c.Text(v && h ? J("両方") : v ? J("縦") : h ? J("横") : std::string());
}

void SetScrollBars(TPropCall& c, const std::string& value)
{
    if (c.Kind != okMemo)
        c.Undefined();
    const std::string v = Trim(value);
    const bool vert = v == J("縦") || v == J("両方");
    const bool horz = v == J("横") || v == J("両方");
    Memo(c.Rec)->setVerticalScrollBarPolicy(vert ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    Memo(c.Rec)->setHorizontalScrollBarPolicy(horz ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    Memo(c.Rec)->setLineWrapMode(horz ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
}

// ---- バー --------------------------------------------------------------------------------------------

std::string GetOrientation(TPropCall& c)
{
    if (c.Kind != okBar)
        c.Undefined();
    return c.Text(static_cast<QScrollBar*>(c.W)->orientation() == Qt::Vertical ? J("縦") : J("横"));
}

// Turning the bar also turns its size.
void SetOrientation(TPropCall& c, const std::string& value)
{
    if (c.Kind != okBar)
        c.Undefined();
    auto* b = static_cast<QScrollBar*>(c.W);
    const bool vertical = Trim(value) == J("縦");
    if ((b->orientation() == Qt::Vertical) != vertical) {
        b->setOrientation(vertical ? Qt::Vertical : Qt::Horizontal);
        b->resize(b->height(), b->width());
    }
}

std::string GetMax(TPropCall& c)
{
    return c.Kind == okBar ? Num(static_cast<QScrollBar*>(c.W)->maximum()) : "0";
}

std::string GetMin(TPropCall& c)
{
    return c.Kind == okBar ? Num(static_cast<QScrollBar*>(c.W)->minimum()) : "0";
}

void SetMaxMin(TPropCall& c, const std::string& value)
{
    if (c.Kind != okBar)
        c.Undefined();
    auto* b = static_cast<QScrollBar*>(c.W);
    if (c.Code == pMax)
        b->setMaximum(IntOr(value, 0));
    else
        b->setMinimum(IntOr(value, 0));
}

// ---- windows ------------------------------------------------------------------------------------------

std::string GetResizable(TPropCall& c)
{
    if (c.Kind != okForm)
        return "0";
    return Flag(c.G->minimumSize() != c.G->maximumSize());
}

std::string GetStyle(TPropCall& c)
{
    if (c.Kind != okForm)
        return "0";
    return Num(c.G->property("poruStyle").isValid() ? c.G->property("poruStyle").toInt() : 2);
}

// スタイル 0 frameless, 1 fixed, 2 sizeable, 3 dialog, 4 and 5 tool windows;
// リサイズ chooses between 1 and 2. 母艦 keeps its window flags.
void SetStyle(TPropCall& c, const std::string& value)
{
    if (c.Kind != okForm)
        c.Undefined();
    QWidget* g = c.G;
    const bool visible = g->isVisible();
    int style = static_cast<int>(LenientNumber(value));
    if (c.Code == pResizable)
        style = style >= 1 ? 2 : 1;
    Qt::WindowFlags flags = Qt::Window;
    if (style == 0)
        flags |= Qt::FramelessWindowHint;
    else if (style == 3)
        flags = Qt::Dialog;
    else if (style == 4 || style == 5)
        flags = Qt::Tool;
    if (c.Rec->Index != 0)
        g->setWindowFlags(flags);
    if (style == 1 || style == 3 || style == 4)
        g->setFixedSize(g->size());
    else {
        g->setMinimumSize(0, 0);
        g->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
    g->setProperty("poruStyle", style);
    if (visible)
        g->show();
}

// ---- the rest ---------------------------------------------------------------------------------------------

std::string GetUrl(TPropCall& c)
{
    return c.Text(c.Kind == okBrowser ? QStringToSjis(static_cast<TBrowser*>(c.W)->Location().toString())
                                      : std::string());
}

void SetUrl(TPropCall& c, const std::string& value)
{
    if (c.Kind != okBrowser)
        c.Undefined();
    static_cast<TBrowser*>(c.W)->Navigate(QUrl::fromUserInput(SjisToQString(Trim(value))));
}

std::string GetShortcut(TPropCall& c)
{
    return c.Text(c.Menu() ? QStringToSjis(ObjectAction(c.Rec)->shortcut().toString(QKeySequence::PortableText))
                           : std::string());
}

void SetShortcut(TPropCall& c, const std::string& value)
{
    if (!c.Menu())
        c.Undefined();
    ObjectAction(c.Rec)->setShortcut(QKeySequence::fromString(SjisToQString(Trim(value)), QKeySequence::PortableText));
}

void SetSort(TPropCall& c, const std::string& value)
{
    const bool on = IntOr(value, 0) != 0;
    if (c.Kind == okList)
        static_cast<QListWidget*>(c.W)->setSortingEnabled(on);
    else if (c.Kind == okCombo) {
        c.W->setProperty("poruSorted", on);   // SetComboItems sorts again
        if (on)
            static_cast<QComboBox*>(c.W)->model()->sort(0);
    } else if (c.Kind == okGrid)
        static_cast<TSortGrid*>(c.W)->Sortable = on;
    else
        c.Undefined();
    if (c.Kind == okList && on)
        static_cast<QListWidget*>(c.W)->sortItems();
}

void SetFileDrop(TPropCall& c, const std::string& value)
{
    SetDropTarget(c.St, c.Rec, Trim(value) != "0");
}

// ---- handlers ---------------------------------------------------------------------------------------------

int EventSlotOf(int code)
{
    switch (code) {
    case pOnClick:
        return esClick;
    case pOnDoubleClick:
        return esDoubleClick;
    case pOnMouseDown:
        return esMouseDown;
    case pOnMouseUp:
        return esMouseUp;
    case pOnKeyDown:
        return esKeyDown;
    case pOnKeyUp:
        return esKeyUp;
    case pOnChange:
        return esChange;
    case pOnMouseMove:
        return esMouseMove;
    default:
        return esFileDrop;
    }
}

// Handlers take the text as written.
void SetHandler(TPropCall& c, const std::string& raw)
{
    AssignHandler(c.St, c.Rec, EventSlotOf(c.Code), Trim(raw));
}

// Reading イベント runs the current handler.
std::string GetEvent(TPropCall& c)
{
    RunCurrentHandler(c.St, c.Rec);
    return c.Text(std::string());
}

// イベント sets the current handler and the kind's main event with it; an empty
// text or NULL clears the current one.
void SetEvent(TPropCall& c, const std::string& raw)
{
    const std::string v = Trim(raw);
    const std::string expanded = (!v.empty() && (v.front() == '"' || v.front() == '`')) ? c.St.ExpandLiteral(v) : v;
    if (v.empty() || expanded == "\\NULL-VALUE") {
        c.Rec->EventPos[esCurrent] = nullptr;
        c.Rec->EventCode[esCurrent].clear();
        return;
    }
    AssignHandler(c.St, c.Rec, esCurrent, v);
    if (c.Ops.DefaultEvent >= 0)
        c.Rec->EventPos[c.Ops.DefaultEvent] = c.Rec->EventPos[esCurrent];
}

// ---- the table
// ---------------------------------------------------------------------------------------------

// How setting treats the text given: handlers take it as written, the rest take its
// value; some keep that value in the object's word as well.
enum class TSetMode { Raw, ReadOnly, Value, KeptValue };

struct TPropEntry {
    const char* Name;   // UTF-8
    TGetter Get;        // nil: reading gives a warning and an empty text
    TSetter Set;
    TSetMode Mode;
};

constexpr TSetMode kRaw = TSetMode::Raw, kReadOnly = TSetMode::ReadOnly, kValue = TSetMode::Value,
                   kKept = TSetMode::KeptValue;

// In the order of TProp.
constexpr TPropEntry kProps[pPropCount] = {
    {"X", GetX, SetXY, kValue},
    {"Y", GetY, SetXY, kValue},
    {"幅", GetWidth, SetWidth, kValue},
    {"高さ", GetHeight, SetHeight, kValue},
    {"テキスト", GetText, SetText, kKept},
    {"アイテム", GetItems, SetItems, kValue},
    {"値", GetValue, SetValue, kKept},
    {"画像", GetPicture, SetPicture, kKept},
    {"拡大機能", GetStretch, SetStretchTransparent, kValue},
    {"最大値", GetMax, SetMaxMin, kKept},
    {"最小値", GetMin, SetMaxMin, kKept},
    {"タイトル", GetTitle, SetText, kKept},
    {"向き", GetOrientation, SetOrientation, kValue},
    {"ボタン機能", GetAnime, SetAnime, kValue},
    {"可視", GetVisible, SetVisible, kValue},
    {"イベント", GetEvent, SetEvent, kRaw},
    {"クリックした時", nullptr, SetHandler, kRaw},
    {"ダブルクリックした時", nullptr, SetHandler, kRaw},
    {"マウス押した時", nullptr, SetHandler, kRaw},
    {"マウス離した時", nullptr, SetHandler, kRaw},
    {"キー押した時", nullptr, SetHandler, kRaw},
    {"キー離した時", nullptr, SetHandler, kRaw},
    {"変更した時", nullptr, SetHandler, kRaw},
    {"編集", GetEditable, SetEditable, kKept},
    {"透過処理", GetTransparent, SetStretchTransparent, kKept},
    {"背景色", GetBackColour, SetBackColour, kValue},
    {"サイズ", GetSize, SetSize, kRaw},
    {"名前", GetName, nullptr, kReadOnly},
    {"スクロールバー", GetScrollBars, SetScrollBars, kValue},
    {"フォント書体", GetFontFace, SetFont, kValue},
    {"フォントサイズ", GetFontSize, SetFont, kValue},
    {"フォント色", GetFontColour, SetFont, kValue},
    {"ファイルドロップ", nullptr, SetFileDrop, kValue},
    {"リサイズ", GetResizable, SetStyle, kValue},
    {"ショートカットキー", GetShortcut, SetShortcut, kKept},
    {"IME", GetIme, SetIme, kKept},
    {"繰り返し回数", GetAnime, SetAnime, kValue},
    {"効果音", GetAnime, SetAnime, kValue},
    {"マウス動かした時", nullptr, SetHandler, kRaw},
    {"追加画像", GetPicture, SetAnime, kValue},
    {"選択文字列", GetSelText, SetSelText, kValue},
    {"ハンドル", GetHandle, nullptr, kReadOnly},
    {"有効", GetEnabled, SetEnabled, kValue},
    {"選択位置", GetSelRange, SetSelRange, kValue},
    {"選択文字数", GetSelRange, SetSelRange, kValue},
    {"URL", GetUrl, SetUrl, kValue},
    {"右側", GetRightSide, nullptr, kReadOnly},
    {"下側", GetBelow, nullptr, kReadOnly},
    {"ファイルドロップした時", nullptr, SetHandler, kRaw},
    {"スタイル", GetStyle, SetStyle, kValue},
    {"W", GetWidth, SetWidth, kValue},
    {"H", GetHeight, SetHeight, kValue},
    {"位置", GetPosition, SetPosition, kRaw},
    {"列", GetColumnRow, SetColumnRow, kValue},
    {"行", GetColumnRow, SetColumnRow, kValue},
    {"ソート", nullptr, SetSort, kValue},
};

// The reference is made from the object table; its codes and names are these.
constexpr const char* kTableNames[] = {
#define PORU_PROPERTY(code, name, tag, kinds, read, set) name,
#include "interp/object_table.inc"
#undef PORU_PROPERTY
};
static_assert(std::size(kTableNames) == pPropCount, "the object table has every property");
constexpr bool SameNames()
{
    for (int i = 0; i < pPropCount; ++i)
        if (std::string_view(kTableNames[i]) != std::string_view(kProps[i].Name))
            return false;
    return true;
}
static_assert(SameNames(), "the object table names the properties as the GUI does, in the order of their codes");

const std::vector<std::string>& FoldedNames()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> v;
        for (const TPropEntry& e : kProps)
            v.push_back(FoldOkurigana(Utf8ToSjis(e.Name)));
        return v;
    }();
    return names;
}

int PropCode(const std::string& folded)
{
    const auto& names = FoldedNames();
    for (int i = 0; i < pPropCount; ++i)
        if (names[i] == folded)
            return i;
    return -1;
}

// The code of a property name (folded); a name that is none is an undefined item.
int PropCodeOf(TPoruBase& st, THashNode* word, TObjNode* rec, const std::string& folded)
{
    const int code = PropCode(folded);
    if (code < 0)
        UndefinedItem(st, rec, word->Name, folded);
    return code;
}

TPropCall CallOf(TPoruBase& st, THashNode* word, TObjNode* rec, const std::string& folded, int code)
{
    const int kind = rec->ClassCode;
    return TPropCall{st,           word, rec,           word->Name,        folded,
                     code,         kind, KindOps(kind), ObjectWidget(rec), kind == okMenu ? nullptr : Geometry(st, rec),
                     std::string()};
}

}   // namespace

// ---- reading -------------------------------------------------------------------------------

std::string GetProperty(TPoruBase& st, THashNode* word, const std::string& propIn)
{
    TObjNode* rec = RecordOfWord(st, word);
    const std::string folded = FoldOkurigana(propIn);
    const int code = PropCodeOf(st, word, rec, folded);
    const TPropEntry& entry = kProps[code];
    if (!entry.Get) {
        st.ReportWarning("\"" + word->Name + "," + folded + J("\"は、未定義です。"));
        return std::string();
    }
    TPropCall c = CallOf(st, word, rec, folded, code);
    c.TagBefore = st.LastTypeTag;
    st.LastTypeTag = "e";
    return entry.Get(c);
}

// ---- setting ----------------------------------------------------------------------------------

void SetProperty(TPoruBase& st, THashNode* word, const std::string& propIn, const std::string& raw)
{
    if (word->Id < 0)
        st.Error(J("オブジェクト\"") + word->Name + J("\"は、作成されていません。"));
    if (st.Sys.So && word != st.Sys.So)
        st.Sys.So->CopyFrom(*word);
    TObjNode* rec = RecordOfWord(st, word);
    const std::string folded = FoldOkurigana(propIn);
    const int code = PropCodeOf(st, word, rec, folded);
    const TPropEntry& entry = kProps[code];
    TPropCall c = CallOf(st, word, rec, folded, code);
    if (entry.Mode == TSetMode::Raw) {
        entry.Set(c, raw);
        return;
    }
    if (entry.Mode == TSetMode::ReadOnly)
        st.Error("\"" + folded + J("\"は、読取専用です。"));
    const std::string value = st.EvaluateValue(Trim(raw));
    if (entry.Mode == TSetMode::KeptValue)
        word->Value = value;
    entry.Set(c, value);
}

// ---- commands ---------------------------------------------------------------------------------

namespace {

// `forSetting`: 設定 names a missing word as an object that was not created.
THashNode* ObjectWordOf(TPoruBase& st, std::string name, bool forSetting = false)
{
    name = Trim(name);
    if (!name.empty() && (name.front() == '"' || name.front() == '`'))
        name = st.ExpandLiteral(name);
    THashNode* w = st.Words.FindExact(name);
    if (w && w->Kind == wkVariable)
        if (THashNode* other = st.Words.FindExact(w->Value); other && other->Kind == wkObject)
            w = other;
    if (!w && forSetting)
        st.Error(J("オブジェクト\"") + name + J("\"は、作成されていません。"));
    if (!w)
        st.Error(J("単語\"") + name + J("\"は、定義されていません。"));
    if (w->Kind != wkObject)
        st.Error("\"" + name + J("\"は、オブジェクトではありません。"));
    return w;
}

// 設定: object の, property を, value に.
void cmdSet(TPoruBase& st)
{
    const std::string value = st.PopRaw();
    const std::string prop = Trim(st.PopText());
    const std::string obj = st.PopRaw();
    SetProperty(st, ObjectWordOf(st, obj, true), prop, value);
}

// 得る: object の, property を, variable に.
void cmdGet(TPoruBase& st)
{
    const std::string var = Trim(st.PopRaw());
    const std::string prop = Trim(st.PopText());
    const std::string obj = st.PopRaw();
    THashNode* target = st.Words.FindExact(var);
    if (target && target->Reserved)
        st.Error("\"" + var + J("\"は、読取専用です。"));
    std::string v = GetProperty(st, ObjectWordOf(st, obj), prop);
    if (!target) {
        target = THashNode::CreateVariable(var, std::string(), static_cast<int32_t>(st.RunControl.Count()), false);
        st.Words.Add(target);
    }
    target->Value = std::move(v);
    target->TypeText = st.LastTypeTag;
}

HandlerRegistrar reg({{Cmd::SetProperty, cmdSet}, {Cmd::GetProperty, cmdGet}});

}   // namespace
