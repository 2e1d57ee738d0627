#include <QApplication>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QFile>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>

#include "app/appwindows.h"
#include "clock/clockpage.h"
#include "config/versionquery.h"
#include "events/eventring.h"
#include "firmware/gkffile.h"
#include "firmware/upload.h"
#include "link/modem.h"
#include "link/protocol.h"
#include "link/texts.h"
#include "radio/radioframe.h"
#include "sim/korvantasim.h"
#include "support/images.h"
#include "support/windowsrig.h"

// Every exchange with the module against every fault the simulator can put on the line. Each
// cell checks what an installer on site relies on: the text shown is the true one, no success
// is claimed, the wait ends within its ticks, and neither the image, the module nor any file
// has changed. A cell that cannot happen says why.
//
// Most of the matrix's time is waits that no answer ends, so it runs on 1 ms ticks, and every
// time the simulator is given (a late answer's delay, the modem's) derives from them.
using Mode = KorvantaSim::FaultMode;
using Kind = KorvantaSim::CommandKind;

namespace {

enum Column { Silent, PwdErr, Damaged, WrongAnswer, Late, Garbage, PortLost, kColumns };
constexpr const char* kColumnNames[kColumns] = {"silent",    "PWDERR", "damaged",  "wrong answer",
                                                "late",      "garbage", "port lost"};

// What the exchange waits for, which decides the faults that can meet it.
enum class Answer {
    Frame,   // a page frame
    Word,    // a word such as "WROK" or "PWDOK"
    Nothing, // sent and not awaited; the polls show what became of it
    Poll,    // polled state, answered by frames of its own
    Modem,   // the modem's words
};

const QString kNoSerial = QString::fromUtf8(texts::kNoSerial);
const QString kWrongCode = QString::fromUtf8(texts::kWrongCode);
const QString kNoAnswer = QString::fromUtf8(texts::kNoAnswer);
const QString kShortNoAnswer = QStringLiteral("A modul nem válaszol!");
const QString kReadFailed = QStringLiteral("Leolvasás sikertelen.");

const Timings kTimings = shortTickTimings();
// The modem connects within a few ticks of the dial's 200, and hears "+++" after a guard time
// well inside the 20 ticks of silence the program keeps around it.
const int kModemConnectMs = 20 * kTimings.tickMs;
const int kModemGuardMs = 4 * kTimings.tickMs;

QByteArray randomImage(quint32 seed) {
    QByteArray out(2048, '\0');
    for (char& c : out) {
        seed = seed * 1664525u + 1013904223u;
        c = char(seed >> 24);
    }
    return out;
}

// Every file under a folder, with a digest of its bytes.
QMap<QString, QByteArray> filesUnder(const QString& dir) {
    QMap<QString, QByteArray> out;
    // Regular files only: the COM link in the ports folder leads to a terminal.
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!it.fileInfo().isFile()) continue;
        QFile f(path);
        out[path] = f.open(QIODevice::ReadOnly)
                        ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
                        : QByteArray("<unreadable>");
    }
    return out;
}

// The windows rig, with what the transfer window's last transfer ended in.
struct Rig : WindowsRig {
    explicit Rig(const QString& home)
        : WindowsRig(QStringLiteral("COM84"), home + QStringLiteral("/setup.ini"),
                     QStringLiteral("1234"), kTimings) {
        windows.mainForm.edPhoneNr->setText(QStringLiteral("0630"));
        QObject::connect(&windows.downloadForm.transfer(), &ConfigTransfer::finished,
                         [this](ConfigTransfer::Outcome o) { outcome = o; });
    }
    std::optional<ConfigTransfer::Outcome> outcome;
};

struct Row {
    const char* name;
    Kind command;
    int page;  // of reads and written frames; kAnyPage for the others
    Answer answer;
    int maxTicks;  // the exchange's waits with every attempt failing, with room to spare
    std::function<void(Rig&)> setUp;
    std::function<void(Rig&)> act;
    // Whether what the user was shown tells the failure truthfully, for this column.
    std::function<bool(Rig&, Column)> failureShown;
    QStringList successTexts;  // never to be shown
};

