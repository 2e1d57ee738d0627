#pragma once

#include <QButtonGroup>
#include <QDialog>
#include <QGroupBox>
#include <QPushButton>
#include <QSpinBox>

// Chooses how inputs A and B arm and disarm. Its button copies the choice into the editor's
// spinner; closing it any other way changes nothing.
class TFormOnOffMode : public QDialog {
    Q_OBJECT
public:
    explicit TFormOnOffMode(QWidget* parent = nullptr);

    static const QStringList& itemTexts();

    QGroupBox* rgOnOffModeBox;
    QButtonGroup* rgOnOffMode;
    QPushButton* btClose;

    // The spinner the choice goes into (the editor's udOnOffMode).
    void setTarget(QSpinBox* target) { m_target = target; }
    void setItemIndex(int index);
    int itemIndex() const { return rgOnOffMode->checkedId(); }

    void btCloseClick();

private:
    QSpinBox* m_target = nullptr;
};
