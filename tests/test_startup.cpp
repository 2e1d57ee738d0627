#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/startup.h"
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
