// Script-created GUI objects: the twenty kinds, their creation on 母艦 or in a
// フォーム, the object records and words, finding them, their direct values, their
// destruction and the canvas that drawing commands paint on.
#pragma once
#include <QImage>
#include <QString>

#include <csignal>
#include <string>

class TPoruBase;
class THashNode;
struct TObjNode;
class QWidget;

// Kind codes of the object record.
// clang-format off
enum TObjKind : int {
    okButton = 0, okEdit, okImage, okBar, okCombo, okList, okMemo, okForm, okGrid, okLabel,
    okCheck, okTrack, okAnime, okMenu, okBrowser, okPanel, okTEditor, okRadio, okScroll, okTabPage,
    okKindCount
};
// clang-format on

// Event slots of a record.
// clang-format off
enum TEventSlot : int {
    esCurrent = 0, esClick, esDoubleClick, esMouseDown, esMouseUp, esKeyDown, esKeyUp,
    esChange, esMouseMove, esFileDrop
};
// clang-format on

// The kind name of a code (Shift_JIS); "" outside 0..19.
const std::string& KindName(int kind);
// The kind code of a kind name, -1 when none.
int KindOfName(const std::string& sjisName);

// Shift_JIS text of a UTF-8 literal, for the messages of this family.
std::string J(const char* utf8);

// ---- finding objects ----
// The record of an id; nil for a destroyed or unknown one.
TObjNode* FindObjectById(TPoruBase& st, int id);
// Looks a name up as a word: "単語"%s"は、定義されていません。", ""%s"は、オブジェクト
// ではありません。", "オブジェクト"%s"は、作成されていません。".
TObjNode* FindObjectByWord(TPoruBase& st, const std::string& name);
// The record of an object word (by its Id), raising "作成されていません" when gone.
TObjNode* RecordOfWord(TPoruBase& st, THashNode* word);
// The widget of a record (nil for a menu item).
QWidget* ObjectWidget(TObjNode* rec);

// ---- canvas for the drawing commands ----
// The picture that drawing on an object paints into: 母艦's surface, a フォーム's
// background picture, an イメージ's picture; nil for every other kind.
QImage* ObjectCanvas(TPoruBase& st, TObjNode* obj);
// Shows what was drawn on the object's canvas.
void RepaintObject(TPoruBase& st, TObjNode* obj);
// After the canvas was replaced by a picture of another size: an イメージ takes the
// picture's size, a フォーム's background keeps covering the window.
void CanvasResized(TPoruBase& st, TObjNode* obj);

// ---- values ----
std::string ObjectDirectValue(TPoruBase& st, THashNode* word);
void SetObjectDirectValue(TPoruBase& st, THashNode* word, const std::string& value);

// ---- creation and destruction ----
// 作成: creates an object (raises the creation messages).
void CreateObject(TPoruBase& st, const std::string& name, const std::string& kindName, bool atCursor,
                  const std::string& position);
// Destroys one object: empties, hides and schedules the control for freeing after
// the running handlers have returned; the record leaves the list at once.
void DestroyObject(TPoruBase& st, int id);

// ---- events ----
// Runs the handler of a slot of an object (through slot 0, as the dispatcher does).
void FireEvent(TPoruBase& st, int id, int slot, bool untilDone = false);
// Runs slot 0 of a record (the handler run).
void RunCurrentHandler(TPoruBase& st, TObjNode* rec, bool untilDone = false);
// Writes マウスX, マウスY and 押された特殊キー.
void SetMouseVariables(TPoruBase& st, int x, int y, const std::string& modifiers);
// The modifier text: Shift, Alt, Ctrl, Left, Right, Middle, Double, one a line.
std::string ModifierText(Qt::KeyboardModifiers mods, Qt::MouseButtons buttons, bool dbl);
// The Windows virtual-key number of a Qt key.
int VirtualKey(int qtKey, Qt::KeyboardModifiers mods);
// Sets a system word's value, whether variable or constant.
void SetSystemWord(TPoruBase& st, const char* utf8Name, const std::string& value);
std::string SystemWordValue(TPoruBase& st, const char* utf8Name);

// Turns on periodic painting and close processing while the interpreter is busy.
void InstallBusyPump(TPoruBase& st);

// The number of the signal (SIGINT, SIGTERM) that asked the program to stop, 0 while
// none did; set by the signal handler of the window program.
extern volatile std::sig_atomic_t gStopSignal;
// Ends the program after a stop signal: the dialogs that wait for the user give up,
// the close label runs once, then the window closes whatever the label decided and
// the event loop ends. Called at the run loop's pulse and from the event loop.
void StopForSignal(TPoruBase& st);
