// Word resolution and command invocation: reading one value at a cursor, binding the
// pending phrases to a particle template, the argument fetchers, and the call forms.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "core/sjis.h"
#include "core/text.h"
#include "core/walker_mode.h"
#include "interp/builtins.h"
#include "interp/calc_cache.h"
#include "interp/dll.h"
#include "interp/host.h"
#include "interp/interp.h"
#include "interp/text_util.h"
#include "loader/scanner.h"

namespace {

// Restores それ's value and tag when a value-form call returns (or fails). The tag is
// saved in a buffer kept for each depth of nested guards: until something is assigned
// to それ its tag is its long description, and a fresh copy would be allocated and
// freed on every call. Guards nest strictly, so the depth names the buffer.
struct SoreGuard {
    THashNode* sore;
    std::string value;
    static thread_local std::vector<std::string> savedTags;
    static thread_local size_t depth;
    explicit SoreGuard(THashNode* s) : sore(s), value(s->Value)
    {
        if (depth == savedTags.size())
            savedTags.emplace_back();
        savedTags[depth].assign(s->TypeText);
        ++depth;   // only once saved: a guard that failed to save restores nothing
    }
    // The value is moved back, not swapped: what the call left in それ has been taken
    // out or is dropped, and a move copies short texts once where a swap copies them
    // three times. The tag is copied back into それ's own buffer.
    ~SoreGuard()
    {
        sore->Value = std::move(value);
        sore->TypeText.assign(savedTags[--depth]);
    }
};
thread_local std::vector<std::string> SoreGuard::savedTags;
thread_local size_t SoreGuard::depth = 0;

struct SetterGuard {
    bool& flag;
    bool saved;
    explicit SetterGuard(bool& f, bool v) : flag(f), saved(f) { flag = v; }
    ~SetterGuard() { flag = saved; }
};

// Particle equivalences: a slot accepts an entry ending in its particle or in one
// of these.
bool ParticleAccepts(std::string_view slot, std::string_view entry, size_t& cut)
{
    auto ends = [&](std::string_view part) {
        if (part.empty() || !EndsWithChar(entry, part))
            return false;
        cut = part.size();
        return true;
    };
    if (slot.empty()) {
        cut = 0;
        return true;
    }
    if (ends(slot))
        return true;
    if (slot == "と")
        return ends("を");
    if (slot == "の")
        return ends("を");
    if (slot == "を")
        return ends("と") || ends("の");
    if (slot == "に")
        return ends("へ");
    if (slot == "へ")
        return ends("に");
    return false;
}

// True when `ch` occurs in `text` at a character boundary.
bool ContainsChar(std::string_view text, std::string_view ch)
{
    for (size_t i = 0; i < text.size(); i += CharLen(text.data() + i))
        if (text.compare(i, ch.size(), ch) == 0)
            return true;
    return false;
}

const char* const kEventNames[] = {"イベント",       "クリックした時", "ダブルクリックした時",
                                   "マウス押した時", "マウス離した時", "キー押した時",
                                   "キー離した時",   "変更した時",     "マウス動かした時"};

}   // namespace

void SplitTemplate(const std::string& templ, std::vector<std::string>& out)
{
    out.clear();
    if (templ.empty())
        return;
    const char* p = templ.c_str();
    while (*p) {
        std::string slot = ReadUntil(p, ",");
        std::string_view t = TrimView(slot);
        if (!t.empty() && t[0] == '?')
            t.remove_prefix(1);
        out.emplace_back(t);
    }
    if (!templ.empty() && templ.back() == ',')
        out.emplace_back();
}

// ---- results ----------------------------------------------------------------

void TPoruBase::SetSore(std::string value, const char* tag)
{
    Sys.Sore->Value = std::move(value);
    // The tags are mostly one letter, and mostly the one they hold already.
    if (tag[0] != '\0' && tag[1] == '\0') {
        std::string& t = Sys.Sore->TypeText;
        if (t.size() != 1 || t[0] != tag[0])
            t.assign(1, tag[0]);
        SetPendingTag(tag[0]);
        return;
    }
    Sys.Sore->TypeText.assign(tag);
    LastTypeTag.assign(tag);
}

void TPoruBase::SetSoreNumber(long double v)
{
    SetSore(NumberToText(v), "e");
}

