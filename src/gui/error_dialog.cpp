#include "gui/error_dialog.h"

#include <QPlainTextEdit>
#include <QPushButton>

#include "gui/text_font.h"

TfrmError::TfrmError(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("実行中にエラーが発生しました。"));
    setModal(true);
    setFixedSize(514, 159);
    QFont formFont(MapFaceName(QStringLiteral("ＭＳ Ｐゴシック")));
    formFont.setPixelSize(12);
    setFont(formFont);

    memMsg = new QPlainTextEdit(this);
    memMsg->setObjectName(QStringLiteral("memMsg"));
    memMsg->setGeometry(0, 0, 513, 121);
    memMsg->setReadOnly(true);
    memMsg->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memMsg->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    QFont memoFont(MapFaceName(QStringLiteral("ＭＳ ゴシック")));
    memoFont.setPixelSize(12);
    memMsg->setFont(memoFont);
    QPalette pal = memMsg->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Button));
    memMsg->setPalette(pal);

    btnDebug = new QPushButton(QStringLiteral("デバッグする(&D)"), this);
    btnDebug->setObjectName(QStringLiteral("btnDebug"));
    btnDebug->setGeometry(168, 128, 105, 25);
    btnOk = new QPushButton(QStringLiteral("実行を続ける(&O)"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setGeometry(280, 128, 105, 25);
    btnCancel = new QPushButton(QStringLiteral("終了(&C)"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(392, 128, 113, 25);

    connect(btnOk, &QPushButton::clicked, this, [this] {
        continue_ = true;
        accept();
    });
    connect(btnDebug, &QPushButton::clicked, this, [this] {
        continue_ = true;
        debug_ = true;
        accept();
    });
    connect(btnCancel, &QPushButton::clicked, this, [this] { reject(); });
}

void TfrmError::PlaceOver(const QWidget* mainWindow)
{
    if (!mainWindow)
        return;
    const QRect main = mainWindow->frameGeometry();
    move(main.x() + (main.width() - width()) / 2, main.y() + (main.height() - height()) / 2);
}

ErrorChoice TfrmError::Choose(const QString& text, bool debugMode)
{
    continue_ = false;
    debug_ = false;
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    memMsg->setPlainText(plain);
    btnDebug->setVisible(debugMode);
    btnOk->setFocus();
    exec();
    if (continue_)
        return debug_ ? ErrorChoice::Debug : ErrorChoice::Continue;
    return ErrorChoice::Stop;
}

ErrorChoice ErrorChoiceFromAnswer(const std::string& answer, bool debugMode)
{
    if (answer == "continue")
        return ErrorChoice::Continue;
    if (answer == "debug" && debugMode)
        return ErrorChoice::Debug;
    return ErrorChoice::Stop;
}
