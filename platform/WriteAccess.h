#pragma once

#include <QString>

namespace platform {

/**
 * Whether this process may replace the file at @p path with replaceFileAtomically(): its folder
 * exists and takes new files, and the file, where it is there (a symbolic link is followed), is
 * a plain file it may write. The rule is the replacement's own: a file or folder without any
 * write permission bit is read-only even for root; otherwise the system's access check decides,
 * which also refuses a read-only mount. True does not promise that the disk takes the data.
 */
bool canReplaceFile(const QString& path);

/**
 * Whether new files can be made in @p folder: it is a folder that takes them, or it is missing
 * and the nearest folder above it that exists takes new folders. The same rule as above; false
 * also when something that is not a folder stands in the way.
 */
bool canMakeFilesIn(const QString& folder);

} // namespace platform
