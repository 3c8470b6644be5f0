#include "../support/FaultyStorage.h"
#include "../support/SettingsFile.h"
#include "runlog/RunFileReader.h"
#include "runlog/RunLog.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <cerrno>
#include <memory>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using runlog::LogFailure;
using runlog::RunLog;
using runlog::TickStatus;
using std::chrono::milliseconds;

namespace {

const QByteArray kHeader(runlog::kRunHeader);
const QDateTime kStart(QDate(2026, 12, 8), QTime(10, 15, 0), QTimeZone("Europe/Berlin"));
constexpr milliseconds kSteadyStart { 1000000 };
constexpr int kTickMs = 500;

// Tick @p n of a run: half a second apart, readings 36.1, 36.2, ...; every seventh unanswered.
struct Tick {
    TickStatus status;
    std::optional<double> temperature;
    QDateTime time;
    milliseconds steady;
};

Tick tick(int n)
{
    const bool answered = n % 7 != 0;
    return { answered ? TickStatus::Ok : TickStatus::NoReply,
        answered ? std::optional<double>((360 + n % 100) / 10.0) : std::nullopt,
        kStart.addMSecs(qint64(n) * kTickMs), kSteadyStart + milliseconds(qint64(n) * kTickMs) };
}

std::optional<LogFailure> record(RunLog& log, int n)
{
    const Tick t = tick(n);
    return log.record(t.status, t.temperature, t.time, t.steady);
}

QByteArray rowOf(int n)
{
    const Tick t = tick(n);
    return runlog::formatRow({ t.time, t.steady - kSteadyStart, t.temperature, t.status });
}

// The header and the rows of ticks @p first .. @p last.
QByteArray fileWith(int first, int last)
{
    QByteArray content = kHeader;
    for (int n = first; n <= last; ++n)
        content += rowOf(n);
    return content;
}

QString fileName(int attempt)
{
    return runlog::runFileName(kStart, attempt);
}

// A tmpfs mounted on a folder for as long as the object lives; only root may mount.
class Tmpfs {
public:
    explicit Tmpfs(const QString& folder)
        : m_folder(QFile::encodeName(folder))
    {
    }
    ~Tmpfs()
    {
        if (m_mounted)
            ::umount2(m_folder.constData(), MNT_DETACH);
    }
    Tmpfs(const Tmpfs&) = delete;
    Tmpfs& operator=(const Tmpfs&) = delete;

    bool mount(const char* options, unsigned long flags)
    {
        if (::geteuid() != 0)
            return false;
        m_mounted = ::mount("tmpfs", m_folder.constData(), "tmpfs", flags, options) == 0;
        return m_mounted;
    }
    bool remount(const char* options, unsigned long flags)
    {
        return ::mount("tmpfs", m_folder.constData(), "tmpfs", MS_REMOUNT | flags, options) == 0;
    }

private:
    QByteArray m_folder;
    bool m_mounted = false;
};

} // namespace

class TstRunLog : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void rowsGoToOneFilePerRun();
    void sameSecondNeverOverwrites();
    void everyRowIsSynced();
    void removedWhileWriting_data();
    void removedWhileWriting();
    void diskFullCutsTheTornRow();
    void partialWriteKeepsTheWholeRowsItTook();
    void fileThatCannotBeCutIsGivenUp();
    void failedSyncWritesTheRowsAgain();
    void failureToCreate_data();
    void failureToCreate();
    void realFolderThatIsAFile();
    void realReadOnlyFolder();
    void realFullDisk();
    void heldRowsAreBounded();
    void endWritesWhatIsHeld();
    void endCountsTheRowsNoFileTook();
    void givenFileIsMadeOrTakenWhenEmpty_data();
    void givenFileIsMadeOrTakenWhenEmpty();
    void givenFileIsNeverOverwritten_data();
    void givenFileIsNeverOverwritten();
    void givenFileRemovedGoesOnBesideIt_data();
    void givenFileRemovedGoesOnBesideIt();

