// The statement executor: reads the phrases of a sentence at the cursor, pushes
// them on the argument stack and runs the sentence's command at its end; also the
// assignment forms (X=…, Xは…, X#1は…, AのBは…).
#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "core/sjis.h"
#include "core/text.h"
#include "core/walker_mode.h"
#include "interp/builtins.h"
#include "interp/debug_link.h"
#include "interp/host.h"
#include "interp/interp.h"
#include "interp/text_util.h"
#include "loader/normaliser.h"
#include "loader/scanner.h"

namespace {

bool IsDigitChar(unsigned char c)
{
    return c >= '0' && c <= '9';
}

// The bytes that stop a run of ordinary characters in a statement.
constexpr std::array<bool, 256> kStatementStop = [] {
    std::array<bool, 256> t{};
    for (unsigned char c : {'\0', '\r', '\n', ';', '"', '`', '(', '&', ')'})
        t[c] = true;
    return t;
}();

// True when an embedded expression can only read variables: every word in it is a
// number, a variable or constant, or an unknown word (its own text); no call, no
// member or index access, no nested literal.
bool IsInertEmbedding(const THash& words, const std::string& embed)
{
    std::string half = ToHalf(embed);
    const char* p = half.c_str();
    while (*p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c == '"' || c == '`' || c == '#' || c == '{' || c == '}')
            return false;
        if (IsWordTerminator(c) || c == '$' || (c >= '0' && c <= '9') || c == '.') {
            ++p;
            continue;
        }
        std::string_view w = ReadWordView(p);
        if (w.empty()) {
            ++p;
            continue;
        }
        if (*p == '(')
            return false;
        THashNode* n = words.FindExact(w);
        if (n && n->Kind != wkVariable)
            return false;
        if (!n && EndsWithChar(w, "の"))
            return false;
    }
    return true;
}

// True when a literal can be expanded without running anything.
bool IsInertLiteral(const THash& words, std::string_view lit)
{
    if (lit.empty())
        return false;
    if (lit[0] == '`')
        return true;
    std::string embed;
    bool open = false;
    for (size_t i = 0; i < lit.size();) {
        unsigned char c = static_cast<unsigned char>(lit[i]);
        size_t n = IsLeadByte(c) && i + 1 < lit.size() ? 2 : 1;
        bool fullOpen = n == 2 && c == 0x81 && static_cast<unsigned char>(lit[i + 1]) == 0x6F;
        bool fullClose = n == 2 && c == 0x81 && static_cast<unsigned char>(lit[i + 1]) == 0x70;
        if (c == '\\' && !open) {
            i += 1 + (i + 1 < lit.size() ? CharLen(lit.data() + i + 1) : 0);
            continue;
        }
        if (c == '{' || fullOpen) {
            if (open)
                return false;
            open = true;
            embed.clear();
        } else if (c == '}' || fullClose) {
            if (open && !IsInertEmbedding(words, embed))
                return false;
            open = false;
        } else if (open) {
            embed.append(lit.substr(i, n));
        }
        i += n;
    }
    return !open;
}

}   // namespace

void TPoruBase::ReadLineMarker(const char*& p)
{
    ++textSteps_;
    while (*p == '\t' || *p == '\r' || *p == '\n' || *p == ' ')
        ++p;
    if (!IsDigitChar(static_cast<unsigned char>(*p))) {
        LineNo = -1;
        return;
    }
    // The usual marker: at most eight digits, then ":".
    {
        const char* q = p;
        int32_t line = 0;
        while (IsDigitChar(static_cast<unsigned char>(*q)) && q - p < 8)
            line = line * 10 + (*q++ - '0');
        if (*q == ':') {
            p = q + 1;
            LineNo = line + 1;
            return;
        }
    }
    int64_t n = 0;
    bool ok = true;
    while (*p && *p != ':') {
        if (IsDigitChar(static_cast<unsigned char>(*p)) && n < 100000000)
            n = n * 10 + (*p - '0');
        else
            ok = false;
        ++p;
    }
    if (*p == ':')
        ++p;
    // The marker holds the index of the line that starts here, counted from 0; the
    // state keeps line numbers counted from 1, as error messages show them.
    LineNo = ok ? static_cast<int32_t>(n) + 1 : -1;
}

void TPoruBase::SkipLabelLine(const char*& p)
{
    const char* limit = RunControl.BodyLimit();
    while (*p && *p != '\r' && *p != '\n' && p != limit)
        p += CharLen(p);
}

std::string TPoruBase::ReadToStatementEnd(const char*& p)
{
    std::string out;
    ScanStatement(p, &out);
    return out;
}

void TPoruBase::SkipToStatementEnd(const char*& p)
{
    ScanStatement(p, nullptr);
}

// Reads the rest of a statement into `out` (or only moves past it when `out` is
// nil): up to a line break, ";", the end of the text or the end of the innermost
// open body. Literals and groups are taken whole; "&" at the end of a line joins
// the next line.
void TPoruBase::ScanStatement(const char*& p, std::string* out)
{
    const char* limit = RunControl.BodyLimit();
    auto take = [&](const char* s) {
        if (out)
            out->append(s, p);
    };
    for (;;) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c == '\0' || c == '\r' || c == '\n' || c == ';' || p == limit)
            break;
        if (c == '"' || c == '`' || c == '(') {
            const char* s = p;
            if (c == '(')
                ScanGroupView(p);
            else
                ScanLiteralView(p);
            take(s);
            continue;
        }
        if (c == '&') {
            const char* q = p + 1;
            while (*q == ' ' || *q == '\t')
                ++q;
            if (*q == '\r' || *q == '\n') {
                if (out) {
                    *out += '&';
                    p = q;
                    StepInReading(p);
                } else {
                    p = q;
                    ReadLineMarker(p);
                }
                SkipSeparators(p);
                continue;
            }
        }
        // A run of ordinary characters is taken at once. A body ends at ")" or at
        // one of the statement's own ends, so only ")" needs the position test.
        const char* s = p;
        for (;;) {
            unsigned char d = static_cast<unsigned char>(*p);
            if (kStatementStop[d] && (d != ')' || p == limit))
                break;
            p += CharLen(p);
        }
        if (p == s)
            p += CharLen(p);
        take(s);
    }
}

