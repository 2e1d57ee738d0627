#include <QDir>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>
#include <optional>

#include "app/mainform.h"
#include "link/pageframe.h"
#include "config/downloadform.h"
#include "link/modulelink.h"
#include "link/portnames.h"
#include "link/protocol.h"
#include "link/timing.h"
#include "sim/korvantasim.h"
#include "support/images.h"
#include "support/scripteddialogs.h"
#include "support/simrig.h"

// Reading, writing and comparing the parameter memory, and the version query, through the
// real windows and port layer against the simulated module.
using Outcome = ConfigTransfer::Outcome;
Q_DECLARE_METATYPE(ConfigTransfer::Outcome)

class TestTransferE2e : public QObject {
    Q_OBJECT

    using Setup = std::function<void(KorvantaSim&, TFormDownload&)>;

    std::unique_ptr<SimRig> m_rig;
    KorvantaSim* m_sim = nullptr;
    ModuleLink* m_link = nullptr;
    TForm1* m_form = nullptr;
    ScriptedDialogs* m_dialogs = nullptr;
    std::unique_ptr<TFormDownload> m_download;
    std::optional<Outcome> m_outcome;  // of the last transfer the window ran

    static QByteArray randomImage(quint32 seed) {
        QRandomGenerator rng(seed);
        QByteArray out(2048, '\0');
        for (char& c : out) c = char(rng.bounded(256));
        return out;
    }
    // Puts an image into the transfer window fit for `op`: the module's own for a compare,
    // which reads on only while the blocks agree, other bytes for a read or write. Returns it.
    QByteArray loadImageFor(const QString& op, quint32 seed) {
        const QByteArray ours = op == "compare" ? m_sim->memory() : randomImage(seed);
        m_download->setConfigImage(img(ours));
        return ours;
    }
    QString colours() const {
        // One letter a panel: S silver, W white, Y yellow, G green, R red.
        QString out;
        for (int b = 0; b < 8; ++b) {
            const QColor c = m_download->panelColour(b);
            for (PanelColour p : {PanelColour::Silver, PanelColour::White, PanelColour::Yellow,
                                  PanelColour::Green, PanelColour::Red})
                if (c == QColor(panelRgb(p).red, panelRgb(p).green, panelRgb(p).blue))
                    out += QStringLiteral("SWYGR").at(int(p));
        }
        return out;
    }
    QList<QByteArray> commandsSent() const {
        // Commands without the frame digits, which are long and checked elsewhere.
        QList<QByteArray> out;
        for (const QByteArray& l : m_sim->receivedLines())
            out.append(l.size() == 540 ? QByteArray("<frame>") : l);
        return out;
    }
    void press(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
    // The first time the simulator receives `line`, run `action` (inside the program's wait).
    void onLine(const QByteArray& line, std::function<void()> action) {
        auto connection = std::make_shared<QMetaObject::Connection>();
        *connection = connect(m_sim, &KorvantaSim::lineReceived, this,
                              [line, action, connection](const QByteArray& got) {
                                  if (got != line) return;
                                  QObject::disconnect(*connection);
                                  action();
                              });
    }

private slots:
    void initTestCase() { prepareEndToEnd(); }

    void init() {
        // Short ticks: most of this test is waits that no answer ends.
        m_rig = std::make_unique<SimRig>(QStringLiteral("COM88"), shortTickTimings());
        QVERIFY2(m_rig->started, qPrintable(m_rig->error));
        m_sim = &m_rig->sim;
        m_link = &m_rig->link;
        m_form = &m_rig->form;
        m_dialogs = &m_rig->dialogs;
        m_sim->setMemory(randomImage(7));
        m_download = std::make_unique<TFormDownload>(*m_link, *m_dialogs);
        m_outcome.reset();
        connect(&m_download->transfer(), &ConfigTransfer::finished, this,
                [this](Outcome o) { m_outcome = o; });
        m_form->edPWD->setText(QStringLiteral("1234"));
        QVERIFY(m_rig->connectToModule());
        // The keep-alive stays on: a transfer must keep it quiet while it runs.
        QVERIFY(m_link->CodeTimer().isActive());
    }

    void cleanup() {
        m_download.reset();
        m_rig.reset();
    }

    void readGivesTheModulesMemory() {
        // The version check inside the transfer must not restart the keep-alive: an "RPWD"
        // between the blocks would be answered in the middle of the read.
        bool keepAliveDuringBlocks = true;
        onLine("RDFL0000", [&] { keepAliveDuringBlocks = m_link->CodeTimer().isActive(); });
        press(m_download->btRead);
        QVERIFY(!keepAliveDuringBlocks);
        QCOMPARE(m_outcome, Outcome::Done);
        QCOMPARE(colours(), QStringLiteral("GGGGGGGG"));
        QCOMPARE(m_download->ConfigImage().bytes(), m_sim->memory());
        QCOMPARE(commandsSent(),
                 (QList<QByteArray>{"RPWDEDCB00", "RPWDEDCB00", "RDFLFFFF", "RDFL0000", "RDFL0001",
                                    "RDFL0002", "RDFL0003", "RDFL0004", "RDFL0005", "RDFL0006",
                                    "RDFL0007"}));
        QVERIFY(m_dialogs->messages.isEmpty());
        QVERIFY(m_download->btRead->isEnabled());
        QVERIFY(m_link->CodeTimer().isActive());
    }

    void burstOfGoodAndDamagedFrames_data() {
        QTest::addColumn<bool>("damagedFirst");
        QTest::addColumn<QString>("panels");
        QTest::newRow("good frame, then damaged copy") << false << "GGGGGGGG";
        QTest::newRow("damaged copy, then good frame") << true << "RRRRRRRR";
    }
    void burstOfGoodAndDamagedFrames() {
        // Every block comes twice in one write, once with a wrong checksum. What the read keeps
        // is the frame that passed its check when the read took it, or nothing at all.
        QFETCH(bool, damagedFirst);
        QFETCH(QString, panels);
        const QByteArray module = m_sim->memory();
        const QByteArray before = m_download->ConfigImage().bytes();
        connect(m_sim, &KorvantaSim::lineReceived, this, [&](const QByteArray& line) {
            const bool block = line.startsWith("RDFL000");
            m_sim->setSilent(block);  // the sim's own answer would come after ours
            if (!block) return;
            const int b = line.right(1).toInt();
            const frame::Frame good = frame::build(module.mid(256 * b, 256), quint16(b),
                                                   frame::ChecksumOrder::ModuleLittleEndian);
            frame::Frame damaged = good;
            damaged[17] ^= 0x40;
            const QByteArray first = "RDFL" + frame::toHex(damagedFirst ? damaged : good);
            const QByteArray second = "RDFL" + frame::toHex(damagedFirst ? good : damaged);
            m_sim->sendLine(first + "\r\n" + second);
        });
        press(m_download->btRead);
        QCOMPARE(colours(), panels);
        QCOMPARE(m_outcome, damagedFirst ? Outcome::Failed : Outcome::Done);
        QCOMPARE(m_download->ConfigImage().bytes(), damagedFirst ? before : module);
    }

    void leadingZeroDataVersionIsAccepted() {
        // The value counts, not the text.
        m_sim->setDataVersionText("02");
        m_download->setConfigImage(img(m_sim->memory()));
        press(m_download->btCompare);
        QCOMPARE(colours(), QStringLiteral("GGGGGGGG"));
        QVERIFY(m_dialogs->messages.isEmpty());
        QCOMPARE(m_link->dataVer(), 2);
    }

    void writeLeavesTheImageInTheModule() {
        const QByteArray before = m_sim->memory();
        m_download->setConfigImage(img(randomImage(99)));
        // A keep-alive sent between "WRFL" and its frame would spoil the frame.
        bool keepAliveDuringBlocks = true;
        onLine("WRFL", [&] { keepAliveDuringBlocks = m_link->CodeTimer().isActive(); });
        press(m_download->btWrite);
        QVERIFY(!keepAliveDuringBlocks);
        QCOMPARE(m_outcome, Outcome::Done);
        QCOMPARE(colours(), QStringLiteral("GGGGGGGG"));
        QCOMPARE(m_sim->memory(), m_download->ConfigImage().bytes());
        QVERIFY(m_sim->memory() != before);
        QCOMPARE(m_sim->activationCount(), 1);
        QList<QByteArray> expected{"RPWDEDCB00", "RPWDEDCB00", "RDFLFFFF"};
        for (int b = 0; b < 8; ++b)
            expected << "WRFL"
                     << "<frame>";
        expected << "WRACT";
        QCOMPARE(commandsSent(), expected);
        // The frames carry upper-case digits only.
        for (const QByteArray& l : m_sim->receivedLines()) QCOMPARE(l, l.toUpper());
    }

    void compare_data() {
        QTest::addColumn<QList<int>>("changedOffsets");
        QTest::addColumn<QString>("panels");
        QTest::newRow("equal") << QList<int>{} << "GGGGGGGG";
        QTest::newRow("only codes differ") << QList<int>{10, 12, 25, 177, 180, 182} << "GGGGGGGG";
        QTest::newRow("first user's name, offset 0") << QList<int>{0} << "RYYYYYYY";
        QTest::newRow("first user's name, offset 9") << QList<int>{9, 10} << "RYYYYYYY";
        QTest::newRow("offset 183 differs") << QList<int>{183} << "RYYYYYYY";
        QTest::newRow("block 4 differs") << QList<int>{4 * 256 + 200} << "GGGGRYYY";
        QTest::newRow("last byte differs") << QList<int>{2047} << "GGGGGGGR";
    }
    void compare() {
        QFETCH(QList<int>, changedOffsets);
        QFETCH(QString, panels);
        QByteArray image = m_sim->memory();
        for (int i : changedOffsets) image[i] = char(image[i] ^ 0x5A);
        m_download->setConfigImage(img(image));
        press(m_download->btCompare);
        QCOMPARE(colours(), panels);
        QCOMPARE(m_outcome, panels.contains('R') ? Outcome::Different : Outcome::Done);
        QCOMPARE(m_download->ConfigImage().bytes(), image);
        QVERIFY(m_dialogs->messages.isEmpty());
    }

    void failures_data() {
        QTest::addColumn<QString>("op");
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QString>("panels");
        QTest::addColumn<QString>("message");
        QTest::addColumn<Outcome>("outcome");
        const QString noAnswer =
            "A modul nem válaszol! Állítsa le a riasztási eseményeket és próbálja újra!";
        const QString mismatch3 =
            "Ehhez a GSM-Korvanta programverzióhoz másik Korvanta Telvora program szükséges!   "
            "(KorvantaDataVer=3 , TelvoraDataVer=2)";
        const QString mismatchMissing =
            "Ehhez a GSM-Korvanta programverzióhoz másik Korvanta Telvora program szükséges!   "
            "(KorvantaDataVer=-1 , TelvoraDataVer=2)";
        for (const char* op : {"read", "write", "compare"}) {
            const QString start = QString(op) == "compare" ? "YYYYYYYY" : "WWWWWWWW";
            QTest::addRow("%s: not connected", op)
                << op << Setup([](KorvantaSim&, TFormDownload& d) {
                       d.setAllPanels(PanelColour::Silver);
                   })
                << "SSSSSSSS"
                << " Nincs soros kapcsolat." << Outcome::NotConnected;
            QTest::addRow("%s: login refused", op)
                << op << Setup([](KorvantaSim& s, TFormDownload&) { s.setInstallerCode("9999"); })
                << "RRRRRRRR"
                << " Hibás telepítői azonosító!" << Outcome::LoginFailed;
            QTest::addRow("%s: no answer", op)
                << op << Setup([](KorvantaSim& s, TFormDownload&) { s.setSilent(true); })
                << "RRRRRRRR" << noAnswer << Outcome::LoginFailed;
            QTest::addRow("%s: password error to everything", op)
                << op
                << Setup([](KorvantaSim& s, TFormDownload&) { s.setPasswordErrorToAll(true); })
                << "RRRRRRRR"
                << " Hibás telepítői azonosító!" << Outcome::LoginFailed;
            QTest::addRow("%s: other data version", op)
                << op << Setup([](KorvantaSim& s, TFormDownload&) { s.setDataVersionText("3"); })
                << start << mismatch3 << Outcome::WrongDataVersion;
            QTest::addRow("%s: version page missing", op)
                << op << Setup([](KorvantaSim& s, TFormDownload&) { s.setNoAnswerPage(0xFFFF); })
                << start << mismatchMissing << Outcome::WrongDataVersion;
        }
        auto page = [](void (KorvantaSim::*fault)(int), int n) {
            return Setup([fault, n](KorvantaSim& s, TFormDownload&) { (s.*fault)(n); });
        };
        const Outcome failed = Outcome::Failed;
        QTest::newRow("read: block 3 missing")
            << "read" << page(&KorvantaSim::setNoAnswerPage, 2) << "GGRRRRRR" << "" << failed;
        QTest::newRow("read: block 1 damaged")
            << "read" << page(&KorvantaSim::setDamagedPage, 0) << "RRRRRRRR" << "" << failed;
        QTest::newRow("read: wrong page number")
            << "read" << page(&KorvantaSim::setWrongPageNumberPage, 4) << "GGGGRRRR" << ""
            << failed;
        QTest::newRow("write: block 4 not acknowledged")
            << "write" << page(&KorvantaSim::setNoAnswerPage, 3) << "GGGWWWWW" << "" << failed;
        QTest::newRow("write: no CRCOK")
            << "write" << Setup([](KorvantaSim& s, TFormDownload&) { s.setNoCrcOk(true); })
            << "RRRRRRRR"
            << "" << failed;
        QTest::newRow("compare: block 6 missing")
            << "compare" << page(&KorvantaSim::setNoAnswerPage, 5) << "GGGGGRYY" << "" << failed;
        QTest::newRow("compare: block 2 damaged")
            << "compare" << page(&KorvantaSim::setDamagedPage, 1) << "GRYYYYYY" << "" << failed;
    }
    void failures() {
        QFETCH(QString, op);
        QFETCH(Setup, setup);
        QFETCH(QString, panels);
        QFETCH(QString, message);
        QFETCH(Outcome, outcome);
        QSignalSpy finished(&m_download->transfer(), &ConfigTransfer::finished);
        // A compare needs an image that agrees with the module up to the failing block.
        const QByteArray image = op == "compare" ? m_sim->memory() : randomImage(5);
        m_download->setConfigImage(img(image));
        const QByteArray moduleBefore = m_sim->memory();
        const bool offline = message == " Nincs soros kapcsolat.";
        setup(*m_sim, *m_download);
        m_download->setConfigImage(img(image));
        if (offline) press(m_form->btDisconnect);
        m_sim->clearReceived();

        QPushButton* button = op == "read"    ? m_download->btRead
                              : op == "write" ? m_download->btWrite
                                              : m_download->btCompare;
        press(button);
        QCOMPARE(colours(), panels);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.at(0).at(0).value<Outcome>(), outcome);
        QCOMPARE(m_dialogs->messages, message.isEmpty() ? QStringList() : QStringList{message});
        // Whatever failed, the PC's copy is as it was and the module activated nothing.
        QCOMPARE(m_download->ConfigImage().bytes(), image);
        QCOMPARE(m_sim->memory(), moduleBefore);
        QVERIFY(!m_sim->receivedLines().contains("WRACT") || op == "write");
        if (panels.contains('W') && op == "write")
            QVERIFY(!m_sim->receivedLines().contains("WRACT"));
        if (offline) QVERIFY(m_sim->receivedLines().isEmpty());
        QVERIFY(button->isEnabled());
        QCOMPARE(m_link->CodeTimer().isActive(), true);
    }

