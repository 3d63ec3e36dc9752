// porupad: the editor of ぽるかな programs. Opens the files named on the command line
// (or a new one) in tabs.
//   porupad [FILE...]
//   porupad --cursor LINE:COLUMN ...     puts the cursor there (line from 1)
//   porupad --run-console ...            runs the file in the console run-time at once
//   porupad --screenshot PNG [FILE...]   writes a picture of the window and ends
//                                        (the pictures of the documentation)
#include <QApplication>
#include <QTimer>

#include "porupad/main_window.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("porukana"));
    QCoreApplication::setApplicationName(QStringLiteral("porupad"));
    TPorupadWindow window;
    const QStringList args = QCoreApplication::arguments().mid(1);
    QString screenshot, cursor;
    bool run = false;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--screenshot") && i + 1 < args.size())
            screenshot = args[++i];
        else if (args[i] == QLatin1String("--run-console"))
            run = true;
        else if (args[i] == QLatin1String("--cursor") && i + 1 < args.size())
            cursor = args[++i];
        else if (!args[i].startsWith(QLatin1Char('-')))
            window.OpenFile(args[i]);
    }
    if (window.Tabs()->count() == 0)
        window.NewFile();
    window.show();
    if (TCodeEditor* e = window.CurrentEditor(); e && !cursor.isEmpty()) {
        e->GoToLine(cursor.section(QLatin1Char(':'), 0, 0).toInt());
        QTextCursor c = e->textCursor();
        c.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, cursor.section(QLatin1Char(':'), 1, 1).toInt());
        e->setTextCursor(c);
    }
    if (run)
        QTimer::singleShot(100, &window, [&window] { window.Run(false); });
    if (!screenshot.isEmpty()) {
        // The help pane shows the word under the cursor, as after F1.
        QTimer::singleShot(1000, &window, [&window] { window.ShowHelpForCursor(); });
        QTimer::singleShot(2000, &window, [&window, screenshot] {
            const bool ok = window.grab().save(screenshot);
            QCoreApplication::exit(ok ? 0 : 1);
        });
    }
    return app.exec();
}
