#pragma once

#include <QString>
#include <memory>

#include "app/mainform.h"
#include "app/serialform.h"
#include "clock/clockform.h"
#include "config/downloadform.h"
#include "events/eventlistform.h"
#include "events/names.h"
#include "firmware/firmwareform.h"
#include "link/modulelink.h"
#include "link/timing.h"
#include "params/onoffmode.h"
#include "params/paramform.h"
#include "radio/rfform.h"
#include "status/statusform.h"

class UserDialogs;

// Where the parameter memory keeps the zone and user names, for the names download.
NameFields moduleNameFields();

// Every window of the program, created once and wired to the others; they live until the end.
// The dialog seam and the timer intervals are handed to each from here.
class TelvoraWindows {
public:
    TelvoraWindows(UserDialogs& dialogs, const Timings& timings = Timings(),
                   std::unique_ptr<SerialDevice> device = makeQtSerialDevice(),
                   const QString& setupPath = QStringLiteral("setup.ini"));

    ModuleLink link;
    TForm1 mainForm;
    TSerialForm serialForm;
    TFormDownload downloadForm;
    TFormParSetting parSettingForm;
    TFormOnOffMode onOffModeForm;
    TFormEventlistShort eventListForm;
    TFormStatus statusForm;
    TFormClock clockForm;
    TFormRF rfForm;
    TFormFirmware firmwareForm;
};
