// Events of script objects: clicks, mouse and keys reaching their labels with the
// event variables, handler assignment, the script timer, events during 待つ,
// destroying a control inside its own handler, and the console's refusal.
#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QMimeData>
#include <QTabWidget>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextLayout>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fstream>

#include "core/stacks.h"
#include "gui/controls.h"
#include "gui/objects.h"
#include "test_objects_fixture.h"

namespace {

// A script whose labels append to 記録 and return.
std::string WithLabels(const std::string& body)
{
    return "記録=「」\r\n" + body +
           "待機\r\n"
           "*押した\r\n記録=記録&「押」\r\n戻る\r\n"
           "*離した\r\n記録=記録&「離」\r\n戻る\r\n"
           "*変わった\r\n記録=記録&「変」\r\n戻る\r\n";
}

TEST(Events, MouseEventsRunTheirLabelsWithTheVariables)
{
    struct Row {
        const char* setup;   // handlers of 画像イメージ
        Qt::KeyboardModifiers mods;
        const char* record;
        const char* special;
    };
    const Row rows[] = {
        {"画像イメージの、マウス押した時は、押した\r\n画像イメージの、マウス離した時は、離した\r\n", Qt::ShiftModifier,
         "押離", "Shift\r\nLeft"},
        {"画像イメージの、マウス押した時は、押した\r\n", Qt::ControlModifier, "押", "Ctrl\r\nLeft"},
        // No handler: the variables are written all the same.
        {"", Qt::NoModifier, "", "Left"},
    };
    for (const Row& r : rows) {
        TObjFixture f;
        ASSERT_TRUE(f.Run(WithLabels(std::string("画像イメージを、作る\r\n") + r.setup))) << f.Errors();
        QWidget* img = ObjectWidget(f.Record("画像イメージ"));
        QTest::mousePress(img, Qt::LeftButton, r.mods, QPoint(12, 34));
        EXPECT_EQ(f.Var("マウスX"), "12") << r.setup;
        EXPECT_EQ(f.Var("マウスY"), "34") << r.setup;
        EXPECT_EQ(f.Var("押された特殊キー"), r.special) << r.setup;
        QTest::mouseRelease(img, Qt::LeftButton, r.mods, QPoint(12, 34));
        EXPECT_EQ(f.Var("記録"), r.record) << r.setup;
    }
}

TEST(Events, KeysNeedAHandlerToWriteTheVariables)
{
    TObjFixture f;
    ASSERT_TRUE(
        f.Run(WithLabels("入力エディタを、作る\r\n別エディタを、作る\r\n入力エディタの、キー押した時は、押した\r\n")))
        << f.Errors();
    f.window.show();
    QWidget* quiet = ObjectWidget(f.Record("別エディタ"));
    QTest::keyClick(quiet, Qt::Key_B);
    EXPECT_EQ(f.Var("押されたキー"), "0");
    QWidget* edit = ObjectWidget(f.Record("入力エディタ"));
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        const char* vk;
        const char* special;
    } keys[] = {
        {Qt::Key_A, Qt::NoModifier, "65", ""},           {Qt::Key_Return, Qt::NoModifier, "13", ""},
        {Qt::Key_F5, Qt::ShiftModifier, "116", "Shift"}, {Qt::Key_Left, Qt::AltModifier, "37", "Alt"},
        {Qt::Key_7, Qt::KeypadModifier, "103", ""},
    };
    for (const auto& k : keys) {
        QTest::keyPress(edit, k.key, k.mods);
        EXPECT_EQ(f.Var("押されたキー"), k.vk);
        EXPECT_EQ(f.Var("押された特殊キー"), k.special);
        QTest::keyRelease(edit, k.key, k.mods);
    }
    // Shift and Alt are pressed as keys of their own before F5 and Left.
    EXPECT_EQ(f.Var("記録"), "押押押押押押押");
}

