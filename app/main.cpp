#include <QApplication>
#include <QScreen>

#include "app/appwindows.h"
#include "app/qtdialogs.h"
#include "config/versionquery.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("GSM-Korvanta Telvora"));
    QApplication::setApplicationDisplayName(QStringLiteral("GSM-Korvanta Telvora"));
    QtDialogs qtDialogs;
    TelvoraWindows windows(qtDialogs);
    TForm1& mainForm = windows.mainForm;
    mainForm.setWindowTitle(QStringLiteral("GSM-Korvanta  v1.22 (dv.%1)").arg(TelvoraDataVer));

    // Closing the main window ends the program, whatever other window is still open.
    app.setQuitOnLastWindowClosed(false);
    QObject::connect(&mainForm, &TForm1::closed, &app, &QApplication::quit);

    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    mainForm.move(screen.center() - mainForm.rect().center());
    mainForm.show();
    return app.exec();
}
