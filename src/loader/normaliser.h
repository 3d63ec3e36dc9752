// Source normalisation: comments removed, full-width characters outside strings made
// half-width, quotes unified to " and `, and a line marker "N:" after every line break.
#pragma once
#include <string>
#include <string_view>

#include "core/hash.h"

class TConvToHalf {
public:
    TConvToHalf();
    // Replacement of one character (one or two bytes); nullptr when it has none.
    const std::string* Lookup(std::string_view ch) const;
    std::string ToHalf(std::string_view text) const;

private:
    THash table_;
};

// A shared instance (the table never changes).
const TConvToHalf& ConvToHalf();
std::string ToHalf(std::string_view text);

// Error raised by Normalise: the message (without prefix) and the 1-based line of
// the offending delimiter. The caller adds the location prefix.
struct ENormalise {
    std::string Message;
    int Line;
};

// Replaces `text` by its normalised form; throws ENormalise on an unbalanced
// comment block or string literal.
void Normalise(std::string& text);
