// The character-code commands: 文字コードをEUCに変換, ...JISに変換, ...SJISに変換,
// ...UTF8に変換 and 文字コード判定. A text that is UTF-8 (a byte-order mark, or valid
// UTF-8 holding multi-byte characters, as for files) is taken as UTF-8 before the
// detection of Shift_JIS, EUC-JP and JIS is asked.
#include <algorithm>

#include "commands/encodings/jconvert.h"
#include "core/codec.h"
#include "interp/builtins.h"

namespace {

// The text in Shift_JIS when it is UTF-8, else as it is.
std::string FromUtf8(const std::string& text)
{
    return IsUtf8Text(text) ? TextFileToSjis(text) : text;
}

template <int Target> void Convert(TPoruBase& st)
{
    const std::string text = st.PopText();
    if (IsUtf8Text(text)) {
        const std::string sjis = FromUtf8(text);
        st.SetSore(Target == kCodeSjis ? sjis : JConvert(sjis, Target), "s");
        return;
    }
    st.SetSore(JConvert(text, Target), "s");
}

// 文字コードをUTF8に変換: Shift_JIS (or EUC-JP, JIS as detected) to UTF-8 without
// a byte-order mark; a text that is UTF-8 already comes back unchanged.
void cmdConvertToUtf8(TPoruBase& st)
{
    const std::string text = st.PopText();
    if (IsUtf8Text(text)) {
        st.SetSore(text, "s");
        return;
    }
    const int code = DetectCode(text);
    const std::string sjis =
        code == kCodeJis || code == kCodeJisOld || code == kCodeEuc ? JConvert(text, kCodeSjis) : text;
    st.SetSore(SjisToTextFile(sjis, TTextEncoding::Utf8, TLineEnd::CrLf), "s");
}

// 文字コード判定: the name of the text's encoding.
void cmdDetectCode(TPoruBase& st)
{
    const std::string text = st.PopText();
    const char* name = "不明";
    if (IsUtf8Text(text)) {
        name = "UTF-8";
    } else {
        switch (DetectCode(text)) {
        case kCodeBinary:
            name = "バイナリ";
            break;
        case kCodeJis:
        case kCodeJisOld:
            name = "JIS";
            break;
        case kCodeEuc:
            name = "EUC";
            break;
        case kCodeSjis:
            name = "SJIS";
            break;
        case kCodeEucOrSjis:
            name = "EUCかSJIS";
            break;
        default:
            if (text.find_first_of("\x1B") == std::string::npos &&
                std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
                name = "ASCII";
            break;
        }
    }
    st.SetSore(name, "s");
}

HandlerRegistrar reg({{Cmd::ConvertToEuc, Convert<kCodeEuc>},
                      {Cmd::ConvertToJis, Convert<kCodeJis>},
                      {Cmd::ConvertToSjis, Convert<kCodeSjis>},
                      {Cmd::ConvertToUtf8, cmdConvertToUtf8},
                      {Cmd::DetectCode, cmdDetectCode}});

}   // namespace