    void stop_data() {
        QTest::addColumn<QString>("op");
        QTest::addColumn<QByteArray>("stopAt");
        QTest::addColumn<QString>("panels");
        QTest::newRow("read") << "read" << QByteArray("RDFL0002") << "GGWWWWWW";
        QTest::newRow("compare") << "compare" << QByteArray("RDFL0005") << "GGGGGYYY";
        QTest::newRow("write") << "write" << QByteArray("WRFL") << "WWWWWWWW";
    }
    void stop() {
        QFETCH(QString, op);
        QFETCH(QByteArray, stopAt);
        QFETCH(QString, panels);
        const QByteArray image = m_sim->memory();
        QByteArray changed = image;
        changed[1600] = char(~image[1600]);  // in "Blokk 7", beyond every stop
        m_download->setConfigImage(img(changed));
        const QByteArray ours = m_download->ConfigImage().bytes();
        m_sim->setAnswerDelayMs(1);  // Stop lands while the program waits for the answer
        onLine(stopAt, [this] { press(m_download->btStop); });
        QVERIFY(m_download->btStop->isEnabled());
        press(op == "read"    ? m_download->btRead
              : op == "write" ? m_download->btWrite
                              : m_download->btCompare);
        QCOMPARE(colours(), panels);
        QCOMPARE(m_outcome, Outcome::Stopped);
        QCOMPARE(m_download->ConfigImage().bytes(), ours);
        QCOMPARE(m_sim->memory(), image);
        QVERIFY(!m_sim->receivedLines().contains("WRACT"));
        const QByteArray last = m_sim->receivedLines().last();
        QVERIFY2(last == stopAt || last.size() == 540, last.constData());
        // A later transfer runs normally.
        press(m_download->btRead);
        QCOMPARE(colours(), QStringLiteral("GGGGGGGG"));
        QCOMPARE(m_outcome, Outcome::Done);
    }

