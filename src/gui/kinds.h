// The kinds of script objects, one record of operations per kind: how a control of
// the kind is made and wired to its handlers, how its text, items and value are
// read and set, and which of the kind-dependent properties it has. Everything that
// behaves differently by kind looks the kind up here instead of switching on it.
#pragma once
#include <QFont>
#include <QString>

#include <string>
#include <vector>

class TPoruBase;
class THashNode;
struct TObjNode;
class QWidget;
class QImage;
class QPushButton;
class TMainWindow;
class TEventRelay;

// What creation hands to a kind's constructor.
struct TNewControl {
    TPoruBase& St;
    TMainWindow* Main;
    QWidget* Parent;   // the main window's surface
    QFont Font;        // from 文字書体 and 文字サイズ
    QString Caption;   // the object's name without its kind name
};

using TReadOp = std::string (*)(TPoruBase& st, TObjNode* rec);
using TWriteOp = void (*)(TPoruBase& st, TObjNode* rec, const std::string& value);

struct TKindOps {
    // The control at its default size; nil for the kinds 作成 does not make.
    QWidget* (*Create)(const TNewControl& n) = nullptr;
    bool CreationFont = true;      // takes the creation font once made
    bool CreationColour = false;   // takes 文字色 as its text colour

    // Events: whether the control's own filter reports keys and the mouse, what
    // else it reports (signals, inner widgets), and the slot that イベント also sets.
    bool Keys = true;
    bool Mouse = true;
    void (*Wire)(TPoruBase& st, TObjNode* rec, TEventRelay* relay) = nullptr;
    int DefaultEvent = -1;

    // Properties that only some kinds have.
    bool HasFont = false;        // フォント書体, フォントサイズ, フォント色
    bool HasSelection = false;   // 選択文字列, 選択位置, 選択文字数, IME

    // The caption of a kind that shows one (Shift_JIS, CR LF line ends).
    std::string (*Caption)(TObjNode* rec) = nullptr;
    void (*SetCaption)(TObjNode* rec, const std::string& value) = nullptr;

    // テキスト: nil reads the word's own value and refuses setting.
    std::string (*Text)(TPoruBase& st, TObjNode* rec) = nullptr;
    TWriteOp SetText = nullptr;
    // アイテム: nil reads empty and refuses setting.
    TReadOp Items = nullptr;
    TWriteOp SetItems = nullptr;
    // 値: nil reads "0" and refuses setting.
    TReadOp Value = nullptr;
    TWriteOp SetValue = nullptr;
    // 編集: nil refuses both.
    TReadOp Editable = nullptr;
    TWriteOp SetEditable = nullptr;
    // 背景色: nil reads "0" and refuses setting.
    TReadOp BackColour = nullptr;
    TWriteOp SetBackColour = nullptr;

    // The object's name used as a value: nil raises "直接値を得ることは出来ません";
    // a nil setter ignores the assignment.
    std::string (*Direct)(TPoruBase& st, TObjNode* rec, THashNode* word) = nullptr;
    void (*SetDirect)(TPoruBase& st, TObjNode* rec, THashNode* word, const std::string& value) = nullptr;

    // Pictures: the picture that drawing commands paint into (nil: none), fitting
    // the control after that picture changed size, and what a loaded 画像 does to
    // the control (nil: 画像 is not defined for the kind).
    QImage* (*Canvas)(TObjNode* rec) = nullptr;
    void (*FitCanvas)(TObjNode* rec) = nullptr;
    void (*ShowPicture)(TObjNode* rec, const QImage& picture) = nullptr;

    // Empties the control before it is destroyed.
    void (*Empty)(QWidget* w) = nullptr;
    // Takes dropped files when no handler does.
    void (*TakeFiles)(QWidget* w, const std::vector<std::string>& files) = nullptr;
};

// The operations of a kind code (an empty record outside 0..19).
const TKindOps& KindOps(int kind);

// A button's caption: the button widens to show all of it and never narrows.
void SetButtonCaption(QPushButton* b, const QString& caption);
