// The main window, text output on its surface, the error dialog and the window
// run-time as a whole (run offscreen).
#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <fstream>
#include <memory>

#include "core/codec.h"
#include "gui/dialog_answers.h"
#include "gui/error_dialog.h"
#include "gui/gui_host.h"
#include "gui/main_window.h"
#include "interp/builtins.h"
#include "interp/interp.h"

namespace {

std::string S(const char* utf8)
{
    return Utf8ToSjis(utf8);
}

// Pixels of the rectangle that differ from `background`, and their bounding box.
struct TInk {
    int count = 0;
    QRect box;
};

TInk InkIn(const QImage& img, const QRect& area, QColor background)
{
    TInk ink;
    const QRgb bg = background.rgb();
    const QRect r = area.intersected(img.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if ((img.pixel(x, y) & 0xFFFFFF) != (bg & 0xFFFFFF)) {
                ++ink.count;
                ink.box = ink.box.united(QRect(x, y, 1, 1));
            }
    return ink;
}

// The line height that 表示 must use for a font: "あ"'s height times 1.2, truncated.
int ExpectedLineHeight(const char* family, int points)
{
    QFont f(QString::fromUtf8(family));
    f.setPointSize(points);
    QImage probe(1, 1, QImage::Format_RGB32);
    QFontMetrics fm(f, &probe);
    return fm.height() * 12 / 10;
}

// A window, its host and a prepared interpreter state with the built-in words.
struct TFixture {
    TPoruBase st;
    TMainWindow window;
    std::unique_ptr<TGuiHost> host;

    TFixture()
    {
        host = std::make_unique<TGuiHost>(&window, st);
        st.Host = host.get();
        RegisterBuiltins(st);
        st.LayoutX = 10;
        st.LayoutY = 10;
    }
    ~TFixture() { host.reset(); }

    void Set(const char* word, const char* value)
    {
        THashNode* n = st.Words.FindExact(S(word));
        ASSERT_NE(n, nullptr) << word;
        n->Value = S(value);
    }
    QImage& Picture() { return window.Surface()->Picture(); }
    QColor Background() { return window.Surface()->WindowColour(); }
};

// ---- the main window -------------------------------------------------------------

TEST(MainWindow, StartsCentredWithItsClientArea)
{
    TMainWindow w;
    w.CentreOnScreen();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("ぽるかな"));
    EXPECT_EQ(w.Surface()->size(), QSize(640, 400));
    EXPECT_EQ(w.Surface()->Picture().size(), QSize(640, 400));
    EXPECT_EQ(w.Surface()->WindowColour(), w.palette().color(QPalette::Button));
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(w.x(), (area.x() + area.width() - w.width()) / 2);
    EXPECT_EQ(w.y(), (area.y() + area.height() - w.height()) / 2);
    // The fresh surface is all window colour.
    EXPECT_EQ(InkIn(w.Surface()->Picture(), QRect(0, 0, 640, 400), w.Surface()->WindowColour()).count, 0);
}

TEST(MainWindow, SurfaceGrowsAndKeepsWhatWasDrawn)
{
    TMainWindow w;
    w.show();
    QImage& pic = w.Surface()->Picture();
    pic.setPixel(5, 6, qRgb(255, 0, 0));
    w.resize(900, 700);
    QCoreApplication::processEvents();
    EXPECT_GE(w.Surface()->Picture().width(), w.Surface()->width());
    EXPECT_GE(w.Surface()->Picture().height(), w.Surface()->height());
    EXPECT_EQ(w.Surface()->Picture().pixel(5, 6) & 0xFFFFFF, 0xFF0000u);
    // Shrinking never discards the picture.
    const QSize grown = w.Surface()->Picture().size();
    w.resize(300, 200);
    QCoreApplication::processEvents();
    EXPECT_EQ(w.Surface()->Picture().size(), grown);
    // The picture is what the window paints.
    QImage shot = w.Surface()->grab().toImage();
    EXPECT_EQ(shot.pixel(5, 6) & 0xFFFFFF, 0xFF0000u);
    w.hide();
}

TEST(MainWindow, CloseAsksTheHandler)
{
    TMainWindow w;
    int asked = 0, closed = 0;
    bool agree = false;
    w.SetCloseHandler([&] {
        ++asked;
        return agree;
    });
    w.SetClosedHandler([&] { ++closed; });
    w.show();

    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.RequestClose());
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(closed, 0);

