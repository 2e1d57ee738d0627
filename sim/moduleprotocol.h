#pragma once

#include <QByteArray>
#include <QObject>
#include <array>

#include "sim/faultmodel.h"

class PtyLine;
class SimModem;
class SimModule;

// How the simulated module answers: it tells what each line from the PC asks, counts it,
// lets an armed fault take it or carries it out on the module (or the modem in front of it),
// and sends the answer on the line, late when a fault says so.
class ModuleProtocol : public QObject {
    Q_OBJECT
public:
    using CommandKind = FaultModel::CommandKind;

    ModuleProtocol(SimModule& module, SimModem& modem, FaultModel& faults, PtyLine& line,
                   QObject* parent = nullptr);

    void handleLine(const QByteArray& line);

    // Commands received of a kind (Any: of every kind), answered or not; stray frame digits
    // are no command.
    int commandCount(CommandKind kind) const;
    void resetCommandCounts() { m_commandCounts.fill(0); }
    bool sessionOpen() const { return m_session; }

    // A line the module sends of its own accord (CR LF added).
    void sendLine(const QByteArray& line);

private:
    using Armed = FaultModel::Armed;

    void carryOut(CommandKind kind, int page, const QByteArray& line);
    void takeByFault(Armed& armed, CommandKind kind, int page);
    void carryOutAuthorised(CommandKind kind, const QByteArray& line);
    void takeFrame(const QByteArray& digits);
    void readPage(int page);
    QByteArray frameLine(int page, int numbered) const;
    void answer(const QByteArray& line);
    void answerRaw(const QByteArray& bytes);
    void endSession();

    SimModule& m_module;
    SimModem& m_modem;
    FaultModel& m_faults;
    PtyLine& m_line;
    std::array<int, FaultModel::kCommandKindCount> m_commandCounts{};
    bool m_session = false;
    bool m_expectFrame = false;  // the line after "WRFL" is its frame
    int m_answerDelayMs = 0;     // of the command being handled, from its Late fault
};
