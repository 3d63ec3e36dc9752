// The registration table and the registration of the built-in words.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "interp/builtins.h"
#include "interp/host.h"

namespace fs = std::filesystem;

namespace {

std::vector<CommandRow> AllCommands()
{
    size_t n = 0;
    const CommandRow* rows = CommandRows(n);
    return std::vector<CommandRow>(rows, rows + n);
}

std::vector<SystemWordRow> AllSystemWords()
{
    size_t n = 0;
    const SystemWordRow* rows = SystemWordRows(n);
    return std::vector<SystemWordRow>(rows, rows + n);
}

// The words registration makes: one per row (no two rows collide), then 母艦.
int BuiltinWordCount()
{
    return static_cast<int>(AllCommands().size() + AllSystemWords().size()) + 1;
}

// Sets environment variables for one test and puts the old values back.
class EnvGuard {
public:
    void Set(const char* name, const std::string& value)
    {
        Save(name);
        setenv(name, value.c_str(), 1);
    }
    void Unset(const char* name)
    {
        Save(name);
        unsetenv(name);
    }
    ~EnvGuard()
    {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->had)
                setenv(it->name.c_str(), it->value.c_str(), 1);
            else
                unsetenv(it->name.c_str());
        }
    }

private:
    struct Saved {
        std::string name, value;
        bool had;
    };
    void Save(const char* name)
    {
        const char* v = getenv(name);
        saved_.push_back({name, v ? v : "", v != nullptr});
    }
    std::vector<Saved> saved_;
};

