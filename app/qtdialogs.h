#pragma once

#include <QMessageBox>
#include <memory>

#include "base/dialogs.h"

class QtDialogs : public UserDialogs {
public:
    void message(const QString& text) override;
    bool confirm(const QString& text) override;
    QString openFileName(const QString& filter, const QString& initialName) override;
    QString saveFileName(const QString& filter, const QString& initialName) override;

    // Once the run is ending, nothing more is asked or told: an operation that the closing
    // program ended must not hold the process with a box no window owns. Questions are
    // answered No, file dialogs cancelled.
    void setRunEnding() { m_runEnding = true; }

    // The box message() and confirm() show. Texts are always plain: what the module sends and
    // what a file name holds must never be read as markup.
    static std::unique_ptr<QMessageBox> makeBox(QMessageBox::Icon icon, const QString& text,
                                                QMessageBox::StandardButtons buttons);

private:
    bool m_runEnding = false;
    QString m_lastFolder;  // where the user last chose a file, for the next dialog
};
