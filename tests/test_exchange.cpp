#include <QTest>
#include <memory>

#include "link/exchange.h"
#include "link/modulelink.h"
#include "link/pageframe.h"
#include "link/protocol.h"
#include "support/memoryserial.h"

namespace {

using PageResult = ModuleExchange::PageResult;
using WriteResult = ModuleExchange::WriteResult;
using OnWriteError = ModuleExchange::OnWriteError;

// An open link on an in-memory device with 1 ms ticks; `answer` is what the module says to
// each line the program completes.
struct Rig {
    Rig() {
        auto dev = std::make_unique<MemorySerialDevice>();
        d = dev.get();
        link = std::make_unique<ModuleLink>(std::move(dev), Timings{1, 5, 1000000, 1});
        link->ComPort1().open();
        link->CodeTimer().start();
        d->onWrite = [this](const QByteArray& bytes) {
            pending += bytes;
            while (pending.contains('\r')) {
                const QByteArray line = pending.left(pending.indexOf('\r'));
                pending.remove(0, line.size() + 1);
                if (answer) {
                    const QByteArray reply = answer(line);
                    if (!reply.isEmpty()) d->feedLater(reply);
                }
            }
        };
    }
    MemorySerialDevice* d;
    std::unique_ptr<ModuleLink> link;
    QByteArray pending;
    std::function<QByteArray(const QByteArray&)> answer;
};

QByteArray moduleFrame(quint16 page, char fill = 'p', const QByteArray& further = {}) {
    return "RDFL" +
           frame::toHex(frame::build(QByteArray(256, fill), page,
                                     frame::ChecksumOrder::ModuleLittleEndian, further)) +
           "\r\n";
}

}  // namespace

Q_DECLARE_METATYPE(PageResult)
Q_DECLARE_METATYPE(ModuleExchange::PageCheck)
Q_DECLARE_METATYPE(WriteResult)

// The one way to talk pages with the module: what each answer makes of a page read, a page
// write and an activation, and how an exchange holds the link.
class TestExchange : public QObject {
    Q_OBJECT
private slots:
    void holdsTheLinkAndPutsTheKeepAliveBack_data() {
        QTest::addColumn<bool>("keepAliveRunning");
        QTest::newRow("keep-alive running") << true;
        QTest::newRow("keep-alive stopped") << false;
    }
    void holdsTheLinkAndPutsTheKeepAliveBack() {
        QFETCH(bool, keepAliveRunning);
        Rig rig;
        if (!keepAliveRunning) rig.link->setKeepAliveWanted(false);
        QVERIFY(rig.link->canPoll());
        {
            ModuleExchange first(*rig.link);
            QVERIFY(first.acquired());
            QVERIFY(!rig.link->CodeTimer().isActive());
            QVERIFY(!rig.link->canPoll());
            {
                // A second exchange is refused, and sends nothing when asked to.
                ModuleExchange second(*rig.link);
                QVERIFY(!second.acquired());
            }
            // The refused one must not have given the link back.
            QVERIFY(!rig.link->canPoll());
            QVERIFY(!rig.link->CodeTimer().isActive());
        }
        QVERIFY(rig.link->canPoll());
        QCOMPARE(rig.link->CodeTimer().isActive(), keepAliveRunning);
        rig.link->ComPort1().close();
        QVERIFY(!rig.link->canPoll());
    }

    void readPage_data() {
        using Check = ModuleExchange::PageCheck;
        QTest::addColumn<Check>("check");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<PageResult>("result");
        const QByteArray good = moduleFrame(0x0102);
        QByteArray damaged = good;
        damaged[20] = damaged[20] == '0' ? '1' : '0';
        const QByteArray further(8, '\x7E');
        for (Check check : {Check::WholeNumber, Check::LowByte}) {
            const bool whole = check == Check::WholeNumber;
            const char* c = whole ? "whole number" : "low byte";
            QTest::addRow("%s: frame", c) << check << good << PageResult::Ok;
            QTest::addRow("%s: frame with further bytes", c)
                << check << moduleFrame(0x0102, 'p', further) << PageResult::Ok;
            // Sound, but the answer to some other request.
            QTest::addRow("%s: frame of another page", c)
                << check << moduleFrame(7) << PageResult::BadFrame;
            QTest::addRow("%s: frame of another low byte, same high byte", c)
                << check << moduleFrame(0x0103) << PageResult::BadFrame;
            // The module may leave anything in the high byte of a page it knows by the low one.
            QTest::addRow("%s: frame of the page 256 below", c)
                << check << moduleFrame(0x0002) << (whole ? PageResult::BadFrame : PageResult::Ok);
            QTest::addRow("%s: high byte and further bytes set", c)
                << check << moduleFrame(0xA702, 'p', further)
                << (whole ? PageResult::BadFrame : PageResult::Ok);
            QTest::addRow("%s: damaged frame", c) << check << damaged << PageResult::BadFrame;
            QTest::addRow("%s: short frame", c)
                << check << good.left(300) + "\r" << PageResult::BadFrame;
            QTest::addRow("%s: password error", c)
                << check << QByteArray("PWDERR\r\n") << PageResult::PasswordError;
            QTest::addRow("%s: nothing", c) << check << QByteArray() << PageResult::NoAnswer;
            QTest::addRow("%s: another answer", c)
                << check << QByteArray("WROK\r\n") << PageResult::NoAnswer;
            QTest::addRow("%s: noise", c)
                << check << QByteArray("\x01\xFE garbage\r\n", 12) << PageResult::NoAnswer;
            QTest::addRow("%s: noise without a line end", c)
                << check << QByteArray(300, '\x5A') << PageResult::NoAnswer;
        }
    }
    void readPage() {
        QFETCH(ModuleExchange::PageCheck, check);
        QFETCH(QByteArray, reply);
        QFETCH(PageResult, result);
        Rig rig;
        rig.answer = [&](const QByteArray& line) {
            return line == "RDFL0102" ? reply : QByteArray();
        };
        ModuleExchange exchange(*rig.link);
        frame::Frame out{};
        out.fill(0xEE);
        QCOMPARE(exchange.readPage(0x0102, check, out, 20), result);
        QCOMPARE(rig.d->written, QByteArray("RDFL0102\r"));
        // Only a good frame is handed out.
        QCOMPARE(out[0], result == PageResult::Ok ? quint8('p') : quint8(0xEE));
    }

