#include "porupad/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDialogButtonBox>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTimer>
#include <QVBoxLayout>
#include <thread>

#include "core/codec.h"
#include "langsvc/document.h"
#include "langsvc/tokens.h"
#include "langsvc/utf8.h"
#include "porupad/dialogs.h"
#include "services/ipc_names.h"
#include "services/ipc_service.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace {

constexpr int kLinkTimeoutMs = 1500;

QString Q(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

langsvc::TTextEncoding NewFileEncoding()
{
    return QSettings().value(QStringLiteral("newEncoding")).toString() == QLatin1String("shiftjis")
               ? langsvc::TTextEncoding::ShiftJis
               : langsvc::TTextEncoding::Utf8;
}

// The process that serves (service, "command"): the peer of a connection to the
// server's socket; 0 when nobody serves it.
pid_t ServerProcess(const std::string& service)
{
    const std::string folder = ChannelFolder();
    if (folder.empty())
        return 0;
    const std::string path = ChannelSocketPath(folder, service, Utf8ToSjis("command"));
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path)
        return 0;
    std::memcpy(addr.sun_path, path.data(), path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    pid_t pid = 0;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        ucred cred{};
        socklen_t length = sizeof cred;
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &length) == 0)
            pid = cred.pid;
    }
    ::close(fd);
    return pid;
}

QString BackupNameOf(const TCodeEditor* editor)
{
    const QString key = editor->Path.isEmpty() ? QStringLiteral("untitled-%1").arg(quintptr(editor)) : editor->Path;
    return QString::fromLatin1(QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex());
}

}   // namespace

TPorupadWindow::TPorupadWindow(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("porupad"));
    resize(1000, 700);
    tabs_ = new QTabWidget(this);
    tabs_->setTabsClosable(true);
    tabs_->setMovable(true);
    tabs_->setDocumentMode(true);
    setCentralWidget(tabs_);
    connect(tabs_, &QTabWidget::tabCloseRequested, this, [this](int i) { CloseTab(i); });
    connect(tabs_, &QTabWidget::currentChanged, this, [this] {
        UpdateOutline();
        UpdateStatus();
    });
    status_ = new QLabel(this);
    statusBar()->addPermanentWidget(status_);

    find_ = new TFindDialog(this, [this] { return CurrentEditor(); });
    palette_ = new TPaletteDialog(this, [this](const QString& call) {
        if (TCodeEditor* e = CurrentEditor())
            e->InsertCall(call);
    });

    checkTimer_ = new QTimer(this);
    checkTimer_->setSingleShot(true);
    connect(checkTimer_, &QTimer::timeout, this, [this] {
        if (TCodeEditor* e = CurrentEditor())
            CheckNow(e);
        UpdateOutline();
    });
    backupTimer_ = new QTimer(this);
    connect(backupTimer_, &QTimer::timeout, this, [this] { WriteBackups(); });
    // While a program runs line by line, its line is shown as it stops at each one.
    stepTimer_ = new QTimer(this);
    stepTimer_->setInterval(700);
    connect(stepTimer_, &QTimer::timeout, this, [this] {
        if (!Running())
            stepTimer_->stop();
        else if (RuntimeLinked())
            SendToRuntime(QStringLiteral("line porupad"), QString());
    });

    BuildDocks();
    BuildMenus();
    ApplySettings();

    // The editor's side of the run-time's link.
    channels_ = NewLocalChannelService();
    std::string reason;
    link_ = channels_->Listen(
        Utf8ToSjis("porupad"), Utf8ToSjis("command"), false,
        [this](const std::string& text) {
            HandleLinkRequest(Q(SjisToUtf8(text)));
            return true;
        },
        reason);
    if (!link_)
        statusBar()->showMessage(
            QStringLiteral("実行中のプログラムとの連携が使えません（") + Q(reason) + QStringLiteral("）。"), 8000);
    QTimer::singleShot(0, this, [this] { OfferBackups(); });
}

TPorupadWindow::~TPorupadWindow()
{
    if (process_ && process_->state() != QProcess::NotRunning) {
        process_->kill();
        process_->waitForFinished(2000);
    }
}

// --- menus and panes ---

