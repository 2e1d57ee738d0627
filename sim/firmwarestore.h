#pragma once

#include <QByteArray>
#include <map>

#include "link/pageframe.h"

// The firmware pages the module has received, and its check of them against a control page:
// every page there, and the sum of each group of four pages' checksums as the control page
// says. What passes becomes the firmware the module restarts on.
class FirmwareStore {
public:
    static bool isPage(int page);         // 33..544
    static bool isControlPage(int page);  // 545

    void store(const frame::Frame& page);
    int pagesStored() const { return int(m_pages.size()); }
    // True when the control page matches the stored pages; they are then installed and the
    // store is empty again.
    bool check(const frame::Frame& control);
    // The records of the firmware last installed, back to back (264 bytes a page).
    QByteArray installed() const { return m_installed; }

private:
    std::map<int, frame::Frame> m_pages;
    QByteArray m_installed;
};
