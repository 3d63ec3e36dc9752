// Control structures: もし (and the "?" form), 条件分岐 with its "…の時" branches,
// 繰り返す, N回, 反復, ループ, 抜ける, 続ける and 飛ぶ. A body is a range of the text
// it is written in: the run-control entry records where it starts and ends, and the
// cursor walks the text itself (entering a block copies nothing, however deeply
// blocks nest).
#include <cmath>
#include <cstring>
#include <memory>

#include "core/sjis.h"
#include "core/text.h"
#include "core/walker_mode.h"
#include "interp/builtins.h"
#include "interp/calc_cache.h"
#include "interp/interp.h"
#include "interp/text_util.h"
#include "loader/normaliser.h"
#include "loader/scanner.h"

namespace {

bool StartsWith(const char* p, const std::string& s)
{
    return !s.empty() && std::strncmp(p, s.c_str(), s.size()) == 0;
}
bool StartsWith(std::string_view t, std::string_view s)
{
    return t.size() >= s.size() && t.compare(0, s.size(), s) == 0;
}

const char kUndefined[] = "\\~未定義";

}   // namespace

bool TPoruBase::InProgramText(const char* p) const
{
    const std::less_equal<const char*> le;
    // The main program runs in Source, labels and included files in Texts.
    if (le(Source.data(), p) && le(p, Source.data() + Source.size()))
        return true;
    for (int i = 0; i < TextCount; ++i) {
        const std::string& t = Texts[i];
        if (le(t.data(), p) && le(p, t.data() + t.size()))
            return true;
    }
    return false;
}

std::string_view TPoruBase::ReadBlockGroup(const char*& p)
{
    SkipSeparators(p);
    if (*p != '(' || ReferenceWalker() || !InProgramText(p))
        return ReadGroupView(p);
    // Source replaced without a new run (it never is today): the ends noted belong to
    // the old text.
    if (Source.data() != groupSource_) {
        groupEnds_.clear();
        groupSource_ = Source.data();
    }
    const char* open = p;
    if (const auto it = groupEnds_.find(open); it != groupEnds_.end()) {
        p = it->second + 1;
        return std::string_view(open + 1, static_cast<size_t>(it->second - open - 1));
    }
    // The groups inside are noted on the way: a block nested in this one finds its
    // end without scanning, so deep nesting stays linear.
    std::vector<std::pair<const char*, const char*>> nested;
    const std::string_view inner = ReadGroupView(p, nested);
    groupEnds_.emplace(open, inner.data() + inner.size());
    for (const auto& [from, to] : nested)
        groupEnds_.emplace(from, to);
    return inner;
}

void TPoruBase::BlockCapture(TRunControl& e, const char*& p)
{
    SkipSeparators(p);
    if ((*p == '\r' || *p == '\n') && !AtEnd(p)) {
        StepInReading(p);
        SkipSeparators(p);
    }
    e.SavedFileName = FileName;
    if (*p == '(') {
        std::string_view inner;
        try {
            inner = ReadBlockGroup(p);
        } catch (const EPoru& err) {
            if (err.Recorded)
                throw;
            Error(err.Message);
        }
        e.BodyStart = inner.data();
        e.BodyEnd = inner.data() + inner.size();
    } else {
        e.BodyStart = p;
        SkipToStatementEnd(p);
        e.BodyEnd = p;
    }
    e.After = p;
}

