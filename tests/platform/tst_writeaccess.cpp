#include "platform/AtomicFile.h"
#include "platform/WriteAccess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <unistd.h>

namespace {

constexpr QFile::Permissions kReadOnly = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup
    | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;

bool makeFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("[Options]\r\n") > 0;
}

} // namespace

// The probes by real mode bits. A file or folder without any write bit is read-only for root as
// well, so these cases hold whoever runs them; the whole-program test covers a folder that only
// another user may write.
class TstWriteAccess : public QObject {
    Q_OBJECT
private slots:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }
    void cleanup();

    void replaceable_data();
    void replaceable();
    void folderTakesFiles_data();
    void folderTakesFiles();

private:
    QString path(const char* name) const { return m_dir->filePath(QString::fromLatin1(name)); }
    void prepare(const QString& layout);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TstWriteAccess::cleanup()
{
    // Write permission back everywhere, so that the temporary folder can be removed.
    for (const char* name : { "ro", "ro/sub", "ro/VelmoraThermo.ini", "VelmoraThermo.ini" }) {
        const QString there = path(name);
        if (QFileInfo::exists(there))
            QFile::setPermissions(there, QFile::permissions(there) | QFile::WriteOwner);
    }
}

// Lays out the test's folder: "file" a writable file, "ro-file" a file without write bits,
// "ro" a folder without them, "ro+file" a writable file in it, "dir" a folder at the file's name,
// "link" a link to a file in a folder without write bits.
void TstWriteAccess::prepare(const QString& layout)
{
    const QString file = path("VelmoraThermo.ini");
    if (layout == u"file" || layout == u"ro-file")
        QVERIFY(makeFile(file));
    if (layout == u"ro-file")
        QVERIFY(QFile::setPermissions(file, kReadOnly));
    if (layout == u"dir")
        QVERIFY(QDir().mkpath(file));
    if (layout.startsWith(u"ro") && layout != u"ro-file") {
        QVERIFY(QDir().mkpath(path("ro/sub")));
        if (layout == u"ro+file")
            QVERIFY(makeFile(path("ro/VelmoraThermo.ini")));
        QVERIFY(QFile::setPermissions(path("ro"), kReadOnly));
    }
    // A link to a file not there yet: in a writable folder, and in one that is missing.
    if (layout == u"dangling")
        QVERIFY(QFile::link(path("target.ini"), file));
    if (layout == u"dangling-nowhere")
        QVERIFY(QFile::link(path("gone/target.ini"), file));
    if (layout == u"link") {
        QVERIFY(QDir().mkpath(path("ro")));
        QVERIFY(makeFile(path("ro/VelmoraThermo.ini")));
        QVERIFY(QFile::setPermissions(path("ro"), kReadOnly));
        QVERIFY(QFile::link(path("ro/VelmoraThermo.ini"), file));
    }
}

void TstWriteAccess::replaceable_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("expected");

    QTest::newRow("no file, writable folder") << ""
                                              << "VelmoraThermo.ini" << true;
    QTest::newRow("writable file") << "file"
                                   << "VelmoraThermo.ini" << true;
    QTest::newRow("file without write bits") << "ro-file"
                                             << "VelmoraThermo.ini" << false;
    QTest::newRow("no file, folder without write bits") << "ro"
                                                        << "ro/VelmoraThermo.ini" << false;
    QTest::newRow("writable file, folder without write bits") << "ro+file"
                                                              << "ro/VelmoraThermo.ini" << false;
    QTest::newRow("folder at the file's name") << "dir"
                                               << "VelmoraThermo.ini" << false;
    QTest::newRow("missing folder") << ""
                                    << "gone/VelmoraThermo.ini" << false;
    QTest::newRow("link to a file not there yet") << "dangling"
                                                  << "VelmoraThermo.ini" << true;
    QTest::newRow("link into a missing folder") << "dangling-nowhere"
                                                << "VelmoraThermo.ini" << false;
    QTest::newRow("link into a folder without write bits") << "link"
                                                           << "VelmoraThermo.ini" << false;
}

void TstWriteAccess::replaceable()
{
    QFETCH(QString, layout);
    QFETCH(QString, file);
    QFETCH(bool, expected);
    prepare(layout);
    const QString target = m_dir->filePath(file);
    QCOMPARE(platform::canReplaceFile(target), expected);
    // The probe says what the replacement itself then does.
    const bool replaced
        = platform::replaceFileAtomically(target, "[Options]\r\n") == platform::ReplaceError::None;
    QCOMPARE(replaced, expected);
}

void TstWriteAccess::folderTakesFiles_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("expected");

    QTest::newRow("writable folder") << ""
                                     << "." << true;
    QTest::newRow("missing, under a writable folder") << ""
                                                      << "runs/2026" << true;
    QTest::newRow("folder without write bits") << "ro"
                                               << "ro" << false;
    QTest::newRow("missing, under a folder without write bits") << "ro"
                                                                << "ro/runs" << false;
    QTest::newRow("writable folder in one without write bits") << "ro"
                                                               << "ro/sub" << true;
    QTest::newRow("a file in the way") << "file"
                                       << "VelmoraThermo.ini/runs" << false;
    QTest::newRow("a file at the name") << "file"
                                        << "VelmoraThermo.ini" << false;
}

void TstWriteAccess::folderTakesFiles()
{
    QFETCH(QString, layout);
    QFETCH(QString, folder);
    QFETCH(bool, expected);
    prepare(layout);
    QCOMPARE(platform::canMakeFilesIn(m_dir->filePath(folder)), expected);
}

QTEST_GUILESS_MAIN(TstWriteAccess)
#include "tst_writeaccess.moc"
