// The error dialog TfrmError: the accumulated error text of the run and the choice
// to continue, to debug (only in debug mode) or to stop.
#pragma once
#include <QDialog>

#include "interp/host.h"

class QPlainTextEdit;
class QPushButton;

class TfrmError : public QDialog {
public:
    explicit TfrmError(QWidget* parent = nullptr);

    // Places the dialog centred over `mainWindow`: its top-left corner at the main
    // window's position plus half the difference of the sizes, rounded towards zero.
    void PlaceOver(const QWidget* mainWindow);

    // Shows `text` (UTF-8 with CR LF or LF breaks) modally and returns the choice:
    // 実行を続ける = Continue, デバッグする = Debug, 終了 or closing the dialog any
    // other way = Stop. The debug button is shown only when `debugMode` is set.
    ErrorChoice Choose(const QString& text, bool debugMode);

    QPlainTextEdit* memMsg;
    QPushButton* btnDebug;
    QPushButton* btnOk;
    QPushButton* btnCancel;

private:
    bool continue_ = false;
    bool debug_ = false;
};

// The choice that a scripted answer line means ("continue", "debug", "stop"; an empty
// or unknown answer stops). "debug" is a stop when the debug button is hidden.
ErrorChoice ErrorChoiceFromAnswer(const std::string& answer, bool debugMode);
