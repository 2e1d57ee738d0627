#pragma once

#include <QStringList>

#include "base/dialogs.h"

// Answers instead of the user and records every text shown.
class ScriptedDialogs : public UserDialogs {
public:
    void message(const QString& text) override { messages.append(text); }
    bool confirm(const QString& text) override {
        confirmations.append(text);
        return answers.isEmpty() ? false : answers.takeFirst();
    }
    QString openFileName(const QString& filter, const QString&) override {
        filters.append(filter);
        return paths.isEmpty() ? QString() : paths.takeFirst();
    }
    QString saveFileName(const QString& filter, const QString&) override {
        filters.append(filter);
        return paths.isEmpty() ? QString() : paths.takeFirst();
    }

    QStringList messages;
    QStringList confirmations;
    QStringList filters;
    QList<bool> answers;  // Yes/No answers, in order; No when none is left
    QStringList paths;    // chosen file names, in order; cancel when none is left
};
