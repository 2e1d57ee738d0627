#pragma once

#include <QDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <functional>

#include "config/history.h"

class ConfigTransfer;
class UserDialogs;

// The configurations kept in the history, newest first. For the entry picked it shows the
// parameters that differ from the image, and loads it into the image as opening a data file
// does; any data file can be set against the image the same way.
class TFormHistory : public QDialog {
    Q_OBJECT
public:
    // Loads a data file into the image the way the transfer window's "Beolvasás fájlból"
    // does; true when it was taken.
    using Loader = std::function<bool(const QString& path)>;
    TFormHistory(ConfigTransfer& transfer, Loader load, UserDialogs& dialogs,
                 QWidget* parent = nullptr);

    QTableWidget* gridEntries;  // time, event
    QPlainTextEdit* memoDiff;
    QPushButton* btLoadEntry;
    QPushButton* btCompareFile;
    QPushButton* btClose;

    // Lists the folder's entries again; the newest is picked.
    void refresh();
    const QList<history::Entry>& entries() const { return m_entries; }

    void gridEntriesSelect();
    void btLoadEntryClick();
    void btCompareFileClick();

private:
    // Shows what differs between `other` and the image, or why it cannot.
    void showDifferences(const QString& path, const QString& title);

    ConfigTransfer& m_transfer;
    Loader m_load;
    UserDialogs& m_dialogs;
    QList<history::Entry> m_entries;
};
