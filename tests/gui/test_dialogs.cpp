// The dialogs of the window host, driven offscreen: the run-time's forms (layout,
// keys, buttons, Escape, the close box), the question boxes, the standard dialogs
// behind the commands, the progress window, dialogs opened again from a timer's
// label, and scripted answers from an answers file.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fstream>
#include <functional>
#include <memory>

#include "commands/dialogs/dialogs.h"
#include "gui/dialog_answers.h"
#include "gui/dialog_forms.h"
#include "gui/dialog_memo.h"
#include "gui/dialog_platform.h"
#include "gui/dialog_progress.h"
#include "test_objects_fixture.h"

namespace {

// Runs `act` on the next visible modal dialog of type T (other than `other`) once it
// is shown. When no such dialog opens within five seconds, or it is still open five
// seconds after `act`, the test fails and the dialog is rejected, so that a broken
// case cannot hang the run.
template <class T> void WhenShown(std::function<void(T*)> act, QWidget* other = nullptr)
{
    auto* timer = new QTimer(qApp);
    timer->setInterval(5);
    auto clock = std::make_shared<QElapsedTimer>();
    auto acted = std::make_shared<QPointer<QDialog>>();
    auto done = std::make_shared<bool>(false);
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [timer, act, other, clock, acted, done] {
        if (*done) {
            if (!*acted || !(*acted)->isVisible()) {
                timer->stop();
                timer->deleteLater();
            } else if (clock->elapsed() > 5000) {
                timer->stop();
                timer->deleteLater();
                ADD_FAILURE() << "the dialog stayed open";
                (*acted)->reject();
            }
            return;
        }
        QWidget* top = QApplication::activeModalWidget();
        T* w = dynamic_cast<T*>(top);
        if (w && w != other && w->isVisible()) {
            *done = true;
            *acted = w;
            clock->restart();
            act(w);
            return;
        }
        if (clock->elapsed() > 5000) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "the expected dialog did not open";
            if (auto* d = dynamic_cast<QDialog*>(top))
                d->reject();
        }
    });
    timer->start();
}

// Types text that need not be ASCII (QTest's key clicks only know ASCII).
void TypeText(QWidget* w, const QString& text)
{
    for (QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(w, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(w, &release);
    }
}

// The button of a message box with that text (the box orders its buttons by role).
QAbstractButton* Button(QMessageBox* box, const char* utf8)
{
    for (QAbstractButton* b : box->buttons())
        if (b->text() == QString::fromUtf8(utf8))
            return b;
    ADD_FAILURE() << "no button " << utf8;
    return nullptr;
}

QFont TestFont(int points = 12)
{
    QFont f(QStringLiteral("IPAGothic"));
    f.setPointSize(points);
    return f;
}

std::vector<std::string> Sjis(std::initializer_list<const char*> utf8)
{
    std::vector<std::string> out;
    for (const char* s : utf8)
        out.push_back(S(s));
    return out;
}

void ExpectCentred(const QWidget& w)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(w.x(), area.x() + (area.width() - w.width()) / 2);
    EXPECT_EQ(w.y(), area.y() + (area.height() - w.height()) / 2);
}

// Real dialogs instead of scripted answers while it lives.
struct TInteractive {
    TInteractive() { SetInteractiveDialogs(true); }
    ~TInteractive() { SetInteractiveDialogs(false); }
};

// ---- 言う's message box ----------------------------------------------------------------

TEST(MessageBoxForm, Layout)
{
    TfrmMsgBox dlg;
    dlg.Prepare(QStringLiteral("一行目\n二行目の方が長い行です"), TestFont(), Qt::black, 500);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("ぽるかな"));
    EXPECT_EQ(dlg.lblMsg->pos(), QPoint(8, 8));
    EXPECT_EQ(dlg.lblMsg->size(), dlg.lblMsg->sizeHint());
    EXPECT_EQ(dlg.lblMsg->font().pointSize(), 12);
    EXPECT_EQ(dlg.btnOk->text(), QStringLiteral("OK"));
    EXPECT_EQ(dlg.btnOk->y(), dlg.lblMsg->geometry().bottom() + 1 + 8);
    const int titleW = MessageBoxTitleWidth(dlg.windowTitle());
    EXPECT_GT(titleW, 100);
    EXPECT_EQ(dlg.width(), std::max({dlg.lblMsg->width() + 16, 100, titleW}));
    EXPECT_EQ(dlg.btnOk->x(), (dlg.width() - dlg.btnOk->width()) / 2);
    EXPECT_EQ(dlg.height(), dlg.btnOk->geometry().bottom() + 1 + 8);
    ExpectCentred(dlg);

    // A short message: the box is as wide as its title needs, not 100 pixels.
    dlg.Prepare(QStringLiteral("a"), TestFont(), Qt::black, 500);
    EXPECT_EQ(dlg.width(), titleW);
    EXPECT_EQ(dlg.btnOk->x(), (titleW - dlg.btnOk->width()) / 2);
    // A label taller than the limit: the button's top stays at the limit.
    dlg.Prepare(QStringLiteral("行\n").repeated(40), TestFont(), Qt::black, 120);
    EXPECT_GT(dlg.lblMsg->height(), 120);
    EXPECT_EQ(dlg.btnOk->y(), 120);
}

TEST(MessageBoxForm, EveryWayCloses)
{
    const std::vector<std::pair<const char*, std::function<void(TfrmMsgBox*)>>> ways = {
        {"Enter", [](TfrmMsgBox* d) { QTest::keyClick(d, Qt::Key_Return); }},
        {"Escape", [](TfrmMsgBox* d) { QTest::keyClick(d, Qt::Key_Escape); }},
        {"OK", [](TfrmMsgBox* d) { QTest::mouseClick(d->btnOk, Qt::LeftButton); }},
        {"close box", [](TfrmMsgBox* d) { d->close(); }},
    };
    for (const auto& [name, act] : ways) {
        TfrmMsgBox dlg;
        dlg.Prepare(QStringLiteral("やあ"), TestFont(), Qt::black, 500);
        bool shown = false;
        WhenShown<TfrmMsgBox>([&](TfrmMsgBox* d) {
            shown = true;
            act(d);
        });
        dlg.Run();
        EXPECT_TRUE(shown) << name;
        EXPECT_FALSE(dlg.isVisible()) << name;
    }
}

