// Script-created objects: creation and placement, names and ids, properties set and
// read back, the messages, the grid, destruction and the console's refusal.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include <memory>

#include "core/codec.h"
#include "gui/controls.h"
#include "gui/gui_host.h"
#include "gui/main_window.h"
#include "gui/objects.h"
#include "interp/builtins.h"
#include "interp/interp.h"
#include "test_objects_fixture.h"

namespace {

// ---- creation and placement -----------------------------------------------------------

TEST(Objects, EveryKindIsCreatedWithItsSize)
{
    struct Row {
        const char* kind;
        int width, height;   // -1: left to the font or the platform
    };
    const Row rows[] = {
        {"ボタン", 75, 25},       {"エディタ", 121, -1},  {"イメージ", 105, 105}, {"バー", 121, -1},
        {"コンボ", 145, -1},      {"リスト", 121, 97},    {"メモ", 185, 89},      {"フォーム", 320, 240},
        {"チェック", 97, 17},     {"トラック", 105, 105}, {"アニメ", 100, 100},   {"ブラウザ", -1, -1},
        {"パネル", 185, 41},      {"Tエディタ", 185, 89}, {"ラジオ", 185, 105},   {"スクロール", 300, 200},
        {"タブページ", 289, 193}, {"グリッド", -1, -1},   {"ラベル", -1, -1},
    };
    TObjFixture f;
    std::string script;
    int n = 0;
    for (const Row& r : rows)
        script += std::string("部品") + std::to_string(n++) + "を、" + r.kind + "として、作成\r\n";
    ASSERT_TRUE(f.Run(script)) << f.Errors();
    n = 0;
    for (const Row& r : rows) {
        const std::string name = std::string("部品") + std::to_string(n++);
        TObjNode* rec = f.Record(name.c_str());
        ASSERT_NE(rec, nullptr) << r.kind;
        EXPECT_EQ(rec->ClassCode, KindOfName(S(r.kind))) << r.kind;
        EXPECT_EQ(rec->Index, n) << r.kind;   // ids follow 母艦 (0)
        THashNode* w = f.st.Words.FindExact(S(name.c_str()));
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->Kind, wkObject);
        EXPECT_EQ(SjisToUtf8(w->TypeText), r.kind);
        QWidget* widget = ObjectWidget(rec);
        if (r.width >= 0) {
            EXPECT_EQ(widget->width(), r.width) << r.kind;
        }
        if (r.height >= 0) {
            EXPECT_EQ(widget->height(), r.height) << r.kind;
        }
    }
    // そ names the object created last.
    EXPECT_EQ(f.st.Sys.So->Id, n);
}

TEST(Objects, AutomaticPlacementFollowsTheGap)
{
    struct Row {
        const char* gap;
        int expected;
    };
    for (const Row& r : {Row{"8", 8}, Row{"20", 20}, Row{"あいう", 8}}) {
        TObjFixture f;
        ASSERT_TRUE(
            f.Run(std::string("部品配置間隔=「") + r.gap + "」\r\n" + "甲ボタンを、作る\r\n乙ボタンを、作る\r\n"))
            << f.Errors();
        QWidget* a = ObjectWidget(f.Record("甲ボタン"));
        QWidget* b = ObjectWidget(f.Record("乙ボタン"));
        EXPECT_EQ(a->pos(), QPoint(10, 10)) << r.gap;
        EXPECT_EQ(b->x(), 10) << r.gap;
        EXPECT_EQ(b->y(), 10 + a->height() + r.expected) << r.gap;
        EXPECT_EQ(f.st.LayoutY, b->y() + b->height() + r.expected) << r.gap;
    }
}

