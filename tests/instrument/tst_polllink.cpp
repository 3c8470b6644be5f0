#include "../support/PtyPeer.h"
#include "../support/ScriptedClock.h"
#include "instrument/PollCycle.h"
#include "instrument/PollLink.h"
#include "platform/SerialPort.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>
#include <optional>

using instrument::PollCycle;
using instrument::PollLink;
using instrument::TickOutcome;
using platform::SerialError;
using namespace std::chrono_literals;

namespace instrument {

// What a failed comparison prints.
char* toString(TickOutcome outcome)
{
    static constexpr const char* kNames[]
        = { "Ok", "NoReply", "ShortReply", "WriteFailed", "PortLost" };
    return qstrdup(kNames[static_cast<int>(outcome)]);
}

char* toString(const std::optional<TickOutcome>& outcome)
{
    return outcome ? toString(*outcome) : qstrdup("nullopt");
}

} // namespace instrument

// The port of a run against pseudo-terminals reached through a link that stands for a
// /dev/serial/by-id/... name: the adapter is pulled (its pseudo-terminal closed, the link
// removed) and plugged in again as another pseudo-terminal, the link pointing there now.
class TstPollLink : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_link;
    std::unique_ptr<PtyPeer> m_adapter;
    // The instrument that answers the poll command; none once its line is gone.
    PtyPeer* m_answering = nullptr;
    QByteArray m_reply;
    std::unique_ptr<ScriptedClock> m_clock;
    std::unique_ptr<platform::ScopedClock> m_useClock;
    platform::SerialPort m_port;
    PollCycle m_poll;
    std::unique_ptr<PollLink> m_pollLink;

    void plugIn()
    {
        m_adapter = std::make_unique<PtyPeer>();
        QVERIFY(m_adapter->isValid());
        QFile::remove(m_link);
        QVERIFY(QFile::link(m_adapter->devicePath(), m_link));
        m_answering = m_adapter.get();
    }

    // As the kernel and udev do when the adapter is pulled: its line hangs up, its name goes.
    void pullOut()
    {
        m_answering = nullptr;
        m_adapter->hangUp();
        QVERIFY(QFile::remove(m_link));
    }

    void startRun()
    {
        QCOMPARE(m_pollLink->start(m_link, 9600), SerialError::None);
        QCOMPARE(m_pollLink->tick(), TickOutcome::Ok);
        QCOMPARE(m_poll.counter(), 1);
    }

    // The time a tick took on the program's clock: its pauses and every bounded wait.
    platform::Clock::Duration timed(const std::function<void()>& tick)
    {
        const platform::Clock::Duration before = m_clock->now();
        tick();
        return m_clock->now() - before;
    }

