#include "history/LimitsSteps.h"
#include "history/RowsExport.h"
#include "history/RunFileColumns.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

using runlog::TickStatus;

namespace {

const QByteArray kHeader(runlog::kRunHeader);
const QByteArray kT("2026-12-08T10:15:00.512+01:00");

QByteArray row(std::int64_t elapsedMs, std::optional<double> degrees, TickStatus status)
{
    const QDateTime start = QDateTime::fromString(QString::fromLatin1(kT), Qt::ISODateWithMs);
    return runlog::formatRow({ start.addMSecs(elapsedMs).toLocalTime(),
        std::chrono::milliseconds(elapsedMs), degrees, status });
}

// Rows, skipped lines, the first skipped line and whether the last line was torn.
QString summary(const history::RunRead& read)
{
    return QStringLiteral("%1/%2/%3/%4")
        .arg(read.columns.size())
        .arg(read.skippedLines)
        .arg(read.firstSkippedLine)
        .arg(read.tornLastLine);
}

bool append(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::Append) && file.write(bytes) == bytes.size();
}

} // namespace

class TstRunFileColumns : public QObject {
    Q_OBJECT
private slots:
    void reads_data();
    void reads();
    void fileGrowingWhileRead();
    void limitsInForce_data();
    void limitsInForce();
    void exportsTheRowsOfTheRange();
};

void TstRunFileColumns::reads_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("result"); // rows/skipped/first skipped line/torn, or the message
    const QByteArray rows = row(0, 36.5, TickStatus::Ok) + row(600, {}, TickStatus::NoReply)
        + row(1200, -0.4, TickStatus::Ok) + row(1800, {}, TickStatus::PortLost);
    QTest::newRow("rows") << kHeader + rows << "4/0/0/0";
    QTest::newRow("header alone") << kHeader << "0/0/0/0";
    QTest::newRow("torn last line")
        << kHeader + rows + row(2400, 1, TickStatus::Ok).first(40) << "4/0/0/1";
    QTest::newRow("bad lines") << kHeader + rows.first(rows.indexOf('\n') + 1) + kT
            + ",0.600,36.5,no-reply\n" + kT + ",0.6,36.5,ok\n" + kT + ",0.600,36.55,ok\n" + kT
            + ",0.600,,lost\n" + kT + ",0.600,,ok,\n" + QByteArray("\x00\xff\n", 3)
            + rows.sliced(rows.indexOf('\n') + 1)
                               << "4/6/3/0";
    QTest::newRow("elapsed goes back")
        << kHeader + row(5000, 1, TickStatus::Ok) + rows << "1/4/3/0";
    QTest::newRow("first time no date") << kHeader + "2026-13-08"
            + row(0, 1, TickStatus::Ok).sliced(10) + rows.sliced(rows.indexOf('\n') + 1)
                                        << "3/1/2/0";
    QTest::newRow("empty") << QByteArray()
                           << "Файл «run.csv» не является файлом опроса: строка 1: ожидался "
                              "заголовок «time,elapsed_s,temperature_C,status», а файл пуст.";
    QTest::newRow("torn header") << kHeader.first(9) << "а он не дописан";
    QTest::newRow("foreign csv") << QByteArray("date;value\n1;2\n") << "а в ней «date;value»";
    QTest::newRow("random bytes") << QByteArray("\x89PNG\r\n\x1a\n\0\0", 10)
                                  << "а в ней двоичные данные";
    QTest::newRow("CR LF") << QByteArray(kHeader).replace("\n", "\r\n") + rows << "CR LF";
}

// Rows into columns, lines that are no row skipped and counted, content that is no run file
// refused with one message naming the file and line 1.
void TstRunFileColumns::reads()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, result);
    QString why;
    const auto read = history::parseRunColumns(content, QStringLiteral("run.csv"), &why);
    if (!read) {
        QVERIFY2(why.contains(result), qPrintable(why));
        return;
    }
    QCOMPARE(summary(*read), result);
    // Each tick's time is the first row's time moved by the difference in elapsed time.
    const history::RunColumns& columns = read->columns;
    for (qsizetype i = 0; i < columns.size(); ++i)
        QCOMPARE(columns.timeAt(i),
            QDateTime::fromString(kT, Qt::ISODateWithMs).toMSecsSinceEpoch()
                + columns.elapsedAt(i));
    if (QTest::currentDataTag() == QByteArray("rows"))
        QVERIFY(columns.temperatureAt(2) == -0.4F && std::isnan(columns.temperatureAt(1)));
}

