#include "sim/faultmodel.h"

#include <QStringList>
#include <algorithm>
#include <iterator>
#include <limits>

#include "events/eventring.h"
#include "link/pageframe.h"
#include "link/protocol.h"

namespace {
using Kind = FaultModel::CommandKind;
using Mode = FaultModel::FaultMode;

// The words of the command line, in the order of the enumerations.
constexpr const char* kModeNames[] = {
    "no-answer",     "pwderr",     "damage",    "wrong-page",   "late",        "garbage",
    "garbage-burst", "wrong-kind", "port-lost", "wrong-length", "wrong-comma", "bad-digits",
    "newest-high",   "stray-high", "rfterr",    "no-carrier",   "busy"};
static_assert(std::size(kModeNames) == size_t(Mode::Busy) + 1, "a word for every mode");
constexpr const char* kCommandNames[] = {
    "login",       "read",       "write-start", "write",      "activate", "poll-status",
    "poll-events", "alarm-stop", "partition",   "poll-radio", "teach",    "delete-radio",
    "modem",       "dial",       "hang-up",     "other",      "any"};
static_assert(std::size(kCommandNames) == size_t(Kind::Any) + 1, "a word for every kind");

// What each switch stands for; "%1" is its page or its delay.
constexpr const char* kSwitchSpellings[] = {
    "no-answer:any",      "pwderr:any",         "no-answer:any:%1", "damage:read:%1",
    "wrong-page:read:%1", "no-answer:activate", "late=%1:any",      "rfterr:any"};
static_assert(std::size(kSwitchSpellings) == FaultModel::kSwitchCount, "a fault for every switch");

// The event page that holds the number of the newest slot.
constexpr int kNewestSlotPage =
    proto::kEventFirstPage + eventring::kNewestSlotOffset / frame::kDataSize;

template <size_t N>
int wordIndex(const char* const (&words)[N], const QString& word) {
    for (size_t i = 0; i < N; ++i)
        if (word == QLatin1String(words[i])) return int(i);
    return -1;
}

template <size_t N>
QString wordList(const char* const (&words)[N]) {
    QStringList out;
    for (const char* w : words) out << QLatin1String(w);
    return out.join(QStringLiteral(", "));
}

bool isPageCommand(Kind kind) { return kind == Kind::PageRead || kind == Kind::PageWrite; }

bool isPoll(Kind kind) {
    return kind == Kind::PollStatus || kind == Kind::PollEvents || kind == Kind::PollRadio;
}

// A number field of --fault: "*" (returned as -1) or digits, decimal or hex after "0x".
std::optional<int> numberField(const QString& text, int max) {
    if (text == QLatin1String("*")) return -1;
    const bool hex = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
    const QString digits = hex ? text.mid(2) : text;
    constexpr int kMostDigits = 9;  // keeps the value inside an int before the range check
    if (digits.isEmpty() || digits.size() > kMostDigits) return std::nullopt;
    for (QChar c : digits)
        if (!(c.isDigit() || (hex && QStringLiteral("abcdefABCDEF").contains(c))) ||
            c.unicode() > 127)
            return std::nullopt;
    const int n = digits.toInt(nullptr, hex ? 16 : 10);
    if (n > max) return std::nullopt;
    return n;
}
}  // namespace

bool FaultModel::applies(FaultMode mode, CommandKind kind) {
    const bool any = kind == CommandKind::Any;
    switch (mode) {
        case FaultMode::DamagedFrame:
        case FaultMode::WrongPage:
        case FaultMode::NewestHigh:
        case FaultMode::StrayHigh:
            return kind == CommandKind::PageRead || any;
        case FaultMode::WrongLength:
            return isPoll(kind) || any;
        case FaultMode::WrongComma:
            return kind == CommandKind::PollStatus || any;
        case FaultMode::BadDigits:
            return kind == CommandKind::PollEvents || kind == CommandKind::PollRadio || any;
        case FaultMode::RadioRefused:
            return kind == CommandKind::RadioTeach || kind == CommandKind::RadioDelete || any;
        case FaultMode::NoCarrier:
        case FaultMode::Busy:
            return kind == CommandKind::Dial || any;
        default:
            return true;
    }
}