// ---- 尋ねる's input box -----------------------------------------------------------------

TEST(InputBoxForm, Layout)
{
    TfrmInputBox dlg;
    dlg.Prepare(QStringLiteral("名前は？"), QStringLiteral("初期"), TestFont(14), Qt::blue, 2);
    EXPECT_EQ(dlg.width(), 300);   // a short message: the least width
    EXPECT_EQ(dlg.lblMsg->pos(), QPoint(8, 8));
    EXPECT_EQ(dlg.edtInput->geometry(),
              QRect(8, dlg.lblMsg->geometry().bottom() + 1 + 8, 284, dlg.edtInput->sizeHint().height()));
    EXPECT_EQ(dlg.pnlButtons->geometry(), QRect(71, dlg.edtInput->geometry().bottom() + 1 + 8, 158, 25));
    EXPECT_EQ(dlg.height(), dlg.pnlButtons->geometry().bottom() + 1 + 8);
    EXPECT_EQ(dlg.edtInput->text(), QStringLiteral("初期"));
    EXPECT_EQ(dlg.edtInput->font().pointSize(), 14);
    EXPECT_EQ(dlg.lblMsg->palette().color(QPalette::WindowText), QColor(Qt::blue));
    EXPECT_EQ(dlg.edtInput->property("imeMode").toInt(), 2);
    EXPECT_EQ(dlg.btnOk->text(), QStringLiteral("OK"));
    EXPECT_EQ(dlg.btnCancel->text(), QStringLiteral("キャンセル"));
    ExpectCentred(dlg);

    dlg.Prepare(QStringLiteral("長い").repeated(40), QString(), TestFont(), Qt::black, 7);
    EXPECT_EQ(dlg.width(), dlg.lblMsg->width() + 16);
    EXPECT_EQ(dlg.edtInput->property("imeMode").toInt(), 0);
}

TEST(InputBoxForm, KeysAndButtons)
{
    const struct {
        const char* name;
        std::function<void(TfrmInputBox*)> act;
        bool ok;
        const char* answer;
    } cases[] = {
        {"typed and Enter",
         [](TfrmInputBox* d) {
             QTest::keyClicks(d->edtInput, QStringLiteral("abc"));
             QTest::keyClick(d->edtInput, Qt::Key_Return);
         },
         true, "abc"},
        {"OK keeps the initial text", [](TfrmInputBox* d) { QTest::mouseClick(d->btnOk, Qt::LeftButton); }, true,
         "初期"},
        {"an emptied field",
         [](TfrmInputBox* d) {
             d->edtInput->clear();
             QTest::keyClick(d->edtInput, Qt::Key_Enter);
         },
         true, ""},
        {"Escape", [](TfrmInputBox* d) { QTest::keyClick(d->edtInput, Qt::Key_Escape); }, false, ""},
        {"キャンセル", [](TfrmInputBox* d) { QTest::mouseClick(d->btnCancel, Qt::LeftButton); }, false, ""},
        {"close box", [](TfrmInputBox* d) { d->close(); }, false, ""},
    };
    for (const auto& c : cases) {
        TfrmInputBox dlg;
        dlg.Prepare(QStringLiteral("名前は？"), QStringLiteral("初期"), TestFont(), Qt::black, 0);
        QWidget* focused = nullptr;
        WhenShown<TfrmInputBox>([&](TfrmInputBox* d) {
            focused = d->focusWidget();
            c.act(d);
        });
        QString answer;
        EXPECT_EQ(dlg.Run(answer), c.ok) << c.name;
        EXPECT_EQ(answer, QString::fromUtf8(c.answer)) << c.name;
        EXPECT_EQ(focused, dlg.edtInput) << c.name;
    }
}

// ---- the choice dialog -------------------------------------------------------------------

QRect ItemRect(TfrmPoruCombo* d, int row)
{
    return d->lstItems->visualItemRect(d->lstItems->item(row));
}

TEST(ChoiceForm, LayoutAndItems)
{
    TfrmPoruCombo dlg;
    dlg.Prepare(QStringLiteral("どれ？"), Sjis({"りんご", "ブドウ", "バナナ"}), QStringLiteral("初期"), false,
                TestFont(), Qt::black, 3);
    EXPECT_EQ(dlg.width(), 280);
    EXPECT_EQ(dlg.lstItems->count(), 3);
    EXPECT_EQ(dlg.lstItems->item(2)->text(), QStringLiteral("バナナ"));
    EXPECT_EQ(dlg.lstItems->y(), 2 * dlg.lblMsg->y() + dlg.lblMsg->height());
    EXPECT_EQ(dlg.lstItems->x(), 8);
    EXPECT_EQ(dlg.lstItems->width(), 264);
    EXPECT_EQ(dlg.edtResult->geometry(),
              QRect(8, dlg.lstItems->geometry().bottom() + 1 + 8, 264, dlg.edtResult->sizeHint().height()));
    EXPECT_EQ(dlg.pnlButtons->y(), dlg.edtResult->geometry().bottom() + 1 + 8);
    EXPECT_EQ(dlg.height(), dlg.pnlButtons->geometry().bottom() + 1 + 8);
    EXPECT_EQ(dlg.edtResult->text(), QStringLiteral("初期"));
    EXPECT_TRUE(dlg.edtResult->isReadOnly());
    EXPECT_EQ(dlg.lstItems->font().pointSize(), 12);
    ExpectCentred(dlg);
    dlg.Prepare(QStringLiteral("x"), {}, QString(), true, TestFont(), Qt::black, 0);
    EXPECT_FALSE(dlg.edtResult->isReadOnly());
    EXPECT_EQ(dlg.lstItems->count(), 0);
}

