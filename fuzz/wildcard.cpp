// The wildcard compiler and matcher: pattern, a zero byte, subject. Whole and
// prefix match must agree, and every reported span must lie inside the subject.
#include "commands/patterns/wildcard.h"
#include "fuzz_target.h"

void FuzzSetUp() {}

void FuzzOne(const uint8_t* data, size_t size)
{
    std::string_view pattern, subject;
    fuzz::SplitTwo(std::string_view(reinterpret_cast<const char*>(data), size), pattern, subject);
    try {
        TWildcard w(pattern);
        size_t end = 0;
        std::vector<std::pair<size_t, size_t>> caps;
        const bool prefix = w.PrefixMatch(subject, end, &caps);
        const bool whole = w.WholeMatch(subject);
        fuzz::Check(!whole || (prefix && end == subject.size()), "whole match without a prefix match to the end");
        if (prefix) {
            fuzz::Check(end <= subject.size(), "match end beyond the subject");
            for (const auto& c : caps)
                fuzz::Check(c.first <= c.second && c.second <= subject.size(), "capture outside the subject");
        }
        TWildcardResult r = WildcardPrefixMatch(subject, pattern);
        fuzz::Check(r.Ok == prefix, "prefix match differs between entry points");
        if (r.Ok)
            fuzz::Check(r.Matched.size() + r.Rest.size() == subject.size(), "matched part and rest do not add up");
    } catch (const EWildcard&) {
    }
    (void)HasWildcardChars(pattern, true);
}
