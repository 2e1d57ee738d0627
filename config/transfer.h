#pragma once

#include <QObject>
#include <array>

#include "config/configimage.h"
#include "link/pageframe.h"

class ModuleExchange;
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
    enum class Kind { Read, Write, Compare };
    // endedAt() while the module's answer to the activation was awaited.
    static constexpr int kActivation = image::kBlockCount;

    explicit ConfigTransfer(ModuleLink& link, QObject* parent = nullptr);

    const ParamImage& ConfigImage() const { return m_image; }
    void setConfigImage(const ParamImage& image) { m_image = image; }

    Outcome read();
    Outcome write();
    Outcome compare();
    // Ends a running transfer at once, in whatever wait it is, and before it sends anything more;
    // the block being waited for does not count. Does nothing while no transfer runs.
    void requestStop();

    // Where every image read, written or compared is kept (history::record); empty: nowhere.
    void setHistoryFolder(const QString& folder) { m_historyFolder = folder; }
    QString historyFolder() const { return m_historyFolder; }
    // After a compare that found a block different: the image with the blocks the module
    // sent put in place of ours (the differing one included; later blocks were not read).
    // Empty after any other transfer.
    const QByteArray& comparedModuleBytes() const { return m_comparedModule; }
    int differingBlock() const { return m_differingBlock; }
    // Of the last transfer: what it was, and where it ended when it did not finish: the block
    // (0 to 7) it stopped, failed or found a difference in, kActivation, or -1 when it ended
    // before the blocks or finished them all.
    Kind lastKind() const { return m_lastKind; }
    int endedAt() const { return m_endedAt; }

signals:
    void panelColour(int block, PanelColour colour);
    void buttonsEnabled(bool enabled);
    void message(const QString& text);
    // How the transfer ended, whichever way it was started.
    void finished(ConfigTransfer::Outcome outcome);
    // The transfer went well, but its history entry could not be saved, for this reason.
    void historyNotKept(const QString& why);

private:
    Outcome run(Kind kind);
    Outcome perform(Kind kind);
    Outcome performIn(ModuleExchange& exchange, Kind kind);
    Outcome readBlocks(ModuleExchange& exchange);
    Outcome writeBlocks(ModuleExchange& exchange);
    Outcome compareBlocks(ModuleExchange& exchange);
    void paintAll(PanelColour colour);
    void paintFrom(int first, PanelColour colour);
    void recordHistory(Kind kind, Outcome outcome);

    ModuleLink& m_link;
    ParamImage m_image;
    std::array<frame::Frame, image::kBlockCount> m_staging{};
    QString m_historyFolder;
    QByteArray m_comparedModule;
    int m_differingBlock = -1;
    Kind m_lastKind = Kind::Read;
    int m_endedAt = -1;
    bool m_running = false;
};
