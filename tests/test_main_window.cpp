#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <memory>

#include "app/mainform.h"
#include "app/serialform.h"
#include "app/qtdialogs.h"
#include "app/setupini.h"
#include "link/modulelink.h"
#include "link/portnames.h"
#include "link/timing.h"
#include "support/memoryserial.h"
#include "support/scripteddialogs.h"

// The main window and the traffic window, offscreen, on an in-memory port.
class TestMainWindow : public QObject {
    Q_OBJECT

    struct Fixture {
        Fixture(const QString& setupPath, UserDialogs& dialogs) {
            auto dev = std::make_unique<MemorySerialDevice>();
            device = dev.get();
            // The keep-alive is far away unless a test calls for it.
            link = std::make_unique<ModuleLink>(std::move(dev), Timings{1, 5, 1000000, 1});
            form = std::make_unique<TForm1>(*link, dialogs, setupPath);
            traffic = std::make_unique<TSerialForm>(*link, dialogs);
            form->setTrafficWindow(traffic.get());
        }
        MemorySerialDevice* device;
        std::unique_ptr<ModuleLink> link;
        std::unique_ptr<TForm1> form;
        std::unique_ptr<TSerialForm> traffic;
    };

    QTemporaryDir m_dir;
    QString setupPath() const { return m_dir.filePath(QStringLiteral("setup.ini")); }
    void writeSetup(const QByteArray& bytes) {
        QFile f(setupPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QStringList memoLines(const TSerialForm& t) { return t.RxMemo->toPlainText().split('\n'); }

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        // Three ports exist: COM5, COM6 and COM10.
        QDir(portsFolder()).removeRecursively();
        QVERIFY(QDir().mkpath(portsFolder()));
        for (const char* name : {"COM5", "COM6", "COM10"}) {
            QFile target(m_dir.filePath(QString::fromLatin1(name) + ".dev"));
            QVERIFY(target.open(QIODevice::WriteOnly));
            QVERIFY(QFile::link(target.fileName(), portsFolder() + '/' + name));
        }
    }
    void cleanupTestCase() { QDir(portsFolder()).removeRecursively(); }
    void init() { QFile::remove(setupPath()); }

    void captionsAndOrder() {
        ScriptedDialogs dialogs;
        Fixture fx(setupPath(), dialogs);
        // Controls in the window's order with their exact captions.
        const QList<QPair<const char*, const char*>> expected = {
            {"btParameterSetting", "Paraméterek beállítása"},
            {"btClose", "Kilépés"},
            {"lbSelectSerialPort", "Soros port kiválasztása"},
            {"btConnect", "Soros kapcsolat létrehozása"},
            {"btDisconnect", "Soros kapcsolat bontása"},
            {"lbGiveMasterCode", "Telepítői kód megadása"},
            {"lbPhoneNrForRemote", "Telefonszám megadása távoli eléréshez:"},
            {"btDial", "Tárcsázás"},
            {"btATH", "Vonal bontás"},
            {"btDetails", " >>"},
            {"btEventlistShort", "Rövid eseménylista lekérdezése"},
            {"btAskVersion", "Modul verziójának lekérdezése"},
            {"btFirmware", "Firmware"},
            {"btStatus", "Modul állapotának figyelése"},
            {"btClock", "Óra ellenőrzése / beállítása"},
            {"btSotpAllAlarm", "Riasztás leállítása"},
            {"btRFlearn", "Rádiós eszközök tanítása"},
        };
        for (const auto& [name, caption] : expected) {
            QObject* o = fx.form->findChild<QObject*>(QString::fromLatin1(name));
            QVERIFY2(o, name);
            QCOMPARE(o->property("text").toString(), QString::fromUtf8(caption));
        }
        QVERIFY(fx.form->btDisconnect->isEnabled() == false);
        QVERIFY(fx.form->btFirmware->isHidden());
        QCOMPARE(fx.form->edPWD->maxLength(), 6);
        QVERIFY(fx.form->edPWD->font().bold());
        QVERIFY(fx.form->statusText().isEmpty());
        // The machine's own ports may be listed too; ours come in number order.
        QComboBox* box = fx.form->cbCOM;
        const int com5 = box->findText(QStringLiteral("COM5"));
        QVERIFY(com5 >= 0);
        QVERIFY(box->findText(QStringLiteral("COM6")) > com5);
        QVERIFY(box->findText(QStringLiteral("COM10")) > box->findText(QStringLiteral("COM6")));
        QTextDocument tip;
        tip.setHtml(box->itemData(com5, Qt::ToolTipRole).toString());
        QVERIFY(tip.toPlainText().endsWith("COM5.dev"));
    }

    void connectAndDisconnect() {
        ScriptedDialogs dialogs;
        Fixture fx(setupPath(), dialogs);
        fx.link->CodeTimer().stop();
        QTest::mouseClick(fx.form->btConnect, Qt::LeftButton);
        QVERIFY(fx.link->connected());
        QVERIFY(!fx.form->btConnect->isEnabled());
        QVERIFY(fx.form->btDisconnect->isEnabled());
        QCOMPARE(fx.form->statusText(), QStringLiteral(" Soros kapcsolat rendben."));
        QVERIFY(fx.link->CodeTimer().isActive());

        QTest::mouseClick(fx.form->btDisconnect, Qt::LeftButton);
        QVERIFY(!fx.link->connected());
        QVERIFY(fx.form->btConnect->isEnabled());
        QVERIFY(!fx.form->btDisconnect->isEnabled());
        QCOMPARE(fx.form->statusText(), QStringLiteral(" Nincs soros kapcsolat."));
        QVERIFY(dialogs.messages.isEmpty());
    }

    void openFailure() {
        ScriptedDialogs dialogs;
        Fixture fx(setupPath(), dialogs);
        fx.device->failingNames = {QStringLiteral("COM1")};
        QTest::mouseClick(fx.form->btConnect, Qt::LeftButton);
        QCOMPARE(fx.form->statusText(), QStringLiteral(" Hiba: A COM port nem elérhető!"));
        QVERIFY(fx.form->btConnect->isEnabled());
        QVERIFY(!fx.form->btDisconnect->isEnabled());
        QVERIFY(dialogs.messages.isEmpty());
    }

    void portChangeWhileOpen() {
        ScriptedDialogs dialogs;
        writeSetup("2,1\r\ncw 0,20\r\ncw 1,20\r\n0,0,COM5\r\n");
        Fixture fx(setupPath(), dialogs);
        QCOMPARE(fx.form->cbCOM->currentText(), QStringLiteral("COM5"));
        QTest::mouseClick(fx.form->btConnect, Qt::LeftButton);
        QCOMPARE(fx.device->openedName, QStringLiteral("COM5"));

        // Choosing another entry reopens the port on it at once.
        QTest::keyClick(fx.form->cbCOM, Qt::Key_Down);
        QCOMPARE(fx.link->ComPort1().port(), QStringLiteral("COM6"));
        QCOMPARE(fx.device->openedName, QStringLiteral("COM6"));
        QCOMPARE(fx.device->opens, 2);
        QVERIFY(fx.link->connected());

        // A port that cannot be opened: the layer's text, the port closed, buttons unchanged.
        fx.device->failingNames = {QStringLiteral("COM10")};
        fx.form->cbCOM->setCurrentIndex(fx.form->cbCOM->findText(QStringLiteral("COM10")) - 1);
        QTest::keyClick(fx.form->cbCOM, Qt::Key_Down);
        QCOMPARE(dialogs.messages, QStringList{"Unable to open com port (win error code: 2)"});
        QVERIFY(!fx.link->connected());
        QVERIFY(!fx.form->btConnect->isEnabled());
        QVERIFY(fx.form->btDisconnect->isEnabled());
        QTest::mouseClick(fx.form->btDisconnect, Qt::LeftButton);
        QVERIFY(fx.form->btConnect->isEnabled());
    }

    void setupIniRead_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("phone");
        QTest::newRow("missing file: first entry shown, port unchanged") << QByteArray() << "COM1"
                                                                         << "first"
                                                                         << "";
        QTest::newRow("unlisted port: no selection")
            << QByteArray("2,1\r\ncw 0,20\r\ncw 1,20\r\n0,0,COM7\r\n") << "COM7"
            << ""
            << "";
        QTest::newRow("listed port and phone")
            << QByteArray("2,1\r\ncw 0,20\r\ncw 1,20\r\n0,0,COM6\r\n1,0,+3630123\r\n") << "COM6"
            << "COM6"
            << "+3630123";
        QTest::newRow("not a port name becomes COM1") << QByteArray("2,1\r\n0,0,LPT2\r\n") << "COM1"
                                                      << "COM1 if listed"
                                                      << "";
        QTest::newRow("rejected file: defaults") << QByteArray("0,1\r\n0,0,COM6\r\n") << "COM1"
                                                 << "first"
                                                 << "";
    }
    void setupIniRead() {
        QFETCH(QByteArray, file);
        QFETCH(QString, port);
        QFETCH(QString, shown);
        QFETCH(QString, phone);
        ScriptedDialogs dialogs;
        if (!file.isEmpty()) writeSetup(file);
        Fixture fx(setupPath(), dialogs);
        QCOMPARE(fx.link->ComPort1().port(), port);
        QComboBox* box = fx.form->cbCOM;
        if (shown == "first")
            QCOMPARE(box->currentIndex(), 0);
        else if (shown == "COM1 if listed")
            QCOMPARE(box->currentIndex(), box->findText(QStringLiteral("COM1")));
        else
            QCOMPARE(box->currentText(), shown);
        QCOMPARE(fx.form->edPhoneNr->text(), phone);
        QVERIFY(dialogs.messages.isEmpty());
    }