class TempDir {
public:
    TempDir()
    {
        std::string tmpl = (fs::temp_directory_path() / "poru_registry_XXXXXX").string();
        path_ = mkdtemp(tmpl.data());
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

class FakeHost : public THost {
public:
    int marker = 0;
    bool IsGui() const override { return false; }
    void ShowText(TPoruBase&, const std::string&) override {}
    void Say(TPoruBase&, const std::string&) override {}
    void MessageBox(const std::string&) override {}
    ErrorChoice ShowErrorDialog(TPoruBase&, const std::string&) override { return ErrorChoice::Stop; }
    void Warning(TPoruBase&, const std::string&) override {}
    void ProcessEvents() override {}
    void WaitMs(TPoruBase&, int64_t) override {}
    int64_t TickMs() override { return 0; }
    void ShowMainWindow() override {}
    void RequestClose(TPoruBase&) override {}
    void* MainWindowControl() override { return &marker; }
    int ScreenWidth() override { return 1280; }
    int ScreenHeight() override { return 800; }
};

}   // namespace

// ---- the table itself ----

TEST(RegistryTable, IdsAndSymbols)
{
    // One symbol per id: the first row of an id names it, its aliases repeat it.
    std::map<int, std::string> symbolOfId;
    std::map<std::string, int> idOfSymbol;
    for (const CommandRow& row : AllCommands()) {
        EXPECT_GE(row.id, 0) << row.name;
        EXPECT_LE(row.id, kMaxCommandId) << row.name;
        auto [s, newId] = symbolOfId.emplace(row.id, row.symbol);
        EXPECT_EQ(s->second, row.symbol) << row.name;
        auto [i, newSymbol] = idOfSymbol.emplace(row.symbol, row.id);
        EXPECT_EQ(i->second, row.id) << row.name;
        EXPECT_EQ(newId, newSymbol) << row.name;
        if (newId) {
            EXPECT_STREQ(CommandNameOfId(row.id), row.name) << row.symbol;
        }
    }
    EXPECT_EQ(symbolOfId.rbegin()->first, kMaxCommandId);
    EXPECT_EQ(CommandNameOfId(static_cast<int>(Cmd::Half)), std::string("半角変換"));
    EXPECT_EQ(CommandNameOfId(static_cast<int>(Cmd::End)), std::string("おわり"));
    for (const char* alias : {"おわる", "終わり"}) {
        bool found = false;
        for (const CommandRow& row : AllCommands()) {
            if (std::string(row.name) != alias)
                continue;
            found = true;
            EXPECT_EQ(row.id, static_cast<int>(Cmd::End)) << alias;
            EXPECT_STREQ(row.symbol, "End") << alias;
        }
        EXPECT_TRUE(found) << alias;
    }
}

// Every command runs something: a row without a handler would raise the broken-link
// error. The window families' handlers live in the window host (checked by its own
// tests); the console host covers them with its "needs a window" error.
TEST(RegistryHandlers, EveryCommandOutsideTheWindowFamiliesHasAHandler)
{
    for (const CommandRow& row : AllCommands()) {
        if (IsWindowFamily(row.family))
            continue;
        EXPECT_NE(GetHandler(row.id), nullptr) << row.name << " (Cmd::" << row.symbol << ")";
    }
}

TEST(RegistryTable, NamesDoNotCollideAfterFolding)
{
    std::set<std::string> names;
    for (const CommandRow& row : AllCommands())
        EXPECT_TRUE(names.insert(FoldOkurigana(row.name)).second) << "command collides: " << row.name;
    for (const SystemWordRow& row : AllSystemWords())
        EXPECT_TRUE(names.insert(row.name).second) << "system word collides: " << row.name;
}

TEST(RegistryTable, EveryIdBelongsToOneFamily)
{
    for (const CommandRow& row : AllCommands()) {
        Family f{};
        ASSERT_TRUE(FamilyOfId(row.id, f));
        EXPECT_EQ(f, row.family) << row.name;
    }
}

TEST(RegistryTable, FamilyOfId)
{
    const struct {
        Cmd command;
        Family family;
    } cases[] = {
        {Cmd::Include, Family::Include},
        {Cmd::End, Family::RunLoop},
        {Cmd::DefineFunction, Family::Functions},
        {Cmd::CloseLabel, Family::Errors},
        {Cmd::DeclareTypedDll, Family::Dll},
        {Cmd::For, Family::Control},
        {Cmd::Pos, Family::Strings},
        {Cmd::Mod, Family::Numbers},
        {Cmd::Read, Family::Files},
        {Cmd::ElementCount, Family::Tables},
        {Cmd::WildcardMatch, Family::Patterns},
        {Cmd::BinarySet, Family::Encodings},
        {Cmd::Say, Family::Dialogs},
        {Cmd::ShowValue, Family::System},
        {Cmd::WordPrint, Family::Office},
        {Cmd::Make, Family::GuiObjects},
        {Cmd::TabEnable, Family::Window},
        {Cmd::Show, Family::Drawing},
        {Cmd::TimerSet, Family::Events},
        {Cmd::MciSend, Family::Media},
        {Cmd::SetProperty, Family::Properties},
        {Cmd::TcpServerDrop, Family::Tcp},
        {Cmd::HttpDownload, Family::Net},
        {Cmd::MakeSelfExtracting, Family::Archive},
        {Cmd::LineStop, Family::Debug},
    };
    for (const auto& c : cases) {
        const int id = static_cast<int>(c.command);
        Family f{};
        ASSERT_TRUE(FamilyOfId(id, f)) << id;
        EXPECT_EQ(f, c.family) << id;
    }
    // Ids no row uses, and ids out of range.
    Family f{};
    for (int id : {-1, 43, 202, 388, kMaxCommandId + 1})
        EXPECT_FALSE(FamilyOfId(id, f)) << id;
}

TEST(RegistryTable, WindowFamilies)
{
    const std::set<Family> window = {Family::GuiObjects, Family::Window, Family::Drawing,
                                     Family::Events,     Family::Media,  Family::Properties};
    for (int i = 0; i <= static_cast<int>(Family::Debug); ++i) {
        Family f = static_cast<Family>(i);
        EXPECT_EQ(IsWindowFamily(f), window.count(f) == 1) << FamilyName(f);
    }
    EXPECT_STREQ(FamilyName(Family::Dialogs), "Dialogs");
}

TEST(RegistryTable, ExactTemplates)
{
    const struct {
        const char* name;
        Cmd command;
        const char* argSpec;
    } cases[] = {
        {"POS", Cmd::Pos, "?,?"},
        {"何文字目", Cmd::Pos, "?の中で,?が"},
        {"LEN", Cmd::Len, "?"},
        {"文字数", Cmd::Len, "?の"},
        {"繰り返す", Cmd::For, "?を,?から,?まで"},
        {"表キー合成", Cmd::TableJoin, "?の,?列目と,?の,?列目で"},
        {"ファイル合成", Cmd::PackFiles, "?を, ?へ"},
        {"フォームの位置記録", Cmd::FormSave, "へ"},
        {"DDEサーバー作成", Cmd::DdeServer, "?を呼ぶ,?という"},
        {"タイマー設定", Cmd::TimerSet, "?秒後に,?へ飛ぶ"},
        {"作業ディレクトリ", Cmd::WorkFolder, ""},
        {"作業フォルダ", Cmd::WorkFolder, "?へ"},
    };
    const auto commands = AllCommands();
    for (const auto& c : cases) {
        bool found = false;
        for (const CommandRow& row : commands) {
            if (std::string(row.name) != c.name)
                continue;
            found = true;
            EXPECT_EQ(row.id, static_cast<int>(c.command)) << c.name;
            EXPECT_EQ(std::string(row.argSpec), c.argSpec) << c.name;
        }
        EXPECT_TRUE(found) << c.name;
    }
}

// ---- handlers ----

namespace {
void DummyHandler(TPoruBase&) {}
}   // namespace

TEST(RegistryHandlers, SetAndGet)
{
    // 43 is an id no row uses.
    const Cmd unused = static_cast<Cmd>(43);
    Handler before = GetHandler(unused);
    SetHandler(unused, DummyHandler);
    EXPECT_EQ(GetHandler(unused), &DummyHandler);
    EXPECT_EQ(GetHandler(43), &DummyHandler);
    SetHandler(unused, before);
    EXPECT_EQ(GetHandler(-1), nullptr);
    EXPECT_EQ(GetHandler(kMaxCommandId + 1), nullptr);
    EXPECT_THROW(SetHandler(static_cast<Cmd>(kMaxCommandId + 1), DummyHandler), std::out_of_range);
}

// ならば, 違えば and でなければ belong to もし and do nothing as a sentence's own
// command; なら there is an error.
TEST(RegistryHandlers, ConditionWordsOutsideIf)
{
    TPoruBase st;
    st.FileName = "t.prk";
    st.PrepareRun();
    for (THashNode* word : {st.Sys.Naraba, st.Sys.Chigaeba, st.Sys.Denakereba}) {
        ASSERT_NE(word, nullptr);
        EXPECT_NO_THROW(st.Dispatch(word)) << word->Name;
        EXPECT_EQ(st.Args.Count(), 0u);
    }
    try {
        st.Dispatch(st.Sys.Nara);
        FAIL() << "no error";
    } catch (const EPoru& e) {
        EXPECT_NE(e.Message.find("条件文は、「もし～ならば」と対で使わなければなりません。"), std::string::npos)
            << e.Message;
    }
    EXPECT_EQ(st.CurrentCommand, nullptr);
}

// ---- registration ----

TEST(RegisterBuiltins, CreatesEveryRowAndTheMainWindow)
{
    TPoruBase st;
    st.Params = {"/opt/poru/bin/porukana", "/tmp/x/a.prk"};
    RegisterBuiltins(st);
    EXPECT_EQ(st.Words.Count, BuiltinWordCount());

    for (const CommandRow& row : AllCommands()) {
        THashNode* node = st.Words.Find(row.name, true);
        ASSERT_NE(node, nullptr) << row.name;
        EXPECT_EQ(node->Name, FoldOkurigana(row.name));
        EXPECT_EQ(node->Kind, wkCommand);
        EXPECT_TRUE(node->Reserved);
        // aliases share an id but each keeps its own template
        EXPECT_EQ(node->Id, row.id) << row.name;
        EXPECT_EQ(node->ArgSpec, row.argSpec) << row.name;
        EXPECT_EQ(node->Value, "");
    }
    for (const SystemWordRow& row : AllSystemWords()) {
        THashNode* node = st.Words.FindExact(row.name);
        ASSERT_NE(node, nullptr) << row.name;
        EXPECT_EQ(node->Kind, wkVariable);
        EXPECT_EQ(node->Id, -1);
        EXPECT_EQ(node->Reserved, row.constant) << row.name;
        EXPECT_EQ(node->TypeText, row.description) << row.name;
        if (row.computed == Computed::Plain) {
            EXPECT_EQ(node->Value, row.value) << row.name;
        }
    }

    THashNode* main = st.Words.FindExact("母艦");
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->Kind, wkObject);
    EXPECT_EQ(main->Id, 0);
    EXPECT_EQ(main->TypeText, "メインフォーム");
    EXPECT_TRUE(main->Reserved);
    ASSERT_EQ(st.Objects.Count(), 1u);
    EXPECT_EQ(st.Objects.Get(0)->Name, "母艦");
    EXPECT_EQ(st.Objects.Get(0)->ClassCode, 7);
    EXPECT_EQ(st.Objects.Get(0)->Index, 0);
    EXPECT_EQ(st.Objects.Get(0)->Control, nullptr);
}

