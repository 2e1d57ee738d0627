#pragma once

#include <QString>
#include <exception>

// Error of the serial port layer: a code with a fixed text, and the system's error number
// where one is known.
class EComPort : public std::exception {
public:
    enum Code {
        kOpen = 1,
        kWrite = 2,
        kRead = 3,
        kPurge = 5,
        kSetState = 7,
        kSetTimeouts = 8,
        kSetupComm = 9,
        kClearError = 10,
        kModemStatus = 11,
        kEnumPorts = 15,
    };
    static constexpr int kNoSystemError = -1;

    explicit EComPort(int code, int systemError = kNoSystemError);

    int code() const { return m_code; }
    int systemError() const { return m_systemError; }
    // The text for the code, then " (win error code: N)" when a system error is known.
    QString message() const { return m_message; }
    const char* what() const noexcept override { return m_what.constData(); }

    static QString codeText(int code);

private:
    int m_code;
    int m_systemError;
    QString m_message;
    QByteArray m_what;
};
