// Library-function words: type letters and prototypes, argument conversion and
// collection, result reading, the foreign call and its fault guard, the words the
// declarations create and the library records of the state.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <signal.h>

#include <cstdlib>
#include <memory>

#include "interp/dll.h"
#include "interp/interp.h"

#if defined(__SANITIZE_ADDRESS__)
#define PORUKANA_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PORUKANA_SANITIZED 1
#endif
#endif

namespace {

TEST(DllTypeLetter, SixNamesInAnyCase)
{
    const struct {
        const char* name;
        const char* letter;
    } cases[] = {
        {"void", "v"},  {"char*", "p"}, {"word", "w"},    {"dword", "d"}, {"bool", "b"},  {"int", "i"}, {"VOID", "v"},
        {"Char*", "p"}, {"WORD", "w"},  {"DWord", "d"},   {"BOOL", "b"},  {"Int", "i"},   {"char", ""}, {"char *", ""},
        {"float", ""},  {"", ""},       {"unsigned", ""}, {"int32", ""},  {"ｉｎｔ", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TypeLetter(c.name), c.letter) << c.name;
}

TEST(DllPrototype, LettersAndNames)
{
    const struct {
        const char* prototype;
        const char* function;
        char ret;
        const char* params;
        bool valid;
    } cases[] = {
        {"int MyFunc(char *, int)", "MyFunc", 'i', "pi", true},
        {"dword f(char*, dword)", "f", 'd', "pd", true},
        {"MyFunc(int)", "MyFunc", 'v', "i", true},   // no return type: nothing returned
        {"MyFunc", "MyFunc", 'v', "", true},
        {"int f()", "f", 'i', "", true},
        {"int f(void)", "f", 'i', "v", true},
        {"void f(int, void)", "f", 'v', "iv", true},
        {"int f(int,,int)", "f", 'i', "i", true},   // an empty item ends the list
        {"CHAR* Get( Word , BOOL )", "Get", 'p', "wb", true},
        {"  int   f(int)", "f", 'i', "i", true},
        {"unsigned f(int)", "f", 'v', "i", false},     // unknown return type
        {"int f(float, int)", "f", 'i', "i", false},   // unknown parameter type
        {"int f(const char*)", "f", 'i', "", false},
        {"int (int)", "int", 'v', "i", true},   // the head alone is the name
        {"(int)", "", 'v', "i", false},         // no function name
    };
    for (const auto& c : cases) {
        TDllPrototype p = ParsePrototype(c.prototype);
        EXPECT_EQ(p.Valid, c.valid) << c.prototype;
        EXPECT_EQ(p.Params, c.params) << c.prototype;
        if (!c.valid)
            continue;
        EXPECT_EQ(p.Function, c.function) << c.prototype;
        EXPECT_EQ(p.Return, c.ret) << c.prototype;
    }
}

TEST(DllArgument, RangesByLetter)
{
    const struct {
        char letter;
        const char* text;
        bool ok;
        uint32_t slot;
    } cases[] = {
        {'w', "0", true, 0},
        {'w', "65535", true, 65535},
        {'w', "65535.9", true, 65535},
        {'w', "65536", false, 0},
        {'w', "-1", false, 0},
        {'w', "-0.5", true, 0},
        {'d', "4294967295", true, 0xFFFFFFFFu},
        {'d', "4294967296", false, 0},
        {'d', "-0.5", true, 0},
        {'d', "-1", false, 0},
        {'d', "$FF", true, 255},
        {'i', "2147483647", true, 0x7FFFFFFFu},
        {'i', "-2147483648", true, 0x80000000u},
        {'i', "2147483648", false, 0},
        {'i', "-2147483649", false, 0},
        {'i', "-7.9", true, static_cast<uint32_t>(-7)},
        {'i', "abc", true, 0},
        {'i', "12abc", true, 12},
        {'i', "1.0e99999", false, 0},   // not a number a slot can hold
        {'b', "0", true, 0},
        {'b', "0.5", true, 0},
        {'b', "-3", true, 0xFFFFFFFFu},
        {'b', "1", true, 0xFFFFFFFFu},
        {'b', "5000000000", true, 0xFFFFFFFFu},
        {'p', "x", false, 0},
    };
    for (const auto& c : cases) {
        uint32_t slot = 12345;
        bool ok = ConvertDllArgument(c.letter, c.text, slot);
        EXPECT_EQ(ok, c.ok) << c.letter << " " << c.text;
        if (ok && c.ok) {
            EXPECT_EQ(slot, c.slot) << c.letter << " " << c.text;
        }
    }
}

TEST(DllResult, OneBitPatternManyWays)
{
    const struct {
        char letter;
        uint64_t raw;
        const char* text;
    } cases[] = {
        {'d', 0xFFFFFFFFu, "4294967295"},
        {'i', 0xFFFFFFFFu, "-1"},
        {'b', 0xFFFFFFFFu, "-1"},
        {'w', 0xFFFFFFFFu, "65535"},
        {'w', 0x12345u, "9029"},   // the low 16 bits
        {'i', 0x80000000u, "-2147483648"},
        {'d', 0xFFFFFFFF00000005ull, "5"},   // bits above 32 are not the result
        {'i', 0xFFFFFFFFFFFFFFFEull, "-2"},
        {'i', 0x00000000FFFFFFFEull, "-2"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DllNumberText(c.letter, c.raw), c.text) << c.letter << " " << c.raw;
}

// ---- the foreign call -----------------------------------------------------------------

char gBuffer[] = "static text";

extern "C" int32_t MixThree(uint32_t a, int32_t b, const char* c)
{
    return static_cast<int32_t>(a) * 100 + b * 10 + (c[0] - '0');
}

extern "C" char* BufferAddress()
{
    return gBuffer;
}

extern "C" int32_t NullRead()
{
    volatile int32_t* p = nullptr;
    return *p;
}

TEST(DllForeignCall, ParametersInOrderAndFullWidthResults)
{
    std::vector<TForeignType> types = {TForeignType::UInt32, TForeignType::SInt32, TForeignType::Pointer};
    std::vector<TForeignSlot> values(3);
    char digit[] = "7";
    values[0].UInt32 = 1;
    values[1].SInt32 = -5;
    values[2].Pointer = digit;
    uint64_t raw = 99;
    ASSERT_TRUE(CallForeign(reinterpret_cast<void*>(&MixThree), TForeignType::SInt32, types, values, raw));
    EXPECT_EQ(DllNumberText('i', raw), "57");   // 100 - 50 + 7

    // A pointer result keeps all 64 bits (the buffer lies above 4 GiB in a PIE).
    std::vector<TForeignType> none;
    std::vector<TForeignSlot> noValues;
    ASSERT_TRUE(CallForeign(reinterpret_cast<void*>(&BufferAddress), TForeignType::Pointer, none, noValues, raw));
    EXPECT_EQ(raw, reinterpret_cast<uintptr_t>(gBuffer));

    // A void parameter cannot be passed; mismatched lists are refused.
    std::vector<TForeignType> voidParam = {TForeignType::Void};
    std::vector<TForeignSlot> oneValue(1);
    EXPECT_FALSE(CallForeign(reinterpret_cast<void*>(&BufferAddress), TForeignType::Void, voidParam, oneValue, raw));
    EXPECT_FALSE(CallForeign(reinterpret_cast<void*>(&BufferAddress), TForeignType::Void, none, oneValue, raw));
    EXPECT_FALSE(CallForeign(nullptr, TForeignType::Void, none, noValues, raw));
}

int gMarker = 0;
void MarkerHandler(int)
{
    gMarker = 1;
}

TEST(DllForeignCall, FaultFailsTheCallAndRestoresTheHandlers)
{
#ifdef PORUKANA_SANITIZED
    GTEST_SKIP() << "the sanitizer owns the fault signals";
#else
    struct sigaction mine {
    }, saved[2];
    mine.sa_handler = MarkerHandler;
    sigemptyset(&mine.sa_mask);
    ASSERT_EQ(sigaction(SIGSEGV, &mine, &saved[0]), 0);
    ASSERT_EQ(sigaction(SIGFPE, &mine, &saved[1]), 0);
    stack_t before{};
    sigaltstack(nullptr, &before);

    std::vector<TForeignType> none;
    std::vector<TForeignSlot> noValues;
    uint64_t raw = 5;
    for (int round = 0; round < 3; ++round) {   // the guard works again after a fault
        EXPECT_FALSE(CallForeign(reinterpret_cast<void*>(&NullRead), TForeignType::SInt32, none, noValues, raw));
        EXPECT_EQ(raw, 0u);
    }
    size_t length = 0;
    EXPECT_FALSE(GuardedTextLength(reinterpret_cast<const char*>(16), length));
    EXPECT_TRUE(GuardedTextLength(gBuffer, length));
    EXPECT_EQ(length, 11u);

    struct sigaction now {};
    sigaction(SIGSEGV, nullptr, &now);
    EXPECT_EQ(now.sa_handler, &MarkerHandler);
    sigaction(SIGFPE, nullptr, &now);
    EXPECT_EQ(now.sa_handler, &MarkerHandler);
    stack_t after{};
    sigaltstack(nullptr, &after);
    EXPECT_EQ(after.ss_sp, before.ss_sp);
    EXPECT_EQ(after.ss_flags, before.ss_flags);
    // The signal is not left blocked by the jump out of the handler.
    sigset_t mask;
    sigprocmask(SIG_BLOCK, nullptr, &mask);
    EXPECT_FALSE(sigismember(&mask, SIGSEGV));
    EXPECT_EQ(gMarker, 0);
    sigaction(SIGSEGV, &saved[0], nullptr);
    sigaction(SIGFPE, &saved[1], nullptr);
#endif
}

// ---- argument collection --------------------------------------------------------------

struct DllState : ::testing::Test {
    std::unique_ptr<TPoruBase> st = std::make_unique<TPoruBase>();
    void SetUp() override
    {
        st->FileName = "t.prk";
        st->Source = "";
        st->PrepareRun();
    }
    void Set(const char* name, const char* value) { st->Words.Add(THashNode::CreateVariable(name, value, 0, false)); }
    // Runs a program text; returns the accumulated error text ("" when none).
    std::string Run(const std::string& text)
    {
        st->Source = text;
        st->ErrorText.clear();
        st->PrepareRun();
        st->Cursor = st->Source.c_str();
        st->RunLoop();
        return st->ErrorText;
    }
};

TEST_F(DllState, CollectionTakesWordsValuesLiteralsAndRawText)
{
    Set("A", "変数の値");
    Set("V", "鍵=行の値\r\n他=x");
    st->Sys.Sore->Value = "それの値";
    st->Args.Push("下にある");
    const char* entries[] = {"A", "`生の`` 文字`", "\"展開{A}\"", "12", "1+2", "Vの鍵", "未定義語", "それ", "-3"};
    for (const char* e : entries)
        st->Args.Push(e);
    std::vector<std::string> got = CollectDllArguments(*st, std::size(entries));
    std::vector<std::string> want = {"変数の値", "生の` 文字", "展開変数の値", "12", "1+2",
                                     "行の値",   "未定義語",   "それの値",     "-3"};
    EXPECT_EQ(got, want);
    ASSERT_EQ(st->Args.Count(), 1u);   // only the entries of the call are taken
    EXPECT_EQ(st->Args.Pop(), "下にある");
}

#ifdef PORUTEST_LIBRARY
const std::string kLibrary = PORUTEST_LIBRARY;

std::string Declare(const std::string& rest)
{
    return "『" + kLibrary + "』の" + rest + "\r\n";
}

TEST_F(DllState, DeclarationsCreateLibraryFunctionWords)
{
    ASSERT_EQ(Run(Declare("「int pt_add(int , INT)」を「?に,?を」の「加算」として、DLLを利用") +
                  Declare("「pt_concat(?を、?で)」を「連結」で、文字型DLL宣言") +
                  Declare("「pt_length(?を)」を「長さ」で、DLL宣言") +
                  Declare("「pt_set(int)」を「?に」の「格納」として、DLLを利用")),
              "");
    void* self = dlopen(kLibrary.c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(self, nullptr);
    const struct {
        const char* name;
        const char* argSpec;
        const char* value;
        const char* function;
        int32_t id;
    } words[] = {
        {"加算", "?に,?を", "=iii", "pt_add", 0},
        {"連結", "?を,?で", "P", "pt_concat", 1},
        {"長さ", "?を", "", "pt_length", 2},
        {"格納", "?に", "=vi", "pt_set", 3},
    };
    for (const auto& w : words) {
        THashNode* n = st->Words.FindExact(w.name);
        ASSERT_NE(n, nullptr) << w.name;
        EXPECT_EQ(n->Kind, wkDllFunc);
        EXPECT_EQ(n->ArgSpec, w.argSpec) << w.name;
        EXPECT_EQ(n->Value, w.value) << w.name;
        EXPECT_EQ(n->TypeText, "\"" + kLibrary + "\"" + w.function);
        EXPECT_EQ(n->Payload, dlsym(self, w.function)) << w.name;
        EXPECT_EQ(n->Id, w.id) << w.name;
        EXPECT_FALSE(n->Reserved);
    }
    dlclose(self);
    EXPECT_EQ(LoadedLibraryCount(*st), 4u);
}

TEST_F(DllState, ResultsCarryTheirTagsAndFailuresLeaveSore)
{
    const std::string decl = Declare("「int pt_add(int, int)」を「?に,?を」の「加算」として、DLLを利用") +
                             Declare("「pt_concat(?を,?で)」を「連結」で、文字型DLL宣言") +
                             Declare("「pt_set(int)」を「?に」の「格納」として、DLLを利用") +
                             Declare("「int pt_get()」を「」の「取得」として、DLLを利用");
    ASSERT_EQ(Run(decl + "2に、3を、加算\r\n"), "");
    EXPECT_EQ(st->Sys.Sore->Value, "5");
    EXPECT_EQ(st->Sys.Sore->TypeText, "e");
    ASSERT_EQ(Run(decl + "「a」を、「b」で、連結\r\n"), "");
    EXPECT_EQ(st->Sys.Sore->Value, "ab");
    EXPECT_EQ(st->Sys.Sore->TypeText, "s");
    ASSERT_EQ(Run(decl + "それ=「前」\r\n9に、格納\r\n"), "");
    EXPECT_EQ(st->Sys.Sore->Value, "");
    EXPECT_EQ(st->Sys.Sore->TypeText, "e");
    ASSERT_EQ(Run(decl + "取得\r\n"), "");
    EXPECT_EQ(st->Sys.Sore->Value, "9");
    // The name(arguments) form leaves それ as it was.
    ASSERT_EQ(Run(decl + "それ=「前」\r\nX=加算(40,2)\r\n"), "");
    EXPECT_EQ(st->Words.FindExact("X")->Value, "42");
    EXPECT_EQ(st->Sys.Sore->Value, "前");
    // A refused argument: the call fails, それ keeps its value.
    std::string err = Run(decl + "それ=「前」\r\n2147483648に、1を、加算\r\n");
    EXPECT_EQ(err, "[エラー] t.prk(6行目): 外部DLLからの関数\"加算\"の呼び出しに失敗しました。\r\n");
    EXPECT_EQ(st->Sys.Sore->Value, "前");
}

TEST_F(DllState, FailedDeclarationsChangeNothing)
{
    ASSERT_EQ(Run(Declare("「pt_get」を「取得」で、DLL宣言")), "");
    const size_t libraries = LoadedLibraryCount(*st);
    const int32_t words = st->Words.Count;
    const struct {
        const char* rest;
        const char* message;
    } cases[] = {
        {"「pt_get」を「表示」で、DLL宣言", "\"表示\"は予約語なので、登録できません。"},
        {"「pt_get」を「回数」で、文字型DLL宣言", "\"回数\"は予約語なので、登録できません。"},
        {"「pt_absent」を「取得」で、DLL宣言", "の関数\"pt_absent\"が見つかりません。"},
        {"「int pt_get()」を「?を」の「取得」として、DLLを利用", "\"DLLを利用\"命令の引数に誤りがあります。"},
        {"「long pt_get()」を「」の「取得」として、DLLを利用", "\"DLLを利用\"命令の引数に誤りがあります。"},
        {"「pt_get」を「」で、DLL宣言", "\"DLL宣言\"命令の引数に誤りがあります。"},
    };
    for (const auto& c : cases) {
        std::string err;
        {
            st->Source = Declare(c.rest);
            st->ErrorText.clear();
            st->NormaliseOrRaise(st->Source);
            st->Cursor = st->Source.c_str();
            st->Stopping = false;
            st->RunLoop();
            err = st->ErrorText;
        }
        EXPECT_NE(err.find(c.message), std::string::npos) << c.rest << "\n" << err;
        EXPECT_EQ(LoadedLibraryCount(*st), libraries) << c.rest;
        EXPECT_EQ(st->Words.Count, words) << c.rest;
        EXPECT_EQ(st->Words.FindExact("取得")->Value, "") << c.rest;   // still the first declaration
    }
}

TEST_F(DllState, EveryDeclarationHoldsTheLibraryUntilTheStateGoes)
{
    ASSERT_EQ(Run(Declare("「pt_get」を「取得」で、DLL宣言") + Declare("「pt_get」を「取得」で、DLL宣言") +
                  Declare("「pt_set(?に)」を「格納」で、DLL宣言")),
              "");
    EXPECT_EQ(LoadedLibraryCount(*st), 3u);
    const char* before = std::getenv("PORUTEST_UNLOADS");
    const int unloads = before ? std::atoi(before) : 0;
    // One reference of our own: the state must give back exactly its three.
    void* ours = dlopen(kLibrary.c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(ours, nullptr);
    st.reset();
    EXPECT_NE(dlopen(kLibrary.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);   // still ours
    dlclose(ours);                                                          // the NOLOAD probe above
    dlclose(ours);
    EXPECT_EQ(dlopen(kLibrary.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
    const char* after = std::getenv("PORUTEST_UNLOADS");
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(std::atoi(after), unloads + 1);
}
#endif

}   // namespace
