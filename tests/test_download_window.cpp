#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/appwindows.h"
#include "config/downloadform.h"
#include "link/modulelink.h"
#include "support/images.h"
#include "support/memoryserial.h"
#include "support/scripteddialogs.h"

// The transfer window's own controls and its data file buttons, with no module attached.
class TestDownloadWindow : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<ModuleLink> m_link;
    std::unique_ptr<TFormDownload> m_form;

    QString allPanels() const {
        QString out;
        for (int b = 0; b < 8; ++b)
            out += m_form->panelColour(b) == rgb(PanelColour::Green)    ? 'G'
                   : m_form->panelColour(b) == rgb(PanelColour::Silver) ? 'S'
                                                                        : '?';
        return out;
    }
    QString file(const QString& name, int size, char fill) {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        if (f.open(QIODevice::WriteOnly)) f.write(QByteArray(size, fill));
        return path;
    }
    void press(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
    static QColor rgb(PanelColour p) {
        const Rgb c = panelRgb(p);
        return QColor(c.red, c.green, c.blue);
    }

private slots:
    void init() {
        m_dialogs = std::make_unique<ScriptedDialogs>();
        m_link = std::make_unique<ModuleLink>(std::make_unique<MemorySerialDevice>());
        m_form = std::make_unique<TFormDownload>(*m_link, *m_dialogs);
    }
    void cleanup() {
        m_form.reset();
        m_link.reset();
        m_dialogs.reset();
    }

    void everyButtonHasAToolTip() {
        // The window's own buttons; the history window it holds has its own.
        for (QPushButton* b :
             m_form->findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly))
            QVERIFY2(!b->toolTip().isEmpty(), qPrintable(b->objectName()));
    }

    void controls() {
        QCOMPARE(m_form->windowTitle(), QStringLiteral("GSM-Korvanta paraméterbeállítás"));
        const QList<QPair<const char*, const char*>> captions = {
            {"btOpen", "Beolvasás fájlból"},
            {"btSave", "Mentés fájlba"},
            {"btRead", "<-- Adatok beolvasása a modulból"},
            {"btWrite", "--> Adatok áttöltése a modulba"},
            {"btCompare", "<--> Adatok összehasonlítása"},
            {"btEdit", "Adatok szerkesztése"},
            {"btStop", "Stop"},
            {"btClose", "Ablak bezárása"},
        };
        for (const auto& [name, caption] : captions) {
            auto* b = m_form->findChild<QPushButton*>(QString::fromLatin1(name));
            QVERIFY2(b, name);
            QCOMPARE(b->text(), QString::fromUtf8(caption));
        }
        for (int b = 0; b < 8; ++b) {
            auto* panel = m_form->findChild<QLabel*>(QStringLiteral("BP%1").arg(b + 1));
            QVERIFY(panel);
            QCOMPARE(panel->text(), QStringLiteral("Blokk %1").arg(b + 1));
        }
        QCOMPARE(allPanels(), QStringLiteral("SSSSSSSS"));
        QCOMPARE(m_form->ConfigImage().bytes(), QByteArray(2048, '\0'));
        // The words of a transfer's end sit under the panels, and are empty before any.
        QVERIFY(m_form->lbResult->text().isEmpty());
        QVERIFY(m_form->lbResult->y() > m_form->BP[7]->y());
        QVERIFY(m_form->lbResult->y() < m_form->btOpen->y());
    }

    void transferWithPortClosed() {
        ParamImage changed;
        changed.setAt(5, 'x');
        m_form->setConfigImage(changed);
        const QByteArray image = m_form->ConfigImage().bytes();
        for (QPushButton* b : {m_form->btRead, m_form->btWrite, m_form->btCompare}) press(b);
        QCOMPARE(m_dialogs->messages, QStringList(3, QStringLiteral(" Nincs soros kapcsolat.")));
        QCOMPARE(m_form->lbResult->text(), QStringLiteral("Nincs soros kapcsolat."));
        QCOMPARE(allPanels(), QStringLiteral("SSSSSSSS"));
        QCOMPARE(m_form->ConfigImage().bytes(), image);
    }

    void saveThenOpen() {
        const QString path = m_dir.filePath(QStringLiteral("site"));
        QByteArray pattern(2048, '\0');
        for (int i = 0; i < 2048; ++i) pattern[i] = char(i * 13);
        m_form->setConfigImage(img(pattern));
        const QByteArray saved = m_form->ConfigImage().bytes();
        m_dialogs->paths = {path};
        press(m_form->btSave);
        QCOMPARE(m_dialogs->filters, QStringList{"GSM Korvanta Data File ver.2 (*.KD2)"});
        QCOMPARE(allPanels(), QStringLiteral("SSSSSSSS"));  // saving leaves the panels
        QVERIFY(QFile::exists(path + ".KD2"));

        m_form->setConfigImage(ParamImage());
        m_dialogs->paths = {path + ".KD2"};
        m_form->lbResult->setText(QStringLiteral("Leolvasás kész."));
        press(m_form->btOpen);
        QCOMPARE(m_form->ConfigImage().bytes(), saved);
        // The image is the file's now: no transfer's words describe it.
        QVERIFY(m_form->lbResult->text().isEmpty());
        QCOMPARE(allPanels(), QStringLiteral("GGGGGGGG"));
        QVERIFY(m_dialogs->messages.isEmpty());
    }

    void saveRightAfterStartWritesZeros() {
        const QString path = m_dir.filePath(QStringLiteral("fresh.KD2"));
        m_dialogs->paths = {path};
        press(m_form->btSave);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray(2048, '\0'));
    }

    void openFailures_data() {
        QTest::addColumn<int>("size");  // -1: cancel the dialog
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("panels");
        QTest::addColumn<bool>("taken");
        QTest::newRow("cancel") << -1 << QStringList{} << "SSSSSSSS" << false;
        QTest::newRow("2047 bytes")
            << 2047 << QStringList{"Read beyond end of file"} << "SSSSSSSS" << false;
        QTest::newRow("2049 bytes") << 2049 << QStringList{} << "GGGGGGGG" << true;
    }
    void openFailures() {
        QFETCH(int, size);
        QFETCH(QStringList, messages);
        QFETCH(QString, panels);
        QFETCH(bool, taken);
        m_form->setAllPanels(PanelColour::Green);
        const QByteArray before(2048, 'z');
        m_form->setConfigImage(img(before));
        if (size >= 0) m_dialogs->paths = {file(QStringLiteral("in.KD2"), size, 'q')};
        press(m_form->btOpen);
        QCOMPARE(m_dialogs->messages, messages);
        QCOMPARE(allPanels(), panels);
        QCOMPARE(m_form->ConfigImage().bytes(), taken ? QByteArray(2048, 'q') : before);
    }

    void editButtonRunsTheEditorHook() {
        int runs = 0;
        m_form->onEdit = [&] { ++runs; };
        press(m_form->btEdit);
        QCOMPARE(runs, 1);
    }

    void mainWindowShowsItNotModal() {
        QTemporaryDir dir;
        TelvoraWindows windows(*m_dialogs, Timings(), std::make_unique<MemorySerialDevice>(),
                               dir.filePath(QStringLiteral("setup.ini")));
        windows.mainForm.show();
        QVERIFY(windows.downloadForm.isHidden());
        press(windows.mainForm.btParameterSetting);
        QVERIFY(windows.downloadForm.isVisible());
        QVERIFY(!windows.downloadForm.isModal());
        QVERIFY(windows.mainForm.isEnabled());
    }

    void closeOnlyHides() {
        m_form->show();
        ParamImage kept;
        kept.setAt(0, 'k');
        m_form->setConfigImage(kept);
        press(m_form->btClose);
        QVERIFY(m_form->isHidden());
        QCOMPARE(m_form->ConfigImage().at(0), quint8('k'));
    }
};

QTEST_MAIN(TestDownloadWindow)
#include "test_download_window.moc"
