// Runs samples through the built executables, each in a fresh folder of its own
// (also its home, temporary and configuration folder), and compares what they
// wrote with what the reference shows.
#pragma once
#include <string>
#include <vector>

#include "refdata.h"

struct TRunOptions {
    std::string binDir;   // holds porukana-cli and porukana
    int jobs = 1;         // samples run at the same time
    int timeoutSeconds = 30;
};

struct TRunResult {
    std::string out, err;   // the window's messages are in `out`
    int exitCode = 0;
    bool timedOut = false;
    std::string failure;   // why the sample could not be run at all
};

// Runs every sample; results[i] belongs to samples[i].
std::vector<TRunResult> RunSamples(const std::vector<const TSample*>& samples, const TRunOptions& options);

// "" when the result is what the sample shows, else a description of the difference.
std::string CompareResult(const TSample& sample, const TRunResult& result);

// What a written text shows as lines: CR LF as a line break, without the final
// line breaks (the data keeps lines, not their ends).
std::string ShownText(const std::string& written);
// The same for standard output, keeping what a page shows: the blank lines the
// output ends with (after the final line break) are counted in `blankLines`.
std::string ShownOutput(const std::string& written, int& blankLines);

// UTF-8 to Shift_JIS (CP932); false when a character has no Shift_JIS form.
bool ToShiftJis(const std::string& utf8, std::string& sjis);