void TPoruBase::SetSoreInt(int64_t v)
{
    SetSore(std::to_string(v), "e");
}

void TPoruBase::SetSoreFlag(bool b)
{
    SetSore(b ? "1" : "0", "e");
}

void TPoruBase::SetSoreValue(std::string value)
{
    Sys.Sore->Value = std::move(value);
}

void TPoruBase::SetSoreKeepTag(std::string value)
{
    Sys.Sore->Value = std::move(value);
    LastTypeTag = Sys.Sore->TypeText;
}

void TPoruBase::SetSorePending(std::string value, const char* pendingTag)
{
    Sys.Sore->Value = std::move(value);
    LastTypeTag.assign(pendingTag);
}

// ---- ReadValue ----------------------------------------------------------------

std::string TPoruBase::ReadValue(const char*& p)
{
    SkipSeparators(p);
    unsigned char c = static_cast<unsigned char>(*p);
    if (c == '"' || c == '`')
        return ReadLiteralValue(p);
    if (c == '$' || (c >= '0' && c <= '9')) {
        std::string v = ReadNumberLiteral(p);
        LastTypeTag = "e";
        return v;
    }
    if (c == '(')
        return ReadGroupValue(p);
    if (c == '-')
        return ReadSignedValue(p);
    std::string word = ReadWord(p);
    if (word.empty()) {
        LastTypeTag = "s";
        return word;
    }
    if (*p == '(') {
        THashNode* f = FindFolded(word);
        if (f)
            return CallWithParentheses(word, p, false);
    }
    if (EndsWithChar(word, "の")) {
        std::string_view stem(word.data(), word.size() - 2);
        if (THashNode* n = Words.FindExact(stem))
            return MemberAccess(n, p);
    }
    THashNode* n = Words.FindExact(word);
    if (!n) {
        LastTypeTag = "s";
        return word;
    }
    if (n->Kind == wkVariable && *p == '#') {
        std::string v = IndexAccess(n->Value, p);
        LastTypeTag = n->TypeText;
        return v;
    }
    if (n->Kind == wkCommand)
        SkipSeparators(p);
    return WordValue(n, word);
}

// The value of a word found by name (not an element access): a command's or a
// label's result, a variable's value, an object's, a library call's, a hash's pairs.
std::string TPoruBase::WordValue(THashNode* n, const std::string& word)
{
    switch (n->Kind) {
    case wkCommand: {
        SoreGuard g(Sys.Sore);
        Dispatch(n);
        // The result is moved out; the guard then moves the saved value back.
        std::string v = std::move(Sys.Sore->Value);
        LastTypeTag.swap(Sys.Sore->TypeText);
        return v;
    }
    case wkLabel:
        return LabelValue(n);
    case wkVariable:
        LastTypeTag = n->TypeText;
        return n->Value;
    case wkObject:
        return Host->ObjectValue(*this, n);
    case wkDllFunc:
        return CallDll(*this, n);
    case wkHash:
        LastTypeTag = "s";
        return n->Table() ? n->Table()->Pairs() : std::string();
    }
    LastTypeTag = "s";
    return word;
}

namespace {

// Runs a scanner at the cursor; the error it raises for an unclosed literal or group
// is reported at the running line.
template <class Scan> auto Scanned(TPoruBase& st, const char*& p, Scan scan) -> decltype(scan(p))
{
    try {
        return scan(p);
    } catch (const EPoru& e) {
        if (e.Recorded)
            throw;
        st.Error(e.Message);
    }
}

}   // namespace

std::string TPoruBase::ScanLiteral(const char*& p)
{
    return Scanned(*this, p, [](const char*& q) { return ReadLiteral(q); });
}

std::string TPoruBase::ScanGroup(const char*& p)
{
    return Scanned(*this, p, [this](const char*& q) { return std::string(ReadBlockGroup(q)); });
}

std::string_view TPoruBase::ScanLiteralView(const char*& p)
{
    return Scanned(*this, p, [](const char*& q) { return ReadLiteralView(q); });
}

std::string_view TPoruBase::ScanGroupView(const char*& p)
{
    return Scanned(*this, p, [this](const char*& q) { return ReadBlockGroup(q); });
}

// A string literal's expanded value.
std::string TPoruBase::ReadLiteralValue(const char*& p)
{
    std::string v = ExpandLiteral(ScanLiteralView(p));
    LastTypeTag = "s";
    return v;
}

