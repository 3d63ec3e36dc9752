// BASE64エンコード and BASE64デコード.
#include "commands/encodings/base64.h"
#include "interp/builtins.h"

namespace {

void cmdEncode(TPoruBase& st)
{
    st.SetSore(Base64Encode(st.PopText()), "s");
}
void cmdDecode(TPoruBase& st)
{
    st.SetSore(Base64Decode(st.PopText()), "s");
}

HandlerRegistrar reg({{Cmd::Base64Encode, cmdEncode}, {Cmd::Base64Decode, cmdDecode}});

}   // namespace
