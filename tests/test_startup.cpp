#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/startup.h"
#include "firmware/gkffile.h"
#include "support/linkrig.h"
#include "support/memoryserial.h"
#include "support/scripteddialogs.h"

// How the program starts: splash, windows a tick later, main window a tick after that; and how
// it ends when the main window closes.
class TestStartUp : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    ScriptedDialogs m_dialogs;

    std::unique_ptr<TelvoraStartUp> started() {
        auto s = std::make_unique<TelvoraStartUp>(m_dialogs, Timings{1, 5, 1000000, 5},
                                                  std::make_unique<MemorySerialDevice>(),
                                                  m_dir.filePath(QStringLiteral("setup.ini")));
        QSignalSpy shown(s.get(), &TelvoraStartUp::mainShown);
        s->start();
        if (!shown.wait(10000)) return nullptr;
        return s;
    }

private slots:
    void sequence() {
        TelvoraStartUp s(m_dialogs, Timings{1, 5, 1000000, 5},
                         std::make_unique<MemorySerialDevice>(),
                         m_dir.filePath(QStringLiteral("setup.ini")));
        QSignalSpy created(&s, &TelvoraStartUp::windowsCreated);
        QSignalSpy shown(&s, &TelvoraStartUp::mainShown);
        QSignalSpy ended(&s, &TelvoraStartUp::ended);
        s.start();
        QVERIFY(s.welcome.isVisible());
        QVERIFY(!s.windows);
        QVERIFY(created.wait(10000));
        // The main window exists after the first tick but is shown only at the second.
        QVERIFY(s.windows);
        QVERIFY(!s.windows->mainForm.isVisible());
        QVERIFY(s.welcome.isVisible());
        QVERIFY(shown.wait(10000));
        QVERIFY(s.windows->mainForm.isVisible());
        QVERIFY(!s.welcome.isVisible());
        QCOMPARE(created.size(), 1);

        // Closing the main window ends the run, and the settings are written at the end.
        s.windows->mainForm.close();
        QCOMPARE(ended.size(), 1);
        s.windows.reset();
        QVERIFY(QFile::exists(m_dir.filePath(QStringLiteral("setup.ini"))));
    }

    // Closing the program while it talks to the module ends the talk at once, as Stop would:
    // nothing more goes to the module, nobody is asked or told anything, and the run ends.
    void closingEndsWhatTalksToTheModule_data() {
        QTest::addColumn<QString>("operation");
        QTest::newRow("firmware upload") << QStringLiteral("firmware upload");
        QTest::newRow("configuration read") << QStringLiteral("configuration read");
        QTest::newRow("configuration write") << QStringLiteral("configuration write");
        QTest::newRow("configuration compare") << QStringLiteral("configuration compare");
    }
    void closingEndsWhatTalksToTheModule() {
        QFETCH(QString, operation);
        auto device = std::make_unique<MemorySerialDevice>();
        MemorySerialDevice* d = device.get();
        TelvoraStartUp s(m_dialogs, Timings{1, 5, 1000000, 5}, std::move(device),
                         m_dir.filePath(QStringLiteral("setup.ini")));
        QSignalSpy shown(&s, &TelvoraStartUp::mainShown);
        QSignalSpy ended(&s, &TelvoraStartUp::ended);
        s.start();
        QVERIFY(shown.wait(10000));
        TelvoraWindows& w = *s.windows;
        w.mainForm.edPWD->setText(QStringLiteral("1234"));
        QTest::mouseClick(w.mainForm.btConnect, Qt::LeftButton);
        QVERIFY(w.link.connected());
        m_dialogs.messages.clear();

        // The module answers everything; the program is closed while the third page (read or
        // written) is under way, before the module has answered it.
        QByteArray versionData(256, '\0');
        versionData.replace(0, 4, "4.07");
        versionData[32] = '2';
        QList<QByteArray> lines;
        QByteArray pending;
        int pages = 0;
        qsizetype sentAtClose = -1;
        d->onWrite = [&](const QByteArray& bytes) {
            pending += bytes;
            while (pending.contains('\r')) {
                const QByteArray line = pending.left(pending.indexOf('\r'));
                pending.remove(0, line.size() + 1);
                lines.append(line);
                if (sentAtClose >= 0) continue;
                QByteArray reply;
                if (line.startsWith("RPWD")) {
                    reply = "PWDOK\r\n";
                } else if (line.startsWith("RDFL") && line.size() == 8) {
                    const quint16 page = quint16(line.mid(4).toUInt(nullptr, 16));
                    if (page == 0xFFFF) {
                        reply = moduleFrameLine(versionData, page);
                    } else {
                        reply = moduleFrameLine(QByteArray(256, '\0'), page);
                        ++pages;
                    }
                } else if (line.size() == frame::kHexDigits) {
                    reply = "WROK\r\n";
                    ++pages;
                }
                if (pages == 3) {
                    sentAtClose = lines.size();
                    w.mainForm.close();
                    continue;
                }
                if (!reply.isEmpty()) d->feedLater(reply);
            }
        };

        if (operation == QLatin1String("firmware upload")) {
            const QString path = m_dir.filePath(QStringLiteral("fw.GKF"));
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(*gkf::fromBinary(QByteArray(40 * gkf::kRecordSize, '\x5A')));
            f.close();
            m_dialogs.paths = {path};
            w.mainForm.onFirmware();
            QTest::mouseClick(w.firmwareForm.btLoad, Qt::LeftButton);
            QVERIFY(w.firmwareForm.btStart->isEnabled());
            QTest::mouseClick(w.firmwareForm.btStart, Qt::LeftButton);
        } else {
            QTest::mouseClick(w.mainForm.btParameterSetting, Qt::LeftButton);
            QPushButton* b = operation.endsWith(QLatin1String("read"))    ? w.downloadForm.btRead
                             : operation.endsWith(QLatin1String("write")) ? w.downloadForm.btWrite
                                                                          : w.downloadForm.btCompare;
            QTest::mouseClick(b, Qt::LeftButton);
        }
        // The click returns only when the operation has ended: it ended with the close.
        QVERIFY2(sentAtClose >= 0, "the program was never closed");
        QCOMPARE(ended.size(), 1);
        QCOMPARE(lines.size(), sentAtClose);
        QCOMPARE(m_dialogs.messages, QStringList());
        QVERIFY(!lines.contains("WRACT"));
        // Nor does anything go out afterwards, whoever asks.
        QVERIFY(!w.link.CodeTimer().isActive());
        w.link.SendCommand("AT");
        QCOMPARE(lines.size(), sentAtClose);
        d->onWrite = nullptr;
    }

    void splash() {
        TFormWelcome w(1000);
        QCOMPARE(w.lbVer->text(), QStringLiteral("v1.22 (dv.2)"));
        // The picture of our own, decoded through the JPEG plugin.
        QVERIFY(!w.Image1->pixmap().isNull());
        QCOMPARE(w.Image1->pixmap().size(), QSize(558, 320));
        QVERIFY(w.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(TFormWelcome::mainCaption(), QStringLiteral("GSM-Korvanta  v1.22 (dv.2)"));
    }

    void captions_data() {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("caption");
        QTest::newRow("event 10") << "EventLabel10" << "10. IN5 Visszaállás  ";
        QTest::newRow("event 47") << "EventLabel47" << "47. RF zaj           ";
        QTest::newRow("relay row 47") << "lbREventLabel47" << "47. RF zaj           ";
        QTest::newRow("relay row 48") << "lbREventLabel48" << "48. IN1 jelez        ";
        QTest::newRow("relay row 59") << "lbREventLabel59" << "59. IN12 jelez       ";
    }
    void captions() {
        QFETCH(QString, label);
        QFETCH(QString, caption);
        const std::unique_ptr<TelvoraStartUp> s = started();
        QVERIFY(s);
        auto* l = s->windows->parSettingForm.findChild<QLabel*>(label);
        QVERIFY(l);
        QCOMPARE(l->text(), caption);
        QCOMPARE(s->windows->mainForm.windowTitle(), QStringLiteral("GSM-Korvanta  v1.22 (dv.2)"));
        QCOMPARE(s->windows->mainForm.lbSelectSerialPort->text(),
                 QStringLiteral("Soros port kiválasztása"));
    }
};

QTEST_MAIN(TestStartUp)
#include "test_startup.moc"