TEST(Objects, CaptionsKindsAndCentring)
{
    TObjFixture f;
    ASSERT_TRUE(f.Run("OKボタンを、作る\r\n"
                      "OKを、ボタンとして、作成\r\n"
                      "保存ボタンを、作る\r\n"
                      "あいうを、作る\r\n"
                      "(5,300)に、位置ラベルを、ラベルとして、作成\r\n"
                      "センタリング\r\n"
                      "中央メモを、作る\r\n"
                      "センタリング解除\r\n"))
        << f.Errors();
    EXPECT_EQ(static_cast<QPushButton*>(ObjectWidget(f.Record("OKボタン")))->text(), "OK");
    EXPECT_EQ(static_cast<QPushButton*>(ObjectWidget(f.Record("OK")))->text(), "OK");
    EXPECT_EQ(static_cast<QPushButton*>(ObjectWidget(f.Record("保存ボタン")))->text(), "保存");
    EXPECT_EQ(f.Record("あいう")->ClassCode, okButton);
    EXPECT_EQ(static_cast<QPushButton*>(ObjectWidget(f.Record("あいう")))->text(), "あいう");
    EXPECT_EQ(ObjectWidget(f.Record("位置ラベル"))->pos(), QPoint(5, 300));
    QWidget* memo = ObjectWidget(f.Record("中央メモ"));
    EXPECT_EQ(memo->x(), (f.window.ClientWidth() - memo->width()) / 2);
    // A long caption widens the button to "W" times its bytes.
    ASSERT_TRUE(f.Run("とても長い名前のボタンを、作る\r\n")) << f.Errors();
    QWidget* wide = ObjectWidget(f.Record("とても長い名前のボタン"));
    const int w = QFontMetrics(f.window.Surface()->font()).horizontalAdvance(QLatin1Char('W'));
    EXPECT_EQ(wide->width(), w * 16);   // 8 two-byte characters
}

TEST(Objects, CreationMessages)
{
    struct Row {
        const char* script;
        const char* message;
    };
    const Row rows[] = {
        {"Aを、ボタンとして、作成\r\nAを、ボタンとして、作成\r\n",
         "オブジェクト\"A\"は、既に存在するので、作成できません。"},
        {"変数=1\r\n変数を、ボタンとして、作成\r\n", "オブジェクト\"変数\"は、既に存在するので、作成できません。"},
        {"Xを、メニューとして、作成\r\n", "オブジェクト\"メニュー\"は、未定義なので、作成できません。"},
        {"Xを、ほげとして、作成\r\n", "オブジェクト\"ほげ\"は、未定義なので、作成できません。"},
        {"(1,2,3)に、Xを、ボタンとして、作成\r\n",
         "オブジェクト\"X\"は、未定義なので、作成できません。座標指定に誤りがあります。\"1,2,3\""},
        {"「」を、作る\r\n", "\"作\"命令の引数に誤りがあります。オブジェクト名がありません。"},
        {"Aボタンを、作る\r\nAボタンを、オブジェクト破壊\r\nAボタンを、オブジェクト破壊\r\n",
         "オブジェクト\"Aボタン\"が特定できません。"},
        {"「なし」を、その単語に特定\r\n", "オブジェクト\"なし\"は、作成されていません。"},
    };
    for (const Row& r : rows) {
        TObjFixture f;
        EXPECT_FALSE(f.Run(r.script)) << r.script;
        EXPECT_EQ(f.LastError(), r.message) << r.script;
    }
}

TEST(Objects, IdsAreNeverReused)
{
    TObjFixture f;
    ASSERT_TRUE(f.Run("甲ボタンを、作る\r\n乙ボタンを、作る\r\n甲ボタンを、オブジェクト破壊\r\n丙ボタンを、作る\r\n"
                      "母艦を、オブジェクト破壊\r\n"))
        << f.Errors();
    EXPECT_EQ(f.st.Objects.Get(1), nullptr);
    EXPECT_EQ(f.Record("乙ボタン")->Index, 2);
    EXPECT_EQ(f.Record("丙ボタン")->Index, 3);
    EXPECT_EQ(f.st.Words.FindExact(S("甲ボタン")), nullptr);
    EXPECT_NE(f.st.Objects.Get(0), nullptr);   // 母艦 stays
    ASSERT_TRUE(f.Run("オブジェクト全破壊\r\n")) << f.Errors();
    for (size_t i = 1; i < f.st.Objects.Count(); ++i)
        EXPECT_EQ(f.st.Objects.Get(i), nullptr);
    EXPECT_EQ(f.st.Words.FindExact(S("丙ボタン")), nullptr);
}