void TPorupadWindow::BuildMenus()
{
    auto add = [this](QMenu* menu, const QString& key, const QString& text, const QKeySequence& keys, auto slot) {
        QAction* a = menu->addAction(text);
        a->setShortcut(keys);
        a->setProperty("defaultKeys", keys.toString(QKeySequence::PortableText));
        connect(a, &QAction::triggered, this, slot);
        actions_[key] = a;
        return a;
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    add(file, QStringLiteral("new"), QStringLiteral("新規(&N)"), QKeySequence::New, [this] { NewFile(); });
    add(file, QStringLiteral("open"), QStringLiteral("開く(&O)..."), QKeySequence::Open, [this] {
        const QStringList files =
            QFileDialog::getOpenFileNames(this, QStringLiteral("開く"), QString(),
                                          QStringLiteral("ぽるかなのプログラム (*.prk);;すべてのファイル (*)"));
        for (const QString& f : files)
            OpenFile(f);
    });
    recentMenu_ = file->addMenu(QStringLiteral("最近使ったファイル(&R)"));
    add(file, QStringLiteral("save"), QStringLiteral("上書き保存(&S)"), QKeySequence::Save, [this] {
        if (TCodeEditor* e = CurrentEditor())
            Save(e);
    });
    add(file, QStringLiteral("saveAs"), QStringLiteral("名前を付けて保存(&A)..."), QKeySequence::SaveAs, [this] {
        if (TCodeEditor* e = CurrentEditor())
            SaveAs(e);
    });
    QMenu* encoding = file->addMenu(QStringLiteral("文字コードと改行(&E)"));
    auto setEncoding = [this](langsvc::TTextEncoding enc) {
        if (TCodeEditor* e = CurrentEditor()) {
            e->Encoding = enc;
            e->document()->setModified(true);
            UpdateStatus();
        }
    };
    auto setLineEnd = [this](langsvc::TLineEnd end) {
        if (TCodeEditor* e = CurrentEditor()) {
            e->LineEnd = end;
            e->document()->setModified(true);
            UpdateStatus();
        }
    };
    connect(encoding->addAction(QStringLiteral("UTF-8 で保存する")), &QAction::triggered, this,
            [setEncoding] { setEncoding(langsvc::TTextEncoding::Utf8); });
    connect(encoding->addAction(QStringLiteral("UTF-8 (BOM付き) で保存する")), &QAction::triggered, this,
            [setEncoding] { setEncoding(langsvc::TTextEncoding::Utf8Bom); });
    connect(encoding->addAction(QStringLiteral("Shift_JIS で保存する")), &QAction::triggered, this,
            [setEncoding] { setEncoding(langsvc::TTextEncoding::ShiftJis); });
    encoding->addSeparator();
    connect(encoding->addAction(QStringLiteral("改行を CRLF にする")), &QAction::triggered, this,
            [setLineEnd] { setLineEnd(langsvc::TLineEnd::CrLf); });
    connect(encoding->addAction(QStringLiteral("改行を LF にする")), &QAction::triggered, this,
            [setLineEnd] { setLineEnd(langsvc::TLineEnd::Lf); });
    file->addSeparator();
    add(file, QStringLiteral("pack"), QStringLiteral("実行ファイルを作る(&B)..."), QKeySequence(),
        [this] { MakeExecutable(); });
    file->addSeparator();
    add(file, QStringLiteral("closeTab"), QStringLiteral("閉じる(&C)"), QKeySequence::Close,
        [this] { CloseTab(tabs_->currentIndex()); });
    add(file, QStringLiteral("quit"), QStringLiteral("終了(&X)"), QKeySequence::Quit, [this] { close(); });

    QMenu* edit = menuBar()->addMenu(QStringLiteral("編集(&E)"));
    add(edit, QStringLiteral("undo"), QStringLiteral("元に戻す(&U)"), QKeySequence::Undo, [this] {
        if (TCodeEditor* e = CurrentEditor())
            e->undo();
    });
    add(edit, QStringLiteral("redo"), QStringLiteral("やり直し(&R)"), QKeySequence::Redo, [this] {
        if (TCodeEditor* e = CurrentEditor())
            e->redo();
    });
    edit->addSeparator();
    add(edit, QStringLiteral("find"), QStringLiteral("検索と置換(&F)..."), QKeySequence::Find, [this] {
        if (TCodeEditor* e = CurrentEditor(); e && e->textCursor().hasSelection())
            find_->SetPattern(e->textCursor().selectedText());
        find_->show();
        find_->raise();
        find_->FindField()->setFocus();
    });
    add(edit, QStringLiteral("findNext"), QStringLiteral("次を検索(&N)"), QKeySequence::FindNext,
        [this] { find_->FindNext(false); });
    add(edit, QStringLiteral("findPrevious"), QStringLiteral("前を検索(&P)"), QKeySequence::FindPrevious,
        [this] { find_->FindNext(true); });
    add(edit, QStringLiteral("goToLine"), QStringLiteral("指定行へ移動(&G)..."), QKeySequence(Qt::CTRL | Qt::Key_G),
        [this] {
            TCodeEditor* e = CurrentEditor();
            if (!e)
                return;
            bool ok = false;
            const int line = QInputDialog::getInt(this, QStringLiteral("指定行へ移動"), QStringLiteral("行番号:"),
                                                  e->CursorLine(), 1, e->blockCount(), 1, &ok);
            if (ok)
                e->GoToLine(line);
        });
    edit->addSeparator();
    add(edit, QStringLiteral("complete"), QStringLiteral("補完(&C)"), QKeySequence(Qt::CTRL | Qt::Key_Space), [this] {
        if (TCodeEditor* e = CurrentEditor())
            e->ShowCompletions(true);
    });
    add(edit, QStringLiteral("palette"), QStringLiteral("命令パレット(&P)..."),
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P), [this] { ShowPalette(); });
    edit->addSeparator();
    add(edit, QStringLiteral("settings"), QStringLiteral("設定とキー割り当て(&S)..."), QKeySequence(),
        [this] { ShowSettings(); });

    QMenu* run = menuBar()->addMenu(QStringLiteral("実行(&R)"));
    add(run, QStringLiteral("run"), QStringLiteral("実行(&R)"), QKeySequence(Qt::Key_F5), [this] { Run(true); });
    add(run, QStringLiteral("runConsole"), QStringLiteral("コンソールで実行(&C)"), QKeySequence(Qt::SHIFT | Qt::Key_F5),
        [this] { Run(false); });
    add(run, QStringLiteral("runStep"), QStringLiteral("一行ずつ実行(&L)"), QKeySequence(Qt::Key_F8),
        [this] { Run(true, true); });
    run->addSeparator();
    add(run, QStringLiteral("stop"), QStringLiteral("停止(&S)"), QKeySequence(Qt::CTRL | Qt::Key_F5),
        [this] { Stop(); });
    add(run, QStringLiteral("pause"), QStringLiteral("一時停止（デバッグ）(&P)"), QKeySequence(Qt::Key_F6),
        [this] { Pause(); });
    add(run, QStringLiteral("line"), QStringLiteral("実行中の行を表示(&L)"), QKeySequence(Qt::Key_F7),
        [this] { AskCurrentLine(); });

    QMenu* view = menuBar()->addMenu(QStringLiteral("表示(&V)"));
    view->addAction(helpDock_->toggleViewAction());
    view->addAction(outputDock_->toggleViewAction());
    for (QDockWidget* d : findChildren<QDockWidget*>())
        if (d != helpDock_ && d != outputDock_)
            view->addAction(d->toggleViewAction());

    QMenu* help = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
    add(help, QStringLiteral("help"), QStringLiteral("カーソル位置の言葉の説明(&H)"), QKeySequence(Qt::Key_F1),
        [this] { ShowHelpForCursor(); });
    connect(help->addAction(QStringLiteral("porupad について(&A)")), &QAction::triggered, this, [this] {
        QMessageBox::about(this, QStringLiteral("porupad について"),
                           QStringLiteral("porupad — ぽるかなのプログラムを書いて、実行して、調べるエディタ"));
    });
    FillRecentMenu();
}