// A parenthesised expression's value.
std::string TPoruBase::ReadGroupValue(const char*& p)
{
    std::string inner = ScanGroup(p);
    const char* q = inner.c_str();
    return Calculate(q);
}

// Each minus sign negates the value read after it by its text: a minus is written
// before it, or the value's own minus is taken away (so that the negation of -7 is 7,
// not "--7", which reads as 0).
std::string TPoruBase::ReadSignedValue(const char*& p)
{
    size_t minus = 0;
    while (*p == '-') {
        ++minus;
        ++p;
        SkipSeparators(p);
    }
    std::string v = ReadValue(p);
    for (; minus > 0; --minus)
        NegatedText(v, std::string(v));
    return v;
}

// The value a label's body leaves in それ, run as a function.
std::string TPoruBase::LabelValue(THashNode* n)
{
    SoreGuard g(Sys.Sore);
    SetSoreValue(std::string());
    // The body may belong to another (included) file: errors inside name it. The
    // caller's name is kept interned (no copy of the text per call) and written back.
    struct FileGuard {
        std::string& file;
        TInternedName saved;
        ~FileGuard() { file = saved.Text(); }
    } fileGuard{FileName, {}};
    fileGuard.saved = FileName;
    FileName = n->TypeText;
    RunNested(n->Position());
    LastTypeTag = Sys.Sore->TypeText;
    return Sys.Sore->Value;
}

std::string TPoruBase::MemberAccess(THashNode* n, const char*& p)
{
    SkipSeparators(p);
    // A member name in parentheses may hold further member accesses.
    TGroupLevel level = EnterGroup(*p == '(');
    std::string member;
    if (*p == '(') {
        member = ScanGroup(p);
    } else {
        member = ReadWord(p);
    }
    if (n->Kind == wkVariable) {
        std::string stemValue = n->Value;
        THashNode* other = Words.FindExact(stemValue);
        if (other && other->Kind != wkVariable) {
            n = other;
        } else {
            std::string name = member;
            if (THashNode* m = Words.FindExact(member))
                name = m->Value;
            LastTypeTag = "s";
            return LookupPairValue(stemValue, name);
        }
    }
    switch (n->Kind) {
    case wkObject:
        return Host->ObjectProperty(*this, n, member);
    case wkHash: {
        THash* t = n->Table();
        if (!t)
            Error("作成されていないハッシュ\"" + n->Name +
                  "\"が、見つかりました。メモリが足りないか、バグの可能性があります。");
        THashNode* m = t->FindExact(member);
        if (!m)
            m = t->FindExact(EvaluateValue(member));
        if (!m) {
            LastTypeTag = "s";
            return std::string();
        }
        LastTypeTag = m->TypeText.empty() ? std::string("s") : std::string(1, m->TypeText.back());
        return m->Value;
    }
    default:
        Error("オブジェクト\"" + n->Name + "\"から、直接値を得ることは出来ません。");
    }
}

std::string TPoruBase::IndexAccess(const std::string& value, const char*& p)
{
    auto readIndex = [&]() -> int32_t {
        ++p;   // '#'
        std::string idx;
        if (*p == '(') {
            std::string inner = ScanGroup(p);
            const char* q = inner.c_str();
            idx = Calculate(q);
        } else {
            std::string w = ReadWord(p);
            const char* q = w.c_str();
            idx = ReadValue(q);
        }
        return ToIntOrDefault(idx, -1);
    };
    int32_t first = readIndex();
    SkipSeparators(p);
    int32_t second = -1;
    bool two = false;
    if (*p == '#') {
        second = readIndex();
        two = true;
    }
    if (!two)
        return CsvRowValue(value, first);
    return CsvCellValue(value, first, second);
}

// ---- argument binding ---------------------------------------------------------------