std::string TPoruBase::ReadConcatTail(const char*& p, std::string phrase)
{
    SkipSpaces(p);
    if (*p != '&') {
        phrase += ReadWord(p);
        return phrase;
    }
    while (*p == '&') {
        ++p;
        SkipSeparators(p);
        if (*p == '\r' || *p == '\n') {
            StepInReading(p);
            SkipSeparators(p);
        }
        if (*p == '"' || *p == '`') {
            std::string v = ReadValue(p);
            phrase += '&';
            phrase += QuoteRaw(v);
            if (!p)
                return phrase;
            SkipSpaces(p);
            if (*p == '&')
                continue;
            phrase += ReadWord(p);
            break;
        }
        phrase += '&';
        phrase += ReadWord(p);
        SkipSpaces(p);
    }
    return phrase;
}

void TPoruBase::ExecuteStep(const char*& p)
{
    ++textSteps_;
    if (p && Args.Count() == 0 && !ReferenceWalker()) {
        // A line end with no sentence pending: what the phrase reader does there,
        // without making a phrase.
        if ((*p == '\r' || *p == '\n') && p != RunControl.BodyLimit()) {
            EndLine(p, p);
            return;
        }
        // A statement end with no sentence pending (after an assignment, "A=1;B=2"):
        // the phrase reader steps over it and has nothing to run.
        if (*p == ';' && p != RunControl.BodyLimit()) {
            ++p;
            return;
        }
        if (TStatementPlan* plan = StatementPlanAt(p)) {
            if (plan->Sentence) {
                if (RunWordSentence(p, *plan))
                    return;
            } else {
                // What reading the phrase and its "=" would do: the word is the left side.
                p += plan->Head.size();
                commaBreak_ = false;
                bool numbersTried = false;
                if (!AssignPlannedNumber(p, *plan, numbersTried))
                    Assign(p, plan->Left, nullptr, nullptr, plan, numbersTried);
                return;
            }
        }
    }
    // A phrase ending in "の" continues the sentence: loop instead of recursing, so a
    // long chain of such phrases cannot exhaust the stack.
    while (ExecutePhrase(p)) {
    }
}

bool TPoruBase::ExecutePhrase(const char*& p)
{
    if (!p)
        return false;
    TPhrase phrase;
    if (!ReadPhrase(p, phrase))
        return false;
    // Reading the phrase may have run a command that ended the run.
    if (!p)
        return false;
    return ActOnPhrase(p, phrase);
}

// The statement `variable = calculation` whose both sides are unchanged since they
// were planned, when the calculation works out on numbers alone: what Assign does for
// it, without its general steps. False when Assign is to do it; `tried` tells it the
// numbers gave up already.
bool TPoruBase::AssignPlannedNumber(const char*& p, TStatementPlan& stmt, bool& tried)
{
    if (!stmt.RightChecked || !stmt.Right->Program || stmt.Generation != Words.Generation() || !stmt.Owner.empty())
        return false;
    THashNode* self = stmt.Node;
    if (!self || self->Kind != wkVariable || self->Reserved)
        return false;
    TNumResult v;
    if (!RunNumeric(*stmt.Right->Program, v)) {
        tried = true;
        return false;
    }
    p += stmt.Right->Text.size();
    StoreNumberResult(*self, v);
    return true;
}

void TPoruBase::StoreNumberResult(THashNode& self, const TNumResult& v)
{
    SetPendingTag('e');
    if (v.Int && v.I > -kWholeLimit && v.I < kWholeLimit)
        StoreWholeNumber(self, v.I);
    else if (long long whole; NumberResultText(v, self.Value, whole))
        self.SetMemo(whole);
    if (self.TypeText.size() != 1 || self.TypeText[0] != 'e')
        self.TypeText.assign(1, 'e');
}

// Reads the phrase at the cursor into `phrase`. False when there is none to act on:
// the statement ended here (its command ran), or reading it ended the run.
bool TPoruBase::ReadPhrase(const char*& p, TPhrase& phrase)
{
    const char* start = p;
    SkipSeparators(p);
    unsigned char c = static_cast<unsigned char>(*p);
    if (p == RunControl.BodyLimit())
        c = '\0';   // the end of the body runs the sentence like the end of a text
    switch (c) {
    case '\0':
        RunSentenceCommand();
        return false;
    case '\r':
    case '\n':
        EndLine(p, start);
        return false;
    case '*':
        SkipLabelLine(p);
        return false;
    case ';':
        ++p;
        RunSentenceCommand();
        return false;
    case '?':
        ++p;
        ConditionQuestion(p);
        return false;
    case '"':
    case '`': {
        std::string v = ExpandLiteral(ScanLiteralView(p));
        if (!p)
            return false;   // an embedding ended the run (待機, 終わり)
        SkipSpaces(p);
        phrase.Text = ReadConcatTail(p, QuoteRaw(v));
        phrase.Plain = false;
        return true;
    }
    case '(': {
        phrase.Text = ScanGroup(p);
        phrase.Text += ReadWord(p);
        phrase.Plain = false;
        return true;
    }
    case '#':
        return ReadIndexedPhrase(p, phrase);
    default:
        break;
    }
    if (c == '$' || c == '+' || c == '-' || IsDigitChar(c)) {
        ReadNumberPhrase(p, phrase.Text);
        phrase.Plain = false;
        return true;
    }
    phrase.Text = ReadWord(p);
    if (phrase.Text.empty()) {
        std::string ch(p, CharLen(p));
        std::string msg = "\"" + ch + "\"は、文法が正しくないため、実行できません。";
        if (c == '&')
            msg += "\"&\"は、文字列との連結に使います。";
        else if (IsOperatorChar(c))
            msg += "\"" + ch + "\"は、計算式で使います。";
        p += ch.size();
        Error(msg);
    }
    if (Sys.Soshite && phrase.Text == Sys.Soshite->Name) {
        RunSentenceCommand();
        return false;
    }
    return true;
}

