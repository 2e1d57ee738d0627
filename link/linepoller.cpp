#include "link/linepoller.h"

#include <algorithm>

#include "link/modulelink.h"

void LinePoller::start() {
    m_pause = 0;
    if (m_polling) return;
    m_polling = true;
    m_link.beginPolling();
}

void LinePoller::stop() {
    if (!m_polling) return;
    m_polling = false;
    m_link.endPolling();
}

bool LinePoller::tick() {
    if (m_pause > 1) --m_pause;
    return m_pause == 0 && m_link.canPoll();
}

void LinePoller::poll(int k) {
    m_link.clearFlags({Flag::PasswordError});
    m_link.SendAuthorised(k);
}

bool LinePoller::pollRefused() const { return m_link.flag(Flag::PasswordError); }

bool LinePoller::takeRadioRefused() {
    if (!m_link.flag(Flag::RadioRefused)) return false;
    m_link.clearFlags({Flag::RadioRefused});
    return true;
}

bool LinePoller::hold(int pause, int pollIntervalTicks, const std::function<bool()>& gone) {
    m_pause = pause;
    // Only a safety net: the poll ticks end the wait long before it runs out.
    const int ticks = 4 * pause * std::max(1, pollIntervalTicks) + 10;
    m_link.waitFor(m_link.tickCounter(), ticks, [&] { return m_pause <= 1 || gone(); });
    return m_pause <= 1 && !gone();
}

bool LinePoller::command(int k) {
    if (m_link.connected() && !m_link.canPoll()) return false;
    m_link.SendAuthorised(k);
    return true;
}