void TPorupadWindow::BuildDocks()
{
    outline_ = new QListWidget(this);
    outline_->setObjectName(QStringLiteral("outline"));
    auto* outlineDock = new QDockWidget(QStringLiteral("ラベル一覧"), this);
    outlineDock->setObjectName(QStringLiteral("outlineDock"));
    outlineDock->setWidget(outline_);
    addDockWidget(Qt::LeftDockWidgetArea, outlineDock);
    connect(outline_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        if (TCodeEditor* e = CurrentEditor())
            e->GoToLine(item->data(Qt::UserRole).toInt());
    });
    connect(outline_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        if (TCodeEditor* e = CurrentEditor())
            e->GoToLine(item->data(Qt::UserRole).toInt());
    });

    help_ = new QTextBrowser(this);
    help_->setPlaceholderText(QStringLiteral("言葉の上で F1 を押すと、ここに説明が出ます。"));
    helpDock_ = new QDockWidget(QStringLiteral("説明"), this);
    helpDock_->setObjectName(QStringLiteral("help"));
    helpDock_->setWidget(help_);
    addDockWidget(Qt::RightDockWidgetArea, helpDock_);

    auto* runPane = new QWidget(this);
    output_ = new QPlainTextEdit(runPane);
    output_->setReadOnly(true);
    output_->setMaximumBlockCount(20000);
    input_ = new QLineEdit(runPane);
    input_->setPlaceholderText(QStringLiteral("標準入力（尋ねるへの答え）: 入力して Enter"));
    auto* layout = new QVBoxLayout(runPane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(output_);
    layout->addWidget(input_);
    connect(input_, &QLineEdit::returnPressed, this, [this] {
        if (!process_ || process_->state() != QProcess::Running)
            return;
        const QString line = input_->text();
        process_->write((line + QStringLiteral("\n")).toUtf8());
        AppendOutput(line + QStringLiteral("\n"), false);
        input_->clear();
    });
    outputDock_ = new QDockWidget(QStringLiteral("出力"), this);
    outputDock_->setObjectName(QStringLiteral("output"));
    outputDock_->setWidget(runPane);
    addDockWidget(Qt::BottomDockWidgetArea, outputDock_);
    resizeDocks({outlineDock, helpDock_}, {150, 340}, Qt::Horizontal);
    resizeDocks({outputDock_}, {170}, Qt::Vertical);
}

// --- files ---

TCodeEditor* TPorupadWindow::AddTab(TCodeEditor* editor, const QString& title)
{
    const int index = tabs_->addTab(editor, title);
    tabs_->setCurrentIndex(index);
    connect(editor->document(), &QTextDocument::modificationChanged, this, [this, editor] { UpdateTitle(editor); });
    connect(editor, &QPlainTextEdit::textChanged, this,
            [this] { checkTimer_->start(QSettings().value(QStringLiteral("checkDelayMs"), 600).toInt()); });
    connect(editor, &QPlainTextEdit::cursorPositionChanged, this, [this] { UpdateStatus(); });
    QSettings s;
    QFont f = editor->font();
    f.setPointSize(s.value(QStringLiteral("fontSize"), 11).toInt());
    editor->setFont(f);
    editor->SetTabWidth(s.value(QStringLiteral("tabWidth"), 4).toInt());
    UpdateTitle(editor);
    UpdateOutline();
    UpdateStatus();
    checkTimer_->start(0);
    editor->setFocus();
    return editor;
}