private:
    QString path(const QString& name) const { return m_folder + QLatin1Char('/') + name; }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_folder;
    FaultyStorage m_storage;
};

void TstRunLog::initTestCase()
{
    QLocale::setDefault(QLocale::c());
    ::umask(022);
}

void TstRunLog::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_folder = m_dir->filePath(QStringLiteral("runs/velmora"));
    m_storage = FaultyStorage();
}

void TstRunLog::rowsGoToOneFilePerRun()
{
    RunLog log;
    QVERIFY(!log.begin(m_folder, kStart, kSteadyStart));
    QVERIFY(log.isRunning());
    QCOMPARE(log.filePath(), path(fileName(1)));
    QCOMPARE(readFile(log.filePath()), kHeader);
    struct stat info { };
    QCOMPARE(::stat(QFile::encodeName(log.filePath()).constData(), &info), 0);
    QCOMPARE(info.st_mode & 07777, mode_t(0644));
    for (int n = 1; n <= 7; ++n)
        QVERIFY(!record(log, n));
    QCOMPARE(readFile(path(fileName(1))), fileWith(1, 7));
    log.end();
    QVERIFY(!log.isRunning());
    QVERIFY(log.filePath().isEmpty());
    QVERIFY(!record(log, 8));
    QCOMPARE(readFile(path(fileName(1))), fileWith(1, 7));

    const QDateTime later = kStart.addSecs(60);
    QVERIFY(!log.begin(m_folder, later, kSteadyStart));
    QCOMPARE(log.filePath(), path(runlog::runFileName(later, 1)));
    QVERIFY(!record(log, 1));
    log.end();
    QCOMPARE(QDir(m_folder).entryList(QDir::Files).size(), 2);
    QCOMPARE(readFile(path(fileName(1))), fileWith(1, 7));
}

void TstRunLog::sameSecondNeverOverwrites()
{
    QVERIFY(QDir().mkpath(m_folder));
    QVERIFY(writeFile(path(fileName(1)), "someone else's\n"));
    RunLog log;
    QVERIFY(!log.begin(m_folder, kStart, kSteadyStart));
    QCOMPARE(log.filePath(), path(fileName(2)));
    QVERIFY(!record(log, 1));
    QVERIFY(!log.begin(m_folder, kStart, kSteadyStart)); // ends the first run
    QCOMPARE(log.filePath(), path(fileName(3)));
    QVERIFY(!record(log, 2));
    log.end();
    QCOMPARE(readFile(path(fileName(1))), QByteArray("someone else's\n"));
    QCOMPARE(readFile(path(fileName(2))), fileWith(1, 1));
    QCOMPARE(readFile(path(fileName(3))), fileWith(2, 2));
}

void TstRunLog::everyRowIsSynced()
{
    RunLog log(m_storage);
    QVERIFY(!log.begin(m_folder, kStart, kSteadyStart));
    for (int n = 1; n <= 5; ++n)
        QVERIFY(!record(log, n));
    log.end();
    QCOMPARE(m_storage.writes, 6);
    QCOMPARE(m_storage.syncs, 6);
    QCOMPARE(m_storage.folderSyncs, 1);
}

void TstRunLog::removedWhileWriting_data()
{
    QTest::addColumn<QString>("removed");
    QTest::newRow("folder") << QStringLiteral("folder");
    QTest::newRow("file") << QStringLiteral("file");
    QTest::newRow("file replaced") << QStringLiteral("replaced");
}

