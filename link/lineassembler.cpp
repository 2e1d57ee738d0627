#include "link/lineassembler.h"

#include "link/protocol.h"

LineAssembler::LineAssembler(int maxLength) : m_maxLength(maxLength) {}

std::optional<QByteArray> LineAssembler::push(char byte) {
    if (byte == proto::kLineFeed) return std::nullopt;
    if (byte == proto::kLineEnd) {
        const bool dropped = m_discarding;
        m_discarding = false;
        QByteArray line;
        line.swap(m_line);
        if (dropped || line.isEmpty()) return std::nullopt;
        return line;
    }
    if (m_discarding) return std::nullopt;
    if (m_line.size() >= m_maxLength) {
        m_line.clear();
        m_discarding = true;
        return std::nullopt;
    }
    m_line.append(byte);
    return std::nullopt;
}
