#include "clock/clockpage.h"

#include "link/exchange.h"

namespace clockpage {

QString clockText(const frame::Frame& page) {
    return QString::asprintf("A modul órája: %.2d/%.2d/%.2d - %.2d:%.2d", int(page[kYear]),
                             int(page[kMonth]), int(page[kDay]), int(page[kHour]),
                             int(page[kMinute]));
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
    return {ReadResult::Done, clockText(page)};
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