TEST(ChoiceForm, KeysClicksAndButtons)
{
    const struct {
        const char* name;
        std::function<void(TfrmPoruCombo*)> act;
        bool ok;
        const char* answer;
    } cases[] = {
        {"a click copies, OK confirms",
         [](TfrmPoruCombo* d) {
             QTest::mouseClick(d->lstItems->viewport(), Qt::LeftButton, {}, ItemRect(d, 2).center());
             EXPECT_EQ(d->edtResult->text(), QStringLiteral("バナナ"));
             QTest::mouseClick(d->btnOk, Qt::LeftButton);
         },
         true, "バナナ"},
        {"a double click confirms",
         [](TfrmPoruCombo* d) {
             QTest::mouseClick(d->lstItems->viewport(), Qt::LeftButton, {}, ItemRect(d, 3).center());
             QTest::mouseDClick(d->lstItems->viewport(), Qt::LeftButton, {}, ItemRect(d, 3).center());
         },
         true, "Cherry"},
        {"a letter selects by the first byte, Enter confirms",
         [](TfrmPoruCombo* d) {
             TypeText(d->lstItems, QStringLiteral("c"));   // "c" is not "C": no item
             EXPECT_TRUE(d->lstItems->selectedItems().isEmpty());
             TypeText(d->lstItems, QStringLiteral("C"));
             QTest::keyClick(d->lstItems, Qt::Key_Return);
         },
         true, "Cherry"},
        {"a double-byte character matches its lead byte only",
         [](TfrmPoruCombo* d) {
             // "バ" and "ブドウ" share the lead byte 0x83: the first such item wins.
             TypeText(d->lstItems, QStringLiteral("バ"));
             QTest::keyClick(d->lstItems, Qt::Key_Enter);
         },
         true, "ブドウ"},
        {"nothing chosen: the initial value", [](TfrmPoruCombo* d) { QTest::keyClick(d->edtResult, Qt::Key_Return); },
         true, "初期"},
        {"Escape in the list",
         [](TfrmPoruCombo* d) {
             QTest::mouseClick(d->lstItems->viewport(), Qt::LeftButton, {}, ItemRect(d, 0).center());
             QTest::keyClick(d->lstItems, Qt::Key_Escape);
         },
         false, ""},
        {"Escape in the field", [](TfrmPoruCombo* d) { QTest::keyClick(d->edtResult, Qt::Key_Escape); }, false, ""},
        {"キャンセル", [](TfrmPoruCombo* d) { QTest::mouseClick(d->btnCancel, Qt::LeftButton); }, false, ""},
        {"close box", [](TfrmPoruCombo* d) { d->close(); }, false, ""},
    };
    for (const auto& c : cases) {
        TfrmPoruCombo dlg;
        dlg.Prepare(QStringLiteral("どれ？"), Sjis({"りんご", "ブドウ", "バナナ", "Cherry"}), QStringLiteral("初期"),
                    true, TestFont(), Qt::black, 0);
        WhenShown<TfrmPoruCombo>(c.act);
        QString answer;
        EXPECT_EQ(dlg.Run(answer), c.ok) << c.name;
        EXPECT_EQ(answer, QString::fromUtf8(c.answer)) << c.name;
        if (!c.ok) {
            EXPECT_TRUE(dlg.edtResult->text().isEmpty()) << c.name;   // cancel empties the field
        }
    }
}

// ---- the button chooser --------------------------------------------------------------------

TEST(ButtonChooserForm, RowOrColumn)
{
    TfrmSelectButton dlg;
    dlg.Prepare(QStringLiteral("どうしますか"),
                {QStringLiteral("はい"), QStringLiteral("いいえ"), QStringLiteral("中止")}, TestFont(), Qt::black, 640);
    ASSERT_TRUE(dlg.inRow);
    ASSERT_EQ(dlg.buttons.size(), 3u);
    const QFontMetrics fm(dlg.lblMsg->font());
    const int h = fm.ascent() + fm.descent();
    const int labelBottom = 2 * dlg.lblMsg->y() + dlg.lblMsg->height();
    for (QPushButton* b : dlg.buttons) {
        EXPECT_EQ(b->y(), labelBottom);
        EXPECT_EQ(b->height(), 2 * h * 8 / 10);
        EXPECT_EQ(b->width(), dlg.buttons[0]->width());
        EXPECT_EQ(b->font().pointSize(), 12);
    }
    EXPECT_EQ(dlg.buttons[0]->x(), 8);
    EXPECT_GT(dlg.buttons[1]->x(), dlg.buttons[0]->geometry().right());
    EXPECT_EQ(dlg.buttons[2]->text(), QStringLiteral("中止"));
    EXPECT_EQ(dlg.height(), labelBottom + 2 * h);
    ExpectCentred(dlg);

    // Many long choices: one column; the buttons of the earlier use are gone.
    QStringList many;
    for (int i = 1; i <= 8; ++i)
        many << QStringLiteral("とても長い選択肢の文章その%1").arg(i);
    dlg.Prepare(QStringLiteral("どれ"), many, TestFont(), Qt::black, 640);
    ASSERT_FALSE(dlg.inRow);
    ASSERT_EQ(dlg.buttons.size(), 8u);
    EXPECT_EQ(dlg.findChildren<QPushButton*>().size(), 8);
    for (size_t i = 0; i < dlg.buttons.size(); ++i) {
        EXPECT_EQ(dlg.buttons[i]->x(), 8);   // the label is narrower than the buttons
        EXPECT_EQ(dlg.buttons[i]->y(), labelBottom + static_cast<int>(i) * 2 * h);
    }
    EXPECT_EQ(dlg.width(), dlg.buttons[0]->width() + 16);
    EXPECT_EQ(dlg.height(), 8 * 2 * h + labelBottom);
    // The same three short choices on a narrow main window: a column too.
    dlg.Prepare(QStringLiteral("どうしますか"),
                {QStringLiteral("はい"), QStringLiteral("いいえ"), QStringLiteral("中止")}, TestFont(), Qt::black, 150);
    EXPECT_FALSE(dlg.inRow);
}