bool transferFailed(Rig& r) {
    using O = ConfigTransfer::Outcome;
    return r.outcome && (*r.outcome == O::Failed || *r.outcome == O::LoginFailed ||
                         *r.outcome == O::WrongDataVersion);
}

QString firmwareFile(const QString& dir) {
    QByteArray binary(12 * gkf::kRecordSize, '\0');
    for (int i = 0; i < binary.size(); ++i) binary[i] = char(i * 37);
    const QString path = dir + QStringLiteral("/matrix.GKF");
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write(*gkf::fromBinary(binary));
    return path;
}

QList<Row> rows(const QString& dir) {
    const int any = KorvantaSim::kAnyPage;
    auto press = [](QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); };
    auto transfer = [press](QPushButton* TFormDownload::*button) {
        return [press, button](Rig& r) { press(r.windows.downloadForm.*button); };
    };
    auto failedTransfer = [](Rig& r, Column) { return transferFailed(r); };
    auto said = [](QStringList texts) {
        return [texts](Rig& r, Column) { return r.toldAny(texts); };
    };
    const QStringList clockRead{QString::fromUtf8(clockpage::kReadFailed)};
    const QStringList clockSet{QString::fromUtf8(clockpage::kSetFailed)};

    // The status window shows what the polls brought; a partition command or a radio
    // command that got nowhere leaves the module as it was, and the polls show that.
    auto statusSilence = [](Rig& r, Column c) {
        const QString bar = r.windows.statusForm.StatusBar1->currentMessage();
        if (c == PortLost) return r.toldAny({kNoSerial});
        if (c == PwdErr) return r.toldAny({kWrongCode});
        return r.toldAny({kShortNoAnswer}) || bar == kShortNoAnswer;
    };

    return {
        {"configuration read", Kind::PageRead, 3, Answer::Frame, 200, nullptr,
         transfer(&TFormDownload::btRead), failedTransfer, {}},
        {"configuration write", Kind::PageWrite, 3, Answer::Word, 200, nullptr,
         transfer(&TFormDownload::btWrite), failedTransfer, {}},
        {"configuration compare", Kind::PageRead, 3, Answer::Frame, 200,
         // The same bytes on both sides: the compare reads on to the faulty block.
         [](Rig& r) { r.windows.downloadForm.setConfigImage(img(r.sim.memory())); },
         transfer(&TFormDownload::btCompare), failedTransfer, {}},
        {"version query", Kind::PageRead, proto::kVersionPage, Answer::Frame, 200, nullptr,
         [press](Rig& r) { press(r.windows.mainForm.btAskVersion); },
         said({kReadFailed, kNoSerial, kWrongCode}), {}},
        {"names", Kind::PageRead, 1, Answer::Frame, 200, nullptr,
         [press](Rig& r) { press(r.windows.eventListForm.btLoadNames); },
         said({kReadFailed}), {QStringLiteral("Zóna és Felhasználói nevek letöltve.")}},
        {"event list", Kind::PageRead, proto::kEventFirstPage + 1, Answer::Frame, 200, nullptr,
         [press](Rig& r) { press(r.windows.eventListForm.btLoadEvents); },
         said({kReadFailed}), {}},
        {"status polling", Kind::PollStatus, any, Answer::Poll, 0, nullptr,
         [](Rig& r) { r.inStatusWindow([&] { r.pollFor(12); }); }, statusSilence, {}},
        {"alarm stop (main window)", Kind::AlarmStop, any, Answer::Word, 150,
         [](Rig& r) { r.dialogs.answers = {true}; },
         [press](Rig& r) { press(r.windows.mainForm.btSotpAllAlarm); },
         said({kShortNoAnswer, kWrongCode}), {QStringLiteral("Riasztási események leállítva!")}},
        {"alarm stop (status window)", Kind::AlarmStop, any, Answer::Word, 200,
         [](Rig& r) { r.dialogs.answers = {true}; },
         [press](Rig& r) {
             r.inStatusWindow([&] { press(r.windows.statusForm.btSotpAllAlarm); });
         },
         said({kShortNoAnswer, kWrongCode}), {QStringLiteral("Riasztási események leállítva!")}},
        {"partitions", Kind::Partition, any, Answer::Nothing, 0,
         [](Rig& r) { r.sim.state().setPartition(1, false); },
         [press](Rig& r) {
             r.inStatusWindow([&] {
                 r.pollFor(2);
                 press(r.windows.statusForm.btP1ON);
                 r.pollFor(12);
             });
         },
         [statusSilence](Rig& r, Column c) {
             // The module stays disarmed, and the window says so from its polls.
             return !r.sim.state().partitionArmed(1) &&
                    (c == PortLost || c == PwdErr ? statusSilence(r, c) : true);
         },
         {}},
        {"clock read", Kind::PageRead, clockpage::kPage, Answer::Frame, 200, nullptr,
         [press](Rig& r) { press(r.windows.clockForm.btReadClock); }, said(clockRead), {}},
        {"clock set", Kind::PageWrite, clockpage::kPage, Answer::Word, 200, nullptr,
         [press](Rig& r) { press(r.windows.clockForm.btSetTime); }, said(clockSet),
         {QString::fromUtf8(clockpage::kSetDone)}},
        {"firmware upload", Kind::PageWrite, gkf::kFirstPage + 1, Answer::Word, 600,
         [dir, press](Rig& r) {
             r.dialogs.paths = {firmwareFile(dir)};
             press(r.windows.firmwareForm.btLoad);
         },
         [press](Rig& r) { press(r.windows.firmwareForm.btStart); },
         said({QString::fromUtf8(firmware::kUploadFailed)}),
         {QString::fromUtf8(firmware::kUploadDone)}},
        {"radio teach", Kind::RadioTeach, any, Answer::Nothing, 400,
         [](Rig& r) {
             r.windows.rfForm.show();
             r.windows.rfForm.RFTimer().start();
             r.dialogs.answers = {true};
         },
         [press](Rig& r) {
             press(r.windows.rfForm.btTeach[5]);
             r.windows.rfForm.close();
         },
         [](Rig& r, Column c) {
             return r.sim.radio().teachingSlot() == RadioSlots::kNoTeach &&
                    r.windows.rfForm.lb[5]->text() != QString::fromUtf8(radio::kTeachingText) &&
                    (c != PortLost || r.toldAny({kNoSerial}));
         },
         {}},
        {"radio delete", Kind::RadioDelete, any, Answer::Nothing, 400,
         [](Rig& r) {
             r.sim.radio().setStatus(0, 0x0B);
             r.windows.rfForm.show();
             r.windows.rfForm.RFTimer().start();
             r.dialogs.answers = {true, true};
         },
         [press](Rig& r) {
             press(r.windows.rfForm.btRFDeleteAll);
             r.windows.rfForm.close();
         },
         [](Rig& r, Column c) {
             return r.sim.radio().status(0) == 0x0B &&
                    (c != PortLost || r.toldAny({kNoSerial}));
         },
         {}},
        {"dial", Kind::Dial, any, Answer::Modem, 400,
         [](Rig& r) {
             r.sim.setModem(true);
             r.sim.setModemConnectMs(kModemConnectMs);
         },
         [press](Rig& r) { press(r.windows.mainForm.btDial); },
         said({QString::fromUtf8(modem::kNoConnection)}), {QString::fromUtf8(texts::kRemoteOk)}},
        {"hang-up", Kind::HangUp, any, Answer::Modem, 400,
         [press](Rig& r) {
             r.sim.setModem(true);
             r.sim.setModemConnectMs(kModemConnectMs);
             r.sim.setModemGuardMs(kModemGuardMs);
             press(r.windows.mainForm.btDial);
             r.seen.clear();
         },
         [press](Rig& r) { press(r.windows.mainForm.btATH); },
         said({QString::fromUtf8(modem::kHangUpFailed)}), {QString::fromUtf8(modem::kHungUp)}},
    };
}

