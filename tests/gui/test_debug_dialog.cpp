// The debug dialog offscreen: the variable table under the level filter and the two
// boxes, search, the line and the program pane, the control structures, the
// buttons and what they choose, the memo over a row, the help box, the editor
// report, DEBUG and the error dialog's debug button, and scripted answers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <fstream>
#include <functional>

#include "gui/dialog_answers.h"
#include "gui/dialog_memo.h"
#include "gui/error_dialog.h"
#include "gui/frm_debug.h"
#include "services/ipc_service.h"
#include "test_objects_fixture.h"

namespace {

// Acts on successive showings of a modal dialog of type T (polling every 5 ms), one
// action per showing. A dialog still open two seconds after its action, or none
// showing within two seconds, fails the test and is closed.
template <class T> void OnShowings(std::vector<std::function<void(T*)>> acts)
{
    auto* timer = new QTimer(qApp);
    auto clock = std::make_shared<QElapsedTimer>();
    auto next = std::make_shared<size_t>(0);
    auto inShowing = std::make_shared<bool>(false);
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [timer, acts, clock, next, inShowing] {
        QWidget* top = QApplication::activeModalWidget();
        T* w = dynamic_cast<T*>(top);
        const bool shown = w && w->isVisible();
        if (shown && !*inShowing && *next < acts.size()) {
            *inShowing = true;
            clock->restart();
            QPointer<T> alive(w);
            acts[(*next)++](w);
            // A button closes the dialog at once, and the run may show it again
            // before the next tick: a showing ends when the action closed it.
            *inShowing = alive && alive->isVisible();
            if (!*inShowing && *next == acts.size()) {
                timer->stop();
                timer->deleteLater();
            }
            return;
        }
        if (!shown && *inShowing) {
            *inShowing = false;
            clock->restart();
            if (*next == acts.size()) {
                timer->stop();
                timer->deleteLater();
            }
            return;
        }
        if (clock->elapsed() > 2000) {
            ADD_FAILURE() << (*inShowing ? "the dialog stayed open" : "the dialog did not open");
            if (auto* d = dynamic_cast<QDialog*>(top))
                d->reject();
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(5);
}

template <class T> void OnModal(std::function<void(T*)> act)
{
    OnShowings<T>({std::move(act)});
}

struct TInteractive {
    TInteractive() { SetInteractiveDialogs(true); }
    ~TInteractive() { SetInteractiveDialogs(false); }
};

QString U(const std::string& sjis)
{
    return QString::fromStdString(SjisToUtf8(sjis));
}

QStringList Column0(const QTableWidget* grid)
{
    QStringList out;
    for (int r = 0; r < grid->rowCount(); ++r)
        out << grid->item(r, 0)->text();
    return out;
}

int SelectedRow(const QTableWidget* grid)
{
    const auto rows = grid->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

struct DebugDialog : ::testing::Test {
    TObjFixture f;
    TfrmDebug dlg;

    void SetUp() override
    {
        ASSERT_TRUE(f.Run("A=1\r\nB=2\r\nC=3\r\n"));
        // Words declared deeper, and a hash variable.
        f.st.Words.Add(THashNode::CreateVariable(S("深い"), S("x"), 2, false));
        auto* h = THashNode::CreateVariable(S("辞書"), "", 1, false);
        auto* inner = new THash;
        inner->Add(THashNode::CreateVariable("k", "v", 0, false));
        inner->Add(THashNode::CreateVariable("n", "2", 0, false));
        h->SetTable(inner);
        h->TypeText = "hs";
        f.st.Words.Add(h);
    }
    QStringList Expected(const char* filter, bool objects)
    {
        QStringList out;
        for (const TDebugRow& r : DebugVariableRows(f.st.Words, filter, objects))
            out << U(r.Name);
        return out;
    }
};

TEST_F(DebugDialog, FiltersRefillTheTable)
{
    dlg.Fill(f.st, "");
    EXPECT_EQ(dlg.edtLevel->text(), "0");
    QStringList names = Column0(dlg.grdVars);
    EXPECT_EQ(names, Expected("0", false));
    EXPECT_TRUE(names.contains("それ"));
    EXPECT_TRUE(names.contains("A"));
    EXPECT_FALSE(names.contains("回数"));   // a system variable
    EXPECT_FALSE(names.contains("母艦"));   // an object

    dlg.edtLevel->setText("1");
    names = Column0(dlg.grdVars);
    EXPECT_EQ(names, Expected("1", false));
    EXPECT_TRUE(names.contains("それ") && names.contains("深い") && names.contains("辞書"));
    EXPECT_FALSE(names.contains("A"));

    dlg.chkSystem->setChecked(true);
    EXPECT_EQ(dlg.edtLevel->text(), "");
    EXPECT_EQ(Column0(dlg.grdVars), Expected("", false));
    EXPECT_TRUE(Column0(dlg.grdVars).contains("回数"));
    dlg.chkObjects->setChecked(true);
    EXPECT_EQ(Column0(dlg.grdVars), Expected("", true));
    EXPECT_TRUE(Column0(dlg.grdVars).contains("母艦"));
    dlg.chkSystem->setChecked(false);
    EXPECT_EQ(dlg.edtLevel->text(), "0");
    EXPECT_EQ(Column0(dlg.grdVars), Expected("0", true));

    // The cells: value (a hash as its pairs), type and level.
    const int row = Column0(dlg.grdVars).indexOf("辞書");
    ASSERT_GE(row, 0);
    EXPECT_EQ(dlg.grdVars->item(row, 1)->text(), "k=v\\nn=2");
    EXPECT_EQ(dlg.grdVars->item(row, 2)->text(), "hs");
    EXPECT_EQ(dlg.grdVars->item(row, 3)->text(), "1");
    EXPECT_EQ(dlg.grdVars->horizontalHeaderItem(0)->text(), "名前");
    EXPECT_EQ(dlg.grdVars->horizontalHeaderItem(3)->text(), "宣言レベル");

    // The settings stay for the next showing.
    dlg.Clear();
    EXPECT_EQ(dlg.grdVars->rowCount(), 0);
    dlg.Fill(f.st, "");
    EXPECT_TRUE(dlg.chkObjects->isChecked());
    EXPECT_EQ(Column0(dlg.grdVars), Expected("0", true));

    // A ticked system box keeps its empty filter on the next showing: the box and
    // the table agree.
    dlg.chkSystem->setChecked(true);
    dlg.Clear();
    dlg.Fill(f.st, "");
    EXPECT_EQ(dlg.edtLevel->text(), "");
    EXPECT_TRUE(Column0(dlg.grdVars).contains("回数"));
}

TEST_F(DebugDialog, SearchSelectsTheFirstNameStartingWithTheText)
{
    f.st.Words.Add(THashNode::CreateVariable(S("名前"), "", 0, false));
    f.st.Words.Add(THashNode::CreateVariable(S("名簿"), "", 0, false));
    dlg.Fill(f.st, "");
    const QStringList names = Column0(dlg.grdVars);
    dlg.edtSearch->setText(" 名簿 ");
    QTest::mouseClick(dlg.btnSearch, Qt::LeftButton);
    EXPECT_EQ(SelectedRow(dlg.grdVars), names.indexOf("名簿"));
    dlg.edtSearch->setText("名");
    QTest::keyClick(dlg.edtSearch, Qt::Key_Return);   // Enter searches too
    const int first = std::min(names.indexOf("名前"), names.indexOf("名簿"));
    EXPECT_EQ(SelectedRow(dlg.grdVars), first);
    dlg.edtSearch->setText("無い");
    QTest::mouseClick(dlg.btnSearch, Qt::LeftButton);
    EXPECT_EQ(SelectedRow(dlg.grdVars), first);   // nothing found: the selection stays
    EXPECT_TRUE(dlg.isHidden());                  // Enter did not close the dialog

    // The search text is applied again when the dialog is filled; a named word wins.
    dlg.edtSearch->setText("名簿");
    dlg.Fill(f.st, "");
    EXPECT_EQ(SelectedRow(dlg.grdVars), names.indexOf("名簿"));
    dlg.Fill(f.st, S("B"));
    EXPECT_EQ(SelectedRow(dlg.grdVars), names.indexOf("B"));
}

TEST_F(DebugDialog, LineProgramAndControlStructures)
{
    f.st.Source = S("A=1\r\nB=2\r\nC=3\r\nD=4\r\n");
    f.st.NormaliseOrRaise(f.st.Source);
    f.st.Cursor = f.st.Source.c_str() + f.st.Source.find("2:");   // at line 3
    TRunControl e;
    e.RcKind = rcFor;
    f.st.RunControl.Push(e);
    e.RcKind = rcIfFalse;
    f.st.RunControl.Push(e);
    dlg.Fill(f.st, "");
    EXPECT_EQ(dlg.lblLine->text(), "現在の実行行:3");
    EXPECT_EQ(dlg.memProgram->toPlainText(), "A=1\nB=2\nC=3\nD=4");
    EXPECT_EQ(dlg.memProgram->textCursor().blockNumber(), 2);
    EXPECT_EQ(dlg.memProgram->textCursor().positionInBlock(), 0);
    EXPECT_TRUE(dlg.memProgram->isReadOnly());
    ASSERT_EQ(dlg.lstControl->count(), 2);
    EXPECT_EQ(dlg.lstControl->item(0)->text(), "1:繰り返す");
    EXPECT_EQ(dlg.lstControl->item(1)->text(), "2:もし、違えば");
    EXPECT_EQ(dlg.lstControl->currentRow(), 1);
    f.st.RunControl.ClearLevel();
}

TEST_F(DebugDialog, ButtonsChooseAndClosingEmptiesTheDialog)
{
    TInteractive interactive;
    struct Case {
        const char* what;
        std::function<void(TfrmDebug*)> act;
        DebugChoice choice;
    } cases[] = {
        {"continue", [](TfrmDebug* d) { QTest::mouseClick(d->btnContinue, Qt::LeftButton); }, DebugChoice::Continue},
        {"step", [](TfrmDebug* d) { QTest::mouseClick(d->btnStep, Qt::LeftButton); }, DebugChoice::Step},
        {"stop", [](TfrmDebug* d) { QTest::mouseClick(d->btnStop, Qt::LeftButton); }, DebugChoice::Stop},
        {"escape", [](TfrmDebug* d) { QTest::keyClick(d, Qt::Key_Escape); }, DebugChoice::Closed},
        {"alt+L", [](TfrmDebug* d) { QTest::keyClick(d, Qt::Key_L, Qt::AltModifier); }, DebugChoice::Step},
    };
    for (const Case& c : cases) {
        int rowsShown = -1;
        OnModal<TfrmDebug>([&](TfrmDebug* d) {
            rowsShown = d->grdVars->rowCount();
            c.act(d);
        });
        EXPECT_EQ(dlg.Run(f.st, ""), c.choice) << c.what;
        EXPECT_GT(rowsShown, 0) << c.what;
        EXPECT_EQ(dlg.grdVars->rowCount(), 0) << c.what;
        EXPECT_TRUE(dlg.memProgram->toPlainText().isEmpty()) << c.what;
        EXPECT_EQ(dlg.lstControl->count(), 0) << c.what;
    }
}

TEST_F(DebugDialog, RowOpensTheMemoAndHelpShowsItsText)
{
    TInteractive interactive;
    dlg.Fill(f.st, "");
    const int row = Column0(dlg.grdVars).indexOf("辞書");
    QString title, text;
    OnModal<TfrmPoruMemo>([&](TfrmPoruMemo* m) {
        title = m->windowTitle();
        text = m->memText->toPlainText();
        QTest::mouseClick(m->btnOk, Qt::LeftButton);
    });
    emit dlg.grdVars->cellDoubleClicked(row, 2);
    EXPECT_EQ(title, "辞書");
    EXPECT_EQ(text, "k=v\nn=2");

    dlg.show();
    dlg.grdVars->setCurrentCell(Column0(dlg.grdVars).indexOf("A"), 0);
    OnModal<TfrmPoruMemo>([&](TfrmPoruMemo* m) {
        title = m->windowTitle();
        text = m->memText->toPlainText();
        m->memText->setPlainText("changed");   // the result is not used
        QTest::mouseClick(m->btnOk, Qt::LeftButton);
    });
    QTest::keyClick(dlg.grdVars, Qt::Key_Return);
    EXPECT_EQ(title, "A");
    EXPECT_EQ(text, "1");
    EXPECT_EQ(f.Var("A"), "1");

    QString help;
    OnModal<QMessageBox>([&](QMessageBox* box) {
        help = box->text();
        box->accept();
    });
    QTest::mouseClick(dlg.btnHelp, Qt::LeftButton);
    EXPECT_EQ(help,
              "デバッグダイアログ\n\nこれは、プログラムに不具合が起こったときに、\nプログラムを一行ずつ実行したり、\n"
              "実行中の変数の値を調べたりするのに便利です。");
    dlg.hide();
}

TEST_F(DebugDialog, EditorSyncSendsTheLine)
{
    QTemporaryDir dir;
    ::setenv("XDG_RUNTIME_DIR", dir.path().toLocal8Bit().constData(), 1);
    std::unique_ptr<IChannelService> editor = NewLocalChannelService();
    std::vector<std::string> got;
    std::string reason;
    auto server = editor->Listen(
        "porupad", "command", false,
        [&](const std::string& t) {
            got.push_back(t);
            return true;
        },
        reason);
    ASSERT_TRUE(server) << reason;
    f.st.Cursor = nullptr;
    f.st.LineNo = 4;
    dlg.Fill(f.st, "");
    QTest::mouseClick(dlg.btnSync, Qt::LeftButton);
    QElapsedTimer clock;
    clock.start();
    while (got.empty() && clock.elapsed() < 2000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_EQ(got, (std::vector<std::string>{"row 4"}));
    server.reset();
    ::unsetenv("XDG_RUNTIME_DIR");
}

TEST(DebugDialogHost, DebugCommandThenSingleStep)
{
    TInteractive interactive;
    TObjFixture f;
    std::vector<QString> lines;
    auto record = [&](TfrmDebug* d) { lines.push_back(d->lblLine->text()); };
    OnShowings<TfrmDebug>({[&](TfrmDebug* d) {
                               record(d);
                               QTest::mouseClick(d->btnStep, Qt::LeftButton);
                           },
                           [&](TfrmDebug* d) {
                               record(d);
                               QTest::mouseClick(d->btnContinue, Qt::LeftButton);
                           }});
    ASSERT_TRUE(f.Run("A=1\r\nDEBUG\r\nB=2\r\nC=3\r\n"));
    // DEBUG on line 2, then the stop after that line, before line 3.
    EXPECT_EQ(lines, (std::vector<QString>{"現在の実行行:2", "現在の実行行:3"}));
    EXPECT_FALSE(f.st.LineStop);
    EXPECT_EQ(f.Var("C"), "3");
    ASSERT_NE(f.host->DebugDialog(), nullptr);
}

TEST(DebugDialogHost, ErrorDialogsDebugButtonOpensIt)
{
    TInteractive interactive;
    TObjFixture f;
    f.st.DebugMode = true;
    // デバッグする opens the debug dialog; 実行中断 there closes the main window the
    // normal way: the close label runs.
    OnModal<TfrmError>([](TfrmError* e) {
        OnModal<TfrmDebug>([](TfrmDebug* d) { QTest::mouseClick(d->btnStop, Qt::LeftButton); });
        QTest::mouseClick(e->btnDebug, Qt::LeftButton);
    });
    f.Run("閉じる時に、終了処理設定\r\n未定義の命令\r\nB=2\r\n終わり\r\n*閉じる時\r\n閉じた=1\r\n");
    EXPECT_EQ(f.Var("閉じた"), "1");
    EXPECT_EQ(f.Var("B"), "<none>");
    EXPECT_TRUE(f.window.IsClosed());
}

TEST(DebugDialogHost, ScriptedAnswersAreLetters)
{
    QTemporaryDir dir;
    const QString answers = dir.filePath("answers.txt");
    std::ofstream(answers.toStdString()) << "l\nq\n";
    ::setenv("PORUKANA_DIALOG_ANSWERS", answers.toLocal8Bit().constData(), 1);
    ResetDialogAnswers();
    TObjFixture f;
    f.Run("A=1\r\n");
    EXPECT_EQ(f.host->ShowDebugDialog(f.st, ""), DebugChoice::Step);
    EXPECT_EQ(f.host->ShowDebugDialog(f.st, ""), DebugChoice::Stop);
    EXPECT_EQ(f.host->ShowDebugDialog(f.st, ""), DebugChoice::Continue);   // the end of the answers
    EXPECT_EQ(f.host->DebugDialog(), nullptr);                             // no form was made
    ::unsetenv("PORUKANA_DIALOG_ANSWERS");
    ResetDialogAnswers();
}

}   // namespace
