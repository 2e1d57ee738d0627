#include <sys/socket.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>

#include "sim/korvantasim.h"

namespace {
int g_signalPipe[2] = {-1, -1};
void onSignal(int) {
    const char c = 1;
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

// Exit codes: 1 when the module cannot run (no pty, an unreadable memory file), 2 for a
// command line it cannot make sense of.
constexpr int kFailed = 1;
constexpr int kBadUsage = 2;

int fail(const QString& why, int code = kFailed) {
    std::fprintf(stderr, "korvanta-sim: %s\n", qPrintable(why));
    return code;
}

// A whole number option; `fallback` when the option is absent.
bool intOption(const QCommandLineParser& parser, const QCommandLineOption& option, int fallback,
               int* value) {
    if (!parser.isSet(option)) {
        *value = fallback;
        return true;
    }
    bool ok = false;
    *value = parser.value(option).toInt(&ok, 10);
    return ok && *value >= 0;
}
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("korvanta-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Plays the GSM-Korvanta module on a pseudo-terminal linked as a COM name."));
    const QCommandLineOption portOpt(QStringLiteral("port"),
                                     QStringLiteral("COM name to take (default: highest free)."),
                                     QStringLiteral("COMn"));
    const QCommandLineOption codeOpt(QStringLiteral("code"),
                                     QStringLiteral("Installer code the module accepts."),
                                     QStringLiteral("digits"), QStringLiteral("1234"));
    const QCommandLineOption silentOpt(QStringLiteral("silent"),
                                       QStringLiteral("Answer nothing (a module that is busy)."));
    const QCommandLineOption memoryOpt(
        QStringLiteral("memory"),
        QStringLiteral("Parameter memory file of 2048 bytes: loaded if it exists, else created "
                       "with the factory settings; saved after every activation and on exit."),
        QStringLiteral("file"));
    const QCommandLineOption dataVersionOpt(QStringLiteral("data-version"),
                                            QStringLiteral("Data version on the version page."),
                                            QStringLiteral("text"), QStringLiteral("2"));
    const QCommandLineOption firmwareOpt(
        QStringLiteral("firmware"), QStringLiteral("Firmware text on the version page."),
        QStringLiteral("text"), QStringLiteral("GSM-Korvanta 4.07"));
    const QCommandLineOption noAnswerOpt(
        QStringLiteral("no-answer-page"),
        QStringLiteral("Answer neither reads nor writes of page N."), QStringLiteral("N"));
    const QCommandLineOption damageOpt(QStringLiteral("damage-page"),
                                       QStringLiteral("Send page N with a wrong checksum."),
                                       QStringLiteral("N"));
    const QCommandLineOption wrongPageOpt(QStringLiteral("wrong-page"),
                                          QStringLiteral("Send page N numbered N+1."),
                                          QStringLiteral("N"));
    const QCommandLineOption pwderrOpt(QStringLiteral("pwderr"),
                                       QStringLiteral("Answer PWDERR to every command."));
    const QCommandLineOption noCrcOkOpt(
        QStringLiteral("no-crcok"),
        QStringLiteral("Ignore activation: commit nothing, answer nothing."));
    const QCommandLineOption delayOpt(QStringLiteral("delay"),
                                      QStringLiteral("Send every answer this many ms late."),
                                      QStringLiteral("ms"));
    const QCommandLineOption paceOpt(
        QStringLiteral("pace"), QStringLiteral("Move bytes at 19200 baud, as a real line does."));
    const QCommandLineOption faultOpt(
        QStringLiteral("fault"),
        QStringLiteral(
            "Fault on the first COUNT commands (default every one) of a kind, for reads and "
            "written frames only of PAGE (* any); repeatable. MODE: no-answer, pwderr, damage, "
            "wrong-page, late=MS, garbage[=SEED], garbage-burst[=SEED], wrong-kind, port-lost, "
            "wrong-length, wrong-comma, bad-digits, newest-high, stray-high, rfterr, no-carrier, "
            "busy. "
            "COMMAND: login, read, write-start, write, activate, poll-status, poll-events, "
            "alarm-stop, partition, poll-radio, teach, delete-radio, modem (an AT command of "
            "the modem's own), dial, hang-up, other, any."),
        QStringLiteral("MODE:COMMAND[:PAGE][:COUNT]"));
    const QCommandLineOption statusVersionOpt(
        QStringLiteral("status-version"),
        QStringLiteral("Version of the status frame answered to RPWS, 1 to 4."),
        QStringLiteral("N"), QStringLiteral("4"));
    const QCommandLineOption liveOpt(
        QStringLiteral("live-ms"),
        QStringLiteral("Interval of the module's life (a zone opening and closing, the battery "
                       "drifting, messages); 0 keeps it still."),
        QStringLiteral("ms"), QStringLiteral("1000"));
    const QCommandLineOption modemOpt(
        QStringLiteral("modem"),
        QStringLiteral(
            "Put a modem in front of the module: it answers AT with OK and ATD<number> with "
            "CONNECT 9600, then passes lines through until +++ (with guard times) or ATH. "
            "Radio teach and delete are refused over it (RFTERR)."));
    const QCommandLineOption connectOpt(
        QStringLiteral("connect-ms"),
        QStringLiteral("How long the modem takes from ATD to CONNECT (or NO CARRIER, BUSY)."),
        QStringLiteral("ms"), QStringLiteral("3000"));
    const QCommandLineOption guardOpt(
        QStringLiteral("guard-ms"),
        QStringLiteral("The silence the modem wants before and after +++."),
        QStringLiteral("ms"), QStringLiteral("1000"));
    const QCommandLineOption teachOpt(
        QStringLiteral("teach-ms"),
        QStringLiteral("How long after a teach starts its radio device sends; 0: never."),
        QStringLiteral("ms"), QStringLiteral("3000"));
    const QCommandLineOption restartOpt(
        QStringLiteral("restart-ms"),
        QStringLiteral("How long the module hears nothing after a firmware check (FIRMWAREOK)."),
        QStringLiteral("ms"), QStringLiteral("4000"));
    const QCommandLineOption helpOpt = parser.addHelpOption();
    parser.addOptions({portOpt, codeOpt, silentOpt, memoryOpt, dataVersionOpt, firmwareOpt,
                       noAnswerOpt, damageOpt, wrongPageOpt, pwderrOpt, noCrcOkOpt, delayOpt,
                       paceOpt, faultOpt, statusVersionOpt, liveOpt, modemOpt, connectOpt,
                       guardOpt, teachOpt, restartOpt});
    if (!parser.parse(app.arguments())) return fail(parser.errorText(), kBadUsage);
    if (parser.isSet(helpOpt)) parser.showHelp(0);

