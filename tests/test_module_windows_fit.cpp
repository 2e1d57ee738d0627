#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include "clock/clockform.h"
#include "config/datafile.h"
#include "config/downloadform.h"
#include "config/history.h"
#include "config/historyform.h"
#include "firmware/firmwareform.h"
#include "firmware/gkffile.h"
#include "radio/radioframe.h"
#include "radio/rfform.h"
#include "support/images.h"
#include "support/linkrig.h"

// The clock, radio and firmware windows on an installer's small screen: each fits, and no
// caption, slot text or button text is cut. With TELVORA_SHOTS set it saves a picture of each,
// the radio window with its slots in every state and the firmware window during an upload.
class TestModuleWindowsFit : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    static void shot(QWidget* w, const QString& name) {
        const QString dir = qEnvironmentVariable("TELVORA_SHOTS");
        if (!dir.isEmpty()) w->grab().save(QStringLiteral("%1/%2.png").arg(dir, name));
    }
    // What does not fit or is cut; empty when all is well.
    static QStringList problems(QWidget* w) {
        QStringList out;
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        if (w->frameGeometry().width() > available.width() ||
            w->frameGeometry().height() > available.height())
            out << QStringLiteral("window larger than the screen");
        for (QLabel* l : w->findChildren<QLabel*>())
            if (l->isVisibleTo(w) && !l->text().isEmpty() && l->width() < l->sizeHint().width())
                out << l->text();
        // A button's caption has room, whatever the style's minimum width for buttons.
        for (QPushButton* b : w->findChildren<QPushButton*>())
            if (b->isVisibleTo(w) && b->width() < b->fontMetrics().horizontalAdvance(b->text()) + 8)
                out << b->text();
        return out;
    }
    static void fitsAndNothingIsCut(QWidget* w) {
        const QStringList p = problems(w);
        QVERIFY2(p.isEmpty(), qPrintable(p.join(QStringLiteral(", "))));
    }

private slots:
    void clockWindow() {
        LinkRig rig;
        TFormClock form(*rig.link, rig.dialogs);
        form.show();
        // The longest status text it shows.
        form.StatusBar1->showMessage(QString::fromUtf8("Hiba történt órabeállítás közben!"));
        QCoreApplication::processEvents();  // lays the window out
        fitsAndNothingIsCut(&form);
        QVERIFY(form.StatusBar1->fontMetrics().horizontalAdvance(form.statusText()) <
                form.StatusBar1->width());
        shot(&form, QStringLiteral("clock"));
    }

    // The transfer window with the differences a compare found, and the history window with
    // a long list and a long difference.
    void transferAndHistoryWindows() {
        LinkRig rig;
        TFormDownload download(*rig.link, rig.dialogs);
        const QString folder = m_dir.filePath(QStringLiteral("history"));
        download.transfer().setHistoryFolder(folder);
        const QDateTime t0(QDate(2026, 12, 9), QTime(8, 0));
        for (int i = 0; i < 30; ++i)
            QVERIFY(history::record(folder, img(QByteArray(2048, char(i))),
                                    history::Event(i % 4), t0.addSecs(3600 * i)));
        download.show();
        download.memoDiff->setPlainText(
            QStringLiteral("Eltérő paraméterek a(z) 8. blokkban\n(paraméter: modul -> kép):\n") +
            QStringLiteral("edUserName12: \"Felhasználó 12\" -> \"Kovács Jánosné\"\n").repeated(6));
        download.memoDiff->show();
        QCoreApplication::processEvents();
        fitsAndNothingIsCut(&download);
        shot(&download, QStringLiteral("transfer-differences"));

        download.btHistory->click();
        TFormHistory& h = download.historyForm();
        QCoreApplication::processEvents();
        QCOMPARE(h.gridEntries->rowCount(), 30);
        fitsAndNothingIsCut(&h);
        shot(&h, QStringLiteral("history"));
    }

    void radioWindowWithEveryState() {
        LinkRig rig;
        TFormRF form(*rig.link, rig.dialogs);
        form.show();
        QCoreApplication::processEvents();  // lays the window out
        // Every kind of slot, teaching on A6, and the strength at 40.
        const int states[] = {0, 1, 129, 25, 5, 0x80, 0xF8, 0x0C, 0x41, 1, 0, 1};
        QByteArray line = "AT_<";
        for (int s = 0; s < radio::kSlots; ++s)
            line += QByteArray::number(states[s % 12] | (s >= 24 ? 1 : 0), 16)
                        .rightJustified(2, '0')
                        .toUpper();
        line +=
            "85"
            "28"
            "0000>";
        rig.d->feed(line + "\r\n");
        QCOMPARE(form.lb[5]->text(), QString::fromUtf8("Tanulás"));
        QCOMPARE(form.lbRFval->text(), QStringLiteral("40"));
        fitsAndNothingIsCut(&form);
        for (QLabel* l : form.lb)
            QVERIFY(l->width() >= l->fontMetrics().horizontalAdvance(l->text()));
        shot(&form, QStringLiteral("radio"));
    }

    void firmwareWindowDuringAnUpload() {
        LinkRig rig;
        TFormFirmware form(*rig.link, rig.dialogs);
        form.show();
        QCoreApplication::processEvents();  // lays the window out
        const QString path = m_dir.filePath(QStringLiteral("fw.GKF"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(*gkf::fromBinary(QByteArray(40 * gkf::kRecordSize, '\x5A')));
        f.close();
        rig.dialogs.paths = {path};
        form.btLoad->click();
        QStringList during;
        QString statusDuring;
        int progressDuring = -1;
        rig.answer = [&](const QByteArray& line) -> QByteArray {
            if (line.startsWith("RPWD")) return "PWDOK\r\n";
            if (line.size() != frame::kHexDigits) return {};
            if (line.mid(2 * frame::kPageHighOffset, 4) == "0026") {  // page 6 of 10
                during = problems(&form);
                statusDuring = form.statusText();
                progressDuring = form.ProgressBar1->value();
                shot(&form, QStringLiteral("firmware-upload"));
            }
            return "WROK\r\n";
        };
        form.btStart->click();
        QCOMPARE(statusDuring, QString::fromUtf8("Firmware áttöltés..."));
        QCOMPARE(progressDuring, 5);
        QVERIFY2(during.isEmpty(), qPrintable(during.join(QStringLiteral(", "))));
        form.StatusBar1->showMessage(
            QString::fromUtf8("Nincs áttölthető firmware: olvasson be egy firmware fájlt!"));
        fitsAndNothingIsCut(&form);
        QVERIFY(form.StatusBar1->fontMetrics().horizontalAdvance(form.statusText()) <
                form.StatusBar1->width());
    }
};

int main(int argc, char** argv) {
    // The offscreen platform takes its screen from a file: the smallest screen installers have.
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screen.json"));
    QFile f(config);
    if (!f.open(QIODevice::WriteOnly)) return 2;
    f.write(
        "{\"screens\":[{\"name\":\"small\",\"x\":0,\"y\":0,\"width\":1024,\"height\":768,"
        "\"logicalDpi\":96,\"logicalBaseDpi\":96,\"dpr\":1}]}");
    f.close();
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
    QApplication app(argc, argv);
    TestModuleWindowsFit test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_module_windows_fit.moc"
