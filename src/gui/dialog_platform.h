// The standard dialogs: question boxes with はい, いいえ (and キャンセル), and the
// colour, font, file and folder dialogs. All are Qt's own widgets, never the desktop's
// native ones (those may wait for a session bus that is not there).
#pragma once
#include <QFont>
#include <QString>
#include <QStringList>

#include <cstdint>

class QMessageBox;
class QWidget;

// Gives a message box the desktop's icon for its kind (the icon theme's
// dialog-question, dialog-warning and so on), or the style's own where no icon theme
// has one. `icon` is a QMessageBox::Icon.
void SetStandardIcon(QMessageBox& box, int icon);

// 1 for はい, 0 for いいえ, 2 for キャンセル (withCancel). Escape and the close box
// answer いいえ, or キャンセル when it is offered. `font`: the text font of the window
// (as in 言う's box) instead of the toolkit's smaller default.
int AskQuestionBox(QWidget* parent, const QString& text, bool withCancel, const QFont* font = nullptr);

// A colour R + 256 G + 65536 B; `colour` gives the starting colour.
bool PickColour(QWidget* parent, int32_t& colour);
bool PickFont(QWidget* parent, QFont& font);

// The file dialogs open in the current folder with `filter` (Qt form, ";;"
// separated) and `initialName` selected when not empty; the names are absolute.
QStringList PickOpenFiles(QWidget* parent, const QString& filter, const QString& initialName, bool several);
// Asks before overwriting; a name without an extension gets `defaultExt`.
QString PickSaveFile(QWidget* parent, const QString& filter, const QString& defaultExt, const QString& initialName);
// An existing folder, absolute, without a trailing "/".
QString PickFolder(QWidget* parent);
