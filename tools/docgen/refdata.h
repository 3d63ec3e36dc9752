// The reference data: one file per command family (plus one for the system
// variables and constants), UTF-8, holding for every registry word a one-line
// description and runnable samples with the output they show.
//
//   = TITLE                    the page title, then intro lines
//   == NAME [/ NAME ...]       one entry: names of one command id (or one word)
//   description line           exactly one line
//   --- 補足                   optional: further lines shown under the description
//   --- 例 [窓]                a sample program ("窓": runs in the window host)
//   --- 入力                   optional: its standard input (for the window: the
//                              answers of its dialogs, one a line)
//   --- 出力 [最後に空行N]     what it writes (for the window: its messages); when the
//                              output ends with N blank lines the header says so
//   --- 標準エラー             optional: what it writes to standard error
//   --- 終了コード             optional: its exit status (default 0)
//
// Trailing blank lines of a block are not part of it.
#pragma once
#include <string>
#include <vector>

struct TSample {
    std::string code;        // the program, UTF-8
    bool window = false;     // runs in the window host (offscreen)
    std::string input;       // standard input
    std::string out;         // expected standard output (the messages for the window)
    int outBlankLines = 0;   // blank lines the output ends with, after `out`
    std::string err;         // expected standard error
    int exitCode = 0;
    std::string file;   // where it was written, for messages
    int line = 0;
    // Guide samples: the line range [outFirst, outLast) of the output block's
    // content, so that an update can rewrite it in place.
    int outFirst = 0, outLast = 0;
};

struct TEntry {
    std::vector<std::string> names;
    std::string description;
    std::string note;
    std::vector<TSample> samples;
    std::string file;
    int line = 0;
};

struct TDataFile {
    std::string path;
    std::string stem;   // family name as the registry writes it, or "variables"
    std::string title;
    std::string intro;
    std::vector<TEntry> entries;
};

// Reads one data file; format faults are appended to `errors` as "FILE:LINE: text".
TDataFile ReadDataFile(const std::string& path, std::vector<std::string>& errors);
// The canonical text of a data file (what ReadDataFile reads back unchanged).
std::string WriteDataFile(const TDataFile& data);
// All data files of a folder, sorted by name.
std::vector<TDataFile> ReadDataFolder(const std::string& dir, std::vector<std::string>& errors);

// The samples of a Markdown guide: a ```prk block (```prk 窓 for the window)
// followed by a ```出力 block and optionally ```入力, ```標準エラー, ```終了コード.
std::vector<TSample> ReadGuideSamples(const std::string& path, std::vector<std::string>& errors);

// Small helpers shared by the tool.
std::string ReadWholeFile(const std::string& path, bool& ok);
bool WriteWholeFile(const std::string& path, const std::string& text);
std::vector<std::string> SplitLines(const std::string& text);
std::string JoinLines(const std::vector<std::string>& lines, size_t first, size_t last);
std::string TrimTrailingNewlines(std::string text);
std::string TrimSpaces(const std::string& s);
// The header of an output block: "出力", or "出力 最後に空行N".
std::string OutputHeader(int blankLines);
// The lines of a shown output: `out`, then its blank lines.
std::string OutputWithBlankLines(const TSample& s);
