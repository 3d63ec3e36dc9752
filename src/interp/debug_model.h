// What the debugger shows of a run: the rows of its variable table with the level
// filter, the names of the open control structures, the program text by line, and
// all of it as one text for a host without a dialog (the console). The functions
// read the state and change nothing; texts are Shift_JIS.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "interp/host.h"

class THash;
class TLineIo;
class TPoruBase;
class TRunControlStack;

// One row of the variable table: 名前, 値, 型, 宣言レベル.
struct TDebugRow {
    std::string Name;
    std::string Value;   // a hash variable's pairs, one "name=value" a line
    std::string Type;
    int32_t Level = 0;   // the word's Id: the run-control depth it was declared at
};

// The level filter read as a level; -1 when it is not a whole number.
int32_t DebugFilterLevel(std::string_view filter);

// The variable table of `words`, in the table's enumeration order: variables, hash
// variables and, with showObjects, GUI objects. A non-empty filter drops every word
// declared below its level, except それ, which is always listed. System words have
// level -1, so the filter "0" hides them and the empty filter shows everything.
std::vector<TDebugRow> DebugVariableRows(const THash& words, std::string_view filter, bool showObjects);

// The filter after the "システム変数を表示" box changed: ticking it empties the
// filter; clearing it turns an empty filter into "0".
std::string DebugFilterAfterSystemBox(const std::string& filter, bool ticked);

// The first row whose name begins with the trimmed text; -1 when none does (or the
// text is empty).
int DebugFindRow(const std::vector<TDebugRow>& rows, std::string_view text);
// The row named exactly so; -1 when there is none.
int DebugRowNamed(const std::vector<TDebugRow>& rows, std::string_view name);

// The name of a run-control entry kind ("もし、ならば", "繰り返す", ... "その他").
const char* ControlKindName(uint8_t kind);
// One entry per open control structure of the current level, in stack order:
// "1:繰り返す", "2:もし、ならば", ...
std::vector<std::string> DebugControlEntries(const TRunControlStack& rc);

// The lines of a normalised program text without their line markers, each at the
// index of its source line (index 0 is line 1); lines that normalisation joined
// leave empty lines, so that line n of the source is always item n - 1.
std::vector<std::string> DebugProgramLines(std::string_view normalised);

// Everything the debugger shows of the state at this moment.
struct TDebugView {
    int32_t Line = 0;                   // 現在の実行行
    std::vector<std::string> Program;   // DebugProgramLines of the program text
    std::vector<std::string> Control;   // DebugControlEntries
    std::vector<TDebugRow> Rows;        // DebugVariableRows
};
// The view of the run under the given filter (CurrentLineNo updates LineNo).
TDebugView DebugViewOf(TPoruBase& st, std::string_view filter, bool showObjects);

// The console's form of the dialog: the current line with the program lines around
// it, the control structures, the variable table (the row named `word` marked) and
// the question. Long values are cut; line breaks inside values are shown as "\n".
std::string DebugDumpText(const TDebugView& view, std::string_view filter, const std::string& word);
// The question asked again after an answer that was not understood.
const char* DebugQuestion();

// Reads an answer: c = 連続実行, l = 一行毎に実行, q = 実行中断 (the first letter
// that is not a space, in either case); false for anything else.
bool ParseDebugAnswer(std::string_view answer, DebugChoice& choice);

// The dialog as a line protocol: shows the dump and reads answers until one is
// understood, three reads in all; the end of the input (or three answers not
// understood) is 連続実行, so a run without input never stops at every line.
DebugChoice AskDebugOnLines(TLineIo& io, const std::string& dump);