// A line break at `p` (the phrase began at `start`): the sentence runs, unless a
// comma before the break carries it on to the next line.
void TPoruBase::EndLine(const char*& p, const char* start)
{
    bool comma = (p > start && p[-1] == ',') || commaBreak_;
    commaBreak_ = false;
    if (comma) {
        ReadLineMarker(p);
        return;
    }
    // The sentence runs while the cursor is still on its own line, so errors name
    // that line; the marker is read afterwards unless the command moved the cursor.
    const char* at = p;
    if (Args.Count() > 0)   // an empty line has no sentence to run
        RunSentenceCommand();
    if (p == at)
        ReadLineMarker(p);
    if (LineStop)
        StopAfterLine(*this);   // single-step mode: the debugger after every line
}

// An element of the variable on the stack: "#" with a row (A#1) and maybe a column
// (A#1#2), each a word or a group. False when evaluating the column ended the run.
bool TPoruBase::ReadIndexedPhrase(const char*& p, TPhrase& phrase)
{
    phrase.Variable = Args.Pop();
    if (!Words.FindExact(phrase.Variable))
        Words.Add(new THashNode(phrase.Variable, "", "", "", -1, wkVariable, const_cast<char*>(Cursor), false));
    auto readIndex = [&]() {
        if (*p == '(')
            return ScanGroup(p);
        return ReadWord(p);
    };
    ++p;
    phrase.Row = readIndex();
    SkipSpaces(p);
    phrase.HasRow = true;
    if (*p == '#') {
        ++p;
        phrase.Column = readIndex();
        if (EndsWithChar(phrase.Column, "は")) {
            p -= 2;
            phrase.Column.resize(phrase.Column.size() - 2);
        }
        // A numeric second index keeps the particle written after it (2を).
        std::string particle;
        const std::string& column = phrase.Column;
        if (!column.empty() && (IsDigitChar(static_cast<unsigned char>(column[0])) || column[0] == '$')) {
            const char* q = phrase.Column.c_str();
            std::string num = ReadNumberLiteral(q);
            particle = q;
            phrase.Column = num;
        } else {
            phrase.Column = EvaluateValue(phrase.Column);
            if (!p)
                return false;   // the index ended the run (a function that ends it)
        }
        phrase.HasColumn = true;
        phrase.Text = phrase.Variable + "#" + phrase.Row + "#" + phrase.Column + particle;
    } else {
        phrase.Text = phrase.Variable + "#" + phrase.Row;
    }
    if (!IsWordTerminator(static_cast<unsigned char>(*p)))
        phrase.Text += ReadWord(p);
    phrase.Plain = false;
    return true;
}

// A number, and the calculation it starts (1+2), with the word that follows.
void TPoruBase::ReadNumberPhrase(const char*& p, std::string& text)
{
    text = ReadNumberLiteral(p);
    SkipSpaces(p);
    while (IsOperatorChar(static_cast<unsigned char>(*p))) {
        while (IsOperatorChar(static_cast<unsigned char>(*p)))
            text += *p++;
        SkipSpaces(p);
        text += ReadNumberLiteral(p);
        SkipSpaces(p);
        text = CalculateText(text);
    }
    unsigned char d = static_cast<unsigned char>(*p);
    if (!(d == '\r' || d == '\n' || d == ',' || d == ';' || d == 0xA4))
        text += ReadWord(p);
}

// What the phrase's ending and the sign after it make of it: an assignment, a
// concatenation, a loop or branch, a call, or an argument of the sentence. True when
// the sentence goes on.
bool TPoruBase::ActOnPhrase(const char*& p, TPhrase& phrase)
{
    std::string& text = phrase.Text;
    const char* after = p;
    SkipSeparators(p);
    // A comma right before a line break continues the sentence on the next line.
    commaBreak_ = p > after && p[-1] == ',' && (*p == '\r' || *p == '\n') && p != RunControl.BodyLimit();
    if (*p == '=') {
        ++p;
        const std::string* row = phrase.HasRow ? &phrase.Row : nullptr;
        const std::string* col = phrase.HasColumn ? &phrase.Column : nullptr;
        if (phrase.HasRow)
            text = phrase.Variable;
        Assign(p, text, row, col);
        return false;
    }
    if (*p == '&') {
        ConcatenatePhrase(p, phrase);
        return false;
    }
    if (EndsWithChar(text, "の")) {
        Args.Push(std::move(text));
        return true;
    }
    if (EndsWithChar(text, "は")) {
        text.resize(text.size() - 2);
        const std::string* row = phrase.HasRow ? &phrase.Row : nullptr;
        const std::string* col = phrase.HasColumn ? &phrase.Column : nullptr;
        if (phrase.HasRow) {
            if (!phrase.HasColumn && EndsWithChar(phrase.Row, "は"))
                phrase.Row.resize(phrase.Row.size() - 2);
            text = phrase.Variable;
        }
        Assign(p, text, row, col);
        return false;
    }
    if (EndsWithChar(text, "回")) {
        text.resize(text.size() - 2);
        RunTimesLoop(p, text);
        return false;
    }
    if (EndsWithChar(text, "の時")) {
        text.resize(text.size() - 4);
        RunCaseBranch(p, text);
        return false;
    }
    if (EndsWithChar(text, "て")) {
        THashNode* n = FindFolded(text);
        if (n && (n->Kind == wkCommand || n->Kind == wkLabel || n->Kind == wkDllFunc)) {
            if (*after == '(') {
                p = after;
                CallWithParentheses(text, p, false);
            } else {
                InvokeWord(n);
            }
            return false;
        }
    }
    if (phrase.Plain && RunPlainPhrase(p, after, text))
        return false;
    Args.Push(std::move(text));
    return AtEnd(p);
}

