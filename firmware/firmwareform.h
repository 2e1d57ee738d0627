#pragma once

#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QWidget>
#include <functional>
#include <memory>

#include "firmware/gkffile.h"

class ModuleExchange;
class ModuleLink;
class UserDialogs;

// Loads a firmware file, writes its pages into the module and has the module check them and
// restart. Shown without being modal; its button on the main window stays hidden.
class TFormFirmware : public QWidget {
    Q_OBJECT
public:
    TFormFirmware(ModuleLink& link, UserDialogs& dialogs, QWidget* parent = nullptr);

    QPushButton* btLoad;
    QPushButton* btStart;
    QProgressBar* ProgressBar1;
    QPushButton* btCRC_Restart;
    QPushButton* btStop;
    QPushButton* btClose;
    QStatusBar* StatusBar1;

    void btLoadClick();
    void btStartClick();
    void btStopClick();
    void btCRC_RestartClick();
    void btCloseClick() { hide(); }

    // What the last load gave; empty before the first.
    const gkf::Image* image() const { return m_image.get(); }
    QString statusText() const { return StatusBar1->currentMessage(); }

private:
    // The port is open and pages are loaded; otherwise says why not.
    bool canSend();
    void setStatus(const char* text);
    void setTransferButtonsEnabled(bool enabled);

    ModuleLink& m_link;
    UserDialogs& m_dialogs;
    // Shared with a running upload, so a new load never pulls pages from under it.
    std::shared_ptr<const gkf::Image> m_image;
    bool m_uploading = false;
    // Runs `body` as the one exchange with the module, the buttons off meanwhile. False, with
    // the busy text shown, when another exchange holds the module; otherwise the login's
    // verdict and any serial error are left in m_verdict and m_comError.
    bool withExchange(const std::function<void(ModuleExchange&)>& body);
    QString m_verdict;
    QString m_comError;
};
