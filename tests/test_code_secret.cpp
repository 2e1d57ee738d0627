#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/serialform.h"
#include "link/codestring.h"
#include "sim/korvantasim.h"
#include "support/windowsrig.h"

// The installer code opens every module of a site. A whole session leaves it nowhere: not
// in any file the program wrote, nor in the traffic window, as typed or as sent.
class TestCodeSecret : public QObject {
    Q_OBJECT

    const QDir m_home{testHome()};  // this program's own

private slots:
    void initTestCase() { prepareEndToEnd(); }

    void wholeSessionLeavesNoTrace() {
        const QString code = QStringLiteral("908172");
        const QByteArray needles[] = {code.toUtf8(), codeString(code),
                                      codeString(code).toLower()};
        QString traffic;
        {
            WindowsRig rig(QStringLiteral("COM83"), m_home.filePath(QStringLiteral("setup.ini")),
                           code);
            QVERIFY2(rig.started, qPrintable(rig.error));
            rig.sim.setMemory(KorvantaSim::factoryMemory(code));
            TelvoraWindows& w = rig.windows;
            auto press = [](QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); };
            w.mainForm.setTrafficWindow(&w.serialForm);
            QVERIFY(rig.connectToModule());

            press(w.mainForm.btAskVersion);
            press(w.downloadForm.btRead);
            press(w.downloadForm.btWrite);
            press(w.downloadForm.btCompare);
            rig.dialogs.paths = {m_home.filePath(QStringLiteral("site.KD2"))};
            press(w.downloadForm.btSave);
            QVERIFY(QFile::exists(m_home.filePath(QStringLiteral("site.KD2"))));
            press(w.eventListForm.btLoadNames);
            press(w.eventListForm.btLoadEvents);
            rig.inStatusWindow([&] { rig.pollFor(6); });
            press(w.clockForm.btReadClock);
            press(w.clockForm.btSetTime);
            // The keep-alive logs in too.
            w.link.CodeTimer().start();
            const int logins = rig.sim.commandCount(KorvantaSim::CommandKind::Login);
            rig.pump([&] {
                return rig.sim.commandCount(KorvantaSim::CommandKind::Login) > logins;
            }, 400);
            QVERIFY(rig.sim.commandCount(KorvantaSim::CommandKind::Login) > logins);
            QVERIFY2(rig.sim.commandCount(KorvantaSim::CommandKind::PageRead) > 8,
                     "the session read the memory");
            QVERIFY(rig.dialogs.messages.size() >= 2);
            traffic = w.serialForm.RxMemo->toPlainText();
            QVERIFY(!traffic.isEmpty());
        }  // closing writes setup.ini

        for (const QByteArray& needle : needles)
            QVERIFY2(!traffic.toUtf8().contains(needle), needle.constData());
        int files = 0;
        QDirIterator it(m_home.path(), QDir::Files | QDir::Hidden | QDir::NoSymLinks,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QFile f(path);
            QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(path));
            const QByteArray bytes = f.readAll();
            for (const QByteArray& needle : needles)
                QVERIFY2(!bytes.contains(needle), qPrintable(path + ": " + needle));
            ++files;
        }
        QVERIFY(QFile::exists(m_home.filePath(QStringLiteral("setup.ini"))));
        QVERIFY(files >= 2);  // setup.ini and the data file at least
    }
};

QTEST_MAIN(TestCodeSecret)
#include "test_code_secret.moc"
