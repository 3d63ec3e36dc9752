// Drawing commands, pictures and printing, run offscreen through scripts.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>

#include <QFile>
#include <QImage>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <QCoreApplication>

#include <cmath>
#include <cstdlib>

#include "gui/objects.h"
#include "gui/picture.h"
#include "gui/print.h"
#include "gui/text_font.h"
#include "test_objects_fixture.h"

namespace {

struct TDrawFixture : TObjFixture {
    TDrawFixture()
    {
        Run("ペン太さ=1\r\nペン色=255\r\n塗り色=65280\r\n");
        st.SecurityLevel = 0;
    }
    // The colour value 座標色取得 reports at x, y of a surface ("" for the main one).
    std::string ColourAt(const std::string& surface, int x, int y)
    {
        const std::string point = "(" + std::to_string(x) + "," + std::to_string(y) + ")";
        const std::string call = surface.empty() ? point + "を、座標色取得" : surface + "の" + point + "を、座標色取得";
        EXPECT_TRUE(Run("それ=「なし」\r\n" + call + "\r\n結果=それ\r\n")) << Errors();
        return Var("結果");
    }
};

struct TProbe {
    int x, y;
    const char* want;   // "pen", "brush" or "bg"
};

void CheckProbes(TDrawFixture& f, const std::string& surface, const char* what, const std::vector<TProbe>& probes,
                 const std::string& background)
{
    for (const TProbe& p : probes) {
        const std::string want = std::string(p.want) == "pen"     ? "255"
                                 : std::string(p.want) == "brush" ? "65280"
                                                                  : background;
        EXPECT_EQ(f.ColourAt(surface, p.x, p.y), want) << what << " at " << p.x << "," << p.y;
    }
}

TEST(Drawing, ShapesExcludeTheirRightAndBottomEdges)
{
    TDrawFixture f;
    const std::string bg = std::to_string(ValueFromColour(f.window.Surface()->WindowColour()));
    struct {
        const char* script;
        std::vector<TProbe> probes;
    } cases[] = {
        {"(10,10)から(50,40)へ、四角形",
         {{10, 20, "pen"},
          {9, 20, "bg"},
          {49, 20, "pen"},
          {50, 20, "bg"},
          {30, 10, "pen"},
          {30, 39, "pen"},
          {30, 40, "bg"},
          {30, 9, "bg"},
          {30, 25, "brush"},
          {48, 38, "brush"}}},
        // One argument: the rectangle filled, no outline.
        {"(200,10,240,50)へ、四角形",
         {{200, 10, "brush"}, {239, 49, "brush"}, {240, 30, "bg"}, {199, 30, "bg"}, {220, 50, "bg"}}},
        // A line leaves out its last pixel.
        {"(100,100)から(110,100)へ、線", {{100, 100, "pen"}, {109, 100, "pen"}, {110, 100, "bg"}, {99, 100, "bg"}}},
        {"(100,120)から(100,130)へ、線", {{100, 120, "pen"}, {100, 129, "pen"}, {100, 130, "bg"}}},
        {"(300,10)から(341,51)へ、円形",
         {{300, 30, "pen"},
          {299, 30, "bg"},
          {340, 30, "pen"},
          {341, 30, "bg"},
          {320, 10, "pen"},
          {320, 50, "pen"},
          {320, 51, "bg"},
          {320, 30, "brush"},
          {301, 11, "bg"}}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(f.Run(std::string(c.script) + "\r\n")) << c.script << f.Errors();
        CheckProbes(f, "", c.script, c.probes, bg);
    }
}

TEST(Drawing, LineFromTheCursorLeavesTheCursor)
{
    TDrawFixture f;
    ASSERT_TRUE(f.Run("(20,300)へ、移動\r\n(30,300)へ、線\r\n"));
    EXPECT_EQ(f.st.LayoutX, 20);
    EXPECT_EQ(f.st.LayoutY, 300);
    EXPECT_EQ(f.ColourAt("", 20, 300), "255");
    EXPECT_EQ(f.ColourAt("", 29, 300), "255");
    // A wider pen stamps its width around every pixel.
    ASSERT_TRUE(f.Run("ペン太さ=3\r\n(50,350)から(60,350)へ、線\r\n"));
    EXPECT_EQ(f.ColourAt("", 55, 349), "255");
    EXPECT_EQ(f.ColourAt("", 55, 351), "255");
    EXPECT_NE(f.ColourAt("", 55, 352), "255");
    // A line far beyond the surface is clipped, not walked.
    ASSERT_TRUE(f.Run("ペン太さ=1\r\n(0,370)から(2000000000,370)へ、線\r\n"));
    EXPECT_EQ(f.ColourAt("", 600, 370), "255");
}

TEST(Drawing, PixelsAndClearing)
{
    TDrawFixture f;
    ASSERT_TRUE(f.Run("ペン色=「#102030」\r\n(5,6)へ、点描画\r\n"));
    EXPECT_EQ(f.ColourAt("", 5, 6), std::to_string(0x10 + 256 * 0x20 + 65536 * 0x30));
    EXPECT_EQ(f.ColourAt("母艦", 5, 6), std::to_string(0x10 + 256 * 0x20 + 65536 * 0x30));
    // Outside the surface nothing happens and それ stays.
    EXPECT_EQ(f.ColourAt("", -1, 5), "なし");
    EXPECT_EQ(f.ColourAt("", 5, 100000), "なし");
    ASSERT_TRUE(f.Run("(100,200)へ、移動\r\n255で、画面クリア\r\n"));
    EXPECT_EQ(f.st.LayoutX, 10);
    EXPECT_EQ(f.st.LayoutY, 10);
    EXPECT_EQ(f.ColourAt("", 5, 6), "255");
    EXPECT_EQ(f.ColourAt("", 600, 390), "255");
}

TEST(Drawing, FadesAndCapture)
{
    TDrawFixture f;
    ASSERT_TRUE(f.Run("「#80C040」で、画面クリア\r\n0で、画面フェードアウト\r\n")) << f.Errors();
    // The last step limits every byte to 5.
    EXPECT_EQ(f.ColourAt("", 100, 100), std::to_string(5 + 256 * 5 + 65536 * 5));
    ASSERT_TRUE(f.Run("0で、画面フェードイン\r\n")) << f.Errors();
    EXPECT_EQ(f.ColourAt("", 100, 100), std::to_string(250 + 256 * 250 + 65536 * 250));

    // The run-time's own window, by its title, copied onto a picture at 0, 0.
    const std::string title = f.window.windowTitle().toStdString();
    ASSERT_TRUE(f.Run("画像1を、イメージとして、作成\r\n画像1の、Xは、400\r\n塗り色=255\r\n"
                      "(0,0)から(640,400)へ、四角形\r\n「" +
                      title + "」を、画像1へ、窓キャプチャー\r\n"))
        << f.Errors() << title;
    EXPECT_EQ(f.ColourAt("画像1", 50, 50), "255");
    EXPECT_FALSE(f.Run("「ぽるかな」を、無し3へ、窓キャプチャー\r\n"));
    EXPECT_EQ(f.LastError(), "オブジェクト\"無し3\"が特定できません。");
}

TEST(Drawing, NamedSurfaces)
{
    TDrawFixture f;
    ASSERT_TRUE(f.Run("画像1を、イメージとして、作成\r\nボタン1を、ボタンとして、作成\r\n")) << f.Errors();
    ASSERT_TRUE(f.Run("画像1の(2,2)から(20,10)へ、四角形描画\r\n画像1の(30,30)から(40,40)へ、線描画\r\n"))
        << f.Errors();
    CheckProbes(f, "画像1", "rectangle on a picture",
                {{2, 5, "pen"},
                 {19, 5, "pen"},
                 {20, 5, "bg"},
                 {10, 6, "brush"},
                 {30, 30, "pen"},
                 {39, 39, "pen"},
                 {40, 40, "bg"}},
                "16777215");
    struct {
        const char* script;
        const char* message;
    } errors[] = {
        {"ボタン1の(0,0)から(5,5)へ、線描画", "\"ボタン1\"は、イメージではありません。"},
        {"無いものの(0,0)から(5,5)へ、円形描画", "オブジェクト\"無いもの\"は、作成されていません。"},
        {"ボタン1を、ネガポジ反転", "\"ボタン1\"は、イメージではありません。"},
        {"画像1を、-10度、画像ボカシ", "範囲チェックエラー"},
        {"画像1を、256度、画像シャープ", "範囲チェックエラー"},
        {"画像1を、12ビットに、画像ビット数変更",
         "\"画像ビット数変更\"命令の引数に誤りがあります。12ビットはサポートしていません。"},
    };
    for (const auto& e : errors) {
        EXPECT_FALSE(f.Run(std::string(e.script) + "\r\n")) << e.script;
        EXPECT_EQ(f.LastError(), e.message) << e.script;
    }
}

// リスト, グリッド, ラベル and アニメ have a canvas of their own: the pixels read are the ones
// shown there, pixels set stay over the control, and a button has none.
TEST(Drawing, ControlsOwnCanvases)
{
    TDrawFixture f;
    ASSERT_TRUE(
        f.Run("ラベル1を、ラベルとして、作成\r\nラベル1の、背景色は、「#FF0000」\r\n"
              "ラベル1の、サイズは、(0,0,60,30)\r\nアニメ1を、アニメとして、作成\r\n"
              "リスト1を、リストとして、作成\r\n表1を、グリッドとして、作成\r\nボタン1を、ボタンとして、作成\r\n"))
        << f.Errors();
    // The colour a label was given is painted (it was not: the label stayed see-through).
    EXPECT_EQ(f.ColourAt("ラベル1", 57, 28), "255");
    // A control with no background of its own shows the drawing behind it.
    ASSERT_TRUE(f.Run("塗り色=65280\r\n(0,100)から(300,300)へ、四角形\r\nラベル2を、ラベルとして、作成\r\n"
                      "ラベル2の、Yは、120\r\nアニメ1の、Xは、200\r\nアニメ1の、Yは、150\r\n"))
        << f.Errors();
    EXPECT_EQ(f.ColourAt("ラベル2", 1, 1), "65280");
    EXPECT_EQ(f.ColourAt("アニメ1", 50, 50), "65280");
    ASSERT_TRUE(f.Run("ペン色=「#102030」\r\nラベル1の(55,28)へ、点描画\r\nアニメ1の(1,2)へ、点描画\r\n"
                      "リスト1の(3,3)へ、点描画\r\n表1の(4,4)へ、点描画\r\n"))
        << f.Errors();
    const std::string pen = std::to_string(0x10 + 256 * 0x20 + 65536 * 0x30);
    EXPECT_EQ(f.ColourAt("ラベル1", 55, 28), pen);
    EXPECT_EQ(f.ColourAt("ラベル1", 56, 28), "255");
    EXPECT_EQ(f.ColourAt("アニメ1", 1, 2), pen);
    EXPECT_EQ(f.ColourAt("リスト1", 3, 3), pen);
    EXPECT_EQ(f.ColourAt("表1", 4, 4), pen);
    // Outside the control, or a kind with no canvas: それ stays.
    EXPECT_EQ(f.ColourAt("ラベル1", 60, 5), "なし");
    EXPECT_EQ(f.ColourAt("ラベル1", -1, 5), "なし");
    EXPECT_EQ(f.ColourAt("ボタン1", 5, 5), "なし");
}

TEST(Drawing, EveryFilterCommandRunsItsFilter)
{
    TDrawFixture f;
    ASSERT_TRUE(f.Run("画像1を、イメージとして、作成\r\n塗り色=「#C08040」\r\n画像1の(3,5)から(70,60)へ、円形描画\r\n"
                      "ペン色=「#30A0F0」\r\n画像1の(0,90)から(104,10)へ、線描画\r\n"))
        << f.Errors();
    QImage* canvas = ObjectCanvas(f.st, f.Record("画像1"));
    ASSERT_NE(canvas, nullptr);
    struct {
        const char* script;
        void (*apply)(TPixels&);
    } cases[] = {
        {"画像1を、垂直反転", FlipVertical},
        {"画像1を、水平反転", FlipHorizontal},
        {"画像1を、右回転", RotateRight},
        {"画像1を、ネガポジ反転", Negate},
        {"画像1を、グレイスケール変換", Greyscale},
        {"画像1を、ソラリゼーション", Solarize},
        {"画像1を、画像エッジ検出", EdgeDetect},
        {"画像1を、-40度、明るさ補正", [](TPixels& p) { Brightness(p, -40); }},
        {"画像1を、1.5度、ガンマ補正", [](TPixels& p) { Gamma(p, 1.5); }},
        {"画像1を、90度、画像回転", [](TPixels& p) { RotateHalfDegrees(p, 90); }},
        {"画像1を、25度、画像ボカシ", [](TPixels& p) { BoxBlur(p, 2); }},
        {"画像1を、200度、画像シャープ", [](TPixels& p) { Sharpen(p, 200); }},
        {"画像1を、「#FF8000」で、画像セピア", [](TPixels& p) { Sepia(p, 0x0080FF); }},
    };
    for (const auto& c : cases) {
        TPixels want = PixelsFromImage(*canvas);
        c.apply(want);
        ASSERT_TRUE(f.Run(std::string(c.script) + "\r\n")) << c.script << f.Errors();
        const TPixels got = PixelsFromImage(*canvas);
        EXPECT_EQ(got.Width, want.Width) << c.script;
        EXPECT_TRUE(got.Data == want.Data) << c.script;
    }
    // One bit per pixel leaves only black and white.
    ASSERT_TRUE(f.Run("画像1を、1ビットに、画像ビット数変更\r\n")) << f.Errors();
    for (QRgb p : PixelsFromImage(*canvas).Data)
        ASSERT_TRUE((p & 0xFFFFFF) == 0 || (p & 0xFFFFFF) == 0xFFFFFF) << std::hex << p;
}

double Psnr(const QImage& a, const QImage& b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            const int d[3] = {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)};
            for (int k : d)
                sum += k * k;
        }
    const double mse = sum / (3.0 * a.width() * a.height());
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

TEST(Pictures, SaveAndLoadRoundTrips)
{
    TDrawFixture f;
    QTemporaryDir dir;
    const std::string base = dir.path().toStdString() + "/";
    ASSERT_TRUE(f.Run("画像1を、イメージとして、作成\r\n塗り色=「#C08040」\r\n画像1の(10,10)から(60,50)へ、円形描画\r\n"
                      "ペン色=「#0000FF」\r\n画像1の(0,99)から(104,0)へ、線描画\r\n"))
        << f.Errors();
    const QImage original = [&] {
        QImage img(105, 105, QImage::Format_RGB32);
        for (int y = 0; y < 105; ++y)
            for (int x = 0; x < 105; ++x) {
                const int v = std::stoi(f.ColourAt("画像1", x, y));
                img.setPixel(x, y, qRgb(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF));
            }
        return img;
    }();
    for (const char* ext : {"png", "bmp"}) {
        const std::string file = base + "a." + ext;
        ASSERT_TRUE(f.Run("「" + file + "」へ、画像1を、イメージ保存\r\n")) << f.Errors();
        QImage back(QString::fromStdString(file));
        ASSERT_FALSE(back.isNull()) << ext;
        EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), original) << ext;
        // Loading it into the main window draws it at the cursor and moves the cursor.
        ASSERT_TRUE(f.Run("(0,0)へ、移動\r\n「" + file + "」を、画像表示\r\n")) << f.Errors();
        EXPECT_EQ(f.st.LayoutY, 105);
        EXPECT_EQ(f.window.Surface()->Picture().copy(0, 0, 105, 105), original) << ext;
    }
    // JPEG: smaller at a low quality, close to the original at a high one.
    std::vector<qint64> sizes;
    std::vector<double> psnr;
    for (int q : {10, 95}) {
        const std::string file = base + "q" + std::to_string(q) + ".jpg";
        ASSERT_TRUE(f.Run("JPEG圧縮率=" + std::to_string(q) + "\r\n「" + file + "」へ、画像1を、イメージ保存\r\n"));
        sizes.push_back(QFile(QString::fromStdString(file)).size());
        QImage back(QString::fromStdString(file));
        ASSERT_EQ(back.size(), original.size());
        psnr.push_back(Psnr(back, original));
    }
    // One-pixel lines in saturated colours keep the quality below photographic levels.
    EXPECT_GT(psnr[1], 25.0);
    EXPECT_GT(psnr[1], psnr[0] + 3);
    EXPECT_GT(sizes[0], 0);
    EXPECT_LT(sizes[0], sizes[1]);
    // Through the clipboard and by the object's name the picture arrives unchanged.
    for (const char* from : {"「クリップボード」", "画像1", "「画像１」"}) {
        f.window.Surface()->Picture().fill(Qt::black);
        ASSERT_TRUE(f.Run("「クリップボード」へ、画像1を、イメージ保存\r\n(0,0)へ、移動\r\n" + std::string(from) +
                          "を、画像表示\r\n"))
            << f.Errors();
        EXPECT_EQ(f.window.Surface()->Picture().copy(0, 0, 105, 105), original) << from;
    }
    // Enlarged display resamples into the given size.
    ASSERT_TRUE(f.Run("(0,200)へ、移動\r\n「" + base + "a.png」を、(210,50)で、画像拡大表示\r\n")) << f.Errors();
    EXPECT_EQ(f.st.LayoutY, 250);
}