std::optional<FaultModel::Fault> FaultModel::parseFault(const QString& text, QString* error) {
    auto fail = [&](const QString& why) {
        if (error) *error = QStringLiteral("--fault %1: %2").arg(text, why);
        return std::nullopt;
    };
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() < 2 || parts.size() > 4)
        return fail(QStringLiteral("expected MODE:COMMAND[:PAGE][:COUNT]"));

    Fault f;
    const QString modeText = parts[0].section(QLatin1Char('='), 0, 0);
    const bool hasValue = parts[0].contains(QLatin1Char('='));
    const std::optional<int> value =
        numberField(parts[0].section(QLatin1Char('='), 1), std::numeric_limits<int>::max());
    const int mode = wordIndex(kModeNames, modeText);
    if (mode < 0)
        return fail(QStringLiteral("no mode '%1' (%2)").arg(modeText, wordList(kModeNames)));
    f.mode = FaultMode(mode);
    if (f.mode == FaultMode::Late) {
        if (!hasValue || !value || *value <= 0)
            return fail(QStringLiteral("late needs its delay in ms: late=MS"));
        f.delayMs = *value;
    } else if (f.mode == FaultMode::Garbage || f.mode == FaultMode::GarbageBurst) {
        if (hasValue && (!value || *value < 0))
            return fail(QStringLiteral("the seed is a whole number from 0"));
        if (hasValue) f.seed = quint32(*value);
    } else if (hasValue) {
        return fail(QStringLiteral("%1 takes no value").arg(modeText));
    }

    const int command = wordIndex(kCommandNames, parts[1]);
    if (command < 0)
        return fail(QStringLiteral("no command '%1' (%2)").arg(parts[1], wordList(kCommandNames)));
    f.command = CommandKind(command);
    if (!applies(f.mode, f.command))
        return fail(QStringLiteral("%1 does not answer %2").arg(modeText, parts[1]));

    if (parts.size() >= 3) {
        const std::optional<int> page = numberField(parts[2], proto::kVersionPage);
        if (!page) return fail(QStringLiteral("the page is a number from 0 to 65535, or *"));
        if (*page >= 0 && !isPageCommand(f.command) && f.command != CommandKind::Any)
            return fail(QStringLiteral("%1 names no page").arg(parts[1]));
        f.page = *page;
    }
    if (parts.size() == 4) {
        const std::optional<int> count = numberField(parts[3], std::numeric_limits<int>::max());
        if (!count || *count == 0)
            return fail(QStringLiteral("the count is a number from 1, or *"));
        f.count = *count;
    }
    return f;
}

QString FaultModel::switchSpelling(Switch which, const QString& value) {
    const QString spelling = QLatin1String(kSwitchSpellings[int(which)]);
    return spelling.contains(QLatin1String("%1")) ? spelling.arg(value) : spelling;
}

int FaultModel::add(const Fault& fault) {
    const int id = m_nextId++;
    m_faults.push_back({id, fault, 0, QRandomGenerator(fault.seed)});
    return id;
}

void FaultModel::remove(int id) {
    m_faults.erase(std::remove_if(m_faults.begin(), m_faults.end(),
                                  [id](const Armed& a) { return a.id == id; }),
                   m_faults.end());
    for (int& s : m_switchIds)
        if (s == id) s = -1;
}

void FaultModel::clear() {
    m_faults.clear();
    m_switchIds.fill(-1);
}

int FaultModel::fired(int id) const {
    for (const Armed& a : m_faults)
        if (a.id == id) return a.fired;
    return 0;
}

bool FaultModel::setSwitch(Switch which, bool on, int value, QString* error) {
    const int index = int(which);
    remove(m_switchIds[size_t(index)]);
    if (!on) return true;
    const std::optional<Fault> fault = parseFault(switchSpelling(which, value), error);
    if (!fault) return false;
    // A switch keeps its precedence over the other switches, whenever it was set.
    const int id = m_nextId++;
    auto before = std::find_if(m_faults.begin(), m_faults.end(), [&](const Armed& a) {
        const auto s = std::find(m_switchIds.begin(), m_switchIds.end(), a.id);
        return s != m_switchIds.end() && s - m_switchIds.begin() > index;
    });
    m_faults.insert(before, {id, *fault, 0, QRandomGenerator(fault->seed)});
    m_switchIds[size_t(index)] = id;
    return true;
}

FaultModel::Armed* FaultModel::take(CommandKind kind, int page, bool pageExists, bool late) {
    for (Armed& a : m_faults) {
        const Fault& f = a.fault;
        if ((f.mode == FaultMode::Late) != late) continue;
        if (f.command != CommandKind::Any && f.command != kind) continue;
        if (!applies(f.mode, kind)) continue;
        if (f.page != kAnyPage && (!isPageCommand(kind) || page != f.page)) continue;
        // A frame, good or damaged, is only sent of a page the module has.
        if ((f.mode == FaultMode::DamagedFrame || f.mode == FaultMode::WrongPage ||
             f.mode == FaultMode::StrayHigh) &&
            !pageExists)
            continue;
        if (f.mode == FaultMode::NewestHigh && page != kNewestSlotPage) continue;
        if (f.count != kAlways && a.fired >= f.count) continue;
        ++a.fired;
        return &a;
    }
    return nullptr;
}
