// The run-time's own dialog forms: the message box of 言う, the input box of 尋ねる,
// the choice dialog of どれか尋ねる and リストから選択, and the button chooser of
// ボタンで選択. Each is laid out by Prepare() for one use (a new form per call, so
// that a handler running inside one may open another) and shown modally by Run(),
// centred on the screen with the application's title. Their widgets are placed by
// the geometry rules of commands/dialogs/dialogs.h.
#pragma once
#include <QDialog>
#include <QFont>
#include <QColor>
#include <QString>

#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;

// The title every run-time dialog carries.
QString DialogTitle();
// Places a dialog of its current size centred in the available area of the screen
// of `near` (the primary screen when none).
void CentreDialogOnScreen(QWidget* dialog, const QWidget* near);
// Gives a widget the current text font and colour.
void ApplyTextFont(QWidget* widget, const QFont& font, const QColor& colour);
// The input-method state of ダイアログIMEの状態 on an edit field: the method stays
// available in every state (Qt cannot open it in a given mode); the number is kept in
// the property "imeMode".
void ApplyImeState(QWidget* edit, int ime);
// The message as a label shows it: CR LF breaks become LF.
QString MessageText(const std::string& sjis);

// 言う: a message and an OK button; Enter, the button and Escape close it.
// The narrowest 言う box that still shows `title` whole in its title bar.
int MessageBoxTitleWidth(const QString& title);

class TfrmMsgBox : public QDialog {
public:
    explicit TfrmMsgBox(QWidget* parent = nullptr);
    // `text` is already cut, expanded and fitted; heightLimit is the lowest top the
    // button may have.
    void Prepare(const QString& text, const QFont& font, const QColor& colour, int heightLimit);
    void Run();

    QLabel* lblMsg;
    QPushButton* btnOk;
};

// 尋ねる: message, one-line edit, OK and キャンセル. Starts cancelled: only OK or
// Enter in the edit field confirm.
class TfrmInputBox : public QDialog {
public:
    explicit TfrmInputBox(QWidget* parent = nullptr);
    void Prepare(const QString& message, const QString& initial, const QFont& font, const QColor& colour, int ime);
    // True when confirmed; `answer` is the edit field's text.
    bool Run(QString& answer);

    QLabel* lblMsg;
    QLineEdit* edtInput;
    QWidget* pnlButtons;
    QPushButton* btnOk;
    QPushButton* btnCancel;
};

// どれか尋ねる and リストから選択: message, list, result field, OK and キャンセル.
// A click copies an item into the result field, a double click copies and confirms;
// in the list Enter confirms, Escape cancels and a character selects the first item
// whose first Shift_JIS byte is that character's. Cancel empties the result field.
class TfrmPoruCombo : public QDialog {
public:
    explicit TfrmPoruCombo(QWidget* parent = nullptr);
    // `items` are Shift_JIS; the result field starts with `initial` and is read-only
    // unless `editable`.
    void Prepare(const QString& message, const std::vector<std::string>& items, const QString& initial, bool editable,
                 const QFont& font, const QColor& colour, int ime);
    bool Run(QString& answer);

    QLabel* lblMsg;
    QListWidget* lstItems;
    QLineEdit* edtResult;
    QWidget* pnlButtons;
    QPushButton* btnOk;
    QPushButton* btnCancel;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void TakeItem(int row);
    std::vector<std::string> items_;
};

// ボタンで選択: message and one button per choice, in a row or a column.
class TfrmSelectButton : public QDialog {
public:
    explicit TfrmSelectButton(QWidget* parent = nullptr);
    // `mainWidth` is the main window's width (it decides row or column).
    void Prepare(const QString& message, const QStringList& choices, const QFont& font, const QColor& colour,
                 int mainWidth);
    // The number (from 0) of the button pressed, -1 when the dialog was closed.
    int Run();

    QLabel* lblMsg;
    std::vector<QPushButton*> buttons;
    bool inRow = false;

private:
    int chosen_ = -1;
};
