// Measures what the link costs against what the 19200-baud line allows. Prints one line per
// measurement; nothing here passes or fails.
#include <time.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "app/appwindows.h"
#include "base/dialogs.h"
#include "config/transfer.h"
#include "events/eventlistform.h"
#include "firmware/gkffile.h"
#include "firmware/upload.h"
#include "link/exchange.h"
#include "link/modulelink.h"
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

// The status window polling the module twice a second for 10 s, with the module's life
// going on: polls, frames, event lines and their display should leave the processor idle.
// The simulator runs in this process, so its share is counted too.
void benchStatusPolling(KorvantaSim& sim, TFormStatus& status) {
    constexpr int kPollingMs = 10000;
    sim.setLiveIntervalMs(1000);
    sim.resetCommandCounts();
    status.show();
    status.PollPause = 0;
    status.StatusTimer().start();
    const Measure m = measure([] {
        QEventLoop loop;
        QTimer::singleShot(kPollingMs, &loop, &QEventLoop::quit);
        loop.exec();
    });
    status.StatusTimer().stop();
    status.hide();
    sim.setLiveIntervalMs(0);
    std::printf("status cpu_per_wall=%.4f polls=%d\n", m.cpuS / m.wallS,
                sim.commandCount(KorvantaSim::CommandKind::PollStatus) +
                    sim.commandCount(KorvantaSim::CommandKind::PollEvents));
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

}  // namespace

int main(int argc, char** argv) {
    // Widgets are measured offscreen when there is no display.
    if (qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    KorvantaSim sim;
    QString error;
    if (!sim.start(QString(), &error)) {
        std::fprintf(stderr, "telvora-bench: %s\n", qPrintable(error));
        return 1;
    }
    ModuleLink link;
    link.CodeTimer().stop();
    link.setInstallerCodeSource([] { return QStringLiteral("1234"); });
    link.ComPort1().setPort(sim.comName());
    link.ComPort1().open();
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

    NoDialogs dialogs;
    TFormEventlistShort list(link, dialogs, moduleNameFields());
    TFormStatus status(link, dialogs, list);
    benchEventDownload(sim, list);
    benchStatusPolling(sim, status);
    benchFirmwareLoad();
    benchFirmwareUpload(sim, link);
    return 0;
}