    agree = true;
    EXPECT_TRUE(w.RequestClose());
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(w.IsClosed());
    EXPECT_EQ(asked, 3);   // the close event did not ask a second time
    EXPECT_EQ(closed, 1);
    EXPECT_TRUE(w.RequestClose());
    EXPECT_EQ(closed, 1);
}

TEST(MainWindow, HiddenWindowClosesToo)
{
    TMainWindow w;
    int closed = 0;
    w.SetCloseHandler([] { return true; });
    w.SetClosedHandler([&] { ++closed; });
    EXPECT_TRUE(w.RequestClose());
    EXPECT_EQ(closed, 1);
}

TEST(MainWindow, CloseRequestWhileTheHandlerRunsIsRefused)
{
    TMainWindow w;
    int asked = 0;
    bool innerResult = true;
    w.SetCloseHandler([&] {
        ++asked;
        if (asked == 1)
            innerResult = w.RequestClose();   // e.g. a close label that waits for events
        return true;
    });
    w.show();
    EXPECT_TRUE(w.RequestClose());
    EXPECT_FALSE(innerResult);
    EXPECT_EQ(asked, 1);
}

// ---- 表示 on the surface ------------------------------------------------------------

TEST(ShowText, DrawsAtTheCursorAndMovesItDown)
{
    TFixture f;
    const int lh = ExpectedLineHeight("IPAGothic", 12);
    ASSERT_GE(lh, 19);   // 12 points at 96 dpi are 16 pixels; times 1.2
    f.host->ShowText(f.st, S("あいう"));
    EXPECT_EQ(f.st.LayoutY, 10 + lh);
    EXPECT_EQ(f.st.LayoutX, 10);
    TInk ink = InkIn(f.Picture(), QRect(0, 0, 640, 400), f.Background());
    ASSERT_GT(ink.count, 50);
    EXPECT_GE(ink.box.left(), 10);
    EXPECT_LE(ink.box.left(), 14);
    EXPECT_GE(ink.box.top(), 10);
    EXPECT_LT(ink.box.bottom(), 10 + lh);
    EXPECT_GT(ink.box.width(), 3 * 10);   // three wide characters
}

TEST(ShowText, LinesTabsAndEmptyText)
{
    const int lh = ExpectedLineHeight("IPAGothic", 12);
    const struct {
        const char* text;
        int lines;
    } cases[] = {
        {"一\r\n二\r\n三", 3}, {"一\n二", 2}, {"一\r\n", 1}, {"a\r\n\r\nb", 3}, {"", 0},
    };
    for (const auto& c : cases) {
        TFixture f;
        f.host->ShowText(f.st, S(c.text));
        EXPECT_EQ(f.st.LayoutY, 10 + c.lines * lh) << c.text;
        TInk ink = InkIn(f.Picture(), QRect(0, 0, 640, 400), f.Background());
        EXPECT_EQ(ink.count > 0, c.lines > 0) << c.text;
        if (c.lines > 0) {
            EXPECT_LT(ink.box.bottom(), 10 + c.lines * lh) << c.text;
        }
    }
    // A tab is drawn as the spaces it expands to.
    TFixture tab, spaces;
    tab.Set("タブ文字の個数", "4");
    tab.host->ShowText(tab.st, "ab\tc");
    spaces.host->ShowText(spaces.st, "ab  c");
    EXPECT_EQ(tab.Picture(), spaces.Picture());
}

TEST(ShowText, CentringCentresEachLine)
{
    TFixture f;
    f.st.Centring = true;
    f.host->ShowText(f.st, S("ぽるかな\r\nあ"));
    const int lh = ExpectedLineHeight("IPAGothic", 12);
    for (int line = 0; line < 2; ++line) {
        TInk ink = InkIn(f.Picture(), QRect(0, 10 + line * lh, 640, lh), f.Background());
        ASSERT_GT(ink.count, 0) << line;
        const int left = ink.box.left(), right = 640 - 1 - ink.box.right();
        EXPECT_LE(std::abs(left - right), 4) << "line " << line << ": " << left << " vs " << right;
    }
    EXPECT_EQ(f.st.LayoutX, 10);
}

