// telvora-cli: shows a data file parameter by parameter, or what differs between two; reads,
// writes and compares a module's data, and shows its version, events, status and clock.
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "app/climodule.h"
#include "app/cliterminal.h"
#include "config/configimage.h"
#include "config/datafile.h"
#include "base/savefile.h"
#include "firmware/gkffile.h"
#include "link/portnames.h"
#include "params/paramtext.h"

namespace {

using climodule::kDifferent;
using climodule::kError;
using climodule::print;
constexpr int kSame = climodule::kOk;

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
    "usage: telvora-cli COMMAND ARGUMENTS [OPTIONS]\n"
    "\n"
    "Reads configuration data files (.KD2, 2048 bytes) without a module or a display, makes\n"
    "firmware files, and talks to a module on a serial port for scripted work on many sites.\n"
    "\n"
    "data files:\n"
    "  show FILE.KD2          every parameter, one line each: key = value\n"
    "  diff OLD.KD2 NEW.KD2   only what differs: key: <old> -> <new>\n"
    "                         (exit code 0: nothing differs, 1: something does)\n"
    "  gkf FIRMWARE.BIN OUT.GKF\n"
    "                         a firmware file of a binary: its 66-byte records scrambled,\n"
    "                         one line each, as the firmware window loads them\n"
    "\n"
    "the module (each needs --port COMn):\n"
    "  read OUT.KD2           the module's data into a data file\n"
    "  write IN.KD2           a data file into the module: first a backup of what the module\n"
    "                         held, IN.backup-YYYY-MM-DD-HHMMSS.KD2 beside IN (never over an\n"
    "                         existing file), then the write, then a read-back compared with IN\n"
    "    --no-backup          no backup read\n"
    "    --no-verify          no read-back\n"
    "  compare IN.KD2         the blocks that differ between the module and IN, then the\n"
    "                         parameters: key: <in file> -> <in module>\n"
    "                         (exit code 0: the same, 1: something differs)\n"
    "  version                the module's firmware text and data version\n"
    "  events                 the module's event list, newest first, with the zone and user\n"
    "                         names it holds\n"
    "    --csv                as comma-separated values instead of aligned columns\n"
    "  status                 one status frame of the module, decoded\n"
    "    --json               as JSON\n"
    "  clock                  the module's clock\n"
    "    --set                set it from this computer's clock first\n"
    "\n"
    "options of the module commands:\n"
    "  --port COMn            the module's port, COM1..COM96; on Linux a link COMn in\n"
    "                         ~/.local/share/telvora/ports, else COM1-32 = /dev/ttyS0-31,\n"
    "                         COM33-64 = /dev/ttyUSB0-31, COM65-96 = /dev/ttyACM0-31\n"
    "  --code DIGITS          the installer code (1 to 6 digits); without it the variable\n"
    "                         TELVORA_CODE, else it is asked for on the terminal (not echoed).\n"
    "                         It is never printed nor written into any file.\n"
    "  --tick-ms N            the length of the program's wait tick, 1..100 ms (default 100);\n"
    "                         every timeout shrinks with it. For tests against a simulator.\n"
    "\n"
    "  --help, -h             this text\n"
    "\n"
    "On a terminal, transfers show their progress on standard error.\n"
    "Exit code 2 with a one-line reason on standard error for any error.\n"
    "Ctrl+C or SIGTERM ends a module command cleanly: it stops before the next block and says\n"
    "in one line what state the module is in (exit code 130, or 143 for SIGTERM).\n";

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

// 1 to 6 digits: the module takes no more, and a code silently cut short would fail in a
// way nobody could see.
bool isInstallerCode(const QString& code) {
    if (code.isEmpty() || code.size() > 6) return false;
    for (const QChar c : code)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    return true;
}

// "COM5", "com5" or "5": COM1..COM96. normalisePortName would quietly make a typo COM1.
std::optional<QString> portOption(const QString& text) {
    QString digits = text;
    if (digits.left(3).compare(QLatin1String("COM"), Qt::CaseInsensitive) == 0)
        digits = digits.mid(3);
    if (digits.isEmpty() || digits.size() > 2) return std::nullopt;
    for (const QChar c : digits)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
    const int n = digits.toInt();
    if (n < 1 || n > 96) return std::nullopt;
    return normalisePortName(QStringLiteral("COM%1").arg(n));
}

int moduleCommand(QCoreApplication& app, const QStringList& args) {
    const QString command = args[0];
    climodule::Options o;
    std::optional<QString> code;
    for (int i = 1; i < args.size(); ++i) {
        QString name = args[i];
        std::optional<QString> inlineValue;
        if (name.startsWith(QLatin1String("--")) && name.contains(QLatin1Char('='))) {
            inlineValue = name.mid(name.indexOf(QLatin1Char('=')) + 1);
            name = name.left(name.indexOf(QLatin1Char('=')));
        }
        const auto value = [&]() -> std::optional<QString> {
            if (inlineValue) return inlineValue;
            if (i + 1 >= args.size()) return std::nullopt;
            return args[++i];
        };
        const auto onlyFor = [&](const char* owner) {
            if (command == QLatin1String(owner)) return 0;
            return wrongUse(
                QStringLiteral("%1 is an option of %2 only").arg(name, QLatin1String(owner)));
        };
        if (name == QLatin1String("--port")) {
            const std::optional<QString> v = value();
            if (!v) return wrongUse(QStringLiteral("--port needs a port name"));
            const std::optional<QString> port = portOption(*v);
            if (!port) return wrongUse(QStringLiteral("%1 is no port name (COM1..COM96)").arg(*v));
            o.port = *port;
        } else if (name == QLatin1String("--code")) {
            code = value();
            // The code itself is never repeated, not even in this message.
            if (!code) return wrongUse(QStringLiteral("--code needs the installer code"));
        } else if (name == QLatin1String("--tick-ms")) {
            const std::optional<QString> v = value();
            bool ok = false;
            const int ms = v ? v->toInt(&ok, 10) : 0;
            if (!ok || ms < 1 || ms > 100)
                return wrongUse(QStringLiteral("--tick-ms takes 1 to 100"));
            // Every interval keeps its proportion to the tick.
            o.timings.tickMs = ms;
            o.timings.pollMs = ms * 5;
            o.timings.keepAliveMs = ms * 50;
            o.timings.splashMs = ms * 10;
        } else if (inlineValue) {
            return wrongUse(QStringLiteral("%1 takes no value").arg(name));
        } else if (name == QLatin1String("--no-backup") || name == QLatin1String("--no-verify")) {
            if (const int e = onlyFor("write")) return e;
            (name == QLatin1String("--no-backup") ? o.backup : o.verify) = false;
        } else if (name == QLatin1String("--csv")) {
            if (const int e = onlyFor("events")) return e;
            o.csv = true;
        } else if (name == QLatin1String("--json")) {
            if (const int e = onlyFor("status")) return e;
            o.json = true;
        } else if (name == QLatin1String("--set")) {
            if (const int e = onlyFor("clock")) return e;
            o.set = true;
        } else if (name.startsWith(QLatin1Char('-')) && name.size() > 1) {
            return wrongUse(QStringLiteral("unknown option %1").arg(name));
        } else {
            o.files << args[i];
        }
    }
    const int files = climodule::fileCount(command);
    if (o.files.size() != files)
        return wrongUse(files == 0 ? QStringLiteral("%1 takes no file").arg(command)
                                   : QStringLiteral("%1 takes one data file").arg(command));
    if (o.port.isEmpty()) return wrongUse(QStringLiteral("no port: give --port COMn"));

    if (!code && !qEnvironmentVariableIsEmpty("TELVORA_CODE"))
        code = qEnvironmentVariable("TELVORA_CODE");
    if (!code) {
        if (!cliterminal::stdinIsTerminal()) {
            print(stderr, QStringLiteral("telvora-cli: no installer code: give --code DIGITS or "
                                         "set TELVORA_CODE (no terminal to ask on)\n"));
            return kError;
        }
        code = cliterminal::readHidden(QStringLiteral("Installer code: "));
        if (!code) {
            print(stderr, QStringLiteral("telvora-cli: no installer code was typed\n"));
            return kError;
        }
    }
    if (!isInstallerCode(*code)) {
        print(stderr, QStringLiteral("telvora-cli: the installer code must be 1 to 6 digits\n"));
        return kError;
    }
    o.code = *code;

    // Ctrl+C or SIGTERM in the middle of a write must not leave the module with blocks written
    // and nobody told: the command stops its exchange and says where it left things.
    climodule::Interruption interruption;
    o.interruption = &interruption;
    const cliterminal::InterruptWatch watch(
        [&interruption](int signalExitCode) { interruption.request(signalExitCode); });

    // Every wait of the link processes the loop's events, as in the windows.
    int exitCode = kError;
    QTimer::singleShot(0, &app, [&] {
        exitCode = climodule::run(command, o);
        QCoreApplication::exit(exitCode);
    });
    app.exec();
    return exitCode;
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
            print(stdout, paramtext::diffLine(d) + QLatin1Char('\n'));
        return finish(diffs.isEmpty() ? kSame : kDifferent);
    }
    if (args.size() == 3 && args[0] == QLatin1String("gkf"))
        return makeFirmwareFile(args[1], args[2]);
    if (args.isEmpty()) return wrongUse(QStringLiteral("no command"));
    if (climodule::isModuleCommand(args[0])) return moduleCommand(app, args);
    if (args[0] == QLatin1String("show") || args[0] == QLatin1String("diff") ||
        args[0] == QLatin1String("gkf"))
        return wrongUse(QStringLiteral("wrong number of files for %1").arg(args[0]));
    if (args[0].startsWith(QLatin1Char('-')))
        return wrongUse(QStringLiteral("unknown option %1").arg(args[0]));
    return wrongUse(QStringLiteral("unknown command %1").arg(args[0]));
}
