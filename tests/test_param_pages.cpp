#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <memory>

#include "params/digitgrid.h"
#include "params/editorwidgets.h"
#include "params/flashaddr.h"
#include "params/onoffmode.h"
#include "params/paramform.h"
#include "support/images.h"
#include "support/scripteddialogs.h"

namespace A = FlashAddr;
using grid::Family;

// The reporting, output and radio pages of the editor: digit grids and their key rules, the
// tall check columns, remote buttons and the inputs A and B dialog.
class TestParamPages : public QObject {
    Q_OBJECT

    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<TFormParSetting> m_form;
    std::unique_ptr<TFormOnOffMode> m_onOff;

    static QString typed(Family family, QString cells, int current, const QString& keys) {
        grid::State s{cells, current};
        for (QChar k : keys) grid::applyKey(family, s, k);
        return s.cells + QLatin1Char('|') + QString::number(s.current);
    }
    template <class T>
    T* control(const char* name) {
        return m_form->control<T>(QString::fromLatin1(name));
    }

private slots:
    void init() {
        m_dialogs = std::make_unique<ScriptedDialogs>();
        m_form = std::make_unique<TFormParSetting>(*m_dialogs);
        m_onOff = std::make_unique<TFormOnOffMode>(m_form.get());
        m_form->setOnOffModeDialog(m_onOff.get());
    }
    void cleanup() {
        m_onOff.reset();
        m_form.reset();
        m_dialogs.reset();
    }

    void keyRules_data() {
        QTest::addColumn<int>("family");
        QTest::addColumn<QString>("cells");
        QTest::addColumn<int>("current");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("result");  // cells|current
        const QString bs(QChar(grid::kBackspace));
        const int tel = int(Family::Telephone), hex = int(Family::Hex);
        const QString empty16(16, ' ');
        QTest::newRow("17 digits into an empty number")
            << tel << empty16 << 0 << "12345678901234567"
            << "1234567890123457|15";
        QTest::newRow("backspace in the middle")
            << tel << "0630123456      " << 7 << bs << "063012          |6";
        QTest::newRow("backspace in the first cell")
            << tel << "0630123456      " << 0 << bs << QString(empty16 + "|0");
        QTest::newRow("letters, blanks and signs dropped") << tel << empty16 << 0 << "1a +#2"
                                                           << "12              |2";
        QTest::newRow("account: backspace leaves zeros") << hex << "1A2B" << 3 << bs << "1A00|2";
        QTest::newRow("account: backspace in the first cell")
            << hex << "1A2B" << 0 << bs << "0000|0";
        QTest::newRow("lower case becomes upper case") << hex << "   " << 0 << "b"
                                                       << "B  |1";
        QTest::newRow("G, colon and blank change nothing") << hex << "1  " << 1 << "G: "
                                                           << "1  |1";
        QTest::newRow("last cell replaced") << hex << "   " << 0 << "abcd"
                                            << "ABD|2";
    }
    void keyRules() {
        QFETCH(int, family);
        QFETCH(QString, cells);
        QFETCH(int, current);
        QFETCH(QString, keys);
        QFETCH(QString, result);
        QCOMPARE(typed(Family(family), cells, current, keys), result);
    }

    void cellRules_data() {
        QTest::addColumn<int>("family");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("kept");
        const int tel = int(Family::Telephone), hex = int(Family::Hex);
        QTest::newRow("phone digit") << tel << "7x"
                                     << "7";
        QTest::newRow("phone letter") << tel << "x7"
                                      << " ";
        QTest::newRow("phone empty") << tel << ""
                                     << " ";
        QTest::newRow("hex lower case") << hex << "c"
                                        << "C";
        QTest::newRow("hex out of range") << hex << "g"
                                          << " ";
    }
    void cellRules() {
        QFETCH(int, family);
        QFETCH(QString, text);
        QFETCH(QString, kept);
        QCOMPARE(QString(grid::validateCell(Family(family), text)), kept);
    }

    // The same rules through the real grids and their keys.
    void gridsTakeKeys() {
        DigitGrid* tel = control<DigitGrid>("acgTel2");
        QVERIFY(tel);
        QTest::keyClicks(tel, QStringLiteral("06x30"));
        QCOMPARE(tel->cells(), QStringLiteral("0630            "));
        QTest::keyClick(tel, Qt::Key_Backspace);
        QCOMPARE(tel->cells(), QStringLiteral("063             "));
        DigitGrid* event = control<DigitGrid>("acgEvent47");
        QTest::keyClicks(event, QStringLiteral("1a"));
        QCOMPARE(event->cells(), QStringLiteral("1A "));
        QCOMPARE(control<DigitGrid>("acgUserAccount")->cellCount(), 4);
        QCOMPARE(event->family(), Family::Hex);
        QCOMPARE(control<DigitGrid>("acgSMSFW")->cellCount(), 16);
    }