TEST(Objects, MenusAndTheirItems)
{
    TObjFixture f;
    ASSERT_TRUE(f.Run("ファイルメニューを、作る\r\n"
                      "ファイルメニューに、開くメニューを、メニュー追加\r\n"
                      "項目=1\r\n項目を、メニュー作成\r\n"))
        << f.Errors();
    TObjNode* file = f.Record("ファイルメニュー");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->ClassCode, okMenu);
    ASSERT_TRUE(f.Run("Aは、ファイルメニューの、テキスト\r\nBは、開くメニューの、テキスト\r\n")) << f.Errors();
    EXPECT_EQ(f.Var("A"), "ファイル");
    EXPECT_EQ(f.Var("B"), "開く");
    ASSERT_NE(f.Record("項目"), nullptr);
    EXPECT_EQ(f.Record("項目")->ClassCode, okMenu);   // the variable was replaced
    EXPECT_FALSE(f.Run("ファイルメニューの、Xは、5\r\n"));
    EXPECT_EQ(f.LastError(), "オブジェクト\"ファイルメニュー\"の設定は、未定義です。");
    EXPECT_FALSE(f.Run("Aは、ファイルメニューの、X\r\n"));
    EXPECT_EQ(f.LastError(), "オブジェクト\"ファイルメニュー\"(\"メニュー\")の設定項目\"X\"は未定義です。");
    // Menus are destroyed like controls; the menu bar loses them.
    const int before = static_cast<int>(f.window.menuBar()->actions().size());
    ASSERT_TRUE(f.Run("開くメニューを、オブジェクト破壊\r\nファイルメニューを、オブジェクト破壊\r\n")) << f.Errors();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(static_cast<int>(f.window.menuBar()->actions().size()), before - 1);
    EXPECT_EQ(f.Record("ファイルメニュー"), nullptr);
}

// ---- properties ----------------------------------------------------------------------------------

TEST(Properties, SetThenRead)
{
    struct Row {
        const char* kind;
        const char* prop;
        const char* value;      // as written after は
        const char* expected;   // read back
        const char* tag;
    };
    const Row rows[] = {
        {"ボタン", "テキスト", "「保存する」", "保存する", "s"},
        {"ボタン", "X", "30", "30", "e"},
        {"ボタン", "Y", "40", "40", "e"},
        {"ボタン", "幅", "90", "90", "e"},
        {"ボタン", "高さ", "33", "33", "e"},
        {"ボタン", "位置", "「(7,9)」", "(7,9)", "s"},
        {"ボタン", "可視", "0", "0", "e"},
        {"ボタン", "有効", "0", "0", "e"},
        {"エディタ", "テキスト", "「abc」", "abc", "s"},
        {"エディタ", "編集", "0", "0", "e"},
        {"エディタ", "編集", "1", "1", "e"},
        {"メモ", "テキスト", "「一\r\n二」", "一\r\n二", "s"},
        {"メモ", "スクロールバー", "「縦」", "縦", "s"},
        {"リスト", "アイテム", "「あ\r\nい\r\nう」", "あ\r\nい\r\nう\r\n", "s"},
        {"コンボ", "アイテム", "「x\r\ny」", "x\r\ny\r\n", "s"},
        {"チェック", "値", "1", "1", "e"},
        {"バー", "最大値", "50", "50", "e"},
        {"バー", "向き", "「縦」", "縦", "s"},
        {"フォーム", "テキスト", "「窓」", "窓", "s"},
        {"フォーム", "幅", "200", "200", "e"},
        {"ラベル", "テキスト", "「見出し」", "見出し", "s"},
        {"ラベル", "フォント色", "「#FF0000」", "255", "e"},
        {"エディタ", "背景色", "「#00FF00」", "65280", "e"},
        {"ボタン", "フォントサイズ", "20", "20", "e"},
        {"フォーム", "タイトル", "「題」", "題", "s"},
        {"タブページ", "テキスト", "「一\r\n二」", "一\r\n二\r\n", "s"},
        {"ラジオ", "アイテム", "「甲\r\n乙」", "甲\r\n乙\r\n", "s"},
        {"ブラウザ", "URL", "「file:///tmp/」", "file:///tmp/", "s"},
        {"イメージ", "拡大機能", "1", "1", "e"},
        {"イメージ", "透過処理", "1", "1", "e"},
        {"フォーム", "スタイル", "3", "3", "e"},
        {"フォーム", "リサイズ", "0", "0", "e"},
        {"コンボ", "編集", "0", "0", "e"},
        {"グリッド", "編集", "1", "1", "e"},
        {"エディタ", "IME", "2", "2", "e"},
    };
    for (const Row& r : rows) {
        TObjFixture f;
        const std::string script = std::string("部品を、") + r.kind + "として、作成\r\n部品の、" + r.prop + "は、" +
                                   r.value + "\r\n部品の、" + r.prop + "を、結果に、得る\r\n";
        ASSERT_TRUE(f.Run(script)) << r.kind << r.prop << f.Errors();
        EXPECT_EQ(f.Var("結果"), r.expected) << r.kind << " " << r.prop;
        EXPECT_EQ(SjisToUtf8(f.st.Words.FindExact(S("結果"))->TypeText), r.tag) << r.kind << " " << r.prop;
    }
}

