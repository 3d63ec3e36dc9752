// Closing and stopping a window program that is busy or waits in a dialog: the close
// request and the stop signal are taken at the run loop's pulse, the close label runs
// once, and the run ends.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include <csignal>

#include "gui/objects.h"
#include "gui/dialog_answers.h"
#include "test_objects_fixture.h"

namespace {

const char* const kBusy =
    "閉じるに、終了処理設定\r\n閉じた=0\r\nA=0\r\n100000000回\r\n  A=A+1\r\nここまで\r\n完了=1\r\n"
    "待機\r\n*閉じる\r\n閉じた=閉じた+1\r\n戻る\r\n";

TEST(BusyClose, CloseRequestRunsTheCloseLabelBetweenTwoStatements)
{
    TObjFixture f;
    f.window.show();
    bool labelRanInsideClose = true;
    QTimer::singleShot(100, [&] {
        f.window.close();   // the window manager's close button
        // The label waits for the pulse to leave its event processing.
        labelRanInsideClose = f.Var("閉じた") != "0";
        f.window.close();   // a second click while the first waits
    });
    f.Run(kBusy);
    EXPECT_FALSE(labelRanInsideClose);
    EXPECT_EQ(f.Var("閉じた"), "1");      // once, for two requests
    EXPECT_EQ(f.Var("完了"), "<none>");   // the loop did not finish
    EXPECT_TRUE(f.st.Stopping);
    EXPECT_TRUE(f.window.IsClosed());
}

TEST(BusyClose, StopSignalEndsABusyRunAfterTheCloseLabel)
{
    TObjFixture f;
    f.window.show();
    QTimer::singleShot(100, [] { gStopSignal = SIGTERM; });
    f.Run(kBusy);
    gStopSignal = 0;
    EXPECT_EQ(f.Var("閉じた"), "1");
    EXPECT_EQ(f.Var("完了"), "<none>");   // the loop did not finish
    EXPECT_NE(f.Var("A"), "100000000");
    EXPECT_TRUE(f.st.Stopping);
    EXPECT_TRUE(f.window.IsClosed());
}

TEST(BusyClose, StopSignalGivesUpAnOpenDialog)
{
    SetInteractiveDialogs(true);
    TObjFixture f;
    f.window.show();
    QTimer::singleShot(200, [&] {
        EXPECT_NE(QApplication::activeModalWidget(), nullptr);
        gStopSignal = SIGINT;
        StopForSignal(f.st);
    });
    f.Run("閉じるに、終了処理設定\r\n閉じた=0\r\n「箱」と、言う\r\n後=1\r\n待機\r\n*閉じる\r\n閉じた=閉じた+"
          "1\r\n戻る\r\n");
    gStopSignal = 0;
    SetInteractiveDialogs(false);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(f.Var("閉じた"), "1");
    EXPECT_EQ(f.Var("後"), "<none>");
    EXPECT_TRUE(f.window.IsClosed());
}

}   // namespace
