// setup.ini: a grid that parses formats into a file that parses to the same non-empty cells.
#include <cstdlib>

#include "app/setupini.h"
#include "fuzz/fuzzsupport.h"

namespace {
QMap<QPair<int, int>, QString> nonEmpty(const SettingsGrid& g) {
    QMap<QPair<int, int>, QString> out;
    for (auto it = g.cells.begin(); it != g.cells.end(); ++it)
        if (!it.value().isEmpty()) out.insert(it.key(), it.value());
    return out;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::optional<SettingsGrid> grid = parseSettingsGrid(bytesOf(data, size));
    if (!grid) return 0;
    // Empty cells are not written, so only the others must come back.
    const std::optional<SettingsGrid> again = parseSettingsGrid(formatSettingsGrid(*grid));
    if (!again || nonEmpty(*again) != nonEmpty(*grid)) std::abort();
    return 0;
}
