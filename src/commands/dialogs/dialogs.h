// The window-free parts of the dialog commands: argument texts split into items and
// file filters, the font choice text, the answers of the console's line protocol,
// the progress line of the console, and the geometry of the run-time dialogs computed
// from measured sizes (so that it can be checked without fonts or a screen).
// Texts are Shift_JIS.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "interp/host.h"

using TDialogFilter = THost::TDialogFilter;
using TFontChoice = THost::TFontChoice;

// ---- arguments -------------------------------------------------------------------

// The items of どれか尋ねる and リストから選択: "｜", "|" and line breaks separate
// them (an empty text has none; an empty item between two separators is kept).
std::vector<std::string> ListChoiceItems(std::string_view text);

// ボタンで選択 takes at most this many choices.
constexpr size_t kMaxButtonChoices = 20;
// The choices of ボタンで選択: the lines of the trimmed choice text.
std::vector<std::string> ButtonChoiceItems(std::string_view text);

// The tag of a 尋ねる entry: "e" when it begins with "$" or a digit, else "s".
const char* EntryTag(std::string_view entry);

// ---- file filters ------------------------------------------------------------------

// The filter of the file dialogs from their file-type argument: a text holding "|"
// is a list of description and pattern pairs (an unpaired last description is
// dropped); otherwise the extension (a leading "." removed) gives
// "EXT 形式(*.EXT)|*.EXT|全て(*.*)|*.*"; an empty type offers all files only.
std::vector<TDialogFilter> FileDialogFilter(std::string_view fileType);

// The save dialog's default extension: the first pattern with a leading "*" and then
// a leading "." removed, up to a ";" of a second pattern; empty when what is left is
// still a wildcard ("*.*" gives none).
std::string DefaultExtension(const std::vector<TDialogFilter>& filter);

// The filter as a Qt file dialog reads it: "DESC (P1 P2)" items joined with ";;"
// ("*.*" becomes "*", which matches names without a dot as well; a description that
// already ends in its patterns in parentheses keeps them there: "全て(*.*)" becomes
// "全て(*)"). Pairs without a pattern are left out.
std::string QtFilterText(const std::vector<TDialogFilter>& filter);

// The filter of the memo dialog's load and save buttons ("*.txt|*.txt|すべてのファイル|*.*").
std::vector<TDialogFilter> MemoFileFilter();

// ---- font choice texts -------------------------------------------------------------

// The result of フォント選択: the face; "|" and 太字, 傾斜, 下線 (in that order) when
// any style is set; "|" and the size when it is above 0, with one more "|" before it
// when no style was set ("ＭＳ 明朝||12", "ＭＳ ゴシック|太字|10").
std::string FormatFontChoice(const TFontChoice& font);

// Reads "face|style|size" ("|" or "｜"): style words 太字 / ボールド, 傾斜 / 斜体 /
// イタリック, 下線 / 罫線 / アンダーライン; the size a number above 0. False when the
// face is empty.
bool ParseFontChoice(std::string_view text, TFontChoice& font);

// ---- answers of the line protocol --------------------------------------------------

// 二択: はい / y / yes / 1 -> 1, いいえ / n / no / 0 -> 0; with cancel (三択) also
// キャンセル / c / cancel / 2 -> 2. Letters in either case, blanks around ignored.
// -1 for anything else.
int YesNoAnswer(std::string_view line, bool withCancel);

// A choice by its text, else by its number from 1; -1 for anything else.
int ChoiceAnswer(std::string_view line, const std::vector<std::string>& items);

// A colour: a decimal number from 0 to 16777215 or "#RRGGBB" (R + 256 G + 65536 B).
bool ColourAnswer(std::string_view line, int32_t& colour);

// ---- progress ------------------------------------------------------------------------

// The bar position from 0 to 100 for position out of maximum (maximum 0 or less: 0).
int ProgressPercent(int64_t position, int64_t maximum);

// Lets through at most one report a second: the first report, then one whenever a
// second has passed since the last one let through.
class TProgressThrottle {
public:
    bool Due(int64_t nowMs);
    void Reset() { last_ = kNever; }

private:
    static constexpr int64_t kNever = INT64_MIN;
    int64_t last_ = kNever;
};

// ---- geometry of the run-time dialogs ------------------------------------------------

struct TRectI {
    int X = 0, Y = 0, W = 0, H = 0;
    int Right() const { return X + W; }
    int Bottom() const { return Y + H; }
    bool operator==(const TRectI&) const = default;
};

// 言う: the label at 8, 8; the OK button 8 below the label but its top never lower
// than `heightLimit`, centred; the client 8 below the button, the label's width plus
// 16 wide, at least 100.
struct TMessageBoxGeometry {
    TRectI Label, Button;
    int ClientW = 0, ClientH = 0;
};
TMessageBoxGeometry MessageBoxGeometry(int labelW, int labelH, int buttonW, int buttonH, int heightLimit);

// 尋ねる: the label at 8, 8, the edit field 8 below it spanning the width less 16,
// the button panel 8 below that, centred; the client 8 below the panel, the label's
// width plus 16 wide, at least 300.
struct TInputBoxGeometry {
    TRectI Label, Edit, Panel;
    int ClientW = 0, ClientH = 0;
};
TInputBoxGeometry InputBoxGeometry(int labelW, int labelH, int editH, int panelW, int panelH);

// どれか尋ねる and リストから選択: the list at twice the label's top plus its height,
// the result field and the centred button panel each 8 below; list and field span
// the width less 16; the client at least 280 wide.
struct TChoiceGeometry {
    TRectI Label, List, Field, Panel;
    int ClientW = 0, ClientH = 0;
};
TChoiceGeometry ChoiceGeometry(int labelW, int labelH, int listH, int fieldH, int panelW, int panelH);

// ボタンで選択: from the label's size, the height of "Z" and the widest choice text
// in the label's font, the number of choices and the main window's width. The
// buttons stand in a row when 80 % of the main window's width exceeds 110 % of the
// choices' total width, else in a column.
struct TButtonChooserGeometry {
    TRectI Label;
    std::vector<TRectI> Buttons;
    bool Row = false;
    int ClientW = 0, ClientH = 0;
};
TButtonChooserGeometry ButtonChooserGeometry(int labelW, int labelH, int zHeight, int widestText, int count,
                                             int mainWidth);
