// The browser control: real pages through the web engine module (local HTML files,
// their titles and addresses read back, the before-navigate event refusing and
// allowing a navigation, the history), and the text browser that stands in where
// the module is missing.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <fstream>

#include "gui/browser_engine.h"
#include "gui/controls.h"
#include "gui/objects.h"
#include "test_objects_fixture.h"

namespace {

struct TPages {
    QTemporaryDir dir;
    QUrl first, second;
    TPages()
    {
        Write("a.html", "<html><head><title>甲のページ</title></head><body><a href=\"b.html\">次へ</a></body></html>");
        Write("b.html", "<html><head><title>乙のページ</title></head><body>二枚目</body></html>");
        first = QUrl::fromLocalFile(dir.filePath(QStringLiteral("a.html")));
        second = QUrl::fromLocalFile(dir.filePath(QStringLiteral("b.html")));
    }
    void Write(const char* name, const char* html)
    {
        std::ofstream(dir.filePath(QString::fromUtf8(name)).toStdString()) << html;
    }
};

// Waits until the browser has loaded what it was asked for last and shows `title`.
bool WaitForTitle(TBrowser* b, const QString& title)
{
    return QTest::qWaitFor([&] { return b->Engine()->Loaded() && b->Title() == title; }, 20000);
}

TEST(Browser, WebEngineShowsPagesAndAsksBeforeNavigating)
{
#ifndef PORUKANA_HAS_WEB_ENGINE
    GTEST_SKIP() << "built without the web engine module";
#endif
    ASSERT_EQ(BrowserEngineName(), QStringLiteral("web"));
    TPages pages;
    TObjFixture f;
    const std::string firstUrl = pages.first.toString().toStdString();
    ASSERT_TRUE(f.Run("記録=「」\r\n見るブラウザを、作る\r\n見るブラウザの、クリックした時は、行く先\r\n"
                      "見るブラウザの、URLは、「" +
                      firstUrl +
                      "」\r\n待機\r\n"
                      "*行く先\r\n記録=記録&ブラウザ移動先URL&「;」\r\n戻る\r\n"))
        << f.Errors();
    f.window.show();
    auto* b = static_cast<TBrowser*>(ObjectWidget(f.Record("見るブラウザ")));
    ASSERT_TRUE(WaitForTitle(b, QStringLiteral("甲のページ"))) << b->Title().toStdString();
    EXPECT_NE(dynamic_cast<QWidget*>(b->Engine()), b->Engine()->View());   // not the text browser
    ASSERT_TRUE(f.Run("U=見るブラウザの、URL\r\n")) << f.Errors();
    EXPECT_EQ(f.Var("U"), firstUrl);
    EXPECT_EQ(f.Var("記録"), firstUrl + ";");   // the handler saw the first navigation too

    // Refused: the handler runs with the address, the page stays.
    const std::string secondUrl = pages.second.toString().toStdString();
    ASSERT_TRUE(f.Run("ブラウザURL移動許可=0\r\n見るブラウザの、URLは、「" + secondUrl + "」\r\n")) << f.Errors();
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.Var("記録").find("b.html") != std::string::npos; }, 20000))
        << f.Var("記録");
    QTest::qWait(200);
    EXPECT_EQ(b->Title(), QStringLiteral("甲のページ"));
    EXPECT_EQ(b->Location(), pages.first);
    EXPECT_EQ(f.Var("記録"), firstUrl + ";" + secondUrl + ";");

    // Allowed again: the second page shows; 戻る goes back through the history.
    ASSERT_TRUE(f.Run("ブラウザURL移動許可=1\r\n見るブラウザの、URLは、「" + secondUrl + "」\r\n")) << f.Errors();
    ASSERT_TRUE(WaitForTitle(b, QStringLiteral("乙のページ"))) << b->Title().toStdString();
    EXPECT_EQ(b->Location(), pages.second);
    ASSERT_TRUE(f.Run("見るブラウザの、ブラウザ戻る\r\n")) << f.Errors();
    ASSERT_TRUE(WaitForTitle(b, QStringLiteral("甲のページ"))) << b->Title().toStdString();
    EXPECT_EQ(b->Location(), pages.first);
}

// The handler decides: ブラウザURL移動許可 set inside the click handler refuses (or
// allows) the navigation it was called for, also when the navigation is asked for
// while a statement is running (here 待つ); the setting stays for later navigations.
TEST(Browser, HandlerDecidesTheNavigationItWasCalledFor)
{
    TPages pages;
    TObjFixture f;
    const std::string firstUrl = pages.first.toString().toStdString();
    const std::string secondUrl = pages.second.toString().toStdString();
    f.window.show();
    ASSERT_TRUE(f.Run("記録=「」\r\n許可値=0\r\n見るブラウザを、作る\r\n見るブラウザの、クリックした時は、行く先\r\n"
                      "見るブラウザの、URLは、「" +
                      firstUrl +
                      "」\r\n1.5秒、待つ\r\n待機\r\n"
                      "*行く先\r\n記録=記録&ブラウザ移動先URL&「;」\r\nブラウザURL移動許可=許可値\r\n戻る\r\n"))
        << f.Errors();
    auto* b = static_cast<TBrowser*>(ObjectWidget(f.Record("見るブラウザ")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f.Var("記録").empty(); }, 20000));
    QTest::qWait(300);
    EXPECT_EQ(f.Var("記録"), firstUrl + ";");
    EXPECT_NE(b->Location(), pages.first);
    EXPECT_NE(b->Title(), QStringLiteral("甲のページ"));
    EXPECT_EQ(f.Var("ブラウザURL移動許可"), "0");

    // The flag is 0 when the next navigation starts; the handler allows it.
    ASSERT_TRUE(f.Run("許可値=1\r\n見るブラウザの、URLは、「" + secondUrl + "」\r\n1秒、待つ\r\n")) << f.Errors();
    ASSERT_TRUE(WaitForTitle(b, QStringLiteral("乙のページ"))) << b->Title().toStdString();
    EXPECT_EQ(f.Var("記録"), firstUrl + ";" + secondUrl + ";");
}

TEST(Browser, TextBrowserStandsInForLocalFiles)
{
    TPages pages;
    QWidget parent;
    TBrowserCallbacks callbacks;
    std::vector<QUrl> asked;
    bool allow = true;
    callbacks.BeforeNavigate = [&](const QUrl& url) {
        asked.push_back(url);
        return allow;
    };
    std::unique_ptr<IBrowserEngine> engine(CreateTextBrowserEngine(&parent, &callbacks));
    engine->Navigate(pages.first);
    EXPECT_EQ(engine->Title(), QStringLiteral("甲のページ"));
    EXPECT_EQ(engine->Location(), pages.first);
    allow = false;
    engine->Navigate(pages.second);
    EXPECT_EQ(engine->Title(), QStringLiteral("甲のページ"));
    EXPECT_EQ(engine->Location(), pages.first);
    allow = true;
    // A remote page is not fetched: its address is shown instead.
    engine->Navigate(QUrl(QStringLiteral("https://example.invalid/")));
    EXPECT_EQ(engine->Location(), QUrl(QStringLiteral("https://example.invalid/")));
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[1], pages.second);
}

}   // namespace
