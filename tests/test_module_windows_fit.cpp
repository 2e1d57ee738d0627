#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QTest>

#include "app/startup.h"
#include "config/historyform.h"
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
#include "support/memoryserial.h"
#include "support/scripteddialogs.h"

// Every window opens inside the screen, opened as the user opens it; and the clock, radio and
// firmware windows on an installer's small screen: each fits, and no caption, slot text or
// button text is cut. Runs once per screen size (TELVORA_TEST_SCREEN=WxH, 1024x768 when unset).
// With TELVORA_SHOTS set it saves a picture of each, the radio window with its slots in every
// state and the firmware window during an upload.
class TestModuleWindowsFit : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    static void shot(QWidget* w, QString name) {
        const QString dir = qEnvironmentVariable("TELVORA_SHOTS");
        name.replace(QLatin1Char('/'), QLatin1Char('-')).replace(QLatin1Char(' '), QLatin1Char('-'));
        if (!dir.isEmpty())
            w->grab().save(QStringLiteral("%1/%2-%3.png").arg(dir, screenName(), name));
    }
    static QString screenName() {
        return qEnvironmentVariable("TELVORA_TEST_SCREEN", QStringLiteral("1024x768"));
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

    // Opens `window` the way the user does on a freshly started program and reports where
    // each window that was then shown stood, as "name: x,y wxh" for those outside the screen.
    static QStringList openedOutside(const QString& window, const QString& setupPath) {
        ScriptedDialogs dialogs;
        TelvoraStartUp s(dialogs, Timings{1, 5, 1000000, 5},
                         std::make_unique<MemorySerialDevice>(), setupPath);
        QStringList outside;
        int looked = 0;
        auto look = [&](QWidget* w) {
            ++looked;
            if (!w->isVisible()) {
                outside << w->objectName() + QStringLiteral(": not shown");
                return;
            }
            const QRect available = w->screen()->availableGeometry();
            const QRect f = w->frameGeometry();
            if (!available.contains(f))
                outside << QStringLiteral("%1: %2,%3 %4x%5")
                               .arg(QString::fromLatin1(w->metaObject()->className()))
                               .arg(f.x())
                               .arg(f.y())
                               .arg(f.width())
                               .arg(f.height());
            shot(w, window);
        };
        // A modal window is looked at from inside its own loop, then closed.
        auto modal = [&](QWidget* w, const std::function<void()>& open) {
            QTimer::singleShot(0, w, [&look, w] {
                look(w);
                w->close();
            });
            open();
        };
        s.start();
        if (window == QLatin1String("splash")) {
            look(&s.welcome);
            return outside;
        }
        QSignalSpy shown(&s, &TelvoraStartUp::mainShown);
        if (!shown.wait(10000)) return {QStringLiteral("the main window never showed")};
        TelvoraWindows& w = *s.windows;
        const auto click = [](QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); };
        if (window == QLatin1String("main")) {
            look(&w.mainForm);
        } else if (window == QLatin1String("traffic")) {
            click(w.mainForm.btDetails);
            look(&w.serialForm);
        } else if (window == QLatin1String("transfer")) {
            click(w.mainForm.btParameterSetting);
            look(&w.downloadForm);
        } else if (window == QLatin1String("history")) {
            click(w.mainForm.btParameterSetting);
            click(w.downloadForm.btHistory);
            look(&w.downloadForm.historyForm());
        } else if (window == QLatin1String("editor")) {
            click(w.mainForm.btParameterSetting);
            modal(&w.parSettingForm, [&] { click(w.downloadForm.btEdit); });
        } else if (window == QLatin1String("inputs A/B")) {
            click(w.mainForm.btParameterSetting);
            QTimer::singleShot(0, &w.parSettingForm, [&] {
                modal(&w.onOffModeForm, [&] { click(w.parSettingForm.btOnOffMode); });
                w.parSettingForm.close();
            });
            click(w.downloadForm.btEdit);
        } else if (window == QLatin1String("event list")) {
            click(w.mainForm.btEventlistShort);
            look(&w.eventListForm);
        } else if (window == QLatin1String("status")) {
            modal(&w.statusForm, [&] { click(w.mainForm.btStatus); });
        } else if (window == QLatin1String("clock")) {
            modal(&w.clockForm, [&] { click(w.mainForm.btClock); });
        } else if (window == QLatin1String("radio")) {
            modal(&w.rfForm, [&] { click(w.mainForm.btRFlearn); });
        } else if (window == QLatin1String("firmware")) {
            w.mainForm.onFirmware();  // its button is hidden
            look(&w.firmwareForm);
        }
        if (looked == 0) outside << QStringLiteral("nothing was opened");
        w.mainForm.close();
        return outside;
    }

private slots:
    void everyWindowOpensOnScreen_data() {
        QTest::addColumn<QString>("window");
        for (const char* name :
             {"splash", "main", "traffic", "transfer", "history", "editor", "inputs A/B",
              "event list", "status", "clock", "radio", "firmware"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void everyWindowOpensOnScreen() {
        QFETCH(QString, window);
        const QStringList outside =
            openedOutside(window, m_dir.filePath(QStringLiteral("setup.ini")));
        QVERIFY2(outside.isEmpty(), qPrintable(outside.join(QStringLiteral("; "))));
    }

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
    // The offscreen platform takes its screen from a file; the size is the test's parameter,
    // the smallest screen installers have when unset.
    QTemporaryDir dir;
    const QStringList wh =
        qEnvironmentVariable("TELVORA_TEST_SCREEN", QStringLiteral("1024x768")).split('x');
    const QString config = dir.filePath(QStringLiteral("screen.json"));
    QFile f(config);
    if (wh.size() != 2 || !f.open(QIODevice::WriteOnly)) return 2;
    f.write(QStringLiteral("{\"screens\":[{\"name\":\"small\",\"x\":0,\"y\":0,\"width\":%1,"
                           "\"height\":%2,\"logicalDpi\":96,\"logicalBaseDpi\":96,\"dpr\":1}]}")
                .arg(wh[0], wh[1])
                .toUtf8());
    f.close();
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
    QApplication app(argc, argv);
    TestModuleWindowsFit test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_module_windows_fit.moc"
