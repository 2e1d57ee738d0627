#pragma once

#include <QByteArray>
#include <QList>
#include <functional>
#include <memory>

#include "link/modulelink.h"
#include "link/pageframe.h"
#include "link/timing.h"
#include "support/memoryserial.h"
#include "support/scripteddialogs.h"

// An open link on an in-memory device with 1 ms ticks, and a module played by `answer`: it
// gets every line the program completes and returns what the module says to it (CR LF
// included), which arrives on the next pass of the event loop.
struct LinkRig {
    explicit LinkRig(const Timings& timings = Timings{1, 5, 1000000, 1}) {
        auto dev = std::make_unique<MemorySerialDevice>();
        d = dev.get();
        link = std::make_unique<ModuleLink>(std::move(dev), timings);
        link->setInstallerCodeSource([] { return QStringLiteral("1234"); });
        link->ComPort1().open();
        d->onWrite = [this](const QByteArray& bytes) {
            pending += bytes;
            while (pending.contains('\r')) {
                const QByteArray line = pending.left(pending.indexOf('\r'));
                pending.remove(0, line.size() + 1);
                lines.append(line);
                if (answer) {
                    const QByteArray reply = answer(line);
                    if (!reply.isEmpty()) d->feedLater(reply);
                }
            }
        };
    }

    // Lines sent, with a frame's 540 digits shown as "<frame>".
    QList<QByteArray> commands() const {
        QList<QByteArray> out;
        for (const QByteArray& l : lines) out.append(l.size() == frame::kHexDigits ? "<frame>" : l);
        return out;
    }

    MemorySerialDevice* d;
    std::unique_ptr<ModuleLink> link;
    ScriptedDialogs dialogs;
    QByteArray pending;
    QList<QByteArray> lines;
    std::function<QByteArray(const QByteArray&)> answer;
};

// The code string of installer code 1234.
constexpr const char* kRigCode = "EDCB00";

// A page frame as the module sends it: checksum least significant byte first.
inline QByteArray moduleFrameLine(const QByteArray& data, quint16 page) {
    return "RDFL" +
           frame::toHex(frame::build(data, page, frame::ChecksumOrder::ModuleLittleEndian)) +
           "\r\n";
}