std::string TPoruBase::ConvertCondition(const std::string& text)
{
    const char* p = text.c_str();
    auto chunk = [&]() {
        while (*p == ' ' || *p == ',' || static_cast<unsigned char>(*p) == 0xA4 || *p == '\t')
            ++p;
        std::string out;
        while (*p && *p != ' ' && *p != ',' && static_cast<unsigned char>(*p) != 0xA4) {
            if (*p == '"' || *p == '`') {
                const char* s = p;
                try {
                    ReadLiteral(p);
                } catch (const EPoru& e) {
                    Error("条件分岐で文字列の取得に失敗。" + e.Message);
                }
                out.append(s, p);
                continue;
            }
            if (*p == '(') {
                const char* s = p;
                try {
                    ReadGroup(p);
                } catch (const EPoru& e) {
                    Error("条件分岐で括弧の取得に失敗。" + e.Message);
                }
                out.append(s, p);
                continue;
            }
            size_t n = CharLen(p);
            out.append(p, n);
            p += n;
        }
        while (!out.empty() &&
               (out.back() == ' ' || out.back() == ',' || static_cast<unsigned char>(out.back()) == 0xA4))
            out.pop_back();
        return out;
    };
    std::string result;
    for (;;) {
        std::string c = chunk();
        if (c.empty())
            break;
        if (StartsWith(c, "かつ")) {
            result += " && ";
            result += c.substr(std::strlen("かつ"));
        } else if (StartsWith(c, "または")) {
            result += " || ";
            result += c.substr(std::strlen("または"));
        } else if (EndsWithChar(c, "が")) {
            std::string subject = c.substr(0, c.size() - 2);
            std::string pred = chunk();
            result += subject;
            if (EndsWithChar(pred, "以上")) {
                result += ">=";
                result += pred.substr(0, pred.size() - 4);
            } else if (EndsWithChar(pred, "以下")) {
                result += "<=";
                result += pred.substr(0, pred.size() - 4);
            } else if (EndsWithChar(pred, "と等しい")) {
                result += "=";
                result += pred.substr(0, pred.size() - 8);
            } else {
                result += "=";
                result += pred;
            }
        } else {
            result += c;
        }
    }
    return result;
}

void TPoruBase::TWordsSeen::Note(const THash& words, const THashNode* a, const THashNode* b, const THashNode* c,
                                 const THashNode* d)
{
    const THashNode* nodes[4] = {a, b, c, d};
    for (int i = 0; i < 4; ++i) {
        Nodes[i] = nodes[i];
        Names[i] = nodes[i]->Name;
    }
    Generation = words.Generation();
}

bool TPoruBase::TWordsSeen::Same(const THash& words, const THashNode* a, const THashNode* b, const THashNode* c,
                                 const THashNode* d) const
{
    const THashNode* nodes[4] = {a, b, c, d};
    for (int i = 0; i < 4; ++i)
        if (Nodes[i] != nodes[i])
            return false;
    if (words.Generation() == Generation)
        return true;
    // A word may have gone and another taken its place in memory.
    for (int i = 0; i < 4; ++i)
        if (Names[i] != nodes[i]->Name)
            return false;
    Generation = words.Generation();
    return true;
}

const TPoruBase::TConditionPlan* TPoruBase::ConditionPlanAt(const char*& p)
{
    // Conditions outside any loop, call or event mostly run once.
    if (ReferenceWalker() || (RunControl.Count() == 0 && RunControl.LevelCount() == 0))
        return nullptr;
    TConditionMemo& memo = conditionMemo_[(reinterpret_cast<uintptr_t>(p) >> 2) & 15];
    const TConditionPlan* plan = memo.Position == p ? memo.Plan : nullptr;
    if (!plan) {
        const auto it = conditionPlans_.find(p);
        if (it == conditionPlans_.end())
            return nullptr;
        plan = &it->second;
        memo = TConditionMemo{p, plan};
    }
    // The same text (strncmp stops where the text does), ended by the same words, and
    // no body ending inside it or where it ends (the scan would raise there).
    const size_t n = plan->Text.size();
    const char* e = p + n;
    const char* limit = RunControl.BodyLimit();
    if (!plan->Enders.Same(Words, Sys.Naraba, Sys.Nara, Sys.Chigaeba, Sys.Denakereba))
        return nullptr;
    if (std::strncmp(p, plan->Text.data(), n) != 0 || (limit >= p && limit <= e))
        return nullptr;
    if (!StartsWith(e, Sys.Naraba->Name) && !StartsWith(e, Sys.Nara->Name) && !StartsWith(e, Sys.Chigaeba->Name) &&
        !StartsWith(e, Sys.Denakereba->Name))
        return nullptr;
    p = e;
    return plan;
}

