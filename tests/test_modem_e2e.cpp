#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <memory>

#include "app/mainform.h"
#include "link/modem.h"
#include "link/modulelink.h"
#include "link/texts.h"
#include "sim/korvantasim.h"
#include "support/simrig.h"

using Fault = KorvantaSim::Fault;
using Mode = KorvantaSim::FaultMode;
using Kind = KorvantaSim::CommandKind;
using ModemState = KorvantaSim::ModemState;
Q_DECLARE_METATYPE(Fault)

namespace {
Fault fault(Mode mode, Kind command, int count = KorvantaSim::kAlways) {
    return Fault{mode, command, KorvantaSim::kAnyPage, count};
}

QStringList withPrefix(const QList<QByteArray>& lines, const QByteArray& prefix) {
    QStringList out;
    for (const QByteArray& l : lines)
        if (l.startsWith(prefix)) out << QString::fromLatin1(l);
    return out;
}
}  // namespace

// The main window's dial and hang-up buttons against the simulated module behind its modem.
class TestModemE2e : public QObject {
    Q_OBJECT

    std::unique_ptr<SimRig> m_rig;
    QStringList m_statuses;

    KorvantaSim& sim() { return m_rig->sim; }
    TForm1& form() { return m_rig->form; }

    void dial() { QTest::mouseClick(form().btDial, Qt::LeftButton); }
    void hangUp() { QTest::mouseClick(form().btATH, Qt::LeftButton); }

private slots:
    void initTestCase() { prepareEndToEnd(); }

    void init() {
        m_rig = std::make_unique<SimRig>(QStringLiteral("COM85"));
        QVERIFY2(m_rig->started, qPrintable(m_rig->error));
        sim().setModem(true);
        // Well inside the program's waits at 5 ms a tick: 20 ticks of guard, 200 to connect.
        sim().setModemConnectMs(30);
        sim().setModemGuardMs(40);
        QVERIFY(m_rig->connectToModule());
        form().edPWD->setText(QStringLiteral("1234"));
        form().edPhoneNr->setText(QStringLiteral("06301234567"));
        m_statuses.clear();
        connect(&m_rig->link, &ModuleLink::statusText, this,
                [this](const QString& t) { m_statuses << t; });
    }

    void cleanup() { m_rig.reset(); }

    void dialOutcomes_data() {
        QTest::addColumn<QList<Fault>>("faults");
        QTest::addColumn<int>("probes");  // "AT" lines the modem heard, the confirming one too
        QTest::addColumn<bool>("dialled");
        QTest::addColumn<QString>("status");
        QTest::addColumn<ModemState>("state");
        const QString remote = QString::fromUtf8(texts::kRemoteOk);
        const QString none = QString::fromUtf8(modem::kNoConnection);
        QTest::newRow("answering modem") << QList<Fault>{} << 2 << true << remote << ModemState::Online;
        QTest::newRow("wakes at the third probe")
            << QList<Fault>{fault(Mode::NoAnswer, Kind::ModemCommand, 2)} << 4 << true << remote
            << ModemState::Online;
        QTest::newRow("answers only the confirming AT")
            << QList<Fault>{fault(Mode::NoAnswer, Kind::ModemCommand, modem::kProbes)}
            << modem::kProbes + 1 << true << remote << ModemState::Online;
        QTest::newRow("no modem") << QList<Fault>{fault(Mode::NoAnswer, Kind::Any)}
                                  << modem::kProbes + 1 << false << none << ModemState::OnHook;
        QTest::newRow("busy line") << QList<Fault>{fault(Mode::Busy, Kind::Dial)} << 2 << true
                                   << none << ModemState::OnHook;
        QTest::newRow("nobody answers") << QList<Fault>{fault(Mode::NoCarrier, Kind::Dial)} << 2
                                        << true << none << ModemState::OnHook;
        QTest::newRow("noise instead of CONNECT")
            << QList<Fault>{fault(Mode::Garbage, Kind::Dial)} << 2 << true << none
            << ModemState::OnHook;
    }
    void dialOutcomes() {
        QFETCH(QList<Fault>, faults);
        QFETCH(int, probes);
        QFETCH(bool, dialled);
        QFETCH(QString, status);
        QFETCH(ModemState, state);
        for (const Fault& f : faults) sim().addFault(f);
        dial();
        QCOMPARE(sim().commandCount(Kind::ModemCommand), probes);
        QCOMPARE(withPrefix(sim().receivedLines(), "ATD"),
                 dialled ? QStringList{"ATD06301234567"} : QStringList{});
        QCOMPARE(m_statuses.value(0), QString::fromUtf8(modem::kDialling));
        QCOMPARE(form().statusText(), status);
        QCOMPARE(sim().modemState(), state);
        QVERIFY(form().btDial->isEnabled());
        QVERIFY(m_rig->link.CodeTimer().isActive());
    }

