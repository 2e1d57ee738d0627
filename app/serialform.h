#pragma once

#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>

class ModuleLink;
class UserDialogs;

// Lines the traffic log keeps, the empty last line included; older lines are dropped.
constexpr int kTrafficLogMaxLines = 5000;

// What passes on the link: every received line and every command sent with echo.
class TSerialForm : public QWidget {
    Q_OBJECT
public:
    TSerialForm(ModuleLink& link, UserDialogs& dialogs, QWidget* parent = nullptr);

    QPlainTextEdit* RxMemo;
    QPushButton* btClose;
    QPushButton* btClear;
    QPushButton* btAT;

    // Replaces the log's last line by `text` and adds an empty line after it, so the log
    // always ends in the empty line that takes the next text.
    void writeLine(const QString& text);

    void btCloseClick();
    void btClearClick();
    void btATClick();

signals:
    // Hidden by its own button (the main window's details button then reads ">>").
    void closedByButton();

private:
    ModuleLink& m_link;
    UserDialogs& m_dialogs;
};