TEST(Events, ClickAndChangeOfControls)
{
    TObjFixture f;
    ASSERT_TRUE(f.Run(WithLabels("送信ボタンを、作る\r\n送信ボタンの、クリックした時は、押した\r\n"
                                 "文エディタを、作る\r\n文エディタの、変更した時は、変わった\r\n"
                                 "選択チェックを、作る\r\n選択チェックの、クリックした時は、押した\r\n")))
        << f.Errors();
    f.window.show();
    QTest::mouseClick(ObjectWidget(f.Record("送信ボタン")), Qt::LeftButton);
    EXPECT_EQ(f.Var("記録"), "押");
    QTest::keyClicks(ObjectWidget(f.Record("文エディタ")), "ab");
    EXPECT_EQ(f.Var("記録"), "押変変");
    QTest::mouseClick(ObjectWidget(f.Record("選択チェック")), Qt::LeftButton);
    EXPECT_EQ(f.Var("記録"), "押変変押");
    // イベントオブジェクト names the sender.
    ASSERT_TRUE(f.Run("名=イベントオブジェクトの、名前\r\n")) << f.Errors();
    EXPECT_EQ(f.Var("名"), "選択チェック");
}

TEST(Events, HandlerAssignment)
{
    TObjFixture f;
    ASSERT_TRUE(f.Run(WithLabels("B1ボタンを、作る\r\n"))) << f.Errors();
    QWidget* b = ObjectWidget(f.Record("B1ボタン"));
    f.window.show();
    struct Row {
        const char* assignment;
        const char* after;   // 記録 after a click, starting empty
    };
    const Row rows[] = {
        {"B1ボタンの、クリックした時は、押した\r\n", "押"},
        {"B1ボタンの、クリック時は、離した\r\n", "離"},   // the folded name
        {"B1ボタンの、クリックした時は、`記録=「コード」`\r\n", "コード"},
        {"B1ボタンの、クリックした時は、``\r\n", ""},
        {"B1ボタンの、イベントは、変わった\r\n", "変"},   // the button's main slot is click
    };
    for (const Row& r : rows) {
        ASSERT_TRUE(f.Run(std::string("記録=「」\r\n") + r.assignment)) << r.assignment << f.Errors();
        QTest::mouseClick(b, Qt::LeftButton);
        EXPECT_EQ(f.Var("記録"), r.after) << r.assignment;
    }
    // \NULL-VALUE clears slot 0 only.
    TObjNode* rec = f.Record("B1ボタン");
    ASSERT_NE(rec->EventPos[esCurrent], nullptr);
    ASSERT_TRUE(f.Run("B1ボタンの、イベントは、`\\NULL-VALUE`\r\n")) << f.Errors();
    EXPECT_EQ(rec->EventPos[esCurrent], nullptr);
    EXPECT_NE(rec->EventPos[esClick], nullptr);
    // Reading イベント runs the current handler at once.
    ASSERT_TRUE(f.Run("B1ボタンの、イベントは、押した\r\n記録=「」\r\nX=B1ボタンの、イベント\r\n")) << f.Errors();
    EXPECT_EQ(f.Var("記録"), "押");
}

TEST(Events, ScriptTimer)
{
    struct Row {
        const char* script;
        const char* expected;
    };
    const Row rows[] = {
        {"0.2秒後に、押したへ飛ぶ、タイマー設定\r\n", "押"},
        {"0.2秒後に、押したへ飛ぶ、タイマー設定\r\n0秒後に、「」へ飛ぶ、タイマー設定\r\n", ""},
        {"0.2秒後に、押したへ飛ぶ、タイマー設定\r\nタイマー解除\r\n", ""},
        {"0秒後に、押したへ飛ぶ、タイマー設定\r\n", ""},   // 0 never fires
    };
    for (const Row& r : rows) {
        TObjFixture f;
        ASSERT_TRUE(f.Run(WithLabels(r.script))) << r.script << f.Errors();
        EXPECT_EQ(f.Var("記録"), "") << r.script;   // not before its time
        QTest::qWait(500);
        EXPECT_EQ(f.Var("記録"), r.expected) << r.script;
    }
    TObjFixture f;
    EXPECT_FALSE(f.Run("1秒後に、ないへ飛ぶ、タイマー設定\r\n"));
    EXPECT_EQ(f.LastError(), "未定義のラベル\"ない\"に、ジャンプしようとしました。");
}

TEST(Events, EventDuringWaitRunsAfterTheStatement)
{
    TObjFixture f;
    QTimer::singleShot(100, [&f] {
        if (TObjNode* rec = f.Record("B1ボタン"))
            static_cast<QPushButton*>(ObjectWidget(rec))->click();
    });
    ASSERT_TRUE(f.Run(WithLabels("B1ボタンを、作る\r\nB1ボタンの、クリックした時は、押した\r\n"
                                 "0.4秒、待つ\r\n記録=記録&「後」\r\n")))
        << f.Errors();
    EXPECT_EQ(f.Var("記録"), "押後");
}

