#include "platform/Clock.h"
#include "platform/DurableFile.h"
#include "platform/FilePath.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::durable {

namespace {

// Repeats a call that a signal interrupted; gives 0 or the call's errno.
template <typename Call> int retried(Call call)
{
    while (call() != 0) {
        if (errno != EINTR)
            return errno;
    }
    return 0;
}

bool isFolder(const QByteArray& path)
{
    struct stat info { };
    return ::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Writes all of @p bytes with @p write (data, size, bytes written so far), retrying EINTR and
// going on after a partial write; a write that takes nothing counts as a full disk.
template <typename Write> Transferred writtenWhole(QByteArrayView bytes, Write write)
{
    Transferred done;
    while (done.count < bytes.size()) {
        const ssize_t written = write(
            bytes.data() + done.count, static_cast<size_t>(bytes.size() - done.count), done.count);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0) {
            done.error = errno;
            break;
        }
        if (written == 0) {
            done.error = ENOSPC;
            break;
        }
        done.count += written;
    }
    return done;
}

Opened openWith(const QString& path, int flags)
{
    const QByteArray name = QFile::encodeName(path);
    for (;;) {
        const int file = ::open(name.constData(), flags, 0666);
        if (file >= 0)
            return { file, 0 };
        if (errno != EINTR)
            return { -1, errno };
    }
}

// A folder that a group shares: its new entries take its group (set-group-ID), and the group may
// add to it. What is made in it must let the group add as well, whatever this user's umask.
bool isGroupShared(const QByteArray& folder)
{
    struct stat info { };
    return ::stat(folder.constData(), &info) == 0 && S_ISDIR(info.st_mode)
        && (info.st_mode & S_ISGID) != 0 && (info.st_mode & S_IWGRP) != 0;
}

// Adds @p bits to the mode of the open file; the descriptor, never the name, so that nothing put
// in its place meanwhile is changed.
int addMode(int file, mode_t bits)
{
    struct stat info { };
    if (::fstat(file, &info) != 0)
        return errno;
    const mode_t mode = (info.st_mode & 07777) | bits;
    return mode == (info.st_mode & 07777) ? 0 : retried([&] { return ::fchmod(file, mode); });
}

// A folder just made in a group-shared one is shared the same way.
int shareLikeParent(const QByteArray& folder)
{
    if (!isGroupShared(folderOf(folder)))
        return 0;
    const Opened opened
        = openWith(QFile::decodeName(folder), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (opened.error != 0)
        return opened.error;
    const int error = addMode(opened.file, S_IRWXG | S_ISGID);
    ::close(opened.file);
    return error;
}

constexpr std::chrono::milliseconds kLockPause { 5 };
constexpr int kOpenAttempts = 3;

} // namespace

int makeFolders(const QString& folder)
{
    const QByteArray path = QFile::encodeName(folder);
    if (path.isEmpty())
        return ENOENT;
    if (isFolder(path))
        return 0;
    // Each part from the root down; a part that exists must be a folder.
    for (qsizetype end = 1; end <= path.size(); ++end) {
        if (end < path.size() && path.at(end) != '/')
            continue;
        if (path.at(end - 1) == '/')
            continue;
        const QByteArray part = path.left(end);
        if (::mkdir(part.constData(), 0777) == 0) {
            if (const int error = shareLikeParent(part); error != 0)
                return error;
            // The new folder's entry in its parent must survive a power cut as the files in it
            // will.
            if (const int error = syncFolder(QFile::decodeName(folderOf(part))); error != 0)
                return error;
            continue;
        }
        const int error = errno;
        if (error != EEXIST)
            return error;
        struct stat info { };
        if (::stat(part.constData(), &info) != 0)
            return errno;
        if (!S_ISDIR(info.st_mode))
            return ENOTDIR;
    }
    return 0;
}

Opened createNew(const QString& path)
{
    return openWith(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC);
}

Opened openExisting(const QString& path)
{
    return openWith(path, O_RDWR | O_CLOEXEC);
}

Opened openShared(const QString& path)
{
    // Made here, or there already; a name removed between the two tries again.
    Opened opened;
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        opened = openWith(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC);
        opened.created = opened.error == 0;
        if (opened.error == EEXIST)
            opened = openWith(path, O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (opened.error != ENOENT)
            break;
    }
    if (opened.error != 0)
        return opened;
    struct stat info { };
    int error = ::fstat(opened.file, &info) != 0 ? errno : S_ISREG(info.st_mode) ? 0 : EINVAL;
    if (error == 0 && opened.created && isGroupShared(folderOf(QFile::encodeName(path))))
        error = addMode(opened.file, S_IRGRP | S_IWGRP);
    if (error != 0) {
        ::close(opened.file);
        return { -1, error };
    }
    return opened;
}

int lockExclusive(int file, std::chrono::milliseconds bound)
{
    const Clock::Duration deadline = clock().now() + bound;
    for (;;) {
        if (::flock(file, LOCK_EX | LOCK_NB) == 0)
            return 0;
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            return errno;
        const Clock::Duration left = deadline - clock().now();
        if (left <= Clock::Duration::zero())
            return EWOULDBLOCK;
        clock().sleep(std::min(left, Clock::Duration(kLockPause)));
    }
}

Transferred writeAt(int file, QByteArrayView bytes, qint64 offset)
{
    return writtenWhole(bytes, [file, offset](const char* data, size_t size, qint64 done) {
        return ::pwrite(file, data, size, offset + done);
    });
}

Transferred writeAll(int file, QByteArrayView bytes)
{
    return writtenWhole(
        bytes, [file](const char* data, size_t size, qint64) { return ::write(file, data, size); });
}

Transferred readAt(int file, char* into, qint64 size, qint64 offset)
{
    Transferred done;
    while (done.count < size) {
        const ssize_t got = ::pread(
            file, into + done.count, static_cast<size_t>(size - done.count), offset + done.count);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            done.error = errno;
            break;
        }
        if (got == 0)
            break;
        done.count += got;
    }
    return done;
}

Transferred sizeOf(int file)
{
    struct stat info { };
    if (::fstat(file, &info) != 0)
        return { 0, errno };
    return { qint64(info.st_size), 0 };
}

bool isRegularFile(int file)
{
    struct stat info { };
    return ::fstat(file, &info) == 0 && S_ISREG(info.st_mode);
}

int syncData(int file)
{
    return retried([file] { return ::fdatasync(file); });
}

int truncateTo(int file, qint64 length)
{
    return retried([file, length] { return ::ftruncate(file, off_t(length)); });
}

int syncFolder(const QString& folder)
{
    const Opened opened = openWith(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (opened.error != 0)
        return opened.error;
    const int error = retried([&opened] { return ::fsync(opened.file); });
    ::close(opened.file);
    return error;
}

int checkStillNamed(int file, const QString& path)
{
    struct stat opened { };
    if (::fstat(file, &opened) != 0)
        return errno;
    if (opened.st_nlink == 0)
        return ENOENT;
    struct stat named { };
    if (::stat(QFile::encodeName(path).constData(), &named) != 0)
        return errno;
    if (named.st_dev != opened.st_dev || named.st_ino != opened.st_ino)
        return ENOENT;
    return 0;
}

int closeFile(int file)
{
    // Linux releases the descriptor even when close() reports EINTR: never close it twice.
    return ::close(file) == 0 ? 0 : errno;
}

} // namespace platform::durable