TEST(RegisterBuiltins, FoldedLookupsAndSpecificWords)
{
    TPoruBase st;
    RegisterBuiltins(st);

    for (const char* form : {"繰り返す", "繰返す", "繰返"}) {
        THashNode* node = st.Words.Find(form, true);
        ASSERT_NE(node, nullptr) << form;
        EXPECT_EQ(node->Id, static_cast<int>(Cmd::For));
        EXPECT_EQ(node->Name, "繰返");
    }
    EXPECT_EQ(st.Words.FindExact("繰り返す"), nullptr);
    for (const char* form : {"終わり", "終わる", "終"}) {
        THashNode* node = st.Words.Find(form, true);
        ASSERT_NE(node, nullptr) << form;
        EXPECT_EQ(node->Id, static_cast<int>(Cmd::End));
        EXPECT_EQ(node->Name, "終");
    }

    THashNode* version = st.Words.FindExact("ぽるかなバージョン");
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->Value, "1.65a");
    EXPECT_EQ(version->TypeText, "s");
    EXPECT_TRUE(st.Words.FindExact("回数")->Reserved);
    EXPECT_FALSE(st.Words.FindExact("文字サイズ")->Reserved);
    EXPECT_EQ(st.Words.FindExact("禁則処理の行頭禁止文字")->Value,
              "、。，．・？！゛゜ヽヾゝゞ々ー）］｝」』!),.:;?]}｡｣､･ｰﾞﾟ");
    EXPECT_EQ(st.Words.FindExact("ウィンドウ色")->TypeText, "ウィンドウズのシステムカラー(BtnFace)");
}

