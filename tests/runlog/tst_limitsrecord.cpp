#include "../support/FaultyStorage.h"
#include "../support/ScriptedClock.h"
#include "../support/SettingsFile.h"
#include "runlog/LimitsRecord.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <cerrno>
#include <fcntl.h>
#include <future>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using runlog::LimitsOutcome;
using runlog::LimitsSource;

Q_DECLARE_METATYPE(LimitsOutcome)
Q_DECLARE_METATYPE(LimitsSource)

namespace {

const QByteArray kHeader(runlog::kLimitsHeader);
const QDateTime kTime(QDate(2026, 12, 8), QTime(10, 15, 0, 512), QTimeZone("Europe/Berlin"));
const QByteArray kSentRow("2026-12-08T10:15:00.512+01:00,36.5,37.0,sent,window\n");
constexpr LimitsSource kWindow = LimitsSource::Window;
// A file begun before rows said their source.
const QByteArray kEarlierHeader(runlog::kLimitsHeaderWithoutSource);
const QByteArray kEarlierRow("2026-12-08T10:15:00.512+01:00,36.5,37.0,sent\n");

} // namespace

class TstLimitsRecord : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void init();
    void headerOnceThenRows();
    void row_data();
    void row();
    void tornLastLineIsCut_data();
    void tornLastLineIsCut();
    void failureIsReported_data();
    void failureIsReported();
    void partialRowIsCutBack();
    void writersAtOnceKeepEveryRow();
    void sharedFolderHazardIsRefused_data();
    void sharedFolderHazardIsRefused();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_folder;
    QString m_path;
};

void TstLimitsRecord::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_folder = m_dir->filePath(QStringLiteral("logs/velmora"));
    m_path = m_folder + QStringLiteral("/limits.csv");
}

void TstLimitsRecord::headerOnceThenRows()
{
    QVERIFY(!runlog::recordLimits(m_folder, kTime, 365, 370, LimitsOutcome::Sent, kWindow));
    QCOMPARE(readFile(m_path), kHeader + kSentRow);
    QVERIFY(!runlog::recordLimits(
        m_folder, kTime.addSecs(1), 0, 65535, LimitsOutcome::WriteFailed, kWindow));
    QCOMPARE(readFile(m_path),
        kHeader + kSentRow + "2026-12-08T10:15:01.512+01:00,0.0,6553.5,write-failed,window\n");
}

void TstLimitsRecord::row_data()
{
    QTest::addColumn<int>("lower");
    QTest::addColumn<int>("upper");
    QTest::addColumn<LimitsOutcome>("outcome");
    QTest::addColumn<LimitsSource>("source");
    QTest::addColumn<QByteArray>("fields");
    QTest::newRow("sent") << 365 << 370 << LimitsOutcome::Sent << LimitsSource::Window
                          << QByteArray("36.5,37.0,sent,window");
    QTest::newRow("port-not-opened")
        << 9 << 10 << LimitsOutcome::PortNotOpened << LimitsSource::Logger
        << QByteArray("0.9,1.0,port-not-opened,velmora-log");
    QTest::newRow("write-failed") << 1234 << 1250 << LimitsOutcome::WriteFailed
                                  << LimitsSource::Mqtt
                                  << QByteArray("123.4,125.0,write-failed,mqtt");
}

void TstLimitsRecord::row()
{
    QFETCH(int, lower);
    QFETCH(int, upper);
    QFETCH(LimitsOutcome, outcome);
    QFETCH(LimitsSource, source);
    QFETCH(QByteArray, fields);
    QVERIFY(!runlog::recordLimits(
        m_folder, kTime, std::uint16_t(lower), std::uint16_t(upper), outcome, source));
    QCOMPARE(readFile(m_path), kHeader + "2026-12-08T10:15:00.512+01:00," + fields + '\n');
}

void TstLimitsRecord::tornLastLineIsCut_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("empty file") << QByteArray() << kHeader + kSentRow;
    QTest::newRow("torn header") << kHeader.left(7) << kHeader + kSentRow;
    QTest::newRow("torn row") << kHeader + kSentRow + kSentRow.left(12)
                              << kHeader + kSentRow + kSentRow;
    // Longer than one read from the end: the cut must still find the last whole line.
    QTest::newRow("long torn row")
        << kHeader + kSentRow + QByteArray(10000, 'x') << kHeader + kSentRow + kSentRow;
    QTest::newRow("whole rows") << kHeader + kSentRow << kHeader + kSentRow + kSentRow;
    // A file keeps the columns it began with, so that pandas still reads it whole.
    QTest::newRow("without source")
        << kEarlierHeader + kEarlierRow << kEarlierHeader + kEarlierRow + kEarlierRow;
    QTest::newRow("without source, torn row")
        << kEarlierHeader + kEarlierRow.left(9) << kEarlierHeader + kEarlierRow;
    QTest::newRow("torn earlier header") << kEarlierHeader.left(20) << kHeader + kSentRow;
}

void TstLimitsRecord::tornLastLineIsCut()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QVERIFY(QDir().mkpath(m_folder));
    QVERIFY(writeFile(m_path, before));
    QVERIFY(!runlog::recordLimits(m_folder, kTime, 365, 370, LimitsOutcome::Sent, kWindow));
    QCOMPARE(readFile(m_path), after);
    // The limits in force are read from rows of either layout.
    QCOMPARE(runlog::lastSentLimits(m_folder).value_or(instrument::RegulatorLimits {}).upper, 370);
}

void TstLimitsRecord::failureIsReported_data()
{
    QTest::addColumn<int>("folderError");
    QTest::addColumn<int>("createError");
    QTest::addColumn<int>("syncError");
    QTest::newRow("folder ENOTDIR") << ENOTDIR << 0 << 0;
    QTest::newRow("create EROFS") << 0 << EROFS << 0;
    QTest::newRow("sync EIO") << 0 << 0 << EIO;
}

