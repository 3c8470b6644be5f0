#include "../support/PtyPeer.h"
#include "../support/ScriptedClock.h"
#include "instrument/PollCycle.h"
#include "instrument/WireProtocol.h"
#include "platform/SerialPort.h"

#include <QTest>

#include <memory>
#include <optional>

using instrument::PollCycle;
using instrument::PollOutcome;
using namespace std::chrono_literals;

class TstPollCycle : public QObject {
    Q_OBJECT

private:
    // The instrument's answer to the next poll command, given while the program pauses for it;
    // no value means the instrument stays silent.
    std::optional<QByteArray> m_answer;
    QByteArray m_commands;

    std::unique_ptr<PtyPeer> m_peer;
    std::unique_ptr<platform::SerialPort> m_port;
    std::unique_ptr<ScriptedClock> m_clock;
    std::unique_ptr<platform::ScopedClock> m_useClock;

private slots:
    void init()
    {
        m_peer = std::make_unique<PtyPeer>();
        QVERIFY(m_peer->isValid());
        m_port = std::make_unique<platform::SerialPort>();
        QCOMPARE(m_port->open(m_peer->devicePath()), platform::SerialError::None);
        QVERIFY(m_port->configure(38400));
        m_clock = std::make_unique<ScriptedClock>();
        m_useClock = std::make_unique<platform::ScopedClock>(*m_clock);
        m_commands.clear();
        m_answer = QByteArray("\x6D\x01", 2);
        m_clock->onPause = [this](platform::Clock::Duration pause) {
            if (pause != PollCycle::kReplyPause)
                return;
            m_commands += m_peer->received(1000);
            if (m_answer)
                m_peer->send(*m_answer);
        };
    }

    void cleanup()
    {
        m_useClock.reset();
        m_port.reset();
        m_peer.reset();
    }

    void oneExchangeSendsThePollCommandAndPausesInOrder()
    {
        PollCycle poll;
        QCOMPARE(poll.exchange(*m_port), PollOutcome::Ok);
        QCOMPARE(m_commands, QByteArray("\x51", 1));
        QCOMPARE(m_clock->pauses, (std::vector<platform::Clock::Duration> { 100ms, 400ms }));
        QCOMPARE(m_peer->received(), QByteArray()); // nothing else went out
    }