    // Stop pressed at any moment of a transfer while the module is slow to answer: the transfer
    // ends as stopped at once, sends nothing more, and says nothing else (no login verdict, no
    // data version message, no failure colours).
    void stopAtAnyMoment_data() {
        QTest::addColumn<QString>("op");
        QTest::addColumn<QByteArray>("stopAt");  // the line whose answer is late; "<frame N>"
        QTest::addColumn<int>("nth");            // ... the nth such line
        QTest::addColumn<QString>("panels");
        QTest::addColumn<bool>("activated");  // WRACT went out before Stop: the module took it
        for (const char* op : {"read", "write", "compare"}) {
            const QString start = QString(op) == "compare" ? "YYYYYYYY" : "WWWWWWWW";
            QTest::addRow("%s: login", op) << op << QByteArray("RPWD") << 1 << start << false;
            QTest::addRow("%s: the version query's login", op)
                << op << QByteArray("RPWD") << 2 << start << false;
            QTest::addRow("%s: version page", op)
                << op << QByteArray("RDFLFFFF") << 1 << start << false;
        }
        QTest::newRow("read: block 3")
            << "read" << QByteArray("RDFL0002") << 1 << "GGWWWWWW" << false;
        QTest::newRow("read: block 8")
            << "read" << QByteArray("RDFL0007") << 1 << "GGGGGGGW" << false;
        QTest::newRow("compare: block 6")
            << "compare" << QByteArray("RDFL0005") << 1 << "GGGGGYYY" << false;
        QTest::newRow("write: block 1")
            << "write" << QByteArray("<frame 0>") << 1 << "WWWWWWWW" << false;
        QTest::newRow("write: block 4")
            << "write" << QByteArray("<frame 3>") << 1 << "GGGWWWWW" << false;
        QTest::newRow("write: activation")
            << "write" << QByteArray("WRACT") << 1 << "GGGGGGGG" << true;
    }
    void stopAtAnyMoment() {
        QFETCH(QString, op);
        QFETCH(QByteArray, stopAt);
        QFETCH(int, nth);
        QFETCH(QString, panels);
        QFETCH(bool, activated);
        const QByteArray module = m_sim->memory();
        const QByteArray ours = loadImageFor(op, 61);
        const auto isStopLine = [stopAt](const QByteArray& line) {
            if (!stopAt.startsWith("<frame ")) return line.startsWith(stopAt);
            const QByteArray page = stopAt.mid(7, stopAt.size() - 8).rightJustified(4, '0');
            return line.size() == 540 && line.mid(2 * frame::kPageHighOffset, 4) == page;
        };
        bool stopped = false;
        QByteArray sentAfterStop;
        m_rig->device->wrote = [&](const QByteArray& bytes) {
            if (stopped) sentAfterStop += bytes;
        };
        int seen = 0;
        connect(m_sim, &KorvantaSim::lineReceived, this, [&](const QByteArray& line) {
            if (!isStopLine(line) || ++seen != nth) return;
            // Taken before the module handles the line: its answer is the late one, later
            // than this test runs.
            KorvantaSim::Fault late;
            late.mode = KorvantaSim::FaultMode::Late;
            late.count = 1;
            late.delayMs = 60000;
            m_sim->addFault(late);
            press(m_download->btStop);
            stopped = true;
        });
        press(op == "read"    ? m_download->btRead
              : op == "write" ? m_download->btWrite
                              : m_download->btCompare);
        QVERIFY(stopped);
        QCOMPARE(m_outcome, Outcome::Stopped);
        QCOMPARE(sentAfterStop, QByteArray());
        QVERIFY(isStopLine(m_sim->receivedLines().last()));
        QCOMPARE(colours(), panels);
        QCOMPARE(m_dialogs->messages, QStringList());
        QVERIFY(m_form->statusText() != QStringLiteral("Leolvasás sikertelen."));
        QCOMPARE(m_download->ConfigImage().bytes(), ours);
        QCOMPARE(m_sim->memory(), activated ? ours : module);
        QVERIFY(m_download->btRead->isEnabled());
        QVERIFY(m_link->CodeTimer().isActive());
    }

