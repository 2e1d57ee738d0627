#include <algorithm>
#include <QButtonGroup>
#include <QComboBox>
#include <QFocusEvent>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <memory>

#include "app/appwindows.h"
#include "params/digitgrid.h"
#include "params/editorwidgets.h"
#include "params/flashaddr.h"
#include "params/editorbinder.h"
#include "params/layout.h"
#include "params/paramform.h"
#include "support/memoryserial.h"
#include "support/images.h"
#include "support/scripteddialogs.h"

namespace A = FlashAddr;

// The parameter editor offscreen: its frame, the zones and users pages, the code check, and
// the way it is opened from the transfer window.
class TestParamEditor : public QObject {
    Q_OBJECT

    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<TFormParSetting> m_form;

    static QByteArray randomImage(quint32 seed) {
        QRandomGenerator rng(seed);
        QByteArray out(A::ImageSize, '\0');
        for (char& c : out) c = char(rng.bounded(256));
        return out;
    }
    static int zoneByte(int zone, int field) {
        return A::ZoneRecords + A::ZoneRecordSize * (zone - 1) + field;
    }
    QSpinBox* spin(const QString& name) { return m_form->control<QSpinBox>(name); }
    QComboBox* list(const QString& name) { return m_form->control<QComboBox>(name); }
    QButtonGroup* group(const QString& name) { return m_form->control<QButtonGroup>(name); }
    QLineEdit* box(const QString& name) { return m_form->control<QLineEdit>(name); }
    CheckColumn* column(const QString& name) { return m_form->control<CheckColumn>(name); }
    static void leave(QWidget* w) {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(w, &out);
    }

private slots:
    void init() {
        m_dialogs = std::make_unique<ScriptedDialogs>();
        m_form = std::make_unique<TFormParSetting>(*m_dialogs);
    }
    void cleanup() {
        m_form.reset();
        m_dialogs.reset();
    }

    void frame() {
        QCOMPARE(m_form->windowTitle(), QStringLiteral("FormParSetting"));
        const QStringList tabs{"Zónák",
                               "Felhasználók",
                               "Események",
                               "Relé kimenetek",
                               "Telefonszámok && egyéb paraméterek",
                               "Rádiós eszközök beállításai"};
        QCOMPARE(m_form->PageControl->count(), tabs.size());
        for (int i = 0; i < tabs.size(); ++i) QCOMPARE(m_form->PageControl->tabText(i), tabs[i]);
        QCOMPARE(m_form->PageControl->currentIndex(), int(TFormParSetting::kRelays));
        QCOMPARE(m_form->btSettingOK->text(), QStringLiteral("Beállítások Rögzítése"));
        QCOMPARE(m_form->btSettingCancel->text(), QStringLiteral("Beállítások Visszavonása"));
    }

    void initialValues() {
        for (int n = 1; n <= 12; ++n) {
            QCOMPARE(spin(QStringLiteral("UdZonaErz%1").arg(n))->value(), 255);
            QCOMPARE(spin(QStringLiteral("UdZonaIntel%1").arg(n))->value(), 25);
            QCOMPARE(spin(QStringLiteral("UdZonaCover%1").arg(n))->value(), 25);
            QCOMPARE(list(QStringLiteral("cbNightSet%1").arg(n))->currentIndex(), -1);
            QCOMPARE(group(QStringLiteral("rgZonaBek%1").arg(n))->checkedId(), -1);
            QCOMPARE(box(QStringLiteral("edZonaNeve%1").arg(n))->maxLength(), 10);
            QCOMPARE(box(QStringLiteral("edUserCode%1").arg(n))->maxLength(), 6);
        }
        QCOMPARE(spin("udNightDelay")->value(), 1);
        QCOMPARE(spin("udNightDelay")->minimum(), 1);
        QVERIFY(m_form->findChild<QLineEdit*>(QStringLiteral("edZonaBeKesl7")));
        QCOMPARE(column("cblUserRights16")->count(), 12);
        QCOMPARE(column("cbBypass")->count(), 12);
    }

