#include "history/AlarmSpans.h"

#include <QtTest>

using namespace history;

// Each row: alarms.csv's lines after its header, and the spans of run x.csv as
// "rule:from-to" in seconds after 12:00:00 ("rule:from-" while still raised).
class TestAlarmSpans : public QObject {
    Q_OBJECT

private slots:
    void spans_data();
    void spans();
};

void TestAlarmSpans::spans_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("spans");
    const auto row = [](int s, const char* file, const char* rule, const char* event) {
        return QStringLiteral("2026-12-09T12:00:%1.000+00:00,%2,%3,%4,31.2,30")
            .arg(s, 2, 10, QLatin1Char('0'))
            .arg(QLatin1String(file), QLatin1String(rule), QLatin1String(event));
    };
    QTest::newRow("raised and cleared") << QStringList { row(1, "/runs/x.csv", "high", "raised"),
        row(2, "/runs/x.csv", "high", "acknowledged"), row(5, "/runs/x.csv", "high", "cleared") }
                                        << "high:1-5";
    QTest::newRow("a raise with no clear")
        << QStringList { row(3, "/runs/x.csv", "stale", "raised") } << "stale:3-";
    QTest::newRow("ended by the run's end, and a second alarm") << QStringList {
        row(1, "/runs/x.csv", "low", "raised"), row(2, "/runs/x.csv", "band", "raised"),
        row(4, "/runs/x.csv", "low", "ended"), row(6, "/runs/x.csv", "band", "cleared")
    } << "low:1-4 band:2-6";
    QTest::newRow("another run's rows; the folder moved since") << QStringList {
        row(1, "/runs/y.csv", "high", "raised"), row(2, "/old/place/x.csv", "high", "raised"),
        row(3, "\"/old/a,b/x.csv\"", "high", "cleared"), row(4, "/runs/y.csv", "high", "cleared")
    } << "high:2-3";
    QTest::newRow("malformed rows skipped")
        << QStringList { QStringLiteral("garbage"), QStringLiteral(""),
               row(1, "/runs/x.csv", "warm", "raised"), row(1, "/runs/x.csv", "high", "rang"),
               QStringLiteral("not a time,/runs/x.csv,high,raised,31,30"),
               QStringLiteral("2026-12-09T12:00:01.000+00:00,\"/runs/x.csv,high,raised"),
               row(1, "/runs/x.csv", "high", "cleared"), row(2, "/runs/x.csv", "high", "raised"),
               row(3, "/runs/x.csv", "high", "raised"),
               QStringLiteral("2026-12-09T12:00:07.000+00:00,/runs/x.csv,high,cleared\r"),
               QStringLiteral("2026-12-09T12:00:09.000+00:00,/runs/x.c") }
        << "high:2-7";
}

void TestAlarmSpans::spans()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, spans);
    const QByteArray csv
        = "time,run_file,rule,event,temperature_C,threshold_C\n" + lines.join('\n').toUtf8();
    const std::int64_t noon
        = QDateTime::fromString("2026-12-09T12:00:00Z", Qt::ISODate).toMSecsSinceEpoch();
    QStringList told;
    for (const AlarmSpan& span : alarmSpans(csv, QStringLiteral("/runs/x.csv")))
        told << QStringLiteral("%1:%2-%3")
                    .arg(QLatin1String(alarms::ruleName(span.rule)))
                    .arg((span.fromMs - noon) / 1000)
                    .arg(span.toMs ? QString::number((*span.toMs - noon) / 1000) : QString());
    QCOMPARE(told.join(' '), spans);
}

QTEST_APPLESS_MAIN(TestAlarmSpans)
#include "tst_alarmspans.moc"