TEST(Events, DestroyInsideItsOwnHandler)
{
    TObjFixture f;
    ASSERT_TRUE(
        f.Run("記録=「」\r\n消すボタンを、作る\r\n消すボタンの、クリックした時は、消す\r\n"
              "文エディタを、作る\r\n文エディタの、変更した時は、変更\r\n待機\r\n"
              "*消す\r\n消すボタンを、オブジェクト破壊\r\n文エディタを、オブジェクト破壊\r\n記録=「消えた」\r\n戻る\r\n"
              "*変更\r\n記録=記録&「変」\r\n戻る\r\n"))
        << f.Errors();
    f.window.show();
    QPointer<QWidget> button = ObjectWidget(f.Record("消すボタン"));
    QPointer<QWidget> edit = ObjectWidget(f.Record("文エディタ"));
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(f.Var("記録"), "消えた");   // emptying the edit ran no change handler
    EXPECT_EQ(f.Record("消すボタン"), nullptr);
    EXPECT_EQ(f.st.Words.FindExact(S("消すボタン")), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(button.isNull());
    EXPECT_TRUE(edit.isNull());
}

TEST(Events, ConsoleRefusesWindowCommands)
{
    const QString cli = QFileInfo(QStringLiteral(PORUKANA_GUI_EXE)).dir().filePath(QStringLiteral("porukana-cli"));
    if (!QFileInfo::exists(cli))
        GTEST_SKIP() << "no console executable";
    QTemporaryDir dir;
    struct Row {
        const char* script;
        const char* message;
    };
    const Row rows[] = {
        {"B1ボタンを、作る\r\n", "\"作る\"は、ウィンドウが必要なため、この実行環境では使えません。"},
        {"1秒後に、Aへ飛ぶ、タイマー設定\r\n",
         "\"タイマー設定\"は、ウィンドウが必要なため、この実行環境では使えません。"},
        {"母艦の、幅を、Aに、得る\r\n", "\"得る\"は、ウィンドウが必要なため、この実行環境では使えません。"},
        {"母艦最大化\r\n", "\"母艦最大化\"は、ウィンドウが必要なため、この実行環境では使えません。"},
        {"A=母艦の、幅\r\n", "\"母艦の幅\"は、ウィンドウが必要なため、この実行環境では使えません。"},
    };
    for (const Row& r : rows) {
        const QString path = dir.filePath(QStringLiteral("w.prk"));
        {
            std::ofstream out(path.toStdString(), std::ios::binary);
            out << S(r.script);
        }
        QProcess p;
        p.start(cli, {path});
        ASSERT_TRUE(p.waitForFinished(20000));
        const std::string err = p.readAllStandardError().toStdString();
        EXPECT_NE(err.find(r.message), std::string::npos) << r.script << err;
        EXPECT_EQ(p.exitCode(), 1) << r.script;
    }
}

}   // namespace

