#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

#include "sim/korvantasim.h"

namespace {
int g_signalPipe[2] = {-1, -1};
void onSignal(int) {
    const char c = 1;
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &c, 1);
}
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("korvanta-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Plays the GSM-Korvanta module on a pseudo-terminal linked as a COM name."));
    parser.addHelpOption();
    const QCommandLineOption portOpt(QStringLiteral("port"),
                                     QStringLiteral("COM name to take (default: highest free)."),
                                     QStringLiteral("COMn"));
    const QCommandLineOption codeOpt(QStringLiteral("code"),
                                     QStringLiteral("Installer code the module accepts."),
                                     QStringLiteral("digits"), QStringLiteral("1234"));
    const QCommandLineOption silentOpt(QStringLiteral("silent"),
                                       QStringLiteral("Answer nothing (a module that is busy)."));
    parser.addOptions({portOpt, codeOpt, silentOpt});
    parser.process(app);

    KorvantaSim sim;
    sim.setInstallerCode(parser.value(codeOpt));
    sim.setSilent(parser.isSet(silentOpt));
    QString error;
    if (!sim.start(parser.value(portOpt), &error)) {
        std::fprintf(stderr, "korvanta-sim: %s\n", qPrintable(error));
        return 1;
    }

    // Quit cleanly on Ctrl+C or kill so the COM link is removed.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) == 0) {
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
        std::signal(SIGHUP, onSignal);
    }
    QSocketNotifier quitNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&quitNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);

    std::printf("%s\n", qPrintable(sim.comName()));
    std::fflush(stdout);
    return app.exec();
}
