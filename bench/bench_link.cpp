// Measures what the link costs against what the 19200-baud line allows. Prints one line per
// measurement; nothing here passes or fails. `telvora-bench soak [MINUTES]` instead leaves the
// status window and the keep-alive running for a long while and reports memory and CPU.
#include <time.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <functional>

#include "app/appwindows.h"
#include "app/serialform.h"
#include "base/dialogs.h"
#include "config/transfer.h"
#include "events/eventlistform.h"
#include "firmware/gkffile.h"
#include "firmware/upload.h"
#include "link/exchange.h"
#include "link/modulelink.h"
#include "link/protocol.h"
#include "params/paramform.h"
#include "sim/korvantasim.h"
#include "status/statusform.h"

namespace {

constexpr double kLineBytesPerSecond = 19200.0 / 10.0;  // 8N1: ten bits a byte

double processCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// The editor's code check could ask; the benchmark never edits, so nobody needs to answer.
class NoDialogs : public UserDialogs {
public:
    void message(const QString&) override {}
    bool confirm(const QString&) override { return false; }
    QString openFileName(const QString&, const QString&) override { return {}; }
    QString saveFileName(const QString&, const QString&) override { return {}; }
};

struct Measure {
    double wallS;
    double cpuS;
};

Measure measure(const std::function<void()>& work) {
    const double cpu0 = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    work();
    return {double(wall.nsecsElapsed()) / 1e9, processCpuSeconds() - cpu0};
}

// A login that gets no answer waits its full 3 seconds; an idle wait should cost no CPU.
void benchIdleWait(KorvantaSim& sim, ModuleLink& link) {
    sim.setSilent(true);
    const Measure m = measure([&] { link.ModuleLogin(); });
    std::printf("wait cpu_per_wall=%.4f\n", m.cpuS / m.wallS);
    sim.setSilent(false);
}

// A whole transfer at the line's pace, against the time its bytes need on the line. The
// exchange is half duplex (each answer follows its command), so the bytes add up.
void benchPacedTransfer(const char* name, KorvantaSim& sim, ConfigTransfer& transfer,
                        ConfigTransfer::Outcome (ConfigTransfer::*op)()) {
    sim.setPace(true);
    sim.resetByteCounts();
    ConfigTransfer::Outcome outcome{};
    const Measure m = measure([&] { outcome = (transfer.*op)(); });
    const double wireS = double(sim.bytesReceived() + sim.bytesSent()) / kLineBytesPerSecond;
    std::printf("%s wire_s=%.3f wall_s=%.3f ratio=%.3f cpu_s=%.3f%s\n", name, wireS, m.wallS,
                m.wallS / wireS, m.cpuS,
                outcome == ConfigTransfer::Outcome::Done ? "" : " (transfer failed)");
    sim.setPace(false);
}

// Opening the editor: every control filled from an image, then the window shown and laid out.
void benchEditorOpening() {
    QByteArray image(2048, '\0');
    for (int i = 0; i < image.size(); ++i) image[i] = char(i * 31);
    NoDialogs dialogs;
    TFormParSetting editor(dialogs);
    QElapsedTimer wall;
    wall.start();
    editor.LoadFromImage(*ParamImage::fromBytes(image));
    editor.show();
    QApplication::processEvents();
    std::printf("editor_open wall_ms=%.1f\n", double(wall.nsecsElapsed()) / 1e6);
}

// The status window polling at its own pace (twice a second), with the module's life going
// on: a zone opening and closing, supplies drifting, a message now and then.
void startPolling(KorvantaSim& sim, TFormStatus& status) {
    sim.setLiveIntervalMs(1000);
    sim.resetCommandCounts();
    status.show();
    status.PollPause = 0;
    status.StatusTimer().start();
}

void stopPolling(KorvantaSim& sim, TFormStatus& status) {
    status.StatusTimer().stop();
    status.hide();
    sim.setLiveIntervalMs(0);
}

int pollsAnswered(const KorvantaSim& sim) {
    return sim.commandCount(KorvantaSim::CommandKind::PollStatus) +
           sim.commandCount(KorvantaSim::CommandKind::PollEvents);
}

// Runs the event loop for `ms` as the program's own would, sleeping while idle. A coarse
// timer could end a long run 5 % early.
void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Polls, frames, event lines and their display for 10 s should leave the processor idle.
// The simulator runs in this process, so its share is counted too.
void benchStatusPolling(KorvantaSim& sim, TFormStatus& status) {
    constexpr int kPollingMs = 10000;
    startPolling(sim, status);
    const Measure m = measure([] { runFor(kPollingMs); });
    stopPolling(sim, status);
    std::printf("status cpu_per_wall=%.4f polls=%d\n", m.cpuS / m.wallS, pollsAnswered(sim));
}

// The names and the event list downloaded at the line's pace, against the time their bytes
// need on the line.
void benchEventDownload(KorvantaSim& sim, TFormEventlistShort& list) {
    sim.setPace(true);
    sim.resetByteCounts();
    const Measure m = measure([&] {
        list.btLoadNamesClick();
        list.btLoadEventsClick();
    });
    const double wireS = double(sim.bytesReceived() + sim.bytesSent()) / kLineBytesPerSecond;
    const bool ok = list.StatusBarEventListShort->currentMessage() ==
                    QStringLiteral("Eseménylista letöltve.");
    std::printf("events wire_s=%.3f wall_s=%.3f ratio=%.3f cpu_s=%.3f%s\n", wireS, m.wallS,
                m.wallS / wireS, m.cpuS, ok ? "" : " (download failed)");
    sim.setPace(false);
}

// The largest firmware there is (512 pages) written at the line's pace, against the time its
// bytes need on the line.
void benchFirmwareUpload(KorvantaSim& sim, ModuleLink& link) {
    std::vector<gkf::Record> records(gkf::kMaxLines);
    for (size_t r = 0; r < records.size(); ++r)
        for (size_t i = 0; i < records[r].size(); ++i) records[r][i] = std::uint8_t(r * 3 + i);
    const gkf::Image image = gkf::build(records);
    sim.setPace(true);
    sim.resetByteCounts();
    firmware::UploadOutcome outcome{};
    const Measure m = measure([&] {
        ModuleExchange exchange(link);
        outcome = firmware::upload(exchange, image);
    });
    const double wireS = double(sim.bytesReceived() + sim.bytesSent()) / kLineBytesPerSecond;
    std::printf("firmware wire_s=%.3f wall_s=%.3f ratio=%.3f cpu_s=%.3f%s\n", wireS, m.wallS,
                m.wallS / wireS, m.cpuS,
                outcome == firmware::UploadOutcome::Done ? "" : " (upload failed)");
    sim.setPace(false);
}

// telvora-cli read as a script runs it, against the module at the line's pace: the whole
// program, start and end included, against the time its bytes need on the line. The child
// opens the module's port itself, so the caller's link must have let go of it.
void benchCliRead(KorvantaSim& sim) {
    QTemporaryDir dir;
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TELVORA_CODE"), QStringLiteral("1234"));
    cli.setProcessEnvironment(env);
    sim.setPace(true);
    sim.resetByteCounts();
    QEventLoop loop;  // the simulator answers from this loop while the child runs
    QObject::connect(&cli, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&cli, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    QElapsedTimer wall;
    wall.start();
    cli.start(QStringLiteral(TELVORA_CLI),
              {QStringLiteral("read"), dir.filePath(QStringLiteral("bench.KD2")),
               QStringLiteral("--port"), sim.comName()});
    if (cli.state() != QProcess::NotRunning) loop.exec();
    const double wallS = double(wall.nsecsElapsed()) / 1e9;
    const bool ok = cli.state() == QProcess::NotRunning &&
                    cli.exitStatus() == QProcess::NormalExit && cli.exitCode() == 0;
    if (cli.state() != QProcess::NotRunning) {
        cli.kill();
        cli.waitForFinished();
    }
    const double wireS = double(sim.bytesReceived() + sim.bytesSent()) / kLineBytesPerSecond;
    std::printf("cli_read wall_s=%.3f wire_s=%.3f ratio=%.3f%s\n", wallS, wireS, wallS / wireS,
                ok ? "" : " (read failed)");
    sim.setPace(false);
}

// Reading the largest firmware file there is (2048 lines) into its pages and control page.
void benchFirmwareLoad() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.GKF"));
    QByteArray binary(gkf::kMaxLines * gkf::kRecordSize, '\0');
    for (int i = 0; i < binary.size(); ++i) binary[i] = char(i * 131 + (i >> 7));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(*gkf::fromBinary(binary)) < 0) return;
    f.close();
    gkf::Image image;
    QElapsedTimer wall;
    wall.start();
    const bool loaded = !gkf::load(path, image);
    const double ms = double(wall.nsecsElapsed()) / 1e6;
    const bool ok = loaded && gkf::recordBytes(image) == binary;
    std::printf("gkf_load wall_ms=%.1f lines=%d%s\n", ms, image.lineCount,
                ok ? "" : " (load failed)");
}