TCodeEditor* TPorupadWindow::NewFile()
{
    auto* editor = new TCodeEditor(tabs_);
    editor->Encoding = NewFileEncoding();
    editor->LineEnd =
        editor->Encoding == langsvc::TTextEncoding::ShiftJis ? langsvc::TLineEnd::CrLf : langsvc::TLineEnd::Lf;
    return AddTab(editor, QStringLiteral("無題%1").arg(++untitled_));
}

TCodeEditor* TPorupadWindow::OpenFile(const QString& path)
{
    const QString full = QFileInfo(path).absoluteFilePath();
    for (int i = 0; i < tabs_->count(); ++i)
        if (auto* e = static_cast<TCodeEditor*>(tabs_->widget(i)); e->Path == full) {
            tabs_->setCurrentIndex(i);
            return e;
        }
    QFile file(full);
    if (!file.open(QIODevice::ReadOnly)) {
        QMessageBox::warning(this, QStringLiteral("開く"),
                             QStringLiteral("ファイル「%1」を開けません（%2）。").arg(full, file.errorString()));
        return nullptr;
    }
    const QByteArray bytes = file.readAll();
    const langsvc::TDecodedText decoded = langsvc::DecodeScript(bytes.toStdString(), NewFileEncoding());
    auto* editor = new TCodeEditor(tabs_);
    editor->Path = full;
    editor->Encoding = decoded.Encoding;
    editor->LineEnd = decoded.LineEnd;
    editor->setPlainText(Q(decoded.Text));
    editor->document()->setModified(false);
    AddTab(editor, QFileInfo(full).fileName());
    AddRecent(full);
    if (!decoded.Exact)
        statusBar()->showMessage(
            QStringLiteral("このファイルは改行の種類が混ざっているか、読めない文字を含みます。"
                           "保存すると %1・%2 にそろえます。")
                .arg(langsvc::EncodingName(decoded.Encoding), langsvc::LineEndName(decoded.LineEnd)),
            10000);
    return editor;
}

bool TPorupadWindow::Save(TCodeEditor* editor)
{
    if (editor->Path.isEmpty())
        return SaveAs(editor);
    const std::string bytes = editor->FileBytes();
    // A character without a Shift_JIS code would be written as a private-use one.
    std::string converted;
    if (editor->Encoding == langsvc::TTextEncoding::ShiftJis &&
        Utf8ToSjisStrict(editor->Utf8Text(), converted) != std::string::npos) {
        const auto answer = QMessageBox::question(
            this, QStringLiteral("保存"),
            QStringLiteral(
                "Shift_JIS にない文字があります。UTF-8 で保存しますか？（「いいえ」なら Shift_JIS のまま保存します）"),
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        if (answer == QMessageBox::Cancel)
            return false;
        if (answer == QMessageBox::Yes) {
            editor->Encoding = langsvc::TTextEncoding::Utf8;
            return Save(editor);
        }
    }
    QSaveFile file(editor->Path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()) ||
        !file.commit()) {
        QMessageBox::warning(
            this, QStringLiteral("保存"),
            QStringLiteral("ファイル「%1」に保存できません（%2）。").arg(editor->Path, file.errorString()));
        return false;
    }
    editor->document()->setModified(false);
    RemoveBackup(editor);
    UpdateStatus();
    return true;
}

bool TPorupadWindow::SaveAs(TCodeEditor* editor, const QString& path)
{
    QString target = path;
    if (target.isEmpty())
        target = QFileDialog::getSaveFileName(this, QStringLiteral("名前を付けて保存"),
                                              editor->Path.isEmpty() ? QStringLiteral("無題.prk") : editor->Path,
                                              QStringLiteral("ぽるかなのプログラム (*.prk);;すべてのファイル (*)"));
    if (target.isEmpty())
        return false;
    RemoveBackup(editor);
    editor->Path = QFileInfo(target).absoluteFilePath();
    if (!Save(editor))
        return false;
    tabs_->setTabText(tabs_->indexOf(editor), QFileInfo(editor->Path).fileName());
    AddRecent(editor->Path);
    UpdateTitle(editor);
    return true;
}

TCodeEditor* TPorupadWindow::CurrentEditor() const
{
    return static_cast<TCodeEditor*>(tabs_->currentWidget());
}

