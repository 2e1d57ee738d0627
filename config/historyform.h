#pragma once

#include <QDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>

#include "config/history.h"

class TFormDownload;
class UserDialogs;

// The configurations kept in the history, newest first. For the entry picked it shows the
// parameters that differ from the image, and loads it into the image as opening a data file
// does; any data file can be set against the image the same way.
class TFormHistory : public QDialog {
    Q_OBJECT
public:
    TFormHistory(TFormDownload& download, UserDialogs& dialogs, QWidget* parent = nullptr);

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

    TFormDownload& m_download;
    UserDialogs& m_dialogs;
    QList<history::Entry> m_entries;
};
