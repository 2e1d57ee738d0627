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
#include "params/namefields.h"
#include "params/onoffmode.h"
#include "params/paramform.h"
#include "radio/rfform.h"
#include "status/statusform.h"

class UserDialogs;

// Every window of the program, created once and wired to the others; they live until the end.
// The dialog seam and the timer intervals are handed to each from here.
class TelvoraWindows {
public:
    TelvoraWindows(UserDialogs& dialogs, const Timings& timings = Timings(),
                   std::unique_ptr<SerialDevice> device = makeQtSerialDevice(),
                   const QString& setupPath = QStringLiteral("setup.ini"));

    // In the order the program makes them at start-up.
    ModuleLink link;
    TFormEventlistShort eventListForm;
    TFormFirmware firmwareForm;
    TFormStatus statusForm;
    TFormClock clockForm;
    TFormRF rfForm;
    TForm1 mainForm;
    TFormParSetting parSettingForm;
    TSerialForm serialForm;
    TFormDownload downloadForm;
    TFormOnOffMode onOffModeForm;
};