TEST(ButtonChooserForm, PressingAndClosing)
{
    const struct {
        const char* name;
        std::function<void(TfrmSelectButton*)> act;
        int chosen;
    } cases[] = {
        {"second button", [](TfrmSelectButton* d) { QTest::mouseClick(d->buttons[1], Qt::LeftButton); }, 1},
        {"Enter on the first", [](TfrmSelectButton* d) { QTest::keyClick(d->buttons[0], Qt::Key_Space); }, 0},
        {"Escape", [](TfrmSelectButton* d) { QTest::keyClick(d, Qt::Key_Escape); }, -1},
        {"close box", [](TfrmSelectButton* d) { d->close(); }, -1},
    };
    for (const auto& c : cases) {
        TfrmSelectButton dlg;
        dlg.Prepare(QStringLiteral("どれ"), {QStringLiteral("A"), QStringLiteral("B")}, TestFont(), Qt::black, 640);
        WhenShown<TfrmSelectButton>(c.act);
        EXPECT_EQ(dlg.Run(), c.chosen) << c.name;
    }
}

// ---- the memo dialog --------------------------------------------------------------------------

TEST(MemoForm, StartsConfirmed)
{
    const struct {
        const char* name;
        std::function<void(TfrmPoruMemo*)> act;
        bool ok;
        const char* text;
    } cases[] = {
        {"close box keeps the text",
         [](TfrmPoruMemo* d) {
             TypeText(d->memText, QStringLiteral("追記"));
             d->close();
         },
         true, "一行目\n二行目追記"},
        {"Escape keeps the text", [](TfrmPoruMemo* d) { QTest::keyClick(d, Qt::Key_Escape); }, true, "一行目\n二行目"},
        {"OK", [](TfrmPoruMemo* d) { QTest::mouseClick(d->btnOk, Qt::LeftButton); }, true, "一行目\n二行目"},
        {"Enter is a line break",
         [](TfrmPoruMemo* d) {
             QTest::keyClick(d->memText, Qt::Key_Return);
             QTest::mouseClick(d->btnOk, Qt::LeftButton);
         },
         true, "一行目\n二行目\n"},
        {"キャンセル empties the text", [](TfrmPoruMemo* d) { QTest::mouseClick(d->btnCancel, Qt::LeftButton); }, false,
         ""},
    };
    for (const auto& c : cases) {
        TfrmPoruMemo dlg;
        dlg.Prepare(QStringLiteral("一行目\n二行目"), TestFont(), Qt::black, 1);
        EXPECT_EQ(dlg.size(), QSize(412, 323));
        WhenShown<TfrmPoruMemo>([&](TfrmPoruMemo* d) {
            d->memText->moveCursor(QTextCursor::End);
            c.act(d);
        });
        QString text;
        EXPECT_EQ(dlg.Run(text), c.ok) << c.name;
        EXPECT_EQ(text, QString::fromUtf8(c.text)) << c.name;
    }
}

TEST(MemoForm, ContextMenu)
{
    TfrmPoruMemo dlg;
    dlg.Prepare(QStringLiteral("abc"), TestFont(), Qt::black, 0);
    std::unique_ptr<QMenu> menu(dlg.CreateContextMenu());
    QStringList texts, keys;
    for (QAction* a : menu->actions()) {
        texts << a->text();
        keys << a->shortcut().toString();
    }
    EXPECT_EQ(texts, (QStringList{QStringLiteral("元に戻す"), QStringLiteral("コピー"), QStringLiteral("切り取り"),
                                  QStringLiteral("貼付け"), QStringLiteral("全て選択")}));
    EXPECT_EQ(keys, (QStringList{QStringLiteral("Ctrl+Z"), QStringLiteral("Ctrl+C"), QStringLiteral("Ctrl+X"),
                                 QStringLiteral("Ctrl+V"), QStringLiteral("Ctrl+A")}));
    EXPECT_FALSE(menu->actions()[1]->isEnabled());   // nothing selected to copy
    menu->actions()[4]->trigger();
    EXPECT_EQ(dlg.memText->textCursor().selectedText(), QStringLiteral("abc"));
    std::unique_ptr<QMenu> again(dlg.CreateContextMenu());
    EXPECT_TRUE(again->actions()[1]->isEnabled());
    again->actions()[2]->trigger();   // 切り取り
    EXPECT_TRUE(dlg.memText->toPlainText().isEmpty());
}

TEST(MemoForm, LoadAndSaveKeepShiftJis)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("メモ.txt"));
    std::ofstream(file.toStdString(), std::ios::binary) << S("一行目\r\n二行目ソ\r\n");
    TfrmPoruMemo dlg;
    ASSERT_TRUE(dlg.LoadFile(file));
    EXPECT_EQ(dlg.memText->toPlainText(), QStringLiteral("一行目\n二行目ソ\n"));
    dlg.memText->appendPlainText(QStringLiteral("三"));
    const QString out = dir.filePath(QStringLiteral("out.txt"));
    ASSERT_TRUE(dlg.SaveFile(out));
    std::ifstream in(out.toStdString(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, S("一行目\r\n二行目ソ\r\n\r\n三"));
    EXPECT_FALSE(dlg.LoadFile(dir.filePath(QStringLiteral("ない.txt"))));
    EXPECT_EQ(dlg.memText->toPlainText(), QStringLiteral("一行目\n二行目ソ\n\n三"));   // unchanged
    EXPECT_FALSE(dlg.SaveFile(dir.filePath(QStringLiteral("ない/x.txt"))));
}