    void gapInANumberIsKept() {
        QByteArray image(A::ImageSize, '\0');
        image.replace(A::Phone1 + 16, 5,
                      QByteArray("06\0"
                                 "30",
                                 5));
        m_form->LoadFromImage(img(image));
        QCOMPARE(control<DigitGrid>("acgTel2")->cells(), QStringLiteral("06 30           "));
        image.replace(A::Phone1 + 16, 16, QByteArray(16, '\x11'));  // the store rewrites it
        QTest::mouseClick(m_form->btSettingOK, Qt::LeftButton);
        image = m_form->StoreToImage().bytes();
        QCOMPARE(image.mid(A::Phone1 + 16, 16), QByteArray("06\0"
                                                           "30",
                                                           5) +
                                                    QByteArray(11, '\0'));
    }

    void remoteButtons_data() {
        QTest::addColumn<int>("nibble");
        QTest::addColumn<QString>("typed");  // empty: leave as loaded
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("stored");
        QTest::newRow("a function") << 5 << ""
                                    << "Kikapcsolás" << 5;
        QTest::newRow("9 shows nothing") << 9 << ""
                                         << "" << 15;
        QTest::newRow("15 shows nothing") << 15 << ""
                                          << "" << 15;
        QTest::newRow("typed function") << 0 << "Relé2"
                                        << "--" << 7;
        QTest::newRow("typed other text") << 1 << "Valami"
                                          << "Élesítés P1&P2" << 15;
    }
    void remoteButtons() {
        QFETCH(int, nibble);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(int, stored);
        QByteArray image(A::ImageSize, '\0');
        const int at = A::RemoteButtons + 2 * 6 + 1;  // user 7, buttons 3 and 4
        image[at] = char(nibble << 4 | 0x02);
        m_form->LoadFromImage(img(image));
        QComboBox* box = control<QComboBox>("cbRFButtC07");
        QCOMPARE(box->currentText(), shown);
        QCOMPARE(control<QComboBox>("cbRFButtD07")->currentText(), QStringLiteral("Élesítés P1"));
        QVERIFY(box->isEditable());
        QCOMPARE(box->maxVisibleItems(), 9);
        if (!typed.isEmpty()) box->setEditText(typed);
        QTest::mouseClick(m_form->btSettingOK, Qt::LeftButton);
        image = m_form->StoreToImage().bytes();
        QCOMPARE(quint8(image.at(at)), quint8(stored << 4 | 0x02));
    }

    void onOffModeDialog() {
        QCOMPARE(m_onOff->windowTitle(),
                 QStringLiteral("Élesítés / Kikapcsolás módja az A és B bemeneteken"));
        QCOMPARE(m_onOff->rgOnOffModeBox->title(), QStringLiteral("Élesítés / Kikapcsolás"));
        // The texts themselves are pinned in exactLongTexts; here, that the buttons show them.
        const QStringList texts = TFormOnOffMode::itemTexts();
        for (int i = 0; i < 4; ++i) QCOMPARE(m_onOff->rgOnOffMode->button(i)->text(), texts[i]);

        QSpinBox* mode = m_form->udOnOffMode;
        mode->setValue(2);
        int selectedWhenShown = -1;
        QTimer::singleShot(0, m_onOff.get(), [&] {
            selectedWhenShown = m_onOff->itemIndex();
            m_onOff->rgOnOffMode->button(0)->click();
            QTest::mouseClick(m_onOff->btClose, Qt::LeftButton);
        });
        QTest::mouseClick(m_form->btOnOffMode, Qt::LeftButton);
        QCOMPARE(selectedWhenShown, 2);
        QVERIFY(m_onOff->rgOnOffMode->button(2)->text().startsWith("2 - "));
        QCOMPARE(mode->value(), 0);

        // Closed by its title bar: the choice is not taken.
        mode->setValue(3);
        QTimer::singleShot(0, m_onOff.get(), [&] {
            m_onOff->rgOnOffMode->button(1)->click();
            m_onOff->close();
        });
        QTest::mouseClick(m_form->btOnOffMode, Qt::LeftButton);
        QCOMPARE(mode->value(), 3);
        // Its box takes no typing; the arrows still work.
        QVERIFY(mode->findChild<QLineEdit*>()->isReadOnly());
    }