    // Every field of the layout has its one control, made with the table's name, range,
    // length and choices; and there is no control the table does not know.
    void controlsComeFromTheTable() {
        QSet<QString> expected;
        layout::forEachInstance([&](const layout::Instance& in) {
            const layout::Field& f = *in.field;
            const QString name = in.name();
            switch (f.kind) {
                case layout::Kind::Text:
                case layout::Kind::Code:
                case layout::Kind::TestTime: {
                    QLineEdit* b = box(name);
                    QVERIFY2(b, qPrintable(name));
                    if (f.kind != layout::Kind::TestTime)
                        QCOMPARE(b->maxLength(), f.kind == layout::Kind::Code ? 6 : f.size);
                    expected << name;
                    return;
                }
                case layout::Kind::Spinner: {
                    QSpinBox* s = spin(name);
                    QVERIFY2(s, qPrintable(name));
                    QCOMPARE(s->minimum(), f.min);
                    QCOMPARE(s->maximum(), f.max);
                    QVERIFY(s->findChild<QLineEdit*>(layout::boxName(in)));
                    expected << name;
                    return;
                }
                case layout::Kind::DropDown:
                case layout::Kind::RemoteButton: {
                    QComboBox* l = list(name);
                    QVERIFY2(l, qPrintable(name));
                    QStringList items;
                    for (int i = 0; i < l->count(); ++i) items << l->itemText(i);
                    QCOMPARE(items, *f.choices);
                    expected << name;
                    return;
                }
                case layout::Kind::OptionGroup:
                    QVERIFY2(group(name), qPrintable(name));
                    QCOMPARE(group(name)->buttons().size(), f.choices->size());
                    expected << name;
                    return;
                case layout::Kind::Phone:
                case layout::Kind::HexDigits:
                    QVERIFY2(m_form->control<DigitGrid>(name), qPrintable(name));
                    QCOMPARE(m_form->control<DigitGrid>(name)->cellCount(), f.size);
                    expected << name;
                    return;
                default:
                    for (int bit = 0; bit < layout::checkCount(in); ++bit) {
                        const layout::CheckPlace place = layout::checkPlace(in, bit);
                        QVERIFY2(column(place.column), qPrintable(place.column));
                        QVERIFY(place.item < column(place.column)->count());
                        expected << place.column;
                    }
            }
        });
        const QStringList names = m_form->controlNames();
        QCOMPARE(QSet<QString>(names.begin(), names.end()), expected);
    }

    // A field whose control is missing, or is of another kind, stops the editor being built.
    void missingControlFailsLoudly_data() {
        QTest::addColumn<QString>("removed");
        QTest::addColumn<QString>("reported");
        QTest::newRow("a spinner") << "UdZonaIntel7" << "UdZonaIntel7";
        QTest::newRow("a check column") << "cblUserRights16" << "cblUserRights16";
        QTest::newRow("a trigger column") << "cblR6" << "cblR6";
        QTest::newRow("the installer code") << "edMasterCode" << "edMasterCode";
    }
    void missingControlFailsLoudly() {
        QFETCH(QString, removed);
        QFETCH(QString, reported);
        const auto lookup = [&](const QString& name) -> QObject* {
            return name == removed ? nullptr : m_form->control<QObject>(name);
        };
        try {
            editor::bindFields(lookup);
            QFAIL("no failure for a missing control");
        } catch (const editor::MissingControl& e) {
            QCOMPARE(e.name(), reported);
        }
        // Of another kind: a text box where a spinner belongs.
        try {
            editor::bindFields([&](const QString& name) -> QObject* {
                return name == QLatin1String("UdZonaIntel7") ? m_form->control<QObject>("edZonaNeve1")
                                                             : m_form->control<QObject>(name);
            });
            QFAIL("no failure for a control of another kind");
        } catch (const editor::MissingControl& e) {
            QCOMPARE(e.name(), QStringLiteral("UdZonaIntel7"));
        }
    }

