// The system commands in the window host: waiting for a program while the script
// timer fires, a stop ending that wait, keys into the run-time's own edit boxes (Qt
// events when there is no X11), the window list, the main window's place kept in
// an INI file, and the system clipboard.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fstream>
#include <iterator>

#include "commands/system/process_spawn.h"
#include "gui/objects.h"
#include "test_objects_fixture.h"

namespace {

std::string WithTimerLabel(const std::string& body)
{
    return "記録=「」\r\n" + body + "待機\r\n*押した\r\n記録=記録&「押」\r\n戻る\r\n";
}

TEST(SystemCommands, WaitingForAProgramKeepsTheTimerRunning)
{
    TObjFixture f;
    f.st.SecurityLevel = 0;
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(f.Run(WithTimerLabel("0.2秒後に、押したへ飛ぶ、タイマー設定\r\n"
                                     "「sleep 0.8」を、起動して終了まで待機\r\n後=記録\r\n")))
        << f.Errors();
    const qint64 elapsed = clock.elapsed();
    EXPECT_EQ(f.Var("後"), "押");   // the timer's label ran during the wait
    EXPECT_GE(elapsed, 750);
    EXPECT_LT(elapsed, 5000);
}

TEST(SystemCommands, AStopEndsTheWaitAndTheChildIsReapedLater)
{
    TObjFixture f;
    f.st.SecurityLevel = 0;
    QTimer::singleShot(300, [&f] { f.st.Stopping = true; });
    QElapsedTimer clock;
    clock.start();
    f.Run("「sleep 1.5」を、起動して終了まで待機\r\n");
    EXPECT_LT(clock.elapsed(), 1200);
    EXPECT_GE(PendingReapCount(), 1);   // still running, handed to the reaper
    for (int i = 0; i < 300 && PendingReapCount() > 0; ++i)
        QTest::qWait(10);
    EXPECT_EQ(PendingReapCount(), 0);   // reaped once it ended: no zombie
}

TEST(SystemCommands, WaitingSecondsEndsAtAStopRequest)
{
    TObjFixture f;
    QTimer::singleShot(250, [&f] { f.st.Stopping = true; });
    QElapsedTimer clock;
    clock.start();
    f.Run("3秒、待つ\r\n");
    EXPECT_GE(clock.elapsed(), 200);
    EXPECT_LT(clock.elapsed(), 1000);
}

TEST(SystemCommands, KeysIntoTheRunTimesOwnEditBoxes)
{
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        GTEST_SKIP() << "the X11 path is tested under xvfb-run (tests/system/system/x11_keys.sh)";
    TObjFixture f;
    ASSERT_TRUE(f.Run("一エディタを、作る\r\n二エディタを、作る\r\n")) << f.Errors();
    f.window.setWindowTitle(QStringLiteral("キー試験窓"));
    f.window.show();
    auto* first = static_cast<QLineEdit*>(ObjectWidget(f.Record("一エディタ")));
    auto* second = static_cast<QLineEdit*>(ObjectWidget(f.Record("二エディタ")));
    first->setFocus();
    ASSERT_TRUE(f.Run("「キー試験」に、『ab+c{BS}d漢字』を、キー送信\r\n")) << f.Errors();
    EXPECT_EQ(first->text(), QStringLiteral("abd漢字"));
    ASSERT_TRUE(f.Run("「キー試験窓」に、『^ax{TAB}+(yz)1{LEFT 2}+{END}』を、キー送信\r\n")) << f.Errors();
    EXPECT_EQ(first->text(), QStringLiteral("x"));      // Ctrl+A selected all, "x" replaced it
    EXPECT_EQ(second->text(), QStringLiteral("YZ1"));   // Tab moved on; Shift held for the group only
    EXPECT_EQ(second->selectedText(), QStringLiteral("Z1"));
    // Ctrl+C copies the selection.
    ASSERT_TRUE(f.Run("「キー試験窓」に、『^c』を、キー送信\r\n")) << f.Errors();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Z1"));
    // No such window: nothing is sent, and it is no error.
    ASSERT_TRUE(f.Run("「無い窓」に、『zzz』を、キー送信\r\n「無い窓」を、アクティブ\r\n")) << f.Errors();
    EXPECT_EQ(second->text(), QStringLiteral("YZ1"));
    // A text that cannot be read sends nothing, not even the keys before the fault.
    EXPECT_FALSE(f.Run("「キー試験窓」に、『zz{NOSUCH}』を、キー送信\r\n"));
    EXPECT_EQ(f.LastError(), "\"キー送信\"命令の引数に誤りがあります。:\"{NOSUCH}\"");
    EXPECT_EQ(second->text(), QStringLiteral("YZ1"));
}

TEST(SystemCommands, TheWindowListHoldsTheRunTimesOwnWindows)
{
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        GTEST_SKIP() << "the X11 list is tested under xvfb-run";
    TObjFixture f;
    f.window.setWindowTitle(QStringLiteral("一覧の窓"));
    f.window.show();
    ASSERT_TRUE(f.Run("ウインドウ列挙\r\n一覧=それ\r\n")) << f.Errors();
    EXPECT_NE(f.Var("一覧").find("一覧の窓\r\n"), std::string::npos) << f.Var("一覧");
    f.window.hide();
    ASSERT_TRUE(f.Run("ウィンドウ列挙\r\n一覧=それ\r\n")) << f.Errors();
    EXPECT_EQ(f.Var("一覧").find("一覧の窓"), std::string::npos);   // hidden windows are not listed
}

std::string ReadText(const QString& path)
{
    std::ifstream in(path.toStdString(), std::ios::binary);
    return SjisToUtf8(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
}

TEST(SystemCommands, TheMainWindowsPlaceInAnIniFile)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("place.ini"));
    TObjFixture f;
    f.st.SecurityLevel = 0;
    f.window.show();
    f.window.move(120, 80);
    f.window.resize(500, 300);
    QCoreApplication::processEvents();
    const std::string name = "『" + ini.toStdString() + "』";
    ASSERT_TRUE(f.Run(name + "へ、フォームの位置記録\r\n")) << f.Errors();
    // The position is the frame's (what move() takes), the size the client area's.
    EXPECT_EQ(ReadText(ini), "[母艦]\r\nstate=0\r\ntop=80\r\nleft=120\r\nheight=300\r\nwidth=500\r\n");
    f.window.move(10, 10);
    f.window.resize(200, 100);
    ASSERT_TRUE(f.Run(name + "から、フォームの位置復元\r\n")) << f.Errors();
    QCoreApplication::processEvents();
    EXPECT_EQ(f.window.pos(), QPoint(120, 80));
    EXPECT_EQ(f.window.size(), QSize(500, 300));

