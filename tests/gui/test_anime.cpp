// The animation box offscreen: frames driven tick by tick, the repeat count, the two
// button modes through synthetic enter, leave and press events, transparency, its
// sound and its end; and sound played by a script in the window host.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QPainter>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

#include <typeindex>

#include "gui/anime_box.h"
#include "gui/objects.h"
#include "media/player.h"
#include "test_objects_fixture.h"

namespace {

// Records the wave calls of the box.
class TWaveLog : public IMediaService {
public:
    std::vector<std::string> Calls;
    std::unique_ptr<IMediaPlayer> NewPlayer(TPlayerKind) override { return nullptr; }
    void PlayWave(const std::string& path, bool loop) override
    {
        Calls.push_back("play " + path.substr(path.rfind('/') + 1) + (loop ? " loop" : ""));
    }
    void StopWave() override { Calls.push_back("stop"); }
    bool WavePlaying() const override { return false; }
    void SetWaveChanged(std::function<void()>) override {}
};

struct AnimeFixture : TObjFixture {
    QTemporaryDir dir;
    std::shared_ptr<TWaveLog> waves = std::make_shared<TWaveLog>();

    AnimeFixture()
    {
        st.ServiceInstances[std::type_index(typeid(IMediaService))] = waves;
        window.show();
    }
    // A solid picture file; the name as a script writes it.
    std::string Frame(const char* name, QColor c, int size = 10)
    {
        QImage img(size, size, QImage::Format_RGB32);
        img.fill(c);
        const QString path = dir.filePath(QString::fromUtf8(name));
        img.save(path);
        return path.toStdString();
    }
    // Red, green and blue frames of 10 x 10, one a line.
    std::string ThreeFrames()
    {
        return Frame("r.png", Qt::red) + "\r\n" + Frame("g.png", Qt::green) + "\r\n" + Frame("b.png", Qt::blue);
    }
    TAnimeBox* Box(const char* name = "動画アニメ")
    {
        TObjNode* rec = Record(name);
        return rec ? static_cast<TAnimeBox*>(ObjectWidget(rec)) : nullptr;
    }
    static QColor Shown(TAnimeBox* box, int x = 5, int y = 5) { return box->grab().toImage().pixelColor(x, y); }
    static void Enter(QWidget* w)
    {
        QEnterEvent e(QPointF(3, 3), QPointF(3, 3), QPointF(3, 3));
        QCoreApplication::sendEvent(w, &e);
    }
    static void Leave(QWidget* w)
    {
        QEvent e(QEvent::Leave);
        QCoreApplication::sendEvent(w, &e);
    }
};

TEST(AnimeBox, FramesThenStopAfterTheRepeatCount)
{
    AnimeFixture f;
    ASSERT_TRUE(f.Run("動画アニメを、作る\r\n動画アニメの、値は、100000\r\n動画アニメの、繰り返し回数は、2\r\n"
                      "動画アニメの、画像は、「" +
                      f.ThreeFrames() + "」\r\n"))
        << f.Errors();
    TAnimeBox* box = f.Box();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->FrameCount(), 3);
    EXPECT_EQ(box->size(), QSize(10, 10));   // the box took the frames' size
    EXPECT_TRUE(box->Running());
    const QColor colours[] = {Qt::red, Qt::green, Qt::blue};
    std::vector<int> shown = {box->CurrentFrame()};
    EXPECT_EQ(AnimeFixture::Shown(box), colours[0]);
    for (int i = 0; i < 6; ++i) {
        box->Tick();
        shown.push_back(box->CurrentFrame());
        if (box->CurrentFrame() >= 0) {
            EXPECT_EQ(AnimeFixture::Shown(box), colours[box->CurrentFrame()]) << i;
        }
    }
    EXPECT_EQ(shown, (std::vector<int>{0, 1, 2, 0, 1, 2, -1}));   // stopped on the second wrap
    EXPECT_FALSE(box->Running());
    EXPECT_FALSE(box->TimerActive());
    EXPECT_EQ(AnimeFixture::Shown(box), QColor(Qt::red));   // frame 0 when stopped
    ASSERT_TRUE(f.Run("残り=動画アニメの、繰り返し回数\r\n間隔=動画アニメの、値\r\n")) << f.Errors();
    EXPECT_EQ(f.Var("残り"), "0");
    EXPECT_EQ(f.Var("間隔"), "100000");
}

