// バイナリダンプ, バイナリ取得 and バイナリ設定: bytes of a value shown in hexadecimal,
// read and written in place by form. Accesses outside the value are run-time errors.
#include "commands/encodings/binary.h"
#include "interp/builtins.h"

namespace {

void cmdDump(TPoruBase& st)
{
    st.SetSore(BinaryDump(st.PopText()), "s");
}

// バイナリ取得: CHAR and the numbers set それ with the pending tag; CHAR* its text only.
void cmdBinaryGet(TPoruBase& st)
{
    std::string form = st.PopText();
    long double pos = st.PopNumber();
    THashNode* var = st.PopWord(false);
    TBinaryForm f = BinaryFormOf(form);
    TBinaryValue v;
    try {
        if (!BinaryRead(var->Value, pos, f, v))
            return;
    } catch (const EBinary& e) {
        st.Error(e.what());
    }
    if (v.IsNumber)
        st.SetSorePending(NumberToText(v.Number), "e");
    else if (f == TBinaryForm::Char)
        st.SetSorePending(std::move(v.Text), "s");
    else
        st.SetSoreValue(std::move(v.Text));
}

// バイナリ設定: the value written into the variable's bytes; its length never changes.
void cmdBinarySet(TPoruBase& st)
{
    std::string form = st.PopText();
    long double pos = st.PopNumber();
    THashNode* var = st.PopWord(false);
    std::string value = st.PopText();
    TBinaryForm f = BinaryFormOf(form);
    if (f == TBinaryForm::Unknown)
        return;
    long double number = (f == TBinaryForm::Char || f == TBinaryForm::CharZ) ? 0 : ToNumber(value);
    try {
        BinaryWrite(var->Value, pos, f, value, number);
    } catch (const EBinary& e) {
        st.Error(e.what());
    }
}

HandlerRegistrar reg({{Cmd::BinaryDump, cmdDump}, {Cmd::BinaryGet, cmdBinaryGet}, {Cmd::BinarySet, cmdBinarySet}});

}   // namespace
