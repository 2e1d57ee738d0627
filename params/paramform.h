#pragma once

#include <QByteArray>
#include <QDialog>
#include <QHash>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <functional>

#include "params/editorbinder.h"
#include "params/layout.h"
#include "params/paramimage.h"

class CheckColumn;
class DigitGrid;
class QCheckBox;
class QHBoxLayout;
class QButtonGroup;
class QComboBox;
class QScrollArea;
class QSpinBox;
class TFormOnOffMode;
class UserDialogs;

// The editor of every parameter of the configuration image. Values live in the controls
// between LoadFromImage and StoreToImage; the window has no link of its own.
class TFormParSetting : public QDialog {
    Q_OBJECT
public:
    explicit TFormParSetting(UserDialogs& dialogs, QWidget* parent = nullptr);

    enum PageIndex { kZones, kUsers, kEvents, kRelays, kPhones, kRadio };
    // What the window asks for when the screen has room; a smaller screen gets a smaller
    // window whose pages scroll.
    static constexpr QSize kPreferredSize{1060, 640};
    // What a title bar and borders add, until the window has been shown once.
    static constexpr QSize kTypicalFrame{16, 40};

    QTabWidget* PageControl;
    QPushButton* btSettingOK;
    QPushButton* btSettingCancel;
    QLineEdit* edMasterCode;
    QScrollArea* ScrollBox1;  // event rows
    QScrollArea* ScrollBox2;  // relay trigger rows
    QLineEdit* meTesztIdopont;
    QSpinBox* udOnOffMode;
    QPushButton* btOnOffMode;

    // The inputs A and B dialog lives as long as the program; the editor only borrows it.
    void setOnOffModeDialog(TFormOnOffMode* dialog) { m_onOffMode = dialog; }

    // Sizes and centres the window on the available area of a screen (the one that shows the
    // main window); a smaller screen gets a smaller window whose pages scroll.
    void fitTo(const QRect& available);

    // Fills every control from a copy of the image.
    void LoadFromImage(const ParamImage& image);
    // The loaded image with every control written into it; bytes that no control shows stay
    // as they were loaded.
    ParamImage StoreToImage() const;

    void btSettingOKClick();
    void btSettingCancelClick() { reject(); }
    // Shared by every user code box and the installer code box, when it loses the focus.
    void edUserCode1Exit(QLineEdit* box);
    void btOnOffModeClick();
    // Key rules of the telephone and the hexadecimal grids, one character at a time.
    static void acgTel1KeyPress(DigitGrid& grid, QChar key);
    static void acgUserAccountKeyPress(DigitGrid& grid, QChar key);
    // A tall check column never takes the focus: its scrolling area does, so the area does not
    // jump to bring the whole column into view.
    void clbEvents1Enter() { focusScrollBox(ScrollBox1); }
    void cblR1Enter() { focusScrollBox(ScrollBox2); }
    void FormCreate();

    // A control of any page by its name (spinner, box, list, option group, check column).
    template <class T>
    T* control(const QString& name) const {
        return qobject_cast<T*>(m_controls.value(name));
    }
    QStringList controlNames() const { return m_controls.keys(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void registerControl(QObject* control);
    QWidget* buildZonesPage();
    QWidget* buildUsersPage();
    QWidget* buildEventsPage();
    QWidget* buildRelaysPage();
    QWidget* buildPhonesPage();
    QWidget* buildRadioPage();

    // Controls made from the layout table: the field named by `pattern` and `number` gives the
    // control's name, range, length and choices. A pattern the table lacks throws.
    layout::Instance fieldOf(const char* pattern, int number = 1) const;
    QLineEdit* makeTextBox(const char* pattern, int number, QWidget* parent);
    QSpinBox* makeSpin(const char* pattern, int number, QWidget* parent);
    QComboBox* makeDropDown(const char* pattern, int number, QWidget* parent);
    // The group's option buttons are made too, one per choice; the page places them.
    QButtonGroup* makeOptionGroup(const char* pattern, int number, QWidget* parent);
    DigitGrid* makeGrid(const char* pattern, int number = 1);
    // The check columns of a field: one per bit of a rights word or report mask, the one of a
    // flag, or the one of each listed trigger set.
    QList<CheckColumn*> makeCheckColumns(const char* pattern, const QList<int>& numbers = {1});

    void focusScrollBox(QScrollArea* area);
    void addTallChecks(QHBoxLayout* row, QWidget* rowWidget, const QList<CheckColumn*>& columns,
                       QList<QCheckBox*>& boxes);
    QScrollArea* makeRowsArea(const QString& name, QWidget* rows, const QList<QCheckBox*>& boxes,
                              QHBoxLayout* heading);

    QHash<QString, QObject*> m_controls;
    QList<editor::FieldBinding> m_bindings;
    UserDialogs& m_dialogs;
    ParamImage m_image;
    TFormOnOffMode* m_onOffMode = nullptr;
    QHash<QObject*, QScrollArea*> m_tallColumnBoxes;
};
