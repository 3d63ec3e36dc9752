// マッチ: a wildcard prefix match that leaves the matched part and the captures in
// それ and the rest of the text in the variable.
#include "commands/patterns/wildcard.h"
#include "core/text.h"
#include "interp/builtins.h"

namespace {

void cmdMatch(TPoruBase& st)
{
    std::string pattern = st.PopText();
    std::string raw = st.PopRaw();
    if (pattern.empty()) {
        st.SetSoreValue(std::string());
        return;
    }
    THashNode* var = st.Words.FindExact(raw);
    if (var && var->Kind != wkVariable)
        var = nullptr;
    std::string subject;
    if (var) {
        subject = var->Value;
    } else {
        subject = st.EvaluateValue(raw);
        if (subject.empty())
            st.ArgError();
    }
    TWildcardResult r;
    try {
        r = WildcardPrefixMatch(subject, pattern);
    } catch (const EWildcard& e) {
        st.Error(std::string("マッチでエラー。") + e.what());
    }
    std::string out = r.Matched + "\r\n";
    for (const auto& c : r.Captures) {
        out += c;
        out += "\r\n";
    }
    st.SetSore(std::string(TrimView(out)), "s");
    if (var && var != st.Sys.Sore && r.Ok)
        var->Value = std::move(r.Rest);
}

HandlerRegistrar reg({{Cmd::WildcardMatch, cmdMatch}});

}   // namespace