// The main window is a フォーム record but has no background picture: its picture
// settings read as those of a kind without a picture (they once read a sub-form's
// field out of the main window).
TEST(Properties, MainWindowHasNoPictureSettings)
{
    TObjFixture f;
    ASSERT_TRUE(f.Run("A=母艦の、拡大機能\r\nB=母艦の、透過処理\r\n")) << f.Errors();
    EXPECT_EQ(f.Var("A"), "");
    EXPECT_EQ(f.Var("B"), "0");
    EXPECT_FALSE(f.Run("母艦の、拡大機能は、1\r\n"));
}

TEST(Properties, ValueEdgeCases)
{
    TObjFixture f;
    ASSERT_TRUE(f.Run("L2リストを、作る\r\nL2リストの、アイテムは、「a\r\nb\r\nc」\r\nL2リストの、値は、1\r\n"
                      "L2リストの、値は、3\r\nL2リストの、値は、-1\r\nA=L2リストの、値\r\n"
                      "B2バーを、作る\r\nB2バーの、最大値は、50\r\nB2バーの、値は、80\r\nB="
                      "B2バーの、値\r\nB2バーの、値は、-5\r\nC=B2バーの、値\r\n"
                      "G2グリッドを、作る\r\nG2グリッドの、テキストは、「h1,h2\r\nx,1\r\ny,"
                      "2」\r\nG2グリッドの、値は、0\r\nD=G2グリッドの、値\r\n"
                      "G2グリッドの、値は、4\r\nE=G2グリッドの、値\r\n"))
        << f.Errors();
    EXPECT_EQ(f.Var("A"), "1");
    EXPECT_EQ(f.Var("B"), "50");
    EXPECT_EQ(f.Var("C"), "50");
    EXPECT_EQ(f.Var("D"), "1");   // 0 selects row 1
    EXPECT_EQ(f.Var("E"), "1");   // the row count (4) leaves it
}

TEST(Properties, GeometryAndTheLayoutCursor)
{
    TObjFixture f;
    ASSERT_TRUE(f.Run("B1ボタンを、作る\r\nB1ボタンの、サイズは、「10,20,110」\r\nA=B1ボタンの、サイズ\r\n"
                      "B1ボタンの、サイズは、「(10,20,110,70)」\r\nR=B1ボタンの、右側\r\nD=B1ボタンの、下側\r\n"))
        << f.Errors();
    EXPECT_EQ(f.Var("A"), "(10,20,110,20)");   // height -20 is clamped for the widget
    EXPECT_EQ(f.st.LayoutX, 10);
    EXPECT_EQ(f.st.LayoutY, 70 + 8);
    EXPECT_EQ(f.Var("R"), "(118,20)");
    EXPECT_EQ(f.Var("D"), "(10,78)");
    EXPECT_FALSE(f.Run("B1ボタンの、サイズは、「1,2,3,4,5」\r\n"));
    EXPECT_EQ(f.LastError(), "座標の指定エラー。引数が多すぎます。\"1\r\n2\r\n3\r\n4\r\n5\r\n\"");
}

