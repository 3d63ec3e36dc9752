// Object properties: the 56 property names, reading (GetProperty) and setting
// (SetProperty) them for every kind, and the commands 設定 and 得る.
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

#include <cmath>

#include "commands/registry.h"
#include "core/codec.h"
#include "core/hash.h"
#include "core/text.h"
#include "gui/anime_box.h"
#include "gui/controls.h"
#include "gui/main_window.h"
#include "gui/objects_internal.h"
#include "gui/text_font.h"
#include "gui/text_layout.h"
#include "interp/interp.h"

namespace {

enum TProp {
    pX, pY, pWidth, pHeight, pText, pItems, pValue, pPicture, pStretch, pMax, pMin, pTitle, pOrientation,
    pButtonMode, pVisible, pEvent, pOnClick, pOnDoubleClick, pOnMouseDown, pOnMouseUp, pOnKeyDown, pOnKeyUp,
    pOnChange, pEditable, pTransparent, pBackColour, pSize, pName, pScrollBars, pFontFace, pFontSize,
    pFontColour, pFileDrop, pResizable, pShortcut, pIme, pRepeat, pSound, pOnMouseMove, pMorePictures,
    pSelText, pHandle, pEnabled, pSelStart, pSelLength, pUrl, pRightSide, pBelow, pOnFileDrop, pStyle, pW, pH,
    pPosition, pColumn, pRow, pSort, pPropCount
};

const char* const kPropNames[pPropCount] = {
    "X", "Y", "幅", "高さ", "テキスト", "アイテム", "値", "画像", "拡大機能", "最大値", "最小値", "タイトル", "向き",
    "ボタン機能", "可視", "イベント", "クリックした時", "ダブルクリックした時", "マウス押した時", "マウス離した時",
    "キー押した時", "キー離した時", "変更した時", "編集", "透過処理", "背景色", "サイズ", "名前", "スクロールバー",
    "フォント書体", "フォントサイズ", "フォント色", "ファイルドロップ", "リサイズ", "ショートカットキー", "IME",
    "繰り返し回数", "効果音", "マウス動かした時", "追加画像", "選択文字列", "ハンドル", "有効", "選択位置",
    "選択文字数", "URL", "右側", "下側", "ファイルドロップした時", "スタイル", "W", "H", "位置", "列", "行", "ソート",
};

const std::vector<std::string>& FoldedNames()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> v;
        for (const char* n : kPropNames)
            v.push_back(FoldOkurigana(Utf8ToSjis(n)));
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

int EventSlotOf(int code)
{
    switch (code) {
    case pOnClick: return esClick;
    case pOnDoubleClick: return esDoubleClick;
    case pOnMouseDown: return esMouseDown;
    case pOnMouseUp: return esMouseUp;
    case pOnKeyDown: return esKeyDown;
    case pOnKeyUp: return esKeyUp;
    case pOnChange: return esChange;
    case pOnMouseMove: return esMouseMove;
    case pOnFileDrop: return esFileDrop;
    default: return -1;
    }
}

QString Q(const std::string& sjis)
{
    return QString::fromStdString(SjisToUtf8(sjis));
}

std::string S(const QString& s)
{
    return Utf8ToSjis(s.toStdString());
}

std::string Num(long long v)
{
    return std::to_string(v);
}

std::string Lines(const QStringList& items)
{
    std::string out;
    for (const QString& i : items) {
        out += S(i);
        out += "\r\n";
    }
    return out;
}

QStringList SplitLines(const std::string& sjis)
{
    QString t = Q(sjis);
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList lines = t.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines;
}

// Lenient number reading: thousands commas ignored, "$" for hexadecimal, truncated.
long long Numeric(const std::string& text)
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

[[noreturn]] void UndefinedItem(TPoruBase& st, TObjNode* rec, const std::string& name, const std::string& folded)
{
    st.Error(J("オブジェクト\"") + name + "\"(\"" + KindName(rec->ClassCode) + J("\")の設定項目\"") + folded +
             J("\"は未定義です。"));
}

[[noreturn]] void NotDefined(TPoruBase& st, const std::string& name)
{
    st.Error(J("オブジェクト\"") + name + J("\"の設定は、未定義です。"));
}

[[noreturn]] void ReadOnly(TPoruBase& st, const std::string& prop)
{
    st.Error("\"" + prop + J("\"は、読取専用です。"));
}

bool HasFont(int kind)
{
    switch (kind) {
    case okButton: case okEdit: case okCombo: case okList: case okMemo: case okGrid: case okLabel: case okCheck:
        return true;
    default: return false;
    }
}

bool HasSelection(int kind)
{
    return kind == okEdit || kind == okMemo || kind == okCombo || kind == okTEditor;
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
        m->resize(m->width() - m->Surface()->width() + std::max(w, 0), m->height() - m->Surface()->height() + std::max(h, 0));
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

// Selection start and length in characters.
void SelectionOf(TObjNode* rec, int& start, int& length, QString& text)
{
    QWidget* w = ObjectWidget(rec);
    start = length = 0;
    if (rec->ClassCode == okEdit || rec->ClassCode == okCombo) {
        QLineEdit* e = rec->ClassCode == okEdit ? static_cast<QLineEdit*>(w) : static_cast<QComboBox*>(w)->lineEdit();
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
    QWidget* w = ObjectWidget(rec);
    if (rec->ClassCode == okEdit || rec->ClassCode == okCombo) {
        QLineEdit* e = rec->ClassCode == okEdit ? static_cast<QLineEdit*>(w) : static_cast<QComboBox*>(w)->lineEdit();
        if (e)
            e->setSelection(start, length);
        return;
    }
    QTextCursor c = Memo(rec)->textCursor();
    const int end = Memo(rec)->document()->characterCount() - 1;
    c.setPosition(std::clamp(start, 0, end));
    c.setPosition(std::clamp(start + length, 0, end), QTextCursor::KeepAnchor);
    Memo(rec)->setTextCursor(c);
}

std::string Pair(int a, int b)
{
    return "(" + Num(a) + "," + Num(b) + ")";
}

}   // namespace

// ---- reading -------------------------------------------------------------------------------

std::string GetProperty(TPoruBase& st, THashNode* word, const std::string& propIn)
{
    const std::string name = word->Name;
    TObjNode* rec = RecordOfWord(st, word);
    const std::string folded = FoldOkurigana(propIn);
    const int code = PropCode(folded);
    if (code < 0)
        UndefinedItem(st, rec, name, folded);
    if ((code >= pOnClick && code <= pOnChange) || code == pFileDrop || code == pOnMouseMove ||
        code == pOnFileDrop || code == pSort) {
        st.ReportWarning("\"" + name + "," + folded + J("\"は、未定義です。"));
        return std::string();
    }
    const int kind = rec->ClassCode;
    QWidget* w = ObjectWidget(rec);
    QWidget* g = rec->ClassCode == okMenu ? nullptr : Geometry(st, rec);
    const std::string tagBefore = st.LastTypeTag;   // for the properties that leave it
    st.LastTypeTag = "e";
    auto text = [&](std::string v) {
        st.LastTypeTag = "s";
        return v;
    };
    switch (code) {
    case pX: case pY: case pWidth: case pHeight: case pW: case pH: case pPosition: case pSize:
    case pRightSide: case pBelow: {
        if (!g)
            UndefinedItem(st, rec, name, folded);
        const QPoint pos = rec->Index == 0 ? g->pos() : g->pos();
        const QSize size = SizeOf(st, rec);
        const int gap = GapOf(st);
        switch (code) {
        case pX: return Num(pos.x());
        case pY: return Num(pos.y());
        case pWidth: case pW: return Num(size.width());
        case pHeight: case pH: return Num(size.height());
        case pPosition: return text(Pair(pos.x(), pos.y()));
        case pSize:
            return text("(" + Num(pos.x()) + "," + Num(pos.y()) + "," + Num(pos.x() + size.width()) + "," +
                        Num(pos.y() + size.height()) + ")");
        case pRightSide: return text(Pair(pos.x() + size.width() + gap, pos.y()));
        default: return text(Pair(pos.x(), pos.y() + size.height() + gap));
        }
    }
    case pText:
        switch (kind) {
        case okButton: case okEdit: case okCombo: case okMemo: case okLabel: case okCheck: case okPanel:
        case okForm: case okMenu: case okTEditor:
            return text(WidgetText(rec));
        case okGrid: return text(static_cast<TSortGrid*>(w)->CsvText(false));
        case okList: {
            QListWidgetItem* it = static_cast<QListWidget*>(w)->currentItem();
            return text(it ? S(it->text()) : std::string());
        }
        case okRadio: {
            auto* r = static_cast<TRadioGroup*>(w);
            const int i = r->Selected();
            return text(i >= 0 ? S(r->Items().value(i)) : std::string());
        }
        case okBrowser: return text(S(static_cast<TBrowser*>(w)->Location().toString()));
        case okTabPage: {
            auto* t = static_cast<QTabWidget*>(w);
            QStringList pages;
            for (int i = 0; i < t->count(); ++i)
                pages << t->tabText(i);
            return text(Lines(pages));
        }
        default: return text(word->Value);
        }
    case pTitle: return text(kind == okForm ? WidgetText(rec) : word->Value);
    case pItems:
        switch (kind) {
        case okCombo: {
            auto* c = static_cast<QComboBox*>(w);
            QStringList items;
            for (int i = 0; i < c->count(); ++i)
                items << c->itemText(i);
            return text(Lines(items));
        }
        case okList: {
            auto* l = static_cast<QListWidget*>(w);
            QStringList items;
            for (int i = 0; i < l->count(); ++i)
                items << l->item(i)->text();
            return text(Lines(items));
        }
        case okRadio: return text(Lines(static_cast<TRadioGroup*>(w)->Items()));
        case okGrid: return text(static_cast<TSortGrid*>(w)->CsvText(true));
        case okForm: case okPanel: case okScroll: case okTabPage: {
            QWidget* container = w;
            if (rec->Index == 0)
                container = HostWindowOf(st)->Surface();
            else if (kind == okForm)
                container = static_cast<TFormWindow*>(w)->Background()->parentWidget();
            else if (kind == okScroll)
                container = static_cast<QScrollArea*>(w)->widget();
            else if (kind == okTabPage)
                container = static_cast<QTabWidget*>(w)->currentWidget();
            std::string out;
            if (container)
                for (QObject* c : container->children()) {
                    auto* cw = qobject_cast<QWidget*>(c);
                    const int id = cw ? cw->property("poruId").toInt() : 0;
                    if (cw && id > 0)
                        if (TObjNode* child = FindObjectById(st, id); child && child->Control == cw)
                            out += child->Name + "\r\n";
                }
            return text(out);
        }
        default: return text(std::string());
        }
    case pValue:
        switch (kind) {
        case okBar: return Num(static_cast<QScrollBar*>(w)->value());
        case okCombo: return Num(static_cast<QComboBox*>(w)->currentIndex());
        case okList: return Num(static_cast<QListWidget*>(w)->currentRow());
        case okRadio: return Num(static_cast<TRadioGroup*>(w)->Selected());
        case okGrid: return Num(static_cast<TSortGrid*>(w)->currentRow());
        case okCheck: return static_cast<QCheckBox*>(w)->isChecked() ? "1" : "0";
        case okMenu: return ObjectAction(rec)->isChecked() ? "1" : "0";
        case okTabPage: return Num(static_cast<QTabWidget*>(w)->currentIndex());
        case okAnime: return AnimeProperty(st, rec, TAnimeProp::Interval);
        default: return "0";
        }
    case pSelText: {
        if (kind == okList) {
            QListWidgetItem* it = static_cast<QListWidget*>(w)->currentItem();
            return text(it ? S(it->text()) : std::string());
        }
        if (!HasSelection(kind))
            return text(std::string());
        int start, length;
        QString sel;
        SelectionOf(rec, start, length, sel);
        return text(S(sel));
    }
    case pSelStart: case pSelLength: {
        if (!HasSelection(kind))
            return "0";
        int start, length;
        QString sel;
        SelectionOf(rec, start, length, sel);
        return Num(code == pSelStart ? start : length);
    }
    case pColumn: case pRow: {
        if (kind == okGrid) {
            auto* gr = static_cast<TSortGrid*>(w);
            return Num(code == pColumn ? gr->currentColumn() : gr->currentRow());
        }
        if (kind == okMemo || kind == okTEditor) {
            QTextCursor c = Memo(rec)->textCursor();
            return Num(code == pColumn ? c.positionInBlock() : c.blockNumber());
        }
        UndefinedItem(st, rec, name, folded);
    }
    case pName: return text(rec->Name);
    case pUrl: return text(kind == okBrowser ? S(static_cast<TBrowser*>(w)->Location().toString()) : std::string());
    case pHandle: return g ? Num(static_cast<long long>(g->internalWinId())) : "0";
    case pPicture: case pMorePictures: return text(word->Value);
    case pStretch:
        if (kind == okImage || kind == okAnime)
            return static_cast<TCanvasBox*>(w)->Stretch ? "1" : "0";
        if (kind == okForm)
            return static_cast<TFormWindow*>(w)->Background()->Stretch ? "1" : "0";
        return text(std::string());
    case pTransparent:
        if (kind == okImage || kind == okAnime)
            return static_cast<TCanvasBox*>(w)->Transparent ? "1" : "0";
        if (kind == okForm)
            return static_cast<TFormWindow*>(w)->Background()->Transparent ? "1" : "0";
        if (kind == okLabel)
            return w->testAttribute(Qt::WA_TranslucentBackground) ? "1" : "0";
        return "0";
    case pBackColour:
        switch (kind) {
        case okEdit: case okCombo: case okList: case okMemo: case okGrid: case okLabel: case okCheck: case okPanel:
        case okTEditor: case okAnime:
            return Num(ValueFromColour(w->palette().color(w->backgroundRole())));
        case okForm:
            if (rec->Index == 0)
                return Num(ValueFromColour(HostWindowOf(st)->Surface()->WindowColour()));
            return Num(ValueFromColour(static_cast<TFormWindow*>(w)->Background()->Fill));
        default: return "0";
        }
    case pFontFace: return text(HasFont(kind) ? S(w->font().family()) : std::string());
    case pFontSize: return HasFont(kind) ? Num(w->font().pointSize()) : "0";
    case pFontColour: return HasFont(kind) ? Num(ValueFromColour(w->palette().color(w->foregroundRole()))) : "0";
    case pVisible:
        if (kind == okMenu)
            return ObjectAction(rec)->isVisible() ? "1" : "0";
        return g->isVisible() ? "1" : "0";
    case pEnabled:
        if (kind == okMenu)
            return ObjectAction(rec)->isEnabled() ? "1" : "0";
        return g->isEnabled() ? "1" : "0";
    case pEditable:
        switch (kind) {
        case okEdit: return static_cast<QLineEdit*>(w)->isReadOnly() ? "0" : "1";
        case okMemo: return Memo(rec)->isReadOnly() ? "0" : "1";
        case okCombo: return static_cast<QComboBox*>(w)->isEditable() ? "1" : "0";
        case okGrid:
            return static_cast<TSortGrid*>(w)->editTriggers() == QAbstractItemView::NoEditTriggers ? "0" : "1";
        default: UndefinedItem(st, rec, name, folded);
        }
    case pScrollBars: {
        if (kind != okMemo)
            UndefinedItem(st, rec, name, folded);
        const bool v = Memo(rec)->verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff;
        const bool h = Memo(rec)->horizontalScrollBarPolicy() != Qt::ScrollBarAlwaysOff;
        return text(v && h ? J("両方") : v ? J("縦") : h ? J("横") : std::string());
    }
    case pOrientation:
        if (kind != okBar)
            UndefinedItem(st, rec, name, folded);
        return text(static_cast<QScrollBar*>(w)->orientation() == Qt::Vertical ? J("縦") : J("横"));
    case pMax: return kind == okBar ? Num(static_cast<QScrollBar*>(w)->maximum()) : "0";
    case pMin: return kind == okBar ? Num(static_cast<QScrollBar*>(w)->minimum()) : "0";
    case pResizable:
        if (kind != okForm)
            return "0";
        return g->minimumSize() == g->maximumSize() ? "0" : "1";
    case pStyle: return kind == okForm ? Num(g->property("poruStyle").isValid() ? g->property("poruStyle").toInt() : 2) : "0";
    case pShortcut:
        return text(kind == okMenu ? S(ObjectAction(rec)->shortcut().toString(QKeySequence::PortableText)) : std::string());
    case pIme: return HasSelection(kind) ? Num(IntOr(word->Value, 0)) : "0";
    case pButtonMode: case pRepeat: case pSound:
        if (kind != okAnime) {
            if (code == pButtonMode)
                UndefinedItem(st, rec, name, folded);
            return code == pSound ? text(std::string()) : "0";
        }
        if (code == pButtonMode)
            st.LastTypeTag = tagBefore;
        return AnimeProperty(st, rec, code == pButtonMode ? TAnimeProp::ButtonMode
                                      : code == pRepeat   ? TAnimeProp::Repeat
                                                          : TAnimeProp::Sound);
    case pEvent:
        RunCurrentHandler(st, rec);
        return text(std::string());
    default:
        UndefinedItem(st, rec, name, folded);
    }
}

// ---- setting ----------------------------------------------------------------------------------

void SetProperty(TPoruBase& st, THashNode* word, const std::string& propIn, const std::string& raw)
{
    const std::string name = word->Name;
    if (word->Id < 0)
        st.Error(J("オブジェクト\"") + name + J("\"は、作成されていません。"));
    if (st.Sys.So && word != st.Sys.So)
        st.Sys.So->CopyFrom(*word);
    TObjNode* rec = RecordOfWord(st, word);
    const std::string folded = FoldOkurigana(propIn);
    const int code = PropCode(folded);
    if (code < 0)
        UndefinedItem(st, rec, name, folded);
    const int kind = rec->ClassCode;
    QWidget* w = ObjectWidget(rec);
    QWidget* g = kind == okMenu ? nullptr : Geometry(st, rec);

    // Event handlers take the text as written.
    if (const int slot = EventSlotOf(code); slot >= 0) {
        AssignHandler(st, rec, slot, Trim(raw));
        return;
    }
    if (code == pEvent) {
        const std::string v = Trim(raw);
        const std::string expanded = (!v.empty() && (v.front() == '"' || v.front() == '`')) ? st.ExpandLiteral(v) : v;
        if (v.empty() || expanded == "\\NULL-VALUE") {
            rec->EventPos[esCurrent] = nullptr;
            rec->EventCode[esCurrent].clear();
            return;
        }
        AssignHandler(st, rec, esCurrent, v);
        int main = -1;
        switch (kind) {
        case okButton: case okCombo: case okList: case okLabel: case okCheck: case okAnime: case okMenu:
        case okBrowser: case okPanel: main = esClick; break;
        case okImage: case okForm: main = esMouseDown; break;
        case okEdit: case okBar: case okTrack: case okTEditor: case okTabPage: main = esChange; break;
        default: break;
        }
        if (main >= 0)
            rec->EventPos[main] = rec->EventPos[esCurrent];
        return;
    }
    if (code == pName || code == pHandle || code == pRightSide || code == pBelow)
        ReadOnly(st, folded);

    const std::string value = st.EvaluateValue(Trim(raw));
    switch (code) {
    case pText: case pTitle: case pValue: case pPicture: case pMax: case pMin: case pEditable: case pTransparent:
    case pIme: case pShortcut:
        word->Value = value;
        break;
    default: break;
    }
    const bool menu = kind == okMenu;
    switch (code) {
    case pX: case pY: {
        if (menu)
            NotDefined(st, name);
        const int v = static_cast<int>(Numeric(value));
        g->move(code == pX ? v : g->x(), code == pY ? v : g->y());
        return;
    }
    case pWidth: case pW: {
        if (menu)
            NotDefined(st, name);
        Resize(st, rec, static_cast<int>(Numeric(value)), SizeOf(st, rec).height());
        CentreIfAsked(st, rec);
        return;
    }
    case pHeight: case pH: {
        if (menu)
            NotDefined(st, name);
        const int h = static_cast<int>(Numeric(value));
        Resize(st, rec, SizeOf(st, rec).width(), h);
        if (kind != okForm) {
            st.LayoutX = g->x();
            st.LayoutY = g->y() + h + GapOf(st);
        }
        return;
    }
    case pPosition: {
        if (menu)
            NotDefined(st, name);
        int32_t x = 0, y = 0;
        if (!ReadPair(st, value, x, y))
            st.Error(J("座標の指定エラー"));
        g->move(x, y);
        return;
    }
    case pSize: {
        if (menu)
            NotDefined(st, name);
        std::vector<long double> v;
        ReadNumbers(st, value, v);
        if (v.size() > 4) {
            std::string list;
            for (long double n : v)
                list += NumberToText(n) + "\r\n";
            st.Error(J("座標の指定エラー。引数が多すぎます。\"") + list + "\"");
        }
        v.resize(4, 0);
        const int x1 = static_cast<int>(std::trunc(v[0])), y1 = static_cast<int>(std::trunc(v[1]));
        const int x2 = static_cast<int>(std::trunc(v[2])), y2 = static_cast<int>(std::trunc(v[3]));
        g->move(x1, y1);
        Resize(st, rec, x2 - x1, y2 - y1);
        if (kind == okForm) {
            if (rec->Index != 0)
                static_cast<TFormWindow*>(w)->Background()->resize(g->size());
            return;
        }
        CentreIfAsked(st, rec);
        st.LayoutX = x1;
        st.LayoutY = y2 + GapOf(st);
        return;
    }
    case pText: case pTitle:
        switch (kind) {
        case okButton: {
            auto* b = static_cast<QPushButton*>(w);
            b->setText(Q(value));
            const int need = b->fontMetrics().horizontalAdvance(b->text()) + 10;
            if (b->width() < need)
                b->resize(need, b->height());
            return;
        }
        case okEdit: case okCombo: case okMemo: case okLabel: case okCheck: case okPanel: case okForm: case okMenu:
        case okTEditor:
            SetWidgetText(st, rec, value);
            return;
        case okList: {
            if (QListWidgetItem* it = static_cast<QListWidget*>(w)->currentItem())
                it->setText(Q(value));
            return;
        }
        case okRadio: {
            auto* r = static_cast<TRadioGroup*>(w);
            if (QAbstractButton* b = r->Group()->button(r->Selected()))
                b->setText(Q(value));
            return;
        }
        case okGrid: static_cast<TSortGrid*>(w)->LoadCsv(value); return;
        case okTabPage: {
            auto* t = static_cast<QTabWidget*>(w);
            const QStringList lines = SplitLines(value);
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
            return;
        }
        default: NotDefined(st, name);
        }
    case pItems:
        switch (kind) {
        case okCombo: {
            auto* c = static_cast<QComboBox*>(w);
            const QString keep = c->currentText();
            c->clear();
            c->addItems(SplitLines(value));
            c->setEditText(keep);
            return;
        }
        case okList: {
            auto* l = static_cast<QListWidget*>(w);
            l->clear();
            l->addItems(SplitLines(value));
            return;
        }
        case okRadio: static_cast<TRadioGroup*>(w)->SetItems(SplitLines(value)); return;
        case okGrid: static_cast<TSortGrid*>(w)->LoadCsv(value); return;
        case okForm: case okPanel: case okScroll: case okTabPage: {
            for (const QString& line : SplitLines(value)) {
                const std::string childName = Trim(S(line));
                if (childName.empty())
                    continue;
                THashNode* cw = st.Words.FindExact(childName);
                if (!cw || cw->Kind != wkObject)
                    st.Error("\"" + childName + J("\"は、オブジェクトではありません。"));
                TObjNode* child = RecordOfWord(st, cw);
                QWidget* c = ObjectWidget(child);
                QWidget* container = nullptr;
                if (rec->Index == 0) container = HostWindowOf(st)->Surface();
                else if (kind == okForm) container = static_cast<TFormWindow*>(w);
                else if (kind == okScroll) container = static_cast<QScrollArea*>(w)->widget();
                else if (kind == okTabPage) container = static_cast<QTabWidget*>(w)->currentWidget();
                else container = w;
                if (c && container) {
                    c->setParent(container);
                    c->show();
                    if (kind == okScroll) {
                        QWidget* inner = container;
                        inner->resize(std::max(inner->width(), c->x() + c->width()),
                                      std::max(inner->height(), c->y() + c->height()));
                    }
                }
            }
            return;
        }
        default: UndefinedItem(st, rec, name, folded);
        }
    case pValue: {
        switch (kind) {
        case okBar: {
            auto* b = static_cast<QScrollBar*>(w);
            const int v = IntOr(value, -1);
            if (v >= 0)
                b->setValue(std::clamp(v, b->minimum(), b->maximum()));
            return;
        }
        case okCombo: case okList: case okRadio: {
            const int v = IntOr(value, -1);
            if (kind == okCombo) {
                auto* c = static_cast<QComboBox*>(w);
                if (v >= 0 && v < c->count())
                    c->setCurrentIndex(v);
            } else if (kind == okList) {
                auto* l = static_cast<QListWidget*>(w);
                if (v >= 0 && v < l->count())
                    l->setCurrentRow(v);
            } else {
                auto* r = static_cast<TRadioGroup*>(w);
                if (v >= 0 && v < r->Items().size())
                    r->Select(v);
            }
            return;
        }
        case okGrid: {
            auto* gr = static_cast<TSortGrid*>(w);
            const int v = IntOr(value, -1);
            if (v >= 0 && v < gr->rowCount())
                gr->setCurrentCell(v == 0 ? 1 : v, std::max(gr->currentColumn(), 0));
            return;
        }
        case okCheck: static_cast<QCheckBox*>(w)->setChecked(IntOr(value, 0) != 0); return;
        case okMenu: {
            QAction* a = ObjectAction(rec);
            a->setCheckable(true);
            a->setChecked(IntOr(value, 0) != 0);
            return;
        }
        case okTabPage: static_cast<QTabWidget*>(w)->setCurrentIndex(IntOr(value, 0)); return;
        case okAnime: SetAnimeProperty(st, rec, TAnimeProp::Interval, value); return;
        default: NotDefined(st, name);
        }
    }
    case pSelText: {
        if (kind == okList) {
            if (QListWidgetItem* it = static_cast<QListWidget*>(w)->currentItem())
                it->setText(Q(value));
            return;
        }
        if (!HasSelection(kind))
            UndefinedItem(st, rec, name, folded);
        if (kind == okEdit || kind == okCombo) {
            QLineEdit* e = kind == okEdit ? static_cast<QLineEdit*>(w) : static_cast<QComboBox*>(w)->lineEdit();
            if (e)
                e->insert(Q(value));
        } else {
            Memo(rec)->textCursor().insertText(MemoText(value));
        }
        return;
    }
    case pSelStart: case pSelLength: {
        if (!HasSelection(kind))
            UndefinedItem(st, rec, name, folded);
        int start, length;
        QString sel;
        SelectionOf(rec, start, length, sel);
        const int v = static_cast<int>(Numeric(value));
        if (code == pSelStart)
            SetSelection(rec, v, 0);
        else
            SetSelection(rec, start, v);
        return;
    }
    case pColumn: case pRow: {
        const int v = IntOr(value, 0);
        if (kind == okGrid) {
            auto* gr = static_cast<TSortGrid*>(w);
            if (code == pColumn)
                gr->setCurrentCell(std::max(gr->currentRow(), 0), v);
            else
                gr->setCurrentCell(v, std::max(gr->currentColumn(), 0));
            return;
        }
        if (kind == okMemo || kind == okTEditor) {
            QTextCursor c = Memo(rec)->textCursor();
            if (code == pColumn) {
                c.movePosition(QTextCursor::NextCharacter, QTextCursor::MoveAnchor, std::max(v, 0));
            } else {
                QTextBlock b = Memo(rec)->document()->findBlockByNumber(std::max(v, 0));
                if (b.isValid())
                    c.setPosition(b.position());
            }
            Memo(rec)->setTextCursor(c);
            Memo(rec)->ensureCursorVisible();
            return;
        }
        UndefinedItem(st, rec, name, folded);
    }
    case pUrl:
        if (kind != okBrowser)
            UndefinedItem(st, rec, name, folded);
        static_cast<TBrowser*>(w)->Navigate(QUrl::fromUserInput(Q(Trim(value))));
        return;
    case pPicture:
        if (kind == okAnime) {
            SetAnimeProperty(st, rec, TAnimeProp::Pictures, value);
            return;
        }
        if (kind != okImage && kind != okForm && kind != okButton && kind != okMenu)
            NotDefined(st, name);
        LoadPictureInto(st, rec, value);
        return;
    case pStretch: case pTransparent: {
        const bool on = (code == pStretch ? IntOr(value, 0) : Numeric(value)) > 0;
        TCanvasBox* box = nullptr;
        if (kind == okImage || kind == okAnime)
            box = static_cast<TCanvasBox*>(w);
        else if (kind == okForm && rec->Index != 0)
            box = static_cast<TFormWindow*>(w)->Background();
        else if (kind == okLabel && code == pTransparent) {
            w->setAttribute(Qt::WA_TranslucentBackground, on);
            w->setAutoFillBackground(!on);
            return;
        }
        if (!box)
            UndefinedItem(st, rec, name, folded);
        (code == pStretch ? box->Stretch : box->Transparent) = on;
        box->update();
        return;
    }
    case pBackColour: {
        const QColor c = ColourFromValue(ParseColourText(value, -1));
        switch (kind) {
        case okAnime: static_cast<TAnimeBox*>(w)->SetColour(c); return;
        case okEdit: case okCombo: case okList: case okMemo: case okGrid: case okLabel: case okCheck: case okPanel:
        case okTEditor: case okRadio: {
            QPalette pal = w->palette();
            pal.setColor(w->backgroundRole(), c);
            pal.setColor(QPalette::Base, c);
            w->setPalette(pal);
            w->setAutoFillBackground(true);
            return;
        }
        case okForm:
            if (rec->Index == 0) {
                TMainWindow* m = HostWindowOf(st);
                m->Surface()->SetWindowColour(c);
                m->Surface()->Picture().fill(c);
                m->Surface()->update();
            } else {
                TCanvasBox* bg = static_cast<TFormWindow*>(w)->Background();
                bg->Fill = c;
                bg->SetPicture(QImage());
                bg->FitPicture(w->width(), w->height());
                bg->Picture().fill(c);
            }
            return;
        default: UndefinedItem(st, rec, name, folded);
        }
    }
    case pFontFace: case pFontSize: case pFontColour: {
        if (!HasFont(kind))
            UndefinedItem(st, rec, name, folded);
        if (code == pFontFace) {
            const TFontDesc desc = ParseFontText(Q(value), InstalledFaces());
            w->setFont(FontFromDesc(desc, IntOr(SystemWordValue(st, "文字サイズ"), 12)));
        } else if (code == pFontSize) {
            QFont f = w->font();
            f.setPointSize(std::max(1, IntOr(value, 9)));
            w->setFont(f);
        } else {
            QPalette pal = w->palette();
            const QColor c = ColourFromValue(ParseColourText(value, 0));
            pal.setColor(w->foregroundRole(), c);
            pal.setColor(QPalette::Text, c);
            pal.setColor(QPalette::ButtonText, c);
            w->setPalette(pal);
        }
        if (kind == okLabel)
            static_cast<QLabel*>(w)->adjustSize();
        return;
    }
    case pVisible: {
        const bool on = IntOr(value, 0) != 0;
        if (menu)
            ObjectAction(rec)->setVisible(on);
        else
            g->setVisible(on);
        return;
    }
    case pEnabled: {
        const bool on = IntOr(value, 0) != 0;
        if (menu)
            ObjectAction(rec)->setEnabled(on);
        else
            g->setEnabled(on);
        return;
    }
    case pEditable: {
        const long long v = Numeric(value);
        switch (kind) {
        case okEdit: static_cast<QLineEdit*>(w)->setReadOnly(v == 0); return;
        case okMemo: Memo(rec)->setReadOnly(v == 0); return;
        case okCombo: static_cast<QComboBox*>(w)->setEditable(v != 0); return;
        case okGrid: {
            auto* gr = static_cast<TSortGrid*>(w);
            if (v < 1) {
                gr->setEditTriggers(QAbstractItemView::NoEditTriggers);
                gr->setSelectionBehavior(QAbstractItemView::SelectRows);
            } else {
                gr->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                    QAbstractItemView::AnyKeyPressed);
                gr->setSelectionBehavior(QAbstractItemView::SelectItems);
            }
            gr->viewport()->update();
            return;
        }
        default: UndefinedItem(st, rec, name, folded);
        }
    }
    case pScrollBars: {
        if (kind != okMemo)
            UndefinedItem(st, rec, name, folded);
        const std::string v = Trim(value);
        const bool vert = v == J("縦") || v == J("両方");
        const bool horz = v == J("横") || v == J("両方");
        Memo(rec)->setVerticalScrollBarPolicy(vert ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
        Memo(rec)->setHorizontalScrollBarPolicy(horz ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
        Memo(rec)->setLineWrapMode(horz ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
        return;
    }
    case pOrientation: {
        if (kind != okBar)
            UndefinedItem(st, rec, name, folded);
        auto* b = static_cast<QScrollBar*>(w);
        const bool vertical = Trim(value) == J("縦");
        if ((b->orientation() == Qt::Vertical) != vertical) {
            b->setOrientation(vertical ? Qt::Vertical : Qt::Horizontal);
            b->resize(b->height(), b->width());
        }
        return;
    }
    case pMax: case pMin: {
        if (kind != okBar)
            UndefinedItem(st, rec, name, folded);
        auto* b = static_cast<QScrollBar*>(w);
        if (code == pMax)
            b->setMaximum(IntOr(value, 0));
        else
            b->setMinimum(IntOr(value, 0));
        return;
    }
    case pResizable: case pStyle: {
        if (kind != okForm)
            UndefinedItem(st, rec, name, folded);
        const bool visible = g->isVisible();
        int style = static_cast<int>(Numeric(value));
        if (code == pResizable)
            style = style >= 1 ? 2 : 1;
        Qt::WindowFlags flags = Qt::Window;
        if (style == 0) flags |= Qt::FramelessWindowHint;
        else if (style == 3) flags = Qt::Dialog;
        else if (style == 4 || style == 5) flags = Qt::Tool;
        if (rec->Index != 0)
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
        return;
    }
    case pShortcut:
        if (!menu)
            UndefinedItem(st, rec, name, folded);
        ObjectAction(rec)->setShortcut(QKeySequence::fromString(Q(Trim(value)), QKeySequence::PortableText));
        return;
    case pIme:
        if (!HasSelection(kind))
            UndefinedItem(st, rec, name, folded);
        // Linux input methods have no per-widget mode; the number is kept in the word.
        return;
    case pSort: {
        const bool on = IntOr(value, 0) != 0;
        if (kind == okList)
            static_cast<QListWidget*>(w)->setSortingEnabled(on);
        else if (kind == okCombo) {
            if (on)
                static_cast<QComboBox*>(w)->model()->sort(0);
        } else if (kind == okGrid)
            static_cast<TSortGrid*>(w)->Sortable = on;
        else
            UndefinedItem(st, rec, name, folded);
        if (kind == okList && on)
            static_cast<QListWidget*>(w)->sortItems();
        return;
    }
    case pFileDrop:
        SetDropTarget(st, rec, Trim(value) != "0");
        return;
    case pMorePictures: case pButtonMode: case pRepeat: case pSound:
        if (kind != okAnime)
            UndefinedItem(st, rec, name, folded);
        SetAnimeProperty(st, rec, code == pMorePictures ? TAnimeProp::MorePictures
                                  : code == pButtonMode ? TAnimeProp::ButtonMode
                                  : code == pRepeat     ? TAnimeProp::Repeat
                                                        : TAnimeProp::Sound, value);
        return;
    default:
        UndefinedItem(st, rec, name, folded);
    }
}

// ---- commands ---------------------------------------------------------------------------------

namespace {

THashNode* ObjectWordOf(TPoruBase& st, std::string name)
{
    name = Trim(name);
    if (!name.empty() && (name.front() == '"' || name.front() == '`'))
        name = st.ExpandLiteral(name);
    THashNode* w = st.Words.FindExact(name);
    if (w && w->Kind == wkVariable)
        if (THashNode* other = st.Words.FindExact(w->Value); other && other->Kind == wkObject)
            w = other;
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
    SetProperty(st, ObjectWordOf(st, obj), prop, value);
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

HandlerRegistrar reg({{8, cmdSet}, {9, cmdGet}});

}   // namespace
