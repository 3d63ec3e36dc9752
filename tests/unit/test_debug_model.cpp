// The debugger's model and its link with the interpreter: the variable table and its
// filter, control-structure names, program lines by source line, the console's
// dump and answers, the choices of the dialog, single-step stops, and the requests
// of the run-time's own server.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "commands/dialogs/dialog_lines.h"
#include "core/hash.h"
#include "core/stacks.h"
#include "interp/debug_link.h"
#include "interp/debug_model.h"
#include "interp/host.h"
#include "interp/interp.h"
#include "loader/normaliser.h"

namespace {

std::vector<std::string> Names(const std::vector<TDebugRow>& rows)
{
    std::vector<std::string> out;
    for (const TDebugRow& r : rows)
        out.push_back(r.Name);
    return out;
}

// A word table with system words (level -1), variables declared at levels 0 to 2, a
// hash variable, a GUI object and words that are never listed.
struct Words {
    THash table;
    Words()
    {
        table.Add(new THashNode("それ", "", "42", "命令の返却値", -1, wkVariable, nullptr, false));
        table.Add(new THashNode("回数", "", "3", "回数", -1, wkVariable, nullptr, false));
        table.Add(new THashNode("改行", "", "\r\n", "定数", -1, wkVariable, nullptr, true));
        table.Add(THashNode::CreateVariable("上", "u", 0, false));
        table.Add(THashNode::CreateVariable("中", "m", 1, false));
        table.Add(THashNode::CreateVariable("下", "d", 2, false));
        auto* h = THashNode::CreateVariable("辞書", "", 1, false);
        auto* inner = new THash;
        inner->Add(THashNode::CreateVariable("a", "1", 0, false));
        inner->Add(THashNode::CreateVariable("b", "2", 0, false));
        h->SetTable(inner);
        h->TypeText = "hs";
        table.Add(h);
        table.Add(new THashNode("ボタン1", "", "", "ボタン", 0, wkObject, nullptr, false));
        table.Add(new THashNode("表示", "?を", "", "", 3, wkCommand, nullptr, true));
        table.Add(new THashNode("ラベル", "", "", "", 0, wkLabel, nullptr, false));
    }
};

TEST(DebugVariableRows, LevelFilterSystemWordsAndObjects)
{
    Words w;
    struct Case {
        const char* filter;
        bool objects;
        std::vector<std::string> names;
    } cases[] = {
        {"0", false, {"それ", "上", "中", "下", "辞書"}},
        {"1", false, {"それ", "中", "下", "辞書"}},   // それ is listed whatever the filter
        {"2", false, {"それ", "下"}},
        {" 2 ", false, {"それ", "下"}},
        {"9", false, {"それ"}},
        {"", false, {"それ", "回数", "改行", "上", "中", "下", "辞書"}},      // system words too
        {"abc", false, {"それ", "回数", "改行", "上", "中", "下", "辞書"}},   // not a number: -1
        {"0", true, {"それ", "上", "中", "下", "辞書", "ボタン1"}},
        {"1", true, {"それ", "中", "下", "辞書"}},   // the object is level 0
    };
    for (const Case& c : cases) {
        std::vector<std::string> got = Names(DebugVariableRows(w.table, c.filter, c.objects));
        std::vector<std::string> want = c.names;
        std::sort(got.begin(), got.end());
        std::sort(want.begin(), want.end());
        EXPECT_EQ(got, want) << "filter \"" << c.filter << "\" objects " << c.objects;
    }
}

TEST(DebugVariableRows, RowsCarryValueTypeAndLevel)
{
    Words w;
    const std::vector<TDebugRow> rows = DebugVariableRows(w.table, "", true);
    const int hash = DebugRowNamed(rows, "辞書");
    ASSERT_GE(hash, 0);
    EXPECT_EQ(rows[hash].Value, "a=1\r\nb=2");   // pairs of the nested table
    EXPECT_EQ(rows[hash].Type, "hs");
    EXPECT_EQ(rows[hash].Level, 1);
    const int sore = DebugRowNamed(rows, "それ");
    ASSERT_GE(sore, 0);
    EXPECT_EQ(rows[sore].Value, "42");
    EXPECT_EQ(rows[sore].Level, -1);
    // The table's own order: the rows follow the enumeration of the words.
    std::vector<std::string> order;
    for (const THashNode* n : w.table.Nodes())
        if (n->Kind == wkVariable || n->Kind == wkHash || n->Kind == wkObject)
            order.push_back(n->Name);
    EXPECT_EQ(Names(rows), order);
}

TEST(DebugFilter, LevelsAndTheSystemBox)
{
    EXPECT_EQ(DebugFilterLevel("0"), 0);
    EXPECT_EQ(DebugFilterLevel(" 12 "), 12);
    EXPECT_EQ(DebugFilterLevel("-3"), -3);
    EXPECT_EQ(DebugFilterLevel(""), -1);
    EXPECT_EQ(DebugFilterLevel("1a"), -1);
    EXPECT_EQ(DebugFilterLevel("１"), -1);   // full-width digits are not read
    EXPECT_EQ(DebugFilterAfterSystemBox("3", true), "");
    EXPECT_EQ(DebugFilterAfterSystemBox("", false), "0");
    EXPECT_EQ(DebugFilterAfterSystemBox("3", false), "3");
}

TEST(DebugFindRow, FirstNameStartingWithTheTrimmedText)
{
    std::vector<TDebugRow> rows(4);
    rows[0].Name = "それ";
    rows[1].Name = "名前";
    rows[2].Name = "名簿";
    rows[3].Name = "名前2";
    EXPECT_EQ(DebugFindRow(rows, "名"), 1);
    EXPECT_EQ(DebugFindRow(rows, " 名簿 "), 2);
    EXPECT_EQ(DebugFindRow(rows, "名前2"), 3);
    EXPECT_EQ(DebugFindRow(rows, "無い"), -1);
    EXPECT_EQ(DebugFindRow(rows, "  "), -1);
    EXPECT_EQ(DebugRowNamed(rows, "名前"), 1);
    EXPECT_EQ(DebugRowNamed(rows, "名"), -1);
}

TEST(DebugControl, NamesByKindInStackOrderOfTheCurrentLevel)
{
    const std::vector<std::string> names = {"もし、ならば", "もし、違えば", "繰り返す", "回",       "呼ぶ",
                                            "イベント",     "反復",         "不明",     "条件分岐", "その他"};
    for (uint8_t k = 0; k < 10; ++k)
        EXPECT_EQ(ControlKindName(k), names[k]) << int(k);
    EXPECT_STREQ(ControlKindName(200), "その他");

    TRunControlStack rc;
    TRunControl e;
    e.RcKind = rcCall;
    rc.Push(e);
    rc.EnterLevel();   // a nested run: the entries below are not listed
    for (uint8_t k : {rcFor, rcIfTrue, rcCase}) {
        e.RcKind = k;
        rc.Push(e);
    }
    EXPECT_EQ(DebugControlEntries(rc), (std::vector<std::string>{"1:繰り返す", "2:もし、ならば", "3:条件分岐"}));
    rc.LeaveLevel();
    EXPECT_EQ(DebugControlEntries(rc), (std::vector<std::string>{"1:呼ぶ"}));
}

TEST(DebugProgramLines, LinesStayAtTheirSourceNumbers)
{
    struct Case {
        const char* what;
        std::string source;
        std::vector<std::string> lines;
    } cases[] = {
        {"plain", "A=1\r\nB=2\r\n", {"A=1", "B=2"}},
        {"no final break", "A\r\nB", {"A", "B"}},
        {"comment block over lines", "A{x\r\ny}B\r\nC\r\n", {"A", "B", "C"}},
        {"break inside a string", "A=\"x\r\ny\"\r\nC\r\n", {"A=\"x", "y\"", "C"}},
        {"empty lines", "\r\n\r\nA\r\n", {"", "", "A"}},
        {"empty text", "", {}},
    };
    for (const Case& c : cases) {
        std::string text = c.source;
        Normalise(text);
        EXPECT_EQ(DebugProgramLines(text), c.lines) << c.what;
    }
}

TEST(DebugAnswers, LettersInEitherCase)
{
    struct Case {
        const char* answer;
        bool ok;
        DebugChoice choice;
    } cases[] = {
        {"c", true, DebugChoice::Continue}, {"C", true, DebugChoice::Continue}, {" l", true, DebugChoice::Step},
        {"L\r", true, DebugChoice::Step},   {"q", true, DebugChoice::Stop},     {"quit", true, DebugChoice::Stop},
        {"", false, DebugChoice::Closed},   {"x", false, DebugChoice::Closed},  {"連続", false, DebugChoice::Closed},
    };
    for (const Case& c : cases) {
        DebugChoice got = DebugChoice::Closed;
        EXPECT_EQ(ParseDebugAnswer(c.answer, got), c.ok) << c.answer;
        if (c.ok) {
            EXPECT_EQ(got, c.choice) << c.answer;
        }
    }
}

class TScriptedIo : public TLineIo {
public:
    explicit TScriptedIo(std::deque<std::string> lines) : lines_(std::move(lines)) {}
    void Prompt(const std::string& text) override { prompts.push_back(text); }
    bool ReadLine(std::string& line) override
    {
        if (lines_.empty())
            return false;
        line = lines_.front();
        lines_.pop_front();
        return true;
    }
    size_t Left() const { return lines_.size(); }
    std::vector<std::string> prompts;

private:
    std::deque<std::string> lines_;
};

TEST(DebugAnswers, LineProtocolEndsWithoutLooping)
{
    struct Case {
        const char* what;
        std::deque<std::string> input;
        DebugChoice choice;
        size_t prompts, left;
    } cases[] = {
        {"step", {"l", "c"}, DebugChoice::Step, 1, 1},
        {"asked again", {"x", "q"}, DebugChoice::Stop, 2, 0},
        {"end of the input", {}, DebugChoice::Continue, 1, 0},
        {"three reads at most", {"x", "y", "z", "q"}, DebugChoice::Continue, 3, 1},
    };
    for (const Case& c : cases) {
        TScriptedIo io(c.input);
        EXPECT_EQ(AskDebugOnLines(io, "DUMP"), c.choice) << c.what;
        ASSERT_EQ(io.prompts.size(), c.prompts) << c.what;
        EXPECT_EQ(io.prompts[0], "DUMP") << c.what;
        for (size_t i = 1; i < io.prompts.size(); ++i)
            EXPECT_EQ(io.prompts[i], DebugQuestion()) << c.what;
        EXPECT_EQ(io.Left(), c.left) << c.what;
    }
}

TEST(DebugDump, ShowsLineControlStructuresAndTable)
{
    TDebugView v;
    v.Line = 3;
    v.Program = {"a", "b", "c", "d", "e", "f"};
    v.Control = {"1:繰り返す", "2:もし、ならば"};
    v.Rows.resize(2);
    v.Rows[0] = {"それ", "x", "命令", -1};
    v.Rows[1] = {"長い", std::string(200, 'z') + "\r\n" + "後", "s", 0};
    const std::string dump = DebugDumpText(v, "0", "それ");
    EXPECT_NE(dump.find("現在の実行行:3\n"), std::string::npos);
    EXPECT_NE(dump.find("  1: a\n  2: b\n> 3: c\n  4: d\n  5: e\n[制御構造] 1:繰り返す 2:もし、ならば\n"),
              std::string::npos)
        << dump;
    EXPECT_EQ(dump.find("6: f"), std::string::npos);   // two lines of context
    EXPECT_NE(dump.find("[変数] レベル0以上\n名前\t値\t型\t宣言レベル\n*それ\tx\t命令\t-1\n"), std::string::npos);
    EXPECT_NE(dump.find("長い\t" + std::string(120, 'z') + "...\ts\t0\n"), std::string::npos);   // cut
    EXPECT_EQ(dump.substr(dump.size() - std::string(DebugQuestion()).size()), DebugQuestion());

    v.Rows = {{"改", "一\r\n二\n三", "s", 0}};
    v.Control.clear();
    const std::string two = DebugDumpText(v, "", "");
    EXPECT_NE(two.find("改\t一\\n二\\n三\ts\t0\n"), std::string::npos) << two;
    EXPECT_NE(two.find("[制御構造] なし\n[変数] 全て\n"), std::string::npos) << two;
}

// A host that records the debugger's dialogs and close requests.
class TDebugHost : public THost {
public:
    std::deque<DebugChoice> choices;
    std::vector<std::string> messages;
    std::vector<int32_t> shownAt;   // the current line of each dialog
    std::vector<std::string> words;
    int closes = 0;
    bool acceptClose = true;
    std::function<void()> insideDialog;