// The fault a column puts on a row's command, or why it cannot meet it.
std::optional<Mode> modeFor(const Row& row, Column c, QString* whyNot) {
    auto no = [whyNot](const char* why) {
        *whyNot = QString::fromUtf8(why);
        return std::nullopt;
    };
    switch (c) {
        case Silent:
            return Mode::NoAnswer;
        case PwdErr:
            if (row.answer == Answer::Modem) return no("a modem never answers PWDERR");
            return Mode::PasswordError;
        case Damaged:
            if (row.answer == Answer::Frame) return Mode::DamagedFrame;
            if (row.answer == Answer::Poll) return Mode::WrongLength;
            return no("the answer is a word, not a frame that could be damaged");
        case WrongAnswer:
            if (row.answer == Answer::Frame) return Mode::WrongPage;
            return Mode::WrongKind;
        case Late:
            if (row.answer == Answer::Nothing || row.answer == Answer::Poll)
                return no("nothing waits for an answer: a late one is shown as it comes");
            return Mode::Late;
        case Garbage:
            return Mode::Garbage;
        case PortLost:
            return Mode::PortLost;
        case kColumns:
            break;
    }
    return no("no such column");
}

}  // namespace

Q_DECLARE_METATYPE(Column)

namespace {
using Act = std::function<void(Rig&)>;
using Outcome = std::function<bool(Rig&)>;
}  // namespace