    void readPagesEndsAtTheFirstRefusedPage() {
        Rig rig;
        rig.answer = [](const QByteArray& line) {
            const int page = line.mid(4).toInt(nullptr, 16);
            return moduleFrame(quint16(page), page == 0x13 ? 'z' : char('a' + page - 0x10));
        };
        ModuleExchange exchange(*rig.link);
        QList<int> seen;
        int failedAt = -2;
        const PageResult result = exchange.readPages(
            0x10, 8, ModuleExchange::PageCheck::WholeNumber,
            [&](int i, const frame::Frame& f) {
                seen << i;
                return frame::pageNumber(f) == 0x10 + i && f[0] == quint8('a' + i);
            },
            &failedAt);
        QCOMPARE(result, PageResult::Ok);
        QCOMPARE(failedAt, 3);
        QCOMPARE(seen, (QList<int>{0, 1, 2, 3}));
        QCOMPARE(rig.d->written, QByteArray("RDFL0010\rRDFL0011\rRDFL0012\rRDFL0013\r"));
    }

    void writeFrame_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("onError");  // OnWriteError
        QTest::addColumn<WriteResult>("result");
        const int ends = int(OnWriteError::EndsWait);
        const int waits = int(OnWriteError::WaitsOn);
        QTest::newRow("acknowledged") << QByteArray("WROK\r\n") << waits << WriteResult::Ok;
        QTest::newRow("refused, a verdict") << QByteArray("WRFLERR\r\n") << ends
                                            << WriteResult::Error;
        // The parameter memory's write waits a refusal out, as for no answer at all.
        QTest::newRow("refused, waited out") << QByteArray("WRFLERR\r\n") << waits
                                             << WriteResult::NoAnswer;
        QTest::newRow("nothing") << QByteArray() << ends << WriteResult::NoAnswer;
        QTest::newRow("a frame instead") << moduleFrame(1) << ends << WriteResult::NoAnswer;
        QTest::newRow("password error") << QByteArray("PWDERR\r\n") << ends
                                        << WriteResult::NoAnswer;
    }
    void writeFrame() {
        QFETCH(QByteArray, reply);
        QFETCH(int, onError);
        QFETCH(WriteResult, result);
        Rig rig;
        const frame::Frame f =
            frame::build(QByteArray(256, '\x0a'), 5, frame::ChecksumOrder::PcBigEndian);
        rig.answer = [&](const QByteArray& line) {
            return line == frame::toHex(f) ? reply : QByteArray();
        };
        ModuleExchange exchange(*rig.link);
        QCOMPARE(exchange.writeFrame(f, OnWriteError(onError), 20), result);
        QCOMPARE(rig.d->written, "WRFL\r" + frame::toHex(f) + "\r");
    }

    void aLateAcknowledgementOfAnEarlierWriteDoesNotCount() {
        // "WROK" that was already there when the frame went out belongs to something else.
        Rig rig;
        rig.d->feed("WROK\r\n");
        ModuleExchange exchange(*rig.link);
        QCOMPARE(exchange.writeFrame(frame::Frame{}, OnWriteError::EndsWait, 10),
                 WriteResult::NoAnswer);
    }

    void activate() {
        Rig rig;
        rig.answer = [](const QByteArray& line) {
            return line == "WRACT" ? QByteArray("CRCOK\r\n") : QByteArray();
        };
        ModuleExchange exchange(*rig.link);
        QVERIFY(exchange.activate(20));
        rig.answer = nullptr;
        QVERIFY(!exchange.activate(5));
        QCOMPARE(rig.d->written, QByteArray("WRACT\rWRACT\r"));
    }

    // Stop pressed while any step waits ends that wait at once, and after it no step sends
    // anything more: the user asked for the line to be left alone.
    void stopEndsEveryWait_data() {
        QTest::addColumn<QString>("step");
        for (const char* s : {"login", "read page", "write frame", "activate"})
            QTest::newRow(s) << QString::fromLatin1(s);
    }
    void stopEndsEveryWait() {
        QFETCH(QString, step);
        Rig rig;
        ModuleExchange exchange(*rig.link);
        rig.answer = [&](const QByteArray&) {
            rig.link->requestStop();
            return QByteArray();
        };
        // Long waits: only Stop can end them early.
        const int longWait = 100000;
        frame::Frame out{};
        const auto steps = [&](const QString& s) {
            if (s == "login") return exchange.login() ? 1 : 0;
            if (s == "read page")
                return int(exchange.readPage(1, ModuleExchange::PageCheck::LowByte, out, longWait));
            if (s == "write frame")
                return int(exchange.writeFrame(out, OnWriteError::EndsWait, longWait));
            return exchange.activate(longWait) ? 1 : 0;
        };
        const int stopped = step == "read page"     ? int(PageResult::Stopped)
                            : step == "write frame" ? int(WriteResult::Stopped)
                                                    : 0;
        QCOMPARE(steps(step), stopped);
        // The login has its own count of ticks; it must not have run out either.
        QVERIFY(rig.link->tickCounter().value() > (step == "login" ? 0 : longWait / 2));
        QVERIFY(exchange.stopRequested());
        if (step == "login") QCOMPARE(exchange.verdict(), QString());
        const QByteArray sent = rig.d->written;
        QVERIFY(!sent.isEmpty());
        for (const char* s : {"login", "read page", "write frame", "activate"}) steps(s);
        int failedAt = -1;
        QCOMPARE(exchange.readPages(
                     0, 3, ModuleExchange::PageCheck::LowByte,
                     [](int, const frame::Frame&) { return true; }, &failedAt),
                 PageResult::Stopped);
        QCOMPARE(failedAt, 0);
        QCOMPARE(exchange.verdict(), QString());
        QCOMPARE(rig.d->written, sent);
    }

    // The adapter pulled while the module's answer is awaited: the wait ends at once, the
    // result is the one for no answer, and the port is closed.
    void portLostEndsEveryWait() {
        Rig rig;
        rig.answer = [&](const QByteArray&) {
            QTimer::singleShot(0, rig.d, [&] { emit rig.d->lost(); });
            return QByteArray();
        };
        const int longWait = 100000;
        {
            ModuleExchange exchange(*rig.link);
            frame::Frame out{};
            QCOMPARE(exchange.readPage(1, ModuleExchange::PageCheck::LowByte, out, longWait),
                     PageResult::NoAnswer);
            QVERIFY(rig.link->tickCounter().value() > longWait / 2);
            QVERIFY(!rig.link->connected());
        }
        const auto reopenAndRun = [&](const std::function<void(ModuleExchange&)>& step) {
            rig.link->ComPort1().open();
            ModuleExchange exchange(*rig.link);
            step(exchange);
            QVERIFY(rig.link->tickCounter().value() > longWait / 2);
            QVERIFY(!rig.link->connected());
        };
        reopenAndRun([&](ModuleExchange& e) {
            QCOMPARE(e.writeFrame(frame::Frame{}, OnWriteError::WaitsOn, longWait),
                     WriteResult::NoAnswer);
        });
        reopenAndRun([&](ModuleExchange& e) { QVERIFY(!e.activate(longWait)); });
        reopenAndRun([&](ModuleExchange& e) {
            QVERIFY(!e.waitUntil(
                [&] {
                    if (rig.d->isOpen()) emit rig.d->lost();
                    return false;
                },
                longWait));
        });
        rig.link->ComPort1().open();
        ModuleExchange exchange(*rig.link);
        QVERIFY(!exchange.login());
        QCOMPARE(exchange.verdict(), QStringLiteral(" Nincs soros kapcsolat."));
    }

    void stopOfAnEarlierExchangeIsForgotten() {
        Rig rig;
        rig.link->requestStop();
        ModuleExchange exchange(*rig.link);
        QVERIFY(!exchange.stopRequested());
    }

    void waitUntil() {
        Rig rig;
        ModuleExchange exchange(*rig.link);
        int passes = 0;
        QVERIFY(exchange.waitUntil([&] { return ++passes == 3; }, 100000));
        QCOMPARE(passes, 3);
        QVERIFY(!exchange.waitUntil([] { return false; }, 5));
        QCOMPARE(rig.link->tickCounter().value(), 0);
        QTimer::singleShot(0, rig.link.get(), [&] { rig.link->requestStop(); });
        QVERIFY(!exchange.waitUntil([] { return false; }, 100000));
    }
};

QTEST_MAIN(TestExchange)
#include "test_exchange.moc"
