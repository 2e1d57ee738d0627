#include "clock/clockpage.h"

#include <cstdlib>

#include "link/exchange.h"

namespace clockpage {

namespace {

QString fields(int year, int month, int day, int hour, int minute) {
    return QString::asprintf("%.2d/%.2d/%.2d - %.2d:%.2d", year, month, day, hour, minute);
}

// Wall-clock readings compared as they read: a daylight-saving shift between them is no
// difference the installer would set right.
QDateTime onTheWall(const QDate& date, const QTime& time) {
    return QDateTime(date, QTime(time.hour(), time.minute()), Qt::UTC);
}

}  // namespace

// The page's bytes as they come, however wrong: each at least two digits.
static QString pageFields(const frame::Frame& page) {
    return fields(int(page[kYear]), int(page[kMonth]), int(page[kDay]), int(page[kHour]),
                  int(page[kMinute]));
}

QString clockText(const frame::Frame& page) {
    return QString::fromUtf8("A modul órája: ") + pageFields(page);
}

QString moduleTimeText(const frame::Frame& page) {
    return QString::fromUtf8(kModuleTimeLabel) + QLatin1Char(' ') + pageFields(page);
}

QString pcTimeText(const QDateTime& pc) {
    const QDate d = pc.date();
    const QTime t = pc.time();
    return QString::fromUtf8(kPcTimeLabel) + QLatin1Char(' ') +
           fields(((d.year() % 100) + 100) % 100, d.month(), d.day(), t.hour(), t.minute());
}

QString differenceText(std::optional<int> minutesAhead) {
    const QString label = QString::fromUtf8(kDifferenceLabel);
    if (!minutesAhead) return label + QStringLiteral(" nem számítható");
    if (*minutesAhead == 0) return label + QStringLiteral(" nincs");
    return label + QStringLiteral(" %1 perc %2")
                       .arg(std::abs(*minutesAhead))
                       .arg(*minutesAhead < 0 ? QStringLiteral("késés") : QStringLiteral("sietés"));
}

std::optional<QDateTime> moduleTime(const frame::Frame& page, const QDateTime& pc) {
    const int yy = int(page[kYear]);
    const QTime time{int(page[kHour]), int(page[kMinute])};
    if (yy > 99 || !time.isValid()) return std::nullopt;
    const QDateTime wall = onTheWall(pc.date(), pc.time());
    const int century = pc.date().year() - ((pc.date().year() % 100) + 100) % 100;
    std::optional<QDateTime> best;
    for (int c : {century - 100, century, century + 100}) {
        const QDate date(c + yy, int(page[kMonth]), int(page[kDay]));
        if (!date.isValid()) continue;
        const QDateTime candidate = onTheWall(date, time);
        if (!best || std::abs(candidate.secsTo(wall)) < std::abs(best->secsTo(wall)))
            best = candidate;
    }
    return best;
}

std::optional<int> minutesAhead(const frame::Frame& page, const QDateTime& pc) {
    const std::optional<QDateTime> module = moduleTime(page, pc);
    if (!module) return std::nullopt;
    return int(onTheWall(pc.date(), pc.time()).secsTo(*module) / 60);
}

frame::Frame setFrame(const QDateTime& local) {
    const QDate d = local.date();
    const QTime t = local.time();
    QByteArray data(frame::kDataSize, '\0');
    // A year before the common era would give a negative remainder; the module has no use for
    // it either way, but its byte must stay in 0..99.
    data[kYear] = char(((d.year() % 100) + 100) % 100);
    data[kMonth] = char(d.month());
    data[kDay] = char(d.day());
    data[kHour] = char(t.hour());
    data[kMinute] = char(t.minute());
    return frame::build(data, kPage, frame::ChecksumOrder::PcBigEndian);
}

ReadResult read(ModuleExchange& exchange) {
    if (!exchange.login()) return {ReadResult::LoginFailed, exchange.verdict()};
    frame::Frame page{};
    // A frame of another page (the version page comes numbered FFFF) holds no clock; showing
    // its bytes as a date would be a plausible lie.
    if (exchange.readPage(kPage, ModuleExchange::PageCheck::WholeNumber, page) !=
        ModuleExchange::PageResult::Ok)
        return {ReadResult::Failed, {}};
    return {ReadResult::Done, clockText(page), page};
}

SetResult set(ModuleExchange& exchange, const std::function<QDateTime()>& now,
              const std::function<void()>& onLoggedIn) {
    if (!exchange.login()) return SetResult::LoginFailed;
    if (onLoggedIn) onLoggedIn();
    const ModuleExchange::WriteResult result =
        exchange.writeFrame(setFrame(now()), ModuleExchange::OnWriteError::EndsWait);
    return result == ModuleExchange::WriteResult::Ok ? SetResult::Done : SetResult::Failed;
}

}  // namespace clockpage
