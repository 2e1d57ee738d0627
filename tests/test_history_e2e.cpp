#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "config/datafile.h"
#include "config/downloadform.h"
#include "config/history.h"
#include "config/historyform.h"
#include "params/layout.h"
#include "sim/korvantasim.h"
#include "support/images.h"
#include "support/simrig.h"

// The configuration history and the parameter differences, through the transfer window and
// the history window against the simulated module.
using Outcome = ConfigTransfer::Outcome;
using history::Event;

namespace {
void setField(QByteArray& image, const char* pattern, int number, const layout::Value& value) {
    const std::optional<layout::Instance> in = layout::findInstance(QLatin1String(pattern), number);
    QVERIFY(in);
    layout::write(*in, image, value);
}
}  // namespace

class TestHistoryE2e : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<SimRig> m_rig;
    std::unique_ptr<TFormDownload> m_download;
    QString m_folder;

    void press(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
    QList<Event> events() const {
        QList<Event> out;
        for (const history::Entry& e : history::list(m_folder)) out << e.event;
        return out;
    }
    QByteArray entryBytes(int i) const {
        ParamImage image;
        const auto error = datafile::open(history::list(m_folder).at(i).path, image);
        return error ? QByteArray() : image.bytes();
    }

private slots:
    void initTestCase() { prepareEndToEnd(); }
    void init() {
        m_rig = std::make_unique<SimRig>(QStringLiteral("COM81"));
        QVERIFY2(m_rig->started, qPrintable(m_rig->error));
        m_download = std::make_unique<TFormDownload>(m_rig->link, m_rig->dialogs);
        m_folder = m_dir.filePath(QStringLiteral("history-%1").arg(QTest::currentTestFunction()));
        m_download->transfer().setHistoryFolder(m_folder);
        m_rig->form.edPWD->setText(QStringLiteral("1234"));
        QVERIFY(m_rig->connectToModule());
    }
    void cleanup() {
        m_download.reset();
        m_rig.reset();
    }

    void readWriteCompareAreKept() {
        const QByteArray module = m_rig->sim.memory();
        press(m_download->btRead);
        QByteArray ours = module;
        setField(ours, "edUserName%d", 2, layout::Value::ofText(QStringLiteral("Kovács")));
        m_download->setConfigImage(img(ours));
        press(m_download->btCompare);
        press(m_download->btWrite);
        press(m_download->btCompare);
        QCOMPARE(events(), (QList<Event>{Event::ComparedEqual, Event::Written,
                                         Event::ComparedDiffer, Event::Read}));
        QCOMPARE(entryBytes(3), module);  // what the module held before the write
        QCOMPARE(entryBytes(1), ours);
        QCOMPARE(m_rig->sim.memory(), ours);
    }

    void failuresKeepNothing() {
        m_rig->sim.setSilent(true);
        press(m_download->btRead);
        press(m_download->btCompare);
        m_rig->sim.setSilent(false);
        m_rig->sim.setNoCrcOk(true);
        press(m_download->btWrite);
        QVERIFY(events().isEmpty());
    }

    void aHistoryThatCannotBeKeptIsSaid() {
        m_download->transfer().setHistoryFolder(QStringLiteral("/proc/no/such/history"));
        QList<Outcome> outcomes;
        connect(&m_download->transfer(), &ConfigTransfer::finished, this,
                [&](Outcome o) { outcomes << o; });
        press(m_download->btRead);
        QCOMPARE(outcomes, QList<Outcome>{Outcome::Done});
        QCOMPARE(m_download->ConfigImage().bytes(), m_rig->sim.memory());
        QCOMPARE(m_rig->dialogs.messages.size(), 1);
        QVERIFY(m_rig->dialogs.messages[0].startsWith(QStringLiteral("Az előzmény mentése sikertelen: ")));
    }

    // Two parameters changed in the module: the compare names both, the module's value first.
    void compareShowsTheParametersThatDiffer() {
        QByteArray ours = m_rig->sim.memory();
        m_download->setConfigImage(img(ours));
        QByteArray module = ours;
        setField(module, "edUserName%d", 3, layout::Value::ofText(QStringLiteral("Szabó")));
        setField(module, "UdZonaIntel%d", 1, layout::Value::ofNumber(9));
        m_rig->sim.setMemory(module);
        QVERIFY(m_download->memoDiff->isHidden());
        press(m_download->btCompare);
        QVERIFY(!m_download->memoDiff->isHidden());
        const QStringList lines = m_download->memoDiff->toPlainText().split(QLatin1Char('\n'));
        QCOMPARE(lines.mid(0, 2), (QStringList{"Eltérő paraméterek a(z) 1. blokkban",
                                               "(paraméter: modul -> kép):"}));
        QCOMPARE(lines.size(), 5);
        QVERIFY2(lines[2].startsWith(QStringLiteral("edUserName3: \"Szabó\" -> ")), qPrintable(lines[2]));
        QVERIFY2(lines[3].startsWith(QStringLiteral("UdZonaIntel1: 9 -> ")), qPrintable(lines[3]));
        QCOMPARE(lines[4], QStringLiteral("A további blokkokat az összehasonlítás nem olvasta be."));
        // An equal compare takes the list away again.
        m_rig->sim.setMemory(ours);
        press(m_download->btCompare);
        QVERIFY(m_download->memoDiff->isHidden());
    }

    void historyWindowListsShowsAndLoads() {
        const QByteArray first = m_rig->sim.memory();
        press(m_download->btRead);
        QByteArray second = first;
        setField(second, "edUserName%d", 1, layout::Value::ofText(QStringLiteral("Második")));
        m_rig->sim.setMemory(second);
        press(m_download->btRead);

        QByteArray ours = second;
        setField(ours, "edUserName%d", 1, layout::Value::ofText(QStringLiteral("Saját")));
        m_download->setConfigImage(img(ours));
        press(m_download->btHistory);
        TFormHistory& h = m_download->historyForm();
        QVERIFY(h.isVisible());
        QCOMPARE(h.gridEntries->rowCount(), 2);
        QCOMPARE(h.gridEntries->item(0, 1)->text(), history::eventText(Event::Read));
        QVERIFY(h.memoDiff->toPlainText().contains(QStringLiteral("edUserName1: \"Második\" -> \"Saját\"")));

        h.gridEntries->selectRow(1);  // the older read
        h.btLoadEntry->click();
        QCOMPARE(m_download->ConfigImage().bytes(), first);
        QVERIFY(h.memoDiff->toPlainText().contains(QStringLiteral("Nincs eltérés")));

        // Any data file against the image.
        const QString file = m_dir.filePath(QStringLiteral("other.KD2"));
        QVERIFY(!datafile::save(file, img(second)));
        m_rig->dialogs.paths = {file};
        h.btCompareFile->click();
        QVERIFY(h.memoDiff->toPlainText().startsWith(file));
        QVERIFY(h.memoDiff->toPlainText().contains(QStringLiteral("edUserName1: \"Második\" -> ")));
        h.close();
    }
};

QTEST_MAIN(TestHistoryE2e)
#include "test_history_e2e.moc"
