#include <QApplication>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "app/startup.h"
#include "config/historyform.h"
#include "support/memoryserial.h"
#include "support/scripteddialogs.h"

// The program under a real X server (xvfb-run), where the platform's theme and window manager
// have their say: the title the window manager reads from every window is exactly the
// window's caption, the program's own name is where the platform shows an application's name,
// and the main window's buttons are drawn bold.
namespace {

}  // namespace

class TestRealDisplay : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    ScriptedDialogs m_dialogs;
    std::unique_ptr<TelvoraStartUp> m_startUp;

    // A property of a window as the X server holds it, in xprop's words: `NAME = value`.
    static QString property(QWidget* w, const char* name) {
        QProcess xprop;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        xprop.setProcessEnvironment(env);
        xprop.start(QStringLiteral("xprop"), {QStringLiteral("-notype"), QStringLiteral("-id"),
                                              QString::number(w->winId()),
                                              QString::fromLatin1(name)});
        if (!xprop.waitForFinished(10000)) return QStringLiteral("(xprop did not answer)");
        const QString out = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
        const qsizetype eq = out.indexOf(QLatin1String(" = "));
        return eq < 0 ? out : out.mid(eq + 3);
    }
    static QString quoted(const QString& s) { return QLatin1Char('"') + s + QLatin1Char('"'); }

    QWidget* window(const QString& name) {
        TelvoraWindows& w = *m_startUp->windows;
        const std::pair<const char*, QWidget*> all[] = {
            {"splash", &m_startUp->welcome},
            {"main", &w.mainForm},
            {"traffic", &w.serialForm},
            {"transfer", &w.downloadForm},
            {"history", &w.downloadForm.historyForm()},
            {"editor", &w.parSettingForm},
            {"inputs A/B", &w.onOffModeForm},
            {"event list", &w.eventListForm},
            {"status", &w.statusForm},
            {"clock", &w.clockForm},
            {"radio", &w.rfForm},
            {"firmware", &w.firmwareForm},
        };
        for (const auto& [n, widget] : all)
            if (name == QLatin1String(n)) return widget;
        return nullptr;
    }

private slots:
    void initTestCase() {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X server: run under xvfb-run");
        if (QStandardPaths::findExecutable(QStringLiteral("xprop")).isEmpty())
            QSKIP("needs xprop (x11-utils)");
        m_startUp = std::make_unique<TelvoraStartUp>(
            m_dialogs, Timings{1, 5, 1000000, 5}, std::make_unique<MemorySerialDevice>(),
            m_dir.filePath(QStringLiteral("setup.ini")));
        QSignalSpy created(m_startUp.get(), &TelvoraStartUp::windowsCreated);
        m_startUp->start();
        // The first run on a machine may build its font cache first.
        QVERIFY(created.wait(60000));
    }
    void cleanupTestCase() { m_startUp.reset(); }

    void applicationName() {
        QCOMPARE(QGuiApplication::applicationDisplayName(), QStringLiteral("GSM-Korvanta Telvora"));
        QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("telvora"));
        m_startUp->welcome.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_startUp->welcome));
        QVERIFY2(property(&m_startUp->welcome, "WM_CLASS").contains(QStringLiteral("GSM-Korvanta Telvora")),
                 qPrintable(property(&m_startUp->welcome, "WM_CLASS")));
    }

    // The alarm stop's maroon once came from a style sheet, and under X the style then drew
    // its caption in the theme's regular weight, whatever the button's font said. Each button
    // must be drawn exactly as a plain button with its caption, icon and colours, bold but for
    // the details button.
    void mainWindowButtonsAreDrawnBold() {
        TForm1& m = m_startUp->windows->mainForm;
        m.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m));
        for (QPushButton* b : m.findChildren<QPushButton*>()) {
            if (b->isHidden()) continue;
            QPushButton like(b->text(), b->parentWidget());  // the same window, active or not
            like.setIcon(b->icon());
            like.setPalette(b->palette());
            QFont f = like.font();
            f.setBold(b != m.btDetails);
            like.setFont(f);
            like.setEnabled(b->isEnabled());
            like.resize(b->size());
            QVERIFY2(b->grab().toImage() == like.grab().toImage(), qPrintable(b->objectName()));
        }
        QCOMPARE(m.btSotpAllAlarm->palette().color(QPalette::ButtonText), QColor(0x80, 0, 0));
        m.hide();
    }

    void titleIsTheCaption_data() {
        QTest::addColumn<QString>("name");
        for (const char* name : {"splash", "main", "traffic", "transfer", "history", "editor",
                                 "inputs A/B", "event list", "status", "clock", "radio",
                                 "firmware"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void titleIsTheCaption() {
        QFETCH(QString, name);
        QWidget* w = window(name);
        QVERIFY(w);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QVERIFY(!w->windowTitle().isEmpty());
        QCOMPARE(property(w, "_NET_WM_NAME"), quoted(w->windowTitle()));
        QCOMPARE(property(w, "WM_NAME"), quoted(w->windowTitle()));
        w->hide();
    }
};

int main(int argc, char** argv) {
    // The real X platform when there is a display; the test skips without one.
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("QT_QPA_PLATFORM", "xcb");
    // No session bus here: without this the accessibility bridge may try to start one and
    // hold the event loop for many seconds.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "0");
    qputenv("NO_AT_BRIDGE", "1");
    QApplication app(argc, argv);
    nameApplication();
    QStandardPaths::setTestModeEnabled(true);
    TestRealDisplay test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_real_display.moc"
