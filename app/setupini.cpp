#include "app/setupini.h"

#include <QFile>
#include <QFileInfo>

#include "base/savefile.h"
#include "link/textcodec.h"

namespace {
const QByteArray kLineEnd("\r\n");
constexpr char kStoredCr = 0x09;
constexpr char kStoredLf = 0x08;
// Our grid is 2 x 1 with short texts. A file far past these bounds is not ours, and taking
// its size at its word would let one line allocate gigabytes.
constexpr int kMaxGridSide = 256;
constexpr int kMaxLineBytes = 4096;

std::optional<int> toInt(const QByteArray& text) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(v) : std::nullopt;
}
}  // namespace

std::optional<SettingsGrid> parseSettingsGrid(const QByteArray& bytes) {
    QList<QByteArray> lines = bytes.split('\n');
    for (QByteArray& l : lines)
        if (l.endsWith('\r')) l.chop(1);
    while (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    if (lines.isEmpty()) return std::nullopt;

    const QList<QByteArray> size = lines.first().split(',');
    if (size.size() != 2) return std::nullopt;
    const auto cols = toInt(size[0]);
    const auto rows = toInt(size[1]);
    if (!cols || !rows || *cols <= 0 || *rows <= 0) return std::nullopt;
    if (*cols > kMaxGridSide || *rows > kMaxGridSide) return std::nullopt;
    for (const QByteArray& line : lines)
        if (line.size() > kMaxLineBytes) return std::nullopt;

    SettingsGrid grid;
    grid.columns = *cols;
    grid.rows = *rows;
    grid.widths = QList<int>(*cols, 64);
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        if (line.startsWith("cw")) {
            const QList<QByteArray> parts = line.mid(2).split(',');
            if (parts.size() != 2) return std::nullopt;
            const auto index = toInt(parts[0]);
            const auto width = toInt(parts[1]);
            if (!index || !width) return std::nullopt;
            if (*index >= 0 && *index < grid.columns) grid.widths[*index] = *width;
            continue;
        }
        const int first = line.indexOf(',');
        const int second = first < 0 ? -1 : line.indexOf(',', first + 1);
        if (second < 0) return std::nullopt;
        const auto col = toInt(line.left(first));
        const auto row = toInt(line.mid(first + 1, second - first - 1));
        if (!col || !row || *col < 0 || *row < 0 || *col >= grid.columns || *row >= grid.rows)
            return std::nullopt;
        QByteArray text = line.mid(second + 1);
        text.replace(kStoredCr, '\r').replace(kStoredLf, '\n');
        grid.cells[{*col, *row}] = fromModuleText(text);
    }
    return grid;
}

QByteArray formatSettingsGrid(const SettingsGrid& grid) {
    QByteArray out =
        QByteArray::number(grid.columns) + ',' + QByteArray::number(grid.rows) + kLineEnd;
    for (int c = 0; c < grid.columns; ++c)
        out += "cw " + QByteArray::number(c) + ',' +
               QByteArray::number(c < grid.widths.size() ? grid.widths[c] : 64) + kLineEnd;
    for (int r = 0; r < grid.rows; ++r) {
        for (int c = 0; c < grid.columns; ++c) {
            const QString text = grid.cells.value({c, r});
            if (text.isEmpty()) continue;
            QByteArray stored = toModuleText(text);
            stored.replace('\r', kStoredCr).replace('\n', kStoredLf);
            out += QByteArray::number(c) + ',' + QByteArray::number(r) + ',' + stored + kLineEnd;
        }
    }
    return out;
}

std::optional<Setup> readSetupIni(const QString& path) {
    // A FIFO or a device in its place would block the start or hand out endless bytes.
    if (!QFileInfo(path).isFile()) return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray bytes = file.read(kSetupIniMaxBytes + 1);
    if (bytes.size() > kSetupIniMaxBytes) return std::nullopt;
    const auto grid = parseSettingsGrid(bytes);
    if (!grid) return std::nullopt;
    return Setup{grid->cells.value({0, 0}), grid->cells.value({1, 0})};
}

bool writeSetupIni(const QString& path, const Setup& setup, QString* error) {
    SettingsGrid grid;
    grid.cells[{0, 0}] = setup.port;
    grid.cells[{1, 0}] = setup.phone;
    if (savefile::save(path, formatSettingsGrid(grid)) != savefile::Result::Saved) {
        if (error) *error = QStringLiteral("Cannot Create ") + path;
        return false;
    }
    return true;
}
