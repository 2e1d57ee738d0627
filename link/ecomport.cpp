#include "link/ecomport.h"

QString EComPort::codeText(int code) {
    static const char* const kTexts[] = {
        "Unable to open com port",
        "WriteFile function failed",
        "ReadFile function failed",
        "Invalid Async parameter",
        "PurgeComm function failed",
        "Unable to get async status",
        "SetCommState function failed",
        "SetCommTimeouts failed",
        "SetupComm function failed",
        "ClearCommError function failed",
        "GetCommModemStatus function failed",
        "EscapeCommFunction function failed",
        "TransmitCommChar function failed",
        "Cannot set SyncMethod while connected",
        "EnumPorts function failed",
        "Failed to store settings",
        "Failed to load settings",
        "Link (un)registration failed",
        "Cannot change led state if ComPort is selected",
        "Cannot wait for event if event thread is created",
        "WaitForEvent method failed",
        "A component is linked to OnRxBuf event",
    };
    constexpr int count = int(sizeof(kTexts) / sizeof(kTexts[0]));
    if (code < 1 || code > count) return {};
    return QString::fromLatin1(kTexts[code - 1]);
}

EComPort::EComPort(int code, int systemError) : m_code(code), m_systemError(systemError) {
    m_message = codeText(code);
    if (systemError != kNoSystemError)
        m_message += QStringLiteral(" (win error code: %1)").arg(systemError);
    m_what = m_message.toUtf8();
}
