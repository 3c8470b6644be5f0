#include "../support/PtyPeer.h"
#include "../support/ScriptedClock.h"
#include "instrument/Connection.h"
#include "instrument/LimitsUpload.h"
#include "platform/SerialPort.h"

#include <QTest>

#include <memory>
#include <vector>

using instrument::RegulatorLimits;
using instrument::UploadOutcome;
using namespace std::chrono_literals;

// The limits upload against a pseudo-terminal standing in for the instrument; its pauses take no
// time, and what reached the line is collected at each of them.
class TstLimitsUpload : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<PtyPeer> m_peer;
    std::unique_ptr<platform::SerialPort> m_port;
    std::unique_ptr<ScriptedClock> m_clock;
    std::unique_ptr<platform::ScopedClock> m_useClock;
    QList<QByteArray> m_onTheLineAtEachPause;

    bool reopens() const
    {
        platform::SerialPort again;
        return again.open(m_peer->devicePath()) == platform::SerialError::None;
    }

private slots:
    void init()
    {
        m_peer = std::make_unique<PtyPeer>();
        QVERIFY(m_peer->isValid());
        m_port = std::make_unique<platform::SerialPort>();
        QCOMPARE(instrument::openConnection(*m_port, m_peer->devicePath(), 38400),
            platform::SerialError::None);
        m_clock = std::make_unique<ScriptedClock>();
        m_useClock = std::make_unique<platform::ScopedClock>(*m_clock);
        m_onTheLineAtEachPause.clear();
        m_clock->onPause = [this](platform::Clock::Duration) {
            QVERIFY(m_port->isOpen());
            m_onTheLineAtEachPause << m_peer->received(1000);
        };
    }

    void cleanup()
    {
        m_useClock.reset();
        m_port.reset();
        m_peer.reset();
    }

    void limitsGoOutAsTenthsLowByteFirst_data()
    {
        QTest::addColumn<int>("lower");
        QTest::addColumn<int>("upper");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("36.5 36.7") << 365 << 367 << QByteArray("\x52\x6D\x01\x6F\x01", 5);
        // No order between the two is required: a lower limit above the upper one goes out.
        QTest::newRow("40.0 30.0") << 400 << 300 << QByteArray("\x52\x90\x01\x2C\x01", 5);
        QTest::newRow("0.0 6553.5") << 0 << 65535 << QByteArray("\x52\x00\x00\xFF\xFF", 5);
    }

    void limitsGoOutAsTenthsLowByteFirst()
    {
        QFETCH(int, lower);
        QFETCH(int, upper);
        QFETCH(QByteArray, line);
        const RegulatorLimits limits { static_cast<std::uint16_t>(lower),
            static_cast<std::uint16_t>(upper) };
        QCOMPARE(instrument::uploadLimits(*m_port, limits), UploadOutcome::Sent);
        QCOMPARE(m_onTheLineAtEachPause.join() + m_peer->received(1000), line);
    }

    void thePartsGoOut100msApartAndThePortClosesAtOnce_data()
    {
        QTest::addColumn<bool>("closes"); // between two ticks the poll's port stays open
        QTest::newRow("upload") << true;
        QTest::newRow("between ticks") << false;
    }

    void thePartsGoOut100msApartAndThePortClosesAtOnce()
    {
        QFETCH(bool, closes);
        const auto send = closes ? instrument::uploadLimits : instrument::sendLimitsParts;
        QCOMPARE(send(*m_port, { 365, 367 }), UploadOutcome::Sent);
        // One pause before each limit, none after the last one.
        QCOMPARE(m_clock->pauses, (std::vector<platform::Clock::Duration> { 100ms, 100ms }));
        QCOMPARE(m_onTheLineAtEachPause,
            QList<QByteArray>({ QByteArray("\x52", 1), QByteArray("\x6D\x01", 2) }));
        QCOMPARE(m_peer->received(1000), QByteArray("\x6F\x01", 2));
        // The port is released: the device can be opened again, by us or another program.
        QCOMPARE(m_port->isOpen(), !closes);
        QCOMPARE(reopens(), closes);
    }

    void aPartThePortDoesNotTakeStopsTheUpload_data()
    {
        QTest::addColumn<int>("hangUpAtPause"); ///< 0: before the command
        QTest::addColumn<QByteArray>("received");
        QTest::newRow("hung up before the command") << 0 << QByteArray();
        QTest::newRow("hung up after the command") << 1 << QByteArray("\x52", 1);
        QTest::newRow("hung up after the lower limit") << 2 << QByteArray("\x52\x6D\x01", 3);
    }

    void aPartThePortDoesNotTakeStopsTheUpload()
    {
        QFETCH(int, hangUpAtPause);
        QFETCH(QByteArray, received);
        QByteArray seen;
        m_clock->onPause = [&](platform::Clock::Duration) {
            if (!m_peer->isValid())
                return;
            seen += m_peer->received(1000);
            if (static_cast<int>(m_clock->pauses.size()) == hangUpAtPause)
                m_peer->hangUp();
        };
        if (hangUpAtPause == 0)
            m_peer->hangUp();

        QCOMPARE(instrument::uploadLimits(*m_port, { 365, 367 }), UploadOutcome::WriteFailed);
        QCOMPARE(seen, received);
        // Nothing was tried after the part that failed: no pause followed it.
        QCOMPARE(static_cast<int>(m_clock->pauses.size()), hangUpAtPause);
        QVERIFY(!m_port->isOpen());
    }

    void aPortThatIsNotOpenSendsNothing()
    {
        platform::SerialPort closed;
        QCOMPARE(instrument::uploadLimits(closed, { 365, 367 }), UploadOutcome::WriteFailed);
        QVERIFY(m_clock->pauses.empty());
        QCOMPARE(m_peer->received(), QByteArray());
    }
};

QTEST_GUILESS_MAIN(TstLimitsUpload)
#include "tst_limitsupload.moc"