// A phrase followed by "&": the concatenation it starts becomes one argument. A
// bare variable (or member of the object or table before it) joins with its value.
void TPoruBase::ConcatenatePhrase(const char*& p, TPhrase& phrase)
{
    std::string value;
    bool hasValue = false;
    if (phrase.Plain) {
        if (THashNode* n = Words.FindExact(phrase.Text)) {
            if (n->Kind == wkVariable) {
                value = n->Value;
                hasValue = true;
            } else if (n->Kind == wkHash && n->Table()) {
                value = n->Table()->Pairs();
                hasValue = true;
            }
        } else if (Args.Count() > 0 && EndsWithChar(Args.Items().back(), "の")) {
            const std::string& owner = Args.Items().back();
            THashNode* o = Words.FindExact(std::string_view(owner).substr(0, owner.size() - 2));
            if (o && (o->Kind == wkObject || o->Kind == wkHash)) {
                std::string text = owner + phrase.Text;
                const char* q = text.c_str();
                Args.Pop();
                value = ReadValue(q);
                hasValue = true;
            }
        }
    }
    if (!p)
        return;
    if (hasValue)
        phrase.Text = ReadConcatTail(p, QuoteRaw(value));
    else
        phrase.Text = ReadConcatTail(p, std::move(phrase.Text));
    Args.Push(std::move(phrase.Text));
}

// A bare word: a structure word (もし, 繰り返す, 反復, ループ) runs its sentence at
// once; a command, label or library function written name(arguments) is called, its
// result becoming それ at the end of the statement or else the phrase (`after` is
// where the word ended). True when the statement is done with.
bool TPoruBase::RunPlainPhrase(const char*& p, const char* after, std::string& text)
{
    // Folding keeps a word's first character, so only words that begin like one of
    // the structure words are folded to compare.
    auto mayFoldToStructureWord = [&text] {
        if (ReferenceWalker())
            return true;
        std::string_view head = std::string_view(text).substr(0, 2);
        return head == std::string_view("繰返", 2) || head == std::string_view("反復", 2) ||
               head == std::string_view("ループ", 2);
    };
    thread_local std::string folded;
    folded.clear();
    if (mayFoldToStructureWord())
        FoldOkuriganaInto(text, folded);
    if (text == "もし" || folded == "繰返" || folded == "反復" || folded == "ループ") {
        Args.Push(std::move(text));
        RunSentenceCommand();
        return true;
    }
    if (*p == '(') {
        THashNode* n = FindFolded(text);
        if (n && (n->Kind == wkCommand || n->Kind == wkLabel || n->Kind == wkDllFunc)) {
            p = after;
            std::string result = CallWithParentheses(text, p, false);
            if (!p)
                return true;
            SkipSpaces(p);
            if (*p == '\0' || *p == '\r' || *p == ';' || p == RunControl.BodyLimit()) {
                // それ takes the call's result with the tag the call left pending.
                const std::string tag = LastTypeTag;
                SetSore(std::move(result), tag.c_str());
                return true;
            }
            text = ValueAsPhrase(result, LastTypeTag);
            text += ReadWord(p);
            SkipSeparators(p);
        }
    }
    return false;
}

namespace {

// True when the word read from before `end` is a sentence of its own: only blanks
// and the sentence's end follow it (no comma, which carries the sentence on), and the
// phrase reader does nothing with it but put it on the stack: no particle or ending
// that it acts on (の, は, 回, の時, て) and no structure word (もし, and 繰り返す,
// 反復, ループ in any spelling).
bool IsWordSentence(std::string_view word, const char* end)
{
    while (*end == ' ' || *end == '\t')
        ++end;
    const char c = *end;
    if (!(c == '\r' || c == '\n' || c == '\0' || c == ';' || c == ')'))
        return false;
    for (const char* ending : {"の", "は", "回", "の時", "て"})
        if (EndsWithChar(word, ending))
            return false;
    const std::string_view head = word.substr(0, 2);
    return word != "もし" && head != std::string_view("繰返", 2) && head != std::string_view("反復", 2) &&
           head != std::string_view("ループ", 2);
}

}   // namespace

TPoruBase::TStatementPlan* TPoruBase::StatementPlanAt(const char* p)
{
    constexpr size_t kMaxPlans = 65536;
    // Like the right sides' plans: only where statements run again.
    if (RunControl.Count() == 0 && RunControl.LevelCount() == 0)
        return nullptr;
    TStatementMemo& memo = statementMemo_[(reinterpret_cast<uintptr_t>(p) >> 1) & 255];
    TStatementPlan* plan = memo.Position == p ? memo.Plan : nullptr;
    if (!plan) {
        auto it = statementPlans_.find(p);
        if (it == statementPlans_.end()) {
            if (statementPlans_.size() >= kMaxPlans)
                return nullptr;
            it = statementPlans_.emplace(p, ReadStatementPlan(p)).first;
        }
        plan = &it->second;
        memo = TStatementMemo{p, plan};
    }
    if (!plan->Usable)
        return nullptr;
    const char* limit = RunControl.BodyLimit();
    // Both sides at once when the right side's plan is known; the left alone when
    // they differ (the right side is then read afresh).
    if (plan->Right) {
        const size_t n = plan->Whole.size();
        plan->RightChecked = std::strncmp(p, plan->Whole.data(), n) == 0 && !(limit >= p && limit < p + n) &&
                             AssignPlanEndsAt(*plan->Right, p + n, limit);
        if (plan->RightChecked)
            return plan;
    }
    const size_t n = plan->Head.size();
    if (std::strncmp(p, plan->Head.data(), n) != 0 || (limit >= p && limit < p + n))
        return nullptr;
    // A one-word sentence ends at its line's end, ";" or the end of the text, or at
    // ")" only where the body it stands in ends.
    if (plan->Sentence && !plan->Structure && p[n] == ')' && p + n != limit)
        return nullptr;
    return plan;
}

