#pragma once

#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QWidget>

#include "events/eventrecord.h"
#include "events/eventring.h"
#include "events/names.h"
#include "events/pagedownload.h"

class ModuleExchange;
class ModuleLink;
class UserDialogs;

// The latest 90 events of the module, newest first, with the names of their zones and users.
// Keeps the event memory and the names it read for the whole run of the program.
class TFormEventlistShort : public QWidget {
    Q_OBJECT
public:
    TFormEventlistShort(ModuleLink& link, UserDialogs& dialogs, const NameFields& nameFields,
                        QWidget* parent = nullptr);

    const ::NameTable& NameTable() const { return m_nameTable; }
    const EventRingBytes& EventRing() const { return m_eventRing; }
    const NamePagesBytes& NamePages() const { return m_namePages; }

    QTableWidget* acgEvSh;
    QPushButton* btLoadEvents;
    QPushButton* btLoadNames;
    QPushButton* btClose;
    QStatusBar* StatusBarEventListShort;

    void FormCreate();
    void btLoadEventsClick();
    void btLoadNamesClick() { LoadNames(StatusBarEventListShort); }
    void btCloseClick() { hide(); }
    void ShowEventList();

    // The names download, writing its texts into `statusBar` (this window's or the status
    // window's). A download refused because another exchange runs says so there.
    DownloadOutcome LoadNames(QStatusBar* statusBar);
    // The same inside an exchange the caller already holds.
    DownloadOutcome LoadNames(QStatusBar* statusBar, ModuleExchange& exchange);

    // Text of a grid cell; row 0 is the header row.
    QString cell(int row, int column) const;

private:
    void loadEvents(ModuleExchange& exchange);
    void setCell(int row, int column, const QString& text);
    void showStatus(const QString& text) { StatusBarEventListShort->showMessage(text); }

    ModuleLink& m_link;
    UserDialogs& m_dialogs;
    NameFields m_nameFields;
    ::NameTable m_nameTable;
    EventRingBytes m_eventRing{};
    NamePagesBytes m_namePages{};
};
