#include "app/appwindows.h"

#include <QScreen>

#include "base/onscreen.h"
#include "config/history.h"
#include "config/historyform.h"

TelvoraWindows::TelvoraWindows(UserDialogs& dialogs, const Timings& timings,
                               std::unique_ptr<SerialDevice> device, const QString& setupPath)
    : link(std::move(device), timings),
      eventListForm(link, dialogs, moduleNameFields()),
      firmwareForm(link, dialogs),
      statusForm(link, dialogs, eventListForm),
      clockForm(link, dialogs),
      rfForm(link, dialogs),
      mainForm(link, dialogs, setupPath),
      // The editor is made before the transfer window it is opened from, so it has no parent
      // window; it is modal and placed on the main window's screen when it opens.
      parSettingForm(dialogs),
      serialForm(link, dialogs),
      downloadForm(link, dialogs),
      onOffModeForm(&parSettingForm) {
    parSettingForm.setOnOffModeDialog(&onOffModeForm);
    QWidget* const everyWindow[] = {&eventListForm,  &firmwareForm, &statusForm,
                                    &clockForm,      &rfForm,       &mainForm,
                                    &parSettingForm, &serialForm,   &downloadForm,
                                    &onOffModeForm,  &downloadForm.historyForm()};
    for (QWidget* w : everyWindow) keepOnScreen(w);
    // Every configuration read, written or compared is kept, so none is ever lost.
    downloadForm.transfer().setHistoryFolder(history::defaultFolder());
    mainForm.setTrafficWindow(&serialForm);
    mainForm.onParameterSetting = [this] {
        downloadForm.show();
        downloadForm.raise();
        downloadForm.activateWindow();
    };
    mainForm.onEventlistShort = [this] {
        eventListForm.show();
        eventListForm.raise();
        eventListForm.activateWindow();
    };
    // Polling runs while the window is open; the line's owner keeps the keep-alive quiet.
    mainForm.onStatus = [this] {
        statusForm.startPolling();
        statusForm.exec();
        statusForm.stopPolling();
    };
    mainForm.onClock = [this] { clockForm.exec(); };
    // The radio window polls while it is open; the keep-alive and the status polls wait.
    mainForm.onRFlearn = [this] {
        statusForm.StatusTimer().stop();
        rfForm.startPolling();
        rfForm.exec();
        rfForm.stopPolling();
    };
    mainForm.onFirmware = [this] {
        firmwareForm.show();
        firmwareForm.raise();
        firmwareForm.activateWindow();
    };
    // The editor gets a copy of the image and hands the edited one back on OK; it is modal, so
    // nothing else changes the image meanwhile.
    downloadForm.onEdit = [this] {
        // On the screen that shows the main window, whatever its size.
        if (const QScreen* screen = mainForm.screen()) {
            parSettingForm.fitTo(screen->availableGeometry());
            onOffModeForm.fitTo(screen->availableGeometry());
        }
        parSettingForm.LoadFromImage(downloadForm.ConfigImage());
        if (parSettingForm.exec() == QDialog::Accepted)
            downloadForm.setConfigImage(parSettingForm.StoreToImage());
    };
}