void TPoruBase::MatchArguments(THashNode* node)
{
    // The template's slots are kept with the word (the reference walker splits the
    // template at every call, into a kept buffer: binding never nests).
    if (node->ArgSpec.empty() && !ReferenceWalker()) {
        // No template, no slot to fill (as below, without looking at the kept slots).
        ImpliedSore = false;
        CheckArgumentCount();
        return;
    }
    const std::vector<std::string>* slots;
    if (ReferenceWalker()) {
        thread_local std::vector<std::string> split;
        SplitTemplate(node->ArgSpec, split);
        slots = &split;
    } else {
        std::unique_ptr<THashNode::TArgSlots>& parsed = node->ParsedArgs;
        if (!parsed || parsed->Template != node->ArgSpec) {
            if (!parsed)
                parsed = std::make_unique<THashNode::TArgSlots>();
            parsed->Template = node->ArgSpec;
            SplitTemplate(node->ArgSpec, parsed->Slots);
            parsed->Marks = static_cast<size_t>(std::count(node->ArgSpec.begin(), node->ArgSpec.end(), '?'));
        }
        slots = &parsed->Slots;
    }
    const std::vector<std::string>& localSlots = *slots;
    auto& items = Args.Items();
    if (localSlots.empty() && !ReferenceWalker()) {
        // No slot to fill: the entries stay as they are (the binding below moves none).
        ImpliedSore = false;
        CheckArgumentCount();
        return;
    }
    if (localSlots.size() == items.size() + 1) {
        items.insert(items.begin(), SetterCall ? std::string("それ") : std::string("それ") + localSlots[0]);
        ImpliedSore = true;
    } else {
        ImpliedSore = false;
    }
    if (items.size() < localSlots.size())
        ArgError(node->Name, "\"" + node->ArgSpec + "\"の形式で指定してください。引数が少ないです。");
    if (SetterCall && !ReferenceWalker()) {
        // A call written name(arguments) binds by position: each slot takes the entry
        // at its place among the last ones, cut of its particle when it has one, and
        // the entries keep their order (what the search below ends with too).
        const size_t first = items.size() - localSlots.size();
        for (size_t s = 0; s < localSlots.size(); ++s) {
            size_t cut = 0;
            std::string& e = items[first + s];
            if (ParticleAccepts(localSlots[s], e, cut))
                e.resize(e.size() - cut);
        }
        CheckArgumentCount();
        return;
    }
    // The usual case: the last entries accept the slots in their order. The search
    // below would take each of them where it stands and put them back in that order,
    // so they are only cut of their particles, in place.
    constexpr size_t kInPlaceSlots = 8;
    if (localSlots.size() <= kInPlaceSlots && !ReferenceWalker()) {
        const size_t first = items.size() - localSlots.size();
        size_t cuts[kInPlaceSlots];
        bool inOrder = true;
        for (size_t s = 0; s < localSlots.size() && inOrder; ++s)
            inOrder = ParticleAccepts(localSlots[s], items[first + s], cuts[s]);
        if (inOrder) {
            for (size_t s = 0; s < localSlots.size(); ++s)
                items[first + s].resize(items[first + s].size() - cuts[s]);
            CheckArgumentCount();
            return;
        }
    }
    // The slots' entries are gathered in a kept buffer (binding never nests: the
    // entries are not evaluated here), so a call allocates no vector for them.
    thread_local std::vector<std::string> taken;
    taken.clear();
    taken.resize(localSlots.size());
    for (size_t s = localSlots.size(); s-- > 0;) {
        const std::string& slot = localSlots[s];
        bool found = false;
        for (size_t i = items.size(); i-- > 0;) {
            size_t cut = 0;
            if (SetterCall) {
                std::string e = std::move(items[i]);
                if (ParticleAccepts(slot, e, cut))
                    e.resize(e.size() - cut);
                taken[s] = std::move(e);
                items.erase(items.begin() + static_cast<long>(i));
                found = true;
                break;
            }
            if (ParticleAccepts(slot, items[i], cut)) {
                std::string e = std::move(items[i]);
                e.resize(e.size() - cut);
                taken[s] = std::move(e);
                items.erase(items.begin() + static_cast<long>(i));
                found = true;
                break;
            }
        }
        if (!found)
            ArgError(node->Name, "\"" + node->ArgSpec + "\"の形式で指定してください。\"" + slot + "\"");
    }
    for (auto& t : taken)
        items.push_back(std::move(t));
    taken.clear();
    CheckArgumentCount();
}

void TPoruBase::CheckArgumentCount()
{
    if (Args.Items().size() > kMaxArgs)
        Error("スタックが一杯になりました。ラベルなどに再帰呼び出しがないか確認！");
}

