#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <functional>
#include <memory>

#include "app/appwindows.h"
#include "link/portnames.h"
#include "params/flashaddr.h"
#include "support/windowsrig.h"

namespace {

// Text that a markup reader would draw bold, or as a rule: shown as plain text it stays these
// characters.
const QString kBold = QStringLiteral("<b>Zon</b>");
const QString kRule = QStringLiteral("<hr>Kert");

// What the user sees of a text set on a tooltip: Qt reads it as markup when it looks like some.
QString shownToolTip(const QString& tip) {
    if (!Qt::mightBeRichText(tip)) return tip;
    QTextDocument d;
    d.setHtml(tip);
    return d.toPlainText();
}

// Every place of every window that shows `text`, as "window/control", and those among them
// that would draw it as markup.
struct Showings {
    QStringList plain;
    QStringList asMarkup;
};
Showings showingsOf(const QString& text) {
    Showings out;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        const QString window = QString::fromLatin1(top->metaObject()->className());
        QList<QWidget*> all = top->findChildren<QWidget*>();
        all.prepend(top);
        for (QWidget* w : all) {
            const QString where = window + QLatin1Char('/') + w->objectName();
            if (auto* l = qobject_cast<QLabel*>(w); l && l->text().contains(text)) {
                const bool markup = l->textFormat() == Qt::RichText ||
                                    (l->textFormat() == Qt::AutoText && Qt::mightBeRichText(l->text()));
                (markup ? out.asMarkup : out.plain) << where;
            }
            const auto tooltip = [&](const QString& tip, const QString& place) {
                if (shownToolTip(tip).contains(text))
                    out.plain << place;
                else if (tip.contains(text))
                    out.asMarkup << place;
            };
            tooltip(w->toolTip(), where + QStringLiteral(" tooltip"));
            if (auto* e = qobject_cast<QPlainTextEdit*>(w); e && e->toPlainText().contains(text))
                out.plain << where;
            if (auto* t = qobject_cast<QTableWidget*>(w))
                for (int r = 0; r < t->rowCount(); ++r)
                    for (int c = 0; c < t->columnCount(); ++c)
                        if (t->item(r, c) && t->item(r, c)->text().contains(text))
                            out.plain << where;
            if (auto* box = qobject_cast<QComboBox*>(w))
                for (int i = 0; i < box->count(); ++i)
                    tooltip(box->itemData(i, Qt::ToolTipRole).toString(),
                            where + QStringLiteral(" item tooltip"));
        }
    }
    return out;
}

}  // namespace

// Text from the module or from a file is data: whichever window shows it, it shows as the
// characters it is, never as markup.
class TestPlainText : public QObject {
    Q_OBJECT

    const QDir m_home{testHome()};  // this program's own

    static void setName(KorvantaSim& sim, int offset, const QString& name) {
        QByteArray mem = sim.memory();
        mem.replace(offset, 10, name.toLatin1().leftJustified(10, ' '));
        sim.setMemory(mem);
    }

private slots:
    void initTestCase() { prepareEndToEnd(); }

    void shownAsPlainText_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("text");
        QTest::newRow("zone name: status window captions") << "zone name" << kBold;
        QTest::newRow("zone name: event list, status events") << "zone name in events" << kRule;
        QTest::newRow("module message: status window") << "module message" << kBold;
        QTest::newRow("version text: message box") << "version" << kRule;
        QTest::newRow("port device path: port list tooltip") << "port device" << kRule;
    }
    void shownAsPlainText() {
        QFETCH(QString, source);
        QFETCH(QString, text);
        // A port whose device path is any text: a link in the ports folder, seen when the
        // main window lists the ports.
        const QString link = portsFolder() + QStringLiteral("/COM95");
        QFile::remove(link);
        if (source == QLatin1String("port device")) {
            QFile device(m_home.filePath(QStringLiteral("dev ") + text));
            QVERIFY(device.open(QIODevice::WriteOnly));
            QVERIFY(QFile::link(device.fileName(), link));
        }
        WindowsRig rig(QStringLiteral("COM86"), m_home.filePath(QStringLiteral("setup.ini")));
        QVERIFY2(rig.started, qPrintable(rig.error));
        QVERIFY(rig.connectToModule());
        TelvoraWindows& w = rig.windows;
        const auto press = [](QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); };
        QStringList told;

        if (source == QLatin1String("zone name")) {
            setName(rig.sim, FlashAddr::ZoneRecords, text);
            rig.inStatusWindow([&] {
                press(w.statusForm.btLoadZoneNames);
                told = showingsOf(text).asMarkup + showingsOf(text).plain;
                QVERIFY2(showingsOf(text).asMarkup.isEmpty(),
                         qPrintable(showingsOf(text).asMarkup.join(", ")));
            });
        } else if (source == QLatin1String("zone name in events")) {
            setName(rig.sim, FlashAddr::ZoneRecords, text);
            w.mainForm.onEventlistShort();
            press(w.eventListForm.btLoadNames);
            press(w.eventListForm.btLoadEvents);
        } else if (source == QLatin1String("module message")) {
            rig.inStatusWindow([&] {
                w.link.HandleAnswerLine("AT_/" + text.toLatin1());
                QVERIFY2(showingsOf(text).asMarkup.isEmpty(),
                         qPrintable(showingsOf(text).asMarkup.join(", ")));
                told = showingsOf(text).plain;
            });
        } else if (source == QLatin1String("version")) {
            rig.sim.setFirmwareText(text.toLatin1());
            press(w.mainForm.btAskVersion);
            QVERIFY(rig.dialogs.messages.join(QLatin1Char('\n')).contains(text));
            told << QStringLiteral("message box");
        }
        const Showings now = showingsOf(text);
        told += now.plain;
        QVERIFY2(now.asMarkup.isEmpty(), qPrintable(now.asMarkup.join(QStringLiteral(", "))));
        // The row shows the text somewhere, or it proves nothing.
        QVERIFY2(!told.isEmpty(), "the text was shown nowhere");
        QFile::remove(link);
    }
};

QTEST_MAIN(TestPlainText)
#include "test_plain_text.moc"