    int noAnswerPage = -1, damagedPage = -1, wrongPage = -1, delayMs = 0, liveMs = 0;
    int teachMs = 0, restartMs = 0, connectMs = 0, guardMs = 0;
    if (!intOption(parser, noAnswerOpt, -1, &noAnswerPage) ||
        !intOption(parser, damageOpt, -1, &damagedPage) ||
        !intOption(parser, wrongPageOpt, -1, &wrongPage) ||
        !intOption(parser, delayOpt, 0, &delayMs) || !intOption(parser, liveOpt, 1000, &liveMs) ||
        !intOption(parser, teachOpt, 3000, &teachMs) ||
        !intOption(parser, restartOpt, 4000, &restartMs) ||
        !intOption(parser, connectOpt, 3000, &connectMs) ||
        !intOption(parser, guardOpt, 1000, &guardMs))
        return fail(QStringLiteral("page numbers and intervals are whole numbers from 0"),
                    kBadUsage);
    int statusVersion = 0;
    if (!intOption(parser, statusVersionOpt, 4, &statusVersion) || statusVersion < 1 ||
        statusVersion > 4)
        return fail(QStringLiteral("--status-version is 1, 2, 3 or 4"), kBadUsage);
    QList<KorvantaSim::Fault> faults;
    for (const QString& text : parser.values(faultOpt)) {
        QString why;
        const std::optional<KorvantaSim::Fault> fault = KorvantaSim::parseFault(text, &why);
        if (!fault) return fail(why, kBadUsage);
        faults.append(*fault);
    }

    KorvantaSim sim;
    const QString code = parser.value(codeOpt);
    sim.setInstallerCode(code);
    sim.setSilent(parser.isSet(silentOpt));
    sim.setFirmwareText(parser.value(firmwareOpt).toUtf8());
    sim.setDataVersionText(parser.value(dataVersionOpt).toUtf8());
    sim.setNoAnswerPage(noAnswerPage);
    sim.setDamagedPage(damagedPage);
    sim.setWrongPageNumberPage(wrongPage);
    sim.setPasswordErrorToAll(parser.isSet(pwderrOpt));
    sim.setNoCrcOk(parser.isSet(noCrcOkOpt));
    sim.setAnswerDelayMs(delayMs);
    for (const KorvantaSim::Fault& fault : faults) sim.addFault(fault);
    sim.setPace(parser.isSet(paceOpt));
    sim.setStatusVersion(statusVersion);
    sim.setLiveIntervalMs(liveMs);
    sim.setModem(parser.isSet(modemOpt));
    sim.setModemConnectMs(connectMs);
    sim.setModemGuardMs(guardMs);
    sim.radio().setTeachMs(teachMs);
    sim.setRestartMs(restartMs);

    // The memory a module with this installer code would leave the factory with, unless a
    // file carries one over from an earlier run.
    sim.setMemory(KorvantaSim::factoryMemory(code));
    QString error;
    const QString memoryFile = parser.value(memoryOpt);
    if (!memoryFile.isEmpty()) {
        const bool loaded = QFileInfo::exists(memoryFile) ? sim.loadMemory(memoryFile, &error)
                                                          : sim.saveMemory(memoryFile, &error);
        if (!loaded) return fail(error);
        sim.setMemoryFile(memoryFile);
    }

    if (!sim.start(parser.value(portOpt), &error)) return fail(error);

    // Quit cleanly on Ctrl+C or kill so the COM link is removed.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) == 0) {
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
        std::signal(SIGHUP, onSignal);
    }
    QSocketNotifier quitNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&quitNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    // An unplugged module has nothing more to answer.
    QObject::connect(&sim, &KorvantaSim::unplugged, &app, [] {
        std::fprintf(stderr, "korvanta-sim: the line was unplugged (port-lost fault)\n");
        QCoreApplication::quit();
    });

    std::printf("%s\n", qPrintable(sim.comName()));
    std::fflush(stdout);
    const int rc = app.exec();
    if (!memoryFile.isEmpty() && !sim.saveMemory(memoryFile, &error)) return fail(error);
    return rc;
}