void TPoruBase::Dispatch(THashNode* node)
{
    CheckStack();   // a handler may evaluate arguments that run further commands
    // A call written name(arguments) binds positionally, but only its own
    // arguments: what the handler evaluates binds by particles again.
    const bool clearSetter = clearSetterAfterBind_;
    clearSetterAfterBind_ = false;
    MatchArguments(node);
    if (clearSetter)
        SetterCall = false;
    Handler h = GetHandler(node->Id);
    if (!h)
        Error("\"" + node->Name + "\":ぽるかな命令のリンク切れ。作者へ報告を！");
    THashNode* saved = CurrentCommand;
    CurrentCommand = node;
    struct Restore {
        THashNode*& cur;
        THashNode* saved;
        ~Restore() { cur = saved; }
    } restore{CurrentCommand, saved};
    h(*this);
}

THashNode* TPoruBase::FindFolded(std::string_view name)
{
    if (ReferenceWalker() || name.empty())
        return Words.Find(name, true);
    TFoldedMemo& memo = foldedMemo_[ByteSum(name) & 63];
    const uint64_t generation = Words.Generation();
    if (memo.Generation == generation && memo.Name == name)
        return memo.Node;
    memo.Node = Words.Find(name, true);
    memo.Name.assign(name);
    memo.Generation = generation;
    return memo.Node;
}

void TPoruBase::RunSentenceCommand()
{
    if (Args.Count() == 0)
        return;
    // The word is looked up where it lies on the stack, and taken off only then.
    THashNode* n = FindFolded(Args.Items().back());
    if (n) {
        Args.Items().pop_back();
        InvokeSentenceWord(n);
        return;
    }
    std::string word = Args.Pop();
    for (const char* ev : kEventNames) {
        if (word == ev) {
            std::string owner = Args.Pop();
            if (EndsWithChar(owner, "の"))
                owner.resize(owner.size() - 2);
            Host->ObjectEvent(*this, owner, word);
            return;
        }
    }
    std::string sentence;
    for (auto& e : Args.Items()) {
        sentence += e;
        sentence += ',';
    }
    sentence += word;
    Args.Clear();
    Error("\"" + Trim(sentence) + "\"は未定義の命令です。(;o;)<綴りミスか、命令の引数に注意！");
}

// The sentence's word `n`, taken off the stack, runs with what is left there; what it
// leaves unused is an error naming it.
void TPoruBase::InvokeSentenceWord(THashNode* n)
{
    InvokeWord(n);
    if (Args.Count() > 0) {
        std::string rest;
        for (auto& e : Args.Items()) {
            rest += e;
            rest += "\r\n";
        }
        Args.Clear();
        ArgError(n->Name, "引数が多いです。\"" + rest + "\"");
    }
}

void TPoruBase::InvokeWord(THashNode* node)
{
    switch (node->Kind) {
    case wkCommand:
        Dispatch(node);
        return;
    case wkLabel:
        CallLabel(node, Cursor);
        return;
    case wkVariable:
    case wkObject:
        Error("\"" + node->Name + "\"は、文法が正しくないため、実行できません。変数を実行することは出来ません。");
    case wkDllFunc:
        CallDll(*this, node);
        return;
    case wkHash:
        return;
    }
}

std::string TPoruBase::CallWithParentheses(const std::string& name, const char*& p, bool push)
{
    CheckStack();
    THashNode* n = FindFolded(name);
    if (!n || (n->Kind != wkCommand && n->Kind != wkLabel && n->Kind != wkDllFunc)) {
        Args.Push(name);
        return std::string();
    }
    if (*p != '(')
        Error("関数\"" + name + "\"の呼び出しで、引数の()は、すぐ後ろに書いてください。");
    // The list is read where it stands: the text holding it outlives the call, and
    // nested calls f(g(h(…))) copy nothing.
    std::string_view inner = ScanGroupView(p);
    return CallWithList(n, inner, nullptr, push);
}

