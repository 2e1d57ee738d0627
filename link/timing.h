#pragma once

// Every timer interval of the program. One set is made by whoever builds the windows and
// handed down; tests hand down shorter ones.
struct Timings {
    int tickMs = 100;        // tick and delay counters
    int pollMs = 500;        // status and radio polls
    int keepAliveMs = 5000;  // CodeTimer keep-alive
    int splashMs = 1000;     // start-up stages
    int reopenMs = 1000;     // a lost port's device looked for again
};
