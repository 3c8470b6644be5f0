#include "logger/PollLoop.h"

#include <QTest>

#include <fcntl.h>
#include <unistd.h>

using logger::PollLoop;
using std::chrono::milliseconds;

namespace {

// A stop handle as the stop signals give one: readable once a byte is in it.
struct StopPipe {
    StopPipe()
    {
        if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
            ends[0] = ends[1] = -1;
    }
    ~StopPipe()
    {
        ::close(ends[0]);
        ::close(ends[1]);
    }
    StopPipe(const StopPipe&) = delete;
    StopPipe& operator=(const StopPipe&) = delete;
    bool signal() const { return ::write(ends[1], "", 1) == 1; }
    int ends[2] = { -1, -1 };
};

} // namespace

// The loop on the system's clock with short intervals: every bound it keeps is an order between
// events (a stop before the next tick), never a length of time.
class TstPollLoop : public QObject {
    Q_OBJECT
private slots:
    void stopsWhenATickSaysSo()
    {
        PollLoop loop(10, -1, std::nullopt);
        int ticks = 0;
        QCOMPARE(loop.run([&ticks] { return ++ticks < 3; }), PollLoop::Stop::Ticks);
        QCOMPARE(ticks, 3);
    }

    void signalBeforeTheLoopStopsItBeforeAnyTick()
    {
        StopPipe stop;
        QVERIFY(stop.signal());
        PollLoop loop(10, stop.ends[0], std::nullopt);
        int ticks = 0;
        QCOMPARE(loop.run([&ticks] { return ++ticks < 100; }), PollLoop::Stop::Signal);
        QCOMPARE(ticks, 0);
    }

    // The tick under way runs to its end, and no tick follows it.
    void signalDuringATickEndsTheLoopAfterIt_data()
    {
        QTest::addColumn<int>("tickMs");
        QTest::newRow("short tick") << 0;
        QTest::newRow("tick longer than the interval") << 30;
    }
    void signalDuringATickEndsTheLoopAfterIt()
    {
        QFETCH(int, tickMs);
        StopPipe stop;
        PollLoop loop(10, stop.ends[0], std::nullopt);
        int ticks = 0;
        bool finished = false;
        const PollLoop::Stop why = loop.run([&] {
            finished = false;
            if (++ticks == 2) {
                if (!stop.signal())
                    return false;
                platform::clock().sleep(milliseconds(tickMs));
            }
            finished = true;
            return ticks < 100;
        });
        QCOMPARE(why, PollLoop::Stop::Signal);
        QCOMPARE(ticks, 2);
        QVERIFY(finished);
    }

    void durationRunsOutBetweenTicks()
    {
        PollLoop loop(60000, -1, milliseconds(50));
        int ticks = 0;
        QCOMPARE(loop.run([&ticks] { return ++ticks < 100; }), PollLoop::Stop::Duration);
        QCOMPARE(ticks, 0);
    }

    void durationThatRunsOutDuringATickEndsTheLoopAfterIt()
    {
        PollLoop loop(10, -1, milliseconds(50));
        int ticks = 0;
        QCOMPARE(loop.run([&ticks] {
            ++ticks;
            platform::clock().sleep(milliseconds(80));
            return ticks < 100;
        }),
            PollLoop::Stop::Duration);
        QCOMPARE(ticks, 1);
    }
};

QTEST_GUILESS_MAIN(TstPollLoop)
#include "tst_pollloop.moc"
