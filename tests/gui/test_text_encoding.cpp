// Text typed into an edit box that Shift_JIS has no code for (emoji, 𠮷) on its way
// into files: written as UTF-8 it is the character again, written as Shift_JIS it is
// a reference with one warning; never a code of the user-defined area.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTemporaryDir>

#include <fstream>
#include <iterator>

#include "gui/objects.h"
#include "test_objects_fixture.h"

namespace {

std::string FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(TextEncoding, EmojiTypedIntoAnEditBoxReachesFiles)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string folder = dir.path().toStdString() + "/";
    TObjFixture f;
    f.st.SecurityLevel = 0;
    ASSERT_TRUE(f.Run("入力エディタを、作る\r\n")) << f.Errors();
    f.window.show();
    auto* edit = static_cast<QLineEdit*>(ObjectWidget(f.Record("入力エディタ")));
    ASSERT_NE(edit, nullptr);
    edit->setFocus();
    // Typed through an input method: it commits the text to the focused box.
    for (const QString& part : {QStringLiteral("寿司"), QStringLiteral("🍣と𠮷")}) {
        QInputMethodEvent commit;
        commit.setCommitString(part);
        QCoreApplication::sendEvent(edit, &commit);
    }
    ASSERT_EQ(edit->text(), QStringLiteral("寿司🍣と𠮷"));

    ASSERT_TRUE(f.Run("T=入力エディタの、テキスト\r\n保存文字コード=「UTF-8」\r\nTを、「" + folder +
                      "u8.txt」へ、書く\r\n保存文字コード=「SJIS」\r\nTを、「" + folder + "sjis.txt」へ、書く\r\n"))
        << f.Errors();
    EXPECT_EQ(FileBytes(folder + "u8.txt"), "寿司🍣と𠮷");
    EXPECT_EQ(SjisToUtf8(FileBytes(folder + "sjis.txt")), "寿司&#x1F363;と&#x20BB7;");
    const std::string warning = "文字「🍣」(U+1F363)はShift_JISで表せないため、ファイル\"" + folder +
                                "sjis.txt\"には「&#x1F363;」と書きました。(ほか1文字)";
    EXPECT_NE(f.Errors().find("[注　意] t.prk("), std::string::npos) << f.Errors();
    EXPECT_NE(f.Errors().find(warning), std::string::npos) << f.Errors();

    // Read back from the UTF-8 file, the value is the edit box's text again.
    ASSERT_TRUE(f.Run("Aに、「" + folder +
                      "u8.txt」を、読む\r\n入力エディタの、テキストは、「」\r\n"
                      "入力エディタの、テキストは、A\r\n"))
        << f.Errors();
    EXPECT_EQ(edit->text(), QStringLiteral("寿司🍣と𠮷"));
}

}   // namespace