TEST(MemoForm, LoadButtonOpensTheFileDialogInTheCurrentFolder)
{
    QTemporaryDir dir;
    std::ofstream(dir.filePath(QStringLiteral("a.txt")).toStdString(), std::ios::binary) << S("読んだ");
    const QString saved = QDir::currentPath();
    QDir::setCurrent(dir.path());
    TfrmPoruMemo dlg;
    dlg.Prepare(QString(), TestFont(), Qt::black, 0);
    QStringList filters;
    QString folder;
    WhenShown<TfrmPoruMemo>([&](TfrmPoruMemo* memo) {
        WhenShown<QFileDialog>(
            [&](QFileDialog* fd) {
                filters = fd->nameFilters();
                folder = fd->directory().absolutePath();
                fd->selectFile(QStringLiteral("a.txt"));
                static_cast<QDialog*>(fd)->accept();
                QTimer::singleShot(0, memo, [memo] { QTest::mouseClick(memo->btnOk, Qt::LeftButton); });
            },
            memo);
        QTest::mouseClick(memo->btnLoad, Qt::LeftButton);
    });
    QString text;
    EXPECT_TRUE(dlg.Run(text));
    QDir::setCurrent(saved);
    EXPECT_EQ(text, QStringLiteral("読んだ"));
    EXPECT_EQ(filters, (QStringList{QStringLiteral("*.txt (*.txt)"), QStringLiteral("すべてのファイル (*)")}));
    EXPECT_EQ(QDir(folder).canonicalPath(), QDir(dir.path()).canonicalPath());
}

// ---- the question boxes ---------------------------------------------------------------------

TEST(QuestionBox, ButtonsIconAndKeys)
{
    const struct {
        const char* name;
        bool withCancel;
        std::function<void(QMessageBox*)> act;
        int result;
    } cases[] = {
        {"はい", false, [](QMessageBox* b) { Button(b, "はい")->click(); }, 1},
        {"いいえ", false, [](QMessageBox* b) { Button(b, "いいえ")->click(); }, 0},
        {"Escape of two", false, [](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Escape); }, 0},
        {"close box of two", false, [](QMessageBox* b) { b->close(); }, 0},
        {"キャンセル", true, [](QMessageBox* b) { Button(b, "キャンセル")->click(); }, 2},
        {"はい of three", true, [](QMessageBox* b) { Button(b, "はい")->click(); }, 1},
        {"Escape of three", true, [](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Escape); }, 2},
        {"close box of three", true, [](QMessageBox* b) { b->close(); }, 2},
        {"Enter takes はい", true, [](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Return); }, 1},
    };
    for (const auto& c : cases) {
        QStringList texts;
        QImage icon;
        QString title, message;
        WhenShown<QMessageBox>([&](QMessageBox* b) {
            for (QAbstractButton* button : b->buttons())
                texts << button->text();
            icon = b->iconPixmap().toImage();
            title = b->windowTitle();
            message = b->text();
            c.act(b);
        });
        EXPECT_EQ(AskQuestionBox(nullptr, QStringLiteral("保存しますか"), c.withCancel), c.result) << c.name;
        QStringList expected = {QStringLiteral("はい"), QStringLiteral("いいえ")};
        if (c.withCancel)
            expected << QStringLiteral("キャンセル");
        texts.sort();
        expected.sort();
        EXPECT_EQ(texts, expected) << c.name;
        // The desktop's question icon where an icon theme has one, else the style's.
        QIcon desktop = QIcon::fromTheme(QStringLiteral("dialog-question"));
        if (QDir(QStringLiteral("/usr/share/icons/Adwaita")).exists()) {
            EXPECT_FALSE(desktop.isNull()) << "the default icon theme is installed but not used";
        }
        if (desktop.isNull())
            desktop = QApplication::style()->standardIcon(QStyle::SP_MessageBoxQuestion);
        const int size = QApplication::style()->pixelMetric(QStyle::PM_MessageBoxIconSize);
        EXPECT_FALSE(icon.isNull()) << c.name;
        EXPECT_EQ(icon, desktop.pixmap(size, size).toImage()) << c.name;
        EXPECT_EQ(title, QStringLiteral("ぽるかな"));
        EXPECT_EQ(message, QStringLiteral("保存しますか"));
    }
}

// ---- the progress window ---------------------------------------------------------------------

TEST(ProgressWindow, BarMessageAndStop)
{
    TfrmProg prog;
    EXPECT_EQ(prog.lblMsg->text(), QStringLiteral("---"));
    EXPECT_EQ(prog.btnStop->text(), QStringLiteral("中止"));
    ExpectCentred(prog);
    prog.Open(QString(), nullptr);
    EXPECT_TRUE(prog.isVisible());
    EXPECT_FALSE(prog.isModal());
    EXPECT_FALSE(prog.btnStop->isEnabled());
    EXPECT_EQ(prog.lblMsg->text(), QStringLiteral("---"));
    EXPECT_EQ(prog.barProgress->minimum(), 0);
    EXPECT_EQ(prog.barProgress->maximum(), 100);
    prog.SetPercent(150);
    EXPECT_EQ(prog.barProgress->value(), 100);

    int stops = 0;
    prog.Open(QStringLiteral("送信中"), [&] {
        ++stops;
        prog.Finish();   // the handler may close the window at once
    });
    EXPECT_EQ(prog.barProgress->value(), 0);
    EXPECT_EQ(prog.lblMsg->text(), QStringLiteral("送信中"));
    ASSERT_TRUE(prog.btnStop->isEnabled());
    QTest::mouseClick(prog.btnStop, Qt::LeftButton);
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(prog.isVisible());
    EXPECT_FALSE(prog.btnStop->isEnabled());
    // The close box and Escape do not end a transfer.
    prog.Open(QStringLiteral("受信中"), [] {});
    prog.close();
    QTest::keyClick(&prog, Qt::Key_Escape);
    EXPECT_TRUE(prog.isVisible());
    prog.Finish();
}

TEST(ProgressWindow, ThroughTheHost)
{
    TObjFixture f;
    int stops = 0;
    f.host->ProgressOpen(f.st, std::string(), [&] { ++stops; });
    TfrmProg* prog = f.host->ProgressWindow();
    ASSERT_NE(prog, nullptr);
    EXPECT_EQ(prog->lblMsg->text(), QStringLiteral("---"));
    f.host->ProgressSetPosition(f.st, 30, 120);
    EXPECT_EQ(prog->barProgress->value(), 25);
    f.host->ProgressSetPosition(f.st, 5, 0);
    EXPECT_EQ(prog->barProgress->value(), 0);
    f.host->ProgressSetMessage(f.st, S("あと少し"));
    EXPECT_EQ(prog->lblMsg->text(), QStringLiteral("あと少し"));
    QTest::mouseClick(prog->btnStop, Qt::LeftButton);
    EXPECT_EQ(stops, 1);
    f.host->ProgressClose(f.st);
    EXPECT_FALSE(prog->isVisible());
    f.host->ProgressOpen(f.st, S("次"), nullptr);
    EXPECT_EQ(f.host->ProgressWindow(), prog);   // one window, used again
    EXPECT_FALSE(prog->btnStop->isEnabled());
    f.host->ProgressClose(f.st);
}

