#include "app/startup.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

#include "base/onscreen.h"
#include "events/eventtexts.h"
#include "params/flashaddr.h"

namespace {
constexpr int kCaptionedEvents = FlashAddr::EventCount;  // rows of the event page
constexpr int kCaptionedTriggers = FlashAddr::TriggerCount - 1;  // relay rows 1..59
}  // namespace

void nameApplication() {
    QGuiApplication::setApplicationName(QStringLiteral("GSM-Korvanta Telvora"));
    // A display name would be appended to every window title by the platform.
    QGuiApplication::setDesktopFileName(QStringLiteral("telvora"));
}

void writeCaptions(TelvoraWindows& w) {
    w.mainForm.lbSelectSerialPort->setText(QStringLiteral("Soros port kiválasztása"));
    for (int i = 1; i <= kCaptionedEvents; ++i)
        if (auto* l = w.parSettingForm.findChild<QLabel*>(QStringLiteral("EventLabel%1").arg(i)))
            l->setText(eventCaption(i));
    for (int i = 1; i <= kCaptionedTriggers; ++i)
        if (auto* l = w.parSettingForm.findChild<QLabel*>(QStringLiteral("lbREventLabel%1").arg(i)))
            l->setText(eventCaption(i));
    w.mainForm.setWindowTitle(TFormWelcome::mainCaption());
}

TelvoraStartUp::TelvoraStartUp(UserDialogs& dialogs, const Timings& timings,
                               std::unique_ptr<SerialDevice> device, const QString& setupPath)
    : welcome(timings.splashMs),
      m_dialogs(dialogs),
      m_timings(timings),
      m_device(std::move(device)),
      m_setupPath(setupPath) {
    keepOnScreen(&welcome);
    connect(&welcome, &TFormWelcome::createAll, this, &TelvoraStartUp::createAll);
    connect(&welcome, &TFormWelcome::showMain, this, &TelvoraStartUp::showMain);
}

TelvoraStartUp::~TelvoraStartUp() = default;

void TelvoraStartUp::start() {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    welcome.move(screen.center() - welcome.rect().center());
    welcome.show();
}

void TelvoraStartUp::createAll() {
    windows = std::make_unique<TelvoraWindows>(m_dialogs, m_timings, std::move(m_device),
                                               m_setupPath);
    writeCaptions(*windows);
    // Closing the main window closes the splash, the application's main form, and so the run.
    connect(&windows->mainForm, &TForm1::closed, this, [this] {
        // Whatever still talks to the module (an upload, a transfer, a poll) ends here, as Stop
        // would end it: the run is over, so nothing may go on sending behind closed windows.
        windows->link.shutDown();
        welcome.close();
        emit ended();
    });
    emit windowsCreated();
}

void TelvoraStartUp::showMain() {
    TForm1& main = windows->mainForm;
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    main.move(screen.center() - main.rect().center());
    main.show();
    emit mainShown();
}
