#include "sim/moduleprotocol.h"

#include <QTimer>
#include <algorithm>
#include <optional>
#include <utility>

#include "clock/clockpage.h"
#include "events/eventring.h"
#include "link/codestring.h"
#include "link/hex.h"
#include "link/pageframe.h"
#include "link/protocol.h"
#include "sim/ptyline.h"
#include "sim/simmodem.h"
#include "sim/simmodule.h"
#include "status/statusframe.h"

namespace {
using Kind = FaultModel::CommandKind;
using Mode = FaultModel::FaultMode;

const QByteArray kModuleLineEnd = QByteArray(1, proto::kLineEnd) + proto::kLineFeed;
constexpr auto kModuleOrder = frame::ChecksumOrder::ModuleLittleEndian;

// Line noise: a garbage line long enough to look like an answer, a burst shorter than any.
constexpr int kGarbageMin = 8;
constexpr int kGarbageMax = 40;
constexpr int kBurstMin = 3;
constexpr int kBurstMax = 12;

constexpr quint8 kNewestTooHigh = 0xFF;  // what an erased or corrupted byte reads
// What a stray-high frame carries in the page number's high byte (the page's own, with these
// bits turned: never the page's) and in each further byte.
constexpr quint8 kStrayHighMask = 0xA5;
constexpr quint8 kStrayFurther = 0xC3;

bool isHexDigits(const QByteArray& line) {
    return std::all_of(line.begin(), line.end(), [](char c) { return hex::digitValue(c) >= 0; });
}

// Line noise, never a line end among it.
QByteArray randomBytes(QRandomGenerator& random, int minSize, int maxSize) {
    QByteArray bytes(int(random.bounded(minSize, maxSize + 1)), '\0');
    for (char& c : bytes) {
        do c = char(random.bounded(256));
        while (c == proto::kLineEnd || c == proto::kLineFeed);
    }
    return bytes;
}

// "TRF" + the slot character: slot 0 is "0", slot 35 is "S".
const QByteArray kTeachWord = authorisedCommand(proto::kAuthTeachFirst, QString()).left(3);

// The commands that carry the installer code, by the command number the PC sends them with.
struct AuthorisedKind {
    int code;
    Kind kind;
};
constexpr AuthorisedKind kAuthorisedKinds[] = {
    {proto::kAuthPollStatus, Kind::PollStatus},   {proto::kAuthPollEvents, Kind::PollEvents},
    {proto::kAuthStopAlarm, Kind::AlarmStop},     {proto::kAuthPartition1Off, Kind::Partition},
    {proto::kAuthPartition2Off, Kind::Partition}, {proto::kAuthPartition1On, Kind::Partition},
    {proto::kAuthPartition2On, Kind::Partition},  {proto::kAuthPollRadio, Kind::PollRadio},
    {proto::kAuthDeleteRadio, Kind::RadioDelete},
};

// The word of an authorised command, "RPWS" for "RPWS" + code string.
QByteArray commandWord(int code) { return authorisedCommand(code, QString()).left(4); }

// What a line asks, and of which page; kAnyPage when it names none.
Kind classify(const QByteArray& line, int* page) {
    *page = FaultModel::kAnyPage;
    const QByteArray login = authorisedCommand(proto::kAuthLogin, QString());
    if (line.startsWith(login.left(4)) && line.size() == login.size()) return Kind::Login;
    if (line.startsWith(proto::kReadFrame)) {
        const QByteArray digits = line.mid(int(qstrlen(proto::kReadFrame)));
        if (digits.size() == 4 && isHexDigits(digits)) *page = digits.toInt(nullptr, 16);
        return Kind::PageRead;
    }
    if (line == proto::kWriteFrame) return Kind::WriteStart;
    if (line == proto::kActivate) return Kind::Activate;
    if (line.startsWith(kTeachWord) && line.size() == login.size()) return Kind::RadioTeach;
    for (const AuthorisedKind& a : kAuthorisedKinds)
        if (line.startsWith(commandWord(a.code)) && line.size() == login.size()) return a.kind;
    return Kind::Other;
}

// The page a written frame carries, whether or not its checksum holds.
int writtenPage(const QByteArray& digits) {
    frame::Frame f{};
    const frame::DecodeResult r = frame::decodeHex(digits, f, frame::ChecksumOrder::PcBigEndian);
    return r == frame::DecodeResult::Ok || r == frame::DecodeResult::BadChecksum
               ? frame::pageNumber(f)
               : FaultModel::kAnyPage;
}

QByteArray frameAnswer(const frame::Frame& f) { return proto::kReadFrame + frame::toHex(f); }
}  // namespace

ModuleProtocol::ModuleProtocol(SimModule& module, SimModem& modem, FaultModel& faults,
                               PtyLine& line, QObject* parent)
    : QObject(parent), m_module(module), m_modem(modem), m_faults(faults), m_line(line) {
    connect(&m_modem, &SimModem::said, this, &ModuleProtocol::answer);
    connect(&m_modem, &SimModem::callDropped, this, &ModuleProtocol::endSession);
    connect(&m_modem, &SimModem::escaped, this, [this] { m_line.dropPartialLine(); });
    connect(&m_module, &SimModule::announces, this, &ModuleProtocol::sendLine);
}