TEST(RegisterBuiltins, SystemWordReferences)
{
    FakeHost host;
    TPoruBase st;
    st.Host = &host;
    RegisterBuiltins(st);

    const struct {
        THashNode* node;
        const char* name;
    } words[] = {
        {st.Sys.Sore, "それ"},
        {st.Sys.So, "そ"},
        {st.Sys.Soshite, "そして"},
        {st.Sys.Count, "回数"},
        {st.Sys.Gap, "部品配置間隔"},
        {st.Sys.ErrorMessage, "エラーメッセージ"},
        {st.Sys.NoExit, "終了不可能"},
        {st.Sys.OutputTarget, "表示出力先"},
        {st.Sys.TabCount, "タブ文字の個数"},
    };
    for (const auto& w : words)
        EXPECT_EQ(w.node, st.Words.FindExact(w.name)) << w.name;

    const struct {
        THashNode* node;
        Cmd command;
    } conditions[] = {
        {st.Sys.Naraba, Cmd::Then}, {st.Sys.Nara, Cmd::ThenShort},  {st.Sys.Chigaeba, Cmd::Else},
        {st.Sys.Moshi, Cmd::If},    {st.Sys.Denakereba, Cmd::Else},
    };
    for (const auto& c : conditions) {
        const int id = static_cast<int>(c.command);
        ASSERT_NE(c.node, nullptr) << id;
        EXPECT_EQ(c.node->Id, id);
        EXPECT_EQ(c.node->Kind, wkCommand);
    }
    EXPECT_EQ(st.Sys.Chigaeba->Name, "違");

    EXPECT_EQ(st.Objects.Get(0)->Control, &host.marker);
    EXPECT_EQ(st.Words.FindExact("デスクトップの幅")->Value, "1280");
    EXPECT_EQ(st.Words.FindExact("デスクトップの高さ")->Value, "800");
}

