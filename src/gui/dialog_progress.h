// The progress window of the network commands: a bar from 0 to 100, a message line
// under it and a 中止 button that is enabled only when a stop handler is attached.
// It is not modal: the transfer goes on while it is shown.
#pragma once
#include <QDialog>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

class TfrmProg : public QDialog {
public:
    // Created centred on the screen of `parent`.
    explicit TfrmProg(QWidget* parent = nullptr);

    // Shows the window with the message ("---" when empty), the bar at 0 and the
    // stop handler (none: 中止 is disabled).
    void Open(const QString& message, std::function<void()> onStop);
    void SetMessage(const QString& message);
    void SetPercent(int percent);
    // Hides the window and drops the handler.
    void Finish();

    QProgressBar* barProgress;
    QLabel* lblMsg;
    QPushButton* btnStop;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::function<void()> onStop_;
};
