// Shared internals of the object family: the family's state and helpers used by the
// object, property, event and window command files.
#pragma once
#include <QFont>
#include <QPointer>
#include <QString>

#include <deque>
#include <string>
#include <vector>

#include "core/stacks.h"
#include "gui/objects.h"

class TMainWindow;
class QAction;
class QSystemTrayIcon;
class QTimer;

struct TObjectsState {
    // Handler code texts. Event positions point into them, so they never move or
    // change while the run lasts (a deque keeps its elements in place).
    std::deque<std::string> Codes;
    // Widgets that accept dropped files.
    std::vector<QPointer<QWidget>> DropTargets;
    QTimer* ScriptTimer = nullptr;
    int64_t TimerLeftMs = 0;   // what is left of a long interval after this slice
    QSystemTrayIcon* Tray = nullptr;
    bool BusyPumpInstalled = false;
    ~TObjectsState();
};

void StopScriptTimer(TPoruBase& st);

TObjectsState& ObjState(TPoruBase& st);
TMainWindow* HostWindowOf(TPoruBase& st);
QAction* ObjectAction(TObjNode* rec);
QString MemoText(const std::string& sjis);
std::string WidgetText(TObjNode* rec);
void SetWidgetText(TPoruBase& st, TObjNode* rec, const std::string& value);
void LoadPictureInto(TPoruBase& st, TObjNode* rec, const std::string& file);
// The picture of a file with the loader of 画像 (null for an empty name).
QImage LoadPictureFile(TPoruBase& st, const std::string& file);
int GapOf(TPoruBase& st);
bool ReadPair(TPoruBase& st, const std::string& text, int32_t& x, int32_t& y);
bool ReadNumbers(TPoruBase& st, const std::string& text, std::vector<long double>& out);
QFont CreationFont(TPoruBase& st);
void CreateMenuItem(TPoruBase& st, const std::string& parentName, const std::string& name, bool sub);

// events
void WireEvents(TPoruBase& st, TObjNode* rec);
void WireMainWindow(TPoruBase& st);
void SetDropTarget(TPoruBase& st, TObjNode* rec, bool on);
void ForgetDropTarget(TPoruBase& st, QWidget* w);
void DeliverDroppedFiles(TPoruBase& st, int id, const std::vector<std::string>& files);
// Assigns a handler (label name or code) to a slot; "" clears it.
void AssignHandler(TPoruBase& st, TObjNode* rec, int slot, const std::string& value);

// properties
std::string GetProperty(TPoruBase& st, THashNode* word, const std::string& prop);
void SetProperty(TPoruBase& st, THashNode* word, const std::string& prop, const std::string& rawValue);

// Readings of properties and kind operations: a number; a flag as 1 or 0.
std::string Num(long long v);
const char* Flag(bool on);
// Lenient number reading: thousands commas ignored, "$" for hexadecimal, truncated.
long long LenientNumber(const std::string& text);
// The whole number of a trimmed text, or def.
int IntOr(const std::string& text, int def);
// Item lists: one item a line, CR LF after each.
std::string JoinItemLines(const QStringList& items);
QStringList SplitItemLines(const std::string& sjis);