// The one-word sentence of `plan` at p: what reading its phrase and the end after it
// does (the word is the whole sentence; もし runs on the text after it), with the
// word found once per generation.
// False when the statement is to be read the usual way (nothing was done).
bool TPoruBase::RunWordSentence(const char*& p, TStatementPlan& plan)
{
    const char* after = p + plan.Head.size();
    const char* q = after;
    if (plan.Structure) {
        // もし runs at once, on what follows the separators after it, unless "=" or
        // "&" makes the word something assigned or joined.
        SkipSeparators(q);
        if (*q == '=' || *q == '&')
            return false;
    }
    const uint64_t generation = Words.Generation();
    if (plan.Generation != generation) {
        plan.Node = FindFolded(plan.Left);
        plan.Generation = generation;
    }
    auto run = [&] {
        if (plan.Node) {
            InvokeSentenceWord(plan.Node);
        } else {
            Args.Push(plan.Left);
            RunSentenceCommand();   // an unknown word: the usual error
        }
    };
    p = q;
    if (plan.Structure) {
        commaBreak_ = p > after && p[-1] == ',' && (*p == '\r' || *p == '\n') && p != RunControl.BodyLimit();
        run();
        return true;
    }
    commaBreak_ = false;
    const bool lineEnd = p != RunControl.BodyLimit() && (*p == '\r' || *p == '\n');
    if (*p == ';' && p != RunControl.BodyLimit())
        ++p;
    // As at the end of a line: the sentence runs while the cursor is still on its
    // line, and the marker is read afterwards unless the word moved the cursor.
    const char* at = p;
    run();
    if (lineEnd) {
        if (p == at)
            ReadLineMarker(p);
        if (LineStop)
            StopAfterLine(*this);
    }
    return true;
}

// The plan of the statement at p: usable when ReadPhrase reads a word there and
// ActOnPhrase finds "=" after it, or the word is a sentence of its own or もし (a
// body ending inside is checked on each use).
TPoruBase::TStatementPlan TPoruBase::ReadStatementPlan(const char* p) const
{
    TStatementPlan plan;
    // A word the phrase reader reads as it stands (nothing else starts there), not そして.
    auto plainWord = [&](const char*& q) {
        const unsigned char c = static_cast<unsigned char>(*q);
        if (std::strchr("*;?\"`(#$+-=", c) || IsDigitChar(c) || c == '\r' || c == '\n' || c == '\0')
            return std::string_view();
        const std::string_view w = ReadWordView(q);
        return Sys.Soshite && w == Sys.Soshite->Name ? std::string_view() : w;
    };
    const char* q = p;
    SkipSeparators(q);
    const std::string_view word = plainWord(q);
    if (word.empty())
        return plan;
    if (word == "もし") {
        plan.Head.assign(p, q);
        plan.Left.assign(word);
        plan.Sentence = plan.Structure = true;
        plan.Usable = true;
        return plan;
    }
    if (IsWordSentence(word, q)) {
        SkipSpaces(q);
        plan.Head.assign(p, q);
        plan.Left.assign(word);
        plan.Sentence = true;
        plan.Usable = true;
        return plan;
    }
    SkipSeparators(q);
    if (*q == '=') {
        ++q;
        plan.Head.assign(p, q);
        plan.Left.assign(word);
        plan.Usable = true;
        return plan;
    }
    // "Aの、B=": the first phrase ends in "の" and goes on the stack; the second is a
    // word ReadPhrase reads as it stands, followed by "=".
    if (*q == '&' || !EndsWithChar(word, "の"))
        return plan;
    const std::string_view member = plainWord(q);
    if (member.empty())
        return plan;
    SkipSeparators(q);
    if (*q != '=')
        return plan;
    ++q;
    plan.Head.assign(p, q);
    plan.Left.assign(member);
    plan.Owner.assign(word.substr(0, word.size() - 2));
    plan.Usable = true;
    return plan;
}

void TPoruBase::Assign(const char*& p, const std::string& left, const std::string* rowText, const std::string* colText,
                       TStatementPlan* stmt, bool numbersTried)
{
    if (Args.Count() > 0) {
        AssignMember(p, left);
        return;
    }
    if (stmt && !stmt->Owner.empty()) {
        AssignMemberOf(p, stmt->Owner, left, stmt);
        return;
    }
    if (!left.empty() && (left[0] == '"' || left[0] == '`'))
        Error("\"" + left +
              "の代入文\"は、文法が正しくないため、実行できません。『変数名は、「内容」』のように書いてください。");
    // A plain right side read before at this place of the text is not read again.
    const TAssignPlan* plan = nullptr;
    if (stmt && stmt->RightChecked) {
        plan = stmt->Right;
        p += plan->Text.size();
    } else if (!rowText && !ReferenceWalker()) {
        plan = AssignPlanAt(p);
        if (plan && stmt && !stmt->Right) {
            stmt->Right = plan;
            stmt->Whole = stmt->Head + plan->Text;
        }
    }
    std::string scanned;
    if (!plan)
        scanned = ReadToStatementEnd(p);
    const std::string& rightText = plan ? plan->Text : scanned;

    THashNode* self = nullptr;
    if (stmt) {
        if (stmt->Generation != Words.Generation()) {
            stmt->Node = Words.FindExact(left);
            stmt->Generation = Words.Generation();
        }
        self = stmt->Node;
    } else if (!rowText) {
        self = Words.FindExact(left);
    }
    const bool plainVariable = !rowText && self && self->Kind == wkVariable && !self->Reserved;
    if (plainVariable && (!plan || plan->HasJoin) && AppendInPlace(*self, left, rightText, plan))
        return;
    // A number worked out from numbers is written straight into the variable, as
    // StoreAssigned would store it.
    if (TNumResult v; plainVariable && plan && plan->Program && !numbersTried && RunNumeric(*plan->Program, v)) {
        StoreNumberResult(*self, v);
        return;
    }

    const uint64_t generation = Words.Generation();
    std::string right = plan ? PlannedValue(*plan) : EvaluateValue(rightText);
    // The right side may have run code that removed or renamed the word (名義変更 in
    // a called label): it is found again, and made afresh when it is gone.
    if (!rowText && Words.Generation() != generation) {
        self = Words.FindExact(left);
        if (stmt) {
            stmt->Node = self;
            stmt->Generation = Words.Generation();
        }
    }
    // What StoreAssigned does for a plain variable (still one after the right side
    // ran), without copying the tag.
    if (plan && self && self->Kind == wkVariable && !self->Reserved && LastTypeTag != "hs") {
        self->Value = std::move(right);
        if (self->TypeText != LastTypeTag)
            self->TypeText = LastTypeTag;
        return;
    }
    std::string tag = LastTypeTag;
    THashNode* node = rowText ? AssignTableCell(left, right, tag, *rowText, colText) : self;
    if (!node) {
        node = THashNode::CreateVariable(left, right, static_cast<int32_t>(RunControl.Count()), false);
        node->TypeText = tag;
        Words.Add(node);
    }
    StoreAssigned(node, right, tag);
}