void TPoruBase::RememberCondition(const char* at, std::string text, std::string expression)
{
    constexpr size_t kMaxPlans = 65536;
    if (ReferenceWalker() || (RunControl.Count() == 0 && RunControl.LevelCount() == 0) ||
        conditionPlans_.size() >= kMaxPlans)
        return;
    // A plan once made is never changed: a calculation running from it may be the
    // one that reads the same condition again (recursion).
    const auto [it, added] = conditionPlans_.try_emplace(at);
    if (!added)
        return;
    TConditionPlan& plan = it->second;
    plan.Text = std::move(text);
    plan.Expression = std::move(expression);
    TCalcCache& cache = CalcCache();
    plan.Program = cache.Find(cache.Calculations, plan.Expression, false);
    plan.Enders.Note(Words, Sys.Naraba, Sys.Nara, Sys.Chigaeba, Sys.Denakereba);
}

void TPoruBase::RunIf(const char*& p)
{
    const std::string& naraba = Sys.Naraba->Name;
    const std::string& nara = Sys.Nara->Name;
    const std::string& chigau = Sys.Chigaeba->Name;
    const std::string& denakereba = Sys.Denakereba->Name;
    auto atWord = [&](const char* q) {
        return StartsWith(q, naraba) || StartsWith(q, nara) || StartsWith(q, chigau) || StartsWith(q, denakereba);
    };
    SkipSeparators(p);
    std::string r;
    int decided = -1;   // the outcome when worked out on whole numbers (else read from r)
    if (const TConditionPlan* plan = ConditionPlanAt(p)) {
        // A condition worked out on numbers alone: a whole number is compared as it
        // is (its text, plain digits, would read back as the same number).
        TNumResult v;
        if (plan->Program && RunNumeric(*plan->Program, v)) {
            SetPendingTag('e');
            long long number;
            if (v.Int && v.I > -kWholeLimit && v.I < kWholeLimit)
                decided = v.I == 1 ? 1 : 0;
            else
                NumberResultText(v, r, number);
        } else {
            // The same as calculating a copy of the expression (CalculateText).
            const char* q = plan->Expression.c_str();
            r = RunCompiledCalc(q, plan->Program);
        }
    } else {
        const char* start = p;
        bool endedByWord = false;
        std::string cond;
        for (;;) {
            if (AtEnd(p))
                Error("条件分岐の終端文字を認識できませんでした。");
            if (atWord(p)) {
                endedByWord = true;
                break;
            }
            if (*p == '\r' || *p == '\n') {
                StepInReading(p);
                SkipSeparators(p);
                if (!atWord(p))
                    Error("条件分岐の終端文字を認識できませんでした。");
                break;
            }
            size_t n = CharLen(p);
            cond.append(p, n);
            p += n;
        }
        std::string expr = ConvertCondition(cond);
        if (endedByWord)
            RememberCondition(start, cond, expr);
        r = CalculateText(expr);
    }
    if (!p)
        return;
    CondResult = decided >= 0 ? decided : ToIntOrDefault(r, -1) == 1 ? 1 : 0;
    BranchSelect(p, true);
}

void TPoruBase::CaptureBranches(const char*& p, bool expectWord, TRunControl& trueBranch, TRunControl& falseBranch,
                                bool& hasTrue, bool& hasFalse)
{
    auto skipLines = [&]() {
        SkipSeparators(p);
        if ((*p == '\r' || *p == '\n') && !AtEnd(p)) {
            StepInReading(p);
            SkipSeparators(p);
        }
    };
    skipLines();
    auto captureTrue = [&]() {
        BlockCapture(trueBranch, p);
        hasTrue = true;
        SkipSeparators(p);
        if (*p == ';' && !AtEnd(p)) {
            ++p;
            SkipSeparators(p);
        }
        // The else branch may follow on a later line, but not beyond the open body.
        while ((*p == '\r' || *p == '\n') && !AtEnd(p)) {
            StepInReading(p);
            SkipSeparators(p);
        }
    };
    if (!expectWord) {
        captureTrue();
    } else if (StartsWith(p, Sys.Nara->Name)) {
        ReadWordView(p);
        SkipSeparators(p);
        captureTrue();
    }
    if (StartsWith(p, Sys.Chigaeba->Name) || StartsWith(p, Sys.Denakereba->Name)) {
        ReadWordView(p);
        SkipSeparators(p);
        if (StartsWith(p, Sys.Moshi->Name))
            Error(Sys.Moshi->Name + "を多重構造にするときは、()で範囲を括ってください。");
        BlockCapture(falseBranch, p);
        hasFalse = true;
    }
}