void TstRunLog::removedWhileWriting()
{
    QFETCH(QString, removed);
    RunLog log;
    QVERIFY(!log.begin(m_folder, kStart, kSteadyStart));
    QVERIFY(!record(log, 1));
    QVERIFY(!record(log, 2));
    const QString first = log.filePath();
    if (removed == QLatin1String("folder")) {
        QVERIFY(QDir(m_folder).removeRecursively());
    } else if (removed == QLatin1String("file")) {
        QVERIFY(QFile::remove(first));
    } else {
        const QString other = path(QStringLiteral("other"));
        QVERIFY(writeFile(other, "replacement\n"));
        QVERIFY(::rename(QFile::encodeName(other).constData(), QFile::encodeName(first).constData())
            == 0);
    }

    const auto failure = record(log, 3);
    QVERIFY(failure);
    QCOMPARE(failure->path, first);
    QCOMPARE(failure->error, ENOENT);
    QCOMPARE(failure->reason, qt_error_string(ENOENT));
    QCOMPARE(log.filePath(), path(fileName(2)));
    QVERIFY(!record(log, 4));
    QCOMPARE(readFile(log.filePath()), fileWith(3, 4));
    if (removed == QLatin1String("replaced"))
        QCOMPARE(readFile(first), QByteArray("replacement\n"));

    // A second removal in the same run is handled alike but not reported again.
    QVERIFY(QDir(m_folder).removeRecursively());
    QVERIFY(!record(log, 5));
    QCOMPARE(readFile(path(fileName(3))), fileWith(5, 5));
}

void TstRunLog::diskFullCutsTheTornRow()
{
    RunLog log(m_storage);
    m_storage.spaceLeft = kHeader.size() + rowOf(1).size() + rowOf(2).size() + 10;
    QVERIFY(!log.begin(m_folder, kStart, kSteadyStart));
    QVERIFY(!record(log, 1));
    QVERIFY(!record(log, 2));
    const auto failure = record(log, 3);
    QVERIFY(failure);
    QCOMPARE(failure->path, path(fileName(1)));
    QCOMPARE(failure->error, ENOSPC);
    QCOMPARE(failure->reason, qt_error_string(ENOSPC));
    QCOMPARE(readFile(log.filePath()), fileWith(1, 2));
    QVERIFY(!record(log, 4));
    QVERIFY(!record(log, 5));
    QCOMPARE(log.heldRows(), 3);
    QCOMPARE(readFile(log.filePath()), fileWith(1, 2));

    m_storage.clearFaults();
    QVERIFY(!record(log, 6));
    QCOMPARE(log.heldRows(), 0);
    QCOMPARE(readFile(log.filePath()), fileWith(1, 6));

    // The next run reports its own first failure; even its header did not fit.
    m_storage.spaceLeft = 10;
    const QDateTime later = kStart.addSecs(60);
    const auto again = log.begin(m_folder, later, kSteadyStart);
    QVERIFY(again);
    QCOMPARE(again->error, ENOSPC);
    QCOMPARE(readFile(path(runlog::runFileName(later, 1))), QByteArray());
    QCOMPARE(readFile(path(fileName(1))), fileWith(1, 6));
}

void TstRunLog::partialWriteKeepsTheWholeRowsItTook()
{
    RunLog log(m_storage);
    m_storage.folderError = EACCES;
    QVERIFY(log.begin(m_folder, kStart, kSteadyStart));
    for (int n = 1; n <= 3; ++n)
        QVERIFY(!record(log, n));
    // The held rows and the new one go out together; the disk takes two and a half of them.
    m_storage.folderError = 0;
    m_storage.spaceLeft = kHeader.size() + rowOf(1).size() + rowOf(2).size() + 7;
    QVERIFY(!record(log, 4));
    QCOMPARE(readFile(log.filePath()), fileWith(1, 2));
    QCOMPARE(log.heldRows(), 2);
    m_storage.clearFaults();
    QVERIFY(!record(log, 5));
    QCOMPARE(readFile(log.filePath()), fileWith(1, 5));
}