std::string TPoruBase::PlannedValue(const TAssignPlan& plan)
{
    if (plan.Program)
        return RunValueProgram(*plan.Program, plan.Text.c_str());
    if (plan.Literal) {
        // What the value reader makes of a literal: its expansion, tagged as text.
        std::string v = RunLiteralPlan(*plan.Literal);
        SetPendingTag('s');
        return v;
    }
    if (plan.Word.Plain) {
        // One word, read by name as the value reader would; what a command or a
        // label gives is taken as it comes, not appended to an empty text.
        if (THashNode* n = WordOf(plan.Word); n && n->Kind != wkVariable)
            return WordValue(n, plan.Word.Text);
        std::string v;
        AppendWordValue(plan.Word, v);
        return v;
    }
    return EvaluateValue(plan.Text);
}

// Appending to the same variable (S=S&…) with nothing that can run code on the
// right extends the value in place instead of copying it: keeps loops that build
// long texts linear. False, with nothing changed, when the right side is anything else.
bool TPoruBase::AppendInPlace(THashNode& self, const std::string& left, const std::string& rightText,
                              const TAssignPlan* assignPlan)
{
    constexpr size_t kMaxPlans = 4096, kMaxText = 512;
    // A right side kept by position remembers its append plan (kept by text).
    const TAppendPlan* plan = assignPlan ? assignPlan->Append : nullptr;
    TAppendPlan fresh;
    if (!plan) {
        // Most right sides are no append: the first word and the "&" after it are
        // looked at before any plan is looked for (or kept).
        const char* q = rightText.c_str();
        SkipSeparators(q);
        if (ReadWordView(q) != left)
            return false;
        SkipSeparators(q);
        if (*q != '&' || q[1] == '&')
            return false;
    }
    if (!plan && !ReferenceWalker() && rightText.size() <= kMaxText) {
        auto it = appendPlans_.find(rightText);
        if (it == appendPlans_.end() && appendPlans_.size() < kMaxPlans)
            it = appendPlans_.emplace(rightText, ReadAppendPlan(rightText)).first;
        if (it != appendPlans_.end()) {
            plan = &it->second;
            if (assignPlan)
                assignPlan->Append = plan;
        }
    }
    if (!plan) {
        fresh = ReadAppendPlan(rightText);
        plan = &fresh;
    }
    if (!plan->Usable || plan->Self != left)
        return false;
    if (plan->TextOnly) {
        // Nothing to look up or expand: the texts go on as one.
        self.Value += plan->Joined;
    } else if (!AppendItems(self, *plan)) {
        return false;
    }
    // Both tags are mostly "s" already: only a different one is written.
    if (self.TypeText.size() != 1 || self.TypeText[0] != 's')
        self.TypeText.assign(1, 's');
    SetPendingTag('s');
    return true;
}

// The parts of an append plan holding words or literals with embeddings, appended to
// self: false, with nothing appended, when one of them is no longer what the plan took.
bool TPoruBase::AppendItems(THashNode& self, const TAppendPlan& plan)
{
    // Everything is checked, and literals with embeddings expanded, before anything is
    // appended: an embedding may read the variable itself.
    std::vector<std::string> expanded;
    for (const TAppendPlan::TItem& item : plan.Items) {
        if (item.What == TAppendPlan::Word) {
            THashNode* n = Words.FindExact(item.Text);
            if (!n || n->Kind != wkVariable)
                return false;
        } else if (item.What == TAppendPlan::Literal) {
            if (!IsInertLiteral(Words, item.Text))
                return false;
            expanded.push_back(ExpandLiteral(item.Text));
        }
    }
    size_t next = 0;
    for (const TAppendPlan::TItem& item : plan.Items) {
        if (item.What == TAppendPlan::Word)
            self.Value += Words.FindExact(item.Text)->Value;
        else
            self.Value += item.What == TAppendPlan::Text ? item.Text : expanded[next++];
    }
    return true;
}

// The parts of S&…&… as AppendInPlace reads them: not Usable when the right side is
// no append of that shape at all.
TPoruBase::TAppendPlan TPoruBase::ReadAppendPlan(const std::string& rightText)
{
    TAppendPlan plan;
    const char* q = rightText.c_str();
    SkipSeparators(q);
    std::string_view w = ReadWordView(q);
    SkipSeparators(q);
    if (w.empty() || *q != '&' || q[1] == '&')
        return plan;
    plan.Self.assign(w);
    while (*q == '&' && q[1] != '&') {
        ++q;
        SkipSeparators(q);
        if (*q == '"' || *q == '`') {
            const char* s = q;
            try {
                ReadLiteral(q);
            } catch (const EPoru&) {
                return plan;
            }
            std::string_view lit(s, q - s);
            // A literal without embeddings expands to the same text every time.
            if (lit[0] == '"' &&
                (lit.find('{') != std::string_view::npos || lit.find("\x81\x6F") != std::string_view::npos)) {
                plan.Items.push_back({TAppendPlan::Literal, std::string(lit)});
            } else {
                const std::string tag = LastTypeTag;   // expanding sets it; nothing is run yet
                plan.Items.push_back({TAppendPlan::Text, ExpandLiteral(lit)});
                LastTypeTag = tag;
            }
        } else {
            std::string_view v = ReadWordView(q);
            if (v.empty() || *q == '#' || *q == '(')
                return plan;
            plan.Items.push_back({TAppendPlan::Word, std::string(v)});
        }
        SkipSeparators(q);
    }
    plan.Usable = *q == '\0';
    plan.TextOnly = std::all_of(plan.Items.begin(), plan.Items.end(),
                                [](const TAppendPlan::TItem& item) { return item.What == TAppendPlan::Text; });
    if (plan.TextOnly)
        for (const TAppendPlan::TItem& item : plan.Items)
            plan.Joined += item.Text;
    return plan;
}

