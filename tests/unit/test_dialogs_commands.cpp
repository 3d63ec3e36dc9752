// The dialog commands against a host that answers from a list (results, tags and
// cancel rules), and the line protocol against scripted lines (prompts, answer
// forms, the end of the input).
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>

#include "commands/dialogs/dialog_lines.h"
#include "core/codec.h"
#include "interp/host.h"
#include "interp/interp.h"

namespace {

// One answer of the fake host: cancelled or not, and what was chosen.
struct TAnswer {
    bool ok = true;
    std::string text;
    int number = 0;
    std::vector<std::string> files;
    THost::TFontChoice font;
};

// What the last dialog was asked.
struct TAsked {
    std::string kind, message, initial, defaultExt;
    std::vector<std::string> items;
    std::vector<THost::TDialogFilter> filter;
    THost::TFontChoice font;
    int ime = -1;
    bool editable = false;
    int count = 0;
};

class TDialogHost : public THost {
public:
    std::deque<TAnswer> answers;
    TAsked asked;

    bool IsGui() const override { return false; }
    void ShowText(TPoruBase&, const std::string&) override {}
    void Say(TPoruBase&, const std::string& text) override { Record("言う", text); }
    void MessageBox(const std::string&) override {}
    ErrorChoice ShowErrorDialog(TPoruBase&, const std::string&) override { return ErrorChoice::Stop; }
    void Warning(TPoruBase&, const std::string&) override {}
    void ProcessEvents() override {}
    void WaitMs(TPoruBase&, int64_t) override {}
    int64_t TickMs() override { return 0; }
    void ShowMainWindow() override {}
    void RequestClose(TPoruBase&) override {}
    void* MainWindowControl() override { return nullptr; }
    int ScreenWidth() override { return 1280; }
    int ScreenHeight() override { return 800; }

    bool AskText(TPoruBase&, const std::string& message, const std::string& initial, int ime,
                 std::string& answer) override
    {
        const TAnswer a = Record("尋ねる", message, initial, ime);
        answer = a.text;
        return a.ok;
    }
    int AskQuestion(TPoruBase&, const std::string& message, bool withCancel) override
    {
        return Record(withCancel ? "三択" : "二択", message).number;
    }
    bool ChooseFromList(TPoruBase&, const std::string& message, const std::vector<std::string>& items,
                        const std::string& initial, bool editable, int ime, std::string& answer) override
    {
        const TAnswer a = Record("リスト", message, initial, ime);
        asked.items = items;
        asked.editable = editable;
        answer = a.text;
        return a.ok;
    }
    bool ChooseButton(TPoruBase&, const std::string& message, const std::vector<std::string>& choices,
                      std::string& answer) override
    {
        const TAnswer a = Record("ボタン", message);
        asked.items = choices;
        answer = a.text;
        return a.ok;
    }
    bool EditMemo(TPoruBase&, int ime, std::string& text) override
    {
        const TAnswer a = Record("メモ", std::string(), text, ime);
        text = a.text;
        return a.ok;
    }
    bool ChooseColour(TPoruBase&, int32_t& colour) override
    {
        const TAnswer a = Record("色");
        colour = a.number;
        return a.ok;
    }
    bool ChooseFont(TPoruBase&, TFontChoice& font) override
    {
        asked.font = font;
        const TAnswer a = Record("フォント");
        font = a.font;
        return a.ok;
    }
    bool ChooseOpenFiles(TPoruBase&, const std::vector<TDialogFilter>& filter, const std::string& initialName,
                         std::vector<std::string>& files) override
    {
        const TAnswer a = Record("読込", std::string(), initialName);
        asked.filter = filter;
        files = a.files;
        return a.ok;
    }
    bool ChooseSaveFile(TPoruBase&, const std::vector<TDialogFilter>& filter, const std::string& defaultExt,
                        const std::string& initialName, std::string& file) override
    {
        const TAnswer a = Record("書込", std::string(), initialName);
        asked.filter = filter;
        asked.defaultExt = defaultExt;
        file = a.text;
        return a.ok;
    }
    bool ChooseFolder(TPoruBase&, std::string& folder) override
    {
        const TAnswer a = Record("フォルダ");
        folder = a.text;
        return a.ok;
    }

private:
    TAnswer Record(const char* kind, const std::string& message = std::string(), const std::string& initial = "",
                   int ime = -1)
    {
        asked.kind = kind;
        asked.message = message;
        asked.initial = initial;
        asked.ime = ime;
        ++asked.count;
        TAnswer a;
        if (!answers.empty()) {
            a = answers.front();
            answers.pop_front();
        } else {
            a.ok = false;
        }
        return a;
    }
};

struct DialogCommands : ::testing::Test {
    TPoruBase st;
    TDialogHost host;

