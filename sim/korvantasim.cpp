#include "sim/korvantasim.h"

KorvantaSim::KorvantaSim(QObject* parent) : QObject(parent) {
    m_line.setByteWatcher([this](char byte) { m_modem.watch(byte); });
    m_line.setLineHandler([this](const QByteArray& line) { acceptLine(line); });
    connect(&m_line, &PtyLine::unplugged, this, &KorvantaSim::unplugged);
    connect(&m_module, &SimModule::restarted, this, &KorvantaSim::restarted);
}

KorvantaSim::~KorvantaSim() { stop(); }

void KorvantaSim::setModem(bool on) {
    m_modem.setOn(on);
    m_faults.setSwitch(FaultModel::Switch::Modem, on);
}

void KorvantaSim::acceptLine(const QByteArray& line) {
    m_received.append(line);
    // A simulator left running for days keeps only the newest lines.
    if (m_received.size() > m_receivedKept)
        m_received.remove(0, m_received.size() - m_receivedKept);
    emit lineReceived(line);
    m_protocol.handleLine(line);
}