// ---- the commands through the window host -------------------------------------------------------

TEST(DialogCommandsInTheWindow, AskAndSay)
{
    TInteractive interactive;
    TObjFixture f;
    ASSERT_TRUE(f.Run("記録=「」\r\n"));
    WhenShown<TfrmInputBox>([](TfrmInputBox* d) {
        EXPECT_EQ(d->lblMsg->text(), QStringLiteral("名前は？"));
        EXPECT_EQ(d->edtInput->text(), QStringLiteral("山"));
        EXPECT_EQ(d->edtInput->font().pointSize(), 20);
        d->edtInput->setText(QStringLiteral("123"));
        QTest::keyClick(d->edtInput, Qt::Key_Return);
    });
    ASSERT_TRUE(f.Run("文字サイズ=20\r\nダイアログ初期値=「山」\r\n「名前は？」と、尋ねる\r\n")) << f.Errors();
    EXPECT_EQ(SjisToUtf8(f.st.Sys.Sore->Value), "123");
    EXPECT_EQ(f.st.Sys.Sore->TypeText, "e");

    // 言う: tabs expanded, the font of the variables.
    QString shown;
    int points = 0;
    WhenShown<TfrmMsgBox>([&](TfrmMsgBox* d) {
        shown = d->lblMsg->text();
        points = d->lblMsg->font().pointSize();
        QTest::keyClick(d, Qt::Key_Return);
    });
    ASSERT_TRUE(f.Run("「漢字\tx」と、言う\r\n")) << f.Errors();
    EXPECT_EQ(shown, QStringLiteral("漢字    x"));
    EXPECT_EQ(points, 20);

    // A long message: 4095 bytes and "...".
    WhenShown<TfrmMsgBox>([&](TfrmMsgBox* d) {
        shown = d->lblMsg->text();
        d->close();
    });
    ASSERT_TRUE(f.Run("文字サイズ=9\r\nA=「」\r\n5000回、A=A&「a」\r\nAを、言う\r\n")) << f.Errors();
    EXPECT_EQ(shown, QString(4095, QLatin1Char('a')) + QStringLiteral("..."));

    // More lines than fit into 70 % of the screen height.
    const int limit = QGuiApplication::primaryScreen()->geometry().height() * 70 / 100;
    int height = 0;
    WhenShown<TfrmMsgBox>([&](TfrmMsgBox* d) {
        shown = d->lblMsg->text();
        height = TGuiHost::LineHeight(d->lblMsg->font());
        QTest::keyClick(d, Qt::Key_Escape);
    });
    ASSERT_TRUE(f.Run("A=「」\r\n300回、A=A&「行{回数}\\n」\r\nAを、言う\r\n")) << f.Errors();
    ASSERT_GT(height, 0);
    const QStringList lines = shown.split(QLatin1Char('\n'));
    EXPECT_EQ(lines.size(), limit / height + 1);
    EXPECT_EQ(lines.first(), QStringLiteral("行1"));
    EXPECT_EQ(lines.last(), QStringLiteral("..."));
}

TEST(DialogCommandsInTheWindow, QuestionsChoicesButtonsMemo)
{
    TInteractive interactive;
    TObjFixture f;
    ASSERT_TRUE(f.Run("記録=「」\r\n")) << f.Errors();
    int points = 0;
    WhenShown<QMessageBox>([&](QMessageBox* b) {
        points = b->font().pointSize();
        Button(b, "いいえ")->click();
    });
    ASSERT_TRUE(f.Run("文字サイズ=15\r\n「続けますか」と、二択\r\n記録=記録&それ\r\n文字サイズ=12\r\n")) << f.Errors();
    EXPECT_EQ(points, 15);   // the text font of the window, as in 言う's box
    WhenShown<QMessageBox>([](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Escape); });
    ASSERT_TRUE(f.Run("「保存しますか」と、三択\r\n記録=記録&それ\r\n")) << f.Errors();
    WhenShown<TfrmPoruCombo>([](TfrmPoruCombo* d) {
        EXPECT_EQ(d->lstItems->count(), 3);   // A｜B|C
        QTest::mouseClick(d->lstItems->viewport(), Qt::LeftButton, {}, ItemRect(d, 1).center());
        QTest::mouseDClick(d->lstItems->viewport(), Qt::LeftButton, {}, ItemRect(d, 1).center());
    });
    ASSERT_TRUE(f.Run("「どれ」が「A｜B|C」の、どれか尋ねる\r\n記録=記録&それ\r\n")) << f.Errors();
    WhenShown<TfrmSelectButton>([](TfrmSelectButton* d) {
        EXPECT_TRUE(d->inRow);   // three short choices on the 640-pixel main window
        QTest::mouseClick(d->buttons[2], Qt::LeftButton);
    });
    ASSERT_TRUE(f.Run("「どれ」を、「赤\\n青\\n黄」の、ボタンで選択\r\n記録=記録&それ\r\n")) << f.Errors();
    WhenShown<TfrmPoruMemo>([](TfrmPoruMemo* d) {
        d->memText->moveCursor(QTextCursor::End);
        TypeText(d->memText, QStringLiteral("追"));
        d->close();
    });
    ASSERT_TRUE(f.Run("「文\\n章」の、メモ記入\r\n記録=記録&それ\r\n")) << f.Errors();
    EXPECT_EQ(f.Var("記録"), "02B黄文\r\n章追");
}