    void SetUp() override
    {
        st.FileName = "t.prk";
        st.Source = "";
        st.Host = &host;
        st.PrepareRun();
    }
    // Runs lines of a program (CR LF added); true when no error was raised.
    bool Run(const std::string& lines)
    {
        st.Source = lines + "\r\n";
        st.NormaliseOrRaise(st.Source);
        const size_t before = st.ErrorText.size();
        st.Cursor = st.Source.c_str();
        st.RunLoop();
        return st.ErrorText.find("[エラー]", before) == std::string::npos;
    }
    std::string Sore() const { return st.Sys.Sore->Value; }
    std::string Tag() const { return st.Sys.Sore->TypeText; }
    void SetSore(const char* value, const char* tag) { st.SetSore(value, tag); }
    void SetVar(const char* name, const std::string& value)
    {
        THashNode* n = st.Words.FindExact(name);
        if (!n) {
            n = THashNode::CreateVariable(name, "", 0, false);
            st.Words.Add(n);
        }
        n->Value = value;
        n->TypeText = "s";
    }
    TAnswer Ok(const std::string& text)
    {
        TAnswer a;
        a.text = text;
        return a;
    }
    TAnswer Number(int n)
    {
        TAnswer a;
        a.number = n;
        return a;
    }
    TAnswer Cancel()
    {
        TAnswer a;
        a.ok = false;
        return a;
    }
};

TEST_F(DialogCommands, AskTagsTheEntry)
{
    const struct {
        const char* entry;
        const char* tagBefore;
        const char* tag;
    } cases[] = {
        {"123", "s", "e"}, {"abc", "e", "s"}, {"1abc", "s", "e"},
        {"$1F", "s", "e"}, {"", "e", "e"},    {"", "s", "s"},   // an empty entry keeps the tag
    };
    for (const auto& c : cases) {
        host.answers.push_back(Ok(c.entry));
        SetSore("old", c.tagBefore);
        ASSERT_TRUE(Run("「名前は？」と、尋ねる")) << st.ErrorText;
        EXPECT_EQ(host.asked.message, "名前は？");
        EXPECT_EQ(Sore(), c.entry);
        EXPECT_EQ(Tag(), c.tag) << c.entry << " after " << c.tagBefore;
        EXPECT_EQ(st.LastTypeTag, c.tag);
    }
}

TEST_F(DialogCommands, AskMessageInitialValueAndIme)
{
    host.answers.push_back(Ok("x"));
    ASSERT_TRUE(Run("ダイアログ初期値=「山田」\r\nダイアログIMEの状態=2\r\n尋ねる"));
    EXPECT_EQ(host.asked.message, "入力してください。");   // the message was left out
    EXPECT_EQ(host.asked.initial, "山田");
    EXPECT_EQ(host.asked.ime, 2);
    // The initial value stays after use; an IME state that is no number is 0.
    host.answers.push_back(Ok("y"));
    ASSERT_TRUE(Run("ダイアログIMEの状態=「ひらがな」\r\n「再び」と、尋ねる"));
    EXPECT_EQ(host.asked.initial, "山田");
    EXPECT_EQ(host.asked.ime, 0);
    EXPECT_EQ(host.asked.message, "再び");
}

TEST_F(DialogCommands, CancelCopiesValueAndTag)
{
    // Never assigned: the variable's description is its tag, and travels along.
    host.answers.push_back(Cancel());
    ASSERT_TRUE(Run("「a」と、尋ねる"));
    EXPECT_EQ(Sore(), "");
    EXPECT_EQ(Tag(), "ダイアログでキャンセルが押された時の値s");

    const struct {
        const char* setup;
        const char* command;
        const char* value;
        const char* tag;
    } cases[] = {
        {"ダイアログキャンセルの値=「キャンセル」", "「a」と、尋ねる", "キャンセル", "s"},
        {"ダイアログキャンセルの値=5", "「a」と、尋ねる", "5", "e"},
        {"ダイアログキャンセルの値=5", "「a」が「x|y」の、どれか尋ねる", "5", "e"},
        {"ダイアログキャンセルの値=5", "「a」を「x|y」の、リストから選択", "5", "e"},
        {"ダイアログキャンセルの値=5", "色選択", "5", "e"},
        {"ダイアログキャンセルの値=5", "フォント選択", "5", "e"},
        {"ダイアログキャンセルの値=5", "「txt」の、読込ファイル選択", "5", "e"},
        {"ダイアログキャンセルの値=5", "「txt」の、書込ファイル選択", "5", "e"},
        {"ダイアログキャンセルの値=5", "フォルダ選択", "5", "e"},
        // The button chooser and the memo take the value only, as a string.
        {"ダイアログキャンセルの値=5", "「a」を「x\r\ny」の、ボタンで選択", "5", "s"},
        {"ダイアログキャンセルの値=5", "「本文」の、メモ記入", "5", "s"},
    };
    for (const auto& c : cases) {
        host.answers.push_back(Cancel());
        ASSERT_TRUE(Run(std::string(c.setup) + "\r\n" + c.command)) << c.command << st.ErrorText;
        EXPECT_EQ(Sore(), c.value) << c.command;
        EXPECT_EQ(Tag(), c.tag) << c.command;
    }
}

TEST_F(DialogCommands, Questions)
{
    const struct {
        const char* command;
        int answer;
        const char* sore;
    } cases[] = {
        {"「続けますか」と、二択", 1, "1"},   {"「続けますか」と、二択", 0, "0"},
        {"「保存しますか」と、三択", 1, "1"}, {"「保存しますか」と、三択", 0, "0"},
        {"「保存しますか」と、三択", 2, "2"},
    };
    for (const auto& c : cases) {
        host.answers.push_back(Number(c.answer));
        SetSore("", "s");
        ASSERT_TRUE(Run(c.command));
        EXPECT_EQ(Sore(), c.sore) << c.command;
        EXPECT_EQ(Tag(), "e") << c.command;
    }
    EXPECT_EQ(host.asked.kind, "三択");
    EXPECT_EQ(host.asked.message, "保存しますか");
    // A box that reports none of its buttons leaves the message in それ.
    host.answers.push_back(Number(7));
    ASSERT_TRUE(Run("「保存しますか」と、三択"));
    EXPECT_EQ(Sore(), "保存しますか");
}

TEST_F(DialogCommands, ListChoicesKeepTheTag)
{
    host.answers.push_back(Ok("B"));
    SetSore("", "e");
    ASSERT_TRUE(Run("ダイアログ初期値=「C」\r\n「どれ？」が「A｜B|C」の、どれか尋ねる"));
    EXPECT_EQ(host.asked.message, "どれ？");
    EXPECT_EQ(host.asked.items, (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(host.asked.initial, "C");
    EXPECT_TRUE(host.asked.editable);
    EXPECT_EQ(Sore(), "B");
    EXPECT_EQ(Tag(), "e");

    host.answers.push_back(Ok("A"));
    ASSERT_TRUE(Run("「選んで」を「A\r\nB」の、リストから選択"));
    EXPECT_FALSE(host.asked.editable);
    EXPECT_EQ(host.asked.items.size(), 2u);
    EXPECT_EQ(Sore(), "A");
}

TEST_F(DialogCommands, ButtonChooser)
{
    host.answers.push_back(Ok("いいえ"));
    SetSore("", "e");
    ASSERT_TRUE(Run("「どうする」を「 はい\r\nいいえ\r\n」の、ボタンで選択"));
    EXPECT_EQ(host.asked.message, "どうする");
    EXPECT_EQ(host.asked.items, (std::vector<std::string>{"はい", "いいえ"}));
    EXPECT_EQ(Sore(), "いいえ");
    EXPECT_EQ(Tag(), "s");

    // Twenty choices are fine; the twenty-first fails before anything is shown.
    std::string twenty;
    for (int i = 1; i <= 20; ++i)
        twenty += std::to_string(i) + "\r\n";
    host.answers.push_back(Ok("20"));
    SetVar("選択肢", twenty);
    ASSERT_TRUE(Run("「a」を、選択肢の、ボタンで選択"));
    EXPECT_EQ(host.asked.items.size(), 20u);
    EXPECT_EQ(Sore(), "20");
    const int asked = host.asked.count;
    SetVar("選択肢", twenty + "21");
    EXPECT_FALSE(Run("「x」と、表示\r\n「a」を、選択肢の、ボタンで選択"));
    EXPECT_EQ(host.asked.count, asked);
    EXPECT_NE(st.ErrorText.find("t.prk(2行目): 範囲チェックエラー"), std::string::npos) << st.ErrorText;
}

TEST_F(DialogCommands, MemoColourFontFilesFolder)
{
    host.answers.push_back(Ok("一\r\n二"));
    ASSERT_TRUE(Run("ダイアログIMEの状態=1\r\n「最初」の、メモ記入"));
    EXPECT_EQ(host.asked.initial, "最初");
    EXPECT_EQ(host.asked.ime, 1);
    EXPECT_EQ(Sore(), "一\r\n二");
    EXPECT_EQ(Tag(), "s");

    host.answers.push_back(Number(255 + 256 * 128));
    ASSERT_TRUE(Run("色選択"));
    EXPECT_EQ(Sore(), "33023");
    EXPECT_EQ(Tag(), "e");

    TAnswer font;
    font.font = {"ＭＳ ゴシック", true, false, false, 10};
    host.answers.push_back(font);
    ASSERT_TRUE(Run("文字書体=「ＭＳ 明朝｜斜体」\r\n文字サイズ=20\r\nフォント選択"));
    EXPECT_EQ(host.asked.font.Face, "ＭＳ 明朝");   // the dialog starts with the current font
    EXPECT_TRUE(host.asked.font.Italic);
    EXPECT_EQ(host.asked.font.Size, 20);
    EXPECT_EQ(Sore(), "ＭＳ ゴシック|太字|10");
    EXPECT_EQ(Tag(), "s");

    TAnswer files;
    files.files = {"/d/a.txt", "/d/b.txt"};
    host.answers.push_back(files);
    ASSERT_TRUE(Run("ダイアログ初期値=「a.txt」\r\n「.txt」の、読込ファイル選択"));
    EXPECT_EQ(host.asked.initial, "a.txt");
    ASSERT_EQ(host.asked.filter.size(), 2u);
    EXPECT_EQ(host.asked.filter[0].Pattern, "*.txt");
    EXPECT_EQ(Sore(), "/d/a.txt\r\n/d/b.txt");

    host.answers.push_back(Ok("/d/out.csv"));
    ASSERT_TRUE(Run("「CSV|*.csv」の、書込ファイル選択"));
    EXPECT_EQ(host.asked.defaultExt, "csv");
    EXPECT_EQ(Sore(), "/d/out.csv");

    host.answers.push_back(Ok("/d/sub/"));
    ASSERT_TRUE(Run("フォルダ選択"));
    EXPECT_EQ(Sore(), "/d/sub/");
    EXPECT_EQ(Tag(), "s");
}

TEST_F(DialogCommands, HostWithoutDialogsNamesTheCommand)
{
    struct TBareHost : TDialogHost {
        bool AskText(TPoruBase& st, const std::string& m, const std::string& i, int ime, std::string& a) override
        {
            return THost::AskText(st, m, i, ime, a);
        }
    } bare;
    st.Host = &bare;
    EXPECT_FALSE(Run("「a」と、尋ねる"));
    EXPECT_NE(st.ErrorText.find("\"尋ねる\"は、ウィンドウが必要なため、この実行環境では使えません。"),
              std::string::npos)
        << st.ErrorText;
}

// ---- the line protocol ----

class TScriptedIo : public TLineIo {
public:
    explicit TScriptedIo(std::deque<std::string> lines) : lines_(std::move(lines)) {}
    void Prompt(const std::string& text) override { prompts += text; }
    bool ReadLine(std::string& line) override
    {
        if (lines_.empty())
            return false;
        line = lines_.front();
        lines_.pop_front();
        return true;
    }
    size_t Left() const { return lines_.size(); }
    std::string prompts;

private:
    std::deque<std::string> lines_;
};

std::string CurrentFolder()
{
    return FromNativePath(std::filesystem::current_path().string());
}

TEST(LineProtocol, AskText)
{
    const struct {
        std::deque<std::string> lines;
        bool ok;
        const char* answer;
    } cases[] = {
        {{"たろう"}, true, "たろう"},
        {{""}, true, ""},
        {{" a b "}, true, " a b "},
        {{}, false, ""},
    };
    for (const auto& c : cases) {
        TScriptedIo io(c.lines);
        std::string answer;
        EXPECT_EQ(TLineDialogs(io).AskText("名前は？", answer), c.ok);
        EXPECT_EQ(answer, c.answer);
        EXPECT_EQ(io.prompts, "名前は？\n> ");
    }
}

TEST(LineProtocol, Questions)
{
    const struct {
        std::deque<std::string> lines;
        bool withCancel;
        int result;
        size_t left;
    } cases[] = {
        {{"y"}, false, 1, 0},
        {{"いいえ"}, false, 0, 0},
        {{}, false, 0, 0},
        {{}, true, 2, 0},
        {{"c"}, true, 2, 0},
        {{"c", "yes"}, false, 1, 0},
        {{"x", "x", "x", "y"}, false, 0, 1},   // three reads, then いいえ
        {{"x", "x", "x", "y"}, true, 2, 1},    // or キャンセル
        {{"?", "はい"}, true, 1, 0},
    };
    for (const auto& c : cases) {
        TScriptedIo io(c.lines);
        EXPECT_EQ(TLineDialogs(io).AskQuestion("保存？", c.withCancel), c.result);
        EXPECT_EQ(io.Left(), c.left);
    }
    TScriptedIo io({"x", "n"});
    TLineDialogs(io).AskQuestion("保存？", true);
    EXPECT_EQ(io.prompts, "保存？\n[はい/いいえ/キャンセル] [はい/いいえ/キャンセル] ");
}

TEST(LineProtocol, Choices)
{
    const std::vector<std::string> items = {"赤", "青"};
    const struct {
        std::deque<std::string> lines;
        bool editable;
        bool ok;
        const char* answer;
        size_t left;
    } cases[] = {
        {{"青"}, false, true, "青", 0},
        {{"1"}, false, true, "赤", 0},
        {{"9", "緑", "2"}, false, true, "青", 0},
        {{"9", "9", "9", "1"}, false, false, "", 1},
        {{}, false, false, "", 0},
        {{"緑"}, true, true, "緑", 0},
        {{""}, true, true, "", 0},
        {{}, true, false, "", 0},
    };
    for (const auto& c : cases) {
        TScriptedIo io(c.lines);
        std::string answer;
        EXPECT_EQ(TLineDialogs(io).ChooseFromList("色は？", items, c.editable, answer), c.ok);
        EXPECT_EQ(answer, c.answer);
        EXPECT_EQ(io.Left(), c.left);
    }
    TScriptedIo numbered({"x", "1"});
    std::string answer;
    ASSERT_TRUE(TLineDialogs(numbered).ChooseButton("色は？", items, answer));
    EXPECT_EQ(numbered.prompts, "色は？\n  1: 赤\n  2: 青\n> > ");
    TScriptedIo plain({"x"});
    TLineDialogs(plain).ChooseFromList("色は？", items, true, answer);
    EXPECT_EQ(plain.prompts, "色は？\n  赤\n  青\n> ");
}

TEST(LineProtocol, Memo)
{
    const struct {
        std::deque<std::string> lines;
        const char* text;
        size_t left;
    } cases[] = {
        {{"一", "二", ".", "後"}, "一\r\n二", 1},
        {{"一", ""}, "一\r\n", 0},   // the end of the input ends the text
        {{"."}, "", 0},
        {{}, "初め", 0},   // nothing read: the initial text stays
        {{" .", "."}, " .", 0},
    };
    for (const auto& c : cases) {
        TScriptedIo io(c.lines);
        std::string text = "初め";
        TLineDialogs(io).EditMemo(text);
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(io.Left(), c.left);
    }
}

TEST(LineProtocol, ColourAndFont)
{
    const struct {
        std::deque<std::string> lines;
        bool ok;
        int32_t colour;
    } colours[] = {
        {{"#0000FF"}, true, 16711680},
        {{"赤", "255"}, true, 255},
        {{"a", "b", "c", "1"}, false, 0},
        {{}, false, 0},
    };
    for (const auto& c : colours) {
        TScriptedIo io(c.lines);
        int32_t colour = 0;
        EXPECT_EQ(TLineDialogs(io).ChooseColour(colour), c.ok);
        EXPECT_EQ(colour, c.colour);
    }
    TScriptedIo io({"", "ＭＳ ゴシック|太字|10"});
    THost::TFontChoice font;
    ASSERT_TRUE(TLineDialogs(io).ChooseFont(font));
    EXPECT_EQ(FormatFontChoice(font), "ＭＳ ゴシック|太字|10");
    TScriptedIo none({});
    EXPECT_FALSE(TLineDialogs(none).ChooseFont(font));
}

TEST(LineProtocol, FilesAndFolders)
{
    const std::string here = CurrentFolder() + "/";
    const std::vector<THost::TDialogFilter> filter = FileDialogFilter("txt");
    const struct {
        const char* kind;
        std::deque<std::string> lines;
        bool ok;
        std::string result;
    } cases[] = {
        {"open", {"a.txt"}, true, here + "a.txt"},
        {"open", {"/abs/b"}, true, "/abs/b"},
        {"open", {""}, false, ""},
        {"open", {}, false, ""},
        {"save", {"out"}, true, here + "out.txt"},   // the default extension
        {"save", {"out.csv"}, true, here + "out.csv"},
        {"save", {"dir/"}, true, here + "dir/"},
        {"save", {}, false, ""},
        {"folder", {"sub"}, true, here + "sub/"},
        {"folder", {"/tmp/"}, true, "/tmp/"},
        {"folder", {"表"}, true, here + "表/"},   // a trail byte 0x5C is no separator
        {"folder", {" "}, false, ""},
        {"folder", {}, false, ""},
    };
    for (const auto& c : cases) {
        TScriptedIo io(c.lines);
        TLineDialogs d(io);
        std::string result;
        bool ok = false;
        if (std::string(c.kind) == "open")
            ok = d.ChooseOpenFile(filter, result);
        else if (std::string(c.kind) == "save")
            ok = d.ChooseSaveFile(filter, "txt", result);
        else
            ok = d.ChooseFolder(result);
        EXPECT_EQ(ok, c.ok) << c.kind;
        EXPECT_EQ(ok ? result : std::string(), c.result) << c.kind;
    }
    TScriptedIo io({"x"});
    std::string file;
    TLineDialogs(io).ChooseSaveFile(filter, "txt", file);
    EXPECT_EQ(io.prompts, "書き込むファイルを入力してください（txt 形式(*.txt)、全て(*.*)）。\n> ");
}

}   // namespace
