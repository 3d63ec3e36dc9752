// porupad offscreen: files saved byte for byte in the encoding they had, help on a
// folded word, the checker's findings underlined, the palette's template, find and
// replace, the link's "row N", and an error of a real window run-time putting the
// cursor on its line.
#include <QApplication>
#include <QCompleter>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QTextBlock>

#include <gtest/gtest.h>

#include "core/codec.h"
#include "porupad/code_editor.h"
#include "porupad/dialogs.h"
#include "porupad/main_window.h"

namespace {

class TQtEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "porupad_tests";
        static char* argv[] = {name, nullptr};
        QStandardPaths::setTestModeEnabled(true);   // settings and backups of tests stay apart
        app_ = new QApplication(argc, argv);
        QCoreApplication::setOrganizationName(QStringLiteral("porukana-tests"));
        QCoreApplication::setApplicationName(QStringLiteral("porupad"));
        QSettings().clear();
        // Copies left by an earlier run would be offered back in a dialog.
        QDir(TPorupadWindow::BackupFolder()).removeRecursively();
        QApplication::setQuitOnLastWindowClosed(false);
    }
    void TearDown() override
    {
        QSettings().clear();
        delete app_;
    }

private:
    QApplication* app_ = nullptr;
};

::testing::Environment* const kQtEnvironment = ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

void Write(const QString& path, const std::string& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

// Processes events until `done` holds or the time is up.
template <typename F> bool WaitFor(F done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    return done();
}

void PutCursor(TCodeEditor* e, int line, int column)
{
    QTextCursor c(e->document()->findBlockByNumber(line));
    c.setPosition(c.block().position() + column);
    e->setTextCursor(c);
}

}   // namespace

TEST(Porupad, FilesAreSavedByteForByteInTheirEncoding)
{
    QTemporaryDir dir;
    const QString sjisPath = dir.filePath(QStringLiteral("古い.prk"));
    const QString utf8Path = dir.filePath(QStringLiteral("新しい.prk"));
    const std::string sjis = Utf8ToSjis("*開始\r\n「ソース表示」を表示\r\n\t（インデント）\r\n");
    const std::string utf8 = "「こんにちは🍣」を表示\nおわり";   // no line end at the end
    Write(sjisPath, sjis);
    Write(utf8Path, utf8);

    TPorupadWindow w;
    TCodeEditor* a = w.OpenFile(sjisPath);
    TCodeEditor* b = w.OpenFile(utf8Path);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(w.Tabs()->count(), 2);
    EXPECT_EQ(a->Encoding, langsvc::TTextEncoding::ShiftJis);
    EXPECT_EQ(a->LineEnd, langsvc::TLineEnd::CrLf);
    EXPECT_EQ(b->Encoding, langsvc::TTextEncoding::Utf8);
    EXPECT_EQ(a->toPlainText(), QStringLiteral("*開始\n「ソース表示」を表示\n\t（インデント）\n"));
    EXPECT_EQ(w.OpenFile(sjisPath), a);   // shown again, not opened twice

    // An edit undone leaves the bytes as they were.
    a->textCursor().insertText(QStringLiteral("追加"));
    a->undo();
    ASSERT_TRUE(w.Save(a));
    ASSERT_TRUE(w.Save(b));
    EXPECT_EQ(ReadAll(sjisPath).toStdString(), sjis);
    EXPECT_EQ(ReadAll(utf8Path).toStdString(), utf8);

    // A change is written in the file's own encoding and line ends.
    a->moveCursor(QTextCursor::End);
    a->insertPlainText(QStringLiteral("「終」を表示\n"));
    ASSERT_TRUE(w.Save(a));
    EXPECT_EQ(ReadAll(sjisPath).toStdString(), sjis + Utf8ToSjis("「終」を表示\r\n"));
    EXPECT_FALSE(a->document()->isModified());

    // The outline lists the labels of the current tab.
    w.Tabs()->setCurrentWidget(a);
    auto* outline = w.findChild<QListWidget*>(QStringLiteral("outline"));
    ASSERT_NE(outline, nullptr);
    ASSERT_GE(outline->count(), 1);
    EXPECT_EQ(outline->item(0)->text(), QStringLiteral("*開始"));
}

TEST(Porupad, F1ShowsTheEntryOfAFoldedWord)
{
    TPorupadWindow w;
    TCodeEditor* e = w.NewFile();
    e->setPlainText(QStringLiteral("Iを1から3まで繰返して表示"));
    PutCursor(e, 0, 9);   // inside 繰返して
    w.ShowHelpForCursor();
    EXPECT_TRUE(w.HelpText().startsWith(QStringLiteral("繰り返す"))) << w.HelpText().left(80).toStdString();
    PutCursor(e, 0, 0);   // I: a word of the script's own
    w.ShowHelpForCursor();
    EXPECT_EQ(w.HelpText(), QStringLiteral("「I」の説明は見つかりません。"));
    e->document()->setModified(false);
}