void TstRunLog::fileThatCannotBeCutIsGivenUp()
{
    RunLog log(m_storage);
    QVERIFY(!log.begin(m_folder, kStart, kSteadyStart));
    QVERIFY(!record(log, 1));
    QVERIFY(!record(log, 2));
    m_storage.spaceLeft = 10;
    m_storage.truncateError = EIO;
    const auto failure = record(log, 3);
    QVERIFY(failure);
    QCOMPARE(failure->error, ENOSPC);
    QVERIFY(log.filePath().isEmpty());

    m_storage.clearFaults();
    QVERIFY(!record(log, 4));
    QCOMPARE(log.filePath(), path(fileName(2)));
    QVERIFY(!record(log, 5));
    log.end();
    // The torn line stays last in the file given up; the rest of the run is in the next one.
    const auto torn = runlog::readRunFile(path(fileName(1)));
    QVERIFY(torn);
    QVERIFY(torn->tornLastLine);
    QCOMPARE(torn->rows.size(), 2);
    QCOMPARE(readFile(path(fileName(1))), fileWith(1, 2) + rowOf(3).left(10));
    QCOMPARE(readFile(path(fileName(2))), fileWith(3, 5));
}

void TstRunLog::failedSyncWritesTheRowsAgain()
{
    RunLog log(m_storage);
    QVERIFY(!log.begin(m_folder, kStart, kSteadyStart));
    QVERIFY(!record(log, 1));
    m_storage.syncError = EIO;
    const auto failure = record(log, 2);
    QVERIFY(failure);
    QCOMPARE(failure->error, EIO);
    QCOMPARE(readFile(log.filePath()), fileWith(1, 1));
    QVERIFY(!record(log, 3));
    m_storage.clearFaults();
    QVERIFY(!record(log, 4));
    QCOMPARE(readFile(log.filePath()), fileWith(1, 4));
}

void TstRunLog::failureToCreate_data()
{
    QTest::addColumn<int>("folderError");
    QTest::addColumn<int>("createError");
    QTest::newRow("EROFS on create") << 0 << EROFS;
    QTest::newRow("EACCES on create") << 0 << EACCES;
    QTest::newRow("ENOTDIR on the folder") << ENOTDIR << 0;
    QTest::newRow("EACCES on the folder") << EACCES << 0;
    QTest::newRow("ENOENT on the folder") << ENOENT << 0;
}

void TstRunLog::failureToCreate()
{
    QFETCH(int, folderError);
    QFETCH(int, createError);
    RunLog log(m_storage);
    m_storage.folderError = folderError;
    m_storage.createError = createError;
    const auto failure = log.begin(m_folder, kStart, kSteadyStart);
    QVERIFY(failure);
    QCOMPARE(failure->path, folderError != 0 ? m_folder : path(fileName(1)));
    QCOMPARE(failure->error, folderError != 0 ? folderError : createError);
    QCOMPARE(failure->reason, qt_error_string(failure->error));
    QVERIFY(log.isRunning());
    QVERIFY(log.filePath().isEmpty());
    QVERIFY(!record(log, 1));
    QVERIFY(!record(log, 2));
    QCOMPARE(log.heldRows(), 2);

    m_storage.clearFaults();
    QVERIFY(!record(log, 3));
    QCOMPARE(log.filePath(), path(fileName(1)));
    QCOMPARE(readFile(log.filePath()), fileWith(1, 3));
}

void TstRunLog::realFolderThatIsAFile()
{
    const QString plain = m_dir->filePath(QStringLiteral("plain"));
    QVERIFY(writeFile(plain, "not a folder\n"));
    const QString folder = plain + QStringLiteral("/runs");
    RunLog log;
    const auto failure = log.begin(folder, kStart, kSteadyStart);
    QVERIFY(failure);
    QCOMPARE(failure->path, folder);
    QCOMPARE(failure->error, ENOTDIR);
    QVERIFY(!record(log, 1));
    QVERIFY(QFile::remove(plain));
    QVERIFY(!record(log, 2));
    QCOMPARE(readFile(folder + QLatin1Char('/') + fileName(1)), fileWith(1, 2));
}

