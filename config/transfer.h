#pragma once

#include <QByteArray>
#include <QObject>
#include <array>

#include "config/configimage.h"
#include "link/pageframe.h"

class ModuleLink;

// Reads, writes and compares the module's parameter memory block by block, and holds the
// PC's copy of it. Reports through signals; the window decides what the user sees.
class ConfigTransfer : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        NotConnected,
        Busy,  // another exchange with the module is running
        LoginFailed,
        WrongDataVersion,
        Failed,
        Stopped,
        Done,
        Different,  // compare: a block differs
    };

    explicit ConfigTransfer(ModuleLink& link, QObject* parent = nullptr);

    QByteArray& ConfigImage() { return m_image; }
    const QByteArray& ConfigImage() const { return m_image; }

    Outcome read();
    Outcome write();
    Outcome compare();
    // Ends a running transfer before its next block; the block being waited for does not count.
    void requestStop();

signals:
    void panelColour(int block, PanelColour colour);
    void buttonsEnabled(bool enabled);
    void message(const QString& text);

private:
    enum class Kind { Read, Write, Compare };
    Outcome run(Kind kind);
    Outcome readBlocks();
    Outcome writeBlocks();
    Outcome compareBlocks();
    bool dataVersionMatches();
    void paintAll(PanelColour colour);
    void paintFrom(int first, PanelColour colour);
    bool stopRequested() const;

    ModuleLink& m_link;
    QByteArray m_image;
    std::array<frame::Frame, 8> m_staging{};
};
