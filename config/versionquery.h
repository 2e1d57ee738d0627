#pragma once

#include <QString>

#include "link/pageframe.h"

class ModuleExchange;

// The only data version whose memory layout this program understands.
constexpr int TelvoraDataVer = 2;

struct VersionPage {
    QByteArray firmwareText;  // bytes 0..32 up to the first zero byte
    int dataVersion = 0;      // the digits from byte 32 on; 0 when empty or not a number
};

// The two fields share byte 32: a 33-character firmware text ends on the first digit.
VersionPage parseVersionPage(const frame::Frame& page);

// Asks the module for its firmware text and data version, inside the caller's exchange.
// Returns the text to show (empty when the page did not arrive); sets the link's data version
// on success and the status bar as it goes.
QString runVersionQuery(ModuleExchange& exchange);

// Shown when a transfer meets a module whose data version is not ours.
QString dataVersionMismatchText(int moduleDataVer);