    // Once connected the module is on the line: the version query goes through the modem, and
    // the hang-up needs the escape, since the modem passes "ATH" on to the module.
    void callThenHangUp() {
        dial();
        QCOMPARE(sim().modemState(), ModemState::Online);
        m_rig->dialogs.messages.clear();
        QTest::mouseClick(form().btAskVersion, Qt::LeftButton);
        QCOMPARE(m_rig->dialogs.messages.size(), 1);
        QVERIFY2(m_rig->dialogs.messages[0].contains(QStringLiteral("GSM-Korvanta 4.07")),
                 qPrintable(m_rig->dialogs.messages[0]));
        QVERIFY(sim().sessionOpen());

        m_statuses.clear();
        sim().clearReceived();
        hangUp();
        QCOMPARE(m_statuses, (QStringList{QString::fromUtf8(modem::kHangingUp),
                                          QString::fromUtf8(modem::kHungUp)}));
        QCOMPARE(sim().modemState(), ModemState::OnHook);
        QVERIFY(!sim().sessionOpen());
        // Three to the module, then after the escape one the modem answers and the last one.
        QCOMPARE(withPrefix(sim().receivedLines(), "ATH").size(), modem::kHangUpTries + 2);
        QCOMPARE(sim().commandCount(Kind::HangUp), 2);
        QVERIFY(form().btATH->isEnabled());
    }

    void hangUpOnHook() {
        hangUp();
        QCOMPARE(form().statusText(), QString::fromUtf8(modem::kHungUp));
        QCOMPARE(withPrefix(sim().receivedLines(), "ATH"), (QStringList{"ATH", "ATH"}));
    }

    // Pressed while the dial waits for CONNECT: the modem drops the call and the dial ends at
    // once instead of waiting out its connect time.
    void hangUpDuringTheConnectWait() {
        sim().setModemConnectMs(60000);
        int dialTicksLeft = -1;
        connect(&sim(), &KorvantaSim::lineReceived, this, [&](const QByteArray& line) {
            if (!line.startsWith("ATD")) return;
            QTimer::singleShot(0, this, [&] {
                dialTicksLeft = m_rig->link.delayCounter().value();
                hangUp();
            });
        });
        dial();
        QVERIFY(dialTicksLeft > modem::kConnectTicks / 2);
        QCOMPARE(m_statuses, (QStringList{QString::fromUtf8(modem::kDialling),
                                          QString::fromUtf8(modem::kHangingUp),
                                          QString::fromUtf8(modem::kHungUp),
                                          QString::fromUtf8(modem::kNoConnection)}));
        QCOMPARE(sim().modemState(), ModemState::OnHook);
        QVERIFY(form().btDial->isEnabled());
        QVERIFY(form().btATH->isEnabled());
    }

    void dialWithoutTheCodeOrNumber() {
        form().edPhoneNr->clear();
        dial();
        QCOMPARE(m_rig->dialogs.messages, QStringList{QString::fromUtf8(modem::kNoNumber)});
        QVERIFY(sim().receivedLines().isEmpty());
    }
};

QTEST_MAIN(TestModemE2e)
#include "test_modem_e2e.moc"
