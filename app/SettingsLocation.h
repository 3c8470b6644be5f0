#pragma once

#include <QString>

#include <functional>

namespace platform {
class Profile;
}

namespace app {

struct RunLogSettings;

/** The folder name under the user's configuration and data folders. */
inline constexpr char kUserFolderName[] = "velmora-thermo";

/**
 * Where the settings are read and written. The program sees one settings file, beside the
 * program; where its folder cannot be written by this user, the writes land in a copy of the
 * user's own, which is then read in place of the file beside the program.
 */
struct SettingsLocation {
    /** The file beside the program, the one the user and the administrator know. */
    QString programFile;
    /** The file to read: the user's copy once it exists, else the file beside the program. */
    QString readFile;
    /** The file every save replaces: the one beside the program, or the user's copy. */
    QString writeFile;
    /** Where the default run folder goes when the one beside the program cannot be made or
     * written; empty when the run folder is never moved (a settings file named outright). */
    QString userRunFolder;

    /** Whether the writes go to a copy of the user's own. */
    bool isPerUser() const { return writeFile != programFile; }

    /**
     * The settings as one profile: reads come from the user's copy once it exists and from the
     * file beside the program until then; writes replace writeFile, keeping every line of what
     * was read.
     */
    platform::Profile profile() const;

    /** The one file @p settingsFile for reading and writing, the run folder beside it. */
    static SettingsLocation fixed(const QString& settingsFile);

    bool operator==(const SettingsLocation&) const = default;
};

/** The XDG base folders as the environment gives them, and the home folder. */
struct UserFolders {
    QString home;
    /** $XDG_CONFIG_HOME and $XDG_DATA_HOME as set: empty when unset. */
    QString configHome;
    QString dataHome;

    /** From the environment: $HOME (or Qt's idea of home without it) and the XDG variables. */
    static UserFolders fromEnvironment();
};

/** The probes that decide where writes may go; the system's own unless a test gives others. */
struct WriteAccess {
    std::function<bool(const QString& file)> canReplaceFile;
    std::function<bool(const QString& folder)> canMakeFilesIn;

    /** platform::canReplaceFile() and platform::canMakeFilesIn(). */
    static WriteAccess system();
};

/**
 * Whether @p path lies in the tree the system's packages own (/usr, but not /usr/local): the
 * program installed there never writes beside itself, not even for root; each user, root
 * included, has a copy of their own.
 */
bool isInSystemTree(const QString& path);

/** $XDG_CONFIG_HOME/velmora-thermo; an unset, empty or relative variable means ~/.config. */
QString userConfigFolder(const UserFolders& folders);
/** $XDG_DATA_HOME/velmora-thermo; an unset, empty or relative variable means ~/.local/share. */
QString userDataFolder(const UserFolders& folders);

/**
 * The settings of the program in @p programFolder. While the file there (or, where it is
 * missing, the folder) can be written, and the folder is not in the system's tree, it is read and
 * written as it is and nothing else is touched. Otherwise the user's copy, VelmoraThermo.ini in
 * userConfigFolder(), takes the writes, and the reads once it exists; the default run folder may
 * then move to userDataFolder()/runs (see runFolder()).
 */
SettingsLocation locateSettings(const QString& programFolder,
    const UserFolders& folders = UserFolders::fromEnvironment(),
    const WriteAccess& access = WriteAccess::system());

/**
 * The run folder for @p settings read from @p location. A folder the settings name is taken as
 * it stands, a relative one from the folder of the program's settings file whichever copy it
 * was read from, so the same settings always mean the same folder. The default "runs" beside
 * the program's settings file is kept while it can be made or written; otherwise it is
 * location.userRunFolder, when there is one.
 */
QString runFolder(const SettingsLocation& location, const RunLogSettings& settings,
    const WriteAccess& access = WriteAccess::system());

/**
 * Makes @p folder where it is missing, each folder it makes readable by the user alone (mode
 * 0700), as the XDG folders are meant to be; folders already there are left as they are. False
 * when it is not a folder at the end.
 */
bool makePrivateFolder(const QString& folder);

/**
 * The run folder as runFolder() finds it; when it is the user's own fallback, the folders up to
 * it that are missing are made first, with makePrivateFolder(). A failure to make them is left
 * to the run log, which reports it with its reason.
 */
QString prepareRunFolder(const SettingsLocation& location, const RunLogSettings& settings);

/**
 * For --help of the window and of velmora-log: where the settings and the run files are, by
 * the rule of locateSettings() and runFolder(). A "Files:" heading, lines of 80 columns at most,
 * ending in a line end.
 */
QString filesHelp();

} // namespace app