TEST(Pictures, Messages)
{
    TDrawFixture f;
    QTemporaryDir dir;
    const std::string base = dir.path().toStdString() + "/";
    QFile other(QString::fromStdString(base + "x.xyz"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("abc");
    other.close();
    ASSERT_TRUE(f.Run("画像1を、イメージとして、作成\r\nボタン1を、ボタンとして、作成\r\n"));
    struct {
        std::string script;
        std::string message;
    } cases[] = {
        {"「" + base + "b.gif」へ、画像1を、イメージ保存", "\".gif\"は、未対応の画像ファイルです。"},
        {"JPEG圧縮率=0\r\n「" + base + "b.jpg」へ、画像1を、イメージ保存", "範囲チェックエラー"},
        {"「" + base + "b.png」へ、ボタン1を、イメージ保存", "\"ボタン1\"はイメージではありません。"},
        {"「" + base + "b.png」へ、無し1を、イメージ保存", "オブジェクト\"無し1\"は、作成されていません。"},
        {"「" + base + "x.xyz」を、画像表示", "\"" + base + "x.xyz\"が読込めません。未対応のファイル形式です。"},
        {"「" + base + "none.png」を、画像表示", "画像ファイル\"" + base + "none.png\"が読込めません。"},
        {"ボタン1を、画像表示", "画像として、\"ボタン1\"を読み込めません。"},
        {"「" + base + "x.png」を、(100000,100000)で、画像拡大表示", "範囲チェックエラー"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(f.Run(c.script + "\r\n")) << c.script;
        EXPECT_EQ(f.LastError(), c.message) << c.script;
    }
}

TEST(Pictures, CopiesAndBlending)
{
    TDrawFixture f;
    ASSERT_TRUE(f.Run("画像1を、イメージとして、作成\r\n画像2を、イメージとして、作成\r\n"
                      "塗り色=「#FF0000」\r\n画像1の(0,0)から(105,105)へ、四角形描画\r\n"
                      "塗り色=「#0000FF」\r\n画像2の(0,0)から(105,105)へ、四角形描画\r\n"))
        << f.Errors();
    // At 50 percent alpha is 128: (128*255 + 128*0) div 256 = 127 in both channels.
    ASSERT_TRUE(f.Run("画像1を、画像2の、(10,10)に、50パーセント、イメージ半透明コピー\r\n")) << f.Errors();
    EXPECT_EQ(f.ColourAt("画像2", 50, 50), std::to_string(127 + 65536 * 127));
    EXPECT_EQ(f.ColourAt("画像2", 5, 5), std::to_string(255 * 65536));
    // 0 percent changes nothing.
    ASSERT_TRUE(f.Run("画像1を、画像2の、(0,0)に、0パーセント、イメージ半透明コピー\r\n"));
    EXPECT_EQ(f.ColourAt("画像2", 5, 5), std::to_string(255 * 65536));
    // Copy onto the main window at a point, and a part of it.
    ASSERT_TRUE(f.Run("画像2を、母艦の、(300,200)に、イメージコピー\r\n")) << f.Errors();
    EXPECT_EQ(f.ColourAt("", 350, 250), std::to_string(127 + 65536 * 127));
    ASSERT_TRUE(f.Run("画像1の(0,0,10,10)を、母艦の、(500,300)に、イメージ部分コピー\r\n")) << f.Errors();
    EXPECT_EQ(f.ColourAt("", 505, 305), "255");
    EXPECT_NE(f.ColourAt("", 510, 305), "255");
}

TEST(Pictures, IconsAndText)
{
    TDrawFixture f;
    QTemporaryDir dir;
    const std::string ico = dir.path().toStdString() + "/red.ico";
    QImage red(16, 16, QImage::Format_ARGB32);
    red.fill(qRgb(255, 0, 0));
    ASSERT_TRUE(red.save(QString::fromStdString(ico), "ICO"));
    ASSERT_TRUE(f.Run("画像1を、イメージとして、作成\r\nボタン1を、ボタンとして、作成\r\n変数1=3\r\n"
                      "「" +
                      ico + "」の、0を、画像1に、アイコン抽出\r\n"))
        << f.Errors();
    EXPECT_EQ(f.ColourAt("画像1", 15, 15), "255");
    ASSERT_TRUE(f.Run("(0,0)へ、移動\r\n「" + ico + "」を、画像表示\r\n")) << f.Errors();
    EXPECT_EQ(f.st.LayoutY, 16);
    EXPECT_EQ(f.ColourAt("", 15, 15), "255");
    struct {
        std::string script;
        std::string message;
    } cases[] = {
        {"「" + ico + "」の、0を、ボタン1に、アイコン抽出",
         "\"ボタン1\"は、オブジェクトではありません。イメージを指定します。"},
        {"「" + ico + "」の、0を、変数1に、アイコン抽出", "\"変数1\"は、オブジェクトではありません。"},
        {"「" + ico + "」の、-1を、画像1に、アイコン抽出", "範囲チェックエラー"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(f.Run(c.script + "\r\n")) << c.script;
        EXPECT_EQ(f.LastError(), c.message) << c.script;
    }

    // 文字描画 writes onto the picture from the given point down.
    ASSERT_TRUE(f.Run("画像2を、イメージとして、作成\r\n文字色=255\r\n画像2の(5,40)へ、「あい\r\nう」と、文字描画\r\n"))
        << f.Errors();
    int above = 0, first = 0;
    for (int y = 0; y < 105; ++y)
        for (int x = 0; x < 60; ++x)
            if (f.ColourAt("画像2", x, y) != "16777215")
                (y < 40 ? above : first) += 1;
    EXPECT_EQ(above, 0);
    EXPECT_GT(first, 40);
}

TEST(Printing, TextAndPicturesToPdf)
{
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty())
        GTEST_SKIP() << "pdftotext is not installed";
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("out.pdf"));
    int asked = 0;
    bool accept = true;
    SetPrinterSetup([&](QPrinter& p) {
        ++asked;
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(pdf);
        return accept;
    });
    TDrawFixture f;
    ASSERT_TRUE(f.Run("「Hello printer\r\nぽるかな二行目」を、簡易印刷\r\n")) << f.Errors();
    QProcess run;
    run.start(pdftotext, {pdf, QStringLiteral("-")});
    ASSERT_TRUE(run.waitForFinished(20000));
    const QString text = QString::fromUtf8(run.readAllStandardOutput());
    EXPECT_TRUE(text.contains(QStringLiteral("Hello printer"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("ぽるかな二行目"))) << text.toStdString();

    QFile::remove(pdf);
    ASSERT_TRUE(f.Run("画像1を、イメージとして、作成\r\n画像1を、イメージ印刷\r\n母艦印刷\r\n")) << f.Errors();
    EXPECT_TRUE(QFile::exists(pdf));
    EXPECT_FALSE(f.Run("無し2を、イメージ印刷\r\n"));
    EXPECT_EQ(f.LastError(), "オブジェクト\"無し2\"は、作成されていません。");

    // A cancelled setup prints nothing.
    QFile::remove(pdf);
    accept = false;
    ASSERT_TRUE(f.Run("「x」を、簡易印刷\r\n"));
    EXPECT_FALSE(QFile::exists(pdf) && QFile(pdf).size() > 0);
    EXPECT_EQ(asked, 5);
    SetPrinterSetup(nullptr);
}

TEST(Examples, DrawSampleDrawsItsPicture)
{
    const std::string path = std::string(PORUKANA_SOURCE_DIR) + "/examples/draw.prk";
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path;
    const QByteArray sjis = file.readAll();
    TObjFixture f;
    f.st.Source = sjis.toStdString();
    f.st.FileName = "draw.prk";
    f.st.RunProgram();
    ASSERT_FALSE(f.st.StoppedByError) << f.Errors();
    QCoreApplication::processEvents();
    const QImage shot = f.window.grab().toImage();
    if (const char* out = std::getenv("PORUKANA_DRAW_SHOT"))
        shot.save(QString::fromUtf8(out));
    const QImage& pic = f.window.Surface()->Picture();
    struct {
        int x, y;
        QRgb want;
    } probes[] = {
        {30, 60, qRgb(0xA8, 0xD8, 0xF0)},     // sky
        {355, 105, qRgb(0xFF, 0xD0, 0x40)},   // sun
        {100, 250, qRgb(0x50, 0xA0, 0x50)},   // ground
        {150, 220, qRgb(0xC0, 0x80, 0x50)},   // house
        {20, 281, qRgb(0, 255, 128)},         // first dot of the band
        {275, 281, qRgb(255, 0, 128)},        // last dot
        {5, 390, qRgb(0xF0, 0xE8, 0xD0)},     // cleared background
    };
    for (const auto& p : probes)
        EXPECT_EQ(pic.pixel(p.x, p.y) & 0xFFFFFF, p.want & 0xFFFFFF) << p.x << "," << p.y;

    // The program lives on in its handlers: a click draws a red dot where it lands,
    // and the one-second timer writes the elapsed seconds on a white panel.
    QTest::mouseClick(f.window.Surface(), Qt::LeftButton, Qt::NoModifier, QPoint(300, 390));
    QCoreApplication::processEvents();
    EXPECT_EQ(f.window.Surface()->Picture().pixel(300, 390) & 0xFFFFFF, qRgb(0xFF, 0x40, 0x40) & 0xFFFFFF);
    QElapsedTimer clock;
    clock.start();
    // The panel is white only once the timer has run, and then holds dark text.
    auto inkOnPanel = [&]() {
        const QImage& now = f.window.Surface()->Picture();
        int white = 0, dark = 0;
        for (int y = 232; y < 258; ++y)
            for (int x = 442; x < 598; ++x) {
                QRgb c = now.pixel(x, y);
                if ((c & 0xFFFFFF) == 0xFFFFFF)
                    ++white;
                else if (qGray(c) < 96)
                    ++dark;
            }
        return white > 1000 && dark > 10;
    };
    EXPECT_FALSE(inkOnPanel());
    while (!inkOnPanel() && clock.elapsed() < 5000)
        QTest::qWait(50);
    EXPECT_TRUE(inkOnPanel());
    EXPECT_FALSE(f.st.StoppedByError) << f.Errors();
}

}   // namespace