// A[row]=… and A[row][col]=…: when the row (and the column, when given) is a number,
// `right` becomes the table held by `left` with that row or cell replaced, tagged as
// text. Returns the word `left` names, looked up once the indexes are evaluated.
THashNode* TPoruBase::AssignTableCell(const std::string& left, std::string& right, std::string& tag,
                                      const std::string& rowText, const std::string* colText)
{
    std::string r = rowText;
    if (EndsWithChar(r, "は"))
        r.resize(r.size() - 2);
    std::string rv = EvaluateValue(r);
    int32_t row = ToIntOrDefault(rv, INT32_MIN);
    int32_t col = INT32_MIN;
    if (colText && row != INT32_MIN) {
        std::string cv = *colText;
        if (EndsWithChar(cv, "は"))
            cv.resize(cv.size() - 2);
        cv = EvaluateValue(cv);
        col = ToIntOrDefault(cv, INT32_MIN);
    }
    THashNode* node = Words.FindExact(left);
    if (row != INT32_MIN) {
        std::string table = node ? node->Value : std::string();
        if (col != INT32_MIN)
            right = CsvSetCell(table, col, row, right);
        else
            right = CsvSetRow(table, row, right);
        tag = "s";
    }
    return node;
}

// Stores an assigned value with its type tag in the word it names, by the kind of word.
void TPoruBase::StoreAssigned(THashNode* node, std::string& right, std::string& tag)
{
    switch (node->Kind) {
    case wkCommand: {
        if (node->Name == "作業フォルダ") {
            Args.Push(QuoteRaw(right));
            bool saved = SetterCall;
            SetterCall = true;
            try {
                Dispatch(node);
            } catch (...) {
                SetterCall = saved;
                throw;
            }
            SetterCall = saved;
            return;
        }
        Error("\"" + node->Name + "\"は\"システム命令\"で予約語なので代入できません。");
    }
    case wkVariable:
        if (node->Reserved)
            Error("\"" + node->Name + "\"は、読取専用です。");
        if (tag == "hs") {
            THash* t = new THash();
            t->LoadPairs(right);
            node->Value.clear();
            node->SetTable(t);
            return;
        }
        node->Value = std::move(right);
        node->TypeText = std::move(tag);
        return;
    case wkObject:
        Host->SetObjectValue(*this, node, right);
        Sys.So->CopyFrom(*node);
        return;
    case wkHash:
        if (tag == "hs") {
            THash* t = new THash();
            t->LoadPairs(right);
            node->SetTable(t);
            return;
        }
        node->DropTable();
        node->Kind = wkVariable;
        node->Value = std::move(right);
        node->TypeText = std::move(tag);
        return;
    default:
        Error("\"" + node->Name + "\"は、文法が正しくないため、実行できません。代入出来ません。");
    }
}

void TPoruBase::AssignMember(const char*& p, const std::string& member)
{
    std::string owner = Args.Pop();
    if (!EndsWithChar(owner, "の"))
        Error("オブジェクトへの不正な代入(" + owner + "," + member +
              ")。『オブジェクトの、項目名は、値』の形式で指定してください。");
    owner.resize(owner.size() - 2);
    AssignMemberOf(p, owner, member, nullptr);
}

void TPoruBase::AssignMemberOf(const char*& p, const std::string& owner, const std::string& member,
                               TStatementPlan* stmt)
{
    // Whether the statement plan found its right side unchanged, taken before the
    // owner is evaluated.
    const bool rightChecked = stmt && stmt->RightChecked;
    THashNode* n;
    if (stmt) {
        if (stmt->Generation != Words.Generation()) {
            stmt->Node = Words.FindExact(owner);
            stmt->Generation = Words.Generation();
        }
        n = stmt->Node;
    } else {
        n = Words.FindExact(owner);
    }
    if (!n) {
        std::string v = EvaluateValue(owner);
        n = Words.FindExact(v);
        if (!n) {
            n = new THashNode(owner, "", "ハッシュ", "ハッシュ", static_cast<int32_t>(RunControl.Count()), wkHash,
                              nullptr, false);
            n->SetTable(new THash());
            Words.Add(n);
        }
    } else if (n->Kind == wkVariable) {
        std::string v = EvaluateValue(owner);
        if (THashNode* other = Words.FindExact(v))
            n = other;
    }
    if (n->Kind == wkHash && !ReferenceWalker()) {
        // A right side read before at this place of the text is not read again.
        const char* at = p;
        const TAssignPlan* plan = nullptr;
        if (rightChecked) {
            // The statement plan compared the right side with the rest of its text.
            plan = stmt->Right;
            p += plan->Text.size();
        } else if ((plan = AssignPlanAt(p)) && stmt && !stmt->Right) {
            stmt->Right = plan;
            stmt->Whole = stmt->Head + plan->Text;
        }
        if (plan) {
            AssignHashMember(n, member, at, *plan, rightChecked ? stmt : nullptr);
            return;
        }
    }
    std::string right = Trim(ReadToStatementEnd(p));
    const std::string ownerName = n->Name;
    const uint8_t kind = n->Kind;
    const uint64_t generation = Words.Generation();
    switch (kind) {
    case wkVariable: {
        std::string name = EvaluateValue(member);
        std::string value = EvaluateValue(right);
        n = OwnerAfterEvaluating(n, ownerName, kind, generation);
        n->Value = SetPairValue(n->Value, name, value);
        return;
    }
    case wkObject:
        Host->SetObjectProperty(*this, n, member, right);
        return;
    case wkHash: {
        std::string name = EvaluateValue(member);
        std::string value = EvaluateValue(right);
        n = OwnerAfterEvaluating(n, ownerName, kind, generation);
        if (!n->Table())
            n->SetTable(new THash());
        std::string tag = LastTypeTag;
        THash* t = n->Table();
        if (THashNode* m = t->FindExact(name)) {
            m->TypeText = tag;
            m->Value = std::move(value);
        } else {
            THashNode* m2 = THashNode::CreateVariable(name, value, static_cast<int32_t>(RunControl.Count()), false);
            m2->TypeText = tag;
            m2->Payload = const_cast<char*>(Cursor);
            t->Add(m2);
        }
        return;
    }
    default:
        Error("\"" + owner + "\"には代入できません！");
    }
}