TEST(AnimeBox, EndlessByDefaultAndMorePictures)
{
    AnimeFixture f;
    ASSERT_TRUE(f.Run("動画アニメを、作る\r\n動画アニメの、値は、100000\r\n"
                      "動画アニメの、画像は、「" +
                      f.ThreeFrames() + "」\r\n"))
        << f.Errors();
    TAnimeBox* box = f.Box();
    for (int i = 0; i < 10; ++i)
        box->Tick();
    EXPECT_TRUE(box->Running());
    EXPECT_EQ(box->CurrentFrame(), 10 % 3);
    EXPECT_TRUE(box->TimerActive());
    // More pictures stop the animation, are appended and start it again.
    const std::string more = f.Frame("w.png", Qt::white, 20) + "\r\n" + f.Frame("k.png", Qt::black, 30);
    ASSERT_TRUE(f.Run("動画アニメの、追加画像は、「" + more + "」\r\n")) << f.Errors();
    EXPECT_EQ(box->FrameCount(), 5);
    EXPECT_EQ(box->CurrentFrame(), 0);
    EXPECT_EQ(box->size(), QSize(30, 30));
    for (int i = 0; i < 4; ++i)
        box->Tick();
    EXPECT_EQ(AnimeFixture::Shown(box), QColor(Qt::black));
    // A new list replaces the frames.
    ASSERT_TRUE(f.Run("動画アニメの、画像は、「" + f.Frame("r.png", Qt::red) + "」\r\n")) << f.Errors();
    EXPECT_EQ(box->FrameCount(), 1);
    // A picture that cannot be read.
    EXPECT_FALSE(f.Run("動画アニメの、画像は、「/nonexistent/x.png」\r\n"));
    EXPECT_EQ(f.LastError(), "ファイル\"/nonexistent/x.png\"の、読み込みか書き込みに、失敗しました。");
}

TEST(AnimeBox, TransparencyByTheTopLeftPixelAndStretch)
{
    AnimeFixture f;
    QImage img(20, 20, QImage::Format_RGB32);
    img.fill(Qt::red);
    QPainter(&img).fillRect(5, 5, 10, 10, Qt::blue);
    const QString path = f.dir.filePath(QStringLiteral("keyed.png"));
    img.save(path);
    ASSERT_TRUE(f.Run("動画アニメを、作る\r\n動画アニメの、画像は、「" + path.toStdString() +
                      "」\r\n動画アニメの、背景色は、「#00FF00」\r\n動画アニメの、透過処理は、1\r\n"
                      "透=動画アニメの、透過処理\r\n"))
        << f.Errors();
    TAnimeBox* box = f.Box();
    EXPECT_EQ(f.Var("透"), "1");
    EXPECT_EQ(AnimeFixture::Shown(box, 1, 1), QColor(Qt::green));   // red was the see-through colour
    EXPECT_EQ(AnimeFixture::Shown(box, 10, 10), QColor(Qt::blue));
    ASSERT_TRUE(f.Run("動画アニメの、透過処理は、0\r\n")) << f.Errors();
    EXPECT_EQ(AnimeFixture::Shown(box, 1, 1), QColor(Qt::red));
    ASSERT_TRUE(f.Run("動画アニメの、幅は、40\r\n動画アニメの、高さは、40\r\n動画アニメの、拡大機能は、1\r\n"))
        << f.Errors();
    EXPECT_EQ(AnimeFixture::Shown(box, 25, 25), QColor(Qt::blue));
    EXPECT_EQ(AnimeFixture::Shown(box, 35, 35), QColor(Qt::red));
}

// A script whose labels append to 記録.
std::string Recording(const std::string& body)
{
    return "記録=「」\r\n" + body +
           "動画アニメの、マウス押した時は、押した\r\n動画アニメの、クリックした時は、クリック\r\n"
           "動画アニメの、マウス離した時は、離した\r\n待機\r\n"
           "*押した\r\n記録=記録&「押」\r\n戻る\r\n*クリック\r\n記録=記録&「ク」\r\n戻る\r\n"
           "*離した\r\n記録=記録&「離」\r\n戻る\r\n";
}

