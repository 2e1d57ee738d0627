#include "sim/firmwarestore.h"

#include "firmware/gkffile.h"

bool FirmwareStore::isPage(int page) {
    return page >= gkf::kFirstPage && page < gkf::kFirstPage + gkf::kMaxPages;
}

bool FirmwareStore::isControlPage(int page) { return page == gkf::kControlPage; }

void FirmwareStore::store(const frame::Frame& page) { m_pages[frame::pageNumber(page)] = page; }

bool FirmwareStore::check(const frame::Frame& control) {
    const int n = (control[frame::kFurtherOffset] << 8) | control[frame::kFurtherOffset + 1];
    const QByteArray mark(reinterpret_cast<const char*>(control.data()) + frame::kFurtherOffset + 2,
                          frame::kFurtherSize - 2);
    if (n < 1 || n > gkf::kMaxPages || mark != gkf::kControlMark) return false;
    std::uint32_t sum = 0;
    for (int f = 0; f < n; ++f) {
        const auto page = m_pages.find(gkf::kFirstPage + f);
        if (page == m_pages.end()) return false;
        sum += frame::checksum(page->second);
        if (f % 4 != 3 && f != n - 1) continue;
        const int g = f / 4;
        if (control[size_t(2 * g)] != ((sum >> 8) & 0xFF) ||
            control[size_t(2 * g + 1)] != (sum & 0xFF))
            return false;
        sum = 0;
    }
    m_installed.clear();
    for (int f = 0; f < n; ++f)
        m_installed.append(reinterpret_cast<const char*>(m_pages[gkf::kFirstPage + f].data()),
                           gkf::kPageBytes);
    m_pages.clear();
    return true;
}