TEST(DialogCommandsInTheWindow, ColourFontFilesFolder)
{
    TInteractive interactive;
    QTemporaryDir dir;
    for (const char* name : {"a.txt", "b.txt", "exists.txt"})
        std::ofstream(dir.filePath(QString::fromUtf8(name)).toStdString()) << "x";
    QDir(dir.path()).mkdir(QStringLiteral("sub"));
    const QString saved = QDir::currentPath();
    QDir::setCurrent(dir.path());
    const std::string folder = FromNativePath(QDir::currentPath().toStdString()) + "/";

    TObjFixture f;
    ASSERT_TRUE(f.Run("ダイアログキャンセルの値=「取消」\r\n")) << f.Errors();
    WhenShown<QColorDialog>([](QColorDialog* d) {
        EXPECT_TRUE(d->testOption(QColorDialog::DontUseNativeDialog));
        d->setCurrentColor(QColor(1, 2, 3));
        d->accept();
    });
    ASSERT_TRUE(f.Run("色選択\r\n")) << f.Errors();
    EXPECT_EQ(f.st.Sys.Sore->Value, "197121");
    EXPECT_EQ(f.st.Sys.Sore->TypeText, "e");
    WhenShown<QColorDialog>([](QColorDialog* d) { d->reject(); });
    ASSERT_TRUE(f.Run("色選択\r\n")) << f.Errors();
    EXPECT_EQ(SjisToUtf8(f.st.Sys.Sore->Value), "取消");

    // A family with a bold style, so that the dialog can keep it.
    QString family;
    for (const QString& fam : QFontDatabase::families())
        if (QFontDatabase::styles(fam).contains(QStringLiteral("Bold")) && !QFontDatabase::isPrivateFamily(fam)) {
            family = fam;
            break;
        }
    if (!family.isEmpty()) {
        WhenShown<QFontDialog>([&](QFontDialog* d) {
            EXPECT_TRUE(d->testOption(QFontDialog::DontUseNativeDialog));
            QFont font(family);
            font.setBold(true);
            font.setUnderline(true);
            font.setPointSize(10);
            d->setCurrentFont(font);
            d->accept();
        });
        ASSERT_TRUE(f.Run("フォント選択\r\n")) << f.Errors();
        EXPECT_EQ(SjisToUtf8(f.st.Sys.Sore->Value), family.toStdString() + "|太字下線|10");
    }

    QStringList filters;
    WhenShown<QFileDialog>([&](QFileDialog* d) {
        EXPECT_TRUE(d->testOption(QFileDialog::DontUseNativeDialog));
        EXPECT_EQ(d->fileMode(), QFileDialog::ExistingFiles);
        filters = d->nameFilters();
        d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("\"a.txt\" \"b.txt\""));
        static_cast<QDialog*>(d)->accept();
    });
    ASSERT_TRUE(f.Run("「txt」の、読込ファイル選択\r\n")) << f.Errors();
    EXPECT_EQ(filters, (QStringList{QStringLiteral("txt 形式(*.txt)"), QStringLiteral("全て(*)")}));
    EXPECT_EQ(f.st.Sys.Sore->Value, folder + "a.txt\r\n" + folder + "b.txt");

    // The save dialog: the default extension, and a question before overwriting.
    QString suffix;
    WhenShown<QFileDialog>([&](QFileDialog* d) {
        suffix = d->defaultSuffix();
        // Typed into the name field: selectFile leaves the field alone once it has the
        // focus, which the dialog gives it some time after it is shown.
        d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("new"));
        static_cast<QDialog*>(d)->accept();
    });
    ASSERT_TRUE(f.Run("「CSV|*.csv」の、書込ファイル選択\r\n")) << f.Errors();
    EXPECT_EQ(suffix, QStringLiteral("csv"));
    EXPECT_EQ(f.st.Sys.Sore->Value, folder + "new.csv");
    bool asked = false;
    WhenShown<QFileDialog>([&](QFileDialog* d) {
        WhenShown<QMessageBox>(
            [&](QMessageBox* b) {
                asked = true;
                b->button(QMessageBox::Yes)->click();
            },
            d);
        d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("exists.txt"));
        static_cast<QDialog*>(d)->accept();
    });
    ASSERT_TRUE(f.Run("ダイアログ初期値=「exists.txt」\r\n「txt」の、書込ファイル選択\r\n")) << f.Errors();
    EXPECT_TRUE(asked);
    EXPECT_EQ(f.st.Sys.Sore->Value, folder + "exists.txt");

    WhenShown<QFileDialog>([&](QFileDialog* d) {
        EXPECT_EQ(d->fileMode(), QFileDialog::Directory);
        d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(dir.filePath(QStringLiteral("sub")));
        static_cast<QDialog*>(d)->accept();
    });
    ASSERT_TRUE(f.Run("フォルダ選択\r\n")) << f.Errors();
    EXPECT_EQ(f.st.Sys.Sore->Value, folder + "sub/");
    WhenShown<QFileDialog>([&](QFileDialog* d) { d->close(); });
    ASSERT_TRUE(f.Run("フォルダ選択\r\n")) << f.Errors();
    EXPECT_EQ(SjisToUtf8(f.st.Sys.Sore->Value), "取消");
    QDir::setCurrent(saved);
}

// Answers the input boxes that open, each with its message and "答", and counts the
// most that were open at once.
struct TInputAnswerer {
    int mostOpen = 0;
    int answered = 0;
    QTimer timer;
    TInputAnswerer()
    {
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            int open = 0;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->isVisible() && dynamic_cast<TfrmInputBox*>(w))
                    ++open;
            mostOpen = std::max(mostOpen, open);
            // Leave each box open a little, so that the timer's label can come in.
            if (++ticks_ % 15 != 0)
                return;
            if (auto* d = dynamic_cast<TfrmInputBox*>(QApplication::activeModalWidget())) {
                d->edtInput->setText(d->lblMsg->text() + QStringLiteral("答"));
                QTest::keyClick(d->edtInput, Qt::Key_Return);
                ++answered;
            }
        });
        timer.start();
    }

private:
    int ticks_ = 0;
};

