#include "app/SettingsLocation.h"

#include "app/RunLogSettings.h"
#include "app/Settings.h"
#include "platform/Profile.h"
#include "platform/WriteAccess.h"

#include <QDir>
#include <QFileInfo>

namespace app {

platform::Profile SettingsLocation::profile() const
{
    if (!isPerUser())
        return platform::Profile(writeFile);
    return platform::Profile(writeFile, programFile);
}

SettingsLocation SettingsLocation::fixed(const QString& settingsFile)
{
    return { settingsFile, settingsFile, settingsFile, {} };
}

UserFolders UserFolders::fromEnvironment()
{
    UserFolders folders;
    folders.home = qEnvironmentVariable("HOME");
    if (folders.home.isEmpty())
        folders.home = QDir::homePath();
    folders.configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    folders.dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    return folders;
}

WriteAccess WriteAccess::system()
{
    return { platform::canReplaceFile, platform::canMakeFilesIn };
}

namespace {

// A base folder the environment names only counts when it is absolute; else the default under
// home.
QString baseFolder(const QString& named, const UserFolders& folders, const char* underHome)
{
    if (!named.isEmpty() && QDir::isAbsolutePath(named))
        return QDir::cleanPath(named);
    return QDir::cleanPath(QDir(folders.home).filePath(QString::fromLatin1(underHome)));
}

} // namespace

bool isInSystemTree(const QString& path)
{
    const QString whole = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    return whole.startsWith(QStringLiteral("/usr/"))
        && !whole.startsWith(QStringLiteral("/usr/local/"));
}

QString userConfigFolder(const UserFolders& folders)
{
    return QDir(baseFolder(folders.configHome, folders, ".config"))
        .filePath(QString::fromLatin1(kUserFolderName));
}

QString userDataFolder(const UserFolders& folders)
{
    return QDir(baseFolder(folders.dataHome, folders, ".local/share"))
        .filePath(QString::fromLatin1(kUserFolderName));
}

SettingsLocation locateSettings(
    const QString& programFolder, const UserFolders& folders, const WriteAccess& access)
{
    const QString programFile
        = QDir::cleanPath(QFileInfo(settingsFilePath(programFolder)).absoluteFilePath());
    if (!isInSystemTree(programFile) && access.canReplaceFile(programFile))
        return SettingsLocation::fixed(programFile);

    SettingsLocation location;
    location.programFile = programFile;
    location.writeFile = settingsFilePath(userConfigFolder(folders));
    // A dangling link counts as missing here, as the profile reads it.
    location.readFile = QFileInfo::exists(location.writeFile) ? location.writeFile : programFile;
    location.userRunFolder
        = QDir(userDataFolder(folders)).filePath(QString::fromLatin1(kDefaultRunFolderName));
    return location;
}

QString runFolder(
    const SettingsLocation& location, const RunLogSettings& settings, const WriteAccess& access)
{
    QString beside = app::runFolder(location.programFile, settings);
    if (!settings.Folder.isEmpty() || location.userRunFolder.isEmpty())
        return beside;
    return !isInSystemTree(beside) && access.canMakeFilesIn(beside) ? beside
                                                                    : location.userRunFolder;
}

bool makePrivateFolder(const QString& folder)
{
    const QString whole = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    const QStringList parts = whole.split(u'/', Qt::SkipEmptyParts);
    QString path;
    for (const QString& part : parts) {
        path += u'/' + part;
        const QFileInfo there(path);
        if (there.isDir())
            continue;
        if (there.exists())
            return false;
        // Another process may have made it meanwhile: what counts is a folder there now.
        if (!QDir().mkdir(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)
            && !QFileInfo(path).isDir())
            return false;
    }
    return QFileInfo(whole).isDir();
}

QString prepareRunFolder(const SettingsLocation& location, const RunLogSettings& settings)
{
    QString folder = runFolder(location, settings);
    if (!location.userRunFolder.isEmpty() && folder == location.userRunFolder)
        makePrivateFolder(folder);
    return folder;
}

QString filesHelp()
{
    return QStringLiteral(R"(Files:
  The settings are VelmoraThermo.ini beside the program while that folder is
  yours to write. Where it is not (installed by an administrator, a read-only
  disk, or anywhere in /usr), your own copy takes the writes, and the reads
  once it exists: $XDG_CONFIG_HOME/velmora-thermo/VelmoraThermo.ini, under
  ~/.config by default; until then the file beside the program is read.
  The run files and limits.csv are in the run folder: [RunLog] Folder of the
  settings; by default runs beside the program where new files may be made
  there, else $XDG_DATA_HOME/velmora-thermo/runs, under ~/.local/share by
  default.
)");
}

} // namespace app
