#include "link/timing.h"

namespace {
Timings g_timings;
}

const Timings& timings() { return g_timings; }
void setTimings(const Timings& t) { g_timings = t; }
