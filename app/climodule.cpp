#include "app/climodule.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <optional>

#include "app/cliterminal.h"
#include "clock/clockpage.h"
#include "config/configimage.h"
#include "config/datafile.h"
#include "config/history.h"
#include "config/transfer.h"
#include "config/versionquery.h"
#include "events/eventrecord.h"
#include "events/eventring.h"
#include "events/names.h"
#include "events/pagedownload.h"
#include "link/ecomport.h"
#include "link/exchange.h"
#include "link/modulelink.h"
#include "link/portnames.h"
#include "link/textcodec.h"
#include "link/texts.h"
#include "params/namefields.h"
#include "params/paramtext.h"
#include "status/statuspoll.h"

namespace climodule {

void print(FILE* to, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
}

namespace {

// The one line every failure of this program ends with.
int fail(const QString& why, int exitCode = kError) {
    std::fflush(stdout);
    print(stderr, QStringLiteral("telvora-cli: %1\n").arg(why));
    return exitCode;
}

// Output that did not reach its file is an error, not a result (see the file commands).
int finish(int code) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return fail(QStringLiteral("cannot write the output"));
    return code;
}

// Every text of the module is printed through escapedText. JSON escapes C0 itself, but writes DEL
// and C1 as they are; its own \u escape keeps the value exact for whoever parses it and keeps them
// from the terminal.
QString jsonForTerminal(const QByteArray& json) {
    const QString text = QString::fromUtf8(json);
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c != QLatin1Char('\n') && isControlCharacter(c.unicode()))
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

// A block count on standard error, redrawn in place; only on a terminal, so a script's
// standard error holds nothing but the one-line reason of a failure.
class ProgressBar {
public:
    ProgressBar(const QString& label, int total)
        : m_label(label), m_total(total), m_shown(cliterminal::stderrIsTerminal()) {
        m_clock.start();
        draw();
    }
    ~ProgressBar() { end(); }
    void advance() {
        ++m_done;
        if (m_done == 1) m_firstMs = m_clock.elapsed();
        draw();
    }
    // Ends the line, so a reason printed after it starts on a line of its own.
    void end() {
        if (!m_shown || m_ended) return;
        m_ended = true;
        std::fputc('\n', stderr);
        std::fflush(stderr);
    }

private:
    void draw() {
        if (!m_shown || m_ended) return;
        qint64 left = -1;
        if (m_done >= 2) {
            // The login and version check come before the first block: the pace is that of
            // the blocks after it.
            left = (m_clock.elapsed() - m_firstMs) / (m_done - 1) * (m_total - m_done);
        } else if (m_done == 1) {
            left = m_firstMs * (m_total - m_done);
        }
        print(stderr, QStringLiteral("\r") + progressLine(m_label, m_done, m_total, left) +
                          QStringLiteral("\033[K"));
        std::fflush(stderr);
    }

