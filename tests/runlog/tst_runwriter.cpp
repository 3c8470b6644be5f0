#include "../support/FaultyStorage.h"
#include "../support/FullPipe.h"
#include "runlog/RunFileReader.h"
#include "runlog/RunLog.h"
#include "runlog/RunWriter.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <csignal>

using runlog::RunWriter;
using runlog::TickStatus;

namespace {

// Outlives every writer of the tests, a writer left held up among them.
FaultyStorage& storage()
{
    static FaultyStorage stalling;
    return stalling;
}

const QDateTime kStart(QDate(2026, 12, 9), QTime(3, 0), QTimeZone(3600));

void recordRows(RunWriter& writer, int first, int count)
{
    for (int n = first; n < first + count; ++n)
        writer.record(TickStatus::Ok, n / 10.0, kStart.addMSecs(500LL * n),
            std::chrono::milliseconds(500LL * n));
}

// The readings of the run file, in the file's order; empty when the file is not whole.
QList<double> readings(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const auto parsed = runlog::parseRunFile(file.readAll());
    QList<double> found;
    if (!parsed || parsed->tornLastLine)
        return found;
    for (const runlog::RunRow& row : parsed->rows)
        found.append(row.temperature.value_or(-1));
    return found;
}

QList<double> expected(int count)
{
    QList<double> values;
    for (int n = 0; n < count; ++n)
        values.append(n / 10.0);
    return values;
}

} // namespace

class TstRunWriter : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { std::signal(SIGPIPE, SIG_IGN); }
    void cleanup() { storage().release(); }

    // Whatever holds the storage up and for how long, no call waits for it, every row goes out
    // once in order when it answers again, and a stall is told once, with the file.
    void heldStorageDelaysRowsButLosesNone_data()
    {
        QTest::addColumn<int>("rowsBeforeHold");
        QTest::addColumn<int>("rowsWhileHeld");
        QTest::addColumn<bool>("told");
        QTest::newRow("healthy disk") << 50 << 0 << false;
        QTest::newRow("held from the first row") << 0 << 40 << true;
        QTest::newRow("held amid the run") << 10 << 40 << true;
    }
    void heldStorageDelaysRowsButLosesNone()
    {
        QFETCH(int, rowsBeforeHold);
        QFETCH(int, rowsWhileHeld);
        QFETCH(bool, told);
        QTemporaryDir folder;
        RunWriter writer(storage());
        writer.setStallAfter(std::chrono::milliseconds(200));
        QSignalSpy stalls(&writer, &RunWriter::notAnswering);
        QSignalSpy failures(&writer, &RunWriter::failed);

        writer.begin({ runlog::RunTarget::Kind::Folder, folder.path(), -1 }, kStart,
            std::chrono::milliseconds(0));
        recordRows(writer, 0, rowsBeforeHold);
        QVERIFY(writer.waitUntilDone(std::chrono::seconds(20)));
        storage().hold();
        recordRows(writer, rowsBeforeHold, rowsWhileHeld);
        if (told) {
            QTRY_COMPARE_WITH_TIMEOUT(stalls.size(), 1, 20000);
            QVERIFY(writer.pendingRows() > 0);
            QVERIFY(!writer.waitUntilDone(std::chrono::milliseconds(0)));
            QCOMPARE(stalls.first().first().toString(), writer.filePath());
        }
        storage().release();
        writer.end();
        QVERIFY(writer.waitUntilDone(std::chrono::seconds(20)));
        QCoreApplication::processEvents();
        QCOMPARE(stalls.size(), told ? 1 : 0);
        QCOMPARE(failures.size(), 0);
        QCOMPARE(writer.pendingRows(), 0);
        QCOMPARE(writer.lostRows(), 0);
        QCOMPARE(readings(writer.filePath()), expected(rowsBeforeHold + rowsWhileHeld));
    }

    // Beyond the bound, the oldest waiting rows go and are counted; the rest keep their order.
    void rowsBeyondTheBoundAreDroppedOldestFirst()
    {
        QTemporaryDir folder;
        RunWriter writer(storage());
        storage().hold();
        writer.begin({ runlog::RunTarget::Kind::Folder, folder.path(), -1 }, kStart,
            std::chrono::milliseconds(0));
        const int rows = int(runlog::RunLog::kMaxHeldRows) + 3;
        recordRows(writer, 0, rows);
        storage().release();
        writer.end();
        QVERIFY(writer.waitUntilDone(std::chrono::seconds(60)));
        QCOMPARE(writer.lostRows(), 3);
        const QList<double> kept = readings(writer.filePath());
        QCOMPARE(kept.size(), rows - 3);
        QCOMPARE(kept.first(), 0.3);
        QCOMPARE(kept.last(), (rows - 1) / 10.0);
    }

    // A stream nobody reads holds up the writer's thread, never its owner, who can leave it.
    void aHeldWriterLetsItsOwnerGo()
    {
        // Full before the run begins: the header's write blocks.
        FullPipe pipe;
        QVERIFY(pipe.full);

        auto writer = std::make_unique<RunWriter>(storage());
        writer->begin({ runlog::RunTarget::Kind::Stream, QStringLiteral("a pipe"), pipe.writer() },
            kStart, std::chrono::milliseconds(0));
        recordRows(*writer, 0, 5);
        QVERIFY(!writer->waitUntilDone(std::chrono::milliseconds(50)));
        QCOMPARE(writer->pendingRows(), 5);
        writer->setLeaveAfter(std::chrono::milliseconds(0));
        writer.reset(); // returns although the pipe still holds the thread

        // The reader goes: the blocked write fails, and the thread ends by itself.
        pipe.keepWriter();
        pipe.closeReader();
    }
};

QTEST_GUILESS_MAIN(TstRunWriter)
#include "tst_runwriter.moc"