namespace {

TEST(Events, FormSampleReactsToAClick)
{
    const std::string path = std::string(PORUKANA_SOURCE_DIR) + "/examples/form.prk";
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in.good()) << path;
    const std::string sjis((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    TObjFixture f;
    ASSERT_TRUE(f.Run(SjisToUtf8(sjis))) << f.Errors();
    f.window.show();
    QWidget* add = ObjectWidget(f.Record("追加ボタン"));
    QTest::mouseClick(add, Qt::LeftButton);
    static_cast<QLineEdit*>(ObjectWidget(f.Record("名前エディタ")))->setText(QStringLiteral("みかん"));
    QTest::mouseClick(add, Qt::LeftButton);
    EXPECT_FALSE(f.st.StoppedByError) << f.Errors();
    auto* grid = static_cast<TSortGrid*>(ObjectWidget(f.Record("表グリッド")));
    ASSERT_TRUE(f.Run("一覧=一覧リストの、アイテム\r\n表=表グリッドの、アイテム\r\n文=結果ラベルの、テキスト\r\n"))
        << f.Errors();
    EXPECT_EQ(f.Var("一覧"), "りんご\r\nみかん\r\n");
    EXPECT_EQ(f.Var("表"), "名前,文字数\r\nりんご,3\r\nみかん,3\r\n");
    EXPECT_EQ(f.Var("文"), "追加しました: 2件");
    EXPECT_EQ(grid->rowCount(), 4);
}

}   // namespace

namespace {

TEST(Events, FilesDroppedOnControls)
{
    TObjFixture f;
    ASSERT_TRUE(f.Run(WithLabels("受けメモを、作る\r\n受けメモの、ファイルドロップは、1\r\n"
                                 "受けリストを、作る\r\n受けリストの、ファイルドロップは、1\r\n"
                                 "受けリストの、ファイルドロップした時は、押した\r\n")))
        << f.Errors();
    f.window.show();
    auto drop = [](QWidget* target) {
        QMimeData data;
        data.setUrls(
            {QUrl::fromLocalFile(QStringLiteral("/tmp/一.txt")), QUrl::fromLocalFile(QStringLiteral("/tmp/b.txt"))});
        QWidget* receiver = target;
        if (auto* area = qobject_cast<QAbstractScrollArea*>(target))
            receiver = area->viewport();
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(receiver, &enter);
        QDropEvent e(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(receiver, &e);
    };
    // Without a handler a memo appends the names; with one the handler runs.
    drop(ObjectWidget(f.Record("受けメモ")));
    ASSERT_TRUE(f.Run("文=受けメモの、テキスト\r\n")) << f.Errors();
    EXPECT_EQ(f.Var("文"), "/tmp/一.txt\r\n/tmp/b.txt");
    drop(ObjectWidget(f.Record("受けリスト")));
    EXPECT_EQ(f.Var("記録"), "押");
    EXPECT_EQ(f.Var("イベントの値"), "/tmp/一.txt\r\n/tmp/b.txt");
    ASSERT_TRUE(f.Run("項=受けリストの、アイテム\r\n")) << f.Errors();
    EXPECT_EQ(f.Var("項"), "");
}

TEST(Events, WindowResizeReportsChange)
{
    TObjFixture f;
    ASSERT_TRUE(f.Run(WithLabels("窓フォームを、作る\r\n窓フォームの、変更した時は、変わった\r\n"))) << f.Errors();
    const std::string before = f.Var("記録");
    QWidget* form = ObjectWidget(f.Record("窓フォーム"));
    form->resize(400, 300);
    QCoreApplication::processEvents();
    EXPECT_GT(f.Var("記録").size(), before.size());
    ASSERT_TRUE(f.Run("幅=窓フォームの、幅\r\n")) << f.Errors();
    EXPECT_EQ(f.Var("幅"), "400");
    QImage* canvas = ObjectCanvas(f.st, f.Record("窓フォーム"));
    ASSERT_NE(canvas, nullptr);
    EXPECT_GE(canvas->width(), 400);   // the background followed the window
}

TEST(Events, LongComputationStillCloses)
{
    TObjFixture f;
    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(200, &f.window, [&f] { f.window.close(); });
    f.Run("A=0\r\n10000000回\r\n  A=A+1\r\n");
    EXPECT_TRUE(f.window.IsClosed());
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_NE(f.Var("A"), "10000000");
}

TEST(WindowCommands, Messages)
{
    struct Row {
        const char* script;
        const char* message;
    };
    const Row rows[] = {
        {"B1ボタンを、最大化\r\n", "オブジェクト\"B1ボタン\"は、\"フォーム\"ではありません。"},
        {"B1ボタンを、E1エディタへ、乗せる\r\n",
         "\"E1エディタ\"命令の引数に誤りがあります。パネルとフォームなど以外には乗せられません。"},
        {"「なし」を、中央へ移動\r\n", "オブジェクト\"なし\"は、作成されていません。"},
        {"B1ボタンに、「頁」の、タブ追加\r\n",
         "\"B1ボタン\"命令の引数に誤りがあります。タブページ部品を指定してください。"},
        {"B1ボタンの、ブラウザ戻る\r\n", "\"B1ボタン\"命令の引数に誤りがあります。ブラウザ部品を指定してください。"},
        {"E1エディタの、可視は、0\r\nE1エディタに、注目\r\n", "\"E1エディタ\"には、注目できません。"},
    };
    for (const Row& r : rows) {
        TObjFixture f;
        EXPECT_FALSE(f.Run(std::string("B1ボタンを、作る\r\nE1エディタを、作る\r\n") + r.script)) << r.script;
        EXPECT_EQ(f.LastError(), r.message) << r.script;
    }
}

TEST(WindowCommands, ContainersTabsAndCentring)
{
    TObjFixture f;
    ASSERT_TRUE(
        f.Run("台パネルを、作る\r\n台パネルの、サイズは、「0,0,300,200」\r\n"
              "B1ボタンを、作る\r\nB1ボタンを、台パネルへ、乗せる\r\nB1ボタンを、中央へ移動\r\n"
              "頁タブページを、作る\r\n頁タブページに、「一」の、タブ追加\r\n頁タブページに、「二」の、タブ追加\r\n"
              "頁タブページの、値は、1\r\n頁タブページを、2に、タブ有効変更\r\n"
              "子=台パネルの、アイテム\r\n"))
        << f.Errors();
    QWidget* b = ObjectWidget(f.Record("B1ボタン"));
    EXPECT_EQ(b->parentWidget(), ObjectWidget(f.Record("台パネル")));
    EXPECT_EQ(b->pos(), QPoint((300 - b->width()) / 2, (200 - b->height()) / 2));
    EXPECT_EQ(f.Var("子"), "B1ボタン\r\n");
    auto* tabs = static_cast<QTabWidget*>(ObjectWidget(f.Record("頁タブページ")));
    EXPECT_EQ(tabs->count(), 2);
    EXPECT_FALSE(tabs->widget(1)->isEnabled());
    EXPECT_EQ(tabs->currentIndex(), 1);   // the disabled page stays the current one
    ASSERT_TRUE(f.Run("頁タブページを、1に、タブ有効変更\r\n")) << f.Errors();
    EXPECT_TRUE(tabs->widget(1)->isEnabled());
}

}   // namespace

namespace {

TEST(Events, VirtualKeysAndModifierTexts)
{
    const struct {
        int key;
        Qt::KeyboardModifiers mods;
        int vk;
    } keys[] = {
        {Qt::Key_A, {}, 65},
        {Qt::Key_Z, {}, 90},
        {Qt::Key_0, {}, 48},
        {Qt::Key_9, {}, 57},
        {Qt::Key_F1, {}, 112},
        {Qt::Key_F12, {}, 123},
        {Qt::Key_Return, {}, 13},
        {Qt::Key_Enter, {}, 13},
        {Qt::Key_Escape, {}, 27},
        {Qt::Key_Space, {}, 32},
        {Qt::Key_Left, {}, 37},
        {Qt::Key_Up, {}, 38},
        {Qt::Key_Right, {}, 39},
        {Qt::Key_Down, {}, 40},
        {Qt::Key_Shift, {}, 16},
        {Qt::Key_Control, {}, 17},
        {Qt::Key_Alt, {}, 18},
        {Qt::Key_Delete, {}, 46},
        {Qt::Key_Backspace, {}, 8},
        {Qt::Key_Tab, {}, 9},
        {Qt::Key_Home, {}, 36},
        {Qt::Key_0, Qt::KeypadModifier, 96},
        {Qt::Key_Plus, Qt::KeypadModifier, 107},
        {Qt::Key_Slash, Qt::KeypadModifier, 111},
        {Qt::Key_Comma, {}, 188},
        {Qt::Key_unknown, {}, 0},
    };
    for (const auto& k : keys)
        EXPECT_EQ(VirtualKey(k.key, k.mods), k.vk) << k.key;

    const struct {
        Qt::KeyboardModifiers mods;
        Qt::MouseButtons buttons;
        bool dbl;
        const char* text;
    } mods[] = {
        {{}, {}, false, ""},
        {Qt::ShiftModifier, Qt::LeftButton, false, "Shift\r\nLeft"},
        {Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier, {}, false, "Shift\r\nAlt\r\nCtrl"},
        {{}, Qt::RightButton | Qt::MiddleButton, false, "Right\r\nMiddle"},
        {{}, Qt::LeftButton, true, "Left\r\nDouble"},
    };
    for (const auto& m : mods)
        EXPECT_EQ(ModifierText(m.mods, m.buttons, m.dbl), m.text);
}

TEST(Events, HandlerCodeForms)
{
    struct Row {
        const char* value;   // written after クリックした時は、
        const char* after;   // 記録 after a click
    };
    const Row rows[] = {
        {"押した", "押"},
        {"(記録=「括弧」)", "括弧"},
        {"`記録=「引用」`", "引用"},
        {"\"\"", ""},
    };
    for (const Row& r : rows) {
        TObjFixture f;
        ASSERT_TRUE(
            f.Run(WithLabels(std::string("B1ボタンを、作る\r\nB1ボタンの、クリックした時は、") + r.value + "\r\n")))
            << r.value << f.Errors();
        f.window.show();
        QTest::mouseClick(ObjectWidget(f.Record("B1ボタン")), Qt::LeftButton);
        EXPECT_EQ(f.Var("記録"), r.after) << r.value;
        // The code of a handler given as text is kept in the record.
        TObjNode* rec = f.Record("B1ボタン");
        EXPECT_EQ(rec->EventPos[esClick] != nullptr, *r.after != '\0') << r.value;
    }
}

TEST(Events, EditorColoursItsText)
{
    TObjFixture f;
    // 作る would make an エディタ of this name: エディタ is the earlier kind that matches.
    ASSERT_TRUE(f.Run("編集Tエディタを、Tエディタとして、作成\r\n")) << f.Errors();
    ASSERT_EQ(f.Record("編集Tエディタ")->ClassCode, okTEditor);
    auto* editor = static_cast<QPlainTextEdit*>(ObjectWidget(f.Record("編集Tエディタ")));
    editor->setPlainText(QStringLiteral("A=1\n「こんにちは」を、表示 'メモ\n*ラベル"));
    editor->show();
    QCoreApplication::processEvents();
    ASSERT_EQ(editor->document()->blockCount(), 3);
    auto colourAt = [editor](int line, int column) {
        const QTextBlock b = editor->document()->findBlockByNumber(line);
        if (!b.isValid() || !b.layout())
            return QColor();
        for (const QTextLayout::FormatRange& r : b.layout()->formats())
            if (column >= r.start && column < r.start + r.length)
                return r.format.foreground().color();
        return QColor();
    };
    const QColor number = colourAt(0, 2);
    const QColor string = colourAt(1, 1);
    const QColor particle = colourAt(1, 7);
    const QColor command = colourAt(1, 9);
    const QColor comment = colourAt(1, 13);
    const QColor label = colourAt(2, 1);
    const QColor none = colourAt(0, 0);
    for (const QColor& c : {number, string, particle, command, comment, label})
        EXPECT_TRUE(c.isValid());
    EXPECT_FALSE(none.isValid());
    // Each class has its own colour.
    const QList<QColor> all = {number, string, particle, command, comment, label};
    for (int i = 0; i < all.size(); ++i)
        for (int j = i + 1; j < all.size(); ++j)
            EXPECT_NE(all[i], all[j]) << i << " " << j;
    ASSERT_TRUE(f.Run("全=編集Tエディタ\r\n")) << f.Errors();
    EXPECT_EQ(f.Var("全"), "A=1\r\n「こんにちは」を、表示 'メモ\r\n*ラベル");
}

TEST(WindowCommands, SendMessageAnswers)
{
    TObjFixture f;
    ASSERT_TRUE(f.Run("E1エディタを、作る\r\nE1エディタ=「abc」\r\n"
                      "E1エディタに、「14,0,0」と、メッセージ送信\r\n長さ=それ\r\n"
                      "E1エディタに、「13,0,新変数」と、メッセージ送信\r\n"
                      "元=「xyz」\r\nE1エディタに、「12,0,元」と、メッセージ送信\r\n後=E1エディタ\r\n"
                      "E1エディタに、「999,1,2」と、メッセージ送信\r\n他=それ\r\n"))
        << f.Errors();
    EXPECT_EQ(f.Var("長さ"), "3");
    EXPECT_EQ(f.Var("新変数"), "abc");   // created by the message and filled
    EXPECT_EQ(f.Var("後"), "xyz");
    EXPECT_EQ(f.Var("他"), "0");
    EXPECT_FALSE(f.Run("E1エディタに、「-1,0,0」と、メッセージ送信\r\n"));
    EXPECT_EQ(f.LastError(), "\"メッセージ送信\"命令の引数に誤りがあります。");
}

}   // namespace