TEST(RegisterBuiltins, EveryRunStartsAfresh)
{
    TPoruBase st;
    RegisterBuiltins(st);
    st.Words.FindExact("文字サイズ")->Value = "30";
    st.Words.Clear();
    RegisterBuiltins(st);
    EXPECT_EQ(st.Words.Count, BuiltinWordCount());
    EXPECT_EQ(st.Objects.Count(), 1u);
    EXPECT_EQ(st.Words.FindExact("文字サイズ")->Value, "12");
    EXPECT_EQ(st.Words.FindExact("デスクトップの幅")->Value, "0");
}

TEST(RegisterBuiltins, ReservedNameCannotBeRegisteredAgain)
{
    TPoruBase st;
    RegisterBuiltins(st);
    try {
        RegisterCommand(st, "表示する", "?を", 0);
        FAIL() << "no error";
    } catch (const EPoru& e) {
        EXPECT_NE(e.Message.find("\"表示\"は予約語なので、登録できません。"), std::string::npos) << e.Message;
    }
    EXPECT_THROW(RegisterVariable(st, "回数", "1", "e"), EPoru);
    EXPECT_EQ(st.Words.Count, BuiltinWordCount());
}

// ---- the command line and the script's folder ----

TEST(CommandLine, ScriptPositionRule)
{
    const struct {
        std::vector<std::string> params;
        bool defaultStart, runtime, container;
        const char* text;
        const char* scriptPath;
        const char* folder;
    } cases[] = {
        {{"/opt/p/bin/porukana", "/tmp/s/a.prk", "x", "y"},
         false,
         false,
         false,
         "/tmp/s/a.prk\r\nx\r\ny",
         "/tmp/s/a.prk",
         "/tmp/s/"},
        {{"/opt/p/bin/porukana", "-runtime", "/srv/app/prog", "z"},
         false,
         true,
         true,
         "/srv/app/prog\r\nz",
         "/srv/app/prog",
         "/srv/app/"},
        {{"/opt/p/bin/app", "q"}, false, false, true, "/opt/p/bin/app\r\nq", "/opt/p/bin/app", "/opt/p/bin/"},
        {{"/opt/p/bin/porukana"}, true, false, false, "/opt/p/bin/porukana", "/opt/p/bin/porukana", "/opt/p/bin/"},
        {{"/opt/p/bin/porukana", "/a/b/../c/s.prk"}, false, false, false, "/a/b/../c/s.prk", "/a/c/s.prk", "/a/c/"},
    };
    for (const auto& c : cases) {
        TPoruBase st;
        st.Params = c.params;
        st.ExePath = c.params[0];
        st.DefaultStart = c.defaultStart;
        st.RuntimeMode = c.runtime;
        st.FromContainer = c.container;
        EXPECT_EQ(CommandLineText(st), c.text) << c.text;
        EXPECT_EQ(st.ScriptPath, c.scriptPath) << c.text;
        EXPECT_EQ(st.StartFolder, c.folder) << c.text;
    }
}

TEST(CommandLine, ExecutablePathStandsForParameterZero)
{
    TPoruBase st;
    st.Params = {"porukana"};   // as typed, found through PATH
    st.ExePath = "/usr/bin/porukana";
    st.FromContainer = true;
    EXPECT_EQ(CommandLineText(st), "/usr/bin/porukana");
    EXPECT_EQ(st.StartFolder, "/usr/bin/");
}

TEST(CommandLine, RelativeAndMissingScripts)
{
    TempDir dir;
    std::ofstream(dir.Path() / "a.prk") << "";
    fs::create_directory(dir.Path() / "sub");
    std::ofstream(dir.Path() / "sub" / "b.prk") << "";
    const fs::path old = fs::current_path();
    fs::current_path(dir.Path());
    const std::string base = fs::current_path().string();

    TPoruBase st;
    st.Params = {"/usr/bin/porukana", "sub/b.prk", "1"};
    EXPECT_EQ(CommandLineText(st), "sub/b.prk\r\n1");
    EXPECT_EQ(st.StartFolder, base + "/sub/");
    EXPECT_EQ(st.ScriptPath, base + "/sub/b.prk");

    // start-up already moved into the script's folder
    st.Params = {"/usr/bin/porukana", "elsewhere/a.prk"};
    CommandLineText(st);
    EXPECT_EQ(st.StartFolder, base + "/");

    // no script named at all
    st.Params = {"/usr/bin/porukana"};
    EXPECT_EQ(CommandLineText(st), "");
    EXPECT_EQ(st.ScriptPath, "");
    EXPECT_EQ(st.StartFolder, base + "/");
    fs::current_path(old);
}

