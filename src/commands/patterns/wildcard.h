// The wildcard pattern language: a compiler that turns a text into units and a
// matcher that walks the pattern's units over the subject's units.
//
// Units (pattern and subject are compiled alike):
//   a character (two-byte characters whole)   TWChar      text: the character
//   #                                         TWNumber    any unit whose text starts with a digit
//   ( and )                                   TWPickupFrom / TWPickupTo   capture bounds
//   *                                         TWAsterisk  shortest stretch after which the rest matches
//   ?                                         TWQuestion  any one unit (or nothing at the end)
//   [ ... ]                                   TWKakko     class: [!..] negates, [*..] [+..] repeat,
//                                                         [=a|b] alternatives
//   \n (CR and LF), \t, \x (the character x)  TWChar
//
// Matching is deterministic: "*" settles on the first position after which the rest
// of the pattern matches and never reconsiders it. Runs of stars act as one star;
// the matcher keeps one number per star and never recurses, and its work grows with
// (subject length + stars) x the length of the pieces between stars.
//
// Usage:
//   WildcardWholeMatch("a.txt", "*.txt")               -> true
//   TWildcardResult r = WildcardPrefixMatch("name:value", "(*):");
//   r.Matched == "name:", r.Rest == "value", r.Captures == {"name"}
// Pattern errors are raised as EWildcard with the system's message.
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct EWildcard : std::runtime_error {
    using std::runtime_error::runtime_error;
};

enum class TWKind : uint8_t { Char, Number, PickupFrom, PickupTo, Asterisk, Question, Kakko };

// One compiled unit.
struct TWSeq {
    TWKind Kind = TWKind::Char;
    uint8_t Len = 0;         // bytes of Text used
    char Text[5] = {};       // text form ("[...]" for a class)
    uint32_t Code = 0;       // first byte, or first*256+second for a two-byte character
    uint32_t SrcBegin = 0;   // the first source byte this unit was read from
    int32_t Kakko = -1;      // index into TWString::Classes for a class unit

    std::string_view TextView() const { return std::string_view(Text, Len); }
};

// A bracket class of a pattern.
struct TWKakko {
    enum Mode : uint8_t { Single, Star, Plus, Choice };
    bool Negated = false;
    Mode Kind = Single;
    std::vector<std::pair<uint32_t, uint32_t>> Ranges;   // inclusive code ranges
    std::vector<std::string> Alternatives;               // in trial order
    std::vector<uint32_t> AltChars;                      // characters of each alternative
    // For "*" and "+": the literal that ends the run, or a pattern error.
    bool BadFollower = false;
    std::string Follower;

    bool Contains(uint32_t code) const;
};

// A compiled text: its units and, for a pattern, its classes.
struct TWString {
    std::vector<TWSeq> Units;
    std::vector<TWKakko> Classes;

    // Compiles a pattern; class syntax errors raise EWildcard.
    static TWString CompilePattern(std::string_view text);
    // Compiles a subject into `out` (reusing its storage). A "[" swallows everything
    // up to the next "]" into one unit and is never parsed, so a subject never fails
    // (but one whose units would take more than the limit of one built text raises
    // the memory message, an EPoru).
    static void CompileSubject(std::string_view text, TWString& out);
};

// A compiled pattern ready to be matched against many subjects.
class TWildcard {
public:
    explicit TWildcard(std::string_view pattern);
    // True when the pattern matches the whole subject.
    bool WholeMatch(std::string_view subject) const;
    // Matches from the start of the subject; on success sets the end byte offset of
    // the match and the captured spans (byte offsets into the subject).
    bool PrefixMatch(std::string_view subject, size_t& end, std::vector<std::pair<size_t, size_t>>* captures) const;

private:
    bool Match(std::string_view subject, bool whole, size_t& end,
               std::vector<std::pair<size_t, size_t>>* captures) const;
    TWString pat_;
    std::vector<TWSeq> ops_;           // the units with runs of stars merged
    std::vector<uint32_t> segBegin_;   // where each piece between stars starts in ops_
    bool badFollower_ = false;         // a [*...] or [+...] followed by a wildcard
};

struct TWildcardResult {
    bool Ok = false;
    std::string Matched;   // the subject's text up to the match end
    std::string Rest;      // the subject's text after it
    std::vector<std::string> Captures;
};

bool WildcardWholeMatch(std::string_view subject, std::string_view pattern);
TWildcardResult WildcardPrefixMatch(std::string_view subject, std::string_view pattern);
// True when the text holds "*", "?" or "#", or "[" when `bracket` is set (the table
// commands then match by wildcard, as マッチ does, instead of by substring).
bool HasWildcardChars(std::string_view text, bool bracket);
