#include <QApplication>
#include <QScreen>

#include "app/mainform.h"
#include "app/qtdialogs.h"
#include "app/serialform.h"
#include "config/downloadform.h"
#include "link/modulelink.h"

namespace {
constexpr int kDataVersion = 2;
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("GSM-Korvanta Telvora"));
    QApplication::setApplicationDisplayName(QStringLiteral("GSM-Korvanta Telvora"));
    QtDialogs qtDialogs;
    setDialogs(&qtDialogs);

    ModuleLink link;
    TForm1 mainForm(link);
    TSerialForm serialForm(link);
    mainForm.setTrafficWindow(&serialForm);
    TFormDownload downloadForm(link);
    mainForm.onParameterSetting = [&] {
        downloadForm.show();
        downloadForm.raise();
        downloadForm.activateWindow();
    };
    mainForm.setWindowTitle(QStringLiteral("GSM-Korvanta  v1.22 (dv.%1)").arg(kDataVersion));

    // Closing the main window ends the program, whatever other window is still open.
    app.setQuitOnLastWindowClosed(false);
    QObject::connect(&mainForm, &TForm1::closed, &app, &QApplication::quit);

    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    mainForm.move(screen.center() - mainForm.rect().center());
    mainForm.show();
    return app.exec();
}
