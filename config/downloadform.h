#pragma once

#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <functional>

#include "config/configimage.h"
#include "config/transfer.h"

class ModuleLink;
class UserDialogs;

// Holds the PC's copy of the parameter memory and moves it between module, file and editor.
class TFormDownload : public QWidget {
    Q_OBJECT
public:
    TFormDownload(ModuleLink& link, UserDialogs& dialogs, QWidget* parent = nullptr);

    const ParamImage& ConfigImage() const { return m_transfer.ConfigImage(); }
    void setConfigImage(const ParamImage& image) { m_transfer.setConfigImage(image); }
    ConfigTransfer& transfer() { return m_transfer; }

    QLabel* BP[8];  // BP1..BP8
    QPushButton* btOpen;
    QPushButton* btSave;
    QPushButton* btRead;
    QPushButton* btWrite;
    QPushButton* btCompare;
    QPushButton* btEdit;
    QPushButton* btStop;
    QPushButton* btClose;

    // The parameter editor attaches here: it loads the image, runs modally, stores it back.
    std::function<void()> onEdit;

    QColor panelColour(int block) const;
    void setPanelColour(int block, PanelColour colour);
    void setAllPanels(PanelColour colour);
    void setTransferButtonsEnabled(bool enabled);

    void btReadClick();
    void btWriteClick();
    void btCompareClick();
    void btOpenClick();
    void btSaveClick();
    void btEditClick();
    void btStopClick();
    void btCloseClick() { hide(); }

private:
    UserDialogs& m_dialogs;
    ConfigTransfer m_transfer;
};
