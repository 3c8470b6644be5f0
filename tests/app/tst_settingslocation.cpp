#include "app/RunLogSettings.h"
#include "app/Settings.h"
#include "app/SettingsLocation.h"
#include "platform/Profile.h"
#include "tests/support/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using app::SettingsLocation;
using app::UserFolders;
using app::WriteAccess;

namespace {

// Probes that answer from a list of what may be written, so the rule is seen also as root, for
// whom the mode bits mean nothing.
WriteAccess allowing(const QStringList& writable)
{
    return { [writable](const QString& file) { return writable.contains(file); },
        [writable](const QString& folder) { return writable.contains(folder); } };
}

} // namespace

class TstSettingsLocation : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void init();

    void userFolders_data();
    void userFolders();
    void located_data();
    void located();
    void aWritableProgramFolderTouchesNothingElse();
    void theSystemTreeIsNeverWritten_data();
    void theSystemTreeIsNeverWritten();
    void runFolder_data();
    void runFolder();
    void theUserCopyStartsFromTheAdministratorsFile();
    void privateFoldersAreMadeForTheUserAlone();
    void somethingInTheWayIsNoFolder();

private:
    QString programFolder() const { return m_dir->filePath(QStringLiteral("program")); }
    QString programFile() const { return app::settingsFilePath(programFolder()); }
    UserFolders folders() const;
    QString userFile() const;

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TstSettingsLocation::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir().mkpath(programFolder()));
}

UserFolders TstSettingsLocation::folders() const
{
    UserFolders folders;
    folders.home = m_dir->filePath(QStringLiteral("home"));
    return folders;
}

QString TstSettingsLocation::userFile() const
{
    return m_dir->filePath(QStringLiteral("home/.config/velmora-thermo/VelmoraThermo.ini"));
}

void TstSettingsLocation::userFolders_data()
{
    QTest::addColumn<QString>("configHome");
    QTest::addColumn<QString>("dataHome");
    QTest::addColumn<QString>("config");
    QTest::addColumn<QString>("data");

    QTest::newRow("unset") << QString() << QString() << "/home/u/.config/velmora-thermo"
                           << "/home/u/.local/share/velmora-thermo";
    QTest::newRow("empty") << ""
                           << ""
                           << "/home/u/.config/velmora-thermo"
                           << "/home/u/.local/share/velmora-thermo";
    QTest::newRow("relative") << "cfg"
                              << "./data"
                              << "/home/u/.config/velmora-thermo"
                              << "/home/u/.local/share/velmora-thermo";
    QTest::newRow("absolute") << "/etc/u/"
                              << "/srv//u"
                              << "/etc/u/velmora-thermo"
                              << "/srv/u/velmora-thermo";
}

void TstSettingsLocation::userFolders()
{
    QFETCH(QString, configHome);
    QFETCH(QString, dataHome);
    QFETCH(QString, config);
    QFETCH(QString, data);
    const UserFolders given { QStringLiteral("/home/u"), configHome, dataHome };
    QCOMPARE(app::userConfigFolder(given), config);
    QCOMPARE(app::userDataFolder(given), data);
}

void TstSettingsLocation::located_data()
{
    QTest::addColumn<bool>("programWritable");
    QTest::addColumn<bool>("userFileThere");
    QTest::addColumn<bool>("readsUser");
    QTest::addColumn<bool>("perUser");

    QTest::newRow("writable folder") << true << false << false << false;
    QTest::newRow("writable folder, stray user file") << true << true << false << false;
    QTest::newRow("read-only folder, no user file") << false << false << false << true;
    QTest::newRow("read-only folder, user file") << false << true << true << true;
}

