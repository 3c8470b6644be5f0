#include "runlog/RunFileReader.h"

#include <QTest>
#include <QTimeZone>

using runlog::RunRow;
using runlog::TickStatus;
using std::chrono::milliseconds;

namespace {

const QByteArray kHeader(runlog::kRunHeader);

} // namespace

class TstRunFileReader : public QObject {
    Q_OBJECT
private slots:
    void readsWhatIsWritten();
    void tornLastLine_data();
    void tornLastLine();
    void rejects_data();
    void rejects();
};

void TstRunFileReader::readsWhatIsWritten()
{
    const QTimeZone berlin("Europe/Berlin");
    const QList<RunRow> rows {
        { QDateTime(QDate(2026, 10, 25), QTime(0, 59, 59, 999), QTimeZone::utc())
                .toTimeZone(berlin),
            milliseconds(0), 36.5, TickStatus::Ok },
        { QDateTime(QDate(2026, 10, 25), QTime(1, 0), QTimeZone::utc()).toTimeZone(berlin),
            milliseconds(59999), std::nullopt, TickStatus::NoReply },
        { QDateTime(QDate(2026, 12, 8), QTime(10, 15), QTimeZone("America/New_York")),
            milliseconds(-5), -12.3, TickStatus::Ok },
        { QDateTime(QDate(2026, 12, 8), QTime(10, 15), QTimeZone::utc()), milliseconds(8640000007),
            std::nullopt, TickStatus::PortLost },
    };
    QByteArray content = kHeader;
    for (const RunRow& row : rows)
        content += runlog::formatRow(row);

    QString why;
    const auto file = runlog::parseRunFile(content, &why);
    QVERIFY2(file, qPrintable(why));
    QVERIFY(!file->tornLastLine);
    QCOMPARE(file->rows.size(), rows.size());
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const RunRow& read = file->rows.at(i);
        QCOMPARE(read.time, rows.at(i).time);
        QCOMPARE(read.time.offsetFromUtc(), rows.at(i).time.offsetFromUtc());
        QCOMPARE(read.elapsed, rows.at(i).elapsed);
        QCOMPARE(read.temperature, rows.at(i).temperature);
        QCOMPARE(read.status, rows.at(i).status);
    }
}

void TstRunFileReader::tornLastLine_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<qsizetype>("rows");
    QTest::addColumn<bool>("torn");
    const QByteArray row("2026-12-08T10:15:00.512+01:00,12.345,36.5,ok\n");
    QTest::newRow("empty") << QByteArray() << qsizetype(0) << false;
    QTest::newRow("header only") << kHeader << qsizetype(0) << false;
    QTest::newRow("torn header") << kHeader.left(10) << qsizetype(0) << true;
    QTest::newRow("two rows") << kHeader + row + row << qsizetype(2) << false;
    QTest::newRow("torn row") << kHeader + row + row.left(20) << qsizetype(1) << true;
    QTest::newRow("zeros after a power cut")
        << kHeader + row + QByteArray(40, '\0') << qsizetype(1) << true;
}

void TstRunFileReader::tornLastLine()
{
    QFETCH(QByteArray, content);
    QFETCH(qsizetype, rows);
    QFETCH(bool, torn);
    QString why;
    const auto file = runlog::parseRunFile(content, &why);
    QVERIFY2(file, qPrintable(why));
    QCOMPARE(file->rows.size(), rows);
    QCOMPARE(file->tornLastLine, torn);
}

void TstRunFileReader::rejects_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("torn line followed by a row") << QByteArray("2026-12-08T10:152026-12-08T10:"
                                                               "15:00.512+01:00,1.000,,no-reply");
    QTest::newRow("CR LF") << QByteArray("2026-12-08T10:15:00.512+01:00,1.000,36.5,ok\r");
    QTest::newRow("Z for UTC") << QByteArray("2026-12-08T10:15:00.512Z,1.000,36.5,ok");
    QTest::newRow("no milliseconds") << QByteArray("2026-12-08T10:15:00+01:00,1.000,36.5,ok");
    QTest::newRow("31 November") << QByteArray("2026-11-31T10:15:00.512+01:00,1.000,36.5,ok");
    QTest::newRow("offset minutes 60") << QByteArray("2026-12-08T10:15:00.512+01:60,1.000,,ok");
    QTest::newRow("decimal comma") << QByteArray("2026-12-08T10:15:00.512+01:00,1,000,36.5,ok");
    QTest::newRow("two decimals elapsed") << QByteArray("2026-12-08T10:15:00.512+01:00,1.00,,ok");
    QTest::newRow("two decimals reading")
        << QByteArray("2026-12-08T10:15:00.512+01:00,1.000,36.50,ok");
    QTest::newRow("reading on no-reply")
        << QByteArray("2026-12-08T10:15:00.512+01:00,1.000,36.5,no-reply");
    QTest::newRow("unknown status") << QByteArray("2026-12-08T10:15:00.512+01:00,1.000,,OK");
    QTest::newRow("five fields") << QByteArray("2026-12-08T10:15:00.512+01:00,1.000,36.5,ok,");
    QTest::newRow("three fields") << QByteArray("2026-12-08T10:15:00.512+01:00,1.000,ok");
    QTest::newRow("blank line") << QByteArray();
}

void TstRunFileReader::rejects()
{
    QFETCH(QByteArray, line);
    QString why;
    QVERIFY(!runlog::parseRunFile(kHeader + line + '\n', &why));
    QVERIFY(why.startsWith(QStringLiteral("line 2: ")));
    QVERIFY(!runlog::parseRunFile("time,elapsed,temperature,status\n"));
}

QTEST_GUILESS_MAIN(TstRunFileReader)
#include "tst_runfilereader.moc"
