#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

/** Why a file could not be replaced. */
enum class ReplaceError {
    None,
    FolderMissing, ///< the folder of the file does not exist
    ReadOnly, ///< the file or its folder is read-only
    IoError, ///< creating, writing, syncing or renaming the temporary file failed
};

/**
 * Replaces the file at @p path with @p content so that a reader (or a crash) only ever sees the
 * old or the new file: the data goes to a temporary file in the same folder, is synced to disk
 * and renamed over the original. An existing file keeps its permission bits and, where the
 * process may set them, its owner and group; a symbolic link is followed and its target replaced.
 * A file or folder that carries no write permission bit at all counts as read-only even for root,
 * as the read-only attribute does on Windows. On failure the original file is untouched and no
 * temporary file is left behind.
 *
 * The temporary file is ".<name>.<random>.tmp" beside the file, the random part in lower-case
 * base 36, and the save holds an exclusive flock() on it while it has that name. A process killed
 * in the middle leaves its temporary file behind; each successful replacement removes the files
 * of that name pattern (for its own file name) whose lock nobody holds, so a save running in
 * another process at the same moment keeps its file. Files of any other name, links and folders
 * are never touched.
 */
ReplaceError replaceFileAtomically(const QString& path, const QByteArray& content);

} // namespace platform
