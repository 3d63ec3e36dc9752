// The window examples driven as a user would: typing into their edits, choosing in
// their combos and grids, clicking their buttons, and waiting for their timers.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <fstream>
#include <iterator>

#include "gui/controls.h"
#include "gui/objects.h"
#include "test_objects_fixture.h"

namespace {

std::string ExampleText(const char* name)
{
    const std::string path = std::string(PORUKANA_SOURCE_DIR) + "/examples/" + name;
    std::ifstream in(path, std::ios::binary);
    const std::string sjis((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return SjisToUtf8(sjis);
}

struct TAccounts {
    TObjFixture f;
    QLineEdit* what = nullptr;
    QLineEdit* amount = nullptr;
    QComboBox* kind = nullptr;
    TSortGrid* grid = nullptr;

    void Start()
    {
        const std::string text = ExampleText("kakeibo.prk");
        ASSERT_FALSE(text.empty());
        ASSERT_TRUE(f.Run(text)) << f.Errors();
        f.window.show();
        what = static_cast<QLineEdit*>(ObjectWidget(f.Record("内容エディタ")));
        amount = static_cast<QLineEdit*>(ObjectWidget(f.Record("金額エディタ")));
        kind = static_cast<QComboBox*>(ObjectWidget(f.Record("種類コンボ")));
        grid = static_cast<TSortGrid*>(ObjectWidget(f.Record("明細グリッド")));
        ASSERT_TRUE(what && amount && kind && grid);
    }
    void Click(const char* button) { QTest::mouseClick(ObjectWidget(f.Record(button)), Qt::LeftButton); }
    void Add(const char* item, int kindIndex, const char* yen)
    {
        what->setText(QString::fromUtf8(item));
        kind->setCurrentIndex(kindIndex);
        amount->setText(QString::fromUtf8(yen));
        Click("追加ボタン");
    }
    std::string Read(const char* expression)
    {
        EXPECT_TRUE(f.Run(std::string("読んだ値=") + expression + "\r\n")) << f.Errors();
        return f.Var("読んだ値");
    }
};

TEST(WindowExamples, AccountsBookAddsRefusesAndDeletes)
{
    TAccounts a;
    ASSERT_NO_FATAL_FAILURE(a.Start());
    a.Add("昼ごはん", 0, "850");
    a.Add("電車", 1, "abc");   // refused: not a number
    EXPECT_EQ(a.Read("お知らせラベルの、テキスト"), "金額『abc』は数字ではありません。");
    a.Add("電車", 1, "320");
    a.Add("", 2, "1800");   // refused: nothing to describe it
    EXPECT_EQ(a.Read("お知らせラベルの、テキスト"), "内容を入れてください。");
    a.Add("映画", 2, "1800");
    EXPECT_EQ(a.Read("お知らせラベルの、テキスト"), "映画(1,800円)を追加しました。");
    EXPECT_FALSE(a.f.st.StoppedByError) << a.f.Errors();

    const std::string today = a.Read("今日");
    EXPECT_EQ(a.Read("明細グリッドの、アイテム"), "日付,内容,種類,金額\r\n" + today + ",昼ごはん,食費,850\r\n" + today +
                                                      ",電車,交通,320\r\n" + today + ",映画,娯楽,1800\r\n");
    EXPECT_EQ(a.Read("集計リストの、アイテム"), "食費 850円\r\n交通 320円\r\n娯楽 1,800円\r\nその他 0円\r\n");
    EXPECT_EQ(a.Read("合計ラベルの、テキスト"), "合計 2,970円 (3件)");
    EXPECT_TRUE(a.amount->text().isEmpty());

    // Delete the second row (電車): choose it in the grid, then 削除.
    a.grid->setCurrentCell(2, 1);
    a.Click("削除ボタン");
    EXPECT_EQ(a.Read("お知らせラベルの、テキスト"), "電車を削除しました。");
    EXPECT_EQ(a.Read("集計リストの、アイテム"), "食費 850円\r\n交通 0円\r\n娯楽 1,800円\r\nその他 0円\r\n");
    EXPECT_EQ(a.Read("合計ラベルの、テキスト"), "合計 2,650円 (2件)");
    EXPECT_EQ(a.grid->rowCount(), 4);   // header, two rows, the empty last row

    // The empty last row is no entry to delete.
    a.grid->setCurrentCell(3, 0);
    a.Click("削除ボタン");
    EXPECT_EQ(a.Read("お知らせラベルの、テキスト"), "削除する行を選んでください。");
    EXPECT_EQ(a.Read("合計ラベルの、テキスト"), "合計 2,650円 (2件)");
    EXPECT_FALSE(a.f.st.StoppedByError) << a.f.Errors();
}

TEST(WindowExamples, AccountsBookClockTicks)
{
    TAccounts a;
    ASSERT_NO_FATAL_FAILURE(a.Start());
    auto* clock = static_cast<QLabel*>(ObjectWidget(a.f.Record("時計ラベル")));
    ASSERT_TRUE(clock);
    const QString first = clock->text();
    EXPECT_EQ(first.size(), 8) << first.toStdString();   // HH:MM:SS
    QElapsedTimer waited;
    waited.start();
    while (clock->text() == first && waited.elapsed() < 3000)
        QTest::qWait(50);
    EXPECT_NE(clock->text(), first);
    EXPECT_FALSE(a.f.st.StoppedByError) << a.f.Errors();
}

// The whack-a-mole game, shortened to five moles 0.2 s apart: the test hits the
// first three as they come up and misses once on an empty hole. The timer drives
// the game to its end, which re-enables 開始; a second game keeps the best score.
struct TMoleGame {
    TObjFixture f;
    QPushButton* holes[9] = {};

    void Start()
    {
        const std::string text = ExampleText("mole.prk");
        ASSERT_FALSE(text.empty());
        ASSERT_TRUE(f.Run(text)) << f.Errors();
        f.window.show();
        for (int i = 0; i < 9; ++i) {
            const std::string name = "穴" + std::to_string(i) + "ボタン";
            holes[i] = static_cast<QPushButton*>(ObjectWidget(f.Record(name.c_str())));
            ASSERT_TRUE(holes[i]) << name;
        }
        ASSERT_TRUE(f.Run("全回数=5\r\n間隔=0.2\r\n")) << f.Errors();
    }
    int MoleAt() const
    {
        for (int i = 0; i < 9; ++i)
            if (holes[i]->text() == QStringLiteral("●"))
                return i;
        return -1;
    }
    // Waits until a mole other than `previous` is up; -1 when none comes within 2 s.
    int WaitForMole(int previous)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 2000) {
            const int at = MoleAt();
            if (at >= 0 && at != previous)
                return at;
            QTest::qWait(5);
        }
        return -1;
    }
    bool WaitForEnd()
    {
        QElapsedTimer t;
        t.start();
        while (f.Var("遊び中") != "0" && t.elapsed() < 5000)
            QTest::qWait(20);
        return f.Var("遊び中") == "0";
    }
};

TEST(WindowExamples, MoleGameScoresHitsAndMisses)
{
    TMoleGame g;
    ASSERT_NO_FATAL_FAILURE(g.Start());
    auto* start = static_cast<QPushButton*>(ObjectWidget(g.f.Record("開始ボタン")));
    QTest::mouseClick(start, Qt::LeftButton);
    EXPECT_FALSE(start->isEnabled());
    int previous = -1;
    for (int hit = 0; hit < 3; ++hit) {
        const int at = g.WaitForMole(previous);
        ASSERT_GE(at, 0) << "mole " << hit;
        QTest::mouseClick(g.holes[at], Qt::LeftButton);
        EXPECT_EQ(g.holes[at]->text(), QStringLiteral("×"));
        if (hit == 0)
            QTest::mouseClick(g.holes[(at + 1) % 9], Qt::LeftButton);   // an empty hole
        previous = at;
    }
    ASSERT_TRUE(g.WaitForEnd()) << g.f.Errors();
    EXPECT_FALSE(g.f.st.StoppedByError) << g.f.Errors();
    EXPECT_EQ(g.f.Var("得点"), "3");
    EXPECT_EQ(g.f.Var("お手つき"), "1");
    EXPECT_EQ(g.f.Var("出た回数"), "5");
    EXPECT_EQ(g.MoleAt(), -1);
    EXPECT_TRUE(start->isEnabled());
    auto* result = static_cast<QLabel*>(ObjectWidget(g.f.Record("結果ラベル")));
    EXPECT_EQ(result->text(), QStringLiteral("終了! 5匹中3匹、お手つき1回で2点 (最高2点)"));

    // A second game without hits: the best score stays.
    QTest::mouseClick(start, Qt::LeftButton);
    ASSERT_TRUE(g.WaitForEnd()) << g.f.Errors();
    EXPECT_EQ(result->text(), QStringLiteral("終了! 5匹中0匹、お手つき0回で0点 (最高2点)"));
}

}   // namespace
