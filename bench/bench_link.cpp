// Measures what the link costs against what the 19200-baud line allows. Prints one line per
// measurement; nothing here passes or fails.
#include <time.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

#include "link/modulelink.h"
#include "sim/korvantasim.h"

namespace {

double processCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// A login that gets no answer waits its full 3 seconds; an idle wait should cost no CPU.
void benchIdleWait(KorvantaSim& sim) {
    ModuleLink link;
    link.CodeTimer().stop();
    link.ComPort1().setPort(sim.comName());
    link.ComPort1().open();
    sim.setSilent(true);
    const double cpu0 = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    link.ModuleLogin();
    const double wallS = double(wall.nsecsElapsed()) / 1e9;
    const double cpuS = processCpuSeconds() - cpu0;
    std::printf("wait cpu_per_wall=%.4f\n", cpuS / wallS);
    sim.setSilent(false);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    KorvantaSim sim;
    QString error;
    if (!sim.start(QString(), &error)) {
        std::fprintf(stderr, "telvora-bench: %s\n", qPrintable(error));
        return 1;
    }
    benchIdleWait(sim);
    return 0;
}
