// The regular-expression commands. Each keeps its own expression wrapper (and so
// its last compiled expression) in the interpreter state; マッチ数 gets the count.
#include "commands/patterns/regex.h"
#include "interp/builtins.h"

namespace {

struct TRegexWrappers {
    TBRegExp Match, Split, Subst, Trans;
};

void SetMatchCount(TPoruBase& st, int n)
{
    if (THashNode* m = st.Words.FindExact("マッチ数")) {
        m->Value = NumberToText(n);
        m->TypeText.assign(1, 'e');
    }
}

[[noreturn]] void LibraryError(TPoruBase& st, const ERegex& e)
{
    std::string name = st.CurrentCommand ? st.CurrentCommand->Name : std::string();
    st.Error("\"" + name + "\"で、Bregexp.dllのエラー。" + e.what());
}

std::string Lines(const std::vector<std::string>& items)
{
    std::string out;
    for (const auto& s : items) {
        out += s;
        out += "\r\n";
    }
    return out;
}

// 正規表現マッチ (RE): the whole match and every group, one per line.
void cmdRegexMatch(TPoruBase& st)
{
    std::string expr = st.PopText();
    std::string subject = st.PopText();
    st.SetSore("", "s");
    try {
        std::vector<std::string> groups;
        int n = st.Ext<TRegexWrappers>().Match.Match(TBRegExp::WrapMatch(expr), subject, groups);
        st.SetSore(Lines(groups), "s");
        SetMatchCount(st, n);
    } catch (const ERegex& e) {
        LibraryError(st, e);
    }
}

// 正規表現区切る: the pieces, one per line.
void cmdRegexSplit(TPoruBase& st)
{
    std::string expr = st.PopText();
    std::string subject = st.PopText();
    st.SetSore("", "s");
    try {
        std::vector<std::string> pieces;
        int n = st.Ext<TRegexWrappers>().Split.Split(TBRegExp::WrapMatch(expr), subject, 1000, pieces);
        st.SetSore(Lines(pieces), "s");
        SetMatchCount(st, n);
    } catch (const ERegex& e) {
        LibraryError(st, e);
    }
}

// 正規表現置換: a complete s/// expression; マッチ数 is the group count + 1 when
// anything was replaced.
void cmdRegexSubst(TPoruBase& st)
{
    std::string expr = st.PopText();
    std::string subject = st.PopText();
    st.SetSore("", "s");
    try {
        TBRegExp& re = st.Ext<TRegexWrappers>().Subst;
        std::string out;
        int n = re.Subst(expr, subject, out);
        st.SetSore(std::move(out), "s");
        SetMatchCount(st, n > 0 ? re.GroupCount() + 1 : 0);
    } catch (const ERegex& e) {
        LibraryError(st, e);
    }
}

// 正規表現入換: a complete tr/// expression.
void cmdRegexTrans(TPoruBase& st)
{
    std::string expr = st.PopText();
    std::string subject = st.PopText();
    st.SetSore("", "s");
    try {
        std::string out;
        int n = st.Ext<TRegexWrappers>().Trans.Trans(expr, subject, out);
        st.SetSore(n > 0 ? std::move(out) : subject, "s");
        SetMatchCount(st, 0);
    } catch (const ERegex& e) {
        LibraryError(st, e);
    }
}

HandlerRegistrar reg({{Cmd::RegexMatch, cmdRegexMatch},
                      {Cmd::RegexSplit, cmdRegexSplit},
                      {Cmd::RegexSubst, cmdRegexSubst},
                      {Cmd::RegexTrans, cmdRegexTrans}});

}   // namespace