bool TPorupadWindow::MaySave(TCodeEditor* editor)
{
    if (!editor->document()->isModified())
        return true;
    tabs_->setCurrentWidget(editor);
    const QString name =
        editor->Path.isEmpty() ? tabs_->tabText(tabs_->indexOf(editor)) : QFileInfo(editor->Path).fileName();
    const auto answer = QMessageBox::question(this, QStringLiteral("porupad"),
                                              QStringLiteral("「%1」は変更されています。保存しますか？").arg(name),
                                              QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    if (answer == QMessageBox::Save)
        return Save(editor);
    return answer == QMessageBox::Discard;
}

bool TPorupadWindow::CloseTab(int index)
{
    auto* editor = static_cast<TCodeEditor*>(tabs_->widget(index));
    if (!editor || !MaySave(editor))
        return false;
    RemoveBackup(editor);
    if (running_ == editor)
        running_ = nullptr;
    tabs_->removeTab(index);
    editor->deleteLater();
    return true;
}

void TPorupadWindow::closeEvent(QCloseEvent* event)
{
    for (int i = 0; i < tabs_->count(); ++i)
        if (!MaySave(static_cast<TCodeEditor*>(tabs_->widget(i)))) {
            event->ignore();
            return;
        }
    for (int i = 0; i < tabs_->count(); ++i)
        RemoveBackup(static_cast<TCodeEditor*>(tabs_->widget(i)));
    event->accept();
}

void TPorupadWindow::UpdateTitle(TCodeEditor* editor)
{
    const int index = tabs_->indexOf(editor);
    if (index < 0)
        return;
    QString name = editor->Path.isEmpty() ? tabs_->tabText(index).remove(QStringLiteral(" *"))
                                          : QFileInfo(editor->Path).fileName();
    if (editor->document()->isModified())
        name += QStringLiteral(" *");
    tabs_->setTabText(index, name);
    tabs_->setTabToolTip(index, editor->Path);
    if (editor == CurrentEditor())
        setWindowTitle(name + QStringLiteral(" - porupad"));
}

void TPorupadWindow::UpdateStatus()
{
    TCodeEditor* e = CurrentEditor();
    if (!e) {
        status_->clear();
        return;
    }
    const QTextCursor c = e->textCursor();
    status_->setText(QStringLiteral("%1行 %2列　%3　%4")
                         .arg(c.blockNumber() + 1)
                         .arg(c.positionInBlock() + 1)
                         .arg(langsvc::EncodingName(e->Encoding), langsvc::LineEndName(e->LineEnd)));
    UpdateTitle(e);
}

void TPorupadWindow::UpdateOutline()
{
    outline_->clear();
    TCodeEditor* e = CurrentEditor();
    if (!e)
        return;
    const langsvc::TDocument doc(e->Utf8Text());
    for (const langsvc::TLabel& l : doc.Labels()) {
        auto* item = new QListWidgetItem(QStringLiteral("*") + Q(l.Name), outline_);
        item->setData(Qt::UserRole, l.Line + 1);
        item->setToolTip(QStringLiteral("%1行目").arg(l.Line + 1));
    }
}

void TPorupadWindow::AddRecent(const QString& path)
{
    QSettings s;
    QStringList recent = s.value(QStringLiteral("recentFiles")).toStringList();
    recent.removeAll(path);
    recent.prepend(path);
    while (recent.size() > 10)
        recent.removeLast();
    s.setValue(QStringLiteral("recentFiles"), recent);
    FillRecentMenu();
}

void TPorupadWindow::FillRecentMenu()
{
    recentMenu_->clear();
    const QStringList recent = QSettings().value(QStringLiteral("recentFiles")).toStringList();
    for (const QString& path : recent)
        connect(recentMenu_->addAction(path), &QAction::triggered, this, [this, path] { OpenFile(path); });
    recentMenu_->setEnabled(!recent.isEmpty());
}

QString TPorupadWindow::BackupFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/backup");
}

// --- backups: every few seconds the changed files are written aside, so that a
// crash loses nothing; saving or closing removes them ---

void TPorupadWindow::WriteBackups()
{
    QDir().mkpath(BackupFolder());
    for (int i = 0; i < tabs_->count(); ++i) {
        auto* e = static_cast<TCodeEditor*>(tabs_->widget(i));
        if (!e->document()->isModified())
            continue;
        const QString base = BackupFolder() + QLatin1Char('/') + BackupNameOf(e);
        QSaveFile data(base + QStringLiteral(".prk"));
        const std::string bytes = e->FileBytes();
        if (data.open(QIODevice::WriteOnly)) {
            data.write(bytes.data(), static_cast<qint64>(bytes.size()));
            data.commit();
        }
        QSaveFile info(base + QStringLiteral(".path"));
        if (info.open(QIODevice::WriteOnly)) {
            info.write(e->Path.toUtf8());
            info.commit();
        }
    }
}

void TPorupadWindow::RemoveBackup(TCodeEditor* editor)
{
    const QString base = BackupFolder() + QLatin1Char('/') + BackupNameOf(editor);
    QFile::remove(base + QStringLiteral(".prk"));
    QFile::remove(base + QStringLiteral(".path"));
}

