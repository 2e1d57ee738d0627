#include "app/qtdialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

static QWidget* owner() { return QApplication::activeWindow(); }

void QtDialogs::message(const QString& text) {
    QMessageBox::information(owner(), QApplication::applicationDisplayName(), text);
}

bool QtDialogs::confirm(const QString& text) {
    return QMessageBox::question(owner(), QApplication::applicationDisplayName(), text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

QString QtDialogs::openFileName(const QString& filter, const QString& initialName) {
    return QFileDialog::getOpenFileName(owner(), QString(), initialName, filter);
}

QString QtDialogs::saveFileName(const QString& filter, const QString& initialName) {
    return QFileDialog::getSaveFileName(owner(), QString(), initialName, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}
