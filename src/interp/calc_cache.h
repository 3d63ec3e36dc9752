// Compiled calculations: the tokens of a calculation's text, read once and kept by
// the text they came from. The calculator replays them instead of scanning the text;
// what a token stands for (a word's value, a group's result) is still worked out
// each time it is reached, in the same order as when the text is scanned.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "interp/interp.h"

// What the argument reader (PushCallArguments) reads in a call's argument list, kept
// for a list that holds only words and calculations: each argument is pushed as the
// word written, or as the value of its calculation (its program from the cache, nil
// when the calculation is scanned). Lists with literals, groups, nested calls,
// embeddings, joins or line breaks are read each time.
struct TCallPlan {
    struct TArg {
        bool Calculated = false;
        std::string Text;   // the word, or the calculation's text
        const TCalcProg* Program = nullptr;
    };
    std::vector<TArg> Args;
};
// The plan of the list `inner`; nil when it holds anything else.
std::unique_ptr<TCallPlan> ReadCallPlan(std::string_view inner);

struct TCalcTok {
    enum : uint8_t {
        Op,        // an operator: Text holds it as the calculator names it (&&, ||, <=, ...)
        Literal,   // a number as written (Text: its digits, hexadecimal already decimal)
        Word,      // a word without index, call or member: resolved when reached
        Call,      // a word before "(": a call when the name is callable, else a Word
                   // (in a calculation the group follows as a token of its own)
        Group,     // "(…)": Text is the inside, Sub its program (nil: scanned)
        Neg,       // "-" before a value: the value's text negated (NegatedText)
        Plus,      // "+" before a number: the number
        End,       // the end of the text: an empty text
    };
    uint8_t Type = End;
    bool HasNumber = false;   // Literal: Number is what ToNumber makes of Text
    uint8_t OpCode = 0;       // Op: CalcOperatorOf(Text)
    long double Number = 0;
    uint32_t EndOffset = 0;   // where the scanner stands after the token
    uint32_t CallEnd = 0;     // Call: where it stands after the argument list
    std::string Text;
    std::unique_ptr<TCalcProg> Sub;               // Group
    std::unique_ptr<TCalcTok> Operand;            // Neg, Plus: a Literal, Word, Group or End
    mutable THashNode* Node = nullptr;            // Word: the word the name found …
    mutable uint64_t Generation = ~uint64_t{0};   // … in this generation of the word table
    mutable THashNode* Callee = nullptr;          // Call: what the folded name found …
    mutable uint64_t CalleeGeneration = ~uint64_t{0};
    mutable std::unique_ptr<TCallPlan> CallArgs;   // Call: its argument list, once read
    mutable bool CallArgsRead = false;             // (nil after reading: the list is read each time)
};

// One step of a calculation worked out on numbers (TCalcProg::NumCode), in postfix
// order: operands are pushed, operators take the top two, in the calculator's order.
struct TNumOp {
    enum : uint8_t {
        Number,   // push Value
        Word,     // push the value of Tok's word (a variable's, or give up)
        Round,    // a group's result: written out and read back, as the calculator does
        Neg,      // negate the top (a number as written or as a result, or give up)
        Binary,   // Op (opMul … opOr) on the top two
        Call,     // push the result of the call Tok (a value program with calls only)
    };
    uint8_t Kind = Number;
    uint8_t Op = 0;
    bool IsInt = false;    // Number: Value is the whole number IValue
    bool Record = false;   // Word: a call comes after it, so its value is recorded
    long long IValue = 0;
    long double Value = 0;
    const TCalcTok* Tok = nullptr;
};

