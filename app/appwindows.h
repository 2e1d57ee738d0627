#pragma once

#include <QString>
#include <memory>

#include "app/mainform.h"
#include "app/serialform.h"
#include "config/downloadform.h"
#include "link/modulelink.h"
#include "params/onoffmode.h"
#include "params/paramform.h"

// Every window of the program, created once and wired to the others; they live until the end.
class TelvoraWindows {
public:
    explicit TelvoraWindows(std::unique_ptr<SerialDevice> device = makeQtSerialDevice(),
                            const QString& setupPath = QStringLiteral("setup.ini"));

    ModuleLink link;
    TForm1 mainForm;
    TSerialForm serialForm;
    TFormDownload downloadForm;
    TFormParSetting parSettingForm;
    TFormOnOffMode onOffModeForm;
};
