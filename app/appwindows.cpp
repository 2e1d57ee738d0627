#include "app/appwindows.h"

TelvoraWindows::TelvoraWindows(std::unique_ptr<SerialDevice> device, const QString& setupPath)
    : link(std::move(device)), mainForm(link, setupPath), serialForm(link), downloadForm(link) {
    mainForm.setTrafficWindow(&serialForm);
    mainForm.onParameterSetting = [this] {
        downloadForm.show();
        downloadForm.raise();
        downloadForm.activateWindow();
    };
}