struct TCalcProg {
    std::vector<TCalcTok> Toks;   // in the order the calculator reads them; the last is End
    // A value text (the first value read as a value, the rest, if any, calculated
    // on from RestOffset): First is that value.
    std::unique_ptr<TCalcTok> First;
    bool HasRest = false;
    uint32_t RestOffset = 0;
    // Every token is a number, a plain word, an arithmetic, comparing or logical
    // operator, or a group of the same, in places the calculator accepts: the
    // calculation may be worked out on numbers alone when its words hold numbers.
    bool Numeric = false;
    // The same, with calls among the values (a value text only): the calls run as
    // they are reached and their results are taken as numbers.
    bool CallsNumeric = false;
    // Numeric, and nothing but a word, a whole number and the operator between them
    // (N<2, A+1): tried first on the word's whole number, without the stack.
    bool WordOpWhole = false;
    std::vector<TNumOp> NumCode;   // that calculation, when Numeric or CallsNumeric
    uint32_t NumDepth = 0;         // the operands it holds at most at once
};

// Reads `text` (zero-terminated at text.size()) as a calculation; nil when it holds
// anything the tokens do not cover (literals, indexes, calls, members, concatenation,
// syntax the calculator would reject): such texts are always scanned.
std::unique_ptr<TCalcProg> CompileCalculation(std::string_view text);
// The same for a value text: a value, then maybe an operator and a calculation.
std::unique_ptr<TCalcProg> CompileValueText(std::string_view text);

// The values of a calculation's tokens read by the numeric replay before it gave
// up (the calls it made, the words it read before a call): when the calculator then
// does the calculation, it takes these instead of reading them again, so no call
// runs twice and every word has the value it had where the calculation read it.
struct TRecordedOperand {
    const TCalcTok* Tok = nullptr;
    std::string Text;
    char Tag = 0;          // a one-letter tag ("e", "s", …), else 0 and the tag in LongTag
    std::string LongTag;   // (kept apart: the one-letter tags need no copy of a buffer)
    void SetTag(const std::string& tag)
    {
        Tag = tag.size() == 1 ? tag[0] : 0;
        if (!Tag)
            LongTag = tag;
    }
    void GiveTag(std::string& to) const
    {
        if (Tag)
            to.assign(1, Tag);
        else
            to = LongTag;
    }
    bool TagIs(char c) const { return Tag == c; }
};
struct TOperandRecord {
    static constexpr int kMax = 4;
    TRecordedOperand Items[kMax];
    int Count = 0;
    const TRecordedOperand* Find(const TCalcTok* t) const
    {
        for (int i = 0; i < Count; ++i)
            if (Items[i].Tok == t)
                return &Items[i];
        return nullptr;
    }
};

struct TCalcCache {
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    using Map = std::unordered_map<std::string, std::unique_ptr<TCalcProg>, Hash, std::equal_to<>>;
    // Texts longer than this are not kept; once kMaxEntries texts are kept, new ones
    // are scanned (nothing is ever dropped, so a running program stays valid).
    static constexpr size_t kMaxText = 512;
    static constexpr size_t kMaxEntries = 8192;
    Map Calculations;   // by calculation text
    Map Values;         // by value text
    // The program kept for `text`, compiled on first sight; nil when it is scanned.
    const TCalcProg* Find(Map& map, std::string_view text, bool valueText);
};

// Sets the calculator's token source, and the record it takes values from, for one
// calculation and restores them after.
struct TPoruBase::TCalcMode {
    TPoruBase& st;
    const TCalcTok* tok;
    const TCalcTok* last;
    const char* base;
    const TOperandRecord* record;
    TCalcMode(TPoruBase& s, const TCalcProg* prog, const char* b, const TOperandRecord* r = nullptr)
        : st(s), tok(s.calcTok_), last(s.calcLast_), base(s.calcBase_), record(s.calcRecord_)
    {
        st.calcRecord_ = r;
        if (prog && !prog->Toks.empty()) {
            st.calcTok_ = prog->Toks.data();
            st.calcLast_ = &prog->Toks.back();
        } else {
            st.calcTok_ = st.calcLast_ = nullptr;
        }
        st.calcBase_ = b;
    }
    ~TCalcMode()
    {
        st.calcTok_ = tok;
        st.calcLast_ = last;
        st.calcBase_ = base;
        st.calcRecord_ = record;
    }
    TCalcMode(const TCalcMode&) = delete;
    TCalcMode& operator=(const TCalcMode&) = delete;
};