    void allZeroImage() {
        QByteArray image(A::ImageSize, '\0');
        m_form->LoadFromImage(img(image));
        QCOMPARE(box("edZonaNeve1")->text(), QString());
        QCOMPARE(box("edUserCode5")->text(), QStringLiteral("******"));
        QCOMPARE(box("edMasterCode")->text(), QStringLiteral("******"));
        QCOMPARE(group("rgZonaBek3")->checkedId(), 0);
        QCOMPARE(group("rgZonaPart3")->checkedId(), 0);
        QCOMPARE(spin("UdZonaErz3")->value(), 0);
        QCOMPARE(spin("udNightDelay")->value(), 1);
        QCOMPARE(list("cbNightSet12")->currentText(), QStringLiteral("Mindíg éles"));
        QVERIFY(!column("cbBypass")->checked(0));
    }

    void outOfRangeValues_data() {
        QTest::addColumn<int>("field");
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("shownNumber");  // option id, spinner value or list index
        QTest::addColumn<int>("written");
        QTest::newRow("wiring 255") << int(A::ZoneWiring) << 255 << 3 << 3;
        QTest::newRow("partition 255") << int(A::ZonePartition) << 255 << 3 << 3;
        QTest::newRow("intelligent 30") << int(A::ZoneIntelligent) << 30 << 25 << 25;
        QTest::newRow("night 255") << int(A::ZoneNight) << 255 << -1 << 255;
        QTest::newRow("night 4") << int(A::ZoneNight) << 4 << -1 << 255;
        QTest::newRow("night 2") << int(A::ZoneNight) << 2 << 2 << 2;
    }
    void outOfRangeValues() {
        QFETCH(int, field);
        QFETCH(int, stored);
        QFETCH(int, shownNumber);
        QFETCH(int, written);
        QByteArray image(A::ImageSize, '\0');
        image[zoneByte(4, field)] = char(stored);
        m_form->LoadFromImage(img(image));
        int shown = 0;
        if (field == A::ZoneWiring) shown = group("rgZonaBek4")->checkedId();
        if (field == A::ZonePartition) shown = group("rgZonaPart4")->checkedId();
        if (field == A::ZoneIntelligent) shown = spin("UdZonaIntel4")->value();
        if (field == A::ZoneNight) shown = list("cbNightSet4")->currentIndex();
        QCOMPARE(shown, shownNumber);
        QTest::mouseClick(m_form->btSettingOK, Qt::LeftButton);
        image = m_form->StoreToImage().bytes();
        QCOMPARE(quint8(image.at(zoneByte(4, field))), quint8(written));
    }

    void reopeningAfterCancelShowsTheImageAgain() {
        // Edits of a cancelled session must not survive into the next opening.
        const QByteArray image = randomImage(3);
        m_form->LoadFromImage(img(image));
        const QString name = box("edZonaNeve2")->text();
        const int delay = spin("UdZonaKiKesl9")->value();
        box("edZonaNeve2")->setText(QStringLiteral("Garázs"));
        spin("UdZonaKiKesl9")->setValue(delay == 7 ? 8 : 7);
        QTest::mouseClick(m_form->btSettingCancel, Qt::LeftButton);
        m_form->LoadFromImage(img(image));
        QCOMPARE(box("edZonaNeve2")->text(), name);
        QCOMPARE(spin("UdZonaKiKesl9")->value(), delay);
    }

