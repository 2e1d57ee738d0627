#include <QApplication>

#include "app/qtdialogs.h"
#include "app/startup.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("GSM-Korvanta Telvora"));
    QApplication::setApplicationDisplayName(QStringLiteral("GSM-Korvanta Telvora"));
    QtDialogs qtDialogs;
    TelvoraStartUp startUp(qtDialogs);

    // Only the closing of the main window ends the program, whatever else is still open.
    app.setQuitOnLastWindowClosed(false);
    QObject::connect(&startUp, &TelvoraStartUp::ended, &app, &QApplication::quit);
    startUp.start();
    return app.exec();
}