class TestFaultMatrix : public QObject {
    Q_OBJECT

    const QDir m_home{testHome()};  // this program's own
    QList<Row> m_rows;

private slots:
    void initTestCase() {
        prepareEndToEnd();
        m_rows = rows(m_home.path());
    }

    void everyCellIsDecided() {
        int run = 0, notApplicable = 0;
        for (const Row& row : m_rows)
            for (int c = 0; c < kColumns; ++c) {
                QString why;
                if (modeFor(row, Column(c), &why)) {
                    ++run;
                } else {
                    QVERIFY2(!why.isEmpty(), row.name);
                    ++notApplicable;
                }
            }
        QCOMPARE(run + notApplicable, m_rows.size() * kColumns);
        QVERIFY(m_rows.size() >= 17);
    }

    void cell_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<Column>("column");
        for (int r = 0; r < m_rows.size(); ++r)
            for (int c = 0; c < kColumns; ++c)
                QTest::addRow("%s / %s", m_rows[r].name, kColumnNames[c]) << r << Column(c);
    }
    void cell() {
        QFETCH(int, row);
        QFETCH(Column, column);
        const Row& spec = m_rows[row];
        QString whyNot;
        const std::optional<Mode> mode = modeFor(spec, column, &whyNot);
        if (!mode) QSKIP(qPrintable(QStringLiteral("does not apply: ") + whyNot));

        auto rig = std::make_unique<Rig>(m_home.path());
        Rig& r = *rig;
        QVERIFY2(r.started, qPrintable(r.error));
        r.sim.setMemory(randomImage(11));
        r.sim.setLiveIntervalMs(0);
        r.windows.downloadForm.setConfigImage(img(randomImage(23)));
        QVERIFY(r.connectToModule());
        if (spec.setUp) spec.setUp(r);

        KorvantaSim::Fault fault;
        fault.mode = *mode;
        fault.command = spec.command;
        fault.page = spec.page;
        fault.seed = quint32(row * 31 + column);
        // Later than every wait of the exchange, attempts and all. The waits take well under
        // half their maxTicks, so a loaded machine may stretch each tick to several times its
        // length before an answer meant to be late comes in time.
        const int lateMs = 2 * spec.maxTicks * kTimings.tickMs + 200;
        if (*mode == Mode::Late) fault.delayMs = lateMs;
        const int id = r.sim.addFault(fault);

        const QByteArray image = r.windows.downloadForm.ConfigImage().bytes();
        const QByteArray memory = r.sim.memory();
        const QDateTime clock = r.sim.clockNow();
        const QMap<QString, QByteArray> files = filesUnder(m_home.path());
        // Ticks of the exchange's counter: the dial's and hang-up's, or every other wait's.
        const bool modemRow = spec.answer == Answer::Modem;
        int ticks = 0;
        QObject::connect(modemRow ? &r.windows.link.DelayTimer() : &r.windows.link.Timer1(),
                         &QTimer::timeout, &r.sim, [&ticks] { ++ticks; });

        spec.act(r);
        QVERIFY2(r.sim.faultFired(id) > 0, "the fault never met the exchange");
        if (spec.maxTicks > 0) QVERIFY2(ticks <= spec.maxTicks, qPrintable(QString::number(ticks)));

        auto unchanged = [&] {
            QCOMPARE(r.windows.downloadForm.ConfigImage().bytes(), image);
            QCOMPARE(r.sim.memory(), memory);
            QCOMPARE(r.sim.activationCount(), 0);
            QVERIFY(r.sim.firmware().installed().isEmpty());
            QVERIFY(qAbs(r.sim.clockNow().secsTo(clock)) < 60);
            for (const QString& s : spec.successTexts)
                QVERIFY2(!r.told().contains(s), qPrintable(r.told().join(" | ")));
        };
        unchanged();
        // A command that awaits nothing may return before the loss has been noticed; the
        // user is told once it is.
        if (column == PortLost)
            r.pump([&r] { return !r.windows.link.connected(); }, 100);
        QVERIFY2(spec.failureShown(r, column), qPrintable(r.told().join(" | ")));
        if (*mode == Mode::Late) {
            // The answers that come after the exchange gave up change nothing either.
            r.pump([] { return false; }, lateMs / kTimings.tickMs + 20);
            unchanged();
        }
        // What the program wrote while the module failed: nothing.
        rig.reset();
        QMap<QString, QByteArray> after = filesUnder(m_home.path());
        after.remove(m_home.filePath(QStringLiteral("setup.ini")));  // written as the windows go
        QMap<QString, QByteArray> before = files;
        before.remove(m_home.filePath(QStringLiteral("setup.ini")));
        QCOMPARE(after.keys(), before.keys());
        QVERIFY(after == before);
    }

    // A module need not clear the bytes between a page's data and the low byte of its number
    // (256-263 and the number's high byte at 264). The parameter, event and name pages are known
    // by the low byte alone and are taken all the same; the version and clock pages, taken only
    // with their whole number, are refused as frames of another page.
    void strayHighBytes_data() {
        QTest::addColumn<int>("firstPage");
        QTest::addColumn<int>("pages");  // every one of them comes with stray bytes
        QTest::addColumn<Act>("setUp");
        QTest::addColumn<Act>("act");
        QTest::addColumn<Outcome>("outcome");
        auto press = [](QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); };
        const Act nothing = [](Rig&) {};
        const QString namesDone = QStringLiteral("Zóna és Felhasználói nevek letöltve.");
        auto withoutReadFailure = [](Rig& r) { return !r.toldAny({kReadFailed}); };
        const QString noVersion = QStringLiteral(
            "Ehhez a GSM-Korvanta programverzióhoz másik Korvanta Telvora program szükséges!   "
            "(KorvantaDataVer=-1 , TelvoraDataVer=2)");
        using O = ConfigTransfer::Outcome;

        QTest::newRow("configuration read")
            << 0 << 8 << nothing << Act([press](Rig& r) { press(r.windows.downloadForm.btRead); })
            << Outcome([](Rig& r) {
                   return r.outcome == O::Done &&
                          r.windows.downloadForm.ConfigImage().bytes() == r.sim.memory() &&
                          r.dialogs.messages.isEmpty();
               });
        QTest::newRow("configuration compare")
            << 0 << 8
            << Act([](Rig& r) { r.windows.downloadForm.setConfigImage(img(r.sim.memory())); })
            << Act([press](Rig& r) { press(r.windows.downloadForm.btCompare); })
            << Outcome([](Rig& r) { return r.outcome == O::Done && r.dialogs.messages.isEmpty(); });
        QTest::newRow("event list")
            << proto::kEventFirstPage << proto::kEventPageCount << nothing
            << Act([press](Rig& r) { press(r.windows.eventListForm.btLoadEvents); })
            << Outcome([withoutReadFailure](Rig& r) {
                   const EventRingBytes& ring = r.windows.eventListForm.EventRing();
                   return withoutReadFailure(r) &&
                          r.toldAny({QStringLiteral("Eseménylista letöltve.")}) &&
                          QByteArray(reinterpret_cast<const char*>(ring.data()),
                                     int(ring.size())) == r.sim.state().eventMemory();
               });
        QTest::newRow("names (event list window)") << 0 << 3 << nothing << Act([press](Rig& r) {
            press(r.windows.eventListForm.btLoadNames);
        }) << Outcome([withoutReadFailure, namesDone](Rig& r) {
            return withoutReadFailure(r) && r.toldAny({namesDone}) &&
                   !r.windows.eventListForm.NameTable().at(12).isEmpty();
        });
        QTest::newRow("names (status window)") << 0 << 3 << nothing << Act([press](Rig& r) {
            r.inStatusWindow([&] { press(r.windows.statusForm.btLoadZoneNames); });
        }) << Outcome([withoutReadFailure, namesDone](Rig& r) {
            return withoutReadFailure(r) && r.toldAny({namesDone}) &&
                   !r.windows.eventListForm.NameTable().at(12).isEmpty();
        });
        QTest::newRow("version query")
            << proto::kVersionPage << 1 << nothing
            << Act([press](Rig& r) { press(r.windows.mainForm.btAskVersion); })
            << Outcome([](Rig& r) {
                   return r.toldAny({kReadFailed}) && r.dialogs.messages.isEmpty() &&
                          r.windows.link.dataVer() != TelvoraDataVer;
               });
        QTest::newRow("version page of a read")
            << proto::kVersionPage << 1 << nothing
            << Act([press](Rig& r) { press(r.windows.downloadForm.btRead); })
            << Outcome([noVersion](Rig& r) {
                   return r.outcome == O::WrongDataVersion &&
                          r.dialogs.messages == QStringList{noVersion};
               });
        QTest::newRow("clock read")
            << int(clockpage::kPage) << 1 << nothing
            << Act([press](Rig& r) { press(r.windows.clockForm.btReadClock); })
            << Outcome([](Rig& r) {
                   for (const QString& t : r.told())
                       if (t.startsWith(QStringLiteral("A modul órája"))) return false;
                   return r.toldAny({QString::fromUtf8(clockpage::kReadFailed)});
               });
    }
    void strayHighBytes() {
        QFETCH(int, firstPage);
        QFETCH(int, pages);
        QFETCH(Act, setUp);
        QFETCH(Act, act);
        QFETCH(Outcome, outcome);
        auto rig = std::make_unique<Rig>(m_home.path());
        Rig& r = *rig;
        QVERIFY2(r.started, qPrintable(r.error));
        r.sim.setMemory(randomImage(17));
        r.sim.setLiveIntervalMs(0);
        r.windows.downloadForm.setConfigImage(img(randomImage(29)));
        QVERIFY(r.connectToModule());
        setUp(r);
        QList<int> ids;
        for (int p = firstPage; p < firstPage + pages; ++p) {
            KorvantaSim::Fault stray;
            stray.mode = Mode::StrayHigh;
            stray.command = Kind::PageRead;
            stray.page = p;
            ids << r.sim.addFault(stray);
        }
        act(r);
        QVERIFY2(outcome(r), qPrintable(r.told().join(" | ")));
        for (int id : ids) QVERIFY2(r.sim.faultFired(id) > 0, "a page came without stray bytes");
    }
};

QTEST_MAIN(TestFaultMatrix)
#include "test_fault_matrix.moc"