TEST(RegisterBuiltins, ScriptAndRuntimeFolders)
{
    TPoruBase st;
    st.ExePath = "/opt/poru/bin/porukana";
    st.Params = {"porukana", "/home/u/work/a.prk", "p1", "p2"};
    RegisterBuiltins(st);
    EXPECT_EQ(st.Words.FindExact("コマンドライン引数")->Value, "/home/u/work/a.prk\r\np1\r\np2");
    EXPECT_EQ(st.Words.FindExact("コマンドライン引数")->TypeText, "");
    EXPECT_EQ(st.Words.FindExact("母艦のパス")->Value, "/home/u/work/");
    EXPECT_EQ(st.Words.FindExact("ランタイムのパス")->Value, "/opt/poru/bin/");
    EXPECT_EQ(st.Words.FindExact("WINDOWSのパス")->Value, "/opt/poru/share/porukana/");
    EXPECT_EQ(st.Words.FindExact("SYSTEMのパス")->Value, "/opt/poru/share/porukana/");
    EXPECT_EQ(st.StartFolder, "/home/u/work/");
}

TEST(ComputedValues, UserFolders)
{
    TempDir dir;
    const std::string home = (dir.Path() / "home").string();
    EnvGuard env;
    env.Set("HOME", home);
    env.Unset("XDG_DATA_HOME");
    env.Unset("XDG_CONFIG_HOME");
    env.Unset("XDG_DESKTOP_DIR");
    env.Unset("XDG_DOCUMENTS_DIR");
    env.Set("TMPDIR", "/var/tmp/poru");

    TPoruBase st;
    const struct {
        Computed c;
        std::string expected;
    } defaults[] = {
        {Computed::DesktopFolder, home + "/Desktop/"},
        {Computed::DocumentsFolder, home + "/Documents/"},
        {Computed::TrashFolder, home + "/.local/share/Trash/files/"},
        {Computed::StartMenuFolder, home + "/.local/share/applications/"},
        {Computed::SendToFolder, home + "/.local/share/applications/"},
        {Computed::StartupFolder, home + "/.config/autostart/"},
        {Computed::FavouritesFolder, home + "/.local/share/"},
        {Computed::TempFolder, "/var/tmp/poru/"},
    };
    for (const auto& d : defaults)
        EXPECT_EQ(ComputedValue(st, d.c), d.expected) << d.expected;

    // XDG settings win; user-dirs.dirs names the desktop when no variable does
    const std::string config = (dir.Path() / "cfg").string();
    fs::create_directories(config);
    std::ofstream(config + "/user-dirs.dirs") << "# written by xdg-user-dirs-update\n"
                                                 "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
                                                 "XDG_DOCUMENTS_DIR=\"/data/docs\"\n";
    env.Set("XDG_CONFIG_HOME", config);
    env.Set("XDG_DATA_HOME", "/data/share");
    env.Unset("TMPDIR");
    const struct {
        Computed c;
        std::string expected;
    } configured[] = {
        {Computed::DesktopFolder, home + "/Schreibtisch/"},
        {Computed::DocumentsFolder, "/data/docs/"},
        {Computed::TrashFolder, "/data/share/Trash/files/"},
        {Computed::StartupFolder, config + "/autostart/"},
        {Computed::TempFolder, "/tmp/"},
    };
    for (const auto& d : configured)
        EXPECT_EQ(ComputedValue(st, d.c), d.expected) << d.expected;
    env.Set("XDG_DESKTOP_DIR", "/srv/desk");
    EXPECT_EQ(ComputedValue(st, Computed::DesktopFolder), "/srv/desk/");
}

TEST(ComputedValues, OperatingSystemName)
{
    TPoruBase st;
    const std::string os = ComputedValue(st, Computed::OsName);
    EXPECT_EQ(os.rfind("Linux ", 0), 0u) << os;
    EXPECT_EQ(std::count(os.begin(), os.end(), ' '), 2) << os;
}
