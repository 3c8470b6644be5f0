#include "../support/SettingsFile.h"
#include "runlog/RunStream.h"

#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

using runlog::RunStream;
using runlog::TickStatus;
using std::chrono::milliseconds;

namespace {

const QByteArray kHeader(runlog::kRunHeader);
const QDateTime kStart(QDate(2026, 12, 8), QTime(10, 15, 0), QTimeZone("Europe/Berlin"));
constexpr milliseconds kSteadyStart { 5000 };
constexpr qint64 kTickMs = 800;

std::optional<runlog::LogFailure> record(RunStream& stream, int n)
{
    return stream.record(n % 3 == 0 ? TickStatus::NoReply : TickStatus::Ok,
        n % 3 == 0 ? std::nullopt : std::optional<double>(36.0 + n / 10.0),
        kStart.addMSecs(n * kTickMs), kSteadyStart + milliseconds(n * kTickMs));
}

QByteArray rowOf(int n)
{
    return runlog::formatRow({ kStart.addMSecs(n * kTickMs), milliseconds(n * kTickMs),
        n % 3 == 0 ? std::nullopt : std::optional<double>(36.0 + n / 10.0),
        n % 3 == 0 ? TickStatus::NoReply : TickStatus::Ok });
}

// Both ends of a pipe, closed with the object.
struct Pipe {
    Pipe()
    {
        if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
            ends[0] = ends[1] = -1;
    }
    ~Pipe()
    {
        closeEnd(0);
        closeEnd(1);
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    void closeEnd(int which)
    {
        if (ends[which] >= 0)
            ::close(ends[which]);
        ends[which] = -1;
    }
    QByteArray drain() const
    {
        QByteArray all;
        char buffer[4096];
        for (ssize_t got = 0; (got = ::read(ends[0], buffer, sizeof buffer)) > 0;)
            all.append(buffer, got);
        return all;
    }

    int ends[2] = { -1, -1 };
};

} // namespace

class TstRunStream : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        // A closed pipe must be a failed write here, as it is in the logger, not a kill.
        std::signal(SIGPIPE, SIG_IGN);
    }

    void headerAndEveryRowGoOutAtOnce()
    {
        Pipe pipe;
        QVERIFY(pipe.ends[1] >= 0);
        RunStream stream(pipe.ends[1], QStringLiteral("standard output"));
        QVERIFY(!record(stream, 1)); // before the run: nothing
        QVERIFY(!stream.begin(kSteadyStart));
        QCOMPARE(pipe.drain(), kHeader);
        QByteArray expected;
        for (int n = 1; n <= 4; ++n) {
            QVERIFY(!record(stream, n));
            // Nothing waits in a buffer of ours: the reader has the row as soon as it is made.
            QCOMPARE(pipe.drain(), rowOf(n));
        }
        stream.end();
        QVERIFY(!record(stream, 5));
        QCOMPARE(pipe.drain(), QByteArray());
        QVERIFY(!stream.hasFailed());
    }

    // Standard output sent to a file that has content already (>>): the run follows it.
    void regularFileGetsTheRunAtItsEnd()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out.csv"));
        QVERIFY(writeFile(path, "before\n"));
        const int file = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND);
        QVERIFY(file >= 0);
        RunStream stream(file, path);
        QVERIFY(!stream.begin(kSteadyStart));
        QVERIFY(!record(stream, 1));
        QVERIFY(!record(stream, 3));
        stream.end();
        ::close(file);
        QCOMPARE(readFile(path), "before\n" + kHeader + rowOf(1) + rowOf(3));
    }

    void firstFailureEndsTheStream_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("atBegin");
        QTest::addColumn<int>("error");
        QTest::newRow("pipe closed before the header") << QStringLiteral("pipe") << true << EPIPE;
        QTest::newRow("pipe closed after the header") << QStringLiteral("pipe") << false << EPIPE;
        QTest::newRow("full device") << QStringLiteral("full") << true << ENOSPC;
        QTest::newRow("closed descriptor") << QStringLiteral("closed") << true << EBADF;
    }
    void firstFailureEndsTheStream()
    {
        QFETCH(QString, fault);
        QFETCH(bool, atBegin);
        QFETCH(int, error);
        Pipe pipe;
        int handle = pipe.ends[1];
        int full = -1;
        if (fault == QLatin1String("full")) {
            full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
            QVERIFY(full >= 0);
            handle = full;
        } else if (fault == QLatin1String("closed")) {
            pipe.closeEnd(1);
            handle = pipe.ends[1] = ::dup(0);
            ::close(handle);
        }
        if (atBegin)
            pipe.closeEnd(0);

        RunStream stream(handle, QStringLiteral("standard output"));
        std::optional<runlog::LogFailure> failure = stream.begin(kSteadyStart);
        if (!atBegin) {
            QVERIFY(!failure);
            QVERIFY(!stream.hasFailed());
            pipe.closeEnd(0);
            failure = record(stream, 1);
        }
        QVERIFY(failure);
        QCOMPARE(failure->path, QStringLiteral("standard output"));
        QCOMPARE(failure->error, error);
        QCOMPARE(failure->reason, qt_error_string(error));
        QVERIFY(stream.hasFailed());
        // Reported once; nothing is tried after it.
        QVERIFY(!record(stream, 2));
        if (full >= 0)
            ::close(full);
        if (fault == QLatin1String("closed"))
            pipe.ends[1] = -1;
    }
};

QTEST_GUILESS_MAIN(TstRunStream)
#include "tst_runstream.moc"