    bool IsGui() const override { return false; }
    void ShowText(TPoruBase&, const std::string& text) override { messages.push_back("表示:" + text); }
    void Say(TPoruBase&, const std::string&) override {}
    void MessageBox(const std::string& text) override { messages.push_back(text); }
    ErrorChoice ShowErrorDialog(TPoruBase&, const std::string&) override { return ErrorChoice::Debug; }
    void Warning(TPoruBase&, const std::string&) override {}
    void ProcessEvents() override {}
    void WaitMs(TPoruBase&, int64_t) override {}
    int64_t TickMs() override { return 0; }
    void ShowMainWindow() override {}
    void RequestClose(TPoruBase& st) override
    {
        ++closes;
        if (acceptClose)
            st.RequestClose();
    }
    void* MainWindowControl() override { return nullptr; }
    int ScreenWidth() override { return 0; }
    int ScreenHeight() override { return 0; }
    DebugChoice ShowDebugDialog(TPoruBase& st, const std::string& word) override
    {
        shownAt.push_back(st.CurrentLineNo());
        words.push_back(word);
        if (insideDialog)
            insideDialog();
        if (choices.empty())
            return DebugChoice::Closed;
        const DebugChoice c = choices.front();
        choices.pop_front();
        return c;
    }
};

struct DebugLink : ::testing::Test {
    TPoruBase st;
    TDebugHost host;

