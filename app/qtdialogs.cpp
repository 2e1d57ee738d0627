#include "app/qtdialogs.h"

#include <QApplication>
#include <QFileDialog>

#include "base/lastfolder.h"

static QWidget* owner() { return QApplication::activeWindow(); }

std::unique_ptr<QMessageBox> QtDialogs::makeBox(QMessageBox::Icon icon, const QString& text,
                                                QMessageBox::StandardButtons buttons) {
    auto box = std::make_unique<QMessageBox>(owner());
    box->setIcon(icon);
    box->setWindowTitle(QApplication::applicationDisplayName());
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    box->setStandardButtons(buttons);
    return box;
}

void QtDialogs::message(const QString& text) {
    if (m_runEnding) return;
    makeBox(QMessageBox::Information, text, QMessageBox::Ok)->exec();
}

bool QtDialogs::confirm(const QString& text) {
    if (m_runEnding) return false;
    return makeBox(QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No)->exec() ==
           QMessageBox::Yes;
}

QString QtDialogs::openFileName(const QString& filter, const QString& initialName) {
    if (m_runEnding) return {};
    const QString path = QFileDialog::getOpenFileName(
        owner(), QString(), dialogStartPath(m_lastFolder, initialName), filter);
    if (!path.isEmpty()) m_lastFolder = folderOf(path);
    return path;
}

QString QtDialogs::saveFileName(const QString& filter, const QString& initialName) {
    if (m_runEnding) return {};
    const QString path =
        QFileDialog::getSaveFileName(owner(), QString(), dialogStartPath(m_lastFolder, initialName),
                                     filter, nullptr, QFileDialog::DontConfirmOverwrite);
    if (!path.isEmpty()) m_lastFolder = folderOf(path);
    return path;
}