void TstRunLog::realReadOnlyFolder()
{
    // Root writes through any permission bits: there only a read-only mount stops a write.
    QVERIFY(QDir().mkpath(m_folder));
    Tmpfs tmpfs(m_folder);
    const bool mounted = tmpfs.mount("size=64k", MS_RDONLY);
    if (!mounted)
        QVERIFY(QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::ExeOwner));
    RunLog log;
    const auto failure = log.begin(m_folder, kStart, kSteadyStart);
    QVERIFY(failure);
    QCOMPARE(failure->path, path(fileName(1)));
    QCOMPARE(failure->error, mounted ? EROFS : EACCES);
    QVERIFY(!record(log, 1));

    if (mounted)
        QVERIFY(tmpfs.remount("size=64k", 0));
    else
        QVERIFY(QFile::setPermissions(
            m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QVERIFY(!record(log, 2));
    QCOMPARE(readFile(log.filePath()), fileWith(1, 2));
    log.end();
}

void TstRunLog::realFullDisk()
{
    QVERIFY(QDir().mkpath(m_folder));
    Tmpfs tmpfs(m_folder);
    if (!tmpfs.mount("size=64k", 0))
        QSKIP("mounting a small tmpfs needs root; the storage double covers a full disk");
    RunLog log;
    QVERIFY(!log.begin(m_folder, kStart, kSteadyStart));
    int n = 1;
    std::optional<LogFailure> failure;
    for (; n < 100000 && !failure; ++n)
        failure = record(log, n);
    QVERIFY(failure);
    QCOMPARE(failure->error, ENOSPC);
    const int firstHeld = n - 1;
    const auto full = runlog::readRunFile(log.filePath());
    QVERIFY(full);
    QVERIFY(!full->tornLastLine);
    QCOMPARE(readFile(log.filePath()), fileWith(1, firstHeld - 1));
    for (int more = 0; more < 10; ++more, ++n)
        QVERIFY(!record(log, n));

    QVERIFY(tmpfs.remount("size=1m", 0));
    QVERIFY(!record(log, n));
    QCOMPARE(log.heldRows(), 0);
    QCOMPARE(readFile(log.filePath()), fileWith(1, n));
    log.end();
}

void TstRunLog::heldRowsAreBounded()
{
    RunLog log(m_storage);
    m_storage.folderError = EROFS;
    QVERIFY(log.begin(m_folder, kStart, kSteadyStart));
    const int ticks = int(RunLog::kMaxHeldRows) + 5;
    for (int n = 1; n <= ticks; ++n)
        QVERIFY(!record(log, n));
    QCOMPARE(log.heldRows(), RunLog::kMaxHeldRows);
    QCOMPARE(log.droppedRows(), 5);
    m_storage.clearFaults();
    QVERIFY(!record(log, ticks + 1));
    QCOMPARE(log.heldRows(), 0);
    QVERIFY(readFile(log.filePath()) == fileWith(7, ticks + 1));
}

void TstRunLog::endWritesWhatIsHeld()
{
    RunLog log(m_storage);
    m_storage.createError = EROFS;
    QVERIFY(log.begin(m_folder, kStart, kSteadyStart));
    QVERIFY(!record(log, 1));
    QVERIFY(!record(log, 2));
    m_storage.clearFaults();
    log.end();
    QCOMPARE(readFile(path(fileName(1))), fileWith(1, 2));
}

void TstRunLog::endCountsTheRowsNoFileTook()
{
    RunLog log(m_storage);
    QVERIFY(!log.begin(m_folder, kStart, kSteadyStart));
    QVERIFY(!record(log, 1));
    m_storage.createError = EROFS;
    QVERIFY(QDir(m_folder).removeRecursively());
    QVERIFY(record(log, 2));
    QVERIFY(!record(log, 3));
    QCOMPARE(log.lostRows(), 0);
    log.end();
    QCOMPARE(log.lostRows(), 2);
    m_storage.clearFaults();
    QVERIFY(!log.begin(m_folder, kStart, kSteadyStart));
    QCOMPARE(log.lostRows(), 0);
    QVERIFY(!record(log, 4));
    log.end();
    QCOMPARE(log.lostRows(), 0);
}

void TstRunLog::givenFileIsMadeOrTakenWhenEmpty_data()
{
    QTest::addColumn<bool>("thereAlready");
    QTest::newRow("new") << false;
    QTest::newRow("empty file") << true;
}

void TstRunLog::givenFileIsMadeOrTakenWhenEmpty()
{
    QFETCH(bool, thereAlready);
    const QString night = path(QStringLiteral("night.csv"));
    if (thereAlready) {
        QVERIFY(QDir().mkpath(m_folder));
        QVERIFY(writeFile(night, QByteArray()));
    }
    RunLog log(m_storage);
    QVERIFY(!log.beginAt(night, kStart, kSteadyStart));
    QVERIFY(log.isRunning());
    QCOMPARE(log.filePath(), night);
    for (int n = 1; n <= 3; ++n)
        QVERIFY(!record(log, n));
    log.end();
    QCOMPARE(readFile(night), fileWith(1, 3));
    QCOMPARE(QDir(m_folder).entryList(QDir::Files), QStringList { QStringLiteral("night.csv") });
    QCOMPARE(m_storage.syncs, 4);
    QCOMPARE(m_storage.folderSyncs, 1);
}

void TstRunLog::givenFileIsNeverOverwritten_data()
{
    QTest::addColumn<QString>("there");
    QTest::newRow("file with content") << QStringLiteral("file");
    QTest::newRow("folder") << QStringLiteral("folder");
    QTest::newRow("fifo") << QStringLiteral("fifo");
}

void TstRunLog::givenFileIsNeverOverwritten()
{
    QFETCH(QString, there);
    QVERIFY(QDir().mkpath(m_folder));
    const QString night = path(QStringLiteral("night.csv"));
    if (there == QLatin1String("file"))
        QVERIFY(writeFile(night, "time,elapsed_s,temperature_C,status\n"));
    else if (there == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(night));
    else
        QCOMPARE(::mkfifo(QFile::encodeName(night).constData(), 0644), 0);

    RunLog log;
    const auto failure = log.beginAt(night, kStart, kSteadyStart);
    QVERIFY(failure);
    QCOMPARE(failure->path, night);
    QCOMPARE(failure->error, EEXIST);
    QVERIFY(!log.isRunning());
    QVERIFY(!record(log, 1));
    log.end();
    QCOMPARE(log.lostRows(), 0);
    QCOMPARE(QDir(m_folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
        QStringList { QStringLiteral("night.csv") });
    if (there == QLatin1String("file"))
        QCOMPARE(readFile(night), QByteArray("time,elapsed_s,temperature_C,status\n"));
}

void TstRunLog::givenFileRemovedGoesOnBesideIt_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("next");
    QTest::newRow("night.csv") << QStringLiteral("night.csv") << QStringLiteral("night_2.csv");
    QTest::newRow("night") << QStringLiteral("night") << QStringLiteral("night_2");
    QTest::newRow("run.1.csv") << QStringLiteral("run.1.csv") << QStringLiteral("run.1_2.csv");
    QTest::newRow(".csv") << QStringLiteral(".csv") << QStringLiteral(".csv_2");
}

void TstRunLog::givenFileRemovedGoesOnBesideIt()
{
    QFETCH(QString, name);
    QFETCH(QString, next);
    RunLog log;
    // A relative name is taken from the working folder, as the command line means it.
    QVERIFY(QDir().mkpath(m_folder));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_folder));
    const auto began = log.beginAt(name, kStart, kSteadyStart);
    QVERIFY(QDir::setCurrent(previous));
    QVERIFY(!began);
    QCOMPARE(log.filePath(), path(name));
    QVERIFY(!record(log, 1));
    QVERIFY(QFile::remove(path(name)));
    const auto failure = record(log, 2);
    QVERIFY(failure);
    QCOMPARE(failure->error, ENOENT);
    QCOMPARE(log.filePath(), path(next));
    QVERIFY(!record(log, 3));
    log.end();
    QCOMPARE(readFile(path(next)), fileWith(2, 3));
}

QTEST_GUILESS_MAIN(TstRunLog)
#include "tst_runlog.moc"