TEST(DialogCommandsInTheWindow, TimerLabelWhileADialogIsOpen)
{
    TInteractive interactive;
    {
        // Text follows the dialog's statement: the label waits until the dialog has
        // closed and runs before the next statement.
        TObjFixture f;
        TInputAnswerer answerer;
        ASSERT_TRUE(f.Run("記録=「」\r\n0.05秒後に、内側へ飛ぶ、タイマー設定\r\n「外」と、尋ねる\r\n記録=記録&それ\r\n"
                          "待機\r\n*内側\r\n記録=記録&「[内]」\r\n戻る\r\n"))
            << f.Errors();
        EXPECT_EQ(f.Var("記録"), "[内]外答");
        EXPECT_EQ(answerer.mostOpen, 1);
    }
    {
        // The dialog ends a one-line block: the label still waits for the dialog, and
        // the program goes on after the block once the label has returned.
        TObjFixture f;
        TInputAnswerer answerer;
        ASSERT_TRUE(f.Run("記録=「」\r\n0.05秒後に、内側へ飛ぶ、タイマー設定\r\n1回、「外」と、尋ねる\r\n"
                          "記録=記録&「後」\r\n待機\r\n*内側\r\n「内」と、尋ねる\r\n記録=記録&それ\r\n戻る\r\n"))
            << f.Errors();
        EXPECT_EQ(answerer.mostOpen, 1);
        EXPECT_EQ(answerer.answered, 2);
        EXPECT_EQ(f.Var("記録"), "内答後");
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
    {
        // The dialog is the last thing of the text, in the one-line body of a loop:
        // the label runs at once and opens a second dialog over the first; once it
        // has returned, the loop goes on.
        TObjFixture f;
        TInputAnswerer answerer;
        ASSERT_TRUE(f.Run("記録=「」\r\n0.05秒後に、内側へ飛ぶ、タイマー設定\r\n本番へ、飛ぶ\r\n*内側\r\n"
                          "「内」と、尋ねる\r\n記録=記録&それ&「;」\r\n戻る\r\n*本番\r\n2回、「外」と、尋ねる"))
            << f.Errors();
        EXPECT_EQ(answerer.mostOpen, 2);
        EXPECT_EQ(answerer.answered, 3);
        EXPECT_EQ(f.Var("記録"), "内答;");
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
}

// ---- scripted answers ---------------------------------------------------------------------------

TEST(ScriptedDialogs, EveryDialogFromTheAnswersFile)
{
    QTemporaryDir dir;
    const QString answers = dir.filePath(QStringLiteral("answers.txt"));
    std::ofstream(answers.toStdString(), std::ios::binary) << "123\n"
                                                              "y\n"
                                                              "c\n"
                                                              "緑\n"
                                                              "2\n"
                                                              "9\n"
                                                              "x\n"
                                                              "中止\n"
                                                              "破棄\n"
                                                              "一\n"
                                                              "二\n"
                                                              ".\n"
                                                              "#0000FF\n"
                                                              "ＭＳ 明朝|太字|10\n"
                                                              "a.txt\n"
                                                              "out\n"
                                                              "sub\n";
    ::setenv("PORUKANA_DIALOG_ANSWERS", answers.toLocal8Bit().constData(), 1);
    ResetDialogAnswers();
    const QString saved = QDir::currentPath();
    QDir::setCurrent(dir.path());
    const std::string folder = SjisToUtf8(FromNativePath(QDir::currentPath().toStdString())) + "/";
    TObjFixture f;
    const bool ok = f.Run("記録=「」\r\nダイアログキャンセルの値=「取消」\r\n"
                          "「名前」と、尋ねる\r\n記録=記録&それ&「,」\r\n"
                          "「続ける」と、二択\r\n記録=記録&それ&「,」\r\n"
                          "「保存」と、三択\r\n記録=記録&それ&「,」\r\n"
                          "「色」が「赤|青」の、どれか尋ねる\r\n記録=記録&それ&「,」\r\n"
                          "「色」を、「赤|青」の、リストから選択\r\n記録=記録&それ&「,」\r\n"
                          "「どう」を、「保存\\n破棄」の、ボタンで選択\r\n記録=記録&それ&「,」\r\n"
                          "「どう」を、「保存\\n破棄」の、ボタンで選択\r\n記録=記録&それ&「,」\r\n"
                          "「初め」の、メモ記入\r\n記録=記録&それ&「,」\r\n"
                          "色選択\r\n記録=記録&それ&「,」\r\n"
                          "フォント選択\r\n記録=記録&それ&「,」\r\n"
                          "「txt」の、読込ファイル選択\r\n記録=記録&それ&「,」\r\n"
                          "「txt」の、書込ファイル選択\r\n記録=記録&それ&「,」\r\n"
                          "フォルダ選択\r\n記録=記録&それ&「,」\r\n"
                          "「終わりの後」と、尋ねる\r\n記録=記録&それ\r\n");
    QDir::setCurrent(saved);
    ::unsetenv("PORUKANA_DIALOG_ANSWERS");
    ResetDialogAnswers();
    ASSERT_TRUE(ok) << f.Errors();
    EXPECT_EQ(f.Var("記録"), "123,1,2,緑,青,取消,破棄,一\r\n二,16711680,ＭＳ 明朝|太字|10," + folder + "a.txt," +
                                 folder + "out.txt," + folder + "sub/,取消");
}

TEST(ScriptedDialogs, OffscreenWithoutAnswersEveryDialogIsCancelled)
{
    ::unsetenv("PORUKANA_DIALOG_ANSWERS");
    ResetDialogAnswers();
    ASSERT_TRUE(DialogsScripted());
    TObjFixture f;
    ASSERT_TRUE(f.Run("記録=「」\r\nダイアログキャンセルの値=「取消」\r\n"
                      "「a」と、尋ねる\r\n記録=記録&それ\r\n「a」と、二択\r\n記録=記録&それ\r\n"
                      "「a」と、三択\r\n記録=記録&それ\r\n「a」を、「x\\ny」の、ボタンで選択\r\n記録=記録&それ\r\n"
                      "「本文」の、メモ記入\r\n記録=記録&それ\r\n"))
        << f.Errors();
    EXPECT_EQ(f.Var("記録"), "取消02取消本文");
}

}   // namespace
