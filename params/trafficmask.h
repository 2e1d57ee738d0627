#pragma once

#include <QString>

// The traffic window shows every line the module sends, page frames of the parameter memory
// too; those carry the installer's and the users' codes, which must not be on a screen an
// onlooker may read or in a copy of the log.
namespace trafficmask {

// The line as the traffic window may show it: in a frame of a memory page, the digits of
// every code field are replaced by '*'. Any other line is returned as it is.
QString hideCodes(const QString& line);

}  // namespace trafficmask