// A file still being written, read in chunks: rows across many chunks, bad lines, a line longer
// than a chunk and a torn end read as the content parsed whole; the next read has the rest.
void TstRunFileColumns::fileGrowingWhileRead()
{
    QByteArray content = kHeader;
    for (int i = 0; i < 60000; ++i) {
        content
            += i == 20000 ? QByteArray(3 << 20, 'x') + '\n' : QByteArray(i % 997 ? "" : "bad\n");
        content += row(std::int64_t(i) * 600, 20 + i % 50, TickStatus::Ok);
    }
    content += row(36000000, 37, TickStatus::Ok).first(20);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.csv"));
    QVERIFY(append(path, content));
    const auto whole = history::parseRunColumns(content, path);
    auto read = history::readRunColumns(path);
    QVERIFY(whole && read);
    QCOMPARE(summary(*read), QStringLiteral("60000/62/2/1"));
    QCOMPARE(summary(*whole), summary(*read));
    QCOMPARE(read->columns.startMs(), whole->columns.startMs());
    for (qsizetype i = 0; i < read->columns.size(); ++i) {
        QCOMPARE(read->columns.elapsedAt(i), whole->columns.elapsedAt(i));
        QCOMPARE(read->columns.temperatureAt(i), whole->columns.temperatureAt(i));
    }
    QVERIFY(append(path, row(36000000, 37, TickStatus::Ok).sliced(20)));
    read = history::readRunColumns(path);
    QVERIFY(read && !read->tornLastLine);
    QCOMPARE(read->columns.size(), 60001);
}

void TstRunFileColumns::limitsInForce_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QString>("steps");
    const QByteArray rows = "time,lower_C,upper_C,outcome\n"
                            "2026-12-08T09:00:00.000+01:00,30.0,31.0,sent\n"
                            "2026-12-08T09:30:00.000+01:00,32.0,33.0,sent\n"
                            "2026-12-08T10:00:00.000+01:00,34.0,35.0,port-not-opened\n"
                            "2026-12-08T10:30:00.000+01:00,36.5,37.0,sent,later column\n"
                            "2026-12-08T10:40:00.000+01:00,x,37.0,sent\n"
                            "2026-12-08T12:00:00.000+01:00,38.0,39.0,sent\n";
    QTest::newRow("before and during") << rows << "09:30 32 33, 10:30 36.5 37";
    QTest::newRow("none before") << rows.sliced(rows.indexOf("2026-12-08T10:00"))
                                 << "10:30 36.5 37";
    QTest::newRow("torn last line")
        << rows.first(rows.indexOf("2026-12-08T12")) + "2026-12-08T10:45:00.000+01:00,1,2,sent"
        << "09:30 32 33, 10:30 36.5 37";
}

// The last upload sent before the run and those sent during it, from 10:00 to 11:00.
void TstRunFileColumns::limitsInForce()
{
    QFETCH(QByteArray, csv);
    QFETCH(QString, steps);
    const std::int64_t start
        = QDateTime::fromString(QStringLiteral("2026-12-08T10:00:00+01:00"), Qt::ISODate)
              .toMSecsSinceEpoch();
    QStringList got;
    for (const history::LimitsStep& step : history::limitsSteps(csv, start, start + 3600000))
        got << QStringLiteral("%1 %2 %3")
                   .arg(QDateTime::fromMSecsSinceEpoch(step.timeMs, QTimeZone(3600))
                            .toString(QStringLiteral("HH:mm")))
                   .arg(step.lower)
                   .arg(step.upper);
    QCOMPARE(got.join(QStringLiteral(", ")), steps);
}

// The rows of an elapsed range as the run file has them, from the file and from the columns.
void TstRunFileColumns::exportsTheRowsOfTheRange()
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("run.csv"));
    QByteArray rows;
    for (int i = 0; i < 100; ++i)
        rows += row(std::int64_t(i) * 600, i % 7 ? std::optional(30 + i / 10.0) : std::nullopt,
            i % 7 ? TickStatus::Ok : TickStatus::ShortReply);
    QVERIFY(append(source, kHeader + rows + "bad line\n" + row(60000, 1, TickStatus::Ok)));
    const auto lineOf
        = [&](const char* elapsed) { return rows.lastIndexOf('\n', rows.indexOf(elapsed)) + 1; };
    const QByteArray expected
        = kHeader + rows.sliced(lineOf(",6.000,"), lineOf(",12.600,") - lineOf(",6.000,"));
    const QString target = dir.filePath(QStringLiteral("range.csv"));
    const auto content = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    QCOMPARE(history::exportRows(source, 5900, 12000, target), 11);
    QCOMPARE(content(target), expected);
    const auto read = history::readRunColumns(source);
    QVERIFY(read);
    QCOMPARE(history::exportRows(read->columns, 5900, 12000, target), 11);
    QCOMPARE(content(target), expected);
    QString why;
    QVERIFY(!history::exportRows(source, 0, 1, dir.filePath(QStringLiteral("no/such")), &why));
    QVERIFY(why.contains(QStringLiteral("Не удалось записать")));
}

QTEST_GUILESS_MAIN(TstRunFileColumns)
#include "tst_runfilecolumns.moc"
