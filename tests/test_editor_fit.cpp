#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <memory>

#include "app/appwindows.h"
#include "base/windowfit.h"
#include "params/onoffmode.h"
#include "params/layout.h"
#include "support/images.h"
#include "support/memoryserial.h"
#include "support/scripteddialogs.h"

// The parameter editor on an installer's small screen: it fits, every button is reachable, a
// page larger than the window scrolls, and no text is cut. Runs once per screen size
// (TELVORA_TEST_SCREEN=WxH); with TELVORA_SHOTS set it also saves a picture of every page.
class TestEditorFit : public QObject {
    Q_OBJECT

    static QSize requestedScreen() {
        const QList<QByteArray> wh = qgetenv("TELVORA_TEST_SCREEN").split('x');
        return wh.size() == 2 ? QSize(wh[0].toInt(), wh[1].toInt()) : QSize(1024, 768);
    }
    static void shot(QWidget* w, const QString& name) {
        const QString dir = qEnvironmentVariable("TELVORA_SHOTS");
        if (dir.isEmpty()) return;
        const QSize s = requestedScreen();
        w->grab().save(QStringLiteral("%1/%2x%3-%4.png").arg(dir).arg(s.width()).arg(s.height()).arg(name));
    }
    // Every label that shows its text on one line has room for all of it.
    static void noLabelSqueezed(QWidget* page) {
        for (QLabel* l : page->findChildren<QLabel*>()) {
            if (!l->isVisibleTo(page) || l->wordWrap() || l->text().isEmpty()) continue;
            QVERIFY2(l->width() >= l->sizeHint().width(), qPrintable(l->text()));
        }
    }
    // A text box of a field shows its longest text in full.
    static void boxesShowTheirLongestText(QWidget* page) {
        for (QLineEdit* box : page->findChildren<QLineEdit*>()) {
            const int length = box->maxLength();
            if (length > 20 || !box->isVisibleTo(page) || box->inputMask().size()) continue;
            // Codes hold digits; names and messages any letter.
            const QChar widest = box->objectName().contains(QLatin1String("Code"))
                                     ? QLatin1Char('0')
                                     : QLatin1Char('W');
            const int text = box->fontMetrics().horizontalAdvance(QString(length, widest));
            const int frame = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
            QVERIFY2(text + 2 * frame + 4 <= box->width(), qPrintable(box->objectName()));
        }
    }

private slots:
    void fitRule_data() {
        QTest::addColumn<QSize>("wanted");
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QRect>("frame");
        const QSize border(16, 40);
        QTest::newRow("room to spare")
            << QSize(1060, 640) << QRect(0, 0, 1920, 1040) << QRect(422, 180, 1076, 680);
        QTest::newRow("1024x768 with a panel")
            << QSize(1060, 640) << QRect(0, 0, 1024, 740) << QRect(0, 30, 1024, 680);
        QTest::newRow("1366x768") << QSize(1060, 640) << QRect(0, 0, 1366, 740)
                                  << QRect(145, 30, 1076, 680);
        QTest::newRow("second screen, too small")
            << QSize(1060, 640) << QRect(1920, 0, 800, 600) << QRect(1920, 0, 800, 600);
        Q_UNUSED(border);
    }
    void fitRule() {
        QFETCH(QSize, wanted);
        QFETCH(QRect, available);
        QFETCH(QRect, frame);
        QCOMPARE(fittedFrame(wanted, available, QSize(16, 40)), frame);
        QVERIFY(available.contains(frame));
    }

    // A window beside another (the traffic window beside the main window): right where there
    // is room, else left, else as far right as the screen allows; never off the screen.
    void besideRule_data() {
        QTest::addColumn<QRect>("anchor");
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QPoint>("topLeft");
        QTest::newRow("room on the right") << QRect(100, 100, 275, 540) << QRect(0, 0, 1024, 740)
                                           << QPoint(383, 100);
        QTest::newRow("centred on 1024: neither side") << QRect(374, 114, 275, 540)
                                                       << QRect(0, 0, 1024, 740) << QPoint(637, 114);
        QTest::newRow("room on the left only") << QRect(700, 114, 275, 540)
                                               << QRect(0, 0, 1024, 740) << QPoint(305, 114);
        QTest::newRow("centred on 1366: right") << QRect(545, 114, 275, 540)
                                                << QRect(0, 0, 1366, 740) << QPoint(828, 114);
        QTest::newRow("no room either side") << QRect(200, 0, 700, 540) << QRect(0, 0, 1024, 740)
                                             << QPoint(637, 0);
        QTest::newRow("low on the screen") << QRect(0, 500, 275, 200) << QRect(0, 0, 1024, 740)
                                           << QPoint(283, 241);
        QTest::newRow("second screen") << QRect(1100, 100, 275, 540)
                                       << QRect(1024, 0, 1024, 740) << QPoint(1383, 100);
    }
    void besideRule() {
        QFETCH(QRect, anchor);
        QFETCH(QRect, available);
        QFETCH(QPoint, topLeft);
        const QRect placed = besideFrame(anchor, QSize(387, 499), available);
        QCOMPARE(placed.topLeft(), topLeft);
        QVERIFY(available.contains(placed));
    }

