// Kept literals: the parts of a literal's text (plain text and {…} embeddings) read
// once, so that running it again evaluates only the embeddings.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "interp/interp.h"

struct TLiteralPart {
    std::string Text;   // plain text, or the embedding made half-width
    bool Embed = false;
    TWordRef Word;   // an embedding that is one word: read by name
};

struct TLiteralPlan {
    std::vector<TLiteralPart> Parts;
};

// The parts of `text` (a literal as the scanner reads it), or nil when it holds
// anything evaluated while it is read (a value joined outside the quotes) or an
// unclosed part: those are read each time.
std::unique_ptr<TLiteralPlan> CompileLiteral(std::string_view text);

class TLiteralCache {
public:
    // Texts longer than this are not kept; once kMaxEntries texts are kept, new ones
    // are read each time (nothing is dropped while the program runs).
    static constexpr size_t kMaxText = 1024;
    static constexpr size_t kMaxEntries = 8192;
    // The plan kept for `text`, read on first sight; nil when it is read each time.
    const TLiteralPlan* Find(std::string_view text);

private:
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    using Map = std::unordered_map<std::string, std::unique_ptr<TLiteralPlan>, Hash, std::equal_to<>>;
    Map plans_;
    // The entries last found, by where their text stood: a literal in a loop finds
    // its plan again without hashing (its text is still compared).
    struct TMemo {
        const char* Position = nullptr;
        const Map::value_type* Entry = nullptr;
    };
    static constexpr size_t kMemoSlots = 64;
    TMemo memo_[kMemoSlots];
};