void TstSettingsLocation::located()
{
    QFETCH(bool, programWritable);
    QFETCH(bool, userFileThere);
    QFETCH(bool, readsUser);
    QFETCH(bool, perUser);
    if (userFileThere) {
        QVERIFY(QDir().mkpath(QFileInfo(userFile()).absolutePath()));
        QVERIFY(writeFile(userFile(), "[Options]\r\nPort=ttyUSB1\r\n"));
    }
    const SettingsLocation location = app::locateSettings(programFolder(), folders(),
        allowing(programWritable ? QStringList { programFile() } : QStringList {}));

    QCOMPARE(location.programFile, programFile());
    QCOMPARE(location.isPerUser(), perUser);
    QCOMPARE(location.writeFile, perUser ? userFile() : programFile());
    QCOMPARE(location.readFile, readsUser ? userFile() : programFile());
    QCOMPARE(location.userRunFolder,
        perUser ? m_dir->filePath(QStringLiteral("home/.local/share/velmora-thermo/runs"))
                : QString());
}

void TstSettingsLocation::aWritableProgramFolderTouchesNothingElse()
{
    // With the system's own probe on a folder of ours: the settings and a save stay beside the
    // program, and no folder of the user's is made.
    const SettingsLocation location = app::locateSettings(programFolder(), folders());
    QCOMPARE(location, SettingsLocation::fixed(programFile()));
    platform::Profile profile = location.profile();
    QVERIFY(app::saveSettings(profile, app::Settings(96)));
    QVERIFY(QFileInfo::exists(programFile()));
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("home"))));
}

// Installed by the package, the program is in /usr, which root may write: its settings and
// runs still go to each user's own folders, root's included, never into the package's tree.
void TstSettingsLocation::theSystemTreeIsNeverWritten_data()
{
    QTest::addColumn<QString>("programFolder");
    QTest::addColumn<bool>("perUser");

    QTest::newRow("/usr/lib") << "/usr/lib/velmora-thermo" << true;
    QTest::newRow("/usr/bin") << "/usr/bin" << true;
    QTest::newRow("/usr/local is the administrator's") << "/usr/local/velmora-thermo" << false;
    QTest::newRow("/usrdata is no system folder") << "/usrdata/velmora-thermo" << false;
    QTest::newRow("/opt") << "/opt/velmora-thermo" << false;
}

void TstSettingsLocation::theSystemTreeIsNeverWritten()
{
    QFETCH(QString, programFolder);
    QFETCH(bool, perUser);
    const QString file = QDir(programFolder).filePath(QStringLiteral("VelmoraThermo.ini"));
    const QString runs = QDir(programFolder).filePath(QStringLiteral("runs"));
    // Everything may be written, as for root.
    const WriteAccess access = allowing({ file, runs });
    const SettingsLocation location = app::locateSettings(programFolder, folders(), access);
    QCOMPARE(location.isPerUser(), perUser);
    QCOMPARE(location.writeFile, perUser ? userFile() : file);
    QCOMPARE(app::runFolder(location, app::RunLogSettings {}, access),
        perUser ? m_dir->filePath(QStringLiteral("home/.local/share/velmora-thermo/runs")) : runs);
}

void TstSettingsLocation::runFolder_data()
{
    QTest::addColumn<bool>("perUser");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("besideWritable");
    QTest::addColumn<QString>("expected");

    const QString beside = QStringLiteral("program/runs");
    const QString user = QStringLiteral("home/.local/share/velmora-thermo/runs");
    QTest::newRow("portable, default") << false << "" << false << beside;
    QTest::newRow("read-only folder, runs writable") << true << "" << true << beside;
    QTest::newRow("read-only folder, runs refused") << true << "" << false << user;
    QTest::newRow("read-only folder, relative Folder")
        << true << "../lab/runs" << false << "lab/runs";
    QTest::newRow("read-only folder, Folder=runs") << true << "runs" << false << beside;
    QTest::newRow("read-only folder, absolute Folder")
        << true << "/data/runs" << false << "/data/runs";
}

