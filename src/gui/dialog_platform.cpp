#include "gui/dialog_platform.h"

#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFontDialog>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>

#include "gui/dialog_forms.h"
#include "gui/text_font.h"

void SetStandardIcon(QMessageBox& box, int icon)
{
    static const char* const kNames[] = {nullptr, "dialog-information", "dialog-warning", "dialog-error",
                                         "dialog-question"};
    // Outside a desktop session the toolkit looks in no icon theme but hicolor, which
    // has no dialog icons; then the freedesktop default theme is used.
    static const bool themed = [] {
        if (!QIcon::fromTheme(QStringLiteral("dialog-question")).isNull())
            return true;
        QStringList paths = QIcon::themeSearchPaths();
        const QString dataDirs = qEnvironmentVariable("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
        for (const QString& dir : dataDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
            const QString icons = dir + QStringLiteral("/icons");
            if (!paths.contains(icons) && QDir(icons).exists())
                paths << icons;
        }
        QIcon::setThemeSearchPaths(paths);
        QIcon::setThemeName(QStringLiteral("Adwaita"));
        return true;
    }();
    (void)themed;
    box.setIcon(static_cast<QMessageBox::Icon>(icon));
    if (icon <= QMessageBox::NoIcon || icon > QMessageBox::Question)
        return;
    const QIcon desktop = QIcon::fromTheme(QString::fromLatin1(kNames[icon]));
    if (desktop.isNull())
        return;
    const int size = box.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &box);
    box.setIconPixmap(desktop.pixmap(size, size));
}

int AskQuestionBox(QWidget* parent, const QString& text, bool withCancel, const QFont* font)
{
    QMessageBox box(QMessageBox::NoIcon, DialogTitle(), text, QMessageBox::NoButton, parent);
    SetStandardIcon(box, QMessageBox::Question);
    box.setTextFormat(Qt::PlainText);
    if (font)
        box.setFont(*font);
    QPushButton* yes = box.addButton(QStringLiteral("はい"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("いいえ"), QMessageBox::NoRole);
    QPushButton* cancel = withCancel ? box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole) : nullptr;
    box.setDefaultButton(yes);
    box.setEscapeButton(cancel ? static_cast<QAbstractButton*>(cancel) : no);
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    if (clicked == yes)
        return 1;
    if (clicked == no)
        return 0;
    return withCancel ? 2 : 0;
}

bool PickColour(QWidget* parent, int32_t& colour)
{
    QColorDialog dlg(ColourFromValue(colour), parent);
    dlg.setOption(QColorDialog::DontUseNativeDialog);
    dlg.setWindowTitle(QStringLiteral("色の選択"));
    if (dlg.exec() != QDialog::Accepted)
        return false;
    colour = ValueFromColour(dlg.selectedColor());
    return true;
}

bool PickFont(QWidget* parent, QFont& font)
{
    QFontDialog dlg(font, parent);
    dlg.setOption(QFontDialog::DontUseNativeDialog);
    dlg.setWindowTitle(QStringLiteral("フォントの選択"));
    if (dlg.exec() != QDialog::Accepted)
        return false;
    font = dlg.selectedFont();
    return true;
}

namespace {

void PrepareFileDialog(QFileDialog& dlg, const QString& filter, const QString& initialName)
{
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    dlg.setDirectory(QDir::currentPath());
    if (!filter.isEmpty())
        dlg.setNameFilter(filter);
    if (!initialName.isEmpty())
        dlg.selectFile(initialName);
}

}   // namespace

QStringList PickOpenFiles(QWidget* parent, const QString& filter, const QString& initialName, bool several)
{
    QFileDialog dlg(parent, QStringLiteral("ファイルを開く"));
    PrepareFileDialog(dlg, filter, initialName);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(several ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    if (dlg.exec() != QDialog::Accepted)
        return QStringList();
    return dlg.selectedFiles();
}

QString PickSaveFile(QWidget* parent, const QString& filter, const QString& defaultExt, const QString& initialName)
{
    QFileDialog dlg(parent, QStringLiteral("名前を付けて保存"));
    PrepareFileDialog(dlg, filter, initialName);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setDefaultSuffix(defaultExt);
    if (dlg.exec() != QDialog::Accepted)
        return QString();
    return dlg.selectedFiles().value(0);
}

QString PickFolder(QWidget* parent)
{
    QFileDialog dlg(parent, QStringLiteral("フォルダの選択"));
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    dlg.setOption(QFileDialog::ShowDirsOnly);
    dlg.setFileMode(QFileDialog::Directory);
    dlg.setDirectory(QDir::currentPath());
    if (dlg.exec() != QDialog::Accepted)
        return QString();
    return dlg.selectedFiles().value(0);
}