const TPoruBase::TBranchPlan* TPoruBase::BranchPlanAt(const char*& p, bool expectWord)
{
    if (ReferenceWalker())
        return nullptr;
    TBranchMemo& memo = branchMemo_[(reinterpret_cast<uintptr_t>(p) >> 2) & 15];
    const TBranchPlan* found = memo.Position == p ? memo.Plan : nullptr;
    if (!found) {
        const auto it = branchPlans_.find(p);
        if (it == branchPlans_.end())
            return nullptr;
        found = &it->second;
        memo = TBranchMemo{p, found};
    }
    const TBranchPlan& plan = *found;
    const char* end = p + plan.End;
    const char* limit = RunControl.BodyLimit();
    // A body may end where the branches do (a one-line loop's body ends at the line's
    // end), as it did when they were read: the reading stopped there whatever lies
    // beyond. A body ending inside them would cut the reading short.
    if (plan.ExpectWord != expectWord || (limit >= p && limit < end) || plan.EndsAtLimit != (limit == end) ||
        !plan.Words.Same(Words, Sys.Nara, Sys.Chigaeba, Sys.Denakereba, Sys.Moshi))
        return nullptr;
    const size_t n = plan.Text.size();
    if (std::strncmp(p, plan.Text.data(), n) != 0 || (plan.EndsText && p[n] != '\0'))
        return nullptr;
    p = end;
    return &plan;
}

void TPoruBase::RememberBranches(const char* start, const char* end, bool expectWord, const TRunControl& trueBranch,
                                 const TRunControl& falseBranch, bool hasTrue, bool hasFalse)
{
    constexpr size_t kMaxPlans = 65536;
    // Past the end, what the reading looked at to stop there (a word that would have
    // gone on to an else branch, a statement end) is compared too.
    constexpr size_t kLookAhead = 32;
    if (ReferenceWalker() || (RunControl.Count() == 0 && RunControl.LevelCount() == 0) ||
        branchPlans_.size() >= kMaxPlans || static_cast<size_t>(end - start) > 4096)
        return;
    const auto [it, added] = branchPlans_.try_emplace(start);
    if (!added)
        return;
    TBranchPlan& plan = it->second;
    size_t n = static_cast<size_t>(end - start);
    while (n < static_cast<size_t>(end - start) + kLookAhead && start[n] != '\0')
        ++n;
    plan.Text.assign(start, n);
    plan.EndsText = start[n] == '\0';
    plan.End = static_cast<uint32_t>(end - start);
    plan.ExpectWord = expectWord;
    plan.HasTrue = hasTrue;
    plan.HasFalse = hasFalse;
    plan.EndsAtLimit = RunControl.BodyLimit() == end;
    if (hasTrue) {
        plan.TrueStart = static_cast<uint32_t>(trueBranch.BodyStart - start);
        plan.TrueEnd = static_cast<uint32_t>(trueBranch.BodyEnd - start);
    }
    if (hasFalse) {
        plan.FalseStart = static_cast<uint32_t>(falseBranch.BodyStart - start);
        plan.FalseEnd = static_cast<uint32_t>(falseBranch.BodyEnd - start);
    }
    plan.Words.Note(Words, Sys.Nara, Sys.Chigaeba, Sys.Denakereba, Sys.Moshi);
}