    void setupIniWrittenAtEnd() {
        ScriptedDialogs dialogs;
        {
            Fixture fx(setupPath(), dialogs);
            fx.form->cbCOM->setCurrentIndex(fx.form->cbCOM->findText(QStringLiteral("COM5")));
            QTest::keyClick(fx.form->cbCOM, Qt::Key_Down);  // the user picks COM6
            fx.form->edPWD->setText(QStringLiteral("1234"));
        }
        QFile f(setupPath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        // No line for the empty phone number, and the installer code is never stored.
        QCOMPARE(f.readAll(), QByteArray("2,1\r\ncw 0,20\r\ncw 1,20\r\n0,0,COM6\r\n"));
    }

    void statusBarClickSetsCaption() {
        ScriptedDialogs dialogs;
        Fixture fx(setupPath(), dialogs);
        fx.form->setWindowTitle(QStringLiteral("x"));
        QTest::mouseClick(fx.form->btConnect, Qt::LeftButton);
        QTest::mouseClick(fx.form->StatusBar1, Qt::LeftButton);
        QCOMPARE(fx.form->windowTitle(), QStringLiteral(" Soros kapcsolat rendben."));
    }

    void trafficMemoAlwaysEndsInEmptyLine() {
        ScriptedDialogs dialogs;
        Fixture fx(setupPath(), dialogs);
        QTest::mouseClick(fx.form->btConnect, Qt::LeftButton);
        fx.device->feed("PWDOK\r\n\r\nXYZ 1\r");
        QCOMPARE(memoLines(*fx.traffic), (QStringList{"PWDOK", "XYZ 1", ""}));

        // A page frame line (544 characters) is one log line.
        // A frame of the version page: one of the memory would show its codes hidden.
        const QByteArray longLine = "RDFL" + QByteArray(528, '0') + "FFFF" + QByteArray(8, '0');
        fx.device->feed(longLine + "\r");
        QCOMPARE(memoLines(*fx.traffic).at(2), QString::fromLatin1(longLine));

        QTest::mouseClick(fx.traffic->btClear, Qt::LeftButton);
        QVERIFY(fx.traffic->RxMemo->toPlainText().isEmpty());
        fx.device->feed("OK\r");
        QCOMPARE(memoLines(*fx.traffic), (QStringList{"OK", ""}));

        fx.device->takeWritten();
        QTest::mouseClick(fx.traffic->btAT, Qt::LeftButton);
        QCOMPARE(fx.device->takeWritten(), QByteArray("AT\r"));
        QCOMPARE(memoLines(*fx.traffic), (QStringList{"OK", "------> AT", ""}));

        // With the port closed the button sends and logs nothing.
        QTest::mouseClick(fx.form->btDisconnect, Qt::LeftButton);
        QTest::mouseClick(fx.traffic->btAT, Qt::LeftButton);
        QVERIFY(fx.device->written.isEmpty());
        QCOMPARE(memoLines(*fx.traffic).size(), 3);
    }

    void trafficLogKeepsTheNewestLines() {
        ScriptedDialogs dialogs;
        Fixture fx(setupPath(), dialogs);
        QTest::mouseClick(fx.form->btConnect, Qt::LeftButton);
        const int total = kTrafficLogMaxLines + 1500;
        QByteArray burst;
        for (int i = 1; i <= total; ++i) burst += "LINE " + QByteArray::number(i) + "\r";
        fx.device->feed(burst);
        const QStringList lines = memoLines(*fx.traffic);
        QCOMPARE(lines.size(), kTrafficLogMaxLines);
        QCOMPARE(lines.last(), QString());
        QCOMPARE(lines.at(lines.size() - 2), QStringLiteral("LINE %1").arg(total));
        QCOMPARE(lines.first(), QStringLiteral("LINE %1").arg(total - kTrafficLogMaxLines + 2));
    }

    void messageBoxesShowPlainText() {
        // A version text from the module must not be taken for markup.
        const QString text = QStringLiteral("Programverzió: <h1>v9.99 OK</h1><!--       (DataVer=2)");
        for (auto buttons : {QMessageBox::StandardButtons(QMessageBox::Ok),
                             QMessageBox::StandardButtons(QMessageBox::Yes | QMessageBox::No)}) {
            const auto box = QtDialogs::makeBox(QMessageBox::Information, text, buttons);
            QCOMPARE(box->textFormat(), Qt::PlainText);
            QCOMPARE(box->text(), text);
            auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            QVERIFY(label);
            QCOMPARE(label->textFormat(), Qt::PlainText);
        }
    }

    // The phone link from the main window's own buttons, against a scripted modem.
    void dialAndHangUpButtons() {
        ScriptedDialogs dialogs;
        Fixture fx(setupPath(), dialogs);
        QTest::mouseClick(fx.form->btDial, Qt::LeftButton);
        QCOMPARE(dialogs.messages,
                 QStringList{"Tárcsázás előtt adja meg a hívandó Korvanta modul TELEPÍTŐI AZONOSÍTÓJÁT."});
        QVERIFY(fx.form->btDial->isEnabled());

        QTest::mouseClick(fx.form->btConnect, Qt::LeftButton);
        fx.form->edPWD->setText(QStringLiteral("1234"));
        fx.form->edPhoneNr->setText(QStringLiteral("06301234567"));
        bool dialEnabledDuringWait = true;
        QByteArray pending;
        fx.device->onWrite = [&](const QByteArray& bytes) {
            pending += bytes;
            while (pending.contains('\r')) {
                const QByteArray line = pending.left(pending.indexOf('\r'));
                pending.remove(0, line.size() + 1);
                dialEnabledDuringWait = dialEnabledDuringWait && fx.form->btDial->isEnabled();
                if (line == "AT" || line == "ATH") fx.device->feedLater("OK\r\n");
                if (line.startsWith("ATD")) fx.device->feedLater("CONNECT 9600\r\n");
            }
        };
        QTest::mouseClick(fx.form->btDial, Qt::LeftButton);
        QVERIFY(!dialEnabledDuringWait);
        QVERIFY(fx.form->btDial->isEnabled());
        QCOMPARE(fx.form->statusText(), QStringLiteral(" Távoli kapcsolat rendben."));
        QCOMPARE(fx.device->written, QByteArray("AT\rAT\rATD06301234567\r"));

        fx.device->takeWritten();
        QTest::mouseClick(fx.form->btATH, Qt::LeftButton);
        QCOMPARE(fx.form->statusText(), QStringLiteral(" Vonal bontva."));
        QCOMPARE(fx.device->written, QByteArray("ATH\rATH\r"));
        QVERIFY(fx.form->btATH->isEnabled());
    }

    // Every button but the details button is bold. The alarm stop's maroon comes from its
    // palette: a style sheet lets the style pick the caption's font, and on some desktops it
    // then draws it in regular weight (what is drawn is checked under X in test_real_display).
    void buttonsAreBold() {
        ScriptedDialogs dialogs;
        Fixture fx(setupPath(), dialogs);
        const QList<QPushButton*> buttons = fx.form->findChildren<QPushButton*>();
        QCOMPARE(buttons.size(), 14);
        for (QPushButton* b : buttons) {
            QVERIFY2(b->font().bold() == (b != fx.form->btDetails), qPrintable(b->objectName()));
            QVERIFY2(b->styleSheet().isEmpty(), qPrintable(b->objectName()));
        }
        QCOMPARE(fx.form->btSotpAllAlarm->palette().color(QPalette::ButtonText),
                 QColor(0x80, 0, 0));
    }

    // Every button a user sees says in a line what it does; the hidden firmware window is
    // reached from the keyboard.
    void toolTipsAndFirmwareKey() {
        ScriptedDialogs dialogs;
        Fixture fx(setupPath(), dialogs);
        for (QPushButton* b : fx.form->findChildren<QPushButton*>())
            if (b != fx.form->btFirmware)
                QVERIFY2(!b->toolTip().isEmpty(), qPrintable(b->objectName()));
        int opened = 0;
        fx.form->onFirmware = [&] { ++opened; };
        fx.form->show();
        QVERIFY(QTest::qWaitForWindowActive(fx.form.get()));
        QTest::keyClick(fx.form.get(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(opened, 1);
        QTest::keyClick(fx.form.get(), Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(opened, 1);
        QVERIFY(fx.form->btFirmware->isHidden());
    }

    void detailsButtonCaptions() {
        ScriptedDialogs dialogs;
        Fixture fx(setupPath(), dialogs);
        QPushButton* details = fx.form->btDetails;
        QCOMPARE(details->text(), QStringLiteral(" >>"));
        QTest::mouseClick(details, Qt::LeftButton);
        QCOMPARE(details->text(), QStringLiteral("<<"));
        QVERIFY(fx.traffic->isVisible());
        QTest::mouseClick(details, Qt::LeftButton);
        QCOMPARE(details->text(), QStringLiteral(">>"));
        QVERIFY(fx.traffic->isHidden());

        QTest::mouseClick(details, Qt::LeftButton);
        QTest::mouseClick(fx.traffic->btClose, Qt::LeftButton);
        QCOMPARE(details->text(), QStringLiteral(">>"));
        QVERIFY(fx.traffic->isHidden());

        // The title-bar close hides the window but leaves the caption; the button still
        // follows the window's visibility.
        QTest::mouseClick(details, Qt::LeftButton);
        fx.traffic->close();
        QVERIFY(fx.traffic->isHidden());
        QCOMPARE(details->text(), QStringLiteral("<<"));
        QTest::mouseClick(details, Qt::LeftButton);
        QVERIFY(fx.traffic->isVisible());
        QCOMPARE(details->text(), QStringLiteral("<<"));
    }

    void keepAliveErrorIsShown() {
        ScriptedDialogs dialogs;
        Fixture fx(setupPath(), dialogs);
        QTest::mouseClick(fx.form->btConnect, Qt::LeftButton);
        fx.device->failWrites = true;
        fx.link->CodeTimer().setInterval(1);
        fx.link->wait(fx.link->tickCounter(), 20, {});
        QVERIFY(!dialogs.messages.isEmpty());
        QCOMPARE(dialogs.messages.first(), QStringLiteral("WriteFile function failed"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