    QString m_label;
    int m_total;
    bool m_shown;
    bool m_ended = false;
    int m_done = 0;
    qint64 m_firstMs = 0;
    QElapsedTimer m_clock;
};

// The port, opened, and the link on it with the keep-alive off: between two commands of one
// run there is never a pause long enough to need it, and its login would land in our waits.
class Session {
public:
    explicit Session(const Options& options)
        : m_options(options), m_link(makeQtSerialDevice(), options.timings) {
        m_link.setKeepAliveWanted(false);
        const QString code = options.code;
        m_link.setInstallerCodeSource([code] { return code; });
        if (m_options.interruption)
            m_options.interruption->setOnRequest([this] { m_link.requestStop(); });
    }
    ~Session() {
        if (m_options.interruption) m_options.interruption->setOnRequest({});
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Empty on success, else the reason.
    QString open() {
        const QString device = resolvePortDevice(m_options.port);
        if (!QFileInfo::exists(device))
            return QStringLiteral("%1: no such port (nothing at %2)").arg(m_options.port, device);
        m_link.ComPort1().setPort(m_options.port);
        try {
            m_link.ComPort1().open();
        } catch (const EComPort& e) {
            return QStringLiteral("%1: cannot be opened: %2").arg(m_options.port, e.message());
        }
        return {};
    }

    ModuleLink& link() { return m_link; }
    const QString& port() const { return m_options.port; }

    // A failure with the port's name in front.
    int fail(const QString& why) { return climodule::fail(port() + QStringLiteral(": ") + why); }

    // A signal asked the command to end. Each command looks after every step that was cut short
    // or before every step that is left, since the next exchange starts with the stop cleared.
    bool interrupted() const {
        return m_options.interruption && m_options.interruption->requested();
    }
    // The one line of a command ended by a signal: the state it left the module in.
    int endInterrupted(const QString& state) {
        return climodule::fail(port() + QStringLiteral(": interrupted: ") + state,
                               m_options.interruption->exitCode());
    }

    // Why a login failed, from what the receiver saw.
    QString loginFailure() const {
        const ModuleLink::LastAnswers seen = m_link.lastAnswers();
        if (seen.portLost) return QStringLiteral("the port was lost");
        if (seen.refused)
            return QStringLiteral("wrong installer code (the module answered PWDERR)");
        return QStringLiteral("the module does not answer");
    }
    // Why a page read failed after a good login.
    QString pageFailure() const {
        const ModuleLink::LastAnswers seen = m_link.lastAnswers();
        if (seen.portLost) return QStringLiteral("the port was lost");
        if (seen.refused) return QStringLiteral("the module refused a page (PWDERR)");
        if (seen.damaged) return QStringLiteral("the module's answer was damaged");
        if (seen.frame)
            return QStringLiteral("the module answered with another page than the one asked for");
        return QStringLiteral("the module does not answer");
    }

private:
    const Options& m_options;
    ModuleLink m_link;
};

// One read, write or compare of the whole memory by the transfer the transfer window uses,
// with its blocks counted as they come.
struct TransferRun {
    ConfigTransfer::Outcome outcome;
    int blocksDone = 0;
};

enum class TransferKind { Read, Write };

TransferRun transfer(ConfigTransfer& t, TransferKind kind, const QString& label) {
    ProgressBar bar(label, image::kBlockCount);
    TransferRun run{ConfigTransfer::Outcome::Failed};
    // Kept in the history as the windows keep theirs; a history that cannot be kept does not
    // fail the command, but is said.
    t.setHistoryFolder(history::defaultFolder());
    QObject::connect(&t, &ConfigTransfer::historyNotKept, &t, [](const QString& why) {
        print(stderr, QStringLiteral("telvora-cli: warning: no history entry saved: %1\n").arg(why));
    });
    const QMetaObject::Connection counting =
        QObject::connect(&t, &ConfigTransfer::panelColour, &t, [&](int, PanelColour colour) {
            if (colour != PanelColour::Green) return;
            ++run.blocksDone;
            bar.advance();
        });
    struct Disconnect {
        QMetaObject::Connection c;
        ~Disconnect() { QObject::disconnect(c); }
    } disconnect{counting};
    run.outcome = kind == TransferKind::Read ? t.read() : t.write();
    bar.end();
    return run;
}

// Why a read of the whole memory did not end in Done.
QString readFailure(Session& s, const TransferRun& run) {
    switch (run.outcome) {
        case ConfigTransfer::Outcome::LoginFailed:
            return s.loginFailure();
        case ConfigTransfer::Outcome::WrongDataVersion:
            if (s.link().dataVer() < 0)
                return QStringLiteral("no version page: ") + s.pageFailure();
            return QStringLiteral("the module's data version is %1; this program knows only %2")
                .arg(s.link().dataVer())
                .arg(TelvoraDataVer);
        case ConfigTransfer::Outcome::Busy:
            return QStringLiteral("the module is busy");
        case ConfigTransfer::Outcome::NotConnected:
            return QStringLiteral("the port is not open");
        case ConfigTransfer::Outcome::Stopped:
            return QStringLiteral("stopped");
        default:
            return QStringLiteral("block %1: %2").arg(run.blocksDone + 1).arg(s.pageFailure());
    }
}

// Reads the whole memory into *out. Empty on success, else the reason.
QString readModule(Session& s, const QString& label, ParamImage* out) {
    ConfigTransfer t(s.link());
    const TransferRun run = transfer(t, TransferKind::Read, label);
    if (run.outcome != ConfigTransfer::Outcome::Done) return readFailure(s, run);
    *out = t.ConfigImage();
    return {};
}

// Blocks whose bytes differ where a compare looks: the codes of block 0 never come back as
// they were written, so those bytes do not count (as in the transfer window).
QList<int> differingBlocks(const ParamImage& module, const ParamImage& file) {
    QList<int> out;
    for (int b = 0; b < image::kBlockCount; ++b)
        if (image::firstDifference(b, module.block(b), file.block(b)) >= 0) out.append(b);
    return out;
}

// The module's image with the bytes a compare skips taken from the file, so the parameter
// differences shown are the ones the blocks were found different by.
QByteArray comparable(const ParamImage& module, const ParamImage& file) {
    QByteArray bytes = module.bytes();
    for (int b = 0; b < image::kBlockCount; ++b)
        for (int i = 0; i < image::kBlockSize; ++i)
            if (image::isExceptedOffset(b, i))
                bytes[b * image::kBlockSize + i] = file.bytes()[b * image::kBlockSize + i];
    return bytes;
}

std::optional<QString> loadFile(const QString& path, ParamImage* image) {
    if (const auto error = datafile::open(path, *image)) {
        QString why = *error;
        const QFileInfo info(path);
        if (info.isFile() && info.size() < image::kSize)
            why += QStringLiteral(" (%1 bytes; a data file holds %2)")
                       .arg(info.size())
                       .arg(image::kSize);
        return path + QStringLiteral(": ") + why;
    }
    return std::nullopt;
}

// "site.KD2" -> "site.backup-2026-12-09-143005.KD2" beside it; "-2", "-3"... when taken. The
// file takes a name only if nothing has it, a link included, so a backup never replaces or
// writes through anything, and it appears whole.
std::optional<QString> saveBackup(const QString& besidePath, const ParamImage& image,
                                  QString* why) {
    const QFileInfo in(besidePath);
    const QString stem = QDir::cleanPath(in.dir().filePath(
        in.completeBaseName() + QStringLiteral(".backup-") +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HHmmss"))));
    constexpr int kTries = 100;
    for (int n = 1; n <= kTries; ++n) {
        const QString path = stem + (n == 1 ? QString() : QStringLiteral("-%1").arg(n)) +
                             QString::fromLatin1(datafile::kExtension);
        bool taken = false;
        const std::optional<QString> error = datafile::saveNew(path, image, &taken);
        if (!error) return path;
        if (taken) continue;
        *why = path + QStringLiteral(": cannot be written: ") + *error;
        return std::nullopt;
    }
    *why = stem + QStringLiteral(": every backup name is taken");
    return std::nullopt;
}

// What an interrupted command says of the module.
constexpr QLatin1String kNothingChanged("nothing was changed");
constexpr QLatin1String kUnchanged("the module's data is unchanged");

// A write stopped before its activation: the blocks the module took wait for a "WRACT" that
// never comes, so what it uses is what it had.
QString unfinishedWrite(int blocksDone) {
    if (blocksDone == 0) return QStringLiteral("no block was written; %1").arg(kUnchanged);
    const QString blocks =
        blocksDone == 1 ? QStringLiteral("block 1") : QStringLiteral("blocks 1-%1").arg(blocksDone);
    if (blocksDone == image::kBlockCount)
        return QStringLiteral("%1 written, the activation was not confirmed (no CRCOK); %2")
            .arg(blocks, kUnchanged);
    return QStringLiteral("%1 written, not activated; %2").arg(blocks, kUnchanged);
}

int readCommand(Session& s, const Options& o) {
    const QString out = o.files.value(0);
    ParamImage image;
    const QString why = readModule(s, QStringLiteral("read"), &image);
    if (!why.isEmpty() && s.interrupted())
        return s.endInterrupted(QStringLiteral("nothing was changed; %1 was not written").arg(out));
    if (!why.isEmpty()) return s.fail(why);
    if (const auto error = datafile::save(out, image))
        return climodule::fail(out + QStringLiteral(": ") + *error);
    print(stdout, QStringLiteral("%1: read %2 blocks into %3\n")
                      .arg(s.port())
                      .arg(image::kBlockCount)
                      .arg(out));
    return finish(kOk);
}

int writeCommand(Session& s, const Options& o, const ParamImage& file) {
    const QString in = o.files.value(0);
    if (o.backup) {
        ParamImage held;
        const QString why = readModule(s, QStringLiteral("backup"), &held);
        if (s.interrupted())
            return s.endInterrupted(QStringLiteral("nothing was written; %1").arg(kUnchanged));
        if (!why.isEmpty()) return s.fail(QStringLiteral("backup read, nothing written: ") + why);
        QString saveWhy;
        const std::optional<QString> path = saveBackup(in, held, &saveWhy);
        if (!path) return climodule::fail(saveWhy + QStringLiteral("; nothing written"));
        print(stdout,
              QStringLiteral("%1: backup of the module's data in %2\n").arg(s.port(), *path));
    }

    ConfigTransfer t(s.link());
    t.setConfigImage(file);
    const TransferRun run = transfer(t, TransferKind::Write, QStringLiteral("write"));
    if (run.outcome != ConfigTransfer::Outcome::Done && s.interrupted())
        return s.endInterrupted(unfinishedWrite(run.blocksDone));
    if (run.outcome != ConfigTransfer::Outcome::Done) {
        if (run.outcome != ConfigTransfer::Outcome::Failed) return s.fail(readFailure(s, run));
        if (run.blocksDone == image::kBlockCount)
            return s.fail(QStringLiteral(
                "the module did not confirm the written blocks (no CRCOK); its data is unchanged"));
        if (s.link().lastAnswers().writeRefused)
            return s.fail(QStringLiteral("block %1 was refused (WRFLERR); nothing was activated")
                              .arg(run.blocksDone + 1));
        return s.fail(QStringLiteral("block %1: %2; nothing was activated")
                          .arg(run.blocksDone + 1)
                          .arg(s.link().lastAnswers().portLost
                                   ? QStringLiteral("the port was lost")
                                   : QStringLiteral("the module does not answer")));
    }
    print(stdout, QStringLiteral("%1: wrote %2 blocks from %3\n")
                      .arg(s.port())
                      .arg(image::kBlockCount)
                      .arg(in));

    if (o.verify) {
        const QString notVerified =
            QStringLiteral("the module holds %1 (written and activated); it was not read back")
                .arg(in);
        if (s.interrupted()) return s.endInterrupted(notVerified);
        ParamImage back;
        const QString why = readModule(s, QStringLiteral("verify"), &back);
        if (!why.isEmpty() && s.interrupted()) return s.endInterrupted(notVerified);
        if (!why.isEmpty())
            return s.fail(QStringLiteral("written, but the read-back failed: ") + why);
        const QList<int> blocks = differingBlocks(back, file);
        if (!blocks.isEmpty()) {
            QStringList numbers;
            for (int b : blocks) numbers << QString::number(b + 1);
            return s.fail(QStringLiteral("written, but the module holds other data in block %1")
                              .arg(numbers.join(QStringLiteral(", "))));
        }
        print(stdout, QStringLiteral("%1: verified, the module holds %2\n").arg(s.port(), in));
    }
    return finish(kOk);
}

int compareCommand(Session& s, const Options& o, const ParamImage& file) {
    const QString in = o.files.value(0);
    ParamImage module;
    const QString why = readModule(s, QStringLiteral("compare"), &module);
    if (!why.isEmpty() && s.interrupted()) return s.endInterrupted(kNothingChanged);
    if (!why.isEmpty()) return s.fail(why);
    const QList<int> blocks = differingBlocks(module, file);
    for (int b : blocks) print(stdout, QStringLiteral("block %1 differs\n").arg(b + 1));
    if (!blocks.isEmpty())
        for (const paramtext::Difference& d :
             paramtext::compare(file.bytes(), comparable(module, file)))
            print(stdout, paramtext::diffLine(d) + QLatin1Char('\n'));
    return finish(blocks.isEmpty() ? kOk : kDifferent);
}

int versionCommand(Session& s) {
    ModuleExchange exchange(s.link());
    s.link().setDataVer(-1);
    const QString text = runVersionQuery(exchange);
    if (s.link().dataVer() >= 0) {
        print(stdout, escapedText(text) + QLatin1Char('\n'));
        return finish(kOk);
    }
    if (s.interrupted()) return s.endInterrupted(kNothingChanged);
    if (s.link().loginVerdict() != QString::fromUtf8(texts::kLoginOk))
        return s.fail(s.loginFailure());
    return s.fail(QStringLiteral("no version page: ") + s.pageFailure());
}

// Quoted when it holds a separator, a quote or a line end; quotes doubled.
QString csvField(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

int eventsCommand(Session& s, const Options& o) {
    QByteArray eventPages;
    QByteArray namePages;
    {
        ModuleExchange exchange(s.link());
        const auto quiet = [](const QString&) {};
        for (const auto& [plan, pages] :
             {std::pair{&kEventListPlan, &eventPages}, std::pair{&kNamesPlan, &namePages}}) {
            const DownloadOutcome outcome = downloadPages(exchange, *plan, pages, quiet, nullptr);
            if (outcome != DownloadOutcome::Done && s.interrupted())
                return s.endInterrupted(kNothingChanged);
            if (outcome == DownloadOutcome::LoginFailed) return s.fail(s.loginFailure());
            if (outcome != DownloadOutcome::Done) return s.fail(s.pageFailure());
        }
    }
    if (eventPages.size() < eventring::kSize || namePages.size() < names::kPagesSize)
        return s.fail(QStringLiteral("the module's pages were short"));
    EventRingBytes ring{};
    std::copy_n(eventPages.constData(), ring.size(), ring.begin());
    NamePagesBytes pages{};
    std::copy_n(namePages.constData(), pages.size(), pages.begin());
    const NameTable names = namesFromPages(pages, moduleNameFields());

    // As the event list shows them: newest first, numbered from 1, empty slots left out.
    QList<QStringList> rows;
    const QList<int> order = shownSlots(ring);
    for (int r = 0; r < eventring::kShownRows && r < order.size(); ++r) {
        const EventRow e =
            decodeEventRecord(slotRecord(ring, order[r]), ZoneUserVariant::EventList, names);
        if (!e.shown) continue;
        QStringList row{QString::number(r + 1), e.time, e.text, e.zoneUser};
        for (const QString& m : e.marks) row << m;
        row << e.status;
        for (QString& cell : row) cell = escapedText(cell);
        rows.append(row);
    }
    const QStringList headers = eventGridHeaders(ZoneUserVariant::EventList);
    if (o.csv) {
        QStringList quoted;
        for (const QString& h : headers) quoted << csvField(h);
        print(stdout, quoted.join(QLatin1Char(',')) + QLatin1Char('\n'));
        for (const QStringList& row : rows) {
            quoted.clear();
            for (const QString& cell : row) quoted << csvField(cell);
            print(stdout, quoted.join(QLatin1Char(',')) + QLatin1Char('\n'));
        }
        return finish(kOk);
    }
    QList<int> widths;
    for (const QString& h : headers) widths << h.size();
    for (const QStringList& row : rows)
        for (int c = 0; c < row.size() && c < widths.size(); ++c)
            widths[c] = std::max(widths[c], int(row[c].size()));
    const auto line = [&](const QStringList& cells) {
        QString text;
        for (int c = 0; c < cells.size(); ++c) {
            if (c > 0) text += QStringLiteral("  ");
            text += c + 1 < cells.size() ? cells[c].leftJustified(widths.value(c)) : cells[c];
        }
        print(stdout, text + QLatin1Char('\n'));
    };
    line(headers);
    for (const QStringList& row : rows) line(row);
    if (rows.isEmpty()) print(stdout, QStringLiteral("(no events)\n"));
    return finish(kOk);
}

QJsonValue labelJson(const LabelView& label) { return label.text; }

int statusCommand(Session& s, const Options& o) {
    statuspoll::Result result;
    {
        ModuleExchange exchange(s.link());
        result = statuspoll::pollOnce(exchange, QLocale::c(), statuspoll::kPolls,
                                      statuspoll::kTicksPerPoll);
    }
    if (result.outcome != statuspoll::Result::Done && s.interrupted())
        return s.endInterrupted(kNothingChanged);
    switch (result.outcome) {
        case statuspoll::Result::Done:
            break;
        case statuspoll::Result::WrongCode:
            return s.fail(QStringLiteral("wrong installer code (the module answered PWDERR)"));
        case statuspoll::Result::BadFrames:
            return s.fail(QStringLiteral("the module's status frames could not be read"));
        case statuspoll::Result::PortLost:
            return s.fail(QStringLiteral("the port was lost"));
        case statuspoll::Result::NoAnswer:
            return s.fail(QStringLiteral("the module does not answer"));
    }
    const StatusView& v = *result.view;
    const NameTable noNames;
    if (o.json) {
        QJsonArray zones;
        for (int z = 0; z < statusframe::kZones; ++z)
            zones.append(QJsonObject{{QStringLiteral("zone"), z + 1},
                                     {QStringLiteral("caption"), zoneCaption(noNames, z + 1)},
                                     {QStringLiteral("loop"), labelJson(v.loop[size_t(z)])},
                                     {QStringLiteral("state"), labelJson(v.alarm[size_t(z)])}});
        const auto pair = [](const auto& labels) {
            QJsonArray a;
            for (const LabelView& l : labels) a.append(labelJson(l));
            return a;
        };
        const QJsonObject root{
            {QStringLiteral("frameVersion"), v.version},
            {QStringLiteral("zones"), zones},
            {QStringLiteral("inputs"), pair(v.input)},
            {QStringLiteral("partitions"), pair(v.partition)},
            {QStringLiteral("outputs"), pair(v.output)},
            {QStringLiteral("relays"), pair(v.relay)},
            {QStringLiteral("keypad"), labelJson(v.keypad)},
            {QStringLiteral("fixed"), labelJson(v.fixed)},
            {QStringLiteral("battery"), labelJson(v.battery)},
            {QStringLiteral("mains"), labelJson(v.mains)},
            {QStringLiteral("gsm"), v.gsm},
            {QStringLiteral("gsmMax"), statusframe::kGsmMax},
            {QStringLiteral("temperature"), v.temperature},
        };
        print(stdout, jsonForTerminal(QJsonDocument(root).toJson(QJsonDocument::Indented)));
        return finish(kOk);
    }
    QString text = QStringLiteral("status frame version %1\n").arg(v.version);
    for (int z = 0; z < statusframe::kZones; ++z)
        text += QStringLiteral("zone %1  %2  loop: %3  state: %4\n")
                    .arg(z + 1, 2)
                    .arg(escapedText(zoneCaption(noNames, z + 1)), -5)
                    .arg(escapedText(v.loop[size_t(z)].text), -9)
                    .arg(escapedText(v.alarm[size_t(z)].text));
    const auto add = [&text](const QString& key, const QString& value) {
        text += key + QStringLiteral(": ") + escapedText(value) + QLatin1Char('\n');
    };
    add(QStringLiteral("input A"), v.input[0].text);
    add(QStringLiteral("input B"), v.input[1].text);
    add(QStringLiteral("partition 1"), v.partition[0].text);
    add(QStringLiteral("partition 2"), v.partition[1].text);
    add(QStringLiteral("output 1"), v.output[0].text);
    add(QStringLiteral("output 2"), v.output[1].text);
    for (int r = 0; r < 3; ++r) add(QStringLiteral("relay %1").arg(r + 1), v.relay[size_t(r)].text);
    add(QStringLiteral("keypad"), v.keypad.text);
    add(QStringLiteral("fixed supply"), v.fixed.text);
    add(QStringLiteral("battery"), v.battery.text);
    add(QStringLiteral("mains"), v.mains.text);
    add(QStringLiteral("GSM level"), QStringLiteral("%1/%2").arg(v.gsm).arg(statusframe::kGsmMax));
    add(QStringLiteral("temperature"),
        v.temperature.isEmpty() ? QStringLiteral("-") : v.temperature);
    print(stdout, text);
    return finish(kOk);
}

int clockCommand(Session& s, const Options& o) {
    ModuleExchange exchange(s.link());
    if (o.set) {
        const clockpage::SetResult set =
            clockpage::set(exchange, [] { return QDateTime::currentDateTime(); });
        // The frame went out; whether the module took it before the stop nobody knows.
        if (set != clockpage::SetResult::Done && s.interrupted())
            return s.endInterrupted(
                QStringLiteral("the module may have taken the new time; its clock was not read"));
        if (set == clockpage::SetResult::Done && s.interrupted())
            return s.endInterrupted(QStringLiteral("the clock was set; it was not read back"));
        switch (set) {
            case clockpage::SetResult::Done:
                break;
            case clockpage::SetResult::LoginFailed:
                return s.fail(s.loginFailure());
            case clockpage::SetResult::Failed:
                return s.fail(s.link().lastAnswers().writeRefused
                                  ? QStringLiteral("the module refused the time (WRFLERR)")
                                  : QStringLiteral("the time was not confirmed: ") +
                                        s.pageFailure());
        }
    }
    // After a set, the module's own reading shows what it took.
    const clockpage::ReadResult r = clockpage::read(exchange);
    if (r.outcome != clockpage::ReadResult::Done && s.interrupted())
        return s.endInterrupted(o.set ? QStringLiteral("the clock was set; it was not read back")
                                      : QString(kNothingChanged));
    switch (r.outcome) {
        case clockpage::ReadResult::Done:
            print(stdout, escapedText(r.text) + QLatin1Char('\n'));
            return finish(kOk);
        case clockpage::ReadResult::LoginFailed:
            return s.fail(s.loginFailure());
        case clockpage::ReadResult::Failed:
            break;
    }
    return s.fail((o.set ? QStringLiteral("set, but the clock page did not come: ")
                         : QStringLiteral("no clock page: ")) +
                  s.pageFailure());
}

}  // namespace

bool isModuleCommand(const QString& command) { return fileCount(command) >= 0; }

int fileCount(const QString& command) {
    static const std::pair<const char*, int> kCommands[] = {
        {"read", 1},   {"write", 1},  {"compare", 1}, {"version", 0},
        {"events", 0}, {"status", 0}, {"clock", 0}};
    for (const auto& [name, files] : kCommands)
        if (command == QLatin1String(name)) return files;
    return -1;
}

QString progressLine(const QString& label, int done, int total, qint64 msLeft) {
    constexpr int kWidth = 24;
    const int filled = total > 0 ? std::clamp(done, 0, total) * kWidth / total : 0;
    QString line = QStringLiteral("%1 [%2%3] %4/%5 blocks")
                       .arg(label, -7)
                       .arg(QString(filled, QLatin1Char('#')))
                       .arg(QString(kWidth - filled, QLatin1Char('.')))
                       .arg(done)
                       .arg(total);
    if (msLeft >= 0 && done < total)
        line += QStringLiteral(", %1 s left").arg((msLeft + 999) / 1000);
    return line;
}

int run(const QString& command, const Options& o) {
    // The file is read before the module is touched: a bad file costs no exchange.
    ParamImage file;
    if (command == QLatin1String("write") || command == QLatin1String("compare")) {
        if (const auto why = loadFile(o.files.value(0), &file)) return fail(*why);
    }
    Session s(o);
    if (const QString why = s.open(); !why.isEmpty()) return fail(why);
    try {
        if (command == QLatin1String("read")) return readCommand(s, o);
        if (command == QLatin1String("write")) return writeCommand(s, o, file);
        if (command == QLatin1String("compare")) return compareCommand(s, o, file);
        if (command == QLatin1String("version")) return versionCommand(s);
        if (command == QLatin1String("events")) return eventsCommand(s, o);
        if (command == QLatin1String("status")) return statusCommand(s, o);
        if (command == QLatin1String("clock")) return clockCommand(s, o);
    } catch (const EComPort& e) {
        return s.fail(e.message());
    }
    return fail(QStringLiteral("unknown command %1").arg(command));
}

}  // namespace climodule
