#include "platform/Clock.h"
#include "platform/MessageTimer.h"

#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include <vector>

using platform::Clock;
using platform::MessageTimer;

namespace {

// Real time plus an offset the test moves forward: a handler can "run" for a second without
// the test really waiting for it.
class SkewedClock final : public Clock {
public:
    Duration now() const override
    {
        return std::chrono::duration_cast<Duration>(
                   std::chrono::steady_clock::now().time_since_epoch())
            + skew;
    }
    void sleep(Duration duration) override { skew += duration; }
    Duration blockFor(Duration left) override { return left; }

    Duration skew { 0 };
};

// Notes each resize of the window it watches as "e".
class ResizeSeen final : public QObject {
public:
    explicit ResizeSeen(QString& order)
        : m_order(order)
    {
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize)
            m_order += u'e';
        return QObject::eventFilter(watched, event);
    }

private:
    QString& m_order;
};

} // namespace

class TstMessageTimer : public QObject {
    Q_OBJECT

private slots:
    void startsDisabled()
    {
        MessageTimer timer;
        QVERIFY(!timer.isEnabled());
        QSignalSpy ticks(&timer, &MessageTimer::timeout);
        timer.setInterval(1);
        QTest::qWait(30);
        QCOMPARE(ticks.count(), 0);
    }

    void ticksWhileEnabledAndStopsWhenDisabled()
    {
        MessageTimer timer;
        QSignalSpy ticks(&timer, &MessageTimer::timeout);
        timer.setInterval(5);
        timer.setEnabled(true);
        QTRY_VERIFY(ticks.count() >= 3);
        timer.setEnabled(false);
        const qsizetype seen = ticks.count();
        QTest::qWait(30);
        QCOMPARE(ticks.count(), seen);
    }

    void intervalZeroNeverFiresButCountsAsEnabled()
    {
        MessageTimer timer;
        QSignalSpy ticks(&timer, &MessageTimer::timeout);
        timer.setInterval(0);
        timer.setEnabled(true);
        QVERIFY(timer.isEnabled());
        QTest::qWait(50);
        QCOMPARE(ticks.count(), 0);

        // A later non-zero interval brings the ticks.
        timer.setInterval(5);
        QTRY_VERIFY(ticks.count() >= 1);
    }

    void intervalsBeyondQtTimerRangeAreKept()
    {
        MessageTimer timer;
        timer.setInterval(4294967295u);
        timer.setEnabled(true);
        QCOMPARE(timer.interval(), 4294967295u);
    }

    void ticksMissedDuringALongTickComeOnce()
    {
        SkewedClock fake;
        const platform::ScopedClock useFake(fake);
        MessageTimer timer;
        std::vector<Clock::Duration> seen;
        connect(&timer, &MessageTimer::timeout, &timer, [&] {
            seen.push_back(platform::clock().now());
            if (seen.size() == 1)
                platform::clock().sleep(Clock::Duration(1000)); // twenty intervals
        });
        timer.setInterval(50);
        timer.setEnabled(true);
        QTRY_VERIFY_WITH_TIMEOUT(seen.size() >= 3, 10000);

        // The tick after the long one stands for all twenty that fell due: the one after it
        // keeps a full interval's distance instead of following in a burst.
        QVERIFY(seen[1] - seen[0] >= Clock::Duration(1000));
        QVERIFY(seen[2] - seen[1] >= Clock::Duration(50));
    }

    void windowEventsThatCameDuringALongTickGoBeforeTheNextTick()
    {
        // The window system hands its events to the program between ticks: here the new size
        // of a window, asked for while a tick blocks.
        QWindow window;
        window.resize(100, 100);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QString order;
        ResizeSeen resized(order);
        window.installEventFilter(&resized);

        SkewedClock fake;
        const platform::ScopedClock useFake(fake);
        MessageTimer timer;
        connect(&timer, &MessageTimer::timeout, &timer, [&] {
            order += u't';
            if (order.size() > 1)
                return;
            window.resize(120, 120);
            platform::clock().sleep(Clock::Duration(1000)); // overruns the next tick
        });
        timer.setInterval(50);
        timer.setEnabled(true);
        QTRY_VERIFY_WITH_TIMEOUT(order.count(u't') >= 2, 10000);
        QCOMPARE(order.left(3), QStringLiteral("tet"));
    }

    void handlerMayStopTheTimer()
    {
        MessageTimer timer;
        int ticks = 0;
        connect(&timer, &MessageTimer::timeout, &timer, [&] {
            ++ticks;
            timer.setEnabled(false);
        });
        timer.setInterval(1);
        timer.setEnabled(true);
        QTRY_COMPARE(ticks, 1);
        QTest::qWait(30);
        QCOMPARE(ticks, 1);
    }

    void handlerMayDeleteTheTimer()
    {
        auto* timer = new MessageTimer;
        bool ticked = false;
        connect(timer, &MessageTimer::timeout, timer, [&] {
            ticked = true;
            delete timer;
        });
        timer->setInterval(1);
        timer->setEnabled(true);
        QTRY_VERIFY(ticked);
    }
};

QTEST_MAIN(TstMessageTimer)
#include "tst_messagetimer.moc"