    void okStoresEditsAndNothingElse() {
        QByteArray image = randomImage(4);
        const QByteArray before = image;
        m_form->LoadFromImage(img(image));
        box("edZonaNeve2")->setText(QStringLiteral("Garázs"));
        box("edUserName12")->setText(QStringLiteral("Éva"));
        box("edMasterCode")->setText(QStringLiteral("908172"));
        column("cblUserRights5")->setChecked(2, true);
        column("cblUserRights5")->setChecked(3, false);
        column("cbBypass")->setChecked(11, true);
        spin("UdZonaKiKesl9")->setValue(7);
        group("rgZonaPart1")->button(2)->setChecked(true);
        list("cbNightSet6")->setCurrentIndex(-1);
        QTest::mouseClick(m_form->btSettingOK, Qt::LeftButton);
        image = m_form->StoreToImage().bytes();

        QCOMPARE(image.mid(zoneByte(2, A::ZoneName), 10), QByteArray("Gar\xE1zs    "));
        QCOMPARE(image.mid(A::UserRecords + 11 * A::UserRecordSize, 10),
                 QByteArray("\xC9va       "));
        QCOMPARE(image.mid(A::InstallerCode, 3), QByteArray("\x6F\x7E\x8D"));
        QCOMPARE(
            quint8(image.at(A::UserRecords + 2 * A::UserRecordSize + A::UserRights + 1)) & 0x10,
            0x10);
        QCOMPARE(
            quint8(image.at(A::UserRecords + 3 * A::UserRecordSize + A::UserRights + 1)) & 0x10, 0);
        QCOMPARE(image.at(A::Bypass + 11), char(1));
        QCOMPARE(image.at(zoneByte(9, A::ZoneExitDelay)), char(7));
        QCOMPARE(image.at(zoneByte(1, A::ZonePartition)), char(2));
        QCOMPARE(quint8(image.at(zoneByte(6, A::ZoneNight))), quint8(255));

        // Every other byte is what OK without edits would have left.
        QByteArray untouched = before;
        layout::forEachInstance([&](const layout::Instance& in) {
            layout::write(in, untouched, layout::read(in, before));
        });
        const QList<QPair<int, int>> edited{
            {zoneByte(2, A::ZoneName), 10},
            {A::UserRecords + 11 * A::UserRecordSize, 10},
            {A::InstallerCode, 3},
            {A::UserRecords + 2 * A::UserRecordSize + A::UserRights, 2},
            {A::UserRecords + 3 * A::UserRecordSize + A::UserRights, 2},
            {A::Bypass + 11, 1},
            {zoneByte(9, A::ZoneExitDelay), 1},
            {zoneByte(1, A::ZonePartition), 1},
            {zoneByte(6, A::ZoneNight), 1}};
        for (int i = 0; i < A::ImageSize; ++i) {
            const bool inEdited = std::any_of(edited.begin(), edited.end(), [i](const auto& e) {
                return i >= e.first && i < e.first + e.second;
            });
            if (!inEdited) QVERIFY2(image.at(i) == untouched.at(i), qPrintable(QString::number(i)));
        }
        QVERIFY(image != untouched);
    }

    // Every control of every page is loaded and stored: OK without edits gives exactly what
    // reading and writing every field of the layout gives.
    void storeMatchesTheLayout_data() {
        QTest::addColumn<QByteArray>("image");
        QTest::newRow("all zero") << QByteArray(A::ImageSize, '\0');
        QTest::newRow("erased") << QByteArray(A::ImageSize, '\xFF');
        for (quint32 seed : {11u, 12u, 13u, 14u})
            QTest::addRow("random %u", seed) << randomImage(seed);
    }
    void storeMatchesTheLayout() {
        QFETCH(QByteArray, image);
        QByteArray expected = image;
        layout::forEachInstance([&](const layout::Instance& in) {
            layout::write(in, expected, layout::read(in, image));
        });
        m_form->LoadFromImage(img(image));
        QTest::mouseClick(m_form->btSettingOK, Qt::LeftButton);
        image = m_form->StoreToImage().bytes();
        QCOMPARE(image, expected);
    }

