#include "app/appwindows.h"

TelvoraWindows::TelvoraWindows(std::unique_ptr<SerialDevice> device, const QString& setupPath)
    : link(std::move(device)),
      mainForm(link, setupPath),
      serialForm(link),
      downloadForm(link),
      parSettingForm(&downloadForm),
      onOffModeForm(&parSettingForm) {
    parSettingForm.setOnOffModeDialog(&onOffModeForm);
    mainForm.setTrafficWindow(&serialForm);
    mainForm.onParameterSetting = [this] {
        downloadForm.show();
        downloadForm.raise();
        downloadForm.activateWindow();
    };
    // The editor works on the transfer window's image, modally: nothing else may change the
    // image while it is open.
    downloadForm.onEdit = [this] {
        parSettingForm.LoadFromImage(downloadForm.ConfigImage());
        parSettingForm.exec();
    };
}
