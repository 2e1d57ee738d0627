#pragma once

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>
#include <functional>

#include "config/configimage.h"
#include "config/transfer.h"

class ModuleLink;
class TFormHistory;
class UserDialogs;

// Holds the PC's copy of the parameter memory and moves it between module, file and editor.
class TFormDownload : public QWidget {
    Q_OBJECT
public:
    TFormDownload(ModuleLink& link, UserDialogs& dialogs, QWidget* parent = nullptr);
    ~TFormDownload() override;

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
    // Beyond the transfer itself: the kept configurations, and after a compare that found a
    // block different, the parameters that differ ("key: module -> image").
    QPushButton* btHistory;
    QPlainTextEdit* memoDiff;
    // Under the panels: how the last transfer ended, in words.
    QLabel* lbResult;
    TFormHistory& historyForm() { return *m_history; }

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
    void btHistoryClick();

    // Opens a data file into the image, as "Beolvasás fájlból" does; false, with the error
    // shown, when it cannot be read.
    bool loadDataFile(const QString& path);

private:
    void runTransfer(const std::function<void()>& transfer);
    void showCompareDifferences(ConfigTransfer::Outcome outcome);

    UserDialogs& m_dialogs;
    ConfigTransfer m_transfer;
    TFormHistory* m_history;
};
