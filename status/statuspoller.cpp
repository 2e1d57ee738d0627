#include "status/statuspoller.h"

#include "link/modulelink.h"
#include "link/protocol.h"
#include "link/texts.h"

void StatusPoller::reset() {
    m_unanswered = 0;
    m_awaited = false;
}

const char* StatusPoller::tick() {
    m_toggle = m_toggle + 1 >= 2 ? 0 : m_toggle + 1;
    if (!m_link.connected()) return texts::kNoSerial;
    // A hold, or an exchange of another window, keeps the line: a poll now would answer into it.
    if (!m_line.tick()) {
        m_awaited = false;  // a refusal now answers the exchange, not a poll
        return nullptr;
    }
    const char* warning = nullptr;
    if (m_awaited && m_line.pollRefused())
        warning = texts::kWrongCode;
    else if (m_unanswered >= kSilentStatusPolls)
        warning = texts::kModuleSilent;
    m_awaited = true;
    const bool statusPoll = m_toggle == 0;
    m_line.poll(statusPoll ? proto::kAuthPollStatus : proto::kAuthPollEvents);
    if (statusPoll) ++m_unanswered;
    return warning;
}