TEST(AnimeBox, ButtonModeOneLooksAndActsLikeAButton)
{
    AnimeFixture f;
    ASSERT_TRUE(f.Run(Recording("動画アニメを、作る\r\n動画アニメの、値は、100000\r\n動画アニメの、ボタン機能は、1\r\n"
                                "動画アニメの、画像は、「" +
                                f.ThreeFrames() +
                                "」\r\n"
                                "モード=動画アニメの、ボタン機能\r\n")))
        << f.Errors();
    TAnimeBox* box = f.Box();
    EXPECT_EQ(f.Var("モード"), "1");
    EXPECT_EQ(box->ButtonMode(), 1);
    AnimeFixture::Enter(box);
    EXPECT_TRUE(box->Hot());
    // A raised border one pixel wide (10 div 24 + 1).
    const QImage hot = box->grab().toImage();
    EXPECT_EQ(hot.pixel(9, 5), box->palette().color(QPalette::Dark).rgb());
    EXPECT_EQ(hot.pixel(0, 5), box->palette().color(QPalette::Light).rgb());
    EXPECT_EQ(hot.pixelColor(5, 5), QColor(Qt::red));
    // Pressed: the click is reported on the press, the box is inverted and holds its frame.
    QTest::mousePress(box, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
    EXPECT_EQ(f.Var("記録"), "押ク");
    EXPECT_TRUE(box->Pressed());
    EXPECT_EQ(AnimeFixture::Shown(box), QColor(Qt::cyan));
    box->Tick();
    EXPECT_EQ(box->CurrentFrame(), 0);
    QTest::mouseRelease(box, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
    EXPECT_EQ(f.Var("記録"), "押ク離");
    EXPECT_FALSE(box->Pressed());
    box->Tick();
    EXPECT_EQ(box->CurrentFrame(), 1);
    AnimeFixture::Leave(box);
    EXPECT_FALSE(box->Hot());
    EXPECT_EQ(box->grab().toImage().pixelColor(9, 5), QColor(Qt::green));   // no border
    // Without a button mode the click also comes on the press, and nothing is inverted.
    ASSERT_TRUE(f.Run("動画アニメの、ボタン機能は、0\r\n記録=「」\r\n")) << f.Errors();
    QTest::mousePress(box, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
    EXPECT_EQ(f.Var("記録"), "押ク");
    EXPECT_EQ(AnimeFixture::Shown(box), QColor(Qt::green));
    QTest::mouseRelease(box, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
}

TEST(AnimeBox, ButtonModeTwoAnimatesWhileTheMouseIsOver)
{
    AnimeFixture f;
    ASSERT_TRUE(f.Run("動画アニメを、作る\r\n動画アニメの、値は、100000\r\n"
                      "動画アニメの、画像は、「" +
                      f.ThreeFrames() + "」\r\n"))
        << f.Errors();
    TAnimeBox* box = f.Box();
    EXPECT_TRUE(box->Running());
    ASSERT_TRUE(f.Run("動画アニメの、ボタン機能は、2\r\n動画アニメの、繰り返し回数は、2\r\n")) << f.Errors();
    EXPECT_FALSE(box->Running());   // turning mode 2 on stops it
    EXPECT_EQ(box->CurrentFrame(), -1);
    AnimeFixture::Enter(box);
    std::vector<int> shown = {box->CurrentFrame()};
    for (int i = 0; i < 3; ++i) {
        box->Tick();
        shown.push_back(box->CurrentFrame());
    }
    EXPECT_EQ(shown, (std::vector<int>{0, 1, 2, 1}));   // frame 0 rests outside the cycle
    AnimeFixture::Leave(box);
    EXPECT_FALSE(box->Running());
    EXPECT_EQ(AnimeFixture::Shown(box), QColor(Qt::red));
    // Each hover starts again with the count last set: two passes, then it stops.
    AnimeFixture::Enter(box);
    for (int i = 0; i < 4; ++i)
        box->Tick();
    EXPECT_TRUE(box->Running());
    box->Tick();
    EXPECT_FALSE(box->Running());
    AnimeFixture::Leave(box);
    AnimeFixture::Enter(box);
    EXPECT_TRUE(box->Running());
    EXPECT_EQ(box->RepeatTime(), 2);
    // Pressed in mode 2 the box is inverted too, and the frames go on.
    QTest::mousePress(box, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
    box->Tick();
    EXPECT_EQ(box->CurrentFrame(), 1);
    EXPECT_EQ(AnimeFixture::Shown(box), QColor(Qt::magenta));   // green inverted
    QTest::mouseRelease(box, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
}

TEST(AnimeBox, HidingStopsAndShowingStarts)
{
    AnimeFixture f;
    ASSERT_TRUE(f.Run("動画アニメを、作る\r\n動画アニメの、画像は、「" + f.ThreeFrames() +
                      "」\r\n"
                      "動画アニメの、可視は、0\r\n"))
        << f.Errors();
    TAnimeBox* box = f.Box();
    EXPECT_FALSE(box->Running());
    ASSERT_TRUE(f.Run("動画アニメの、可視は、1\r\n")) << f.Errors();
    EXPECT_TRUE(box->Running());
    EXPECT_TRUE(box->TimerActive());
    ASSERT_TRUE(f.Run("動画アニメの、ボタン機能は、2\r\n動画アニメの、可視は、0\r\n動画アニメの、可視は、1\r\n"))
        << f.Errors();
    EXPECT_FALSE(box->Running());   // mode 2 waits for the mouse
    // The interval applies at once to a running animation.
    ASSERT_TRUE(f.Run("動画アニメの、ボタン機能は、0\r\n動画アニメの、可視は、0\r\n動画アニメの、可視は、1\r\n"
                      "動画アニメの、値は、「1,500」\r\n"))
        << f.Errors();
    EXPECT_EQ(box->Interval(), 1500);
    // The real timer advances the frames.
    ASSERT_TRUE(f.Run("動画アニメの、値は、5\r\n")) << f.Errors();
    QElapsedTimer clock;
    clock.start();
    while (box->CurrentFrame() != 2 && clock.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_EQ(box->CurrentFrame(), 2);
}

TEST(AnimeBox, SoundWhileTheMouseIsOverAndTheEnd)
{
    AnimeFixture f;
    const std::string wave = std::string(PORUKANA_SOURCE_DIR) + "/tests/media/chime.wav";
    ASSERT_TRUE(f.Run("動画アニメを、作る\r\n動画アニメの、画像は、「" + f.ThreeFrames() +
                      "」\r\n"
                      "動画アニメの、効果音は、「" +
                      wave + "」\r\n音=動画アニメの、効果音\r\n"))
        << f.Errors();
    EXPECT_EQ(f.Var("音"), wave);
    TAnimeBox* box = f.Box();
    f.waves->Calls.clear();
    AnimeFixture::Enter(box);
    AnimeFixture::Leave(box);
    EXPECT_EQ(f.waves->Calls, (std::vector<std::string>{"stop", "play chime.wav loop", "stop"}));
    // Destroying the box stops its sound, its timer and frees its frames.
    QPointer<TAnimeBox> alive(box);
    f.waves->Calls.clear();
    ASSERT_TRUE(f.Run("動画アニメの、オブジェクト破壊\r\n")) << f.Errors();
    ASSERT_FALSE(alive.isNull());   // freed later, when the handlers have returned
    EXPECT_FALSE(alive->TimerActive());
    EXPECT_EQ(alive->FrameCount(), 0);
    EXPECT_FALSE(f.waves->Calls.empty());
    EXPECT_EQ(f.waves->Calls.back(), "stop");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull());
}

TEST(AnimeBox, PropertiesOfOtherKinds)
{
    AnimeFixture f;
    ASSERT_TRUE(f.Run("押すボタンを、作る\r\n回=押すボタンの、繰り返し回数\r\n音=押すボタンの、効果音\r\n"))
        << f.Errors();
    EXPECT_EQ(f.Var("回"), "0");
    EXPECT_EQ(f.Var("音"), "");
    const char* const props[] = {"ボタン機能", "繰り返し回数", "効果音", "追加画像"};
    for (const char* p : props) {
        EXPECT_FALSE(f.Run(std::string("押すボタンの、") + p + "は、1\r\n")) << p;
        EXPECT_EQ(f.LastError(), std::string("オブジェクト\"押すボタン\"(\"ボタン\")の設定項目\"") +
                                     SjisToUtf8(FoldOkurigana(S(p))) + "\"は未定義です。")
            << p;
    }
    EXPECT_FALSE(f.Run("X=押すボタンの、ボタン機能\r\n"));
}

// ---- sound in the window host ---------------------------------------------------------------

TEST(WindowSound, ScriptPlaysMidiMp3AndWave)
{
    TObjFixture f;
    const std::string media = std::string(PORUKANA_SOURCE_DIR) + "/tests/media/";
    ASSERT_TRUE(f.Run("「" + media + "tune.mid」を、演奏する。\r\n演奏状態。状態=それ\r\n")) << f.Errors();
    EXPECT_EQ(f.Var("状態"), "演奏中");
    auto stateAfter = [&](int ms) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            f.Run("演奏状態。状態=それ\r\n");
            if (f.Var("状態") != "演奏中")
                break;
        }
        return f.Var("状態");
    };
    EXPECT_EQ(stateAfter(6000), "未設定");   // ended and closed
    ASSERT_TRUE(f.Run("「" + media + "tone.mp3」を、演奏する。\r\n「" + media + "chime.wav」を、演奏する。\r\n"))
        << f.Errors();
    EXPECT_EQ(stateAfter(300), "演奏中");
    ASSERT_TRUE(f.Run("演奏停止\r\n演奏状態。状態=それ\r\n")) << f.Errors();
    EXPECT_EQ(f.Var("状態"), "未設定");
}

}   // namespace