void TstLimitsRecord::failureIsReported()
{
    QFETCH(int, folderError);
    QFETCH(int, createError);
    QFETCH(int, syncError);
    FaultyStorage storage;
    storage.folderError = folderError;
    storage.createError = createError;
    storage.syncError = syncError;
    const auto failure
        = runlog::recordLimits(storage, m_folder, kTime, 365, 370, LimitsOutcome::Sent, kWindow);
    QVERIFY(failure);
    QCOMPARE(failure->path, folderError != 0 ? m_folder : m_path);
    QCOMPARE(failure->error, folderError | createError | syncError);
    QCOMPARE(failure->reason, qt_error_string(failure->error));
}

void TstLimitsRecord::partialRowIsCutBack()
{
    QVERIFY(!runlog::recordLimits(m_folder, kTime, 365, 370, LimitsOutcome::Sent, kWindow));
    FaultyStorage storage;
    storage.spaceLeft = 5;
    const auto failure
        = runlog::recordLimits(storage, m_folder, kTime, 365, 370, LimitsOutcome::Sent, kWindow);
    QVERIFY(failure);
    QCOMPARE(failure->error, ENOSPC);
    QCOMPARE(readFile(m_path), kHeader + kSentRow);

    // A real folder path that is a file.
    const QString plain = m_dir->filePath(QStringLiteral("plain"));
    QVERIFY(writeFile(plain, "x\n"));
    const auto notFolder
        = runlog::recordLimits(plain, kTime, 365, 370, LimitsOutcome::Sent, kWindow);
    QVERIFY(notFolder);
    QCOMPARE(notFolder->error, ENOTDIR);
    QCOMPARE(notFolder->path, plain);
}

// Two writers at once, each with opens of its own as two programs have, in a folder their group
// shares and with a umask that shares nothing: every row of each is in the file, in its writer's
// order, under one header, and the group may go on adding rows.
void TstLimitsRecord::writersAtOnceKeepEveryRow()
{
    const QString shared = m_dir->filePath(QStringLiteral("logs"));
    QVERIFY(QDir().mkpath(shared));
    QCOMPARE(::chmod(QFile::encodeName(shared).constData(), 02770), 0);
    const mode_t savedMask = ::umask(077);
    constexpr int kRows = 100;
    const auto write = [this](std::uint16_t lower) {
        bool written = true;
        for (int i = 0; i < kRows; ++i)
            written = !runlog::recordLimits(
                          m_folder, kTime, lower, std::uint16_t(i), LimitsOutcome::Sent, kWindow)
                && written;
        return written;
    };
    auto other = std::async(std::launch::async, write, std::uint16_t(1000));
    const bool mine = write(2000);
    ::umask(savedMask);
    QVERIFY(mine && other.get());
    const QByteArray all = readFile(m_path);
    QVERIFY(all.startsWith(kHeader));
    QCOMPARE(all.count('\n'), 2 * kRows + 1);
    for (const char* lower : { ",100.0,", ",200.0," }) {
        QByteArrayList rows = all.split('\n');
        rows.removeIf([&](const QByteArray& row) { return !row.contains(lower); });
        for (int i = 0; i < kRows; ++i)
            QVERIFY(rows.value(i).contains(
                lower + QByteArray::number(i / 10) + '.' + QByteArray::number(i % 10) + ','));
    }
    QVERIFY(QFileInfo(m_folder).permissions().testFlag(QFile::WriteGroup));
    QVERIFY(QFileInfo(m_path).permissions().testFlag(QFile::WriteGroup));
}

// Another user of a shared folder may put a link in limits.csv's place, or hold its lock: that
// is refused with a plain reason, and nothing a link leads to is written, cut or made.
void TstLimitsRecord::sharedFolderHazardIsRefused_data()
{
    QTest::addColumn<QString>("there");
    QTest::addColumn<QString>("reason");
    const QString link = QStringLiteral("it is a symbolic link, and limits.csv is never written "
                                        "through one");
    QTest::newRow("link") << "link" << link;
    QTest::newRow("dangling link") << "dangling link" << link;
    QTest::newRow("locked") << "locked"
                            << "another program kept it locked for 10 s";
}

void TstLimitsRecord::sharedFolderHazardIsRefused()
{
    QFETCH(QString, there);
    QFETCH(QString, reason);
    QVERIFY(QDir().mkpath(m_folder));
    const QString target = there == u"locked" ? m_path : m_dir->filePath(QStringLiteral("target"));
    const QByteArray torn = kHeader + kSentRow.left(12); // a write would cut it
    if (there != u"dangling link")
        QVERIFY(writeFile(target, torn));
    if (there != u"locked")
        QCOMPARE(
            ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(m_path).constData()),
            0);
    const int holder = ::open(QFile::encodeName(target).constData(), O_RDONLY | O_CLOEXEC);
    QCOMPARE(::flock(holder, LOCK_EX), there == u"dangling link" ? -1 : 0);
    ScriptedClock clock; // the wait for the lock takes no time
    const platform::ScopedClock scoped(clock);
    const auto failure
        = runlog::recordLimits(m_folder, kTime, 365, 370, LimitsOutcome::Sent, kWindow);
    ::close(holder);
    QCOMPARE(failure.value_or(runlog::LogFailure {}).reason, reason);
    QCOMPARE(readFile(target), there == u"dangling link" ? QByteArray() : torn);
}

QTEST_GUILESS_MAIN(TstLimitsRecord)
#include "tst_limitsrecord.moc"
