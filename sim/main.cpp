#include <sys/socket.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <iterator>
#include <vector>

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

// The older fault switches: a flag, or an option with a value (its name in valueName).
struct SwitchOption {
    const char* name;
    FaultModel::Switch which;
    const char* valueName;
    const char* what;
};
constexpr SwitchOption kSwitchOptions[] = {
    {"silent", FaultModel::Switch::Silent, "", "Answer nothing (a module that is busy)."},
    {"pwderr", FaultModel::Switch::PasswordError, "", "Answer PWDERR to every command."},
    {"no-answer-page", FaultModel::Switch::NoAnswerPage, "N",
     "Answer neither reads nor writes of page N."},
    {"damage-page", FaultModel::Switch::DamagedPage, "N", "Send page N with a wrong checksum."},
    {"wrong-page", FaultModel::Switch::WrongPage, "N", "Send page N numbered N+1."},
    {"no-crcok", FaultModel::Switch::NoCrcOk, "",
     "Ignore activation: commit nothing, answer nothing."},
    {"delay", FaultModel::Switch::Delay, "ms", "Send every answer this many ms late."},
};

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
    parser.addOptions({portOpt, codeOpt, memoryOpt, dataVersionOpt, firmwareOpt, paceOpt, faultOpt,
                       statusVersionOpt, liveOpt, modemOpt, connectOpt, guardOpt, teachOpt,
                       restartOpt});
    // The older fault switches, each another spelling of one --fault.
    std::vector<QCommandLineOption> switchOpts;
    for (const SwitchOption& o : kSwitchOptions) {
        const QString value = QLatin1String(o.valueName);
        const QString spelled = FaultModel::switchSpelling(o.which, value);
        switchOpts.emplace_back(
            QLatin1String(o.name),
            QStringLiteral("%1 The same as --fault %2.").arg(QLatin1String(o.what), spelled),
            value);
        parser.addOption(switchOpts.back());
    }
    if (!parser.parse(app.arguments())) return fail(parser.errorText(), kBadUsage);
    if (parser.isSet(helpOpt)) parser.showHelp(0);

    int liveMs = 0, teachMs = 0, restartMs = 0, connectMs = 0, guardMs = 0;
    if (!intOption(parser, liveOpt, 1000, &liveMs) ||
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
    // The switches' faults, checked as --fault checks its own; --delay 0 is no delay.
    struct SwitchOn {
        FaultModel::Switch which;
        int value;
    };
    QList<SwitchOn> switches;
    for (size_t i = 0; i < std::size(kSwitchOptions); ++i) {
        const SwitchOption& o = kSwitchOptions[i];
        int value = 0;
        if (!parser.isSet(switchOpts[i])) continue;
        if (*o.valueName && !intOption(parser, switchOpts[i], 0, &value))
            return fail(
                QStringLiteral("--%1 takes a whole number from 0").arg(QLatin1String(o.name)),
                kBadUsage);
        if (o.which == FaultModel::Switch::Delay && value == 0) continue;
        QString why;
        if (!FaultModel::parseFault(FaultModel::switchSpelling(o.which, value), &why))
            return fail(QStringLiteral("--%1: %2").arg(QLatin1String(o.name), why), kBadUsage);
        switches.append({o.which, value});
    }
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
    sim.setFirmwareText(parser.value(firmwareOpt).toUtf8());
    sim.setDataVersionText(parser.value(dataVersionOpt).toUtf8());
    for (const SwitchOn& s : switches) sim.faults().setSwitch(s.which, true, s.value);
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