// A list in parentheses, written bare, is a rectangle or a pair: each element is an
// expression of its own (evaluated whole it would be the first number only, and the
// main window would get a size of 0 x 0 and vanish from the screen).
TEST(Properties, BarePlacementListsKeepEveryNumber)
{
    TObjFixture f;
    ASSERT_TRUE(f.Run("W=400\r\n母艦の、サイズは、(0,0,W+20,380)\r\nA=母艦の、サイズ\r\n"
                      "B1ボタンを、作る\r\nB1ボタンの、位置は、(30,40)\r\nP=B1ボタンの、位置\r\n"
                      "R=「(5,6,105,56)」\r\nB1ボタンの、サイズは、R\r\nQ=B1ボタンの、サイズ\r\n"))
        << f.Errors();
    EXPECT_EQ(f.window.Surface()->width(), 420);
    EXPECT_EQ(f.window.Surface()->height(), 380);
    EXPECT_EQ(f.Var("P"), "(30,40)");
    EXPECT_EQ(f.Var("Q"), "(5,6,105,56)");
}

TEST(Properties, ComboItemsImeAndSettingAMissingObject)
{
    TObjFixture f;
    ASSERT_TRUE(
        f.Run("C1コンボを、作る\r\nC1コンボの、アイテムは、「梨\r\n柿」\r\nV=C1コンボの、値\r\n"
              "C2コンボを、作る\r\nC2コンボの、ソートは、1\r\nC2コンボの、アイテムは、「c\r\na\r\nb」\r\n"
              "I=C2コンボの、アイテム\r\nE1エディタを、作る\r\nE1エディタの、IMEは、7\r\nM=E1エディタの、IME\r\n"
              "E1エディタの、IMEは、3\r\nN=E1エディタの、IME\r\n"))
        << f.Errors();
    EXPECT_EQ(f.Var("V"), "-1");   // nothing selected, as in a リスト
    EXPECT_EQ(f.Var("I"), "a\r\nb\r\nc\r\n");
    EXPECT_EQ(f.Var("M"), "0");   // 7 is no mode: off
    EXPECT_EQ(f.Var("N"), "3");
    EXPECT_FALSE(f.Run("無い部品の、テキストを、「x」に、設定\r\n"));
    EXPECT_EQ(f.LastError(), "オブジェクト\"無い部品\"は、作成されていません。");
}

TEST(Properties, FontFaceAsNamedAndTheMainWindowsFrame)
{
    TObjFixture f;
    f.window.show();
    ASSERT_TRUE(f.Run("B1ボタンを、作る\r\nB1ボタンの、フォント書体は、「ＭＳ 明朝」\r\nF=B1ボタンの、フォント書体\r\n"
                      "枠固定に、母艦スタイル設定\r\nS1=母艦の、スタイル\r\n母艦元のサイズ\r\nS2=母艦の、スタイル\r\n"
                      "ダイアログスタイルに、母艦スタイル設定\r\nS3=母艦の、スタイル\r\n母艦全画面化\r\n"
                      "S4=母艦の、スタイル\r\nP=母艦の、位置\r\n"))
        << f.Errors();
    EXPECT_EQ(f.Var("F"), "ＭＳ 明朝");
    EXPECT_EQ(f.Var("S1"), "1");
    EXPECT_EQ(f.Var("S2"), "2");
    EXPECT_EQ(f.Var("S3"), "3");
    EXPECT_EQ(f.Var("S4"), "0");
    EXPECT_EQ(f.Var("P"), "(0,0)");
}

