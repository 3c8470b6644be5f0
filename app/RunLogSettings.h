#pragma once

#include <QString>

namespace platform {
class Profile;
}

namespace app {

inline constexpr char kRunLogSection[] = "RunLog";
/** The run folder's name beside the settings file, when the settings name none. */
inline constexpr char kDefaultRunFolderName[] = "runs";

/** The run log's own section of the settings file, beside [Options]. */
struct RunLogSettings {
    /** Whether each run is kept in a file. */
    bool Enabled = true;
    /** Where the run files go, as the user wrote it: empty for the default folder. */
    QString Folder;

    bool operator==(const RunLogSettings&) const = default;
};

/** Reads the section; a missing or malformed value takes its default, as in [Options]. */
RunLogSettings loadRunLogSettings(const platform::Profile& profile);

/**
 * The folder the run files go to: "runs" beside @p settingsFile when the settings name none, a
 * relative folder taken from the settings file's folder, an absolute one as it is.
 */
QString runFolder(const QString& settingsFile, const RunLogSettings& settings);

} // namespace app
