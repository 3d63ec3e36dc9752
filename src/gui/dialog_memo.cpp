#include "gui/dialog_memo.h"

#include <QContextMenuEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "commands/dialogs/dialogs.h"
#include "core/codec.h"
#include "gui/dialog_forms.h"
#include "gui/dialog_platform.h"
#include "services/qt_text.h"

namespace {

QString MemoFilter()
{
    const std::vector<TDialogFilter> filter = MemoFileFilter();
    return SjisToQString(QtFilterText(filter));
}

QString MemoExtension()
{
    return SjisToQString(DefaultExtension(MemoFileFilter()));
}

}   // namespace

TfrmPoruMemo::TfrmPoruMemo(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::WindowMaximizeButtonHint)
{
    setObjectName(QStringLiteral("frmPoruMemo"));
    setWindowTitle(DialogTitle());
    setModal(true);
    setSizeGripEnabled(true);

    memText = new QPlainTextEdit(this);
    memText->setObjectName(QStringLiteral("memText"));
    memText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memText->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(memText, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu* menu = CreateContextMenu();
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(memText->viewport()->mapToGlobal(at));
    });

    btnLoad = new QPushButton(QStringLiteral("読込..."), this);
    btnLoad->setObjectName(QStringLiteral("btnLoad"));
    btnSave = new QPushButton(QStringLiteral("保存..."), this);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    btnOk = new QPushButton(QStringLiteral("OK"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    for (QPushButton* b : {btnLoad, btnSave, btnOk, btnCancel})
        b->setAutoDefault(false);   // Enter belongs to the text

    auto* bar = new QHBoxLayout;
    bar->addWidget(btnLoad);
    bar->addWidget(btnSave);
    bar->addStretch(1);
    bar->addWidget(btnOk);
    bar->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 4);
    layout->addWidget(memText, 1);
    layout->addLayout(bar);

    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, [this] {
        cancelled_ = true;
        memText->clear();
        done(QDialog::Rejected);
    });
    connect(btnLoad, &QPushButton::clicked, this, &TfrmPoruMemo::AskLoad);
    connect(btnSave, &QPushButton::clicked, this, &TfrmPoruMemo::AskSave);

    resize(kClientWidth, kClientHeight);
    CentreDialogOnScreen(this, parent);
}

void TfrmPoruMemo::Prepare(const QString& text, const QFont& font, const QColor& colour, int ime)
{
    ApplyTextFont(memText, font, colour);
    ApplyImeState(memText, ime);
    memText->setPlainText(text);
}

bool TfrmPoruMemo::Run(QString& text)
{
    cancelled_ = false;
    memText->setFocus();
    exec();
    text = memText->toPlainText();
    return !cancelled_;
}

// Escape and the close box end the dialog as OK does.
void TfrmPoruMemo::reject()
{
    if (cancelled_) {
        QDialog::reject();
        return;
    }
    accept();
}

bool TfrmPoruMemo::LoadFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = f.readAll();
    const std::string sjis = ScriptBytesToSjis(std::string(bytes.constData(), static_cast<size_t>(bytes.size())));
    memText->setPlainText(MessageText(sjis));
    return true;
}

bool TfrmPoruMemo::SaveFile(const QString& path)
{
    QString text = memText->toPlainText();
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    const std::string sjis = QStringToSjis(text);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(sjis.data(), static_cast<qint64>(sjis.size())) == static_cast<qint64>(sjis.size());
}

QMenu* TfrmPoruMemo::CreateContextMenu()
{
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("mnuMemo"));
    struct TEntry {
        const char* text;
        QKeySequence keys;
        void (QPlainTextEdit::*slot)();
        bool enabled;
    };
    const bool selected = memText->textCursor().hasSelection();
    const bool writable = !memText->isReadOnly();
    const TEntry entries[] = {
        {"元に戻す", QKeySequence(Qt::CTRL | Qt::Key_Z), &QPlainTextEdit::undo,
         writable && memText->document()->isUndoAvailable()},
        {"コピー", QKeySequence(Qt::CTRL | Qt::Key_C), &QPlainTextEdit::copy, selected},
        {"切り取り", QKeySequence(Qt::CTRL | Qt::Key_X), &QPlainTextEdit::cut, selected && writable},
        {"貼付け", QKeySequence(Qt::CTRL | Qt::Key_V), &QPlainTextEdit::paste, writable && memText->canPaste()},
        {"全て選択", QKeySequence(Qt::CTRL | Qt::Key_A), &QPlainTextEdit::selectAll, true},
    };
    for (const TEntry& e : entries) {
        QAction* a = menu->addAction(QString::fromUtf8(e.text));
        a->setShortcut(e.keys);
        a->setEnabled(e.enabled);
        connect(a, &QAction::triggered, memText, e.slot);
    }
    return menu;
}

namespace {

void Warn(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, DialogTitle(), text, QMessageBox::Ok, parent);
    SetStandardIcon(box, QMessageBox::Warning);
    box.exec();
}

}   // namespace

void TfrmPoruMemo::AskLoad()
{
    const QStringList files = PickOpenFiles(this, MemoFilter(), QString(), false);
    if (files.isEmpty())
        return;
    if (!LoadFile(files.first()))
        Warn(this, QStringLiteral("ファイル\"%1\"を読み込めません。").arg(files.first()));
}

void TfrmPoruMemo::AskSave()
{
    const QString file = PickSaveFile(this, MemoFilter(), MemoExtension(), QString());
    if (file.isEmpty())
        return;
    if (!SaveFile(file))
        Warn(this, QStringLiteral("ファイル\"%1\"へ書き込めません。").arg(file));
}
