#include "firmware/gkffile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "link/hex.h"

namespace gkf {

namespace {

const char* const kFileNotFound = "File not found";
const char* const kPathNotFound = "Path not found";
const char* const kAccessDenied = "Access denied";
const char* const kReadError = "Disk read error";
constexpr int kChunk = 64 * 1024;

// One byte from two characters; anything that is no digit, or lies past the line's end, is 0.
std::uint8_t byteAt(const QByteArray& line, int at) {
    auto digit = [&](int i) {
        if (i >= line.size()) return 0;
        const int v = hex::digitValue(line[i]);
        return v < 0 ? 0 : v;
    };
    return std::uint8_t(digit(at) * 16 + digit(at + 1));
}

// The key stream of one pass: x starts at `x`, steps by k + h for k = 3..66.
void applyPass(std::uint8_t* data, int h, int x) {
    for (int k = 3; k < 3 + kDataBytes; ++k) {
        x = (x + k + h) % 256;
        data[k - 3] ^= kDescramblingKey[size_t(x % 8)];
    }
}

// Both passes; scrambling and descrambling are the same XOR.
void scramble(std::uint8_t* data, std::uint8_t seed, int index) {
    applyPass(data, seed >> 4, seed & 0x0F);
    applyPass(data, (index % 256) / 16, index % 16);
}

// Splits as it reads, keeping at most `maxLines` lines of at most kLineUsed characters, so a
// file of one endless line or of millions of lines costs no more memory than a good one.
class LineSplitter {
public:
    explicit LineSplitter(int maxLines) : m_max(maxLines) {}
    bool full() const { return m_lines.size() >= m_max; }
    void push(const char* p, qint64 n) {
        for (qint64 i = 0; i < n && !full(); ++i) {
            const char c = p[i];
            if (m_afterCr) {
                m_afterCr = false;
                if (c == '\n') continue;
            }
            if (c == '\r' || c == '\n') {
                end();
                m_afterCr = c == '\r';
            } else {
                m_open = true;
                if (m_current.size() < kLineUsed) m_current.append(c);
            }
        }
    }
    QList<QByteArray> finish() {
        if (m_open && !full()) end();
        return m_lines;
    }

private:
    void end() {
        m_lines.append(m_current);
        m_current.clear();
        m_open = false;
    }
    int m_max;
    QList<QByteArray> m_lines;
    QByteArray m_current;
    bool m_open = false;
    bool m_afterCr = false;
};

}  // namespace

Record decodeLine(const QByteArray& line, int index) {
    Record r{};
    const std::uint8_t seed = byteAt(line, kSeedAt);
    for (int i = 0; i < kHeaderBytes; ++i) r[size_t(i)] = byteAt(line, kHeaderAt + 2 * i);
    for (int i = 0; i < kDataBytes; ++i)
        r[size_t(kHeaderBytes + i)] = byteAt(line, kDataAt + 2 * i);
    scramble(r.data() + kHeaderBytes, seed, index);
    return r;
}

QByteArray encodeLine(const Record& record, int index, std::uint8_t seed) {
    Record r = record;
    scramble(r.data() + kHeaderBytes, seed, index);
    QByteArray line(1, kLineStart);
    line += hex::byteToHex(seed);
    line += hex::encode(r.data(), kRecordSize);
    return line;
}

Image build(const std::vector<Record>& records) {
    Image image;
    const int lines = qMin(int(records.size()), kMaxLines);
    image.lineCount = lines;
    const int n = (lines + kRecordsPerPage - 1) / kRecordsPerPage;
    QByteArray sums(frame::kDataSize, '\0');
    std::uint32_t groupSum = 0;
    for (int f = 0; f < n; ++f) {
        QByteArray bytes(kPageBytes, char(kMissing));
        for (int r = 0; r < kRecordsPerPage; ++r) {
            const int line = f * kRecordsPerPage + r;
            if (line >= lines) break;
            const Record& rec = records[size_t(line)];
            bytes.replace(r * kRecordSize, kRecordSize, reinterpret_cast<const char*>(rec.data()),
                          kRecordSize);
        }
        const frame::Frame page =
            frame::build(bytes.left(frame::kDataSize), std::uint16_t(kFirstPage + f),
                         frame::ChecksumOrder::PcBigEndian, bytes.mid(frame::kDataSize));
        image.pages.push_back(page);
        groupSum += frame::checksum(page);
        if (f % kRecordsPerPage == kRecordsPerPage - 1 || f == n - 1) {
            const int g = f / kRecordsPerPage;
            sums[2 * g] = char((groupSum >> 8) & 0xFF);
            sums[2 * g + 1] = char(groupSum & 0xFF);
            groupSum = 0;
        }
    }
    QByteArray further(2, '\0');
    further[0] = char(n >> 8);
    further[1] = char(n & 0xFF);
    further += kControlMark;
    image.control = frame::build(sums, kControlPage, frame::ChecksumOrder::PcBigEndian, further);
    return image;
}

QList<QByteArray> splitLines(const QByteArray& text, int maxLines) {
    LineSplitter splitter(maxLines);
    splitter.push(text.constData(), text.size());
    return splitter.finish();
}

std::optional<QString> load(const QString& path, Image& image) {
    const QFileInfo info(path);
    // Only a regular file: a FIFO or a device would wait for a writer or never end.
    if (info.exists() && !info.isFile()) return QString::fromLatin1(kAccessDenied);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (!info.dir().exists()) return QString::fromLatin1(kPathNotFound);
        if (!info.exists()) return QString::fromLatin1(kFileNotFound);
        return QString::fromLatin1(kAccessDenied);
    }
    LineSplitter splitter(kMaxLines);
    QByteArray chunk(kChunk, '\0');
    while (!splitter.full()) {
        const qint64 n = file.read(chunk.data(), kChunk);
        if (n < 0) return QString::fromLatin1(kReadError);
        if (n == 0) break;
        splitter.push(chunk.constData(), n);
    }
    const QList<QByteArray> lines = splitter.finish();
    std::vector<Record> records;
    records.reserve(size_t(lines.size()));
    for (int i = 0; i < lines.size(); ++i) records.push_back(decodeLine(lines[i], i));
    image = build(records);
    return std::nullopt;
}

std::optional<QByteArray> fromBinary(const QByteArray& binary, QString* error) {
    const int records = int((binary.size() + kRecordSize - 1) / kRecordSize);
    if (records > kMaxLines) {
        if (error)
            *error = QStringLiteral(
                         "%1 bytes make %2 records; a firmware file holds at most %3 "
                         "(%4 bytes)")
                         .arg(binary.size())
                         .arg(records)
                         .arg(kMaxLines)
                         .arg(kMaxLines * kRecordSize);
        return std::nullopt;
    }
    QByteArray out;
    out.reserve(records * (kLineUsed + 2));
    for (int i = 0; i < records; ++i) {
        Record r;
        r.fill(kMissing);
        const QByteArray part = binary.mid(i * kRecordSize, kRecordSize);
        std::copy(part.begin(), part.end(), r.begin());
        // Every seed in turn, so files exercise each starting point of the key stream.
        out += encodeLine(r, i, std::uint8_t(i * 73 + 0x5A));
        out += "\r\n";
    }
    return out;
}

QByteArray recordBytes(const Image& image) {
    QByteArray out;
    out.reserve(image.lineCount * kRecordSize);
    for (const frame::Frame& page : image.pages)
        out.append(reinterpret_cast<const char*>(page.data()), kPageBytes);
    out.truncate(image.lineCount * kRecordSize);
    return out;
}

}  // namespace gkf