private slots:
    void init()
    {
        m_link = m_dir.filePath(QStringLiteral("usb-Velmora_Thermo_A1-if00-port0"));
        m_clock = std::make_unique<ScriptedClock>();
        m_useClock = std::make_unique<platform::ScopedClock>(*m_clock);
        m_reply = QByteArray("\x2C\x01", 2); // 30.0 degrees
        m_clock->onPause = [this](platform::Clock::Duration pause) {
            if (pause != PollCycle::kReplyPause || !m_answering)
                return;
            if (m_answering->received(1000) == "\x51" && !m_reply.isEmpty())
                m_answering->send(m_reply);
        };
        m_poll.restart();
        m_pollLink = std::make_unique<PollLink>(m_port, m_poll);
        plugIn();
    }

    void cleanup()
    {
        m_pollLink.reset();
        m_port.close();
        m_answering = nullptr;
        m_adapter.reset();
        QFile::remove(m_link);
        m_useClock.reset();
    }

    void aQuietPresentLineIsNotLost_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<TickOutcome>("outcome");
        QTest::newRow("2C 01") << QByteArray("\x2C\x01", 2) << TickOutcome::Ok;
        QTest::newRow("silent") << QByteArray() << TickOutcome::NoReply;
        QTest::newRow("2C") << QByteArray("\x2C", 1) << TickOutcome::ShortReply;
    }
    void aQuietPresentLineIsNotLost()
    {
        QFETCH(QByteArray, reply);
        QFETCH(TickOutcome, outcome);
        QCOMPARE(m_pollLink->start(m_link, 9600), SerialError::None);
        m_reply = reply;
        for (int tick = 0; tick < 3; ++tick)
            QCOMPARE(m_pollLink->tick(), outcome);
        QVERIFY(!m_pollLink->isLost());
        QCOMPARE(m_pollLink->reopenAttempts(), 0);
        QVERIFY(m_port.isOpen());
    }

    void notRunningTicksDoNothing()
    {
        QVERIFY(!m_pollLink->isRunning());
        QCOMPARE(m_pollLink->tick(), std::nullopt);
        QCOMPARE(m_adapter->received(), QByteArray());
        QCOMPARE(m_pollLink->start(m_dir.filePath(QStringLiteral("absent")), 9600),
            SerialError::NotFound);
        QVERIFY(!m_pollLink->isRunning());
        QCOMPARE(m_pollLink->tick(), std::nullopt);
        QVERIFY(m_clock->pauses.empty());
    }

    void aFailedStartLeavesTheRunAsItWas()
    {
        startRun();
        // The same port again is busy: the run keeps its port and its name.
        QCOMPARE(m_pollLink->start(m_link, 9600), SerialError::Busy);
        QVERIFY(m_pollLink->isRunning());
        QCOMPARE(m_pollLink->tick(), TickOutcome::Ok);
        QCOMPARE(m_pollLink->start(m_dir.filePath(QStringLiteral("absent")), 9600),
            SerialError::NotFound);
        pullOut();
        QCOMPARE(m_pollLink->tick(), TickOutcome::PortLost);
        plugIn();
        QCOMPARE(m_pollLink->tick(), TickOutcome::Ok);
        QCOMPARE(m_pollLink->reconnects(), 1);
    }

    // However the line went, each later tick makes one attempt to open the name and waits for
    // nothing else; the tick that opens it polls it at once, in the same sweep.
    void aLostLineIsOpenedAgainOnceATick_data()
    {
        QTest::addColumn<bool>("hangUp");
        QTest::newRow("hang-up, name removed") << true;
        QTest::newRow("name removed, line silent") << false;
    }
    void aLostLineIsOpenedAgainOnceATick()
    {
        QFETCH(bool, hangUp);
        startRun();
        if (hangUp) {
            pullOut();
        } else {
            m_reply.clear();
            QVERIFY(QFile::remove(m_link));
        }
        m_clock->pauses.clear();
        QCOMPARE(m_pollLink->tick(), TickOutcome::PortLost);
        // The tick that found the line gone kept the exchange's rhythm, and let the port go.
        QCOMPARE(m_clock->pauses.front(), PollCycle::kReplyPause);
        QCOMPARE(m_clock->pauses.back(), PollCycle::kAfterReplyPause);
        QVERIFY(m_pollLink->isLost());
        QVERIFY(!m_port.isOpen());
        QCOMPARE(m_pollLink->reopenAttempts(), 0);

        for (int tick = 1; tick <= 5; ++tick) {
            std::optional<TickOutcome> outcome;
            QCOMPARE(timed([&] { outcome = m_pollLink->tick(); }), 0ms);
            QCOMPARE(outcome, TickOutcome::PortLost);
            QCOMPARE(m_pollLink->reopenAttempts(), tick);
        }
        QCOMPARE(m_pollLink->reconnects(), 0);

        // Back: after a hang-up as another pseudo-terminal, the name leading to another line;
        // the silent line under its old name.
        const QString before = m_adapter->devicePath();
        if (hangUp)
            plugIn();
        else
            QVERIFY(QFile::link(before, m_link));
        m_reply = QByteArray("\x2D\x01", 2);
        m_clock->pauses.clear();
        std::optional<TickOutcome> outcome;
        // The exchange keeps its own pauses, and nothing more is added to them.
        QCOMPARE(timed([&] { outcome = m_pollLink->tick(); }),
            PollCycle::kReplyPause + PollCycle::kAfterReplyPause);
        QCOMPARE(
            m_clock->pauses, std::vector({ PollCycle::kReplyPause, PollCycle::kAfterReplyPause }));
        QCOMPARE(outcome, TickOutcome::Ok);
        QVERIFY(!m_pollLink->isLost());
        QVERIFY(m_port.isOpen());
        QCOMPARE(m_pollLink->reconnects(), 1);
        QCOMPARE(m_pollLink->reopenAttempts(), 6);
        QCOMPARE(m_poll.counter(), 2);
        QCOMPARE(m_poll.samples()[1], 30.1);
        QVERIFY(m_pollLink->isRunning());
    }

    void aLinePluggedBackBeforeTheNextTickIsStillTakenForLost()
    {
        startRun();
        pullOut();
        // The name leads to the new line already, but the handle held is the dead one.
        plugIn();
        m_answering = nullptr; // the poll goes to the dead line: nothing to answer
        QCOMPARE(m_pollLink->tick(), TickOutcome::PortLost);
        m_answering = m_adapter.get();
        QCOMPARE(m_pollLink->tick(), TickOutcome::Ok);
        QCOMPARE(m_pollLink->reconnects(), 1);
        QCOMPARE(m_poll.counter(), 2);
    }

    void aReturnedDeviceThatIsBusyIsTriedAgainNextTick()
    {
        startRun();
        pullOut();
        QCOMPARE(m_pollLink->tick(), TickOutcome::PortLost);
        plugIn();
        platform::SerialPort other;
        QCOMPARE(other.open(m_link), SerialError::None);
        QCOMPARE(m_pollLink->tick(), TickOutcome::PortLost);
        QCOMPARE(m_pollLink->tick(), TickOutcome::PortLost);
        QVERIFY(m_pollLink->isLost());
        QCOMPARE(m_pollLink->reopenAttempts(), 2);
        other.close();
        QCOMPARE(m_pollLink->tick(), TickOutcome::Ok);
        QVERIFY(!m_pollLink->isLost());
    }

    void stopWhileLostEndsTheAttempts()
    {
        startRun();
        pullOut();
        QCOMPARE(m_pollLink->tick(), TickOutcome::PortLost);
        QCOMPARE(m_pollLink->tick(), TickOutcome::PortLost);
        m_pollLink->stop();
        QVERIFY(!m_pollLink->isRunning());
        QVERIFY(!m_pollLink->isLost());

        plugIn();
        QCOMPARE(m_pollLink->tick(), std::nullopt);
        QCOMPARE(m_pollLink->reopenAttempts(), 1);
        QVERIFY(!m_port.isOpen());
        // Nothing holds the returned device: another program may open it.
        platform::SerialPort other;
        QCOMPARE(other.open(m_link), SerialError::None);
    }

    void aNewRunCountsItsOwnReconnects()
    {
        startRun();
        pullOut();
        QCOMPARE(m_pollLink->tick(), TickOutcome::PortLost);
        plugIn();
        QCOMPARE(m_pollLink->tick(), TickOutcome::Ok);
        QCOMPARE(m_pollLink->reconnects(), 1);
        m_pollLink->stop();

        QCOMPARE(m_pollLink->start(m_link, 9600), SerialError::None);
        QCOMPARE(m_pollLink->reconnects(), 0);
        QCOMPARE(m_pollLink->reopenAttempts(), 0);
        QCOMPARE(m_pollLink->tick(), TickOutcome::Ok);
    }
};

QTEST_GUILESS_MAIN(TstPollLink)
#include "tst_polllink.moc"