void TPorupadWindow::OfferBackups()
{
    const QStringList found = QDir(BackupFolder()).entryList({QStringLiteral("*.prk")}, QDir::Files);
    if (found.isEmpty())
        return;
    const auto answer = QMessageBox::question(
        this, QStringLiteral("porupad"),
        QStringLiteral("前回、保存されずに終わったファイルが %1 個あります。復元しますか？").arg(found.size()),
        QMessageBox::Yes | QMessageBox::No);
    for (const QString& name : found) {
        const QString base = BackupFolder() + QLatin1Char('/') + name.chopped(4);
        if (answer == QMessageBox::Yes) {
            QFile info(base + QStringLiteral(".path"));
            const QString original = info.open(QIODevice::ReadOnly) ? QString::fromUtf8(info.readAll()) : QString();
            QFile data(base + QStringLiteral(".prk"));
            if (data.open(QIODevice::ReadOnly)) {
                const langsvc::TDecodedText decoded = langsvc::DecodeScript(data.readAll().toStdString());
                TCodeEditor* e = NewFile();
                e->Path = original;
                e->Encoding = decoded.Encoding;
                e->LineEnd = decoded.LineEnd;
                e->setPlainText(Q(decoded.Text));
                e->document()->setModified(true);
                if (!original.isEmpty())
                    tabs_->setTabText(tabs_->indexOf(e), QFileInfo(original).fileName());
                UpdateTitle(e);
            }
        }
        QFile::remove(base + QStringLiteral(".prk"));
        QFile::remove(base + QStringLiteral(".path"));
    }
}

// --- help, palette, checker ---

void TPorupadWindow::ShowHelpForCursor()
{
    TCodeEditor* e = CurrentEditor();
    if (!e)
        return;
    const QString word = e->WordUnderCursor();
    const std::string text = langsvc::HelpFor(word.toStdString());
    helpDock_->show();
    if (word.isEmpty())
        help_->setPlainText(QStringLiteral("カーソルの位置に言葉がありません。"));
    else if (text.empty())
        help_->setPlainText(QStringLiteral("「%1」の説明は見つかりません。").arg(word));
    else
        help_->setPlainText(Q(text));
}

QString TPorupadWindow::HelpText() const
{
    return help_->toPlainText();
}

void TPorupadWindow::ShowPalette()
{
    palette_->SetQuery(QString());
    palette_->show();
    palette_->raise();
    palette_->activateWindow();
}

void TPorupadWindow::CheckNow(TCodeEditor* editor)
{
    const std::string text = editor->Utf8Text();
    const QString path =
        editor->Path.isEmpty() ? QDir::current().absoluteFilePath(QStringLiteral("無題.prk")) : editor->Path;
    editor->SetDiagnostics(langsvc::DiagnoseText(path.toStdString(), editor->FileBytes(), langsvc::SplitLines(text)));
    int errors = 0;
    for (const langsvc::TEditorDiagnostic& d : editor->Diagnostics())
        errors += d.Error;
    const int warnings = static_cast<int>(editor->Diagnostics().size()) - errors;
    if (editor == CurrentEditor() && (errors || warnings))
        statusBar()->showMessage(QStringLiteral("エラー %1 件、注意 %2 件").arg(errors).arg(warnings), 5000);
}

// --- running ---

QString TPorupadWindow::ToolPath(const QString& name) const
{
    const QString beside = QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
    if (QFileInfo(beside).isExecutable())
        return beside;
    const QString found = QStandardPaths::findExecutable(name);
    return found.isEmpty() ? name : found;
}

QString TPorupadWindow::RuntimePath(bool window) const
{
    const QString chosen =
        QSettings().value(window ? QStringLiteral("windowRuntime") : QStringLiteral("consoleRuntime")).toString();
    if (!chosen.isEmpty())
        return chosen;
    return ToolPath(window ? QStringLiteral("porukana") : QStringLiteral("porukana-cli"));
}

bool TPorupadWindow::Running() const
{
    return process_ && process_->state() != QProcess::NotRunning;
}

void TPorupadWindow::AppendOutput(const QString& text, bool error)
{
    QTextCursor c(output_->document());
    c.movePosition(QTextCursor::End);
    QTextCharFormat f;
    f.setForeground(error ? QColor(0xb0, 0x00, 0x00) : output_->palette().text().color());
    c.insertText(text, f);
    output_->setTextCursor(c);
    output_->ensureCursorVisible();
}

