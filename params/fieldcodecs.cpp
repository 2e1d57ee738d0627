#include "params/fieldcodecs.h"

#include "link/textcodec.h"

namespace codec {

namespace {
constexpr char kBlank = ' ';
constexpr int kCodeNibbles = 6;
constexpr int kCodeBytes = 3;

std::uint8_t byteAt(const QByteArray& image, int offset) { return std::uint8_t(image.at(offset)); }

int digitOf(QChar c) {
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ? c.unicode() - '0' : -1;
}

int hexDigitOf(QChar c) {
    const int d = digitOf(c);
    if (d >= 0) return d;
    if (c >= QLatin1Char('A') && c <= QLatin1Char('F')) return c.unicode() - 'A' + 10;
    return -1;
}

QChar hexChar(int v) { return QLatin1Char("0123456789ABCDEF"[v & 0x0F]); }
}  // namespace

QString readText(const QByteArray& image, int offset, int length) {
    QByteArray bytes;
    for (int i = 0; i < length; ++i) {
        const std::uint8_t b = byteAt(image, offset + i);
        if (b != 0x00 && b != 0xFF) bytes.append(char(b));
    }
    while (bytes.endsWith(kBlank)) bytes.chop(1);
    return fromModuleText(bytes);
}

void writeText(QByteArray& image, int offset, int length, const QString& text) {
    // A character with no form in the code page becomes "?", never a missing byte.
    const QByteArray bytes = (toModuleText(text) + QByteArray(length, kBlank)).left(length);
    image.replace(offset, length, bytes);
}

QString readCode(const QByteArray& image, int offset) {
    QString out;
    for (int p = 0; p < kCodeNibbles; ++p) {
        const std::uint8_t b = byteAt(image, offset + p / 2);
        const int nibble = p % 2 == 0 ? b >> 4 : b & 0x0F;
        if (nibble != 0) out.append(hexChar(15 - nibble));
    }
    return out.isEmpty() ? QString::fromLatin1(kNoCode) : out;
}

void writeCode(QByteArray& image, int offset, const QString& text) {
    int nibbles[kCodeNibbles] = {};
    for (int p = 0; p < kCodeNibbles && p < text.size(); ++p) {
        // "A".."E" only come from nibbles 1..5 read out of the memory: they go back as they
        // were, so a code nobody touched is stored unchanged rather than shifted.
        const int d = hexDigitOf(text[p]);
        if (d >= 0 && d <= 14) nibbles[p] = 15 - d;
    }
    for (int i = 0; i < kCodeBytes; ++i)
        image[offset + i] = char(nibbles[2 * i] * 16 + nibbles[2 * i + 1]);
}

QString readPhone(const QByteArray& image, int offset) {
    QString cells(kPhoneCells, QLatin1Char(kBlank));
    for (int i = 0; i < kPhoneCells; ++i) {
        const char c = image.at(offset + i);
        if (c >= '0' && c <= '9') cells[i] = QLatin1Char(c);
    }
    return cells;
}

void writePhone(QByteArray& image, int offset, const QString& cells) {
    for (int i = 0; i < kPhoneCells; ++i) {
        const QChar c = i < cells.size() ? cells[i] : QChar(kBlank);
        image[offset + i] = digitOf(c) >= 0 ? char(c.unicode()) : '\0';
    }
}

QString readHexDigits(const QByteArray& image, int offset, int count) {
    QString out;
    for (int i = 0; i < count; ++i) out.append(hexChar(byteAt(image, offset + i)));
    return out;
}

void writeHexDigits(QByteArray& image, int offset, int count, const QString& cells) {
    for (int i = 0; i < count; ++i) {
        const int v = i < cells.size() ? hexDigitOf(cells[i]) : -1;
        image[offset + i] = char(v < 0 ? 0 : v);
    }
}

int readWord(const QByteArray& image, int offset) {
    return byteAt(image, offset) * 256 + byteAt(image, offset + 1);
}

void writeWord(QByteArray& image, int offset, int value) {
    image[offset] = char((value >> 8) & 0xFF);
    image[offset + 1] = char(value & 0xFF);
}

std::uint64_t readTriggerSet(const QByteArray& image, int offset) {
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= std::uint64_t(byteAt(image, offset + i)) << (8 * i);
    return bits & ((std::uint64_t(1) << 60) - 1);
}

void writeTriggerSet(QByteArray& image, int offset, std::uint64_t triggers) {
    triggers &= (std::uint64_t(1) << 60) - 1;  // the upper half of the last byte is no trigger
    for (int i = 0; i < 8; ++i) image[offset + i] = char((triggers >> (8 * i)) & 0xFF);
}

bool readFlagEqualOne(const QByteArray& image, int offset) { return byteAt(image, offset) == 1; }
bool readFlagNotZero(const QByteArray& image, int offset) { return byteAt(image, offset) != 0; }
void writeFlag(QByteArray& image, int offset, bool set) { image[offset] = set ? 1 : 0; }

QString readTestTime(const QByteArray& image, int offset) {
    // A byte above 99 has no two-digit form; its last two digits are shown.
    const int h = byteAt(image, offset) % 100;
    const int m = byteAt(image, offset + 1) % 100;
    return QStringLiteral("%1%2:%3%4").arg(h / 10).arg(h % 10).arg(m / 10).arg(m % 10);
}

void writeTestTime(QByteArray& image, int offset, const QString& text) {
    // The masked box lets the first hour digit stay blank: a blank digit counts as 0, so
    // " 7:30" is stored as 7, never as a number that is no hour.
    auto digit = [&](int i) { return i < text.size() ? qMax(0, digitOf(text[i])) : 0; };
    image[offset] = char(10 * digit(0) + digit(1));
    image[offset + 1] = char(10 * digit(3) + digit(4));
}

int readNibble(const QByteArray& image, int offset, bool high) {
    const std::uint8_t b = byteAt(image, offset);
    return high ? b >> 4 : b & 0x0F;
}

void writeNibble(QByteArray& image, int offset, bool high, int value) {
    const std::uint8_t b = byteAt(image, offset);
    const std::uint8_t v = std::uint8_t(value & 0x0F);
    image[offset] = char(high ? (b & 0x0F) | (v << 4) : (b & 0xF0) | v);
}

int readByte(const QByteArray& image, int offset) { return byteAt(image, offset); }
void writeByte(QByteArray& image, int offset, int value) { image[offset] = char(value & 0xFF); }

}  // namespace codec