std::string TPoruBase::CallWithList(THashNode* n, std::string_view inner, const TCallPlan* plan, bool push)
{
    // The call binds only the arguments of its own list: earlier phrases of the
    // enclosing sentence are set aside while it runs.
    // The list's vector comes from a pool of emptied ones (nested calls take one
    // each), so a call allocates no argument vector once the pool has warmed up.
    thread_local std::vector<std::vector<std::string>> spareArgs;
    std::vector<std::string> pending;
    if (!spareArgs.empty()) {
        pending.swap(spareArgs.back());
        spareArgs.pop_back();
    }
    pending.swap(Args.Items());
    struct RestoreArgs {
        TStack& args;
        std::vector<std::string>& pending;
        ~RestoreArgs()
        {
            auto& items = args.Items();
            if (items.empty()) {
                items.swap(pending);
            } else {
                items.insert(items.begin(), std::make_move_iterator(pending.begin()),
                             std::make_move_iterator(pending.end()));
                pending.clear();
            }
            if (spareArgs.size() < 256 && pending.capacity() != 0)
                spareArgs.push_back(std::move(pending));
        }
    } restoreArgs{Args, pending};
    if (plan) {
        PushPlannedArguments(*plan);
    } else if (!inner.empty()) {
        const char* q = inner.data();
        PushCallArguments(q, inner.data() + inner.size());
    }
    std::string result;
    {
        SoreGuard g(Sys.Sore);
        SetterGuard sg(SetterCall, true);
        switch (n->Kind) {
        case wkCommand:
            clearSetterAfterBind_ = true;
            Dispatch(n);
            break;
        case wkLabel: {
            EnterNesting();
            const char* savedCursor = Cursor;
            Cursor = nullptr;
            RunControl.EnterLevel();
            struct Leave {
                TPoruBase& st;
                const char* saved;
                ~Leave()
                {
                    st.RunControl.LeaveLevel();
                    st.Cursor = saved;
                    st.LeaveNesting();
                }
            } leave{*this, savedCursor};
            RunControl.ClearLevel();
            CallLabel(n, nullptr);
            SetterCall = false;
            RunLoop();
            break;
        }
        default:
            CallDll(*this, n);
            break;
        }
        // The result is moved out, not copied, and its tag swapped out (それ keeps a
        // buffer for the guard to copy its saved tag back into); the guard then puts
        // the saved それ back.
        result = std::move(Sys.Sore->Value);
        LastTypeTag.swap(Sys.Sore->TypeText);
    }
    // Leftover arguments of the list are dropped with the call.
    Args.Clear();
    if (push)
        pending.push_back(result);
    return result;
}

void TPoruBase::PushCallArguments(const char*& p, const char* end)
{
    const char* listStart = p;
    auto atEnd = [&](const char* q) { return *q == '\0' || q == end; };
    // True when only blanks stand between q and the start of the list or a comma:
    // a sign there begins a new argument (f(2,-1)) instead of joining the previous one.
    auto atArgumentStart = [&](const char* q) {
        while (q > listStart && (q[-1] == ' ' || q[-1] == '\t' || static_cast<unsigned char>(q[-1]) == 0xA4))
            --q;
        return q == listStart || q[-1] == ',';
    };
    while (!atEnd(p)) {
        std::string word = ReadWord(p);
        unsigned char c = static_cast<unsigned char>(*p);
        if (atEnd(p)) {
            if (!word.empty())
                Args.Push(word);
            return;
        }
        if (c == '\r' || c == '\n') {
            if (!word.empty())
                Args.Push(word);
            StepInReading(p);
            continue;
        }
        if (c == '"' || c == '`') {
            PushLiteralArgument(p, word);
            continue;
        }
        if (c == '#') {
            PushEmbeddedArgument(p, word);
            continue;
        }
        if (c == '(') {
            PushGroupArgument(p, word);
            continue;
        }
        if (c == ',') {
            Args.Push(word);
            ++p;
            continue;
        }
        SkipSeparators(p);
        c = static_cast<unsigned char>(*p);
        if (!IsOperatorChar(c)) {
            if (!word.empty())
                Args.Push(word);
            if (!atEnd(p) && c != ',' && c != '"' && c != '`' && c != '(' && c != '#')
                p += CharLen(p);
            continue;
        }
        std::string operand = word;
        bool sign = word.empty() && (c == '-' || c == '+') && atArgumentStart(p);
        if (word.empty() && !sign)
            operand = Args.Pop();
        if (c == '&' && p[1] != '&')
            PushJoinedArgument(p, operand);
        else
            PushCalculatedArgument(p, operand, end);
    }
}