    void SetUp() override
    {
        st.FileName = "t.prk";
        st.Source = "";
        st.Host = &host;
        st.PrepareRun();
    }
    // Runs a program (its labels registered); the accumulated error text stays.
    void Run(const std::string& lines)
    {
        const std::string errors = st.ErrorText;
        st.Source = lines + "\r\n";
        st.PrepareRun();
        st.ErrorText = errors + st.ErrorText;
        st.Stopping = false;
        st.Cursor = st.Source.c_str();
        st.RunLoop();
    }
};

TEST_F(DebugLink, ChoicesSetSingleStepOrClose)
{
    struct Case {
        DebugChoice choice;
        bool lineStopBefore, lineStopAfter, stopped;
        int closes;
    } cases[] = {
        {DebugChoice::Continue, true, false, false, 0}, {DebugChoice::Step, false, true, false, 0},
        {DebugChoice::Closed, true, true, false, 0},    {DebugChoice::Closed, false, false, false, 0},
        {DebugChoice::Stop, false, false, true, 1},
    };
    for (const Case& c : cases) {
        host.choices = {c.choice};
        host.closes = 0;
        st.LineStop = c.lineStopBefore;
        EXPECT_EQ(ShowDebugger(st, "X"), c.stopped);
        EXPECT_EQ(st.LineStop, c.lineStopAfter);
        EXPECT_EQ(host.closes, c.closes);
        EXPECT_EQ(host.words.back(), "X");
    }
    EXPECT_TRUE(st.Stopping);   // the accepted close
}

TEST_F(DebugLink, DialogIsNotShownInsideItself)
{
    int inner = -1;
    host.insideDialog = [&] {
        host.insideDialog = nullptr;
        inner = ShowDebugger(st) ? 1 : 0;   // an event handler reaching a stop
    };
    host.choices = {DebugChoice::Step};
    ShowDebugger(st);
    EXPECT_EQ(inner, 0);
    EXPECT_EQ(host.shownAt.size(), 1u);
    EXPECT_TRUE(st.LineStop);
}

TEST_F(DebugLink, SingleStepStopsAfterEveryLineUntilContinue)
{
    host.choices = {DebugChoice::Step, DebugChoice::Step, DebugChoice::Continue};
    Run("A=1\r\n改行で実行を止める\r\nB=2\r\nC=3\r\nD=4\r\nE=5");
    // After 改行で実行を止める (line 2) the dialog shows the line about to run.
    EXPECT_EQ(host.shownAt, (std::vector<int32_t>{3, 4, 5}));
    EXPECT_FALSE(st.LineStop);
    EXPECT_EQ(st.Words.FindExact("E")->Value, "5");
}

TEST_F(DebugLink, StopInSingleStepRunsTheCloseLabelAndEndsTheRun)
{
    host.choices = {DebugChoice::Stop};
    Run("終了時に、終了処理設定\r\n改行で実行を止める\r\nA=1\r\nB=2\r\n終わり\r\n*終了時\r\n「閉じた」を、表示");
    EXPECT_EQ(host.shownAt, (std::vector<int32_t>{3}));
    EXPECT_EQ(host.messages, (std::vector<std::string>{"表示:閉じた"}));
    EXPECT_EQ(st.Words.FindExact("B"), nullptr);
}

TEST_F(DebugLink, DebugCommandAndTheErrorDialogsDebugChoice)
{
    host.choices = {DebugChoice::Closed, DebugChoice::Continue};
    Run("A=1\r\nDEBUG\r\n未定義の命令\r\nB=2");
    // DEBUG on line 2; the error on line 3 chose デバッグする, which opened it again.
    EXPECT_EQ(host.shownAt, (std::vector<int32_t>{2, 3}));
    EXPECT_EQ(st.Words.FindExact("B")->Value, "2");   // continued after the error
}

TEST_F(DebugLink, CommandRequests)
{
    Run("A=1\r\nB=2\r\nC=3");
    st.Cursor = nullptr;
    st.LineNo = 7;
    HandleCommandRequest(st, "line");
    HandleCommandRequest(st, "  line \r\n");
    HandleCommandRequest(st, "line porupad");   // no editor: nothing to see
    HandleCommandRequest(st, "line other");
    HandleCommandRequest(st, "LINE");
    HandleCommandRequest(st, "rows");
    EXPECT_EQ(host.messages, (std::vector<std::string>{"実行ライン:7", "実行ライン:7"}));

    host.choices = {DebugChoice::Step};
    HandleCommandRequest(st, "pause");
    EXPECT_EQ(host.shownAt.size(), 1u);
    EXPECT_TRUE(st.LineStop);

    // break: the close procedure; a close label that keeps the window open does not
    // keep the run going.
    host.acceptClose = false;
    HandleCommandRequest(st, "break porupad");
    EXPECT_EQ(host.closes, 1);
    EXPECT_TRUE(st.Stopping);
    HandleCommandRequest(st, "pause");   // nothing once the run is stopping
    EXPECT_EQ(host.shownAt.size(), 1u);
}

TEST_F(DebugLink, RequestsNeedALoadedProgram)
{
    st.FileName.clear();
    HandleCommandRequest(st, "pause");
    HandleCommandRequest(st, "break");
    EXPECT_TRUE(host.shownAt.empty());
    EXPECT_EQ(host.closes, 0);
    HandleCommandRequest(st, "line");   // the line is always answered
    EXPECT_EQ(host.messages.size(), 1u);
}

TEST_F(DebugLink, ServiceNameIsTheExecutablesBaseName)
{
    struct Case {
        const char* exe;
        const char* name;
    } cases[] = {
        {"/usr/bin/porukana-cli", "porukana-cli"},
        {"/opt/app/tool.exe", "tool"},
        {"/a.b/prog", "prog"},
        {"/x/.hidden", ".hidden"},
        {"", "porukana"},
    };
    for (const Case& c : cases) {
        st.ExePath = c.exe;
        st.Params.clear();
        EXPECT_EQ(OwnServiceName(st), c.name) << c.exe;
    }
}

TEST_F(DebugLink, ScriptChannelsWithoutTheServiceFailWithTheirMessages)
{
    // The core's tests have no channel service: the commands fail, naming server
    // and topic, and nothing else happens.
    Run("*受信\r\n受信を呼ぶ、「受付」という、DDEサーバー作成");
    EXPECT_NE(st.ErrorText.find("サーバー\"自身\"トピック\"受付\"でエラー。サーバー作成に失敗"), std::string::npos)
        << st.ErrorText;
    Run("無いを呼ぶ、「受付」という、DDEサーバー作成");
    EXPECT_NE(st.ErrorText.find("サーバー\"自身\"トピック\"受付\"でエラー。ジャンプ先ラベルが見つかりません。"),
              std::string::npos);
    const size_t before = st.ErrorText.size();
    Run("A=1\r\nAを呼ぶ、「受付」という、DDEサーバー作成");   // a variable is no label
    EXPECT_NE(st.ErrorText.find("ジャンプ先ラベルが見つかりません。", before), std::string::npos);
    Run("「相手」の、「話題」に、「文」を、DDE送信");
    EXPECT_NE(st.ErrorText.find("サーバー\"相手\"トピック\"話題\"でエラー。リンク出来ませんでした。"),
              std::string::npos);
}

}   // namespace
