#include "platform/StopSignals.h"

#include <QTest>

#include <cerrno>
#include <csignal>
#include <poll.h>
#include <unistd.h>

namespace {

bool readable(int handle)
{
    pollfd entry { handle, POLLIN, 0 };
    return ::poll(&entry, 1, 0) == 1 && (entry.revents & POLLIN) != 0;
}

struct sigaction dispositionOf(int signal)
{
    struct sigaction now { };
    ::sigaction(signal, nullptr, &now);
    return now;
}

} // namespace

class TstStopSignals : public QObject {
    Q_OBJECT
private slots:
    void eachStopSignalIsNotedNotObeyed_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGHUP") << SIGHUP;
    }
    void eachStopSignalIsNotedNotObeyed()
    {
        QFETCH(int, signal);
        const platform::StopSignals stops;
        QVERIFY(stops.isValid());
        QCOMPARE(stops.received(), 0);
        QVERIFY(!readable(stops.handle()));
        QCOMPARE(::raise(signal), 0);
        // Still here: the signal only marked the stop.
        QCOMPARE(stops.received(), signal);
        QVERIFY(readable(stops.handle()));
        // A second signal does not hide which one came first.
        QCOMPARE(::raise(signal == SIGINT ? SIGTERM : SIGINT), 0);
        QCOMPARE(stops.received(), signal);
    }

    void brokenPipeIsAFailedWrite()
    {
        const platform::StopSignals stops;
        int ends[2] = { -1, -1 };
        QCOMPARE(::pipe(ends), 0);
        ::close(ends[0]);
        errno = 0;
        QCOMPARE(::write(ends[1], "x", 1), ssize_t(-1));
        QCOMPARE(errno, EPIPE);
        ::close(ends[1]);
        QCOMPARE(stops.received(), 0);
    }

    void dispositionsComeBackAndOnlyOneAtATime()
    {
        const auto before = dispositionOf(SIGTERM).sa_handler;
        const auto pipeBefore = dispositionOf(SIGPIPE).sa_handler;
        {
            const platform::StopSignals first;
            QVERIFY(first.isValid());
            QVERIFY(dispositionOf(SIGTERM).sa_handler != before);
            {
                const platform::StopSignals second;
                QVERIFY(!second.isValid());
                QCOMPARE(second.handle(), -1);
            }
            // The second one going takes nothing from the first.
            QVERIFY(first.isValid());
            QCOMPARE(::raise(SIGHUP), 0);
            QCOMPARE(first.received(), SIGHUP);
        }
        QVERIFY(dispositionOf(SIGTERM).sa_handler == before);
        QVERIFY(dispositionOf(SIGPIPE).sa_handler == pipeBefore);
        // A new one starts with no stop noted.
        const platform::StopSignals again;
        QVERIFY(again.isValid());
        QCOMPARE(again.received(), 0);
        QVERIFY(!readable(again.handle()));
    }
};

QTEST_GUILESS_MAIN(TstStopSignals)
#include "tst_stopsignals.moc"
