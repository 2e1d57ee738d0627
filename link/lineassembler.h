#pragma once

#include <QByteArray>
#include <optional>

// Collects received bytes into lines: LF is dropped, CR ends a line, empty lines are skipped.
// A line that grows past the limit without a CR is noise: it is dropped whole, up to its CR.
class LineAssembler {
public:
    explicit LineAssembler(int maxLength);

    // Feeds one byte; returns a complete non-empty line when this byte ended one.
    std::optional<QByteArray> push(char byte);
    const QByteArray& pending() const { return m_line; }

private:
    int m_maxLength;
    QByteArray m_line;
    bool m_discarding = false;
};
