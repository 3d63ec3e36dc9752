// Command lines of the start commands (起動, 起動して終了まで待機). A script writes a
// program and its parameters as one text, quoted the Windows way; these functions
// take it apart into the program and an argument vector, so that the text is never
// handed to a shell. Texts are Shift_JIS: a two-byte character is copied whole, so
// a trail byte 0x5C is never taken for a backslash nor 0x22 for a quote.
#pragma once
#include <string>
#include <string_view>
#include <vector>

// Splits a parameter text into words with the Windows rules:
//  - words are separated by spaces and tabs outside double quotes;
//  - a double quote toggles quoting and is dropped; inside quotes two double quotes
//    give one literal quote;
//  - 2n backslashes before a double quote give n backslashes (the quote then
//    toggles), 2n+1 give n backslashes and a literal quote;
//  - any other backslash is an ordinary character.
// An empty quoted word ("") is a word of its own.
std::vector<std::string> SplitCommandLine(std::string_view line);

struct TCommandParts {
    std::string Program;   // as written (quotes kept or removed, see below)
    std::string Params;    // the rest of the line, trimmed
};

// 起動's split: the program runs up to the first space that is not inside double
// quotes; the quotes stay in the program part.
TCommandParts SplitAtFirstSpace(std::string_view line);

// 起動して終了まで待機's split of a trimmed line: a leading double quote delimits the
// program up to the closing quote (both quotes dropped); without one the program
// ends at the first space.
TCommandParts SplitQuotedProgram(std::string_view line);

// The program part without its double quotes.
std::string StripQuotes(std::string_view program);