    void codeCheck_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("4 digits") << "1234" << true;
        QTest::newRow("6 digits") << "908172" << true;
        QTest::newRow("no code") << "******" << true;
        QTest::newRow("star inside") << "12*4" << true;
        QTest::newRow("3 digits") << "123" << false;
        QTest::newRow("5 digits") << "12345" << false;
        QTest::newRow("a letter") << "12a4" << false;
        QTest::newRow("empty") << "" << false;
    }
    void codeCheck() {
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        for (const char* name : {"edUserCode1", "edUserCode12", "edMasterCode"}) {
            m_dialogs->messages.clear();
            QLineEdit* code = box(name);
            code->setText(typed);
            leave(code);
            QCOMPARE(
                m_dialogs->messages,
                accepted ? QStringList() : QStringList{"A jelszó csak 4 vagy 6 jegyű szám lehet!"});
            QCOMPARE(code->text(), accepted ? typed : QString());
        }
    }

    void leavingTheWindowIsNotLeavingTheBox() {
        box("edUserCode2")->setText(QStringLiteral("12"));
        QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
        QApplication::sendEvent(box("edUserCode2"), &out);
        QVERIFY(m_dialogs->messages.isEmpty());
    }

    // A number below the range becomes the lowest value when the box is left; a key that
    // would take the number past the highest is refused, so the box never holds one.
    void typedNumberOutsideTheRange_data() {
        QTest::addColumn<QString>("spinner");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("value");
        QTest::newRow("night delay 0 -> lowest 1") << "udNightDelay" << "0" << 1;
        QTest::newRow("alarm count 3 -> lowest 5") << "UdAlarmMax" << "3" << 5;
        QTest::newRow("intelligent 30: the 0 is refused") << "UdZonaIntel1" << "30" << 3;
        QTest::newRow("intelligent 99: the second 9 is refused") << "UdZonaIntel1" << "99" << 9;
        QTest::newRow("intelligent 25 is the highest") << "UdZonaIntel1" << "25" << 25;
        QTest::newRow("in range stays") << "UdZonaIntel1" << "17" << 17;
    }
    void typedNumberOutsideTheRange() {
        QFETCH(QString, spinner);
        QFETCH(QString, typed);
        QFETCH(int, value);
        QSpinBox* box = spin(spinner);
        box->setValue(box->minimum() == 0 ? 12 : box->minimum() + 1);
        box->setFocus();
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(box, typed);
        leave(box);
        QCOMPARE(box->value(), value);
    }

    // Through the transfer window, as the installer opens it.
    void openedModallyFromTheTransferWindow() {
        QTemporaryDir dir;
        TelvoraWindows windows(*m_dialogs, Timings(), std::make_unique<MemorySerialDevice>(),
                               dir.filePath("setup.ini"));
        TFormParSetting& editor = windows.parSettingForm;
        ParamImage start;
        start.setAt(zoneByte(1, A::ZoneName), 'Q');
        windows.downloadForm.setConfigImage(start);
        bool wasModal = false;
        int shownPage = -1;
        QTimer::singleShot(0, &editor, [&] {
            wasModal = QApplication::activeModalWidget() == &editor;
            shownPage = editor.PageControl->currentIndex();
            QCOMPARE(editor.control<QLineEdit>("edZonaNeve1")->text(), QStringLiteral("Q"));
            editor.control<QLineEdit>("edZonaNeve1")->setText(QStringLiteral("Nappali"));
            editor.PageControl->setCurrentIndex(TFormParSetting::kZones);
            QTest::mouseClick(editor.btSettingOK, Qt::LeftButton);
        });
        QTest::mouseClick(windows.downloadForm.btEdit, Qt::LeftButton);
        QVERIFY(wasModal);
        QCOMPARE(shownPage, int(TFormParSetting::kRelays));
        QCOMPARE(windows.downloadForm.ConfigImage().bytes().mid(zoneByte(1, A::ZoneName), 10),
                 QByteArray("Nappali   "));

        // The next opening shows the page last in front; a cancel keeps the image.
        const QByteArray image = windows.downloadForm.ConfigImage().bytes();
        QTimer::singleShot(0, &editor, [&] {
            shownPage = editor.PageControl->currentIndex();
            editor.control<QLineEdit>("edZonaNeve1")->setText(QStringLiteral("x"));
            QTest::mouseClick(editor.btSettingCancel, Qt::LeftButton);
        });
        QTest::mouseClick(windows.downloadForm.btEdit, Qt::LeftButton);
        QCOMPARE(shownPage, int(TFormParSetting::kZones));
        QCOMPARE(windows.downloadForm.ConfigImage().bytes(), image);
    }
};

QTEST_MAIN(TestParamEditor)
#include "test_param_editor.moc"
