#include "gui/dialog_progress.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "gui/dialog_forms.h"

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 96;

}   // namespace

TfrmProg::TfrmProg(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("frmProg"));
    setWindowTitle(DialogTitle());
    setModal(false);
    setFixedSize(kWidth, kHeight);

    barProgress = new QProgressBar(this);
    barProgress->setObjectName(QStringLiteral("barProgress"));
    barProgress->setRange(0, 100);
    barProgress->setTextVisible(false);
    barProgress->setGeometry(8, 8, kWidth - 16, 20);
    lblMsg = new QLabel(QStringLiteral("---"), this);
    lblMsg->setObjectName(QStringLiteral("lblMsg"));
    lblMsg->setTextFormat(Qt::PlainText);
    lblMsg->setGeometry(8, 34, kWidth - 16, 20);
    btnStop = new QPushButton(QStringLiteral("中止"), this);
    btnStop->setObjectName(QStringLiteral("btnStop"));
    btnStop->setGeometry((kWidth - 75) / 2, 62, 75, 25);
    btnStop->setEnabled(false);
    connect(btnStop, &QPushButton::clicked, this, [this] {
        // The handler may close or reopen the window: call a copy.
        std::function<void()> stop = onStop_;
        if (stop)
            stop();
    });
    CentreDialogOnScreen(this, parent);
}

void TfrmProg::Open(const QString& message, std::function<void()> onStop)
{
    onStop_ = std::move(onStop);
    btnStop->setEnabled(static_cast<bool>(onStop_));
    barProgress->setValue(0);
    SetMessage(message);
    show();
}

void TfrmProg::SetMessage(const QString& message)
{
    lblMsg->setText(message.isEmpty() ? QStringLiteral("---") : message);
}

void TfrmProg::SetPercent(int percent)
{
    barProgress->setValue(std::clamp(percent, 0, 100));
}

void TfrmProg::Finish()
{
    onStop_ = nullptr;
    btnStop->setEnabled(false);
    hide();
}

// Only the transfer closes the window; Escape does not either.
void TfrmProg::closeEvent(QCloseEvent* event)
{
    if (isVisible())
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void TfrmProg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
