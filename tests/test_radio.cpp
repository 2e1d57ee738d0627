#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <array>

#include "app/appwindows.h"
#include "link/exchange.h"
#include "link/texts.h"
#include "radio/radiocommand.h"
#include "radio/radioframe.h"
#include "radio/rfform.h"
#include "support/linkrig.h"

// The radio window: how a radio frame shows on the 36 slots, and the polls, teach and
// delete-all commands it sends, with the polls paused around each command.
namespace {

using Bytes = std::array<int, radio::kFrameBytes>;
using radio::SlotColour;

QByteArray radioLine(const Bytes& bytes) {
    QByteArray line = "AT_<";
    for (int b : bytes) line += QByteArray::number(b, 16).rightJustified(2, '0').toUpper();
    return line + ">";
}
Bytes withSlot(int index, int status, int marker = 0, int strength = 0) {
    Bytes b{};
    b[size_t(index)] = status;
    b[radio::kTeachMarker] = marker;
    b[radio::kStrength] = strength;
    return b;
}

const QByteArray kPoll = QByteArray("RPWF") + kRigCode;

}  // namespace

Q_DECLARE_METATYPE(radio::SlotColour)

class TestRadio : public QObject {
    Q_OBJECT

    // A poll, a tick without one, or a command, in the order they happened.
    QStringList m_log;
    void logTicks(LinkRig& rig, TFormRF& form) {
        m_log.clear();
        QObject::connect(&form.RFTimer(), &QTimer::timeout, &form,
                         [this] { m_log << QStringLiteral("tick"); });
        rig.answer = [this](const QByteArray& line) {
            m_log << QString::fromLatin1(line == kPoll ? QByteArray("poll") : line);
            return QByteArray();
        };
    }
    // Runs the window's timers until `done` (the program's own wait).
    static void runUntil(LinkRig& rig, const std::function<bool()>& done) {
        QVERIFY(rig.link->waitFor(rig.link->tickCounter(), 5000, done));
    }

private slots:
    // A teach or delete between two holds of the polls, without the window: nothing goes out
    // when the first hold fails, and the second hold follows the command.
    void commandBetweenPauses_data() {
        QTest::addColumn<bool>("firstHoldHeld");
        QTest::addColumn<int>("commandsSent");
        QTest::addColumn<int>("holds");
        QTest::newRow("held: the command, then the second hold") << true << 1 << 2;
        QTest::newRow("not held: nothing") << false << 0 << 1;
    }
    void commandBetweenPauses() {
        QFETCH(bool, firstHoldHeld);
        QFETCH(int, commandsSent);
        QFETCH(int, holds);
        LinkRig rig;
        ModuleExchange exchange(*rig.link);
        QList<int> pauses;
        const bool sent = radio::commandBetweenPauses(
            exchange, proto::kAuthDeleteRadio, radio::kDeletePause, [&](int pause) {
                pauses << pause;
                return pauses.size() > 1 || firstHoldHeld;
            });
        QCOMPARE(sent, commandsSent == 1);
        QCOMPARE(int(rig.lines.size()), commandsSent);
        QCOMPARE(pauses, QList<int>(holds, radio::kDeletePause));
    }

