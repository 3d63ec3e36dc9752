// The string commands: measuring, searching, cutting, padding, converting and
// classifying Shift_JIS text. Each handler takes its arguments last slot first,
// does one thing with the helpers of strings.h and kana.h, and sets それ.
#include <cmath>

#include "commands/numbers/number_format.h"
#include "commands/strings/kana.h"
#include "commands/strings/strings.h"
#include "commands/tables/csv_table.h"
#include "interp/builtins.h"

namespace {

using namespace sjistext;

// An "integer" argument: a whole decimal or $-hexadecimal text, else the default.
int32_t PopIntOr(TPoruBase& st, int32_t def)
{
    return ToIntOrDefault(st.PopText(), def);
}

// A count or width: the number truncated toward zero, which must fit 32 bits.
// Handlers take every argument first and check afterwards, so that a failing
// command leaves no argument behind.
int32_t Whole(TPoruBase& st, long double v)
{
    long double t = truncl(v);
    if (!(t >= -2147483648.0L && t <= 2147483647.0L))
        st.ArgError();
    return static_cast<int32_t>(t);
}

void CheckSize(TPoruBase& st, int64_t bytes)
{
    if (bytes < 0 || static_cast<uint64_t>(bytes) > kMaxTextBytes)
        st.Error(kMsgTooLarge);
}

// The variable named by an argument taken as written, or nullptr.
THashNode* VariableNamed(TPoruBase& st, const std::string& raw)
{
    THashNode* n = st.Words.FindExact(raw);
    return (n && n->Kind == wkVariable) ? n : nullptr;
}

void CheckWritable(TPoruBase& st, THashNode* n)
{
    if (n->Reserved)
        st.Error("\"" + n->Name + "\"は、読取専用です。");
}

// Writes what a cutting command leaves to the variable it cut from; それ itself
// keeps only the cut part.
void WriteBack(TPoruBase& st, THashNode* var, std::string rest)
{
    if (!var || var == st.Sys.Sore)
        return;
    var->Value = std::move(rest);
    var->TypeText = "s";
}

// The source of 切り取る and 判別して切り取る: a variable's value, or the argument
// evaluated as an expression (which must not be empty).
std::string CutSource(TPoruBase& st, const std::string& raw, THashNode*& var)
{
    var = VariableNamed(st, raw);
    if (var) {
        CheckWritable(st, var);
        return var->Value;
    }
    std::string v = st.EvaluateValue(raw);
    if (v.empty())
        st.ArgError();
    return v;
}

// 文字数 (LEN): characters of the text.
void cmdLen(TPoruBase& st)
{
    st.SetSoreInt(static_cast<int64_t>(CharCount(st.PopText())));
}

// バイト数 (LENB): bytes of the text.
void cmdLenB(TPoruBase& st)
{
    st.SetSoreInt(static_cast<int64_t>(st.PopText().size()));
}

// 行数: lines of a variable's value; それ's tag stays.
void cmdLineCount(TPoruBase& st)
{
    std::string name = st.PopRaw();
    if (name.size() >= 2 && name.front() == '`' && name.back() == '`')
        name = name.substr(1, name.size() - 2);
    THashNode* var = VariableNamed(st, name);
    if (!var)
        st.Error("変数\"" + name + "\"が見つかりません。");
    st.SetSoreValue(std::to_string(LineCount(var->Value)));
}

// 何文字目 (POS): character position of the first exact match, 0 when none.
void cmdPos(TPoruBase& st)
{
    std::string needle = st.PopText();
    std::string text = st.PopText();
    st.SetSoreInt(CharPosition(text, needle));
}

// 出現回数: non-overlapping occurrences of the word.
void cmdCountOf(TPoruBase& st)
{
    std::string word = st.PopText();
    std::string text = st.PopText();
    st.SetSoreInt(CountMatches(text, word));
}

// 文比較: 1 when the texts are equal byte for byte.
void cmdCompare(TPoruBase& st)
{
    std::string b = st.PopText();
    std::string a = st.PopText();
    st.SetSoreFlag(a == b);
}

// LEFT / RIGHT: the first / last count characters.
void cmdLeft(TPoruBase& st)
{
    long double n = st.PopNumber();
    std::string text = st.PopText();
    st.SetSore(LeftChars(text, Whole(st, n)), "s");
}

void cmdRight(TPoruBase& st)
{
    long double n = st.PopNumber();
    std::string text = st.PopText();
    st.SetSore(RightChars(text, Whole(st, n)), "s");
}

// MID (切り出す): characters start ... start+count-1.
void cmdMid(TPoruBase& st)
{
    int32_t count = PopIntOr(st, 0);
    int32_t start = PopIntOr(st, 0);
    st.SetSore(MidChars(st.PopText(), start, count), "s");
}

// MIDB: count bytes from byte start (may split a two-byte character).
void cmdMidB(TPoruBase& st)
{
    int32_t count = PopIntOr(st, 0);
    int32_t start = PopIntOr(st, 0);
    st.SetSore(MidBytes(st.PopText(), start, count), "s");
}

// 段落を切り出す: the index-th paragraph with its trailing line breaks.
void cmdParagraph(TPoruBase& st)
{
    int32_t index = PopIntOr(st, -1);
    st.SetSore(Paragraph(st.PopText(), index), "s");
}

// 区切る: the pieces between separators as one-column CSV text.
void cmdSplit(TPoruBase& st)
{
    std::string sep = st.PopText();
    std::string text = st.PopText();
    TCsvDb table;
    for (std::string& piece : SplitPieces(text, sep))
        table.Rows.push_back(TCsvCells{std::move(piece)});
    st.SetSore(table.GetText(), "s");
}

// 切り取る: the text before the delimiter; the variable keeps what follows it.
void cmdCut(TPoruBase& st)
{
    std::string delim = st.PopText();
    std::string raw = st.PopRaw();
    if (delim.empty()) {
        st.SetSore(std::string(), "s");
        return;
    }
    THashNode* var;
    std::string source = CutSource(st, raw, var);
    Cut cut = CutBefore(source, delim);
    WriteBack(st, var, std::move(cut.rest));
    st.SetSore(std::move(cut.piece), "s");
}

// 判別して切り取る: as 切り取る, but an escaped character never ends the piece.
void cmdCutEscaped(TPoruBase& st)
{
    std::string escape = st.PopText();
    std::string delim = st.PopText();
    std::string raw = st.PopRaw();
    if (escape.size() != 1)
        st.ArgError("判別文字は \\などの半角１文字で指定。");
    if (delim.empty()) {
        st.SetSore(std::string(), "s");
        return;
    }
    THashNode* var;
    std::string source = CutSource(st, raw, var);
    Cut cut = CutEscaped(source, delim, escape[0]);
    WriteBack(st, var, std::move(cut.rest));
    st.SetSore(std::move(cut.piece), "s");
}

// 範囲を切り取る: the span from the start marker through the end marker; the
// variable keeps what lies around it.
void cmdCutRange(TPoruBase& st)
{
    std::string endMark = st.PopText();
    std::string startMark = st.PopText();
    std::string raw = st.PopRaw();
    THashNode* var = VariableNamed(st, raw);
    if (!var)
        st.ArgError("１番目の引数は、変数である必要があります。");
    CheckWritable(st, var);
    std::string value = var->Value;
    st.SetSore(std::string(), "s");
    Cut cut;
    if (!CutRange(value, startMark, endMark, cut))
        return;
    WriteBack(st, var, std::move(cut.rest));
    st.SetSore(std::move(cut.piece), "s");
}

// 左端を切り取る / 右端を切り取る: the first / last count characters of a variable
// or expression; a variable keeps the remaining characters.
void CutEnd(TPoruBase& st, bool left)
{
    long double n = st.PopNumber();
    std::string raw = st.PopRaw();
    std::string source = raw.empty() ? std::string() : st.EvaluateValue(raw);
    int32_t count = Whole(st, n);
    if (count < 1 || raw.empty()) {
        st.SetSore(std::string(), "s");
        return;
    }
    THashNode* var = nullptr;
    if (raw[0] != '"' && raw[0] != '`') {
        var = VariableNamed(st, raw);
        if (var == st.Sys.Sore)
            var = nullptr;
        if (var)
            CheckWritable(st, var);
    }
    std::string piece = left ? LeftChars(source, count) : RightChars(source, count);
    if (var)
        WriteBack(st, var, left ? DropLeftChars(source, count) : DropRightChars(source, count));
    st.SetSore(std::move(piece), "s");
}

void cmdCutLeft(TPoruBase& st)
{
    CutEnd(st, true);
}
void cmdCutRight(TPoruBase& st)
{
    CutEnd(st, false);
}

// 右端削除 / 左端削除: the text without its last / first count characters.
void cmdDropRight(TPoruBase& st)
{
    long double n = st.PopNumber();
    std::string text = st.PopText();
    st.SetSore(DropRightChars(text, Whole(st, n)), "s");
}

void cmdDropLeft(TPoruBase& st)
{
    long double n = st.PopNumber();
    std::string text = st.PopText();
    st.SetSore(DropLeftChars(text, Whole(st, n)), "s");
}

// トリム (前後の空白削除): blanks removed at both ends; それ's tag stays.
void cmdTrim(TPoruBase& st)
{
    st.SetSoreValue(TrimBlanks(st.PopText()));
}

// 送り仮名削除: hiragana runs after kanji removed.
void cmdOkurigana(TPoruBase& st)
{
    st.SetSore(DeleteOkurigana(st.PopText()), "s");
}

// タグ削除: the text without its <...> tags.
void cmdTagDelete(TPoruBase& st)
{
    st.SetSore(DeleteTags(st.PopText()), "s");
}

// タグ切り出し: every element of the named tag, each followed by CR LF.
void cmdTagExtract(TPoruBase& st)
{
    std::string name = st.PopText();
    std::string text = st.PopText();
    st.SetSore(ExtractTags(text, name), "s");
}

// 置換: every occurrence replaced.
void cmdReplace(TPoruBase& st)
{
    std::string repl = st.PopText();
    std::string search = st.PopText();
    std::string text = st.PopText();
    if (!search.empty() && repl.size() > search.size()) {
        int64_t n = CountMatches(text, search);
        CheckSize(st, static_cast<int64_t>(text.size()) + n * static_cast<int64_t>(repl.size() - search.size()));
    }
    st.SetSore(ReplaceAll(text, search, repl), "s");
}

// リフレイン: the text repeated.
void cmdRefrain(TPoruBase& st)
{
    int32_t times = PopIntOr(st, 0);
    std::string text = st.PopText();
    if (times > 0)
        CheckSize(st, static_cast<int64_t>(text.size()) * times);
    st.SetSore(Repeat(text, times), "s");
}

// 確保: makes a variable's value exactly size bytes (new bytes are zero); それ stays.
void cmdReserve(TPoruBase& st)
{
    long double n = st.PopNumber();
    THashNode* var = st.PopWord(true);
    int32_t size = Whole(st, n);
    if (var->Kind != wkVariable)
        st.ArgError();
    CheckWritable(st, var);
    if (var->TypeText.empty())
        var->TypeText = "s";
    if (size <= 0) {
        var->Value.clear();
        return;
    }
    CheckSize(st, size);
    var->Value.resize(static_cast<size_t>(size), '\0');
}

// 右寄せ / ゼロで埋める: padded on the left to width bytes; それ's tag stays.
void Pad(TPoruBase& st, char fill)
{
    long double n = st.PopNumber();
    std::string text = st.PopText();
    int32_t width = Whole(st, n);
    CheckSize(st, width);
    st.SetSoreValue(PadLeft(text, width, fill));
}

void cmdPadSpaces(TPoruBase& st)
{
    Pad(st, ' ');
}
void cmdPadZeros(TPoruBase& st)
{
    Pad(st, '0');
}

// 通貨形式に変換: grouped digits, two decimals when the text has a "."; tag stays.
void cmdCurrency(TPoruBase& st)
{
    std::string text = st.PopText();
    long double v = ToNumber(text);
    std::string out;
    if (!numfmt::FormatCurrency(v, FindAtCharStart(text, ".") != npos, out))
        st.Error(numfmt::kMsgOverflow);
    st.SetSoreValue(std::move(out));
}

// 指定形式に変換: one value through a printf-like format.
void cmdFormat(TPoruBase& st)
{
    std::string format = st.PopText();
    std::string value = st.PopText();
    std::string out;
    if (!numfmt::FormatWithSpec(format, value, out)) {
        std::string name = st.CurrentCommand ? st.CurrentCommand->Name : std::string();
        st.Error("\"" + name + "\"は、文法が正しくないため、実行できません。");
    }
    st.SetSore(std::move(out), "s");
}

// 半角変換 / 全角変換 / 英数半角変換: only the pending tag is set.
void cmdHalf(TPoruBase& st)
{
    st.SetSorePending(ToHalfWidth(st.PopText()), "s");
}
void cmdFull(TPoruBase& st)
{
    st.SetSorePending(ToFullWidth(st.PopText()), "s");
}
void cmdAlnumHalf(TPoruBase& st)
{
    st.SetSorePending(AlnumToHalf(st.PopText()), "s");
}

// 大文字変換 / 小文字変換 / ひらがな変換 / カタカナ変換.
void cmdUpper(TPoruBase& st)
{
    st.SetSore(ToUpperCase(st.PopText()), "s");
}
void cmdLower(TPoruBase& st)
{
    st.SetSore(ToLowerCase(st.PopText()), "s");
}
void cmdHiragana(TPoruBase& st)
{
    st.SetSore(ToHiragana(st.PopText()), "s");
}
void cmdKatakana(TPoruBase& st)
{
    st.SetSore(ToKatakana(st.PopText()), "s");
}

// The character tests: 1 or 0 for the first character (or the whole text).
void cmdIsUpper(TPoruBase& st)
{
    st.SetSoreFlag(FirstIsUpper(st.PopText()));
}
void cmdIsDigit(TPoruBase& st)
{
    st.SetSoreFlag(FirstIsDigit(st.PopText()));
}
void cmdIsWide(TPoruBase& st)
{
    st.SetSoreFlag(FirstIsWide(st.PopText()));
}
void cmdIsHiragana(TPoruBase& st)
{
    st.SetSoreFlag(FirstIsHiragana(st.PopText()));
}
void cmdIsKatakana(TPoruBase& st)
{
    st.SetSoreFlag(FirstIsKatakana(st.PopText()));
}
void cmdIsNumberString(TPoruBase& st)
{
    st.SetSoreFlag(IsNumberString(st.PopText()));
}

// 文字 (CHR): the character with a code 0 ... 65535.
void cmdChr(TPoruBase& st)
{
    int32_t code = PopIntOr(st, -1);
    if (code < 0 || code > 65535)
        st.ArgError();
    st.SetSore(CharOfCode(code), "s");
}

// キーコード (ASC): the code of the first character.
void cmdAsc(TPoruBase& st)
{
    std::string text = st.PopText();
    if (text.empty())
        st.ArgError();
    st.SetSoreInt(CodeOfFirstChar(text));
}

// 行揃え: lines of at most width bytes, with タブ文字の個数 and the kinsoku list of
// 禁則処理の行頭禁止文字.
void cmdFillLines(TPoruBase& st)
{
    long double n = st.PopNumber();
    std::string text = st.PopText();
    int32_t width = Whole(st, n);
    int64_t tab = 8;
    if (st.Sys.TabCount) {
        long double t = truncl(ToNumber(st.Sys.TabCount->Value));
        tab = (t >= -2147483648.0L && t <= 2147483647.0L) ? static_cast<int64_t>(t) : 8;
    }
    THashNode* kinsoku = st.Words.FindExact("禁則処理の行頭禁止文字");
    st.SetSore(FillLines(text, width, tab, kinsoku ? std::string_view(kinsoku->Value) : std::string_view()), "s");
}

HandlerRegistrar reg({
    {Cmd::Half, cmdHalf},
    {Cmd::Split, cmdSplit},
    {Cmd::Replace, cmdReplace},
    {Cmd::Pos, cmdPos},
    {Cmd::Mid, cmdMid},
    {Cmd::Refrain, cmdRefrain},
    {Cmd::LineCount, cmdLineCount},
    {Cmd::Trim, cmdTrim},
    {Cmd::Reserve, cmdReserve},
    {Cmd::Asc, cmdAsc},
    {Cmd::Chr, cmdChr},
    {Cmd::Full, cmdFull},
    {Cmd::Len, cmdLen},
    {Cmd::Cut, cmdCut},
    {Cmd::TagDelete, cmdTagDelete},
    {Cmd::TagExtract, cmdTagExtract},
    {Cmd::LenB, cmdLenB},
    {Cmd::DropRight, cmdDropRight},
    {Cmd::DropLeft, cmdDropLeft},
    {Cmd::Currency, cmdCurrency},
    {Cmd::PadSpaces, cmdPadSpaces},
    {Cmd::PadZeros, cmdPadZeros},
    {Cmd::Right, cmdRight},
    {Cmd::Left, cmdLeft},
    {Cmd::Upper, cmdUpper},
    {Cmd::Lower, cmdLower},
    {Cmd::Paragraph, cmdParagraph},
    {Cmd::Hiragana, cmdHiragana},
    {Cmd::Katakana, cmdKatakana},
    {Cmd::CutRange, cmdCutRange},
    {Cmd::AlnumHalf, cmdAlnumHalf},
    {Cmd::CutLeft, cmdCutLeft},
    {Cmd::CutRight, cmdCutRight},
    {Cmd::CutEscaped, cmdCutEscaped},
    {Cmd::IsUpper, cmdIsUpper},
    {Cmd::IsDigit, cmdIsDigit},
    {Cmd::IsWide, cmdIsWide},
    {Cmd::IsHiragana, cmdIsHiragana},
    {Cmd::IsKatakana, cmdIsKatakana},
    {Cmd::Format, cmdFormat},
    {Cmd::DropOkurigana, cmdOkurigana},
    {Cmd::Compare, cmdCompare},
    {Cmd::CountOf, cmdCountOf},
    {Cmd::FillLines, cmdFillLines},
    {Cmd::IsNumberString, cmdIsNumberString},
    {Cmd::MidB, cmdMidB},
});

}   // namespace
