// porupad: the editor of ぽるかな programs. Opens the files named on the command line
// (or a new one) in tabs.
#include <QApplication>

#include "porupad/main_window.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("porukana"));
    QCoreApplication::setApplicationName(QStringLiteral("porupad"));
    TPorupadWindow window;
    const QStringList args = QCoreApplication::arguments().mid(1);
    for (const QString& a : args)
        if (!a.startsWith(QLatin1Char('-')))
            window.OpenFile(a);
    if (window.Tabs()->count() == 0)
        window.NewFile();
    window.show();
    return app.exec();
}
