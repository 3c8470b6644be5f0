#pragma once

#include <QByteArrayView>
#include <QString>

#include <chrono>

namespace platform {

/**
 * File calls for logs that must survive a crash, a kill and a power cut: each returns at once
 * with the system's answer, errors as errno values (0 is success), retrying only EINTR. A file
 * is a descriptor number, valid until closeFile().
 */
namespace durable {

struct Opened {
    int file = -1;
    int error = 0;
    bool created = false; ///< openShared() made the file
};

struct Transferred {
    qint64 count = 0; ///< bytes written or read, also when error is set
    int error = 0;
};

/** Creates @p folder and its missing parents (mode 0777 & umask), syncing the folder each new
 *  one is made in. A folder made in a group-shared folder (set-group-ID and group-writable) is
 *  group-shared as well, whatever the umask, so that every user of the group may add to it.
 *  0 when it is a folder at the end; ENOTDIR when it or a parent is something else. */
int makeFolders(const QString& folder);
/** O_WRONLY|O_CREAT|O_EXCL|O_CLOEXEC, mode 0666 & umask. */
Opened createNew(const QString& path);
/** O_RDWR|O_CLOEXEC; a folder gives EISDIR. */
Opened openExisting(const QString& path);
/**
 * A plain file that several programs, and several users of a group, add to: opened for reading
 * and writing, made when missing (created tells; mode 0666 & umask, and group read and write
 * whatever the umask where its folder is group-shared). The name is never followed when it is
 * a symbolic link (ELOOP), dangling or not; anything else that is no plain file gives EISDIR
 * for a folder, EINVAL for the rest. Callers take lockExclusive() before they read or write.
 */
Opened openShared(const QString& path);
/**
 * Takes the exclusive lock on the open file (flock: each opening of the file takes its own),
 * trying again at short pauses of platform::clock() for at most @p bound: EWOULDBLOCK when
 * another holder kept it all that while. closeFile() lets it go.
 */
int lockExclusive(int file, std::chrono::milliseconds bound);
/** pwrite until all of @p bytes are written at @p offset or an error comes; a write that
 *  takes nothing without an error counts as ENOSPC. */
Transferred writeAt(int file, QByteArrayView bytes, qint64 offset);
/** write at the file's own position (a stream: standard output, a pipe, a file opened for
 *  appending) until all of @p bytes are written or an error comes; a write that takes nothing
 *  without an error counts as ENOSPC. A short count with an error: the bytes before it went out. */
Transferred writeAll(int file, QByteArrayView bytes);
/** pread until @p size bytes or the end of the file. */
Transferred readAt(int file, char* into, qint64 size, qint64 offset);
/** The size of the open file in count. */
Transferred sizeOf(int file);
/** Whether the open file is a regular file, where syncData() puts what was written on the disk;
 *  false for a pipe, a terminal or a device, and when the descriptor is not open. */
bool isRegularFile(int file);
/** fdatasync. */
int syncData(int file);
/** ftruncate. */
int truncateTo(int file, qint64 length);
/** fsync of the folder itself, so that names made in it are on the disk. */
int syncFolder(const QString& folder);
/** 0 while @p path names the open file (same st_dev and st_ino) and the file still has a link;
 *  ENOENT when it was removed or the name now names something else. */
int checkStillNamed(int file, const QString& path);
/** close; the descriptor is gone whatever it returns. */
int closeFile(int file);

} // namespace durable

} // namespace platform
