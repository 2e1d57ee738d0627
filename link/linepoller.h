#pragma once

#include <QtGlobal>
#include <functional>

class ModuleLink;

// A poller's door to the line (the status and radio windows): its polls go out only when the
// line's owner lets them, and its hold — the pause an exchange of its own window needs before
// and after a command (the names download, the alarm stops, teach and delete) — is this one
// rule. The window's timer calls tick(); the pause counts down one per tick.
class LinePoller {
public:
    explicit LinePoller(ModuleLink& link) : m_link(link) {}
    ~LinePoller() { stop(); }
    LinePoller(const LinePoller&) = delete;
    LinePoller& operator=(const LinePoller&) = delete;

    // The poller's window opens and closes: while it polls, the owner keeps the keep-alive
    // quiet. The pause starts at 0.
    void start();
    void stop();
    bool polling() const { return m_polling; }

    // One tick of the poller's timer: counts a pause above 1 down, and says whether a poll may
    // go out now (no pause, and nothing holds the line).
    bool tick();
    // A poll (authorised command k). "PWDERR" since the last poll is pollRefused().
    void poll(int k);
    bool pollRefused() const;
    // "RFTERR" came since this was last asked: returned once, then forgotten.
    bool takeRadioRefused();

    // Pauses the polls for `pause` ticks and waits until at most one is left, the timer stops
    // or `gone()` is true. True when the line is quiet for the caller now.
    bool hold(int pause, int pollIntervalTicks, const std::function<bool()>& gone);
    // The partition commands go out between polls, never into a held line. False (nothing
    // sent) when the line is held.
    bool command(int k);

    // The pause counter (the windows' PollPause).
    qint32& pause() { return m_pause; }

private:
    ModuleLink& m_link;
    qint32 m_pause = 0;
    bool m_polling = false;
};