TEST(Porupad, PaletteInsertsTheTemplateAndSelectsTheFirstSlot)
{
    TPorupadWindow w;
    TCodeEditor* e = w.NewFile();
    w.ShowPalette();
    w.Palette()->SetQuery(QStringLiteral("繰り返す"));
    ASSERT_GT(w.Palette()->List()->count(), 0);
    w.Palette()->accept();
    EXPECT_EQ(e->toPlainText(), QStringLiteral("？を？から？まで繰り返す"));
    EXPECT_EQ(e->textCursor().selectedText(), QStringLiteral("？"));
    EXPECT_EQ(e->textCursor().selectionStart(), 0);
    e->document()->setModified(false);
}

TEST(Porupad, FindAndReplaceWithRegularExpressions)
{
    TPorupadWindow w;
    TCodeEditor* e = w.NewFile();
    e->setPlainText(QStringLiteral("A=10\nB=200\n「10」を表示"));
    auto* find = w.findChild<TFindDialog*>();
    ASSERT_NE(find, nullptr);
    find->FindField()->setText(QStringLiteral("(\\d+)"));
    find->RegexBox()->setChecked(true);
    ASSERT_TRUE(find->FindNext());
    EXPECT_EQ(e->textCursor().selectedText(), QStringLiteral("10"));
    find->ReplaceField()->setText(QStringLiteral("<\\1>"));
    EXPECT_EQ(find->ReplaceAll(), 3);
    EXPECT_EQ(e->toPlainText(), QStringLiteral("A=<10>\nB=<200>\n「<10>」を表示"));
    e->undo();   // one step undoes the whole replacement
    EXPECT_EQ(e->toPlainText(), QStringLiteral("A=10\nB=200\n「10」を表示"));
    find->FindField()->setText(QStringLiteral("(unclosed"));
    find->RegexBox()->setChecked(false);   // taken literally: not found, no error
    EXPECT_FALSE(find->FindNext());
    e->document()->setModified(false);
}

TEST(Porupad, ErrorLinesAndLinkRequestsMoveTheCursor)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.prk"));
    Write(path, "1\n2\n3\n4\n5\n");
    TPorupadWindow w;
    TCodeEditor* e = w.OpenFile(path);
    ASSERT_NE(e, nullptr);
    EXPECT_TRUE(w.HandleErrorLine(QStringLiteral("[エラー] a.prk(4行目): 何かの誤り")));
    EXPECT_EQ(e->CursorLine(), 4);
    EXPECT_TRUE(w.HandleErrorLine(QStringLiteral("[エラー] a.prkの2行目のぽるかな(1行目): 内側")));
    EXPECT_EQ(e->CursorLine(), 2);
    EXPECT_FALSE(w.HandleErrorLine(QStringLiteral("[注　意] a.prk(5行目): 注意は動かさない")));
    EXPECT_EQ(e->CursorLine(), 2);
    w.HandleLinkRequest(QStringLiteral("row 5"));
    EXPECT_EQ(e->CursorLine(), 5);
    w.HandleLinkRequest(QStringLiteral("row x"));
    EXPECT_EQ(e->CursorLine(), 5);
}

TEST(Porupad, DiagnosticIsUnderlined)
{
    TPorupadWindow w;
    TCodeEditor* e = w.NewFile();
    e->setPlainText(QStringLiteral("「やあ」と、表示する。\n「やあ」と、表字する。\n"));
    w.CheckNow(e);
    if (e->Diagnostics().empty())
        GTEST_SKIP() << "the checker reports nothing yet (its implementation is not in this build)";
    EXPECT_EQ(e->Diagnostics().front().Line, 1);
    bool underlined = false;
    for (const QTextEdit::ExtraSelection& s : e->extraSelections())
        underlined =
            underlined || (s.format.underlineStyle() == QTextCharFormat::WaveUnderline && s.cursor.blockNumber() == 1);
    EXPECT_TRUE(underlined);
    e->document()->setModified(false);
}

TEST(Porupad, F5OnAFailingScriptPutsTheCursorOnTheErrorLine)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("失敗.prk"));
    Write(path, Utf8ToSjis("「始め」と、表示する。\r\nA=1\r\n「{A}」と、表字する。\r\n"));
    QSettings().setValue(QStringLiteral("windowRuntime"), QStringLiteral(PORUKANA_GUI_EXE));
    TPorupadWindow w;
    TCodeEditor* e = w.OpenFile(path);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->CursorLine(), 1);
    w.Run(true);
    ASSERT_TRUE(w.Running() || w.Process());
    const bool moved = WaitFor([&] { return e->CursorLine() == 3; }, 30000);
    const QString output = w.Output()->toPlainText();
    w.Stop();
    QSettings().remove(QStringLiteral("windowRuntime"));
    EXPECT_TRUE(moved) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("[エラー] 失敗.prk(3行目)"))) << output.toStdString();
    EXPECT_FALSE(w.Running());
}

