#include <QApplication>

#include "app/qtdialogs.h"
#include "app/startup.h"

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>
#include <cstdio>

namespace {
int g_signalPipe[2] = {-1, -1};
void onSignal(int) {
    const char c = 1;
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &c, 1);
}
}  // namespace
#endif

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    nameApplication();
    QtDialogs qtDialogs;
    TelvoraStartUp startUp(qtDialogs);

    // Only the closing of the main window ends the program, whatever else is still open.
    app.setQuitOnLastWindowClosed(false);
    QObject::connect(&startUp, &TelvoraStartUp::ended, &app, [&qtDialogs] {
        qtDialogs.setRunEnding();
        QApplication::quit();
    });
    startUp.start();

#ifdef Q_OS_UNIX
    // Ended from outside (Ctrl+C in a terminal, a logout), the run closes as if the user had
    // closed the main window, so the settings in setup.ini are kept.
    std::unique_ptr<QSocketNotifier> quitNotifier;
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) == 0) {
        quitNotifier = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
        QObject::connect(quitNotifier.get(), &QSocketNotifier::activated, &app, [&] {
            if (startUp.windows)
                startUp.windows->mainForm.close();
            else
                QApplication::quit();
        });
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
        std::signal(SIGHUP, onSignal);
        // For whoever starts the program and must know when it can be ended cleanly.
        if (qEnvironmentVariableIsSet("TELVORA_SAY_READY")) {
            std::fputs("ready\n", stdout);
            std::fflush(stdout);
        }
    }
#endif
    return app.exec();
}