// The owner of a member assignment once its member and value were evaluated: they may
// have run code that removed or renamed it (名義変更 in a called label). The word of
// its name then, or a new hash of that name; a word of another kind cannot take it.
THashNode* TPoruBase::OwnerAfterEvaluating(THashNode* n, const std::string& name, uint8_t kind, uint64_t generation)
{
    if (Words.Generation() == generation)
        return n;
    // n is only compared from here on: it may be gone.
    THashNode* again = Words.FindExact(name);
    if (again == n)
        return n;
    if (!again) {
        if (kind == wkVariable) {
            again = THashNode::CreateVariable(name, "", static_cast<int32_t>(RunControl.Count()), false);
        } else if (kind == wkHash) {
            again = new THashNode(name, "", "ハッシュ", "ハッシュ", static_cast<int32_t>(RunControl.Count()), wkHash,
                                  nullptr, false);
            again->SetTable(new THash());
        } else {
            Error("\"" + name + "\"には代入できません！");
        }
        Words.Add(again);
        return again;
    }
    if (again->Kind != kind)
        Error("\"" + name + "\"には代入できません！");
    return again;
}

// AssignMember for a hash variable, the right side's text taken from its plan: the
// same steps, with the member and a one-word right side read by name.
void TPoruBase::AssignHashMember(THashNode* n, const std::string& member, const char* at, const TAssignPlan& plan,
                                 TStatementPlan* stmt)
{
    constexpr size_t kMaxPlans = 65536;
    // The statement's own member plan was found for this very member and right side.
    if (stmt && stmt->Member) {
        AssignHashMemberBy(n, member, plan, *stmt->Member, stmt->Member->Value.Text);
        return;
    }
    const std::string_view right = TrimView(plan.Text);
    TMemberMemo& memo = memberMemo_[(reinterpret_cast<uintptr_t>(at) >> 2) % std::size(memberMemo_)];
    const TMemberPlan* mp = memo.Position == at ? memo.Plan : nullptr;
    if (!mp) {
        auto it = memberPlans_.find(at);
        if (it == memberPlans_.end() && memberPlans_.size() < kMaxPlans) {
            TMemberPlan fresh;
            fresh.Member.Text = member;
            fresh.Member.Plain = IsPlainWordText(member);
            fresh.Value.Text = right;
            fresh.Value.Plain = IsPlainWordText(right);
            it = memberPlans_.emplace(at, std::move(fresh)).first;
        }
        if (it != memberPlans_.end()) {
            mp = &it->second;
            memo = TMemberMemo{at, mp};
        }
    }
    // A plan made for other texts (the program text there was replaced) is not used.
    static const TMemberPlan kNone;
    const bool fits = mp && mp->Member.Text == member && mp->Value.Text == right;
    if (fits && stmt && stmt->Right == &plan)
        stmt->Member = mp;
    AssignHashMemberBy(n, member, plan, fits ? *mp : kNone, right);
}

// AssignHashMember once its member plan is known (`mp`, or one of texts read as a
// whole): `right` is the right side's text without its blanks.
void TPoruBase::AssignHashMemberBy(THashNode* n, const std::string& member, const TAssignPlan& plan,
                                   const TMemberPlan& mp, std::string_view right)
{
    const TWordRef& memberRef = mp.Member;
    const TWordRef& valueRef = mp.Value;
    const std::string owner = n->Name;
    const uint8_t kind = n->Kind;
    const uint64_t generation = Words.Generation();
    std::string name = EvaluateWord(memberRef, member);
    // The lookup below waits on memory in a large table: started now, it goes on
    // while the value is worked out.
    THash::TSpot spot;
    if (const THash* table = n->Table())
        table->Prefetch(name, spot);
    // A calculation on numbers alone is written straight into the member's value
    // below, as PlannedValue would have made its text.
    const bool wholeProgram = plan.Program && right.size() == plan.Text.size();
    TNumResult number;
    const bool numeric = wholeProgram && RunNumeric(*plan.Program, number);
    std::string value;
    if (numeric)
        SetPendingTag('e');
    else
        value = wholeProgram || plan.Literal ? PlannedValue(plan) : EvaluateWord(valueRef, right);
    n = OwnerAfterEvaluating(n, owner, kind, generation);
    if (!n->Table())
        n->SetTable(new THash());
    // A member's tag is only ever read by its last character (a system word's tag
    // is its description ending in the tag): only that is kept.
    const size_t tagSize = LastTypeTag.empty() ? 0 : 1;
    const char tag = LastTypeTag.empty() ? 's' : LastTypeTag.back();
    THash* t = n->Table();
    long long whole;
    if (THashNode* m = t->FindExact(name, spot)) {
        m->TypeText.assign(tagSize, tag);
        if (numeric)
            NumberResultText(number, m->Value, whole);
        else
            m->Value = std::move(value);
    } else {
        THashNode* m2 = THashNode::CreateVariable(std::move(name), std::move(value),
                                                  static_cast<int32_t>(RunControl.Count()), false);
        if (numeric)
            NumberResultText(number, m2->Value, whole);
        m2->TypeText.assign(tagSize, tag);
        m2->Payload = const_cast<char*>(Cursor);
        t->AddAbsent(m2, spot);
    }
}
