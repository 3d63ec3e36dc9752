// Perl-style regular expressions over Shift_JIS text: m//, s///, tr/// and split,
// with the flags i, m, s, x and g (tr: c, d, s). Matching is done by PCRE2 on UTF-8:
// expression and subject are converted first (so the second byte of a two-byte
// character is never read as a metacharacter) and every result is converted back.
// \d and \w stay ASCII; "$" and "." treat CR, LF and CR LF as line ends.
//
// Usage:
//   TBRegExp re;
//   std::vector<std::string> groups;
//   int n = re.Match("m/(\\d+)-(\\d+)/", "2003-01", groups);   // n = 3, groups[1] = "2003"
//   std::string out;
//   re.Subst("s/a/b/g", "banana", out);                        // out = "bbnbnb"
//   re.Trans("tr/a-z/A-Z/", "abc", out);                       // out = "ABC"
//   re.Split("m/,/", "a,b,,", 1000, pieces);                   // {"a", "b", "", ""}
// Errors (syntax, unknown flags, a missing delimiter, the match or depth limit) raise
// ERegex with the library's message. The wrapper keeps the compiled form of its last
// expression and reuses it while the expression text stays the same.
#pragma once
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

struct ERegex : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class TBRegExp {
public:
    TBRegExp();
    ~TBRegExp();
    TBRegExp(const TBRegExp&) = delete;
    TBRegExp& operator=(const TBRegExp&) = delete;

    // First match of an m// expression: groups[0] is the whole match, then one text
    // per parenthesised group (empty when the group took no part). Returns the group
    // count + 1, or 0 without a match (groups is then empty).
    int Match(std::string_view expr, std::string_view subject, std::vector<std::string>& groups);
    // s/// substitution; `result` is the substituted text. Returns the number of
    // replacements made (0: result is the subject unchanged).
    int Subst(std::string_view expr, std::string_view subject, std::string& result);
    // tr/// translation; returns the number of characters matched by the search list.
    int Trans(std::string_view expr, std::string_view subject, std::string& result);
    // Perl's split with a positive limit (trailing empty pieces kept, groups included).
    // Returns the number of pieces.
    int Split(std::string_view expr, std::string_view subject, int limit, std::vector<std::string>& pieces);

    // Parenthesised groups of the last compiled expression.
    int GroupCount() const;

    // An expression that does not start with "m" becomes "m/expr/"; an unescaped "/"
    // inside it is escaped so that it stays part of the pattern.
    static std::string WrapMatch(std::string_view expr);

    struct TCompiled;

private:
    TCompiled& Compile(std::string_view expr, char kind);
    std::unique_ptr<TCompiled> last_;
};