// Resident memory of this process in kB (VmRSS), or -1 when it cannot be read.
long residentKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (QByteArray line = f.readLine(); !line.isEmpty(); line = f.readLine()) {
        if (!line.startsWith("VmRSS:")) continue;
        bool ok = false;
        const long kb = line.mid(6).trimmed().split(' ').value(0).toLong(&ok);
        return ok ? kb : -1;
    }
    return -1;
}

// The program left open on the status window for `minutes`: its polls, the module's life
// and the keep-alive login, all at the program's own intervals, with every line going to the
// traffic log as it always does. Memory is sampled after the first minute (half a minute in
// a soak of one), when the windows are laid out and the allocator has settled; CPU is counted
// from then to the end, the simulator's included.
int soak(KorvantaSim& sim, ModuleLink& link, UserDialogs& dialogs, TFormStatus& status,
         int minutes) {
    constexpr int kMinuteMs = 60 * 1000;
    constexpr int kProgressMinutes = 5;
    TSerialForm trafficLog(link, dialogs);
    // The log keeps its last lines and drops older ones, but the text it drops is reclaimed
    // only once its buffer is nearly full, so its memory saws up and down over hours of
    // traffic before it settles. Run first through as many lines as that takes (some hours'
    // worth of what the soak brings: a status frame and an event line a second, a login answer
    // every keep-alive), each through the event loop as the receiver hands them over, the log
    // starts where a long session has it, and its own bounded cycle is not mistaken for growth.
    constexpr int kLogWarmUpLines = 8 * kTrafficLogMaxLines;
    const QString frames[] = {QString::fromLatin1(sim.statusFrame()),
                              QString::fromLatin1(sim.state().eventLine())};
    const int linesPerLogin = link.timings().keepAliveMs / link.timings().pollMs;
    for (int i = 0; i < kLogWarmUpLines; ++i) {
        trafficLog.writeLine(i % (linesPerLogin + 1) == linesPerLogin
                                 ? QString::fromLatin1(proto::kPasswordOk)
                                 : frames[i % 2]);
        QCoreApplication::processEvents();
    }

    // The simulator keeps every line it receives for tests to read back; the soak reads none,
    // and that record would otherwise be the one thing here that grows.
    const QMetaObject::Connection forget =
        QObject::connect(&sim, &KorvantaSim::lineReceived, &sim, &KorvantaSim::clearReceived);

    const int warmUpMs = minutes > 1 ? kMinuteMs : kMinuteMs / 2;
    const int totalMs = minutes * kMinuteMs;
    startPolling(sim, status);
    link.CodeTimer().start();  // its interval is the program's own keep-alive

    long rssStart = -1;
    double cpuStart = 0;
    QElapsedTimer sinceStart;
    QElapsedTimer wall;
    sinceStart.start();
    QTimer::singleShot(warmUpMs, Qt::PreciseTimer, [&] {
        rssStart = residentKb();
        cpuStart = processCpuSeconds();
        wall.start();
    });
    QTimer progress;
    progress.setTimerType(Qt::PreciseTimer);
    progress.setInterval(kProgressMinutes * kMinuteMs);
    QObject::connect(&progress, &QTimer::timeout, [&] {
        std::fprintf(stderr, "soak: %lld of %d min, rss_kb=%ld polls=%d logins=%d\n",
                     sinceStart.elapsed() / kMinuteMs, minutes, residentKb(), pollsAnswered(sim),
                     sim.commandCount(KorvantaSim::CommandKind::Login));
    });
    progress.start();
    runFor(totalMs);
    progress.stop();

    const double cpuS = processCpuSeconds() - cpuStart;
    const double wallS = double(wall.nsecsElapsed()) / 1e9;
    const long rssEnd = residentKb();
    const int polls = pollsAnswered(sim);
    const int logins = sim.commandCount(KorvantaSim::CommandKind::Login);
    link.CodeTimer().stop();
    stopPolling(sim, status);
    QObject::disconnect(forget);
    // Two polls a second and a login every keep-alive interval; far fewer means the figures
    // describe a link that stood still.
    const int pollsDue = totalMs / link.timings().pollMs;
    const int loginsDue = totalMs / link.timings().keepAliveMs;
    const bool lively = polls >= pollsDue * 9 / 10 && logins >= loginsDue * 9 / 10;
    std::printf("soak minutes=%d rss_kb_start=%ld rss_kb_end=%ld cpu_per_wall=%.4f%s\n", minutes,
                rssStart, rssEnd, cpuS / wallS, lively ? "" : " (link idle)");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Widgets are measured offscreen when there is no display.
    if (qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);  // takes Qt's own options out of argv

    int soakMinutes = 0;  // 0: the measurements, not the soak
    if (argc > 1) {
        constexpr int kDefaultSoakMinutes = 30;
        constexpr int kMaxSoakMinutes = 24 * 60;  // keeps the timer's milliseconds in an int
        if (std::strcmp(argv[1], "soak") != 0 || argc > 3) {
            std::fprintf(stderr, "telvora-bench: unexpected '%s' (use: soak [MINUTES])\n",
                         argc > 3 ? argv[3] : argv[1]);
            return 2;
        }
        bool ok = true;
        soakMinutes = argc == 3 ? QByteArray(argv[2]).toInt(&ok, 10) : kDefaultSoakMinutes;
        if (!ok || soakMinutes < 1 || soakMinutes > kMaxSoakMinutes) {
            std::fprintf(stderr, "telvora-bench: soak minutes must be 1 to %d, not '%s'\n",
                         kMaxSoakMinutes, argv[2]);
            return 2;
        }
    }

    KorvantaSim sim;
    QString error;
    if (!sim.start(QString(), &error)) {
        std::fprintf(stderr, "telvora-bench: %s\n", qPrintable(error));
        return 1;
    }
    ModuleLink link;
    // The keep-alive would land in the measured transfers; the soak turns it back on.
    link.CodeTimer().stop();
    link.setInstallerCodeSource([] { return QStringLiteral("1234"); });
    link.ComPort1().setPort(sim.comName());
    link.ComPort1().open();
    NoDialogs dialogs;
    TFormEventlistShort list(link, dialogs, moduleNameFields());
    TFormStatus status(link, dialogs, list);
    if (soakMinutes > 0) return soak(sim, link, dialogs, status, soakMinutes);
    ConfigTransfer transfer(link);

    benchIdleWait(sim, link);
    benchPacedTransfer("read", sim, transfer, &ConfigTransfer::read);
    benchPacedTransfer("write", sim, transfer, &ConfigTransfer::write);
    benchPacedTransfer("compare", sim, transfer, &ConfigTransfer::compare);

    int done = 0;
    const Measure m = measure([&] {
        for (int i = 0; i < 100; ++i) done += transfer.read() == ConfigTransfer::Outcome::Done;
    });
    std::printf("read_unpaced_100 wall_s=%.3f cpu_s=%.3f reads_ok=%d\n", m.wallS, m.cpuS, done);
    benchEditorOpening();
    benchEventDownload(sim, list);
    benchStatusPolling(sim, status);
    benchFirmwareLoad();
    benchFirmwareUpload(sim, link);
    link.ComPort1().close();
    benchCliRead(sim);
    return 0;
}
