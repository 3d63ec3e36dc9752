// Subroutines and functions: labels called as statements, values and f(a,b); 戻る;
// and the commands that work on words as such.
#include "core/walker_mode.h"
#include "interp/error_detail.h"
#include "interp/builtins.h"
#include "interp/interp.h"
#include "loader/normaliser.h"
#include "loader/scanner.h"

namespace {

// True for a text of decimal digits only: what a calculated argument usually is, and
// what evaluating gives back unchanged (a number, tagged as one).
bool IsDigitsOnly(const std::string& text)
{
    if (text.empty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

}   // namespace

std::string TPoruBase::EvaluateArgument(std::string& entry)
{
    if (!ReferenceWalker() && IsDigitsOnly(entry)) {
        SetPendingTag('e');
        return std::move(entry);
    }
    return EvaluateValue(entry);
}

void TPoruBase::BindFunctionArgs(THashNode* node)
{
    size_t n = 0;
    for (char c : node->ArgSpec)
        if (c == '?')
            ++n;
    auto& items = Args.Items();
    if (n > items.size())
        n = items.size();
    // The entries are taken off the stack before any is evaluated (evaluation may
    // call further functions); a few fit in a local array, so no vector is made.
    constexpr size_t kLocal = 4;
    if (n == 1) {   // the usual function of one argument
        std::string entry = std::move(items.back());
        items.pop_back();
        FuncArgs.Push(EvaluateArgument(entry));
        return;
    }
    if (n <= kLocal) {
        std::string local[kLocal];
        for (size_t i = 0; i < n; ++i)
            local[i] = std::move(items[items.size() - n + i]);
        items.resize(items.size() - n);
        for (size_t i = 0; i < n; ++i)
            FuncArgs.Push(EvaluateArgument(local[i]));
        return;
    }
    std::vector<std::string> entries(std::make_move_iterator(items.end() - static_cast<long>(n)),
                                     std::make_move_iterator(items.end()));
    items.resize(items.size() - n);
    for (auto& e : entries)
        FuncArgs.Push(EvaluateArgument(e));
}

// A call written name(arguments) whose entries are all whole numbers written with
// digits alone, one for each slot of the template: matching leaves such entries as
// they are and binding passes them on unchanged, so they go to the function's
// arguments at once. False when the call is bound the usual way (nothing was done).
bool TPoruBase::BindWholeNumbers(THashNode* node)
{
    if (!SetterCall || ReferenceWalker())
        return false;
    const THashNode::TArgSlots* parsed = node->ParsedArgs.get();
    auto& items = Args.Items();
    const size_t n = items.size();
    if (!parsed || n == 0 || parsed->Slots.size() != n || parsed->Marks != n || parsed->Template != node->ArgSpec)
        return false;
    for (const std::string& e : items)
        if (!IsDigitsOnly(e))
            return false;
    ImpliedSore = false;
    CheckArgumentCount();
    for (std::string& e : items)
        FuncArgs.Push(std::move(e));
    items.clear();
    SetPendingTag('e');
    return true;
}

void TPoruBase::CallLabel(THashNode* label, const char* returnPos)
{
    if (label->Kind != wkLabel || !label->Payload)
        ArgError();
    if (!label->ArgSpec.empty() && !BindWholeNumbers(label)) {
        MatchArguments(label);
        BindFunctionArgs(label);
    }
    // Arguments to a label without a template stay on the stack; the error they
    // cause inside the label names this call.
    static const std::vector<std::string> kNone;   // (both sides lvalues: no copy of the stack)
    NoteWrongFormCall(*this, label->Name, label->ArgSpec.empty() ? Args.Items() : kNone);
    RunControl.PushRecord(rcCall, returnPos, label->Position(), FileName);
    FileName = label->TypeText;
    Cursor = label->Position();
}

namespace {

// 呼ぶ: call the named label as a subroutine.
void cmdCall(TPoruBase& st)
{
    THashNode* n = st.PopWord(false);
    if (n->Kind != wkLabel)
        st.ArgError();
    st.CallLabel(n, st.Cursor);
}

// 戻る: return from the innermost call or event run.
void cmdReturn(TPoruBase& st)
{
    size_t n = st.RunControl.Count();
    if (n == 0) {
        st.Cursor = nullptr;
        return;
    }
    // Look for the record first: when there is none the open structures stay, so the
    // cursor never points into a body that was released.
    size_t at = n;
    while (at-- > 0) {
        uint8_t k = st.RunControl.At(at).RcKind;
        if (k == rcCall || k == rcEvent)
            break;
    }
    if (at == static_cast<size_t>(-1))
        st.Error("「戻る」べき場所がありません。");
    // The record and everything above it go; the record is read where it lies.
    const TRunControl& record = st.RunControl.At(at);
    st.Cursor = record.BodyStart;
    st.FileName = record.SavedFileName;
    st.RunControl.Truncate(at);
}

// 関数定義: give a label a particle template.
void cmdDefineFunction(TPoruBase& st)
{
    std::string templ = ToHalf(st.PopText());
    THashNode* n = st.PopWord(false);
    n->ArgSpec = templ;
    std::string folded = FoldOkurigana(n->Name);
    if (folded != n->Name && !st.Words.FindExact(folded)) {
        THashNode* copy = new THashNode(folded, "", "", "", 0, wkVariable, nullptr, false);
        copy->CopyFrom(*n);
        st.Words.Add(copy);
    } else if (folded != n->Name) {
        THashNode* existing = st.Words.FindExact(folded);
        if (existing->Kind == wkLabel)
            existing->ArgSpec = templ;
    }
}

// 引数取得: the collected function arguments, one per line.
void cmdGetArgs(TPoruBase& st)
{
    std::string joined;
    auto& items = st.FuncArgs.Items();
    if (items.size() == 1) {
        joined = std::move(items[0]);   // the arguments are cleared next
    } else {
        for (size_t i = 0; i < items.size(); ++i) {
            if (i)
                joined += "\r\n";
            joined += items[i];
        }
    }
    st.FuncArgs.Clear();
    // Not trimmed: an empty or blank-edged argument keeps its line, so the arguments
    // after it stay at their positions (f("",b) gives b as line 1, not line 0).
    st.SetSore(std::move(joined), "s");
}

// 名義変更: rename a command, optionally with a new template.
void cmdRename(TPoruBase& st)
{
    std::string text = st.PopRaw();
    if (text.size() >= 2 && text.front() == '`' && text.back() == '`')
        text = text.substr(1, text.size() - 2);
    if (!text.empty() && text.back() == ';')
        text.pop_back();
    THashNode* n = st.PopWord(false);
    text = ToHalf(text);
    std::vector<std::string> items;
    std::string cur;
    for (char c : text) {
        if (c == ' ' || c == ',' || c == '\t') {
            if (!cur.empty())
                items.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty())
        items.push_back(cur);
    size_t slots = 0;
    for (char c : n->ArgSpec)
        if (c == '?')
            ++slots;
    if (items.size() != slots + 1)
        st.ArgError();
    std::string templ;
    for (size_t i = 0; i + 1 < items.size(); ++i) {
        if (i)
            templ += ',';
        templ += items[i];
    }
    if (items.back() == n->Name) {
        n->ArgSpec = templ;
        return;
    }
    THashNode* copy = new THashNode(items.back(), "", "", "", 0, wkVariable, nullptr, false);
    copy->CopyFrom(*n);
    copy->ArgSpec = templ;
    std::string oldName = n->Name;
    // A word of the new name is replaced (a reserved one raises, and nothing changed).
    THashNode* replaced = st.Words.FindExact(copy->Name);
    st.Words.Add(copy);
    // The old word's payload (if any) now belongs to the copy.
    if (n->Kind == wkHash) {
        THash* t = n->Table();
        n->Payload = nullptr;
        copy->SetTable(t);
    }
    // What the state held of either released word (the error label, それ, ...) is the
    // renamed word now.
    if (replaced)
        st.WordReplaced(replaced, copy);
    st.WordReplaced(n, copy);
    st.Words.Remove(oldName, false);
}

// 単語コピー: copy every field but the name from one word to another.
void cmdCopyWord(TPoruBase& st)
{
    std::string dest = st.PopRaw();
    std::string src = st.PopRaw();
    THashNode* s = st.Words.FindExact(src);
    if (!s)
        st.Error("オブジェクト\"" + src + "\"は、作成されていません。");
    THashNode* d = st.Words.FindExact(dest);
    if (!d) {
        d = THashNode::CreateVariable(dest, "", static_cast<int32_t>(st.RunControl.Count()), false);
        st.Words.Add(d);
    }
    if (d == s)
        return;
    d->DropTable();
    if (s->Kind == wkHash && s->Table()) {
        // A hash is copied deeply so that each word owns its own table.
        THash* t = new THash();
        t->LoadPairs(s->Table()->Pairs());
        d->CopyFrom(*s);
        d->Payload = nullptr;
        d->SetTable(t);
        return;
    }
    d->CopyFrom(*s);
}

// 変数名列挙: names of the variables declared at or above a level.
void cmdListVariables(TPoruBase& st)
{
    int32_t level = 0;
    if (st.ImpliedSore)
        st.PopText();
    else
        level = st.PopInt();
    std::string out;
    for (THashNode* n : st.Words.Nodes()) {
        if ((n->Kind == wkVariable || n->Kind == wkHash) && !n->Reserved && n->Id >= level) {
            out += n->Name;
            out += "\r\n";
        }
    }
    st.SetSore(out, "s");
}

THashNode* WordForTag(TPoruBase& st, const char* initial)
{
    std::string name = st.PopRaw();
    THashNode* n = st.Words.FindExact(name);
    if (!n) {
        n = THashNode::CreateVariable(name, initial, static_cast<int32_t>(st.RunControl.Count()), false);
        st.Words.Add(n);
    }
    if (n->Reserved)
        st.Error("オブジェクト\"" + name + "\"は、既に存在するので、作成できません。");
    return n;
}

// 数値として扱う: the word becomes a variable tagged as a number.
void cmdAsNumber(TPoruBase& st)
{
    THashNode* n = WordForTag(st, "0");
    if (n->Kind == wkHash) {
        n->Value = n->Table() ? n->Table()->Pairs() : std::string();
        n->DropTable();
    }
    n->TypeText = "e";
    n->Kind = wkVariable;
    if (n->Value.empty())
        n->Value = "0";
}

// 文字列として扱う: the word becomes a variable tagged as a string.
void cmdAsString(TPoruBase& st)
{
    THashNode* n = WordForTag(st, "");
    if (n->Kind == wkHash) {
        n->Value = n->Table() ? n->Table()->Pairs() : std::string();
        n->DropTable();
    }
    n->TypeText = "s";
    n->Kind = wkVariable;
}

HandlerRegistrar reg({{Cmd::Call, cmdCall},
                      {Cmd::Return, cmdReturn},
                      {Cmd::DefineFunction, cmdDefineFunction},
                      {Cmd::GetArgs, cmdGetArgs},
                      {Cmd::RenameWord, cmdRename},
                      {Cmd::CopyWord, cmdCopyWord},
                      {Cmd::ListVariables, cmdListVariables},
                      {Cmd::AsNumber, cmdAsNumber},
                      {Cmd::AsString, cmdAsString}});

}   // namespace