    void replyBecomesTheNewestReading_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<double>("reading");
        QTest::newRow("6D 01") << QByteArray("\x6D\x01", 2) << 36.5;
        QTest::newRow("FF FF") << QByteArray("\xFF\xFF", 2) << 6553.5;
        QTest::newRow("00 00") << QByteArray("\x00\x00", 2) << 0.0;
        QTest::newRow("2C 01") << QByteArray("\x2C\x01", 2) << 30.0;
    }

    void replyBecomesTheNewestReading()
    {
        QFETCH(QByteArray, reply);
        QFETCH(double, reading);
        PollCycle poll;
        m_answer = QByteArray("\x01\x00", 2);
        QCOMPARE(poll.exchange(*m_port), PollOutcome::Ok);
        m_answer = reply;
        QCOMPARE(poll.exchange(*m_port), PollOutcome::Ok);
        QCOMPARE(poll.counter(), 2);
        QCOMPARE(poll.samples()[1], reading);
        QCOMPARE(poll.samples()[0], 0.1);
    }

    void silenceStoresNothingAndTheNextTickPollsAgain()
    {
        PollCycle poll;
        m_answer.reset();
        // Waits out its bound, then gives up.
        QCOMPARE(poll.exchange(*m_port), PollOutcome::NoReply);
        QCOMPARE(poll.counter(), 0);
        m_answer = QByteArray("\x6D\x01", 2);
        QCOMPARE(poll.exchange(*m_port), PollOutcome::Ok);
        QCOMPARE(poll.counter(), 1);
        QCOMPARE(poll.samples()[0], 36.5);
        QCOMPARE(m_commands, QByteArray("\x51\x51", 2));
    }

    void shortReplyStoresNothingAndDoesNotShiftLaterReadings()
    {
        PollCycle poll;
        m_answer = QByteArray("\x6D", 1);
        QCOMPARE(poll.exchange(*m_port), PollOutcome::ShortReply);
        QCOMPARE(poll.counter(), 0);
        // The instrument's late second byte arrives before the next poll; it is thrown away.
        m_peer->send(QByteArray("\x01", 1));
        m_answer = QByteArray("\x2C\x01", 2);
        QCOMPARE(poll.exchange(*m_port), PollOutcome::Ok);
        QCOMPARE(poll.samples()[0], 30.0);
    }

    void aCommandThePortDoesNotTakeWaitsForNoReply()
    {
        PollCycle poll;
        QCOMPARE(poll.exchange(*m_port), PollOutcome::Ok);
        m_clock->pauses.clear();
        m_clock->onPause = nullptr;
        m_peer->hangUp();
        QCOMPARE(poll.exchange(*m_port), PollOutcome::WriteFailed);
        QCOMPARE(poll.counter(), 1);
        // The exchange keeps its rhythm all the same.
        QCOMPARE(m_clock->pauses, (std::vector<platform::Clock::Duration> { 100ms, 400ms }));
    }

    void strayAndExtraBytesAreThrownAway()
    {
        PollCycle poll;
        m_peer->send(QByteArray("\x99\x98\x97", 3)); // noise on the line before the first poll
        m_answer = QByteArray("\x6D\x01\x42", 3); // an extra byte after the reply
        QCOMPARE(poll.exchange(*m_port), PollOutcome::Ok);
        m_answer = QByteArray("\x2C\x01", 2);
        QCOMPARE(poll.exchange(*m_port), PollOutcome::Ok);
        QCOMPARE(poll.samples()[0], 36.5);
        QCOMPARE(poll.samples()[1], 30.0);
    }

    void sweepWrapsAfterNPoints()
    {
        PollCycle poll;
        for (int reading = 1; reading <= 10; ++reading) {
            QCOMPARE(poll.exchange(*m_port), PollOutcome::Ok);
            QCOMPARE(poll.counter(), reading);
            poll.endOfReading(10);
        }
        QCOMPARE(poll.counter(), 0);
        QCOMPARE(poll.exchange(*m_port), PollOutcome::Ok);
        QCOMPARE(poll.counter(), 1); // the eleventh reading starts a new sweep
    }

    void sweepLongerThanTheBufferEndsAtItsEnd()
    {
        PollCycle poll;
        int longest = 0;
        for (int tick = 0; tick <= PollCycle::kCapacity; ++tick) {
            QCOMPARE(poll.exchange(*m_port), PollOutcome::Ok);
            longest = std::max(longest, poll.counter());
            poll.endOfReading(20000);
        }
        QCOMPARE(longest, PollCycle::kCapacity);
        QCOMPARE(poll.counter(), 1); // the reading after the full buffer began a new sweep
    }

    void exchangesWithoutEndOfReadingStayInsideTheBuffer()
    {
        // The caller may fail between storing and ending the reading (its drawing raised an
        // error): the exchanges that follow still store inside the buffer.
        auto poll = std::make_unique<PollCycle>();
        for (int tick = 1; tick <= PollCycle::kCapacity + 2; ++tick) {
            m_answer = instrument::encodeTenths(static_cast<std::uint16_t>(tick));
            QCOMPARE(poll->exchange(*m_port), PollOutcome::Ok);
            QVERIFY2(poll->counter() >= 1 && poll->counter() <= PollCycle::kCapacity,
                qPrintable(QString::number(poll->counter())));
        }
        // The reading after the full buffer began a new sweep at its first entry.
        QCOMPARE(poll->counter(), 2);
        QCOMPARE(poll->samples()[0], (PollCycle::kCapacity + 1) / 10.0);
        QCOMPARE(poll->samples()[1], (PollCycle::kCapacity + 2) / 10.0);
        QCOMPARE(poll->samples()[PollCycle::kCapacity - 1], PollCycle::kCapacity / 10.0);
    }

    void sweepsOfOneOrNoPointsRestartAtEveryReading_data()
    {
        QTest::addColumn<int>("points");
        QTest::newRow("NPoints 1") << 1;
        QTest::newRow("NPoints 0") << 0;
        QTest::newRow("NPoints -5") << -5;
    }

    void sweepsOfOneOrNoPointsRestartAtEveryReading()
    {
        QFETCH(int, points);
        PollCycle poll;
        for (int tick = 0; tick < 3; ++tick) {
            QCOMPARE(poll.exchange(*m_port), PollOutcome::Ok);
            QCOMPARE(poll.counter(), 1);
            poll.endOfReading(points);
            QCOMPARE(poll.counter(), 0);
        }
    }

    void restartBeginsANewSweepAndKeepsTheBuffer()
    {
        PollCycle poll;
        QCOMPARE(poll.exchange(*m_port), PollOutcome::Ok);
        QCOMPARE(poll.exchange(*m_port), PollOutcome::Ok);
        poll.restart();
        QCOMPARE(poll.counter(), 0);
        QCOMPARE(poll.samples()[1], 36.5);
    }

    void readingFromReplyNeedsExactlyTwoBytes()
    {
        QVERIFY(!instrument::readingFromReply(QByteArray()).has_value());
        QVERIFY(!instrument::readingFromReply(QByteArray("\x01", 1)).has_value());
        QVERIFY(!instrument::readingFromReply(QByteArray("\x01\x02\x03", 3)).has_value());
        QCOMPARE(instrument::encodeTenths(365), QByteArray("\x6D\x01", 2));
        QCOMPARE(instrument::encodeTenths(367), QByteArray("\x6F\x01", 2));
    }
};

QTEST_GUILESS_MAIN(TstPollCycle)
#include "tst_pollcycle.moc"