    // Under the panels the window says in words how each transfer ended; what the words say
    // changed or not is checked against the module and the image.
    void resultInWords_data() {
        QTest::addColumn<QString>("op");
        QTest::addColumn<bool>("imageIsModules");  // else an image of other bytes
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QByteArray>("stopAt");  // the line whose answer is late; "<frame N>"
        QTest::addColumn<QString>("text");
        const Setup none = [](KorvantaSim&, TFormDownload&) {};
        auto page = [](void (KorvantaSim::*fault)(int), int n) {
            return Setup([fault, n](KorvantaSim& s, TFormDownload&) { (s.*fault)(n); });
        };
        const Setup wrongCode = [](KorvantaSim& s, TFormDownload&) { s.setInstallerCode("9999"); };
        const QString unknown = "nem tudni, változtak-e a modul adatai.";
        QTest::newRow("read") << "read" << false << none << QByteArray() << "Leolvasás kész.";
        QTest::newRow("write") << "write" << false << none << QByteArray()
                               << "Írás kész: a modul átvette az adatokat.";
        QTest::newRow("compare equal") << "compare" << true << none << QByteArray()
                                       << "Az összehasonlítás kész: a modul és a kép egyezik.";
        QTest::newRow("compare: block 3 differs")
            << "compare" << true << Setup([](KorvantaSim& s, TFormDownload&) {
                   QByteArray m = s.memory();
                   m[2 * 256 + 100] = char(~m[2 * 256 + 100]);
                   s.setMemory(m);
               })
            << QByteArray() << "A 3. blokk eltér.";
        QTest::newRow("read: Stop at block 4") << "read" << false << none << QByteArray("RDFL0003")
                                               << "Leállítva a 4. blokknál; a kép nem változott.";
        QTest::newRow("write: Stop at block 4")
            << "write" << false << none << QByteArray("<frame 3>")
            << "Leállítva a 4. blokknál; a modul adatai nem változtak.";
        QTest::newRow("write: Stop at the activation")
            << "write" << false << none << QByteArray("WRACT")
            << "Leállítva az aktiválásnál; " + unknown;
        QTest::newRow("compare: Stop at block 1")
            << "compare" << true << none << QByteArray("RDFL0000") << "Leállítva az 1. blokknál.";
        QTest::newRow("read: login refused") << "read" << false << wrongCode << QByteArray()
                                             << "A belépés sikertelen; a kép nem változott.";
        QTest::newRow("write: login refused")
            << "write" << false << wrongCode << QByteArray()
            << "A belépés sikertelen; a modul adatai nem változtak.";
        QTest::newRow("read: block 3 missing")
            << "read" << false << page(&KorvantaSim::setNoAnswerPage, 2) << QByteArray()
            << "A leolvasás a 3. blokknál megszakadt; a kép nem változott.";
        QTest::newRow("write: block 4 not acknowledged")
            << "write" << false << page(&KorvantaSim::setNoAnswerPage, 3) << QByteArray()
            << "Az írás a 4. blokknál megszakadt; a modul adatai nem változtak.";
        QTest::newRow("write: no CRCOK")
            << "write" << false << Setup([](KorvantaSim& s, TFormDownload&) { s.setNoCrcOk(true); })
            << QByteArray() << "A modul nem igazolta az aktiválást; " + unknown;
        QTest::newRow("compare: block 6 damaged")
            << "compare" << true << page(&KorvantaSim::setDamagedPage, 5) << QByteArray()
            << "Az összehasonlítás a 6. blokknál megszakadt.";
    }
    void resultInWords() {
        QFETCH(QString, op);
        QFETCH(bool, imageIsModules);
        QFETCH(Setup, setup);
        QFETCH(QByteArray, stopAt);
        QFETCH(QString, text);
        const QByteArray ours = imageIsModules ? m_sim->memory() : randomImage(17);
        m_download->setConfigImage(img(ours));
        setup(*m_sim, *m_download);
        const QByteArray moduleBefore = m_sim->memory();
        const auto isStopLine = [stopAt](const QByteArray& line) {
            if (!stopAt.startsWith("<frame ")) return line.startsWith(stopAt);
            const QByteArray page = stopAt.mid(7, stopAt.size() - 8).rightJustified(4, '0');
            return line.size() == 540 && line.mid(2 * frame::kPageHighOffset, 4) == page;
        };
        bool stopped = false;
        if (!stopAt.isEmpty())
            connect(m_sim, &KorvantaSim::lineReceived, this, [&](const QByteArray& line) {
                if (stopped || !isStopLine(line)) return;
                // The module's answer comes later than this test runs; Stop ends the wait.
                KorvantaSim::Fault late;
                late.mode = KorvantaSim::FaultMode::Late;
                late.count = 1;
                late.delayMs = 60000;
                m_sim->addFault(late);
                press(m_download->btStop);
                stopped = true;
            });
        m_download->lbResult->setText(QStringLiteral("(előző)"));
        press(op == "read"    ? m_download->btRead
              : op == "write" ? m_download->btWrite
                              : m_download->btCompare);
        QCOMPARE(stopped, !stopAt.isEmpty());
        QCOMPARE(m_download->lbResult->text(), text);
        QCOMPARE(m_download->lbResult->textFormat(), Qt::PlainText);
        // The words say only what is so.
        if (text.endsWith("a kép nem változott.") || op == "compare")
            QCOMPARE(m_download->ConfigImage().bytes(), ours);
        if (text.endsWith("a modul adatai nem változtak.") || op != "write")
            QCOMPARE(m_sim->memory(), moduleBefore);
        if (text == "Leolvasás kész.") QCOMPARE(m_download->ConfigImage().bytes(), m_sim->memory());
        if (text.startsWith("Írás kész")) QCOMPARE(m_sim->memory(), ours);
    }