TEST(ShowText, FontAndColourFromTheVariables)
{
    TFixture big;
    big.Set("文字サイズ", "24");
    big.host->ShowText(big.st, S("あ"));
    EXPECT_EQ(big.st.LayoutY, 10 + ExpectedLineHeight("IPAGothic", 24));

    TFixture mincho;
    mincho.Set("文字書体", "ＭＳ 明朝｜｜30");
    mincho.host->ShowText(mincho.st, S("あ"));
    EXPECT_EQ(mincho.st.LayoutY, 10 + ExpectedLineHeight("IPAMincho", 30));

    for (const char* colour : {"#FF0000", "255", "$0000FF"}) {
        TFixture red;
        red.Set("文字色", colour);
        red.Set("文字サイズ", "30");
        red.host->ShowText(red.st, S("■"));
        int reddish = 0, other = 0;
        const QImage& img = red.Picture();
        for (int y = 0; y < 80; ++y)
            for (int x = 0; x < 80; ++x) {
                QRgb p = img.pixel(x, y);
                if ((p & 0xFFFFFF) == (red.Background().rgb() & 0xFFFFFF))
                    continue;
                if (qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60)
                    ++reddish;
                else if (qBlue(p) > 200 && qRed(p) < 60)
                    ++other;
            }
        EXPECT_GT(reddish, 100) << colour;
        EXPECT_EQ(other, 0) << colour;
    }
}

// ---- the error dialog -----------------------------------------------------------------

TEST(ErrorDialog, Layout)
{
    TfrmError dlg;
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("実行中にエラーが発生しました。"));
    EXPECT_EQ(dlg.size(), QSize(514, 159));
    EXPECT_TRUE(dlg.isModal());
    const struct {
        QWidget* w;
        QRect geometry;
        const char* text;
    } parts[] = {
        {dlg.memMsg, QRect(0, 0, 513, 121), nullptr},
        {dlg.btnDebug, QRect(168, 128, 105, 25), "デバッグする(&D)"},
        {dlg.btnOk, QRect(280, 128, 105, 25), "実行を続ける(&O)"},
        {dlg.btnCancel, QRect(392, 128, 113, 25), "終了(&C)"},
    };
    for (const auto& p : parts) {
        EXPECT_EQ(p.w->geometry(), p.geometry) << p.w->objectName().toStdString();
        if (p.text) {
            EXPECT_EQ(static_cast<QPushButton*>(p.w)->text(), QString::fromUtf8(p.text));
        }
    }
    EXPECT_TRUE(dlg.memMsg->isReadOnly());
    EXPECT_EQ(dlg.memMsg->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(dlg.memMsg->palette().color(QPalette::Base), dlg.palette().color(QPalette::Button));
    EXPECT_EQ(dlg.memMsg->font().family(), QStringLiteral("IPAGothic"));
    EXPECT_EQ(dlg.memMsg->font().pixelSize(), 12);
    EXPECT_EQ(dlg.font().family(), QStringLiteral("IPAPGothic"));
}

TEST(ErrorDialog, ButtonsGiveTheirChoice)
{
    const struct {
        const char* name;
        bool debugMode;
        std::function<void(TfrmError&)> act;
        ErrorChoice expected;
    } cases[] = {
        {"ok", false, [](TfrmError& d) { QTest::mouseClick(d.btnOk, Qt::LeftButton); }, ErrorChoice::Continue},
        {"cancel", false, [](TfrmError& d) { QTest::mouseClick(d.btnCancel, Qt::LeftButton); }, ErrorChoice::Stop},
        {"debug", true, [](TfrmError& d) { QTest::mouseClick(d.btnDebug, Qt::LeftButton); }, ErrorChoice::Debug},
        {"ok in debug mode", true, [](TfrmError& d) { QTest::mouseClick(d.btnOk, Qt::LeftButton); },
         ErrorChoice::Continue},
        {"escape", false, [](TfrmError& d) { QTest::keyClick(&d, Qt::Key_Escape); }, ErrorChoice::Stop},
        {"close box", true, [](TfrmError& d) { d.close(); }, ErrorChoice::Stop},
        {"alt+o", false, [](TfrmError& d) { QTest::keyClick(&d, Qt::Key_O, Qt::AltModifier); }, ErrorChoice::Continue},
    };
    TfrmError dlg;
    for (const auto& c : cases) {
        bool debugVisible = !c.debugMode;
        QString shownText;
        QTimer::singleShot(0, &dlg, [&] {
            debugVisible = dlg.btnDebug->isVisible();
            shownText = dlg.memMsg->toPlainText();
            c.act(dlg);
        });
        ErrorChoice got = dlg.Choose(QStringLiteral("一行目\r\n二行目\r\n"), c.debugMode);
        EXPECT_EQ(got, c.expected) << c.name;
        EXPECT_EQ(debugVisible, c.debugMode) << c.name;
        EXPECT_EQ(shownText, QStringLiteral("一行目\n二行目\n")) << c.name;
    }
}