void TPoruBase::BranchSelect(const char*& p, bool expectWord)
{
    const char* start = p;
    if (const TBranchPlan* plan = BranchPlanAt(p, expectWord)) {
        // What the reading below leads to, with the chosen branch made in place.
        const int32_t cond = CondResult;
        CondResult = -1;
        const bool yes = cond == 1;
        if (!(yes ? plan->HasTrue : cond == 0 && plan->HasFalse))
            return;
        const char* body = start + (yes ? plan->TrueStart : plan->FalseStart);
        RunControl.PushBody(yes ? rcIfTrue : rcIfFalse, body, start + (yes ? plan->TrueEnd : plan->FalseEnd), p,
                            FileName);
        p = body;
        return;
    }
    // Read from the text. Kept for the next time when nothing ran and no line was
    // entered while reading (the branches lay on the line of the condition or inside
    // their parentheses) and both bodies lie in what was read.
    TRunControl trueBranch, falseBranch;
    bool hasTrue = false, hasFalse = false;
    const unsigned steps = textSteps_;
    CaptureBranches(p, expectWord, trueBranch, falseBranch, hasTrue, hasFalse);
    const auto inside = [&](const TRunControl& e) { return e.BodyStart >= start && e.BodyEnd <= p; };
    if (textSteps_ == steps && (!hasTrue || inside(trueBranch)) && (!hasFalse || inside(falseBranch)))
        RememberBranches(start, p, expectWord, trueBranch, falseBranch, hasTrue, hasFalse);
    TRunControl* chosen = nullptr;
    if (CondResult == 1 && hasTrue) {
        chosen = &trueBranch;
        chosen->RcKind = rcIfTrue;
    } else if (CondResult == 0 && hasFalse) {
        chosen = &falseBranch;
        chosen->RcKind = rcIfFalse;
    }
    if (CondResult == -1)
        return;
    CondResult = -1;
    if (!chosen)
        return;
    chosen->After = p;
    const char* body = chosen->BodyText();
    RunControl.Push(std::move(*chosen));
    p = body;
}

void TPoruBase::ConditionQuestion(const char*& p)
{
    if (Args.Count() == 0)
        Error("\"?\"は、文法が正しくないため、実行できません。");
    std::string phrase = Args.Pop();
    std::string text = phrase;
    if (THashNode* n = Words.FindExact(phrase)) {
        if (n->Kind == wkVariable)
            text = n->Value;
    }
    std::string r = CalculateText(text);
    if (!p)
        return;
    CondResult = std::trunc(ToNumber(r)) != 0 ? 1 : 0;
    SkipSeparators(p);
    if ((*p == '\r' || *p == '\n') && !AtEnd(p)) {
        StepInReading(p);
        SkipSeparators(p);
    }
    bool expect = StartsWith(p, Sys.Naraba->Name) || StartsWith(p, Sys.Chigaeba->Name) ||
                  StartsWith(p, Sys.Nara->Name) || StartsWith(p, Sys.Denakereba->Name);
    BranchSelect(p, expect);
}

void TPoruBase::RunTimesLoop(const char*& p, const std::string& countText)
{
    std::string v = EvaluateValue(countText);
    if (!p)
        return;
    int32_t count = ToIntOrDefault(v, -1);
    TRunControl e;
    e.RcKind = rcTimes;
    BlockCapture(e, p);
    if (count <= 0) {
        p = e.After;
        return;
    }
    e.Limit = count;
    e.Counter = 1;
    Sys.Count->Value = "1";
    const char* body = e.BodyText();
    RunControl.Push(std::move(e));
    p = body;
}

void TPoruBase::RunCaseBranch(const char*& p, const std::string& label)
{
    TRunControl e;
    e.RcKind = rcCase;
    BlockCapture(e, p);
    bool match = false;
    if (CaseValue != kUndefined) {
        if (label == "その他") {
            match = true;
        } else if (EndsWithChar(label, "以上")) {
            std::string v = EvaluateValue(label.substr(0, label.size() - 4));
            match = ToNumber(CaseValue) >= ToNumber(v);
        } else if (EndsWithChar(label, "以下")) {
            std::string v = EvaluateValue(label.substr(0, label.size() - 4));
            match = ToNumber(CaseValue) <= ToNumber(v);
        } else {
            match = EvaluateValue(label) == CaseValue;
        }
    }
    if (!p)
        return;
    if (!match) {
        p = e.After;
        return;
    }
    CaseValue = kUndefined;
    const char* body = e.BodyText();
    RunControl.Push(std::move(e));
    p = body;
}