    // The transfer window's Stop is for its own transfers: pressed while the main window's
    // version query waits, it leaves that query alone.
    void stopWithoutATransferStopsNothing() {
        onLine("RDFLFFFF", [this] { press(m_download->btStop); });
        press(m_form->btAskVersion);
        QCOMPARE(m_dialogs->messages,
                 QStringList{"Programverzió: GSM-Korvanta 4.07       (DataVer=2)"});
        // Nor does it linger to stop the next transfer.
        press(m_download->btRead);
        QCOMPARE(m_outcome, Outcome::Done);
    }

    // Whatever the module sends instead of the awaited answer (nothing, an error, noise, a
    // burst of noise without a line end, an answer of another kind, or its side of the line
    // going away), every wait of a transfer ends in a clean failure with its own text:
    // never a hang, never a success, nothing lost.
    void badAnswerInEveryWait_data() {
        using Mode = KorvantaSim::FaultMode;
        using Kind = KorvantaSim::CommandKind;
        QTest::addColumn<QString>("op");
        QTest::addColumn<int>("mode");     // FaultMode
        QTest::addColumn<int>("command");  // CommandKind
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("panels");
        QTest::addColumn<QString>("message");
        QTest::addColumn<Outcome>("outcome");
        const QString noAnswer =
            "A modul nem válaszol! Állítsa le a riasztási eseményeket és próbálja újra!";
        const QString wrongCode = " Hibás telepítői azonosító!";
        const QString noVersion =
            "Ehhez a GSM-Korvanta programverzióhoz másik Korvanta Telvora program szükséges!   "
            "(KorvantaDataVer=-1 , TelvoraDataVer=2)";
        const struct {
            const char* name;
            Mode mode;
        } modes[] = {{"nothing", Mode::NoAnswer},     {"PWDERR", Mode::PasswordError},
                     {"noise", Mode::Garbage},        {"noise burst", Mode::GarbageBurst},
                     {"other answer", Mode::WrongKind}};
        const int any = KorvantaSim::kAnyPage;
        for (const auto& m : modes) {
            const bool pwd = m.mode == Mode::PasswordError;
            QTest::addRow("login: %s", m.name)
                << "read" << int(m.mode) << int(Kind::Login) << any << "RRRRRRRR"
                << (pwd ? wrongCode : noAnswer) << Outcome::LoginFailed;
            QTest::addRow("version page: %s", m.name)
                << "read" << int(m.mode) << int(Kind::PageRead) << proto::kVersionPage
                << "WWWWWWWW" << noVersion << Outcome::WrongDataVersion;
            QTest::addRow("read block 4: %s", m.name)
                << "read" << int(m.mode) << int(Kind::PageRead) << 3 << "GGGRRRRR" << ""
                << Outcome::Failed;
            QTest::addRow("compare block 4: %s", m.name)
                << "compare" << int(m.mode) << int(Kind::PageRead) << 3 << "GGGRYYYY" << ""
                << Outcome::Failed;
            QTest::addRow("write block 4: %s", m.name)
                << "write" << int(m.mode) << int(Kind::PageWrite) << 3 << "GGGWWWWW" << ""
                << Outcome::Failed;
            QTest::addRow("activation: %s", m.name)
                << "write" << int(m.mode) << int(Kind::Activate) << any << "RRRRRRRR" << ""
                << Outcome::Failed;
        }
        for (const char* op : {"read", "compare"})
            QTest::addRow("%s block 4: damaged frame", op)
                << op << int(Mode::DamagedFrame) << int(Kind::PageRead) << 3
                << (QString(op) == "read" ? "GGGRRRRR" : "GGGRYYYY") << "" << Outcome::Failed;
        QTest::newRow("version page: damaged frame")
            << "compare" << int(Mode::DamagedFrame) << int(Kind::PageRead) << proto::kVersionPage
            << "YYYYYYYY" << noVersion << Outcome::WrongDataVersion;
    }
    void badAnswerInEveryWait() {
        QFETCH(QString, op);
        QFETCH(int, mode);
        QFETCH(int, command);
        QFETCH(int, page);
        QFETCH(QString, panels);
        QFETCH(QString, message);
        QFETCH(Outcome, outcome);
        const QByteArray module = m_sim->memory();
        const QByteArray ours = loadImageFor(op, 31);
        KorvantaSim::Fault fault;
        fault.mode = KorvantaSim::FaultMode(mode);
        fault.command = KorvantaSim::CommandKind(command);
        fault.page = page;
        fault.seed = quint32(mode * 7 + command);
        const int id = m_sim->addFault(fault);
        press(op == "read"    ? m_download->btRead
              : op == "write" ? m_download->btWrite
                              : m_download->btCompare);
        QVERIFY(m_sim->faultFired(id) > 0);
        QCOMPARE(m_outcome, outcome);
        QCOMPARE(colours(), panels);
        QCOMPARE(m_dialogs->messages, message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(m_download->ConfigImage().bytes(), ours);
        QCOMPARE(m_sim->memory(), module);
        QCOMPARE(m_sim->activationCount(), 0);
        QVERIFY(m_download->btRead->isEnabled());
    }

    // The adapter pulled in the middle of a transfer: the wait ends at once, the main window
    // says there is no serial link and offers to connect again, nothing is lost.
    void portLostMidTransfer_data() {
        QTest::addColumn<QString>("op");
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("panels");
        using Kind = KorvantaSim::CommandKind;
        QTest::addColumn<QString>("text");
        QTest::newRow("read") << "read" << int(Kind::PageRead) << "GGGRRRRR"
                              << "A leolvasás a 4. blokknál megszakadt; a kép nem változott.";
        QTest::newRow("write")
            << "write" << int(Kind::PageWrite) << "GGGWWWWW"
            << "Az írás a 4. blokknál megszakadt; a modul adatai nem változtak.";
    }
    void portLostMidTransfer() {
        QFETCH(QString, op);
        QFETCH(int, command);
        QFETCH(QString, panels);
        QFETCH(QString, text);
        const QByteArray module = m_sim->memory();
        const QByteArray ours = randomImage(41);
        m_download->setConfigImage(img(ours));
        KorvantaSim::Fault fault;
        fault.mode = KorvantaSim::FaultMode::PortLost;
        fault.command = KorvantaSim::CommandKind(command);
        fault.page = 3;
        m_sim->addFault(fault);
        int ticksLeft = -1;  // when the transfer ended, before any further event
        connect(&m_download->transfer(), &ConfigTransfer::finished, this,
                [&] { ticksLeft = m_link->tickCounter().value(); });
        press(op == "read" ? m_download->btRead : m_download->btWrite);
        QCOMPARE(m_outcome, Outcome::Failed);
        QCOMPARE(colours(), panels);
        QCOMPARE(m_download->lbResult->text(), text);
        // Ended by the lost port, not by running out of ticks.
        QVERIFY(ticksLeft > 0);
        QVERIFY(m_dialogs->messages.isEmpty());
        QCOMPARE(m_form->statusText(), QStringLiteral(" Nincs soros kapcsolat."));
        QVERIFY(!m_link->connected());
        QVERIFY(m_form->btConnect->isEnabled());
        // Disconnect stays offered: it stops the wait for the adapter to come back.
        QVERIFY(m_form->btDisconnect->isEnabled());
        QVERIFY(m_download->btRead->isEnabled());
        QCOMPARE(m_download->ConfigImage().bytes(), ours);
        QCOMPARE(m_sim->memory(), module);
        QCOMPARE(m_sim->activationCount(), 0);
    }

    // The serial write fails in the middle of a transfer (the adapter stalls or is pulled):
    // the user is told with the port layer's text, the buttons come back, nothing is lost.
    void writeFailureMidTransfer_data() {
        QTest::addColumn<QString>("op");
        QTest::addColumn<QByteArray>("failingWrite");
        QTest::addColumn<QString>("panels");
        QTest::addColumn<QString>("text");
        const QString unknown = "nem tudni, változtak-e a modul adatai.";
        QTest::newRow("read, request of block 4")
            << "read" << QByteArray("RDFL0003\r") << "GGGWWWWW"
            << "Soros hiba a 4. blokknál; a kép nem változott.";
        QTest::newRow("write, frame of block 3")
            << "write" << QByteArray("<frame 2>") << "GGWWWWWW"
            << "Soros hiba a 3. blokknál; a modul adatai nem változtak.";
        QTest::newRow("write, activation") << "write" << QByteArray("WRACT\r") << "GGGGGGGG"
                                           << "Soros hiba az aktiválásnál; " + unknown;
        QTest::newRow("compare, request of block 2")
            << "compare" << QByteArray("RDFL0001\r") << "GYYYYYYY" << "Soros hiba a 2. blokknál.";
    }
    void writeFailureMidTransfer() {
        QFETCH(QString, op);
        QFETCH(QByteArray, failingWrite);
        QFETCH(QString, panels);
        QFETCH(QString, text);
        const QByteArray module = m_sim->memory();
        const QByteArray ours = loadImageFor(op, 21);
        int frames = 0;
        m_rig->device->failWrite = [&](const QByteArray& bytes) {
            if (bytes.size() == 540 && failingWrite == "<frame " + QByteArray::number(frames++) + ">")
                return true;
            return bytes == failingWrite;
        };
        press(op == "read"    ? m_download->btRead
              : op == "write" ? m_download->btWrite
                              : m_download->btCompare);
        QCOMPARE(m_dialogs->messages.size(), 1);
        QVERIFY2(m_dialogs->messages.first().startsWith("WriteFile function failed"),
                 qPrintable(m_dialogs->messages.first()));
        QCOMPARE(colours(), panels);
        QVERIFY(!m_outcome);  // no outcome: the transfer did not end by its own rules
        QCOMPARE(m_download->lbResult->text(), text);
        QVERIFY(m_download->btRead->isEnabled());
        QVERIFY(m_download->btClose->isEnabled());
        QCOMPARE(m_download->ConfigImage().bytes(), ours);
        QCOMPARE(m_sim->memory(), module);
        QCOMPARE(m_sim->activationCount(), 0);
        QVERIFY(m_link->CodeTimer().isActive());
    }

    void versionButton_data() {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("dataVer");
        QTest::newRow("ordinary") << Setup([](KorvantaSim& s, TFormDownload&) {
            s.setFirmwareText("GSM-Korvanta 4.07");
        }) << QStringList{"Programverzió: GSM-Korvanta 4.07       (DataVer=2)"}
                                  << "" << 2;
        QTest::newRow("33-character text") << Setup([](KorvantaSim& s, TFormDownload&) {
            s.setFirmwareText(QByteArray(32, 'K') + "5");
        }) << QStringList{"Programverzió: " + QString(32, 'K') + "5       (DataVer=5)"}
                                           << "" << 5;
        QTest::newRow("empty data version") << Setup([](KorvantaSim& s, TFormDownload&) {
            s.setFirmwareText("v");
            s.setDataVersionText("");
        }) << QStringList{"Programverzió: v       (DataVer=0)"}
                                            << "" << 0;
        QTest::newRow("markup in the text stays text") << Setup([](KorvantaSim& s, TFormDownload&) {
            s.setFirmwareText("<h1>v9.99 OK</h1><!--");
        }) << QStringList{"Programverzió: <h1>v9.99 OK</h1><!--       (DataVer=2)"}
                                                       << "" << 2;
        QTest::newRow("wrong code")
            << Setup([](KorvantaSim& s, TFormDownload&) { s.setInstallerCode("1111"); })
            << QStringList{" Hibás telepítői azonosító!"} << "Leolvasás sikertelen." << 77;
        QTest::newRow("page missing: no message")
            << Setup([](KorvantaSim& s, TFormDownload&) { s.setNoAnswerPage(0xFFFF); })
            << QStringList{} << "Leolvasás sikertelen." << 77;
    }
    void versionButton() {
        QFETCH(Setup, setup);
        QFETCH(QStringList, messages);
        QFETCH(QString, status);
        QFETCH(int, dataVer);
        setup(*m_sim, *m_download);
        m_link->setDataVer(77);
        press(m_form->btAskVersion);
        QCOMPARE(m_dialogs->messages, messages);
        QCOMPARE(m_form->statusText(), status);
        QCOMPARE(m_link->dataVer(), dataVer);
        QVERIFY(m_form->btAskVersion->isEnabled());
        QVERIFY(m_link->CodeTimer().isActive());
    }

    void versionPasswordErrorEndsTheWaitAtOnce() {
        onLine("RDFLFFFF", [this] { m_sim->setPasswordErrorToAll(true); });
        press(m_form->btAskVersion);
        QVERIFY(m_dialogs->messages.isEmpty());
        QCOMPARE(m_form->statusText(), QStringLiteral("Leolvasás sikertelen."));
        // The answer ended the page wait before its countdown ran out.
        QVERIFY(m_link->tickCounter().value() > 0);
    }

    void versionWhileClosedTouchesNothing() {
        press(m_form->btDisconnect);
        m_link->setKeepAliveWanted(false);
        press(m_form->btAskVersion);
        QCOMPARE(m_dialogs->messages, QStringList{" Nincs soros kapcsolat."});
        QCOMPARE(m_form->statusText(), QStringLiteral(" Nincs soros kapcsolat."));
        QVERIFY(!m_link->CodeTimer().isActive());
    }

    void secondExchangeIsRefusedWhileOneWaits() {
        // The version button pressed while a read waits for a block sends nothing.
        // It is not swallowed in silence either: the status bar says the module is busy.
        int linesWhenPressed = -1;
        QString statusAfterPress;
        onLine("RDFL0003", [&] {
            linesWhenPressed = int(m_sim->receivedLines().size());
            press(m_form->btAskVersion);
            statusAfterPress = m_form->statusText();
        });
        press(m_download->btRead);
        QCOMPARE(colours(), QStringLiteral("GGGGGGGG"));
        QCOMPARE(m_sim->receivedLines().size(), 11);
        QVERIFY(linesWhenPressed > 0);
        QVERIFY(m_dialogs->messages.isEmpty());
        QCOMPARE(statusAfterPress, QStringLiteral(" A modul foglalt: adatátvitel folyamatban."));
        QVERIFY(m_form->btAskVersion->isEnabled());

        // The same for a second transfer started from inside the first one's wait.
        ConfigTransfer::Outcome inner = ConfigTransfer::Outcome::Done;
        onLine("RDFL0005", [&] { inner = m_download->transfer().compare(); });
        QCOMPARE(m_download->transfer().read(), ConfigTransfer::Outcome::Done);
        QCOMPARE(inner, ConfigTransfer::Outcome::Busy);
    }
};

QTEST_MAIN(TestTransferE2e)
#include "test_transfer_e2e.moc"
