#pragma once

#include "app/dialogs.h"

class QtDialogs : public UserDialogs {
public:
    void message(const QString& text) override;
    bool confirm(const QString& text) override;
    QString openFileName(const QString& filter, const QString& initialName) override;
    QString saveFileName(const QString& filter, const QString& initialName) override;
};
