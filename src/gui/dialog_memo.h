// The memo dialog of メモ記入: a resizable page of text with load, save, OK and
// キャンセル. It starts confirmed: the close box and Escape keep the text, only
// キャンセル empties it and cancels.
#pragma once
#include <QColor>
#include <QDialog>
#include <QFont>

class QMenu;
class QPlainTextEdit;
class QPushButton;

class TfrmPoruMemo : public QDialog {
public:
    static constexpr int kClientWidth = 412;
    static constexpr int kClientHeight = 323;

    explicit TfrmPoruMemo(QWidget* parent = nullptr);
    void Prepare(const QString& text, const QFont& font, const QColor& colour, int ime);
    // False only after キャンセル; `text` is the edited text (LF breaks).
    bool Run(QString& text);

    // The whole text from a Shift_JIS file / into one (CR LF breaks). False when the
    // file cannot be read or written; the text stays as it was.
    bool LoadFile(const QString& path);
    bool SaveFile(const QString& path);
    // The pop-up menu of the text: 元に戻す, コピー, 切り取り, 貼付け, 全て選択.
    QMenu* CreateContextMenu();

    QPlainTextEdit* memText;
    QPushButton* btnLoad;
    QPushButton* btnSave;
    QPushButton* btnOk;
    QPushButton* btnCancel;

protected:
    void reject() override;

private:
    void AskLoad();
    void AskSave();
    bool cancelled_ = false;
};
