#include "app/serialform.h"

#include <QHBoxLayout>
#include <QTextCursor>
#include <QVBoxLayout>

#include "base/dialogs.h"
#include "link/modulelink.h"
#include "link/modem.h"
#include "link/protocol.h"
#include "link/texts.h"
#include "params/trafficmask.h"

namespace {
constexpr int kWidth = 383;
constexpr int kHeight = 495;
}  // namespace

TSerialForm::TSerialForm(ModuleLink& link, UserDialogs& dialogs, QWidget* parent)
    : QWidget(parent), m_link(link), m_dialogs(dialogs) {
    setWindowTitle(QStringLiteral("Soros kapcsolat részletei"));
    RxMemo = new QPlainTextEdit(this);
    RxMemo->setObjectName(QStringLiteral("RxMemo"));
    RxMemo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    RxMemo->setWordWrapMode(QTextOption::WrapAnywhere);
    // Status polling alone writes two lines a second all day; the oldest lines go.
    RxMemo->setMaximumBlockCount(kTrafficLogMaxLines);
    btClose = new QPushButton(QStringLiteral("Ablak bezárása"), this);
    btClose->setObjectName(QStringLiteral("btClose"));
    btClear = new QPushButton(QStringLiteral("Ablak törlése"), this);
    btClear->setObjectName(QStringLiteral("btClear"));
    btAT = new QPushButton(QStringLiteral("AT"), this);
    btAT->setObjectName(QStringLiteral("btAT"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(RxMemo, 1);
    auto* row = new QHBoxLayout;
    row->addWidget(btAT);
    row->addWidget(btClear);
    row->addStretch();
    row->addWidget(btClose);
    layout->addLayout(row);
    resize(kWidth, kHeight);

    connect(btClose, &QPushButton::clicked, this, &TSerialForm::btCloseClick);
    connect(btClear, &QPushButton::clicked, this, &TSerialForm::btClearClick);
    connect(btAT, &QPushButton::clicked, this, &TSerialForm::btATClick);
    connect(&m_link, &ModuleLink::trafficLine, this, &TSerialForm::writeLine);
}

void TSerialForm::writeLine(const QString& text) {
    QTextCursor cursor(RxMemo->document());
    cursor.movePosition(QTextCursor::End);
    cursor.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(trafficmask::hideCodes(text) + QLatin1Char('\n'));
}

void TSerialForm::btCloseClick() {
    emit closedByButton();
    hide();
}

void TSerialForm::btClearClick() { RxMemo->clear(); }

void TSerialForm::btATClick() {
    reportComErrors(m_dialogs, [this] {
        if (!modem::probe(m_link)) m_link.setStatusText(QString::fromUtf8(texts::kBusy));
    });
}