    void exactLongTexts() {
        // Blank runs are part of these texts.
        const QStringList items{
            QStringLiteral("0 - Csak a kezelőn keresztül"),
            QStringLiteral("1 - Kapcsolóval:                                                       "
                           "         Folyamatos 1k = Élesített ,                   Folyamatos 2k = "
                           "Kikapcsolt,      (egyéb = szabotázs)"),
            QStringLiteral(
                "2 - Kétféle impulzussal:     Folyamatos 2k = alaphelyzet,    Rövidzár impulzus = "
                "Élesítés,              1k Impulzus = Kikapcsolás        (szakadás = szabotázs)"),
            QStringLiteral("3 - Egyféle impulzussal:    Folyamatos 2k = alaphelyzet,    1k "
                           "impulzus = Élesítés/Kikapcsolás,                                       "
                           "               (egyéb = szabotázs)")};
        QCOMPARE(TFormOnOffMode::itemTexts(), items);
        QCOMPARE(
            m_form->findChild<QLabel*>("lbSmsNote")->text(),
            QStringLiteral(
                "*  :  Az SMS üzenet szövegében a $ karakter helyére a zóna vagy a felhasználó "
                "nevét, a # karakter helyére pedig a sorszámát helyettesíti a modul."));
    }

    void captions() {
        auto label = [this](const QString& name) {
            QLabel* l = m_form->findChild<QLabel*>(name);
            return l ? l->text() : QStringLiteral("<missing %1>").arg(name);
        };
        QCOMPARE(label("EventLabel1"), QStringLiteral("01. IN1 Riasztás     "));
        QCOMPARE(label("EventLabel47"), QStringLiteral("47. RF zaj           "));
        QCOMPARE(label("lbREventLabel48"), QStringLiteral("48. IN1 jelez        "));
        QCOMPARE(label("lbREventLabel59"), QStringLiteral("59. IN12 jelez       "));
        QVERIFY(m_form->findChild<QLabel*>("EventLabel48") == nullptr);
        QVERIFY(label("lbSmsNote").startsWith("*  :  Az SMS üzenet szövegében a $ karakter"));
        QCOMPARE(control<CheckColumn>("clbEvents9")->count(), 47);
        QCOMPARE(control<CheckColumn>("cblR6")->count(), 60);
        QCOMPARE(control<QLineEdit>("edSMS12")->maxLength(), 20);
        QCOMPARE(control<QSpinBox>("UdHanguz47")->maximum(), 12);
        QCOMPARE(control<QComboBox>("cbOUT2mode")->itemText(1),
                 QStringLiteral("1 - Sziréna 0V    (alaphelyzet 12V, riasztáskor 0V )"));
        QCOMPARE(control<QComboBox>("cbACK4")->itemText(2),
                 QStringLiteral("2-   * = nyugta,  # = leállítás"));
        QCOMPARE(control<QComboBox>("cbACK1")->currentIndex(), -1);
        QCOMPARE(control<QSpinBox>("UdOUT1time")->value(), 1);
        QCOMPARE(control<QSpinBox>("UdAlarmMax")->value(), 5);
        QCOMPARE(m_form->meTesztIdopont->displayText(), QStringLiteral("__:__"));
    }

    void firstOpeningShowsTheRelayListAtTheTop() {
        m_form->show();
        QCOMPARE(m_form->PageControl->currentIndex(), int(TFormParSetting::kRelays));
        QCOMPARE(m_form->ScrollBox2->verticalScrollBar()->value(), 0);
        QVERIFY(m_form->ScrollBox2->verticalScrollBar()->maximum() > 0);
    }

    void tallColumnsPassTheFocusOn() {
        CheckColumn* events = control<CheckColumn>("clbEvents3");
        QFocusEvent in(QEvent::FocusIn, Qt::MouseFocusReason);
        QApplication::sendEvent(events->item(40), &in);
        QCOMPARE(m_form->focusWidget(), static_cast<QWidget*>(m_form->ScrollBox1));
        QApplication::sendEvent(control<CheckColumn>("cblR4")->item(59), &in);
        QCOMPARE(m_form->focusWidget(), static_cast<QWidget*>(m_form->ScrollBox2));
    }

    void testTimeWithBlankHourDigit() {
        QByteArray image(A::ImageSize, '\0');
        m_form->LoadFromImage(img(image));
        QLineEdit* time = m_form->meTesztIdopont;
        QCOMPARE(time->displayText(), QStringLiteral("00:00"));
        time->clear();
        time->setCursorPosition(1);
        QTest::keyClicks(time, QStringLiteral("730"));
        QCOMPARE(time->displayText(), QStringLiteral("_7:30"));
        QTest::mouseClick(m_form->btSettingOK, Qt::LeftButton);
        image = m_form->StoreToImage().bytes();
        QCOMPARE(image.mid(A::TestTime, 2), QByteArray("\x07\x1E", 2));
    }

};

QTEST_MAIN(TestParamPages)
#include "test_param_pages.moc"