namespace {

// もし: the condition is still in the text at the cursor.
void cmdIf(TPoruBase& st)
{
    st.RunIf(st.Cursor);
}

// 条件分岐: the value the following "…の時" branches test.
void cmdCase(TPoruBase& st)
{
    st.CaseValue = st.PopText();
}

bool IsNumberText(const std::string& s)
{
    std::string_view t = TrimView(s);
    if (t.empty())
        return false;
    size_t i = 0;
    if (t[0] == '+' || t[0] == '-')
        ++i;
    if (i < t.size() && t[i] == '$')
        return t.size() > i + 1;
    bool digit = false;
    for (; i < t.size(); ++i) {
        if (t[i] >= '0' && t[i] <= '9')
            digit = true;
        else if (t[i] != '.' && t[i] != 'e' && t[i] != 'E' && t[i] != '+' && t[i] != '-')
            return false;
    }
    return digit;
}

// 繰り返す: a counter variable from a start to an end.
void cmdFor(TPoruBase& st)
{
    std::string name = st.CurrentCommand->Name;
    std::string endText = st.EvaluateValue(st.PopRaw());
    std::string startText = st.EvaluateValue(st.PopRaw());
    if (!IsNumberText(endText) || !IsNumberText(startText))
        st.Error("\"" + name + "\"には、数値を指定してください。");
    long double endV = std::trunc(ToNumber(endText)), startV = std::trunc(ToNumber(startText));
    if (endV > 2147483647.0L || endV < -2147483648.0L || startV > 2147483647.0L || startV < -2147483648.0L)
        st.Error("\"" + name + "\"には、数値を指定してください。");
    if (!st.Cursor)
        return;
    std::string counterName = st.PopRaw();
    THashNode* counter = st.Words.FindExact(counterName);
    if (!counter) {
        counter = new THashNode(counterName, "", "", "e", 0, wkVariable, const_cast<char*>(st.Cursor), false);
        st.Words.Add(counter);
    } else if (counter->Kind != wkVariable) {
        st.Error("\"" + name + "\"の実行回数カウンターには、変数を指定してください。");
    }
    TRunControl e;
    e.RcKind = rcFor;
    SkipSeparators(st.Cursor);
    st.BlockCapture(e, st.Cursor);
    int32_t start = static_cast<int32_t>(startV), end = static_cast<int32_t>(endV);
    if (end < start) {
        st.Cursor = e.After;
        return;
    }
    counter->Value = std::to_string(start);
    e.Counter = start;
    e.Limit = end;
    e.CounterWord = counter;
    const char* body = e.BodyText();
    st.RunControl.Push(std::move(e));
    st.Cursor = body;
}

// 反復: over the lines of a value or the member names of a hash.
void cmdEach(TPoruBase& st)
{
    std::string raw = st.PopRaw();
    std::string items;
    THashNode* n = st.Words.FindExact(raw);
    if (!n)
        items = st.EvaluateValue(raw);
    else if (n->Kind == wkHash)
        items = n->Table() ? n->Table()->Names() : std::string();
    else
        items = n->Value;
    if (!st.Cursor)
        return;
    TRunControl e;
    e.RcKind = rcEach;
    st.BlockCapture(e, st.Cursor);
    auto lines = std::make_shared<std::vector<std::string>>(SplitLines(items));
    if (lines->empty()) {
        st.Cursor = e.After;
        return;
    }
    e.Counter = 1;
    e.List = lines;
    st.SetSore((*lines)[0], "s");
    st.Sys.Count->Value = "1";
    st.Sys.Count->TypeText = "e";
    const char* body = e.BodyText();
    st.RunControl.Push(std::move(e));
    st.Cursor = body;
}

// ループ: while a condition holds.
void cmdWhile(TPoruBase& st)
{
    std::string cond = ToHalf(st.PopRaw());
    TRunControl e;
    e.RcKind = rcWhile;
    st.BlockCapture(e, st.Cursor);
    if (cond.empty() || cond == "``")
        return;
    std::string unq = UnquoteRaw(cond);
    std::string r = st.CalculateText(unq);
    if (!st.Cursor)
        return;
    if (std::trunc(ToNumber(r)) == 0) {
        st.Cursor = e.After;
        return;
    }
    e.Counter = 1;
    e.Limit = -1;
    st.Sys.Count->Value = "1";
    e.Condition = unq;
    const char* body = e.BodyText();
    st.RunControl.Push(std::move(e));
    st.Cursor = body;
}

bool IsBranch(uint8_t k)
{
    return k == rcIfTrue || k == rcIfFalse || k == rcCase;
}

// 抜ける: leave the innermost loop.
void cmdBreak(TPoruBase& st)
{
    size_t n = st.RunControl.Count();
    size_t at = n;
    while (at-- > 0)
        if (!IsBranch(st.RunControl.At(at).RcKind))
            break;
    // Only branches open: nothing happens (the cursor stays in a live body).
    if (at == static_cast<size_t>(-1))
        return;
    TRunControl e;
    while (st.RunControl.Count() > at + 1)
        st.RunControl.Pop(e);
    st.RunControl.Pop(e);
    if (e.RcKind == rcCall || e.RcKind == rcEvent) {
        st.Cursor = e.BodyStart;
        st.FileName = e.SavedFileName;
        return;
    }
    st.Cursor = e.After;
}

// 続ける: the next iteration of the innermost loop.
void cmdContinue(TPoruBase& st)
{
    TRunControl e;
    if (!st.RunControl.Pop(e)) {
        st.Cursor = nullptr;
        return;
    }
    while (IsBranch(e.RcKind)) {
        TRunControl next;
        if (!st.RunControl.Pop(next))
            break;
        e = std::move(next);
    }
    st.FileName = e.SavedFileName;
    st.RunControl.Push(std::move(e));
    st.CheckRunControl();
}

// 飛ぶ: jump to a label, inside the open bodies first (innermost first, not beyond
// the innermost call or event); entries above the body that holds the label are
// left. Nothing is left before the label is known, so a failing jump keeps the
// cursor in a live body with its structures open.
void cmdJump(TPoruBase& st)
{
    std::string name = st.PopRaw();
    std::string pattern = "*" + name + "\r";
    for (size_t at = st.RunControl.Count(); at-- > 0;) {
        const TRunControl& e = st.RunControl.At(at);
        if (!e.HasBody())
            break;
        std::string_view body(e.BodyStart, static_cast<size_t>(e.BodyEnd - e.BodyStart));
        size_t hit = body.find(pattern);
        if (hit != std::string_view::npos) {
            const char* target = e.BodyStart + hit + 1 + name.size();
            st.RunControl.Truncate(at + 1);
            st.Cursor = target;
            return;
        }
    }
    THashNode* n = st.Words.FindExact(name);
    if (!n || n->Kind != wkLabel)
        st.Error("未定義のラベル\"" + name + "\"に、ジャンプしようとしました。");
    size_t keep = st.RunControl.Count();
    while (keep > 0 && st.RunControl.At(keep - 1).HasBody())
        --keep;
    st.RunControl.Truncate(keep);
    st.Cursor = n->Position();
    st.FileName = n->TypeText;
}

// ならば, 違えば and でなければ belong to もし, which reads them itself; run as a
// sentence's own command they do nothing.
void cmdConditionWord(TPoruBase&) {}

// なら also belongs to もし, but run as a sentence's own command it is an error.
void cmdNaraWithoutIf(TPoruBase& st)
{
    st.Error("条件文は、「もし～ならば」と対で使わなければなりません。");
}

HandlerRegistrar reg({{Cmd::If, cmdIf},
                      {Cmd::Case, cmdCase},
                      {Cmd::For, cmdFor},
                      {Cmd::Each, cmdEach},
                      {Cmd::While, cmdWhile},
                      {Cmd::Break, cmdBreak},
                      {Cmd::Continue, cmdContinue},
                      {Cmd::Jump, cmdJump},
                      {Cmd::Then, cmdConditionWord},
                      {Cmd::Else, cmdConditionWord},
                      {Cmd::ThenShort, cmdNaraWithoutIf}});

}   // namespace
