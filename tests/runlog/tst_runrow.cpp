#include "runlog/RunRow.h"

#include <QLocale>
#include <QTest>
#include <QTimeZone>

#include <clocale>

using runlog::RunRow;
using runlog::TickStatus;
using std::chrono::milliseconds;

Q_DECLARE_METATYPE(TickStatus)
Q_DECLARE_METATYPE(std::optional<double>)

namespace {

// The moment @p utc (UTC, with milliseconds) as it is seen in @p zone.
QDateTime at(const char* utc, const QByteArray& zone)
{
    const QDateTime moment = QDateTime::fromString(QLatin1String(utc), Qt::ISODateWithMs);
    return moment.toTimeZone(QTimeZone(zone));
}

RunRow row(milliseconds elapsed, std::optional<double> temperature, TickStatus status)
{
    const QDateTime time(QDate(2026, 12, 8), QTime(10, 15, 0, 512), QTimeZone("Europe/Berlin"));
    return { time, elapsed, temperature, status };
}

} // namespace

class TstRunRow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void timeText_data();
    void timeText();
    void localTimeHasTheOffsetOfItsMoment();
    void fields_data();
    void fields();
    void decimalCommaLocaleChangesNothing();
    void fileName_data();
    void fileName();
};

void TstRunRow::timeText_data()
{
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("berlin winter") << at("2026-12-08T09:15:00.512Z", "Europe/Berlin")
                                   << QByteArray("2026-12-08T10:15:00.512+01:00");
    QTest::newRow("before spring change") << at("2026-03-29T00:59:59.999Z", "Europe/Berlin")
                                          << QByteArray("2026-03-29T01:59:59.999+01:00");
    QTest::newRow("after spring change") << at("2026-03-29T01:00:00.000Z", "Europe/Berlin")
                                         << QByteArray("2026-03-29T03:00:00.000+02:00");
    // In autumn the hour from 02:00 to 03:00 comes twice; only the offset tells them apart.
    QTest::newRow("before autumn change") << at("2026-10-25T00:59:59.999Z", "Europe/Berlin")
                                          << QByteArray("2026-10-25T02:59:59.999+02:00");
    QTest::newRow("after autumn change") << at("2026-10-25T01:00:00.000Z", "Europe/Berlin")
                                         << QByteArray("2026-10-25T02:00:00.000+01:00");
    QTest::newRow("last of the year") << at("2026-12-31T22:59:59.999Z", "Europe/Berlin")
                                      << QByteArray("2026-12-31T23:59:59.999+01:00");
    QTest::newRow("midnight") << at("2026-12-31T23:00:00.000Z", "Europe/Berlin")
                              << QByteArray("2027-01-01T00:00:00.000+01:00");
    QTest::newRow("utc") << QDateTime(QDate(2026, 12, 8), QTime(9, 15, 0, 1), QTimeZone::utc())
                         << QByteArray("2026-12-08T09:15:00.001+00:00");
    QTest::newRow("new york") << at("2026-12-08T15:15:00.512Z", "America/New_York")
                              << QByteArray("2026-12-08T10:15:00.512-05:00");
    QTest::newRow("st johns") << at("2026-12-08T15:15:00.000Z", "America/St_Johns")
                              << QByteArray("2026-12-08T11:45:00.000-03:30");
    QTest::newRow("kathmandu") << at("2026-12-08T04:30:00.000Z", "Asia/Kathmandu")
                               << QByteArray("2026-12-08T10:15:00.000+05:45");
    // An offset with seconds has no +HH:MM: the same moment goes in UTC.
    QTest::newRow("offset with seconds") << QDateTime(QDate(1890, 1, 1), QTime(12, 53, 28),
        QTimeZone(3208)) << QByteArray("1890-01-01T12:00:00.000+00:00");
    QTest::newRow("invalid") << QDateTime() << QByteArray();
}

void TstRunRow::timeText()
{
    QFETCH(QDateTime, time);
    QFETCH(QByteArray, text);
    QCOMPARE(runlog::timeText(time), text);
}

void TstRunRow::localTimeHasTheOffsetOfItsMoment()
{
    const QByteArray savedZone = qgetenv("TZ");
    qputenv("TZ", "Europe/Berlin");
    const QDateTime before(QDate(2026, 3, 29), QTime(1, 59, 59, 999), Qt::LocalTime);
    const QDateTime after = before.addMSecs(1);
    const QByteArray beforeText = runlog::timeText(before);
    const QByteArray afterText = runlog::timeText(after);
    qputenv("TZ", savedZone);
    QCOMPARE(beforeText, QByteArray("2026-03-29T01:59:59.999+01:00"));
    QCOMPARE(afterText, QByteArray("2026-03-29T03:00:00.000+02:00"));
}

