// The character-code commands: 文字コードをEUCに変換, ...JISに変換, ...SJISに変換.
#include "commands/encodings/jconvert.h"
#include "interp/builtins.h"

namespace {

template <int Target> void Convert(TPoruBase& st)
{
    st.SetSore(JConvert(st.PopText(), Target), "s");
}

HandlerRegistrar reg({{Cmd::ConvertToEuc, Convert<kCodeEuc>},
                      {Cmd::ConvertToJis, Convert<kCodeJis>},
                      {Cmd::ConvertToSjis, Convert<kCodeSjis>}});

}   // namespace
