#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/mainform.h"
#include "app/serialform.h"
#include "link/ecomport.h"
#include "link/modulelink.h"
#include "link/portnames.h"
#include "link/protocol.h"
#include "link/timing.h"
#include "sim/korvantasim.h"
#include "support/scripteddialogs.h"
#include "support/simrig.h"

// The real port layer against the simulated module on a pseudo-terminal.
class TestLinkE2e : public QObject {
    Q_OBJECT

    std::unique_ptr<SimRig> m_rig;
    KorvantaSim* m_sim = nullptr;
    ModuleLink* m_link = nullptr;
    TForm1* m_form = nullptr;
    std::unique_ptr<TSerialForm> m_traffic;

    // Lets the event loop run for n ticks (the simulator answers inside it).
    void runTicks(int n) { m_link->wait(m_link->tickCounter(), n, {}); }

    void connectToSim() {
        m_form->cbCOM->setCurrentIndex(m_form->cbCOM->findText(m_sim->comName()));
        QVERIFY(m_form->cbCOM->currentIndex() >= 0);
        emit m_form->cbCOM->textActivated(m_sim->comName());
        QTest::mouseClick(m_form->btConnect, Qt::LeftButton);
        QCOMPARE(m_form->statusText(), QStringLiteral(" Soros kapcsolat rendben."));
        // Connecting starts the keep-alive; transactions stop it themselves.
        m_link->CodeTimer().stop();
    }

private slots:
    void initTestCase() { prepareEndToEnd(); }

    void init() {
        m_rig = std::make_unique<SimRig>(QStringLiteral("COM90"));
        QVERIFY2(m_rig->started, qPrintable(m_rig->error));
        m_sim = &m_rig->sim;
        m_link = &m_rig->link;
        m_form = &m_rig->form;
        m_traffic = std::make_unique<TSerialForm>(*m_link, m_rig->dialogs);
        m_form->setTrafficWindow(m_traffic.get());
        m_link->CodeTimer().stop();
    }

    void cleanup() {
        m_traffic.reset();
        m_rig.reset();
    }

    void simIsListedUnderItsComName() {
        QCOMPARE(m_sim->comName(), QStringLiteral("COM90"));
        QVERIFY(m_form->cbCOM->findText(QStringLiteral("COM90")) >= 0);
        connectToSim();
    }

    void keepAliveWithRightAndWrongCode() {
        connectToSim();
        m_form->edPWD->setText(QStringLiteral("1234"));
        m_link->CodeTimer().start();
        m_link->clearFlags({Flag::PasswordOk, Flag::PasswordError});
        QCOMPARE(m_link->wait(m_link->tickCounter(), 100, {Flag::PasswordOk, Flag::PasswordError}),
                 Flag::PasswordOk);
        QCOMPARE(m_sim->receivedLines().first(), QByteArray("RPWDEDCB00"));
        QCOMPARE(m_form->statusText(), QString());

        m_form->edPWD->setText(QStringLiteral("9999"));
        m_link->clearFlags({Flag::PasswordOk, Flag::PasswordError});
        QCOMPARE(m_link->wait(m_link->tickCounter(), 100, {Flag::PasswordOk, Flag::PasswordError}),
                 Flag::PasswordError);
        QCOMPARE(m_form->statusText(), QStringLiteral(" Hibás telepítői azonosító!"));
        QCOMPARE(m_sim->receivedLines().last(), QByteArray("RPWD666600"));
        // The answers are in the traffic log.
        QVERIFY(m_traffic->RxMemo->toPlainText().contains(QStringLiteral("PWDERR")));
    }

    void login_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QString>("verdict");
        QTest::newRow("right code") << "1234" << false << true << "OK.";
        QTest::newRow("wrong code") << "4321" << false << false << " Hibás telepítői azonosító!";
        QTest::newRow("no answer")
            << "1234" << true << false
            << "A modul nem válaszol! Állítsa le a riasztási eseményeket és próbálja újra!";
    }
    void login() {
        QFETCH(QString, typed);
        QFETCH(bool, silent);
        QFETCH(bool, result);
        QFETCH(QString, verdict);
        connectToSim();
        m_sim->setSilent(silent);
        m_form->edPWD->setText(typed);
        QCOMPARE(m_link->ModuleLogin(), result);
        QCOMPARE(m_link->loginVerdict(), verdict);
        QCOMPARE(m_sim->receivedLines().size(), 1);
    }

    void sixDigitCode() {
        connectToSim();
        m_sim->setInstallerCode(QStringLiteral("908172"));
        m_form->edPWD->setText(QStringLiteral("908172"));
        QVERIFY(m_link->ModuleLogin());
        QCOMPARE(m_sim->receivedLines().first(), QByteArray("RPWD6F7E8D"));
    }

    void nothingIsSentWhileClosed() {
        connectToSim();
        QTest::mouseClick(m_form->btDisconnect, Qt::LeftButton);
        m_form->edPWD->setText(QStringLiteral("1234"));
        m_link->CodeTimer().start();
        QVERIFY(!m_link->ModuleLogin());
        QCOMPARE(
            m_link->loginVerdict(),
            QStringLiteral("A modul nem válaszol! Állítsa le a riasztási eseményeket és próbálja "
                           "újra!"));
        QTest::mouseClick(m_traffic->btAT, Qt::LeftButton);
        runTicks(20);
        QVERIFY(m_sim->receivedLines().isEmpty());
        QVERIFY(m_traffic->RxMemo->toPlainText().isEmpty());
    }

    void reconnectAfterDisconnect() {
        connectToSim();
        QTest::mouseClick(m_form->btDisconnect, Qt::LeftButton);
        QTest::mouseClick(m_form->btConnect, Qt::LeftButton);
        m_form->edPWD->setText(QStringLiteral("1234"));
        QVERIFY(m_link->ModuleLogin());
    }

    void portHeldElsewhereCannotBeOpened() {
        connectToSim();
        TComPort other(makeQtSerialDevice());
        other.setPort(m_sim->comName());
        try {
            other.open();
            QFAIL("a port held by another opener was opened again");
        } catch (const EComPort& e) {
            QCOMPARE(e.code(), 1);
            QVERIFY(e.message().startsWith(
                QStringLiteral("Unable to open com port (win error code: ")));
        }
    }

    void portChangeWhileOpenMovesToOtherModule() {
        KorvantaSim second;
        second.setInstallerCode(QStringLiteral("5555"));
        QVERIFY(second.start(QStringLiteral("COM91")));
        connectToSim();
        m_link->ComPort1().setPort(QStringLiteral("COM91"));
        QVERIFY(m_link->connected());
        m_form->edPWD->setText(QStringLiteral("5555"));
        QVERIFY(m_link->ModuleLogin());
        QCOMPARE(second.receivedLines().size(), 1);
        QVERIFY(m_sim->receivedLines().isEmpty());
    }

    void unknownCommandIsIgnored() {
        connectToSim();
        m_form->edPWD->setText(QStringLiteral("1234"));
        m_link->SendCommand("HELLO");
        QVERIFY(m_link->ModuleLogin());
        QCOMPARE(m_sim->receivedLines(), (QList<QByteArray>{"HELLO", "RPWDEDCB00"}));
        QCOMPARE(m_traffic->RxMemo->toPlainText(), QStringLiteral("PWDOK\n"));
    }
};

QTEST_MAIN(TestLinkE2e)
#include "test_link_e2e.moc"