    void slotDisplay_data() {
        QTest::addColumn<Bytes>("bytes");
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("text");
        QTest::addColumn<SlotColour>("colour");
        const QString ok = QStringLiteral("OK.");
        const QString teaching = QString::fromUtf8("Tanulás");
        QTest::newRow("0: empty") << withSlot(3, 0) << 3 << "-" << SlotColour::ButtonFace;
        QTest::newRow("1: taught") << withSlot(3, 1) << 3 << ok << SlotColour::Teal;
        QTest::newRow("129: taught, red") << withSlot(3, 129) << 3 << ok << SlotColour::Red;
        QTest::newRow("25: number 3 on teal") << withSlot(3, 25) << 3 << "3" << SlotColour::Teal;
        QTest::newRow("5: low voltage") << withSlot(3, 5) << 3 << "<7V" << SlotColour::Yellow;
        QTest::newRow("128: red only") << withSlot(3, 128) << 3 << "-" << SlotColour::Red;
        QTest::newRow("248: number F, red") << withSlot(3, 0xF8) << 3 << "F" << SlotColour::Red;
        // Bit 1 is never the module's word; only the teach marker sets it.
        QTest::newRow("2: not teaching") << withSlot(3, 2) << 3 << "-" << SlotColour::ButtonFace;
        QTest::newRow("6: low voltage, bit 1 dropped")
            << withSlot(3, 6) << 3 << "<7V" << SlotColour::Yellow;
        QTest::newRow("marker 128+5: input 6 A learns")
            << withSlot(5, 0x85, 128 + 5) << 5 << teaching << SlotColour::Blue;
        QTest::newRow("marker 128+5 over low voltage")
            << withSlot(5, 4, 128 + 5) << 5 << teaching << SlotColour::Blue;
        QTest::newRow("marker 128+0") << withSlot(0, 0, 128) << 0 << teaching << SlotColour::Blue;
        QTest::newRow("marker 128+35: remote 12")
            << withSlot(35, 1, 128 + 35) << 35 << teaching << SlotColour::Blue;
        QTest::newRow("marker 128+36 marks none")
            << withSlot(35, 1, 128 + 36) << 35 << ok << SlotColour::Teal;
        QTest::newRow("marker 255 marks none")
            << withSlot(35, 0, 255) << 35 << "-" << SlotColour::ButtonFace;
        QTest::newRow("marker below 128 marks none")
            << withSlot(5, 0, 5) << 5 << "-" << SlotColour::ButtonFace;
    }
    void slotDisplay() {
        QFETCH(Bytes, bytes);
        QFETCH(int, slot);
        QFETCH(QString, text);
        QFETCH(SlotColour, colour);
        const std::optional<radio::FrameView> view = radio::decode(radioLine(bytes));
        QVERIFY(view);
        QCOMPARE(view->slotViews[size_t(slot)].text, text);
        QCOMPARE(view->slotViews[size_t(slot)].colour, colour);
        // The marker touches no other slot.
        for (int s = 0; s < radio::kSlots; ++s)
            if (s != slot) QCOMPARE(view->slotViews[size_t(s)].colour, SlotColour::ButtonFace);
    }