void TstRunRow::fields_data()
{
    QTest::addColumn<qint64>("elapsed");
    QTest::addColumn<std::optional<double>>("temperature");
    QTest::addColumn<TickStatus>("status");
    QTest::addColumn<QByteArray>("fields");
    using T = TickStatus;
    const auto add = [](const char* name, qint64 ms, std::optional<double> degrees, T status,
                         const char* text) {
        QTest::newRow(name) << ms << degrees << status << QByteArray(text);
    };
    add("0 ms", 0, 36.5, T::Ok, "0.000,36.5,ok");
    add("1 ms", 1, 36.5, T::Ok, "0.001,36.5,ok");
    add("59.999 s", 59999, 36.5, T::Ok, "59.999,36.5,ok");
    add("10 h", 36000000, 36.5, T::Ok, "36000.000,36.5,ok");
    add("100 days", 8640000007, 36.5, T::Ok, "8640000.007,36.5,ok");
    add("negative elapsed", -5, 36.5, T::Ok, "-0.005,36.5,ok");
    add("0.0", 0, 0.0, T::Ok, "0.000,0.0,ok");
    add("-0.1", 0, -1 / 10.0, T::Ok, "0.000,-0.1,ok");
    add("-0.04 rounds to 0.0", 0, -0.04, T::Ok, "0.000,0.0,ok");
    add("36.4 from tenths", 0, 364 / 10.0, T::Ok, "0.000,36.4,ok");
    add("99.9 from tenths", 0, 999 / 10.0, T::Ok, "0.000,99.9,ok");
    add("6553.5 from tenths", 0, 65535 / 10.0, T::Ok, "0.000,6553.5,ok");
    add("36.449 rounds down", 0, 36.449, T::Ok, "0.000,36.4,ok");
    add("36.46 rounds up", 0, 36.46, T::Ok, "0.000,36.5,ok");
    add("99.96 carries", 0, 99.96, T::Ok, "0.000,100.0,ok");
    add("not a number", 0, std::numeric_limits<double>::quiet_NaN(), T::Ok, "0.000,,ok");
    add("infinity", 0, std::numeric_limits<double>::infinity(), T::Ok, "0.000,,ok");
    add("absent", 0, std::nullopt, T::Ok, "0.000,,ok");
    add("no-reply", 500, std::nullopt, T::NoReply, "0.500,,no-reply");
    add("short-reply", 500, std::nullopt, T::ShortReply, "0.500,,short-reply");
    add("write-failed", 500, std::nullopt, T::WriteFailed, "0.500,,write-failed");
    add("port-lost", 500, std::nullopt, T::PortLost, "0.500,,port-lost");
    add("reading on no-reply dropped", 500, 36.5, T::NoReply, "0.500,,no-reply");
}

void TstRunRow::fields()
{
    QFETCH(qint64, elapsed);
    QFETCH(std::optional<double>, temperature);
    QFETCH(TickStatus, status);
    QFETCH(QByteArray, fields);
    QCOMPARE(runlog::formatRow(row(milliseconds(elapsed), temperature, status)),
        "2026-12-08T10:15:00.512+01:00," + fields + '\n');
}

void TstRunRow::decimalCommaLocaleChangesNothing()
{
    const QList<RunRow> rows { row(milliseconds(12345), 36.5, TickStatus::Ok),
        row(milliseconds(999), -1 / 10.0, TickStatus::Ok),
        row(milliseconds(86400000), std::nullopt, TickStatus::NoReply) };
    QList<QByteArray> plain;
    for (const RunRow& r : rows)
        plain.append(runlog::formatRow(r));

    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const char* cLocale = std::setlocale(LC_ALL, "de_DE.UTF-8");
    if (!cLocale)
        qInfo("de_DE.UTF-8 is not installed: only Qt's default locale is German");
    QList<QByteArray> german;
    for (const RunRow& r : rows)
        german.append(runlog::formatRow(r));
    std::setlocale(LC_ALL, "C");
    QLocale::setDefault(QLocale::c());

    QCOMPARE(german, plain);
    QCOMPARE(plain.at(0), QByteArray("2026-12-08T10:15:00.512+01:00,12.345,36.5,ok\n"));
}

void TstRunRow::fileName_data()
{
    QTest::addColumn<int>("attempt");
    QTest::addColumn<QString>("name");
    QTest::newRow("1") << 1 << QStringLiteral("2026-12-08_10-15-00.csv");
    QTest::newRow("2") << 2 << QStringLiteral("2026-12-08_10-15-00_2.csv");
    QTest::newRow("17") << 17 << QStringLiteral("2026-12-08_10-15-00_17.csv");
    QTest::newRow("0") << 0 << QStringLiteral("2026-12-08_10-15-00.csv");
}

void TstRunRow::fileName()
{
    QFETCH(int, attempt);
    QFETCH(QString, name);
    // The milliseconds of the start are not part of the name.
    const QDateTime start(QDate(2026, 12, 8), QTime(10, 15, 0, 987), QTimeZone("Europe/Berlin"));
    QCOMPARE(runlog::runFileName(start, attempt), name);
}

QTEST_GUILESS_MAIN(TstRunRow)
#include "tst_runrow.moc"