int ModuleProtocol::commandCount(CommandKind kind) const {
    if (kind == CommandKind::Any) {
        int all = 0;
        for (int n : m_commandCounts) all += n;
        return all;
    }
    return m_commandCounts[size_t(kind)];
}

void ModuleProtocol::endSession() {
    m_session = false;
    m_expectFrame = false;
}

void ModuleProtocol::handleLine(const QByteArray& line) {
    int page = FaultModel::kAnyPage;
    CommandKind kind = CommandKind::Other;
    if (m_modem.dialling()) {
        // Whatever the PC sends while the modem dials ends the call.
        m_modem.lineWhileDialling();
        return;
    }
    if (!m_modem.passesLines()) {
        const std::optional<CommandKind> modemKind = SimModem::classify(line);
        if (!modemKind) return;  // a modem on its commands hears nothing but "AT"
        kind = *modemKind;
    } else {
        if (m_module.restarting()) return;  // a module starting up hears nothing
        kind = classify(line, &page);
        if (std::exchange(m_expectFrame, false) && kind == CommandKind::Other) {
            // Whatever follows "WRFL" is its frame, unless it is a command: then the frame
            // never came, and the PC has moved on.
            kind = CommandKind::PageWrite;
            page = writtenPage(line);
        } else if (kind == CommandKind::Other && isHexDigits(line)) {
            return;  // frame digits without a "WRFL" before them are noise and go unanswered
        }
    }
    ++m_commandCounts[size_t(kind)];

    const bool pageExists = SimModule::hasPage(page);
    const Armed* late = m_faults.take(kind, page, pageExists, true);
    m_answerDelayMs = late ? late->fault.delayMs : 0;
    if (Armed* fault = m_faults.take(kind, page, pageExists, false))
        takeByFault(*fault, kind, page);
    else
        carryOut(kind, page, line);
    m_answerDelayMs = 0;
}

void ModuleProtocol::carryOut(CommandKind kind, int page, const QByteArray& line) {
    switch (kind) {
        case CommandKind::Login:
            m_session = m_module.codeMatches(line.mid(4));
            answer(m_session ? proto::kPasswordOk : proto::kPasswordError);
            return;
        case CommandKind::PageWrite:
            takeFrame(line);
            return;
        case CommandKind::PollStatus:
        case CommandKind::PollEvents:
        case CommandKind::AlarmStop:
        case CommandKind::Partition:
        case CommandKind::PollRadio:
        case CommandKind::RadioTeach:
        case CommandKind::RadioDelete:
            carryOutAuthorised(kind, line);
            return;
        case CommandKind::ModemCommand:
        case CommandKind::Dial:
        case CommandKind::HangUp:
            m_modem.carryOut(kind, line, m_answerDelayMs);
            return;
        case CommandKind::Other:
        case CommandKind::Any:
            return;  // not understood: a module says nothing
        case CommandKind::PageRead:
        case CommandKind::WriteStart:
        case CommandKind::Activate:
            break;
    }
    if (!m_session) {
        answer(proto::kPasswordError);
        return;
    }
    if (kind == CommandKind::WriteStart) {
        m_expectFrame = true;
    } else if (kind == CommandKind::Activate) {
        m_module.activate();
        answer(proto::kCrcOk);
    } else if (page != FaultModel::kAnyPage) {
        readPage(page);
    }
}

QByteArray ModuleProtocol::frameLine(int page, int numbered) const {
    return frameAnswer(
        frame::build(m_module.pageData(page), std::uint16_t(numbered), kModuleOrder));
}

