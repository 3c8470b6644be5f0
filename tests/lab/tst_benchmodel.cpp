#include "lab/BenchModel.h"

#include <QtTest>

using lab::BenchModel;

namespace {

const QDateTime kWallNow
    = QDateTime::fromString(QStringLiteral("2026-12-09T12:00:00Z"), Qt::ISODate);

// A state message as a bench sends it, @p secondsAgo before kWallNow.
QString state(double elapsedS, const QString& temperature = QStringLiteral("36.6"),
    int secondsAgo = 0, const QString& status = QStringLiteral("ok"))
{
    return QStringLiteral(R"({"time":"%1","elapsed_s":%2,"temperature_C":%3,"status":"%4",)"
                          R"("limits":{"lower":36.5,"upper":36.7},)"
                          R"("alarm":{"state":"clear","rule":null},"run_file":null})")
        .arg(kWallNow.addSecs(-secondsAgo).toString(Qt::ISODateWithMs))
        .arg(elapsedS)
        .arg(temperature, status);
}

// "MS TOPIC PAYLOAD": a message arriving at MS of the steady clock; "MS* ..." came retained.
void feed(BenchModel& model, const QStringList& script)
{
    for (const QString& line : script) {
        const QStringList parts = line.split(u' ');
        const bool retained = parts[0].endsWith(u'*');
        const std::int64_t at = QString(parts[0]).remove(u'*').toLongLong();
        model.take(parts[1].toUtf8(), line.section(u' ', 2).toUtf8(), retained, at, kWallNow);
    }
}

// Each bench in order: "name grey|live reading interval".
QString summary(const BenchModel& model, std::int64_t at)
{
    QStringList benches;
    for (const QString& name : model.names()) {
        const lab::Bench& bench = *model.bench(name);
        benches << QStringLiteral("%1 %2 %3 %4")
                       .arg(name, BenchModel::isGrey(bench, at) ? u"grey" : u"live",
                           bench.reading ? QString::number(*bench.reading) : QStringLiteral("-"))
                       .arg(bench.intervalMs);
    }
    return benches.join(u", ");
}

QStringList ticks(const QString& bench, int count, int spacingMs, int firstMs = 0)
{
    QStringList script;
    for (int i = 0; i < count; ++i)
        script << QStringLiteral("%1 velmora/%2/state %3")
                      .arg(firstMs + i * spacingMs)
                      .arg(bench, state((firstMs + i * spacingMs) / 1000.0));
    return script;
}

} // namespace

