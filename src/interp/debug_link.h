// The debugger as the interpreter uses it: the debug dialog and what its choice
// does, the single-step stop at the end of a line, and the run-time's own request
// server, through which an editor (or porukana-send) asks for the current line,
// pauses the program or stops it.
#pragma once
#include <string>

class TPoruBase;

// Shows the debug dialog (with `word` selected when given) and acts on the choice:
// 連続実行 ends single-step mode, 一行毎に実行 turns it on, 実行中断 closes the main
// window the normal way (the close label runs, without single-step stops). True
// when 実行中断 was chosen.
// While the dialog is up (an event handler that runs during it reaches a line
// stop or a pause) it is not shown a second time: false at once.
bool ShowDebugger(TPoruBase& st, const std::string& word = std::string());

// The stop after every line in single-step mode (LineStop).
void StopAfterLine(TPoruBase& st);

// The service name of this run-time: its executable's file name without extension.
std::string OwnServiceName(const TPoruBase& st);

// Opens the run-time's own server (its service, topic "command"). Without a channel
// (no private folder, another live run-time of the same name) there is none, and
// nothing is reported.
void StartCommandChannel(TPoruBase& st);

// One request of that server: "line" (a message box naming the current line),
// "line porupad" (the line sent to the editor as "row N"), "pause" (the debug
// dialog) and "break" / "break porupad" (the line to the editor, then the program
// ends). Anything else is ignored.
void HandleCommandRequest(TPoruBase& st, const std::string& request);

// Sends "row N" (the current line) to the editor's server, service "porupad", topic
// "command"; false when it did not take it (a missing editor is no error).
bool SendLineToEditor(TPoruBase& st);
