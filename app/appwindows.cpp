#include "app/appwindows.h"

#include <QScreen>

TelvoraWindows::TelvoraWindows(UserDialogs& dialogs, const Timings& timings,
                               std::unique_ptr<SerialDevice> device, const QString& setupPath)
    : link(std::move(device), timings),
      mainForm(link, dialogs, setupPath),
      serialForm(link, dialogs),
      downloadForm(link, dialogs),
      parSettingForm(dialogs, &downloadForm),
      onOffModeForm(&parSettingForm) {
    parSettingForm.setOnOffModeDialog(&onOffModeForm);
    mainForm.setTrafficWindow(&serialForm);
    mainForm.onParameterSetting = [this] {
        downloadForm.show();
        downloadForm.raise();
        downloadForm.activateWindow();
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