    void malformedLines_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<int>("slot0Status");  // what slot 0 shows, when shown
        QTest::addColumn<int>("strength");
        Bytes b = withSlot(0, 1, 0, 63);
        const QByteArray good = radioLine(b);
        QTest::newRow("good") << good << true << 1 << 63;
        QTest::newRow("84 characters") << good.left(84) << false << 0 << 0;
        QTest::newRow("no closing mark") << good.left(84) + "]" << false << 0 << 0;
        QByteArray badPair = good;
        badPair[4] = 'G';  // slot 0's pair
        QTest::newRow("pair with a non-digit reads 0") << badPair << true << 0 << 63;
        QByteArray lower = radioLine(withSlot(0, 0x0A, 0, 0x3F));
        lower[5] = 'a';
        QTest::newRow("lower-case digit reads 0") << lower << true << 0 << 63;
    }
    void malformedLines() {
        QFETCH(QByteArray, line);
        QFETCH(bool, shown);
        QFETCH(int, slot0Status);
        QFETCH(int, strength);
        const std::optional<radio::FrameView> view = radio::decode(line);
        QCOMPARE(bool(view), shown);
        if (!view) return;
        QCOMPARE(view->slotViews[0], radio::slotView(slot0Status));
        QCOMPARE(view->strength, strength);
    }

    void windowShowsAFrame_data() {
        QTest::addColumn<int>("strength");
        QTest::addColumn<int>("bar");
        QTest::newRow("63 fills the bar") << 63 << 63;
        QTest::newRow("0") << 0 << 0;
        // The number says what came; the bar cannot go past its end.
        QTest::newRow("200 beyond the range") << 200 << 63;
    }
    void windowShowsAFrame() {
        QFETCH(int, strength);
        QFETCH(int, bar);
        LinkRig rig;
        TFormRF form(*rig.link, rig.dialogs);
        // Before any frame every slot shows ".".
        for (QLabel* l : form.lb) QCOMPARE(l->text(), QStringLiteral("."));
        Bytes b{};
        b[0] = 1;                          // A1 taught
        b[12] = 129;                       // B1 taught, red
        b[24] = 25;                        // remote 1: "3"
        b[35] = 5;                         // remote 12: low voltage
        b[radio::kTeachMarker] = 128 + 5;  // A6 learning
        b[radio::kStrength] = strength;
        rig.d->feed(radioLine(b) + "\r\n");  // handed over whether or not the window is shown
        const QColor face = form.palette().color(QPalette::Button);
        struct Expect {
            const char* label;
            const char* panel;
            const char* text;
            QColor colour;
        };
        const Expect expected[] = {
            {"lbA1", "PanelA1", "OK.", QColor(0, 128, 128)},
            {"lbB1", "PanelB1", "OK.", QColor(255, 0, 0)},
            {"lbU1", "PanelU1", "3", QColor(0, 128, 128)},
            {"lbU12", "PanelU12", "<7V", QColor(255, 255, 0)},
            {"lbA6", "PanelA6", "Tanulás", QColor(0, 0, 255)},
            {"lbA2", "PanelA2", "-", face},
        };
        for (const Expect& e : expected) {
            QCOMPARE(form.findChild<QLabel*>(QString::fromLatin1(e.label))->text(),
                     QString::fromUtf8(e.text));
            QCOMPARE(form.findChild<QFrame*>(QString::fromLatin1(e.panel))
                         ->palette()
                         .color(QPalette::Window),
                     e.colour);
        }
        QCOMPARE(form.lbRFval->text(), QString::number(strength));
        QCOMPARE(form.pbRFTerero->value(), bar);
        // A malformed line leaves the display as it was.
        rig.d->feed(radioLine(Bytes{}).left(84) + "\r\n");
        QCOMPARE(form.lb[0]->text(), QStringLiteral("OK."));
    }

    void teachSendsItsSlotBetweenPausedPolls_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("command");
        QTest::newRow("A1, tag 1") << "btTeachA1" << QByteArray("TRF0");
        QTest::newRow("A6, tag 6") << "btTeachA6" << QByteArray("TRF5");
        QTest::newRow("A11, tag 11: slot 10 is ':'") << "btTeachA11" << QByteArray("TRF:");
        QTest::newRow("B12, tag 24") << "btTeachB12" << QByteArray("TRFG");
        QTest::newRow("user 1, tag 25: index 24") << "btTeachUser1" << QByteArray("TRFH");
        QTest::newRow("user 12, tag 36") << "btTeachUser12" << QByteArray("TRFS");
    }
    void teachSendsItsSlotBetweenPausedPolls() {
        QFETCH(QString, button);
        QFETCH(QByteArray, command);
        LinkRig rig;
        TFormRF form(*rig.link, rig.dialogs);
        logTicks(rig, form);
        form.show();
        form.RFTimer().start();
        runUntil(rig, [&] { return m_log.count(QStringLiteral("poll")) >= 2; });
        rig.dialogs.answers = {true};
        form.findChild<QPushButton*>(button)->click();
        QCOMPARE(rig.dialogs.confirmations,
                 QStringList{QString::fromUtf8("Biztosan el szeretné indítani a tanítást?")});
        const QString sent = QString::fromLatin1(command + kRigCode);
        QCOMPARE(m_log.count(sent), 1);
        const int at = m_log.indexOf(sent);
        // A tick without a poll before it, and one after it.
        QCOMPARE(m_log.mid(at - 2, 2), (QStringList{"tick", "tick"}));
        QCOMPARE(m_log.value(at + 1), QStringLiteral("tick"));
        QCOMPARE(form.PollPause, 0);
        QVERIFY(form.btTeach[0]->isEnabled());
        runUntil(rig, [&] { return m_log.lastIndexOf(QStringLiteral("poll")) > at; });
        QCOMPARE(m_log.mid(at + 1, 2), (QStringList{"tick", "poll"}));
    }

    void teachOrDeleteAnsweredNoSendsNothing_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<int>("asked");
        QTest::addColumn<QByteArray>("command");  // empty: none
        QTest::newRow("teach: No") << "btTeachB3" << QList<bool>{false} << 1 << QByteArray();
        QTest::newRow("delete: No") << "btRFDeleteAll" << QList<bool>{false} << 1 << QByteArray();
        QTest::newRow("delete: Yes, No")
            << "btRFDeleteAll" << QList<bool>{true, false} << 2 << QByteArray();
        QTest::newRow("delete: Yes, Yes")
            << "btRFDeleteAll" << QList<bool>{true, true} << 2 << QByteArray("DLRF");
    }
    void teachOrDeleteAnsweredNoSendsNothing() {
        QFETCH(QString, button);
        QFETCH(QList<bool>, answers);
        QFETCH(int, asked);
        QFETCH(QByteArray, command);
        LinkRig rig;
        TFormRF form(*rig.link, rig.dialogs);
        logTicks(rig, form);
        form.show();
        form.RFTimer().start();
        runUntil(rig, [&] { return m_log.count(QStringLiteral("poll")) >= 2; });
        rig.dialogs.answers = answers;
        form.findChild<QPushButton*>(button)->click();
        QCOMPARE(rig.dialogs.confirmations.size(), asked);
        if (asked == 2)
            QCOMPARE(rig.dialogs.confirmations.last(),
                     QString::fromUtf8("Biztosan törölni szeretné az összes rádiós eszközt?"));
        QStringList commands = m_log;
        commands.removeAll(QStringLiteral("tick"));
        commands.removeAll(QStringLiteral("poll"));
        if (command.isEmpty()) {
            QVERIFY(commands.isEmpty());
            QCOMPARE(form.PollPause, 0);
            return;
        }
        QCOMPARE(commands, QStringList{QString::fromLatin1(command + kRigCode)});
        // Delete-all pauses three ticks: two pass without a poll on either side.
        const int at = m_log.indexOf(commands.first());
        QCOMPARE(m_log.mid(at - 3, 3), (QStringList{"tick", "tick", "tick"}));
        QCOMPARE(m_log.mid(at + 1, 2), (QStringList{"tick", "tick"}));
    }

    void noPortOrBusyLink() {
        LinkRig rig;
        TFormRF form(*rig.link, rig.dialogs);
        logTicks(rig, form);
        form.show();
        form.RFTimer().start();
        {
            // Another window's exchange holds the line: no poll, and a teach is refused.
            ModuleExchange other(*rig.link);
            int ticks = 0;
            connect(&form.RFTimer(), &QTimer::timeout, &form, [&] { ++ticks; });
            runUntil(rig, [&] { return ticks >= 3; });
            rig.dialogs.answers = {true};
            form.btTeach[0]->click();
            QCOMPARE(rig.dialogs.messages, QStringList{QString::fromUtf8(texts::kBusy)});
            QVERIFY(!m_log.contains(QStringLiteral("poll")));
            QVERIFY(rig.d->written.isEmpty());
        }
        rig.link->ComPort1().close();
        rig.dialogs.messages.clear();
        rig.dialogs.confirmations.clear();
        for (QPushButton* b : {form.btTeach[0], form.btRFDeleteAll}) b->click();
        // Not connected is said before anything is asked.
        QCOMPARE(rig.dialogs.messages, QStringList(2, QString::fromUtf8(texts::kNoSerial)));
        QVERIFY(rig.dialogs.confirmations.isEmpty());
        QVERIFY(rig.d->written.isEmpty());
    }

    void windowClosedDuringThePauseDropsTheTeach() {
        LinkRig rig;
        TFormRF form(*rig.link, rig.dialogs);
        logTicks(rig, form);
        form.show();
        form.RFTimer().start();
        rig.dialogs.answers = {true};
        QTimer::singleShot(0, &form, [&] { form.close(); });
        form.btTeach[3]->click();
        QVERIFY(!rig.d->written.contains("TRF"));
        QCOMPARE(form.PollPause, 0);
    }

    void mainWindowOpensTheWindowsAsTheirTableSays() {
        ScriptedDialogs dialogs;
        QTemporaryDir dir;
        TelvoraWindows windows(dialogs, Timings{1, 5, 1000000, 1},
                               std::make_unique<MemorySerialDevice>(),
                               dir.filePath(QStringLiteral("setup.ini")));
        TForm1& main = windows.mainForm;
        windows.link.CodeTimer().start();
        windows.statusForm.StatusTimer().start();
        windows.link.HandleAnswerLine("RFTERR");
        windows.rfForm.PollPause = 3;
        bool modal = false, rfTimer = false, codeTimer = true, statusTimer = true, refused = true;
        int pause = -1;
        QTimer::singleShot(0, &windows.rfForm, [&] {
            modal = QApplication::activeModalWidget() == &windows.rfForm;
            rfTimer = windows.rfForm.RFTimer().isActive();
            codeTimer = windows.link.CodeTimer().isActive();
            statusTimer = windows.statusForm.StatusTimer().isActive();
            refused = windows.link.flag(Flag::RadioRefused);
            pause = windows.rfForm.PollPause;
            windows.rfForm.btClose->click();
        });
        main.btRFlearn->click();
        QVERIFY(modal);
        QVERIFY(rfTimer);
        QVERIFY(!codeTimer);
        QVERIFY(!statusTimer);
        QVERIFY(!refused);
        QCOMPARE(pause, 0);
        QVERIFY(!windows.rfForm.RFTimer().isActive());
        QVERIFY(windows.link.CodeTimer().isActive());
        QVERIFY(!windows.statusForm.StatusTimer().isActive());

        // The clock window is modal too; the firmware window is not, and its button stays hidden.
        QTimer::singleShot(0, &windows.clockForm, [&] {
            modal = QApplication::activeModalWidget() == &windows.clockForm;
            windows.clockForm.btClose->click();
        });
        main.btClock->click();
        QVERIFY(modal);
        main.show();
        QVERIFY(!main.btFirmware->isVisible());
        main.btFirmware->click();
        QVERIFY(windows.firmwareForm.isVisible());
        QVERIFY(!windows.firmwareForm.isModal());
    }
};

QTEST_MAIN(TestRadio)
#include "test_radio.moc"
