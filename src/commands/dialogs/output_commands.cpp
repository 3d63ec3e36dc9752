// Text output: 表示 (on the window's surface, on stdout in the console, or appended
// to the file named by 表示出力先) and 言う (a message box, or stdout).
#include "commands/files/atomic_file.h"
#include "commands/files/files.h"
#include "commands/files/security.h"
#include "core/codec.h"
#include "interp/builtins.h"
#include "interp/host.h"
#include "interp/interp.h"

namespace {

// 表示: show a text at the layout cursor (or append it to 表示出力先's file).
void cmdShow(TPoruBase& st)
{
    std::string text = st.PopText();
    THashNode* target = st.Sys.OutputTarget;
    if (target && !target->Value.empty()) {
        std::string name = FindReadPath(st, target->Value);
        if (!SecurityGate(st, name, "\"" + name + "\"へ書き込みます。"))
            return;
        std::string native = ToNativePath(name);
        if (!AppendFileBytes(native, text + "\r\n", true))
            st.Error("ファイル\"" + name + "\"へ書き込めません。");
        return;
    }
    if (st.Host)
        st.Host->ShowText(st, text);
}

// 言う: show a message.
void cmdSay(TPoruBase& st)
{
    std::string text = st.PopText();
    if (st.Host)
        st.Host->Say(st, text);
}

HandlerRegistrar reg({{Cmd::Show, cmdShow}, {Cmd::Say, cmdSay}});

}   // namespace