std::unique_ptr<TCallPlan> ReadCallPlan(std::string_view inner)
{
    // What PushCallArguments does with the list, step by step, for the arguments it
    // reads without running anything: a word, or a word or sign with a calculation
    // after it up to the next comma. Anything else gives no plan.
    for (char c : inner)
        if (c == '\r' || c == '\n' || c == '\0')
            return nullptr;
    auto plan = std::make_unique<TCallPlan>();
    const char* p = inner.data();
    const char* const listStart = p;
    const char* const end = p + inner.size();
    auto atEnd = [&](const char* q) { return *q == '\0' || q == end; };
    auto atArgumentStart = [&](const char* q) {
        while (q > listStart && (q[-1] == ' ' || q[-1] == '\t' || static_cast<unsigned char>(q[-1]) == 0xA4))
            --q;
        return q == listStart || q[-1] == ',';
    };
    auto add = [&](bool calculated, std::string_view text) {
        TCallPlan::TArg& a = plan->Args.emplace_back();
        a.Calculated = calculated;
        a.Text.assign(text);
    };
    while (!atEnd(p)) {
        const std::string_view word = ReadWordView(p);
        unsigned char c = static_cast<unsigned char>(*p);
        if (atEnd(p)) {
            if (!word.empty())
                add(false, word);
            break;
        }
        if (c == '"' || c == '`' || c == '#' || c == '(')
            return nullptr;
        if (c == ',') {
            add(false, word);
            ++p;
            continue;
        }
        SkipSeparators(p);
        c = static_cast<unsigned char>(*p);
        if (!IsOperatorChar(c)) {
            if (!word.empty())
                add(false, word);
            if (!atEnd(p) && c != ',' && c != '"' && c != '`' && c != '(' && c != '#')
                return nullptr;   // a character the reader steps over
            continue;
        }
        const bool sign = word.empty() && (c == '-' || c == '+') && atArgumentStart(p);
        if ((word.empty() && !sign) || (c == '&' && p[1] != '&'))
            return nullptr;
        // PushCalculatedArgument's text: the operand and the rest up to the comma,
        // literals and groups taken whole.
        std::string expr(word);
        while (!atEnd(p) && *p != ',') {
            const char* s = p;
            try {
                if (*p == '"' || *p == '`')
                    ReadLiteralView(p);
                else if (*p == '(')
                    ReadGroupView(p);
                else
                    p += CharLen(p);
            } catch (const EPoru&) {
                return nullptr;   // the reader raises the error when it gets there
            }
            expr.append(s, p);
        }
        add(true, expr);
        if (*p == ',')
            ++p;
    }
    return plan;
}

void TPoruBase::PushPlannedArguments(const TCallPlan& plan)
{
    for (const TCallPlan::TArg& a : plan.Args) {
        if (!a.Calculated) {
            Args.Push(a.Text);
            continue;
        }
        // What CalculateText does with the text, its program found once.
        const char* q = a.Text.c_str();
        std::string v = RunCompiledCalc(q, a.Program);
        Args.Push(ValueAsPhrase(v, LastTypeTag));
    }
}

// A literal argument, with the word written before it as its prefix.
void TPoruBase::PushLiteralArgument(const char*& p, const std::string& word)
{
    std::string lit = ScanLiteral(p);
    Args.Push(word + lit);
    SkipSeparators(p);
    if (*p == ',')
        ++p;
}

// An argument of #-embeddings (A#B, A#(…)): evaluated as a whole.
void TPoruBase::PushEmbeddedArgument(const char*& p, const std::string& word)
{
    std::string text = word;
    while (*p == '#') {
        text += *p++;
        if (*p == '(') {
            const char* s = p;
            ReadGroup(p);
            text.append(s, p);
        } else {
            text += ReadWord(p);
        }
        SkipSpaces(p);
    }
    std::string v = EvaluateValue(text);
    Args.Push(ValueAsPhrase(v, LastTypeTag));
    SkipSeparators(p);
    if (*p == ',')
        ++p;
}

// An argument that opens a parenthesis: a nested call when a word stands before it,
// else a group whose value takes the word written after it as its suffix.
void TPoruBase::PushGroupArgument(const char*& p, const std::string& word)
{
    if (!word.empty()) {
        CallWithParentheses(word, p, true);
        std::string v = Args.Pop();
        Args.Push(ValueAsPhrase(v, LastTypeTag));
    } else {
        TGroupLevel level = EnterGroup();
        std::string inner = ScanGroup(p);
        std::string v = EvaluateValue(inner);
        std::string tag = LastTypeTag;
        std::string tail = ReadWord(p);
        v += tail;
        Args.Push(ValueAsPhrase(v, tag));
    }
    SkipSpaces(p);
    if (*p == ',')
        ++p;
}

