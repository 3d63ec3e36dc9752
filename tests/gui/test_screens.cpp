// Screenshots of a few control kinds compared with stored pictures. Offscreen, with
// QT_FONT_DPI=96 and the IPA fonts, the rendering is stable; a small tolerance absorbs
// anti-aliasing differences. Set PORUKANA_UPDATE_SCREENS=1 to write new pictures.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <cstdlib>
#include <cstdio>

#include "test_objects_fixture.h"

namespace {

std::string ScreensFolder()
{
    return std::string(PORUKANA_SOURCE_DIR) + "/tests/gui/screens/";
}

// Fraction of pixels whose colour differs by more than 48 in any channel.
double DifferingShare(const QImage& a, const QImage& b)
{
    long differing = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > 48 || std::abs(qGreen(p) - qGreen(q)) > 48 ||
                std::abs(qBlue(p) - qBlue(q)) > 48)
                ++differing;
        }
    return static_cast<double>(differing) / (a.width() * a.height());
}

void CompareWithStored(TObjFixture& f, const std::string& name)
{
    QCoreApplication::processEvents();
    QImage shot = f.window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QString file = QString::fromStdString(ScreensFolder() + name);
    if (std::getenv("PORUKANA_UPDATE_SCREENS")) {
        ASSERT_TRUE(shot.save(file));
        return;
    }
    QImage stored(file);
    ASSERT_FALSE(stored.isNull()) << "missing " << file.toStdString();
    stored = stored.convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(stored.size(), shot.size());
    EXPECT_LT(DifferingShare(stored, shot), 0.01) << name;
}

TEST(Screens, ButtonsChecksAndEdits)
{
    TObjFixture f;
    ASSERT_TRUE(f.Run("送信ボタンを、作る\r\n"
                      "送信ボタンの、テキストは、「送信」\r\n"
                      "はいチェックを、作る\r\n"
                      "はいチェックの、テキストは、「はい」\r\n"
                      "名前エディタを、作る\r\n"
                      "名前エディタの、テキストは、「りんご」\r\n"
                      "説明ラベルを、作る\r\n"
                      "説明ラベルの、テキストは、「ラベルの文字」\r\n"))
        << f.Errors();
    CompareWithStored(f, "buttons_checks_edits.png");
}

TEST(Screens, ListsAndGrid)
{
    TObjFixture f;
    ASSERT_TRUE(f.Run("一覧リストを、作る\r\n"
                      "一覧リストの、アイテムは、「一\\n二\\n三」\r\n"
                      "表グリッドを、作る\r\n"
                      "表グリッドの、テキストは、「名前,数\\nりんご,3\\nみかん,5」\r\n"));
    CompareWithStored(f, "lists_grid.png");
}

}   // namespace
