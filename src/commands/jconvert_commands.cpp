// The character-code commands: 文字コードをEUCに変換, ...JISに変換, ...SJISに変換.
#include "commands/jconvert.h"
#include "interp/builtins.h"

namespace {

template <int Target>
void Convert(TPoruBase& st)
{
    st.SetSore(JConvert(st.PopText(), Target), "s");
}

HandlerRegistrar reg({{290, Convert<kCodeEuc>}, {291, Convert<kCodeJis>}, {292, Convert<kCodeSjis>}});

}  // namespace