    // A maximised window keeps its normal bounds and comes back maximised.
    f.window.showMaximized();
    QCoreApplication::processEvents();
    ASSERT_TRUE(f.Run(name + "へ、フォームの位置記録\r\n")) << f.Errors();
    EXPECT_NE(ReadText(ini).find("state=2\r\n"), std::string::npos);
    EXPECT_NE(ReadText(ini).find("width=500\r\n"), std::string::npos);
    f.window.showNormal();
    f.window.resize(200, 100);
    QCoreApplication::processEvents();
    ASSERT_TRUE(f.Run(name + "から、フォームの位置復元\r\n")) << f.Errors();
    QCoreApplication::processEvents();
    EXPECT_TRUE(f.window.windowState() & Qt::WindowMaximized);

    // A file without the section changes nothing.
    f.window.showNormal();
    f.window.resize(321, 123);
    QCoreApplication::processEvents();
    ASSERT_TRUE(f.Run("『" + dir.filePath(QStringLiteral("none.ini")).toStdString() + "』から、フォームの位置復元\r\n"))
        << f.Errors();
    EXPECT_EQ(f.window.size(), QSize(321, 123));
}

TEST(SystemCommands, TheClipboardIsTheSystemClipboard)
{
    TObjFixture f;
    ASSERT_TRUE(f.Run("「一行目\\n二行目」を、コピー\r\n")) << f.Errors();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("一行目\n二行目"));   // LF for other programs
    QGuiApplication::clipboard()->setText(QStringLiteral("外から\n来た"));
    ASSERT_TRUE(f.Run("クリップボード取得\r\n得た=それ\r\nAに、クリップボードを、読む\r\n")) << f.Errors();
    EXPECT_EQ(f.Var("得た"), "外から\r\n来た");   // CR LF for the script
    EXPECT_EQ(f.Var("A"), "外から\r\n来た");      // the clipboard pseudo-file reads the same
}

}   // namespace