TEST(ErrorDialog, CentredOverTheMainWindow)
{
    TMainWindow w;
    w.move(101, 51);
    w.show();
    TfrmError dlg(&w);
    dlg.PlaceOver(&w);
    const QRect main = w.frameGeometry();
    EXPECT_EQ(dlg.pos(), QPoint(main.x() + (main.width() - 514) / 2, main.y() + (main.height() - 159) / 2));
    w.hide();
}

TEST(ErrorDialog, ScriptedAnswers)
{
    const struct {
        const char* answer;
        bool debugMode;
        ErrorChoice expected;
    } cases[] = {
        {"continue", false, ErrorChoice::Continue},
        {"debug", false, ErrorChoice::Stop},
        {"debug", true, ErrorChoice::Debug},
        {"stop", true, ErrorChoice::Stop},
        {"", false, ErrorChoice::Stop},
        {"はい", false, ErrorChoice::Stop},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ErrorChoiceFromAnswer(c.answer, c.debugMode), c.expected) << c.answer;

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("answers.txt"));
    std::ofstream(file.toStdString()) << "continue\n  debug \nstop\n";
    ::setenv("PORUKANA_DIALOG_ANSWERS", file.toLocal8Bit().constData(), 1);
    ResetDialogAnswers();
    TFixture f;
    f.st.DebugMode = true;
    std::vector<ErrorChoice> got;
    for (int i = 0; i < 4; ++i)
        got.push_back(f.host->ShowErrorDialog(f.st, S("[エラー] a.prk(1行目): x\r\n")));
    ::unsetenv("PORUKANA_DIALOG_ANSWERS");
    ResetDialogAnswers();
    EXPECT_EQ(got, (std::vector<ErrorChoice>{ErrorChoice::Continue, ErrorChoice::Debug, ErrorChoice::Stop,
                                             ErrorChoice::Stop}));
}

// ---- scripts in the window ----------------------------------------------------------------

TEST(WindowRun, ScriptDrawsOnTheMainWindow)
{
    TFixture f;
    f.st.Source = S("「こんにちは」と、表示\r\n「二行目」と、表示\r\n");
    f.st.FileName = "t.prk";
    f.st.RunProgram();
    EXPECT_FALSE(f.st.StoppedByError) << SjisToUtf8(f.st.ErrorText);
    EXPECT_TRUE(f.window.isVisible());
    const int lh = ExpectedLineHeight("IPAGothic", 12);
    EXPECT_EQ(f.st.LayoutY, 10 + 2 * lh);
    TInk first = InkIn(f.Picture(), QRect(0, 10, 640, lh), f.Background());
    TInk second = InkIn(f.Picture(), QRect(0, 10 + lh, 640, lh), f.Background());
    EXPECT_GT(first.count, 50);
    EXPECT_GT(second.count, 30);
    EXPECT_GT(first.box.width(), second.box.width());   // 5 characters against 3
    f.window.hide();
}

TEST(WindowRun, FontVariablesSetByTheScript)
{
    TFixture f;
    f.st.Source = S("文字サイズ=24\r\n「あ」と、表示\r\n");
    f.st.FileName = "t.prk";
    f.st.RunProgram();
    EXPECT_FALSE(f.st.StoppedByError) << SjisToUtf8(f.st.ErrorText);
    EXPECT_EQ(f.st.LayoutY, 10 + ExpectedLineHeight("IPAGothic", 24));
    f.window.hide();
}