// 画像 loads through the picture loader: its messages, the clipboard, no object.
TEST(Properties, PictureThroughThePictureLoader)
{
    TObjFixture f;
    QImage red(4, 3, QImage::Format_RGB32);
    red.fill(Qt::red);
    QGuiApplication::clipboard()->setImage(red);
    ASSERT_TRUE(f.Run("I1イメージを、作る\r\nB1ボタンを、作る\r\nI1イメージの、画像は、「クリップボード」\r\n"
                      "I1イメージの、画像は、「無い名前」\r\n"))
        << f.Errors();
    // The clipboard's picture was shown; the name of no object then gave an empty one.
    EXPECT_TRUE(ObjectCanvas(f.st, f.Record("I1イメージ"))->isNull());
    ASSERT_TRUE(f.Run("I1イメージの、画像は、「クリップボード」\r\n")) << f.Errors();
    const QImage* shown = ObjectCanvas(f.st, f.Record("I1イメージ"));
    ASSERT_FALSE(shown->isNull());
    EXPECT_EQ(shown->pixel(1, 1), QColor(Qt::red).rgb());
    const struct {
        const char* value;
        const char* message;
    } rows[] = {
        {"「a.xyz」", "\"a.xyz\"が読込めません。未対応のファイル形式です。"},
        {"「/nonexistent/a.png」", "画像ファイル\"/nonexistent/a.png\"が読込めません。"},
        {"「B1ボタン」", "画像として、\"B1ボタン\"を読み込めません。"},
    };
    for (const auto& r : rows) {
        EXPECT_FALSE(f.Run(std::string("I1イメージの、画像は、") + r.value + "\r\n")) << r.value;
        EXPECT_EQ(f.LastError(), r.message);
    }
}

TEST(Properties, Messages)
{
    struct Row {
        const char* script;
        const char* message;
    };
    const Row rows[] = {
        {"B1ボタンの、名前は、「x」\r\n", "\"名前\"は、読取専用です。"},
        {"B1ボタンの、ハンドルは、1\r\n", "\"ハンドル\"は、読取専用です。"},
        {"B1ボタンの、右側は、1\r\n", "\"右側\"は、読取専用です。"},
        {"B1ボタンの、下側は、1\r\n", "\"下側\"は、読取専用です。"},
        {"B1ボタンの、ほげは、1\r\n", "オブジェクト\"B1ボタン\"(\"ボタン\")の設定項目\"ほげ\"は未定義です。"},
        {"A=B1ボタンの、ほげ\r\n", "オブジェクト\"B1ボタン\"(\"ボタン\")の設定項目\"ほげ\"は未定義です。"},
        {"B1ボタンの、URLは、「x」\r\n", "オブジェクト\"B1ボタン\"(\"ボタン\")の設定項目\"URL\"は未定義です。"},
        {"B1ボタンの、アイテムは、「x」\r\n",
         "オブジェクト\"B1ボタン\"(\"ボタン\")の設定項目\"アイテム\"は未定義です。"},
        {"B1ボタンの、値は、1\r\n", "オブジェクト\"B1ボタン\"の設定は、未定義です。"},
        {"変数=1\r\n変数の、テキストを、Aに、得る\r\n", "\"変数\"は、オブジェクトではありません。"},
        {"なしの、テキストを、Aに、得る\r\n", "単語\"なし\"は、定義されていません。"},
        {"T1トラックを、作る\r\nA=T1トラック\r\n", "オブジェクト\"T1トラック\"から、直接値を得ることは出来ません。"},
        {"変数=1\r\nB1ボタンの、クリックした時は、変数\r\n",
         "計算式に誤りがあります。イベントに変数を設定することは出来ません。ラベルを指定してください。"},
    };
    for (const Row& r : rows) {
        TObjFixture f;
        EXPECT_FALSE(f.Run(std::string("B1ボタンを、作る\r\n") + r.script)) << r.script;
        EXPECT_EQ(f.LastError(), r.message) << r.script;
    }
}

TEST(Properties, UnreadableGiveAWarning)
{
    for (const char* prop : {"クリックした時", "クリック時", "マウス押した時", "ソート", "ファイルドロップ"}) {
        TObjFixture f;
        ASSERT_TRUE(f.Run(std::string("B1ボタンを、作る\r\nA=「前」\r\nA=B1ボタンの、") + prop + "\r\n")) << f.Errors();
        EXPECT_EQ(f.Var("A"), "") << prop;
        EXPECT_NE(SjisToUtf8(f.st.ErrorText).find("[注　意]"), std::string::npos) << prop;
        EXPECT_NE(SjisToUtf8(f.st.ErrorText).find("は、未定義です。"), std::string::npos) << prop;
    }
}

