#include "history/RunColumns.h"

#include <QRandomGenerator>
#include <QTest>

using history::RunColumns;
using history::Span;
using runlog::TickStatus;

namespace {

// Whether @p span holds the minimum, maximum and gap kinds of ticks [begin, end), tick by tick.
bool isSpanOf(const Span& span, const RunColumns& run, qsizetype begin, qsizetype end)
{
    float least = INFINITY;
    float most = -INFINITY;
    std::uint8_t gaps = 0;
    for (qsizetype i = begin; i < end; ++i) {
        const float t = run.temperatureAt(i);
        if (std::isnan(t))
            gaps |= run.statusAt(i) == TickStatus::PortLost ? history::kPortLostGap
                                                            : history::kNoReplyGap;
        least = std::min(least, t);
        most = std::max(most, t);
    }
    return span.gaps == gaps && span.hasReading() == std::isfinite(least)
        && (!span.hasReading() || (span.min == least && span.max == most));
}

// One tick about 600 ms after the last (some at the same time) of a slow wave, with stretches
// without a reply, stretches with the port lost, single spikes both ways, and now and then an
// ok tick without a reading (a gap like a tick without a reply).
void appendRandomTick(RunColumns& run, QRandomGenerator& random, int& gapLeft, TickStatus& gap)
{
    const std::int64_t at = run.isEmpty() ? random.bounded(-2000, 2000)
                                          : run.elapsedAt(run.size() - 1) + random.bounded(0, 1200);
    if (gapLeft == 0 && random.bounded(200) == 0) {
        gapLeft = random.bounded(1, 3000);
        gap = random.bounded(2) ? TickStatus::PortLost : TickStatus::NoReply;
    }
    float reading = 30.0F + 5.0F * std::sin(float(run.size()) / 5000.0F);
    if (random.bounded(5000) == 0)
        reading += random.bounded(2) ? 400.0F : -400.0F;
    if (gapLeft > 0 || random.bounded(20000) == 0)
        reading = std::numeric_limits<float>::quiet_NaN();
    run.append(at, reading, gapLeft-- > 0 ? gap : TickStatus::Ok);
    gapLeft = std::max(gapLeft, 0);
}

} // namespace

class TstRunColumns : public QObject {
    Q_OBJECT
private slots:
    void spansEqualTickByTick_data();
    void spansEqualTickByTick();
};

void TstRunColumns::spansEqualTickByTick_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<bool>("reserved");
    QTest::newRow("one tick") << 1U << 1 << false;
    QTest::newRow("one block") << 2U << 16 << true;
    QTest::newRow("block and one") << 3U << 17 << false;
    QTest::newRow("two levels exactly") << 4U << 256 << true;
    QTest::newRow("short run") << 5U << 1000 << false;
    QTest::newRow("long run, reserved as the reader does") << 6U << 300000 << true;
    QTest::newRow("long run, grown live") << 7U << 300000 << false;
}

// columnSpans() at random zooms and span() of random ranges equal the ticks' own minimum,
// maximum and gaps, both as the run grows tick by tick and once it is whole.
void TstRunColumns::spansEqualTickByTick()
{
    QFETCH(quint32, seed);
    QFETCH(int, ticks);
    QFETCH(bool, reserved);
    QRandomGenerator random(seed);
    RunColumns run;
    if (reserved)
        run.reserve(ticks);
    int gapLeft = 0;
    TickStatus gap = TickStatus::NoReply;
    for (int i = 0; i < ticks; ++i) {
        appendRandomTick(run, random, gapLeft, gap);
        if (random.bounded(ticks / 50 + 1) == 0) {
            const auto end = qsizetype(random.bounded(int(run.size()) + 1));
            const auto begin = qsizetype(random.bounded(int(end) + 1));
            QVERIFY(isSpanOf(run.span(begin, end), run, begin, end));
        }
    }
    QVERIFY(isSpanOf(run.span(0, run.size()), run, 0, run.size()));
    QVERIFY(run.memoryBytes() <= std::size_t(std::max(ticks, 4096)) * 24);

    const std::int64_t first = run.elapsedAt(0);
    const std::int64_t last = run.elapsedAt(run.size() - 1);
    for (int zoom = 0; zoom < 20; ++zoom) {
        const std::int64_t from = first - 1000 + random.bounded(qint64 { last - first + 2000 });
        const std::int64_t to = from + 1 + random.bounded(qint64 { last - from + 2000 });
        const int width = random.bounded(1, 2000);
        const auto columns = history::columnSpans(run, from, to, width);
        QCOMPARE(columns.size(), std::size_t(width));
        for (int c = 0; c < width; ++c) {
            const auto& column = columns[std::size_t(c)];
            QCOMPARE(column.begin, run.lowerBound(from + (to - from) * c / width));
            QCOMPARE(column.end, run.lowerBound(from + (to - from) * (c + 1) / width));
            QVERIFY2(isSpanOf(column.span, run, column.begin, column.end),
                qPrintable(QStringLiteral("column %1 of %2").arg(c).arg(width)));
        }
    }
}

QTEST_GUILESS_MAIN(TstRunColumns)
#include "tst_runcolumns.moc"