TEST(WindowRun, EndClosesTheWindow)
{
    TFixture f;
    int closed = 0;
    f.window.SetClosedHandler([&] { ++closed; });
    f.st.Source = S("「あ」と、表示\r\n終わり\r\n「い」と、表示\r\n");
    f.st.FileName = "t.prk";
    f.st.RunProgram();
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(f.window.isVisible());
    EXPECT_EQ(f.st.LayoutY, 10 + ExpectedLineHeight("IPAGothic", 12));   // the third line never ran
}

// ---- the executable ---------------------------------------------------------------------

struct TRunResult {
    int exitCode = -1;
    QString err;
};

TRunResult RunExe(const QStringList& args, const QString& answersFile = QString())
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (answersFile.isEmpty())
        env.remove(QStringLiteral("PORUKANA_DIALOG_ANSWERS"));
    else
        env.insert(QStringLiteral("PORUKANA_DIALOG_ANSWERS"), answersFile);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(PORUKANA_GUI_EXE), args);
    TRunResult r;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QString WriteScript(const QTemporaryDir& dir, const char* name, const char* utf8Text)
{
    const QString path = dir.filePath(QString::fromUtf8(name));
    std::ofstream(path.toStdString(), std::ios::binary) << Utf8ToSjis(utf8Text);
    return path;
}

TEST(Executable, ExitStatusesAndDialogs)
{
    QTemporaryDir dir;
    const QString ends = WriteScript(dir, "ends.prk", "「こんにちは」と、表示\r\n「やあ」と、言う\r\n終わり\r\n");
    const QString fails =
        WriteScript(dir, "fails.prk", "「あ」と、表示\r\nほげほげする\r\n「続き」と、言う\r\n終わり\r\n");
    const QString answers = dir.filePath(QStringLiteral("answers.txt"));
    std::ofstream(answers.toStdString()) << "continue\n";
    const QString stop = dir.filePath(QStringLiteral("stop.txt"));
    std::ofstream(stop.toStdString()) << "stop\n";

    TRunResult normal = RunExe({ends});
    EXPECT_EQ(normal.exitCode, 0) << normal.err.toStdString();
    EXPECT_TRUE(normal.err.contains(QStringLiteral("[ぽるかな]\nやあ\n"))) << normal.err.toStdString();

    TRunResult stopped = RunExe({fails}, stop);
    EXPECT_EQ(stopped.exitCode, 1) << stopped.err.toStdString();
    EXPECT_TRUE(stopped.err.contains(QStringLiteral("[実行中にエラーが発生しました。]\n[エラー] fails.prk(2行目): ")))
        << stopped.err.toStdString();
    EXPECT_TRUE(stopped.err.contains(QStringLiteral("-> stop")));
    EXPECT_FALSE(stopped.err.contains(QStringLiteral("続き")));

    TRunResult continued = RunExe({fails}, answers);
    EXPECT_EQ(continued.exitCode, 0) << continued.err.toStdString();
    EXPECT_TRUE(continued.err.contains(QStringLiteral("-> continue")));
    EXPECT_TRUE(continued.err.contains(QStringLiteral("[ぽるかな]\n続き\n"))) << continued.err.toStdString();

    // Without an answers file an offscreen run stops at the first error.
    TRunResult unattended = RunExe({fails});
    EXPECT_EQ(unattended.exitCode, 1) << unattended.err.toStdString();

    const QString missing = dir.filePath(QStringLiteral("missing.prk"));
    TRunResult absent = RunExe({missing});
    EXPECT_EQ(absent.exitCode, 2);
    EXPECT_TRUE(absent.err.contains(QStringLiteral("起動ファイル「") + missing + QStringLiteral("」が読込めません。")))
        << absent.err.toStdString();

    TRunResult none = RunExe({QStringLiteral("-debug")});
    EXPECT_EQ(none.exitCode, 2);
}

TEST(Executable, BomScriptAndOptions)
{
    QTemporaryDir dir;
    // A UTF-8 file with a byte-order mark is read as a script too.
    const QString bom = dir.filePath(QStringLiteral("bom.prk"));
    std::ofstream(bom.toStdString(), std::ios::binary) << "\xEF\xBB\xBF"
                                                       << "「ＢＯＭ付き」と、言う\n終わり\n";
    TRunResult r = RunExe({QStringLiteral("-security"), QStringLiteral("high"), bom});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("BOM付き")) || r.err.contains(QStringLiteral("ＢＯＭ付き")))
        << r.err.toStdString();
}

}   // namespace
