// porupad's window: scripts in tabs, the outline of labels, the help pane, the
// output of a console run with its input box, and the menus that open, save, find,
// run, debug and pack. It serves the editor's side of the run-time's link (service
// "porupad", topic "command"): a "row N" request puts the cursor on line N of the
// script that runs.
#pragma once
#include <QMainWindow>
#include <QProcess>
#include <QSettings>
#include <map>
#include <memory>

#include "porupad/code_editor.h"

class QDockWidget;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QTabWidget;
class QTextBrowser;
class QTimer;
class IChannelServer;
class IChannelService;
class TFindDialog;
class TPaletteDialog;

class TPorupadWindow : public QMainWindow {
public:
    explicit TPorupadWindow(QWidget* parent = nullptr);
    ~TPorupadWindow() override;

    // Files. Open returns the tab's editor (an open file is only shown again), null
    // with an error message when it cannot be read; Save writes the current tab.
    TCodeEditor* OpenFile(const QString& path);
    TCodeEditor* NewFile();
    bool Save(TCodeEditor* editor);
    bool SaveAs(TCodeEditor* editor, const QString& path = QString());
    TCodeEditor* CurrentEditor() const;
    QTabWidget* Tabs() const { return tabs_; }

    // Help, palette, diagnostics.
    void ShowHelpForCursor();
    QString HelpText() const;
    TPaletteDialog* Palette() const { return palette_; }
    void ShowPalette();
    void CheckNow(TCodeEditor* editor);

    // Running: F5 in the window run-time, Shift+F5 in the console one.
    void Run(bool window, bool stepwise = false);
    void Stop();
    void Pause();
    void AskCurrentLine();
    bool Running() const;
    // True when porupad serves the link (no other editor holds its name).
    bool LinkReady() const { return link_ != nullptr; }
    // True when the program porupad started serves its requests itself (no other
    // program of the same name holds the name).
    bool RuntimeLinked() const;
    QProcess* Process() const { return process_; }
    QPlainTextEdit* Output() const { return output_; }
    // A request of the link ("row N").
    void HandleLinkRequest(const QString& request);
    // A line of the run-time's error output: "[エラー] FILE(N行目): ..." moves the
    // cursor there. True when it named a place.
    bool HandleErrorLine(const QString& line);

    void ShowSettings();
    void MakeExecutable();

    // Writes the changed files aside (every few seconds by a timer); saving or
    // closing a file removes its copy. The folder of the copies.
    void WriteBackups();
    static QString BackupFolder();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenus();
    void BuildDocks();
    TCodeEditor* AddTab(TCodeEditor* editor, const QString& title);
    bool CloseTab(int index);
    bool MaySave(TCodeEditor* editor);
    void UpdateTitle(TCodeEditor* editor);
    void UpdateStatus();
    void UpdateOutline();
    void AddRecent(const QString& path);
    void FillRecentMenu();
    void RemoveBackup(TCodeEditor* editor);
    void OfferBackups();
    void ApplySettings();
    std::string RuntimeService() const;
    void SendToRuntime(const QString& request, const QString& failure);
    QString RuntimePath(bool window) const;
    QString ToolPath(const QString& name) const;
    void AppendOutput(const QString& text, bool error);
    TCodeEditor* EditorForFile(const QString& fileNamePart) const;

    QTabWidget* tabs_ = nullptr;
    QListWidget* outline_ = nullptr;
    QTextBrowser* help_ = nullptr;
    QPlainTextEdit* output_ = nullptr;
    QLineEdit* input_ = nullptr;
    QDockWidget* outputDock_ = nullptr;
    QDockWidget* helpDock_ = nullptr;
    QLabel* status_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    TFindDialog* find_ = nullptr;
    TPaletteDialog* palette_ = nullptr;
    QTimer* checkTimer_ = nullptr;
    QTimer* backupTimer_ = nullptr;
    QTimer* stepTimer_ = nullptr;   // asks a single-stepping program for its line
    QProcess* process_ = nullptr;
    TCodeEditor* running_ = nullptr;
    bool runningWindow_ = false;
    QString errorRest_;
    std::map<QString, QAction*> actions_;   // by settings key, for the key bindings
    std::unique_ptr<IChannelService> channels_;
    std::unique_ptr<IChannelServer> link_;
    int untitled_ = 0;
};
