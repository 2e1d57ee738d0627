// telvora-cli: shows a data file parameter by parameter, or what differs between two.
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "config/configimage.h"
#include "config/datafile.h"
#include "base/savefile.h"
#include "firmware/gkffile.h"
#include "params/paramtext.h"

namespace {

constexpr int kSame = 0;
constexpr int kDifferent = 1;
constexpr int kError = 2;

void print(FILE* to, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
}

bool load(const QString& path, QByteArray& bytes) {
    ParamImage image;
    if (const auto error = datafile::open(path, image)) {
        QString why = *error;
        if (QFileInfo(path).isFile() && QFileInfo(path).size() < image::kSize)
            why += QStringLiteral(" (%1 bytes; a data file holds %2)")
                       .arg(QFileInfo(path).size())
                       .arg(image::kSize);
        print(stderr, QStringLiteral("telvora-cli: %1: %2\n").arg(path, why));
        return false;
    }
    bytes = image.bytes();
    return true;
}

// Output that did not reach its file (a full disk, a closed pipe) is an error, not a result:
// a script that reads an exit code of 0 or 1 must be able to trust the lines it got.
int finish(int code) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        const int err = errno;
        print(stderr, QStringLiteral("telvora-cli: cannot write the output: %1\n")
                          .arg(QString::fromLocal8Bit(std::strerror(err))));
        return kError;
    }
    return code;
}

const char* const kHelp =
    "usage: telvora-cli COMMAND ARGUMENTS\n"
    "\n"
    "Reads configuration data files (.KD2, 2048 bytes) without a module or a display, and\n"
    "makes firmware files.\n"
    "\n"
    "commands:\n"
    "  show FILE.KD2          every parameter, one line each: key = value\n"
    "  diff OLD.KD2 NEW.KD2   only what differs: key: <old> -> <new>\n"
    "                         (exit code 0: nothing differs, 1: something does)\n"
    "  gkf FIRMWARE.BIN OUT.GKF\n"
    "                         a firmware file of a binary: its 66-byte records scrambled,\n"
    "                         one line each, as the firmware window loads them\n"
    "  --help, -h             this text\n"
    "\n"
    "Exit code 2 with a one-line reason on standard error for any error.\n";

// One line, as every error of this program.
int wrongUse(const QString& why) {
    print(stderr, QStringLiteral("telvora-cli: %1 (see telvora-cli --help)\n").arg(why));
    return kError;
}

// Reads at most one byte more than the largest firmware file holds: enough to refuse a
// binary that is too large without reading all of it.
int makeFirmwareFile(const QString& binaryPath, const QString& outPath) {
    QFile in(binaryPath);
    if (!QFileInfo(binaryPath).isFile() || !in.open(QIODevice::ReadOnly)) {
        print(stderr, QStringLiteral("telvora-cli: %1: cannot be read\n").arg(binaryPath));
        return kError;
    }
    const QByteArray binary = in.read(qint64(gkf::kMaxLines) * gkf::kRecordSize + 1);
    QString why;
    const std::optional<QByteArray> text = gkf::fromBinary(binary, &why);
    if (!text) {
        print(stderr, QStringLiteral("telvora-cli: %1: %2\n").arg(binaryPath, why));
        return kError;
    }
    if (savefile::save(outPath, *text) != savefile::Result::Saved) {
        print(stderr, QStringLiteral("telvora-cli: %1: cannot be written\n").arg(outPath));
        return kError;
    }
    return kSame;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 1 && (args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h"))) {
        print(stdout, QString::fromUtf8(kHelp));
        return finish(kSame);
    }
    if (args.size() == 2 && args[0] == QLatin1String("show")) {
        QByteArray image;
        if (!load(args[1], image)) return kError;
        for (const paramtext::Line& line : paramtext::describe(image))
            print(stdout, line.key + QStringLiteral(" = ") + line.value + QLatin1Char('\n'));
        return finish(kSame);
    }
    if (args.size() == 3 && args[0] == QLatin1String("diff")) {
        QByteArray a, b;
        if (!load(args[1], a) || !load(args[2], b)) return kError;
        const QList<paramtext::Difference> diffs = paramtext::compare(a, b);
        for (const paramtext::Difference& d : diffs)
            print(stdout, d.key + QStringLiteral(": ") + d.before + QStringLiteral(" -> ") +
                              d.after + QLatin1Char('\n'));
        return finish(diffs.isEmpty() ? kSame : kDifferent);
    }
    if (args.size() == 3 && args[0] == QLatin1String("gkf"))
        return makeFirmwareFile(args[1], args[2]);
    if (args.isEmpty()) return wrongUse(QStringLiteral("no command"));
    if (args[0] == QLatin1String("show") || args[0] == QLatin1String("diff") ||
        args[0] == QLatin1String("gkf"))
        return wrongUse(QStringLiteral("wrong number of files for %1").arg(args[0]));
    if (args[0].startsWith(QLatin1Char('-')))
        return wrongUse(QStringLiteral("unknown option %1").arg(args[0]));
    return wrongUse(QStringLiteral("unknown command %1").arg(args[0]));
}