TEST(Porupad, CurrentLineOfARunningConsoleProgramComesOverTheLink)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("待ち.prk"));
    Write(path, Utf8ToSjis("「始め」と、表示する。\r\n\r\n8秒、待つ。\r\n「終わり」と、表示する。\r\n"));
    // A run-time serves the link under its file name; a copy with a name of its own
    // keeps other console programs that run meanwhile out of the way.
    const QString runtime = dir.filePath(QStringLiteral("porukana-cli-%1").arg(QCoreApplication::applicationPid()));
    ASSERT_TRUE(QFile::copy(QStringLiteral(PORUKANA_CLI_EXE), runtime));
    QSettings().setValue(QStringLiteral("consoleRuntime"), runtime);
    TPorupadWindow w;
    TCodeEditor* e = w.OpenFile(path);
    ASSERT_NE(e, nullptr);
    if (!w.LinkReady())
        GTEST_SKIP() << "another editor holds the link's name";
    w.Run(false);
    ASSERT_TRUE(WaitFor([&] { return w.Output()->toPlainText().contains(QStringLiteral("始め")); }, 15000))
        << w.Output()->toPlainText().toStdString();
    if (!w.RuntimeLinked()) {
        w.Stop();
        GTEST_SKIP() << "the run-time has no request channel here";
    }
    // The program waits on line 3; the cursor is elsewhere until the program says so.
    e->GoToLine(1);
    w.AskCurrentLine();
    const bool moved = WaitFor([&] { return e->CursorLine() == 3; }, 6000);
    w.Stop();
    QSettings().remove(QStringLiteral("consoleRuntime"));
    EXPECT_TRUE(moved) << w.Output()->toPlainText().toStdString();
    EXPECT_FALSE(w.Running());
}

TEST(Porupad, NewLinesKeepTheIndentationAndBracketsAreMatched)
{
    TPorupadWindow w;
    TCodeEditor* e = w.NewFile();
    e->setPlainText(QStringLiteral("(\n　　「a」と、表示する。"));
    e->moveCursor(QTextCursor::End);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QApplication::sendEvent(e, &enter);
    EXPECT_EQ(e->toPlainText(), QStringLiteral("(\n　　「a」と、表示する。\n　　"));
    e->insertPlainText(QStringLiteral(")"));

    // The cursor before 「 marks it and its 」 (line 1, columns 2 and 4).
    PutCursor(e, 1, 2);
    std::vector<int> marked;
    for (const QTextEdit::ExtraSelection& s : e->extraSelections())
        if (s.format.background().color() == QColor(0xc8, 0xe6, 0xc9))
            marked.push_back(s.cursor.selectionStart());
    const int line1 = e->document()->findBlockByNumber(1).position();
    EXPECT_EQ(marked, (std::vector<int>{line1 + 2, line1 + 4}));
    // After the closing ) its ( on the first line.
    e->moveCursor(QTextCursor::End);
    marked.clear();
    for (const QTextEdit::ExtraSelection& s : e->extraSelections())
        if (s.format.background().color() == QColor(0xc8, 0xe6, 0xc9))
            marked.push_back(s.cursor.selectionStart());
    EXPECT_EQ(marked, (std::vector<int>{0, static_cast<int>(e->toPlainText().size()) - 1}));
    e->document()->setModified(false);
}

TEST(Porupad, ChangedFilesAreBackedUpUntilSaved)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("控え.prk"));
    Write(path, Utf8ToSjis("A=1\r\n"));
    TPorupadWindow w;
    TCodeEditor* e = w.OpenFile(path);
    ASSERT_NE(e, nullptr);
    const auto copies = [] {
        return QDir(TPorupadWindow::BackupFolder()).entryList({QStringLiteral("*.prk")}, QDir::Files);
    };
    w.WriteBackups();
    EXPECT_TRUE(copies().isEmpty());   // nothing changed yet
    e->moveCursor(QTextCursor::End);
    e->insertPlainText(QStringLiteral("B=2\n"));
    w.WriteBackups();
    const QStringList written = copies();
    ASSERT_EQ(written.size(), 1);
    // The copy holds the unsaved text in the file's own encoding.
    EXPECT_EQ(ReadAll(TPorupadWindow::BackupFolder() + QLatin1Char('/') + written[0]).toStdString(),
              Utf8ToSjis("A=1\r\nB=2\r\n"));
    ASSERT_TRUE(w.Save(e));
    EXPECT_TRUE(copies().isEmpty());
}

TEST(Porupad, CompletionOffersCommandsAndTheScriptsWords)
{
    TPorupadWindow w;
    TCodeEditor* e = w.NewFile();
    e->setPlainText(QStringLiteral("合計は0\n"));
    e->moveCursor(QTextCursor::End);
    // 合 arrives from the input method.
    QInputMethodEvent typed;
    typed.setCommitString(QStringLiteral("合"));
    QApplication::sendEvent(e, &typed);
    EXPECT_EQ(e->toPlainText(), QStringLiteral("合計は0\n合"));
    QStringList offered;
    for (int i = 0; i < e->Completer()->completionModel()->rowCount(); ++i)
        offered << e->Completer()->completionModel()->index(i, 0).data().toString();
    EXPECT_TRUE(offered.contains(QStringLiteral("合計"))) << offered.join(QLatin1Char(' ')).toStdString();
    for (const QString& o : offered)
        EXPECT_TRUE(o.startsWith(QStringLiteral("合"))) << o.toStdString();
    e->document()->setModified(false);
}