void TstSettingsLocation::runFolder()
{
    QFETCH(bool, perUser);
    QFETCH(QString, folder);
    QFETCH(bool, besideWritable);
    QFETCH(QString, expected);
    const QString beside = QDir(programFolder()).filePath(QStringLiteral("runs"));
    const WriteAccess access = allowing(besideWritable ? QStringList { beside } : QStringList {});
    // The user's copy, read in place of the file beside the program, changes nothing for a
    // relative Folder: it is still taken from the program's folder.
    QVERIFY(QDir().mkpath(QFileInfo(userFile()).absolutePath()));
    QVERIFY(writeFile(userFile(), "[RunLog]\r\nFolder=x\r\n"));
    const SettingsLocation location = app::locateSettings(programFolder(), folders(),
        allowing(perUser ? QStringList {} : QStringList { programFile() }));
    const app::RunLogSettings settings { true, folder };
    const QString found = app::runFolder(location, settings, access);
    QCOMPARE(found, QDir::isAbsolutePath(expected) ? expected : m_dir->filePath(expected));
}

void TstSettingsLocation::theUserCopyStartsFromTheAdministratorsFile()
{
    QVERIFY(writeFile(programFile(),
        "[Lab]\r\nRoom=3\r\n[Options]\r\nPort=/dev/ttyUSB4\r\nTimerWorkInterval=1500\r\n"));
    const QByteArray administrators = readFile(programFile());
    const auto locate
        = [this] { return app::locateSettings(programFolder(), folders(), allowing({})); };

    // The first start reads the administrator's file.
    SettingsLocation location = locate();
    platform::Profile first = location.profile();
    app::Settings settings = app::loadSettings(first, 96);
    QCOMPARE(settings.Port, QStringLiteral("/dev/ttyUSB4"));
    QCOMPARE(settings.TimerWorkInterval, 1500u);

    // The save lands in the user's copy, which keeps the lines the program does not know.
    settings.NPoints = 77;
    QVERIFY(app::makePrivateFolder(QFileInfo(location.writeFile).absolutePath()));
    QVERIFY(app::saveSettings(first, settings));
    QCOMPARE(readFile(programFile()), administrators);
    const QByteArray copy = readFile(userFile());
    QVERIFY2(copy.startsWith("[Lab]\r\nRoom=3\r\n[Options]\r\nPort=/dev/ttyUSB4\r\n"), copy);
    QVERIFY2(copy.contains("NPoints=77\r\n"), copy);

    // The next start reads the copy, whatever the administrator changes meanwhile.
    QVERIFY(writeFile(programFile(), "[Options]\r\nPort=COM2\r\nNPoints=5\r\n"));
    location = locate();
    QCOMPARE(location.readFile, userFile());
    const app::Settings again = app::loadSettings(location.profile(), 96);
    QCOMPARE(again.Port, QStringLiteral("/dev/ttyUSB4"));
    QCOMPARE(again.NPoints, 77);
}

void TstSettingsLocation::privateFoldersAreMadeForTheUserAlone()
{
    const QString home = m_dir->filePath(QStringLiteral("home"));
    QVERIFY(QDir().mkpath(home));
    QVERIFY(QFile::setPermissions(home, QFile::permissions(home) | QFile::ReadGroup));
    const QFile::Permissions before = QFile::permissions(home);
    const QString folder = home + QStringLiteral("/.config/velmora-thermo");
    QVERIFY(app::makePrivateFolder(folder));
    const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup
        | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    for (const QString& made : { home + QStringLiteral("/.config"), folder }) {
        QVERIFY2(QFileInfo(made).isDir(), qPrintable(made));
        QCOMPARE(QFile::permissions(made) & (owner | others), owner);
    }
    // A folder that was there keeps its mode.
    QCOMPARE(QFile::permissions(home), before);
    QVERIFY(app::makePrivateFolder(folder));
}

void TstSettingsLocation::somethingInTheWayIsNoFolder()
{
    const QString home = m_dir->filePath(QStringLiteral("home"));
    QVERIFY(writeFile(home, "a file"));
    QVERIFY(!app::makePrivateFolder(home + QStringLiteral("/.config/velmora-thermo")));
    QVERIFY(!app::makePrivateFolder(home));
}

QTEST_GUILESS_MAIN(TstSettingsLocation)
#include "tst_settingslocation.moc"
