#pragma once

#include <QtGlobal>

#include "link/linepoller.h"

class ModuleLink;

// The status window's running polls, without the window: each tick picks the next poll (the
// status frame and the event line in turn), sends it when the line lets it, and says when the
// polls have gone unanswered or been refused, so that old labels are never passed off as the
// module's state.
class StatusPoller {
public:
    // Status polls left unanswered (one every other tick) before the window warns.
    static constexpr int kSilentStatusPolls = 3;

    explicit StatusPoller(ModuleLink& link) : m_line(link), m_link(link) {}

    LinePoller& line() { return m_line; }
    // Flips on every tick and picks the next poll (0: status); kept between openings.
    qint32& toggle() { return m_toggle; }

    // The window opens: counts start afresh.
    void reset();
    // One tick of the poll timer. Returns the warning to show now (one of the link's texts),
    // or nullptr. A failed send leaves as EComPort.
    const char* tick();
    // A readable status frame came: the polls are answered.
    void answered() { m_unanswered = 0; }

private:
    LinePoller m_line;
    ModuleLink& m_link;
    qint32 m_toggle = 0;
    int m_unanswered = 0;   // status polls sent since the last good frame
    bool m_awaited = false; // a poll went out at the last tick: a refusal since is its
};
