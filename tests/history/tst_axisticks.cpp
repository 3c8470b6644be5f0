#include "history/AxisTicks.h"

#include <QDateTime>
#include <QTest>

using history::AxisTick;

namespace {

QString labels(const std::vector<AxisTick>& ticks)
{
    QStringList out;
    for (const AxisTick& tick : ticks)
        out << tick.label;
    return out.join(QLatin1Char(' '));
}

} // namespace

class TstAxisTicks : public QObject {
    Q_OBJECT
private slots:
    void ticks_data();
    void ticks();
};

void TstAxisTicks::ticks_data()
{
    QTest::addColumn<char>("axis"); // c: clock in Berlin, e: elapsed, v: value
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");
    QTest::addColumn<double>("lengthPx");
    QTest::addColumn<QString>("expected");
    const auto clock = [](const char* name, const char* from, const char* to, double length,
                           const char* expected) {
        const auto ms = [](const char* iso) {
            return QDateTime::fromString(QLatin1String(iso), Qt::ISODate).toMSecsSinceEpoch();
        };
        QTest::newRow(name) << 'c' << double(ms(from)) << double(ms(to)) << length
                            << QString::fromUtf8(expected);
    };
    clock("10 s", "2026-12-08T10:15:00+01:00", "2026-12-08T10:15:10+01:00", 500,
        "10:15:00 10:15:02 10:15:04 10:15:06 10:15:08 10:15:10");
    clock("1 h", "2026-12-08T09:59:59+01:00", "2026-12-08T11:00:00+01:00", 600,
        "10:00 10:10 10:20 10:30 10:40 10:50 11:00");
    clock("across midnight", "2026-12-08T21:30:00+01:00", "2026-12-09T02:00:00+01:00", 400,
        "22:00 23:00 09.12 01:00 02:00");
    clock("clock goes forward", "2026-03-29T00:00:00+01:00", "2026-03-29T05:00:00+02:00", 400,
        "29.03 01:00 03:00 04:00 05:00");
    clock("clock goes back", "2026-10-25T00:00:00+02:00", "2026-10-25T04:00:00+01:00", 500,
        "25.10 01:00 02:00 02:00 03:00 04:00");
    clock("6 h steps stay on the local clock", "2026-10-24T00:00:00+02:00",
        "2026-10-26T00:00:00+01:00", 700, "24.10 06:00 12:00 18:00 25.10 06:00 12:00 18:00 26.10");
    clock("10 days", "2026-12-01T00:00:00+01:00", "2026-12-11T00:00:00+01:00", 1000,
        "01.12 02.12 03.12 04.12 05.12 06.12 07.12 08.12 09.12 10.12 11.12");
    clock("weeks start on Monday", "2026-11-30T12:00:00+01:00", "2027-02-01T00:00:00+01:00", 800,
        "07.12 14.12 21.12 28.12 04.01 11.01 18.01 25.01 01.02");
    QTest::newRow("elapsed, before Start")
        << 'e' << -10e3 << 10e3 << 400.0 << "-0:00:10 -0:00:05 0:00:00 0:00:05 0:00:10";
    QTest::newRow("elapsed, minutes")
        << 'e' << 0.0 << 5400e3 << 600.0 << "0:00 0:15 0:30 0:45 1:00 1:15 1:30";
    QTest::newRow("elapsed, past a day")
        << 'e' << 0.0 << 180000e3 << 500.0 << "0:00 12:00 24:00 36:00 48:00";
    QTest::newRow("degrees") << 'v' << 20.3 << 37.9 << 800.0 << "22 24 26 28 30 32 34 36";
    QTest::newRow("tenths around zero") << 'v' << -0.25 << 0.1 << 400.0 << "-0.2 -0.1 0.0 0.1";
    QTest::newRow("no span") << 'v' << 5.0 << 5.0 << 400.0 << "";
}

// Labels at round steps at least 80 px apart, within the span, in order.
void TstAxisTicks::ticks()
{
    QFETCH(char, axis);
    QFETCH(double, from);
    QFETCH(double, to);
    QFETCH(double, lengthPx);
    QFETCH(QString, expected);
    const double gap = 80;
    const auto f = std::int64_t(from);
    const auto t = std::int64_t(to);
    const std::vector<AxisTick> ticks = axis == 'c'
        ? history::clockTicks(f, t, lengthPx, gap, QTimeZone("Europe/Berlin"))
        : axis == 'e' ? history::elapsedTicks(f, t, lengthPx, gap)
                      : history::valueTicks(from, to, lengthPx, gap);
    QCOMPARE(labels(ticks), expected);
    for (std::size_t i = 0; i < ticks.size(); ++i) {
        QVERIFY(ticks[i].at >= from && ticks[i].at <= to);
        if (i > 0)
            QVERIFY((ticks[i].at - ticks[i - 1].at) * lengthPx / (to - from) >= gap * 0.999);
    }
}

QTEST_GUILESS_MAIN(TstAxisTicks)
#include "tst_axisticks.moc"