void TPorupadWindow::Run(bool window, bool stepwise)
{
    TCodeEditor* e = CurrentEditor();
    if (!e)
        return;
    if (Running()) {
        statusBar()->showMessage(QStringLiteral("実行中です。先に停止してください。"), 5000);
        return;
    }
    if ((e->Path.isEmpty() || e->document()->isModified()) && !Save(e))
        return;
    delete process_;
    process_ = new QProcess(this);
    running_ = e;
    runningWindow_ = window;
    errorRest_.clear();
    output_->clear();
    outputDock_->show();
    const QFileInfo info(e->Path);
    process_->setWorkingDirectory(info.absolutePath());
    QStringList args;
    if (stepwise)
        args << QStringLiteral("-debug") << QStringLiteral("-linestop");
    args << info.fileName();
    connect(process_, &QProcess::readyReadStandardOutput, this,
            [this] { AppendOutput(QString::fromUtf8(process_->readAllStandardOutput()), false); });
    connect(process_, &QProcess::readyReadStandardError, this, [this] {
        const QString text = QString::fromUtf8(process_->readAllStandardError());
        AppendOutput(text, true);
        errorRest_ += text;
        int nl;
        while ((nl = errorRest_.indexOf(QLatin1Char('\n'))) >= 0) {
            HandleErrorLine(errorRest_.left(nl));
            errorRest_.remove(0, nl + 1);
        }
    });
    connect(process_, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        if (!errorRest_.isEmpty())
            HandleErrorLine(errorRest_);
        errorRest_.clear();
        AppendOutput(status == QProcess::CrashExit ? QStringLiteral("\n[実行が異常終了しました]\n")
                                                   : QStringLiteral("\n[終了しました（終了コード %1）]\n").arg(code),
                     false);
    });
    connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            AppendOutput(
                QStringLiteral("ランタイム「%1」を起動できません。設定でランタイムの場所を確かめてください。\n")
                    .arg(process_->program()),
                true);
    });
    const QString program = RuntimePath(window);
    AppendOutput(QStringLiteral("[%1 %2]\n").arg(QFileInfo(program).fileName(), args.join(QLatin1Char(' '))), false);
    process_->start(program, args);
    if (stepwise)
        stepTimer_->start();
    if (!window)
        input_->setFocus();
}

std::string TPorupadWindow::RuntimeService() const
{
    return Utf8ToSjis(QFileInfo(process_->program()).completeBaseName().toStdString());
}

bool TPorupadWindow::RuntimeLinked() const
{
    return Running() && ServerProcess(RuntimeService()) == static_cast<pid_t>(process_->processId());
}

void TPorupadWindow::Stop()
{
    if (!Running())
        return;
    // The run-time ends the normal way on "break" (its close label runs); one that
    // does not answer, or whose name another program of the same name holds, is
    // ended.
    if (!RuntimeLinked() ||
        SendChannelRequest(RuntimeService(), Utf8ToSjis("command"), Utf8ToSjis("break"), kLinkTimeoutMs) !=
            TChannelSend::Sent ||
        !process_->waitForFinished(3000)) {
        process_->kill();
        process_->waitForFinished(2000);
    }
}

// A request to the running program's server, sent from a thread of its own: the
// program may answer through porupad's own server ("line porupad" sends "row N")
// before it acknowledges, and that needs this thread's event loop.
void TPorupadWindow::SendToRuntime(const QString& request, const QString& failure)
{
    if (!Running())
        return;
    // Only to the program porupad started: another one of the same name may hold
    // the name.
    if (!RuntimeLinked()) {
        statusBar()->showMessage(
            QStringLiteral("実行中のプログラムと連携できません（同じ名前の別のプログラムが動いています）。"), 5000);
        return;
    }
    const std::string service = RuntimeService();
    const std::string text = Utf8ToSjis(request.toStdString());
    QPointer<TPorupadWindow> self(this);
    std::thread([self, service, text, failure] {
        const TChannelSend r = SendChannelRequest(service, Utf8ToSjis("command"), text, kLinkTimeoutMs);
        if (r == TChannelSend::Sent)
            return;
        QMetaObject::invokeMethod(qApp, [self, failure] {
            if (self && !failure.isEmpty())
                self->statusBar()->showMessage(failure, 5000);
        });
    }).detach();
}

void TPorupadWindow::Pause()
{
    SendToRuntime(QStringLiteral("pause"), QStringLiteral("実行中のプログラムに一時停止を伝えられませんでした。"));
}

void TPorupadWindow::AskCurrentLine()
{
    SendToRuntime(QStringLiteral("line porupad"), QStringLiteral("実行中のプログラムから行を受け取れませんでした。"));
}

void TPorupadWindow::HandleLinkRequest(const QString& request)
{
    const QString text = request.trimmed();
    const int space = text.indexOf(QLatin1Char(' '));
    const QString word = (space < 0 ? text : text.left(space)).trimmed();
    const QString rest = space < 0 ? QString() : text.mid(space + 1).trimmed();
    if (word != QLatin1String("row"))
        return;
    bool ok = false;
    const int line = rest.toInt(&ok);
    if (!ok || line < 1)
        return;
    TCodeEditor* e = running_ ? running_ : CurrentEditor();
    if (!e)
        return;
    tabs_->setCurrentWidget(e);
    if (e->CursorLine() != line)
        e->GoToLine(line);
    // Shown in front when asked for, not while following a program line by line
    // (its debug dialog keeps the focus).
    if (!stepTimer_->isActive()) {
        raise();
        activateWindow();
    }
    statusBar()->showMessage(QStringLiteral("実行中の行: %1行目").arg(line), 5000);
}

TCodeEditor* TPorupadWindow::EditorForFile(const QString& fileNamePart) const
{
    if (running_ && QFileInfo(running_->Path).fileName() == fileNamePart)
        return running_;
    for (int i = 0; i < tabs_->count(); ++i) {
        auto* e = static_cast<TCodeEditor*>(tabs_->widget(i));
        if (QFileInfo(e->Path).fileName() == fileNamePart)
            return e;
    }
    return nullptr;
}