class TestBenchModel : public QObject {
    Q_OBJECT

private slots:
    void rules_data()
    {
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<int>("at");
        QTest::addColumn<QString>("expected");

        QTest::newRow("online with a state")
            << QStringList { "0 velmora/b1/status online", "0 velmora/b1/state " + state(0) }
            << 1000 << "b1 live 36.6 0";
        QTest::newRow("no state yet: grey")
            << QStringList { "0 velmora/b1/status online", "0 velmora/b1/temperature 20.5" } << 0
            << "b1 grey 20.5 0";
        QTest::newRow("offline will") << QStringList { "0 velmora/b1/status online",
            "0 velmora/b1/state " + state(0), "10 velmora/b1/status offline" }
                                      << 20 << "b1 grey 36.6 0";
        QTest::newRow("back online") << QStringList { "0 velmora/b1/status offline",
            "0 velmora/b1/state " + state(0), "10 velmora/b1/status online" }
                                     << 20 << "b1 live 36.6 0";
        QTest::newRow("three intervals: still live")
            << ticks("b1", 4, 1000) << 6000 << "b1 live 36.6 1000";
        QTest::newRow("past three intervals: grey")
            << ticks("b1", 4, 1000) << 6001 << "b1 grey 36.6 1000";
        QTest::newRow("a lost message leaves the interval")
            << QStringList { "0 velmora/b1/state " + state(0), "800 velmora/b1/state " + state(0.8),
                   "2400 velmora/b1/state " + state(2.4), "3200 velmora/b1/state " + state(3.2) }
            << 5600 << "b1 live 36.6 800";
        QTest::newRow("one state: a minute assumed")
            << QStringList { "0 velmora/b1/state " + state(5) } << 180'000 << "b1 live 36.6 0";
        QTest::newRow("one state: silent after three minutes")
            << QStringList { "0 velmora/b1/state " + state(5) } << 180'001 << "b1 grey 36.6 0";
        QTest::newRow("retained state counts from its time")
            << QStringList { "0* velmora/b1/state " + state(5, "36.6", 600) } << 1000
            << "b1 grey 36.6 0";
        QTest::newRow("the same state again is no tick")
            << QStringList { "0 velmora/b1/state " + state(1), "500 velmora/b1/state " + state(1) }
            << 500 << "b1 live 36.6 0";
        QTest::newRow("no reply keeps the last reading, status shown")
            << QStringList { "0 velmora/b1/state " + state(0),
                   "1000 velmora/b1/state " + state(1, "null", 0, "no-reply") }
            << 1000 << "b1 live 36.6 1000";
        QTest::newRow("sorted by name, digits as numbers")
            << QStringList { "0 velmora/bench-10/state " + state(0),
                   "0 velmora/bench-2/state " + state(0), "0 velmora/Bench-1/state " + state(0),
                   "0 velmora/bench-02x/state " + state(0) }
            << 0
            << "Bench-1 live 36.6 0, bench-2 live 36.6 0, bench-02x live 36.6 0, "
               "bench-10 live 36.6 0";
        QTest::newRow("malformed, wrong types, huge values: ignored") << QStringList {
            "0 velmora/b1/state {", "0 velmora/b1/state []", "0 velmora/b1/state " + state(1e300),
            "0 velmora/b1/state " + state(1, "1e308"), "0 velmora/b1/state " + state(1, "\"36\""),
            "0 velmora/b1/state " + state(-1), "0 velmora/b1/state " + state(1, "36", 0, "fine"),
            "0 velmora/b1/state " + QString(state(1)).replace("36.5", "-3"),
            "0 velmora/b1/state " + QString(state(1)).replace("null}", "7}"),
            "0 velmora/b1/state " + QString(state(1)).replace("\"clear\"", "1"),
            "0 velmora/b1/state " + QString(state(1)).replace("}", "," + QString(5000, 'x') + "}"),
            "0 velmora/b1/temperature nan", "0 velmora/b1/temperature 1e999",
            "0 velmora/b1/limits {\"lower\":1e9,\"upper\":2}", "0 velmora/b1/alarm {\"state\":7}",
            "0 velmora/b1/status maybe"
        } << 0 << "";
        QTest::newRow("a bad message after a good one changes nothing")
            << QStringList { "0 velmora/b1/state " + state(0), "900 velmora/b1/state {",
                   "900 velmora/b1/state " + state(2, "1e400"), "900 velmora/b1/temperature x" }
            << 900 << "b1 live 36.6 0";
        QTest::newRow("other topics and prefixes") << QStringList { "0 velmora/b1 online",
            "0 velmora/b1/limits/set {}", "0 other/b1/state " + state(0),
            "0 velmora/b+1/state " + state(0), "0 velmora//state " + state(0),
            "0 velmora/b1/weather sunny", "0 velmoraX/b1/state " + state(0) }
                                                   << 0 << "";
    }
    void rules()
    {
        QFETCH(QStringList, script);
        QFETCH(int, at);
        QFETCH(QString, expected);
        BenchModel model(QStringLiteral("velmora"));
        feed(model, script);
        QCOMPARE(summary(model, at), expected);
    }

    // The tile plots the last 30 minutes of a run; the history keeps it all, and a run that
    // starts anew (its elapsed time back to 0) starts new columns.
    void recentSpanAndNewRun()
    {
        BenchModel model(QStringLiteral("lab/3"));
        QStringList script = ticks("b1", 241, 10'000); // 40 minutes, a tick each 10 s
        for (QString& line : script)
            line.replace(QStringLiteral("velmora/"), QStringLiteral("lab/3/"));
        feed(model, script);
        const lab::Bench& bench = *model.bench(QStringLiteral("b1"));
        const auto columns = bench.live->columns();
        QCOMPARE(columns->size(), 241);
        const auto [begin, end] = BenchModel::recent(bench);
        QCOMPARE(end, 241);
        QCOMPARE(columns->elapsedAt(begin), 10 * 60'000); // 40 min - 30 min
        QCOMPARE(end - begin, 181);

        feed(model, { "2500000 lab/3/b1/state " + state(0.5) });
        QCOMPARE(bench.live->columns()->size(), 1);
        QCOMPARE(columns->size(), 241); // a window on the old run keeps it
    }
};

QTEST_GUILESS_MAIN(TestBenchModel)
#include "tst_benchmodel.moc"