// operand&A&B…: the joined values, pushed raw-quoted.
void TPoruBase::PushJoinedArgument(const char*& p, const std::string& operand)
{
    std::string joined;
    {
        // The first operand is a variable's value, a string literal's expanded
        // value (f("ab"&A) joins ab, not the quoted literal), a raw-quoted
        // value, or else the text as written.
        const char* q = operand.c_str();
        THashNode* w = Words.FindExact(operand);
        if (w || (!operand.empty() && operand[0] == '"'))
            joined = ReadValue(q);
        else
            joined = operand.size() >= 2 && operand[0] == '`' ? UnquoteRaw(operand) : operand;
    }
    while (*p == '&' && p[1] != '&') {
        ++p;
        SkipSeparators(p);
        joined += ReadValue(p);
        SkipSeparators(p);
    }
    Args.Push(QuoteRaw(joined));
    if (*p == ',')
        ++p;
}

// Any other operator: the rest up to the next comma (literals and groups kept
// whole) is calculated with the operand.
void TPoruBase::PushCalculatedArgument(const char*& p, const std::string& operand, const char* end)
{
    std::string expr = operand;
    while (*p != '\0' && p != end && *p != ',' && *p != '\r' && *p != '\n') {
        if (*p == '"' || *p == '`') {
            const char* s = p;
            ReadLiteral(p);
            expr.append(s, p);
        } else if (*p == '(') {
            const char* s = p;
            ReadGroup(p);
            expr.append(s, p);
        } else {
            size_t n = CharLen(p);
            expr.append(p, n);
            p += n;
        }
    }
    std::string v = CalculateText(expr);
    Args.Push(ValueAsPhrase(v, LastTypeTag));
    if (*p == ',')
        ++p;
}

// ---- fetchers ------------------------------------------------------------------

std::string TPoruBase::PopText()
{
    if (Args.Count() == 0)
        return std::string();
    std::string e = Args.Pop();
    return EvaluateValue(e);
}

long double TPoruBase::PopNumber()
{
    return ToNumber(PopText());
}

int32_t TPoruBase::PopInt()
{
    long double v = std::trunc(PopNumber());
    if (!(v >= -2147483648.0L && v <= 2147483647.0L))
        ArgError();
    return static_cast<int32_t>(v);
}

std::string TPoruBase::PopRaw()
{
    return Args.Pop();
}

THashNode* TPoruBase::PopWord(bool create)
{
    std::string name = Args.Pop();
    if (name.size() >= 2 && name.front() == '`' && name.back() == '`')
        name = name.substr(1, name.size() - 2);
    THashNode* n = Words.FindExact(name);
    if (n)
        return n;
    if (!create)
        Error("オブジェクト\"" + name + "\"が特定できません。");
    n = THashNode::CreateVariable(name, "", static_cast<int32_t>(RunControl.Count()), false);
    Words.Add(n);
    return n;
}

void TPoruBase::PopCoordinates(const std::string& text, int32_t& x, int32_t& y)
{
    std::string t = text;
    {
        if (Words.FindExact(t)) {
            const char* q = t.c_str();
            t = ReadValue(q);
        } else if (ContainsChar(t, "の")) {
            const char* q = t.c_str();
            std::string v = ReadValue(q);
            if (*q == '\0' && v != t)
                t = v;
        }
    }
    for (;;) {
        if (t.size() >= 2 && t.front() == '`' && t.back() == '`')
            t = t.substr(1, t.size() - 2);
        const char* q = t.c_str();
        SkipSeparators(q);
        if (*q == '(') {
            std::string inner = ScanGroup(q);
            SkipSeparators(q);
            if (*q == '\0') {
                t = inner;
                continue;
            }
        }
        break;
    }
    size_t before = Args.Count();
    const char* q = t.c_str();
    PushCallArguments(q);
    if (Args.Count() != before + 2) {
        while (Args.Count() > before)
            Args.Pop();
        Error("座標の指定エラー");
    }
    y = static_cast<int32_t>(std::trunc(ToNumber(PopText())));
    x = static_cast<int32_t>(std::trunc(ToNumber(PopText())));
}
