#pragma once

#include <QButtonGroup>
#include <QDialog>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

// An option whose text is laid out in lines at its blank runs: the first phrase, then each
// further phrase on a line of its own, indented under the first. text() stays the whole text,
// blank runs included.
class PhraseRadioButton : public QRadioButton {
    Q_OBJECT
public:
    PhraseRadioButton(const QString& text, QWidget* parent);
    // The phrases of a text: what lies between runs of two or more blanks.
    static QStringList phrases(const QString& text);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int indent() const;  // where the further phrases begin, from the text's left edge
};

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
    // Sizes and centres the dialog on the available area of a screen, as the editor does.
    void fitTo(const QRect& available);

private:
    QSpinBox* m_target = nullptr;
};
