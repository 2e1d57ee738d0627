#pragma once

// Every timer interval of the program comes from here, so tests can shorten them all at once.
struct Timings {
    int tickMs = 100;        // tick and delay counters
    int pollMs = 500;        // status and radio polls
    int keepAliveMs = 5000;  // CodeTimer keep-alive
    int splashMs = 1000;     // start-up stages
};

const Timings& timings();
// Tests only: replace the intervals (before creating the objects that use them).
void setTimings(const Timings& t);