    // A window moved onto the screen goes the least way; one larger than the screen keeps its
    // title bar on it.
    void keptOnScreenRule_data() {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QRect>("kept");
        QTest::newRow("inside") << QRect(10, 10, 300, 200) << QRect(10, 10, 300, 200);
        QTest::newRow("off the right") << QRect(900, 10, 300, 200) << QRect(724, 10, 300, 200);
        QTest::newRow("off the bottom left")
            << QRect(-50, 700, 300, 200) << QRect(0, 540, 300, 200);
        QTest::newRow("larger than the screen")
            << QRect(-10, -10, 1200, 900) << QRect(0, 0, 1200, 900);
    }
    void keptOnScreenRule() {
        QFETCH(QRect, frame);
        QFETCH(QRect, kept);
        QCOMPARE(keptOnScreen(frame, QRect(0, 0, 1024, 740)), kept);
    }

    void editorFitsTheScreen() {
        const QSize screenSize = requestedScreen();
        QCOMPARE(QGuiApplication::primaryScreen()->geometry().size(), screenSize);
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        ScriptedDialogs dialogs;
        QTemporaryDir dir;
        TelvoraWindows windows(dialogs, Timings(), std::make_unique<MemorySerialDevice>(),
                               dir.filePath(QStringLiteral("setup.ini")));
        // Names in every name box, so the pictures look like a site's.
        QByteArray image(2048, '\0');
        for (int n = 1; n <= 12; ++n) {
            layout::write(*layout::findInstance("edZonaNeve%d", n), image,
                          layout::Value::ofText(QStringLiteral("Zóna %1").arg(n)));
            layout::write(*layout::findInstance("edUserName%d", n), image,
                          layout::Value::ofText(QStringLiteral("Felh. %1").arg(n)));
        }
        windows.downloadForm.setConfigImage(img(image));
        windows.mainForm.show();
        TFormParSetting& editor = windows.parSettingForm;
        bool checked = false;
        QTimer::singleShot(0, &editor, [&] {
            QVERIFY(available.contains(editor.frameGeometry()));
            for (int p = 0; p < editor.PageControl->count(); ++p) {
                editor.PageControl->setCurrentIndex(p);
                QCoreApplication::processEvents();
                auto* area = qobject_cast<QScrollArea*>(editor.PageControl->widget(p));
                QVERIFY2(area, "every page scrolls");
                for (QPushButton* b : {editor.btSettingOK, editor.btSettingCancel})
                    QVERIFY(editor.rect().contains(QRect(b->mapTo(&editor, QPoint()), b->size())));
                noLabelSqueezed(area->widget());
                boxesShowTheirLongestText(area->widget());
                shot(&editor, QStringLiteral("page%1").arg(p + 1));
            }
            // The inputs A/B dialog, from its button on the telephone page.
            editor.PageControl->setCurrentIndex(TFormParSetting::kPhones);
            QTimer::singleShot(0, windows.onOffModeForm.btClose, [&] {
                TFormOnOffMode& ab = windows.onOffModeForm;
                QVERIFY(available.contains(ab.frameGeometry()));
                for (QAbstractButton* item : ab.rgOnOffMode->buttons())
                    QVERIFY(item->width() >= item->sizeHint().width());
                shot(&ab, QStringLiteral("inputs-ab"));
                ab.close();
            });
            QTest::mouseClick(editor.btOnOffMode, Qt::LeftButton);
            checked = true;
            editor.reject();
        });
        QTest::mouseClick(windows.downloadForm.btEdit, Qt::LeftButton);
        QVERIFY(checked);
    }

    void abItemsAreLaidOutByTheirBlankRuns_data() {
        QTest::addColumn<int>("item");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("0") << 0 << QStringList{"0 - Csak a kezelőn keresztül"};
        QTest::newRow("1") << 1
                           << QStringList{"1 - Kapcsolóval:", "Folyamatos 1k = Élesített ,",
                                          "Folyamatos 2k = Kikapcsolt,", "(egyéb = szabotázs)"};
        QTest::newRow("2") << 2
                           << QStringList{"2 - Kétféle impulzussal:",
                                          "Folyamatos 2k = alaphelyzet,",
                                          "Rövidzár impulzus = Élesítés,",
                                          "1k Impulzus = Kikapcsolás", "(szakadás = szabotázs)"};
        QTest::newRow("3") << 3
                           << QStringList{"3 - Egyféle impulzussal:",
                                          "Folyamatos 2k = alaphelyzet,",
                                          "1k impulzus = Élesítés/Kikapcsolás,",
                                          "(egyéb = szabotázs)"};
    }
    void abItemsAreLaidOutByTheirBlankRuns() {
        QFETCH(int, item);
        QFETCH(QStringList, lines);
        QCOMPARE(PhraseRadioButton::phrases(TFormOnOffMode::itemTexts()[item]), lines);
        // The option itself keeps its whole text, blank runs included.
        TFormOnOffMode dialog;
        QCOMPARE(dialog.rgOnOffMode->button(item)->text(), TFormOnOffMode::itemTexts()[item]);
        QVERIFY(dialog.rgOnOffMode->button(item)->sizeHint().height() >=
                int(lines.size()) * dialog.fontMetrics().lineSpacing());
    }
};

int main(int argc, char** argv) {
    // The offscreen platform takes its screen from a file; the size is the test's parameter.
    QTemporaryDir dir;
    QString size = qEnvironmentVariable("TELVORA_TEST_SCREEN", QStringLiteral("1024x768"));
    const QStringList wh = size.split(QLatin1Char('x'));
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
    TestEditorFit test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_editor_fit.moc"
