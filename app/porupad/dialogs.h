// porupad's small dialogs: find and replace (regular expressions too), the command
// palette, and the settings with the key bindings.
#pragma once
#include <QDialog>
#include <functional>
#include <map>

class QCheckBox;
class QComboBox;
class QKeySequenceEdit;
class QLineEdit;
class QListWidget;
class QSpinBox;
class QAction;
class TCodeEditor;

class TFindDialog : public QDialog {
public:
    explicit TFindDialog(QWidget* parent, std::function<TCodeEditor*()> editor);
    void SetPattern(const QString& text);
    // Next (or previous) match from the cursor, wrapping at the end; false when none.
    bool FindNext(bool backward = false);
    bool ReplaceOne();
    int ReplaceAll();
    QLineEdit* FindField() const { return find_; }
    QLineEdit* ReplaceField() const { return replace_; }
    QCheckBox* RegexBox() const { return regex_; }

private:
    std::function<TCodeEditor*()> editor_;
    QLineEdit* find_;
    QLineEdit* replace_;
    QCheckBox* regex_;
    QCheckBox* caseSensitive_;
};

class TPaletteDialog : public QDialog {
public:
    // `insert` receives the call with ？ in its slots.
    TPaletteDialog(QWidget* parent, std::function<void(const QString&)> insert);
    void SetQuery(const QString& query);
    QListWidget* List() const { return list_; }
    void accept() override;

private:
    std::function<void(const QString&)> insert_;
    QLineEdit* query_;
    QListWidget* list_;
};

class TSettingsDialog : public QDialog {
public:
    TSettingsDialog(QWidget* parent, const std::map<QString, QAction*>& actions);
    void Save();

private:
    QComboBox* newEncoding_;
    QSpinBox* fontSize_;
    QSpinBox* tabWidth_;
    QSpinBox* backupSeconds_;
    QSpinBox* checkDelay_;
    QLineEdit* windowRuntime_;
    QLineEdit* consoleRuntime_;
    std::map<QString, QKeySequenceEdit*> keys_;
};
