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
    a.Add("", 2, "1800");      // refused: nothing to describe it
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

}   // namespace
