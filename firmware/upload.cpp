#include "firmware/upload.h"

#include "link/exchange.h"
#include "link/modulelink.h"
#include "link/protocol.h"

namespace firmware {

UploadOutcome upload(ModuleExchange& exchange, const gkf::Image& image, const UploadHooks& hooks,
                     int* failedPage) {
    if (failedPage) *failedPage = -1;
    // Stop ends the login's wait too; it has no verdict to show.
    if (!exchange.login())
        return exchange.stopRequested() ? UploadOutcome::Stopped : UploadOutcome::LoginFailed;
    if (hooks.loggedIn) hooks.loggedIn();
    for (int f = 0; f < image.pageCount(); ++f) {
        if (exchange.stopRequested()) return UploadOutcome::Stopped;
        if (hooks.pageStarted) hooks.pageStarted(f);
        bool acknowledged = false;
        for (int a = 1; a <= kAttempts && !acknowledged; ++a) {
            if (exchange.stopRequested()) return UploadOutcome::Stopped;
            if (hooks.attempt) hooks.attempt(f, a);
            // "WRFLERR" is no verdict here: the attempt waits on for "WROK".
            switch (exchange.writeFrame(image.pages[size_t(f)],
                                        ModuleExchange::OnWriteError::WaitsOn, kPageTicks)) {
                case ModuleExchange::WriteResult::Ok:
                    acknowledged = true;
                    break;
                case ModuleExchange::WriteResult::Stopped:
                    return UploadOutcome::Stopped;
                default:
                    break;
            }
        }
        if (!acknowledged) {
            if (failedPage) *failedPage = f;
            return UploadOutcome::PageFailed;
        }
    }
    return UploadOutcome::Done;
}

CheckOutcome check(ModuleExchange& exchange, const frame::Frame& control,
                   const std::function<void()>& loggedIn) {
    if (!exchange.login()) return CheckOutcome::LoginFailed;
    if (loggedIn) loggedIn();
    return exchange.writeFrameAwaitingFirmwareOk(control, kCheckTicks) ? CheckOutcome::Confirmed
                                                                      : CheckOutcome::NoAnswer;
}

Progress progressAt(int page, int pageCount) {
    if (pageCount <= 1) return {1, pageCount == 1 ? 1 : 0};
    return {pageCount - 1, qBound(0, page, pageCount - 1)};
}

}  // namespace firmware