void ModuleProtocol::takeByFault(Armed& armed, CommandKind kind, int page) {
    switch (armed.fault.mode) {
        case Mode::NoAnswer:
        case Mode::Late:
            return;
        case Mode::PasswordError:
            if (kind == CommandKind::Login) m_session = false;
            answer(proto::kPasswordError);
            return;
        case Mode::DamagedFrame: {
            frame::Frame f =
                frame::build(m_module.pageData(page), std::uint16_t(page), kModuleOrder);
            f[0] ^= 0xFF;  // after the checksum, so it no longer matches
            answer(frameAnswer(f));
            return;
        }
        case Mode::WrongPage:
            answer(frameLine(page, page + 1));
            return;
        case Mode::Garbage:
            answer(randomBytes(armed.random, kGarbageMin, kGarbageMax));
            return;
        case Mode::GarbageBurst:
            answerRaw(randomBytes(armed.random, kBurstMin, kBurstMax));
            return;
        case Mode::WrongKind:
            if (kind == CommandKind::PageWrite) {
                // The answer a read of the next page would get, where "WROK" is awaited.
                const int other = page < 0 ? 0 : (page + 1) % SimModule::kBlockCount;
                answer(frameLine(other, other));
            } else {
                answer(proto::kWriteOk);
            }
            return;
        case Mode::PortLost:
            m_line.unplug(m_answerDelayMs);
            return;
        case Mode::NoCarrier:
        case Mode::Busy:
            m_modem.dial(armed.fault.mode, m_answerDelayMs);
            return;
        case Mode::WrongLength:
            if (kind == CommandKind::PollRadio) {
                answer(m_module.radio().frameLine().chopped(1));  // no closing '>'
            } else if (kind == CommandKind::PollEvents) {
                const QByteArray line = m_module.state().eventLine();
                answer(line.left(line.size() / 2));
            } else {
                QByteArray f = m_module.statusFrame();
                answer(f.insert(f.size() - 1, '0'));
            }
            return;
        case Mode::WrongComma: {
            QByteArray f = m_module.statusFrame();
            f[statusframe::kCommas[1]] = ';';
            answer(f);
            return;
        }
        case Mode::BadDigits:
            if (kind == CommandKind::PollRadio)
                answer(m_module.radio().frameLine().toLower().replace("at_<", proto::kRadioFrame));
            else
                answer(m_module.state().eventLine().toLower().replace("at_{", proto::kEventLine));
            return;
        case Mode::RadioRefused:
            answer(proto::kRadioRefused);
            return;
        case Mode::StrayHigh: {
            // Bytes the page frame carries but the page does not own, all set; the checksum
            // covers them as it does any byte.
            const quint8 high = quint8((page >> 8) ^ kStrayHighMask);
            const std::uint16_t number = std::uint16_t((high << 8) | (page & 0xFF));
            const QByteArray further(frame::kFurtherSize, char(kStrayFurther));
            answer(frameAnswer(frame::build(m_module.pageData(page), number, kModuleOrder, further)));
            return;
        }
        case Mode::NewestHigh: {
            QByteArray data = m_module.pageData(page);
            data[eventring::kNewestSlotOffset % frame::kDataSize] = char(kNewestTooHigh);
            answer(frameAnswer(frame::build(data, std::uint16_t(page), kModuleOrder)));
            return;
        }
    }
}

void ModuleProtocol::carryOutAuthorised(CommandKind kind, const QByteArray& line) {
    // These carry the code themselves; the module checks it whether or not a login came.
    if (!m_module.codeMatches(line.mid(4))) {
        answer(proto::kPasswordError);
        return;
    }
    switch (kind) {
        case CommandKind::PollStatus:
            answer(m_module.statusFrame());
            return;
        case CommandKind::PollEvents:
            answer(m_module.state().eventLine());
            return;
        case CommandKind::AlarmStop:
            m_module.state().stopAlarms();
            answer(proto::kPasswordOk);
            return;
        case CommandKind::PollRadio:
            answer(m_module.radio().frameLine());
            return;
        case CommandKind::RadioTeach:
            // The module says nothing: the radio frames show the teaching.
            m_module.radio().teach(line.at(kTeachWord.size()) - '0');
            return;
        case CommandKind::RadioDelete:
            m_module.radio().deleteAll();
            return;
        default:
            break;
    }
    const QByteArray word = line.left(4);
    const std::pair<int, std::pair<int, bool>> partitions[] = {
        {proto::kAuthPartition1On, {1, true}},
        {proto::kAuthPartition2On, {2, true}},
        {proto::kAuthPartition1Off, {1, false}},
        {proto::kAuthPartition2Off, {2, false}},
    };
    for (const auto& [code, change] : partitions)
        if (word == commandWord(code)) m_module.state().setPartition(change.first, change.second);
    answer(proto::kPasswordOk);
}

void ModuleProtocol::readPage(int page) {
    if (!SimModule::hasPage(page)) return;  // pages this firmware does not have
    answer(frameLine(page, page));
}

void ModuleProtocol::takeFrame(const QByteArray& digits) {
    frame::Frame f{};
    if (frame::decodeHex(digits, f, frame::ChecksumOrder::PcBigEndian) == frame::DecodeResult::Ok) {
        const int page = frame::pageNumber(f);
        if (page < SimModule::kBlockCount) {
            m_module.keepPending(page, frame::data(f));
            answer(proto::kWriteOk);
            return;
        }
        if (page == clockpage::kPage) {
            answer(m_module.setClockFrom(f) ? proto::kWriteOk : proto::kWriteError);
            return;
        }
        if (FirmwareStore::isPage(page)) {
            m_module.storeFirmwarePage(f);
            answer(proto::kWriteOk);
            return;
        }
        if (FirmwareStore::isControlPage(page)) {
            if (!m_module.checkFirmware(f)) {
                answer(proto::kWriteError);
                return;
            }
            // The module restarts on its new firmware, and the session is gone.
            answer(proto::kFirmwareOk);
            endSession();
            return;
        }
    }
    answer(proto::kWriteError);
}

void ModuleProtocol::sendLine(const QByteArray& line) { m_line.send(line + kModuleLineEnd); }

void ModuleProtocol::answer(const QByteArray& line) { answerRaw(line + kModuleLineEnd); }

void ModuleProtocol::answerRaw(const QByteArray& bytes) {
    if (m_answerDelayMs <= 0) {
        m_line.send(bytes);
        return;
    }
    QTimer::singleShot(m_answerDelayMs, Qt::PreciseTimer, this,
                       [this, bytes] { m_line.send(bytes); });
}