TEST(Properties, SelectionsAndCaret)
{
    TObjFixture f;
    ASSERT_TRUE(f.Run("E1エディタを、作る\r\nE1エディタ=「abcdef」\r\nE1エディタの、選択位置は、1\r\n"
                      "E1エディタの、選択文字数は、3\r\n選=E1エディタの、選択文字列\r\n位=E1エディタの、選択位置\r\n"
                      "E1エディタの、選択文字列は、「XY」\r\n後=E1エディタ\r\n"
                      "M1メモを、作る\r\nM1メモ=「一行\r\n二行目\r\n三行目です」\r\nM1メモの、行は、2\r\n"
                      "M1メモの、列は、3\r\n行=M1メモの、行\r\n列=M1メモの、列\r\n"
                      "項目メニューを、作る\r\n項目メニューの、ショートカットキーは、「Ctrl+S」\r\n"
                      "鍵=項目メニューの、ショートカットキー\r\n"))
        << f.Errors();
    EXPECT_EQ(f.Var("選"), "bcd");
    EXPECT_EQ(f.Var("位"), "1");
    EXPECT_EQ(f.Var("後"), "aXYef");
    EXPECT_EQ(f.Var("行"), "2");
    EXPECT_EQ(f.Var("列"), "3");
    EXPECT_EQ(f.Var("鍵"), "Ctrl+S");
}

TEST(Properties, DirectValuesByKind)
{
    TObjFixture f;
    ASSERT_TRUE(f.Run("E1エディタを、作る\r\nE1エディタ=「直接」\r\nA=E1エディタ\r\n"
                      "C1チェックを、作る\r\nC1チェック=3\r\nB=C1チェック\r\n"
                      "L1リストを、作る\r\nL1リストの、アイテムは、「p\r\nq」\r\nL1リスト=1\r\nC=L1リスト\r\n"
                      "G1グリッドを、作る\r\nG1グリッド=「a,b\r\nc,d」\r\nD=G1グリッドの、アイテム\r\n"))
        << f.Errors();
    EXPECT_EQ(f.Var("A"), "直接");
    EXPECT_EQ(f.Var("B"), "1");
    EXPECT_EQ(f.Var("C"), "1");
    EXPECT_EQ(f.Var("D"), "a,b\r\nc,d\r\n");
}

// Which kinds take the properties that only some kinds have, and the message each
// of the others gives.
TEST(Properties, WhatEachKindSupports)
{
    struct Row {
        const char* kind;
        bool text, items, value, editable, backColour, font, direct;
    };
    const Row rows[] = {
        {"ボタン", true, false, false, false, false, true, true},
        {"エディタ", true, false, false, true, true, true, true},
        {"イメージ", false, false, false, false, false, false, true},
        {"バー", false, false, true, false, false, false, true},
        {"コンボ", true, true, true, true, true, true, true},
        {"リスト", true, true, true, false, true, true, true},
        {"メモ", true, false, false, true, true, true, true},
        {"フォーム", true, true, false, false, true, false, true},
        {"グリッド", true, true, true, true, true, true, true},
        {"ラベル", true, false, false, false, true, true, true},
        {"チェック", true, false, true, false, true, true, true},
        {"トラック", false, false, false, false, false, false, false},
        {"アニメ", false, false, true, false, true, false, false},
        {"パネル", true, true, false, false, true, false, true},
        {"Tエディタ", true, false, false, false, true, false, true},
        {"ラジオ", true, true, true, false, true, false, true},
        {"スクロール", false, true, false, false, false, false, false},
        {"タブページ", true, true, true, false, false, false, false},
    };
    TObjFixture f;
    ASSERT_TRUE(f.Run("A=0\r\n")) << f.Errors();
    for (const Row& r : rows) {
        const std::string kind = r.kind, name = std::string("O") + r.kind;
        ASSERT_TRUE(f.Run(name + "を、" + kind + "として、作成\r\n")) << kind << f.Errors();
        ASSERT_EQ(KindName(f.Record(name.c_str())->ClassCode), S(kind));
        const std::string notDefined = "オブジェクト\"" + name + "\"の設定は、未定義です。";
        auto undefinedItem = [&](const char* prop) {
            return "オブジェクト\"" + name + "\"(\"" + kind + "\")の設定項目\"" + prop + "\"は未定義です。";
        };
        auto check = [&](const std::string& script, bool ok, const std::string& message) {
            EXPECT_EQ(f.Run(script), ok) << kind << ": " << script;
            if (!ok) {
                EXPECT_EQ(f.LastError(), message) << kind << ": " << script;
            }
        };
        check(name + "の、テキストは、「t」\r\n", r.text, notDefined);
        check(name + "の、アイテムは、「」\r\n", r.items, undefinedItem("アイテム"));
        check(name + "の、値は、1\r\n", r.value, notDefined);
        check("A=" + name + "の、編集\r\n", r.editable, undefinedItem("編集"));
        check(name + "の、背景色は、0\r\n", r.backColour, undefinedItem("背景色"));
        check(name + "の、フォントサイズは、10\r\n", r.font, undefinedItem("フォントサイズ"));
        check("A=" + name + "\r\n", r.direct, "オブジェクト\"" + name + "\"から、直接値を得ることは出来ません。");
    }
}

