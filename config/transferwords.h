#pragma once

#include <QString>

#include "config/transfer.h"

// One short sentence under the block panels that says how a transfer ended: which block it
// ended at, and whether the PC's image or the module's data changed. The panels show the
// blocks; this says what their colours mean for the user's data.
namespace transferwords {

// `endedAt` as ConfigTransfer::endedAt() gives it.
QString sentence(ConfigTransfer::Kind kind, ConfigTransfer::Outcome outcome, int endedAt);
// A serial error ends a transfer with no outcome of its own; `endedAt` is where it was.
QString serialErrorSentence(ConfigTransfer::Kind kind, int endedAt);

}  // namespace transferwords