bool TPorupadWindow::HandleErrorLine(const QString& line)
{
    static const QRegularExpression error(QStringLiteral("^\\[エラー\\] (.+?)\\((\\d+)行目\\)"));
    const QRegularExpressionMatch m = error.match(line.trimmed());
    if (!m.hasMatch())
        return false;
    // The file part may name the statement that ran a text ("a.prkの3行目のぽるかな"):
    // the file and the line are those of that statement.
    QString file = m.captured(1);
    int lineNo = m.captured(2).toInt();
    static const QRegularExpression outer(QStringLiteral("^(.+?)の(\\d+)行目のぽるかな"));
    if (const QRegularExpressionMatch o = outer.match(file); o.hasMatch()) {
        file = o.captured(1);
        lineNo = o.captured(2).toInt();
    }
    TCodeEditor* e = EditorForFile(file);
    if (!e && running_) {   // an included file beside the script
        const QString beside = QFileInfo(running_->Path).absoluteDir().absoluteFilePath(file);
        if (QFileInfo(beside).isFile())
            e = OpenFile(beside);
    }
    if (!e)
        return false;
    tabs_->setCurrentWidget(e);
    e->GoToLine(lineNo);
    statusBar()->showMessage(line.trimmed(), 15000);
    return true;
}

// --- packing ---

void TPorupadWindow::MakeExecutable()
{
    TCodeEditor* e = CurrentEditor();
    if (!e)
        return;
    if ((e->Path.isEmpty() || e->document()->isModified()) && !Save(e))
        return;
    const QFileInfo script(e->Path);
    QDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("実行ファイルを作る"));
    auto* output = new QLineEdit(script.absolutePath() + QLatin1Char('/') + script.completeBaseName(), &dialog);
    auto* console = new QCheckBox(QStringLiteral("コンソール版で作る"), &dialog);
    auto* bundle = new QCheckBox(QStringLiteral("実行環境ごと入れる（ぽるかなが入っていない機械でも動く）"), &dialog);
    // The files the script names that lie beside it go in too.
    QStringList files;
    const langsvc::TDocument doc(e->Utf8Text());
    for (size_t i = 0; i < doc.Lines().size(); ++i)
        for (const langsvc::TToken& t : doc.TokensOf(static_cast<int>(i))) {
            if (t.Kind != langsvc::TTokenKind::String)
                continue;
            QString s = Q(doc.Lines()[i].substr(t.Begin, t.End - t.Begin));
            if (s.size() < 3)
                continue;
            s = s.mid(1, s.size() - 2);
            const QString candidate = script.absoluteDir().absoluteFilePath(s);
            if (!s.isEmpty() && QFileInfo(candidate).isFile() && !files.contains(s) &&
                candidate != script.absoluteFilePath())
                files << s;
        }
    auto* list = new QLineEdit(files.join(QLatin1Char(' ')), &dialog);
    auto* form = new QFormLayout(&dialog);
    form->addRow(QStringLiteral("作るファイル:"), output);
    form->addRow(QStringLiteral("一緒に入れるファイル:"), list);
    form->addRow(console);
    form->addRow(bundle);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("作る"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QStringList args;
    if (console->isChecked())
        args << QStringLiteral("--console");
    if (bundle->isChecked())
        args << QStringLiteral("--bundle");
    args << output->text() << script.fileName();
    args << list->text().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QProcess pack;
    pack.setWorkingDirectory(script.absolutePath());
    pack.setProcessChannelMode(QProcess::MergedChannels);
    outputDock_->show();
    AppendOutput(QStringLiteral("[porukana-pack %1]\n").arg(args.join(QLatin1Char(' '))), false);
    pack.start(ToolPath(QStringLiteral("porukana-pack")), args);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool finished = pack.waitForFinished(600000);
    QApplication::restoreOverrideCursor();
    AppendOutput(QString::fromUtf8(pack.readAll()), false);
    if (finished && pack.exitStatus() == QProcess::NormalExit && pack.exitCode() == 0)
        AppendOutput(QStringLiteral("実行ファイル「%1」を作りました。\n").arg(output->text()), false);
    else
        AppendOutput(QStringLiteral("実行ファイルを作れませんでした。\n"), true);
}

// --- settings ---

void TPorupadWindow::ShowSettings()
{
    TSettingsDialog dialog(this, actions_);
    if (dialog.exec() == QDialog::Accepted)
        ApplySettings();
}

void TPorupadWindow::ApplySettings()
{
    QSettings s;
    for (auto& [key, action] : actions_) {
        const QString stored = s.value(QStringLiteral("keys/") + key, action->property("defaultKeys")).toString();
        action->setShortcut(QKeySequence(stored, QKeySequence::PortableText));
    }
    for (int i = 0; i < tabs_->count(); ++i) {
        auto* e = static_cast<TCodeEditor*>(tabs_->widget(i));
        QFont f = e->font();
        f.setPointSize(s.value(QStringLiteral("fontSize"), 11).toInt());
        e->setFont(f);
        e->SetTabWidth(s.value(QStringLiteral("tabWidth"), 4).toInt());
    }
    backupTimer_->start(s.value(QStringLiteral("backupSeconds"), 30).toInt() * 1000);
}