// A button's caption widens the button to show it, never narrows it, whichever
// way it is set: as テキスト, as タイトル, or as the button's direct value.
TEST(Properties, ButtonCaptionsWidenTheButton)
{
    TObjFixture f;
    ASSERT_TRUE(f.Run("Aボタンを、作る\r\nBボタンを、作る\r\nCボタンを、作る\r\n")) << f.Errors();
    auto* a = static_cast<QPushButton*>(ObjectWidget(f.Record("Aボタン")));
    auto* b = static_cast<QPushButton*>(ObjectWidget(f.Record("Bボタン")));
    auto* c = static_cast<QPushButton*>(ObjectWidget(f.Record("Cボタン")));
    const int before = a->width();
    const std::string longText = "とても長いボタンの見出しをここに書きます";
    ASSERT_TRUE(f.Run("Aボタンの、テキストは、「" + longText + "」\r\nBボタン=「" + longText +
                      "」\r\nCボタンの、タイトルは、「" + longText + "」\r\n"))
        << f.Errors();
    const int need = a->fontMetrics().horizontalAdvance(a->text()) + 10;
    EXPECT_GT(need, before);
    EXPECT_EQ(a->width(), need);
    EXPECT_EQ(b->width(), need);
    EXPECT_EQ(c->width(), need);
    EXPECT_EQ(b->text().toStdString(), longText);
    ASSERT_TRUE(f.Run("Aボタン=「短」\r\n")) << f.Errors();
    EXPECT_EQ(a->width(), need);
}

// ---- the grid -------------------------------------------------------------------------------------

TEST(Grid, RowZeroIsTheHeaderAndClicksSort)
{
    TObjFixture f;
    ASSERT_TRUE(f.Run("表グリッドを、作る\r\n表グリッドの、ソートは、1\r\n"
                      "表グリッドの、テキストは、「名前,点\r\nbanana,2\r\nApple,3\r\ncherry,1」\r\n"))
        << f.Errors();
    auto* grid = static_cast<TSortGrid*>(ObjectWidget(f.Record("表グリッド")));
    EXPECT_EQ(grid->rowCount(), 5);   // 4 rows and the empty last one
    EXPECT_EQ(SjisToUtf8(grid->CellText(0, 0)), "名前");
    auto column = [grid](int col) {
        std::vector<std::string> v;
        for (int r = 1; r < grid->rowCount() - 1; ++r)
            v.push_back(SjisToUtf8(grid->CellText(r, col)));
        return v;
    };
    // A press on the header cell of column 0 sorts ascending, the next descending.
    auto pressHeader = [grid](int col) {
        const QRect cell = grid->visualRect(grid->model()->index(0, col));
        QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, cell.center());
    };
    f.window.show();
    pressHeader(0);
    EXPECT_EQ(column(0), (std::vector<std::string>{"Apple", "banana", "cherry"}));
    pressHeader(0);
    EXPECT_EQ(column(0), (std::vector<std::string>{"cherry", "banana", "Apple"}));
    pressHeader(1);
    EXPECT_EQ(column(1), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(grid->CellText(4, 0), "");   // the last row stays in place
    // The text as CSV still has the empty last row; アイテム trims it.
    ASSERT_TRUE(f.Run("A=表グリッドの、テキスト\r\n")) << f.Errors();
    EXPECT_EQ(f.Var("A").substr(f.Var("A").size() - 5), "\r\n,\r\n");
    f.window.hide();
}

}   // namespace
