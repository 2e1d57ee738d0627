#include "app/welcomeform.h"

#include <QFrame>
#include <QPixmap>
#include <QVBoxLayout>

#include "config/versionquery.h"

namespace {
constexpr int kVerLeft = 478;
constexpr int kVerTop = 297;
const char* const kProgramVersion = "v1.22";
}  // namespace

QString TFormWelcome::versionText() {
    return QStringLiteral("%1 (dv.%2)").arg(QLatin1String(kProgramVersion)).arg(TelvoraDataVer);
}

QString TFormWelcome::mainCaption() {
    return QStringLiteral("GSM-Korvanta  ") + versionText();
}

TFormWelcome::TFormWelcome(int tickMs, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("FormWelcome"));
    setWindowTitle(QStringLiteral("GSM-Korvanta Telvora"));
    setStyleSheet(QStringLiteral("TFormWelcome { background: #c0c0c0; }"));
    setAttribute(Qt::WA_StyledBackground);

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    Panel1 = panel;
    Image1 = new QLabel(panel);
    Image1->setObjectName(QStringLiteral("Image1"));
    // A JPEG of our own, decoded through Qt's JPEG plugin.
    Image1->setPixmap(QPixmap(QStringLiteral(":/telvora/splash.jpg")));
    Image1->setFixedSize(558, 320);
    lbVer = new QLabel(versionText(), Image1);
    lbVer->setObjectName(QStringLiteral("lbVer"));
    QFont bold = lbVer->font();
    bold.setBold(true);
    lbVer->setFont(bold);
    lbVer->setAttribute(Qt::WA_TranslucentBackground);
    lbVer->move(kVerLeft, kVerTop);
    lbVer->adjustSize();

    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(1, 1, 1, 1);
    panelLayout->addWidget(Image1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(panel);
    adjustSize();

    // A tick is about a second; tests shorten it.
    for (QTimer* t : {&TimerCreateAll, &TimerShowWelcome}) {
        t->setInterval(tickMs);
        t->setSingleShot(false);
    }
    connect(&TimerCreateAll, &QTimer::timeout, this, &TFormWelcome::TimerCreateAllTimer);
    connect(&TimerShowWelcome, &QTimer::timeout, this, &TFormWelcome::TimerShowWelcomeTimer);
}

void TFormWelcome::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_started) {
        m_started = true;
        TimerCreateAll.start();
    }
}

void TFormWelcome::TimerCreateAllTimer() {
    TimerCreateAll.stop();
    emit createAll();
    TimerShowWelcome.start();
}

void TFormWelcome::TimerShowWelcomeTimer() {
    TimerShowWelcome.stop();
    hide();
    emit showMain();
}
