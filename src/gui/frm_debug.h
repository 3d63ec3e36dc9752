// The debug dialog TfrmDebug: the line being executed in the program text, the open
// control structures and the variable table (with the level filter and the boxes
// for system variables and GUI objects), and the choice to run on, run line by line
// or stop. One dialog serves the whole run: its filter and boxes keep their settings
// between showings.
#pragma once
#include <QDialog>

#include <string>
#include <vector>

#include "interp/debug_model.h"
#include "interp/host.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class TPoruBase;

class TfrmDebug : public QDialog {
public:
    explicit TfrmDebug(QWidget* parent = nullptr);

    // Centres the dialog over the main window.
    void PlaceOver(const QWidget* mainWindow);

    // Shows the state modally (Fill, exec, Clear) and returns the choice.
    DebugChoice Run(TPoruBase& st, const std::string& word);

    // Fills the dialog from the state: an empty filter becomes "0", the table, the
    // control structures (the last one selected), the line caption and the program
    // text scrolled to the current line, then the row named `word` (when given and
    // listed) or the search text's row is selected.
    void Fill(TPoruBase& st, const std::string& word);
    // Empties the table (header only), the program text and the control structures.
    void Clear();
    // The table again under the current filter and boxes.
    void Refill();
    // Selects the first row whose name begins with the trimmed search text.
    void Search();
    // The memo dialog over a row: its name as the title, its value as the text.
    void OpenRow(int row);

    DebugChoice Choice() const { return choice_; }
    const std::vector<TDebugRow>& Rows() const { return rows_; }
    // The text of the ？ button's message box.
    static QString HelpText();

    QLabel* lblLine;
    QPlainTextEdit* memProgram;
    QListWidget* lstControl;
    QLineEdit* edtLevel;
    QCheckBox* chkSystem;
    QCheckBox* chkObjects;
    QLineEdit* edtSearch;
    QPushButton* btnSearch;
    QTableWidget* grdVars;
    QPushButton* btnContinue;
    QPushButton* btnStep;
    QPushButton* btnStop;
    QPushButton* btnHelp;
    QPushButton* btnSync;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void MakeProgramView();
    void MakeFilters();
    void MakeVariableTable();
    void MakeButtons();
    void LayOut();
    void Connect();
    void Finish(DebugChoice choice);
    void ShowLine(int32_t line);

    TPoruBase* st_ = nullptr;
    DebugChoice choice_ = DebugChoice::Closed;
    std::vector<TDebugRow> rows_;
};

// The choice a scripted answer line means (as the console's letters: c, l, q);
// anything else, and the end of the answers, is 連続実行.
DebugChoice DebugChoiceFromAnswer(const std::string& answer);
