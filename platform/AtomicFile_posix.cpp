#include "platform/AtomicFile.h"
#include "platform/FilePath.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr mode_t kAnyWriteBit = S_IWUSR | S_IWGRP | S_IWOTH;
constexpr int kMaxNameAttempts = 100;
constexpr char kTemporarySuffix[] = ".tmp";
// A 64-bit number in base 36 takes at most 13 digits.
constexpr qsizetype kMaxRandomDigits = 13;

bool isDenial(int error)
{
    return error == EACCES || error == EPERM || error == EROFS;
}

// No write bit at all makes a file or folder read-only even for root, for whom access()
// always says yes; otherwise the system decides.
bool isReadOnly(const QByteArray& path, const struct stat& info, int accessMode)
{
    if ((info.st_mode & kAnyWriteBit) == 0)
        return true;
    return ::access(path.constData(), accessMode) != 0 && isDenial(errno);
}

bool writeAll(int fd, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        left -= written;
    }
    return true;
}

bool syncFile(int fd)
{
    while (::fsync(fd) != 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

// Makes the rename itself durable. The file has already been replaced when this runs, so a
// failure here is not reported: saying "unchanged" would be wrong.
void syncFolder(const QByteArray& folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    syncFile(fd);
    ::close(fd);
}

// ".<name>.<random>.tmp", the random part in base 36 digits (lower-case letters).
QByteArray temporaryName(const QByteArray& name)
{
    return '.' + name + '.' + QByteArray::number(QRandomGenerator::global()->generate64(), 36)
        + kTemporarySuffix;
}

bool isTemporaryName(QByteArrayView entry, const QByteArray& name)
{
    const QByteArray prefix = '.' + name + '.';
    if (!entry.startsWith(prefix) || !entry.endsWith(kTemporarySuffix))
        return false;
    const qsizetype digits = entry.size() - prefix.size() - qsizetype(sizeof kTemporarySuffix - 1);
    if (digits < 1 || digits > kMaxRandomDigits)
        return false;
    for (const char c : entry.sliced(prefix.size(), digits)) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z')))
            return false;
    }
    return true;
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A save holds an exclusive lock on its temporary file from the moment the file has its name
// until the name is gone again, renamed over the original or removed. Takes that lock on the
// new file @p fd. False when a cleanup in another process took the file first (it is removing
// it, or has removed it already): the caller must try another name. A file system that keeps no
// locks leaves the file unlocked, which is safe too: the cleanup cannot lock it either and so
// never removes it.
bool lockAsOwn(int fd, const QByteArray& path)
{
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return errno != EWOULDBLOCK;
    struct stat opened { };
    struct stat named { };
    return ::fstat(fd, &opened) == 0 && ::lstat(path.constData(), &named) == 0
        && sameFile(opened, named);
}

// Removes one temporary file that a save killed in the middle left behind: a plain file of our
// own name whose lock nobody holds. A save that is still running holds its lock, so its file
// stays; links, folders and anything else are never opened.
void removeIfAbandoned(int folderFd, const char* entry)
{
    struct stat named { };
    if (::fstatat(folderFd, entry, &named, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(named.st_mode))
        return;
    const int fd
        = ::openat(folderFd, entry, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat opened { };
    if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode)
        && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        // With the lock held, the name must still be the file locked: a save that has renamed
        // its file away, or a cleanup that got there first, leaves nothing to remove.
        if (::fstatat(folderFd, entry, &named, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(opened, named))
            ::unlinkat(folderFd, entry, 0);
    }
    ::close(fd);
}

// Best effort after a successful save: a leftover that can't be removed stays for the next one.
void removeLeftovers(const QByteArray& folder, const QByteArray& name)
{
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    const int folderFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (isTemporaryName(QByteArrayView(entry->d_name), name))
            removeIfAbandoned(folderFd, entry->d_name);
    }
    ::closedir(dir);
}

ReplaceError errorFor(int error)
{
    if (isDenial(error))
        return ReplaceError::ReadOnly;
    if (error == ENOENT || error == ENOTDIR)
        return ReplaceError::FolderMissing;
    return ReplaceError::IoError;
}

} // namespace

ReplaceError replaceFileAtomically(const QString& path, const QByteArray& content)
{
    const auto followed = followLinks(QFile::encodeName(path));
    if (!followed)
        return ReplaceError::IoError;
    const QByteArray& target = *followed;
    const QByteArray folder = folderOf(target);
    const QByteArray name = target.mid(target.lastIndexOf('/') + 1);
    if (name.isEmpty())
        return ReplaceError::IoError;

    struct stat folderInfo { };
    if (::stat(folder.constData(), &folderInfo) != 0)
        return errorFor(errno);
    if (!S_ISDIR(folderInfo.st_mode))
        return ReplaceError::FolderMissing;

    struct stat fileInfo { };
    const bool exists = ::stat(target.constData(), &fileInfo) == 0;
    if (!exists && errno != ENOENT)
        return ReplaceError::IoError;
    if (exists && !S_ISREG(fileInfo.st_mode))
        return ReplaceError::IoError;
    if (exists && isReadOnly(target, fileInfo, W_OK))
        return ReplaceError::ReadOnly;
    if (isReadOnly(folder, folderInfo, W_OK | X_OK))
        return ReplaceError::ReadOnly;

    // A hidden name beside the file, unique like mkstemp's, but created with mode 0666 so that a
    // new file gets the permissions the umask allows, as any other new file would.
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; attempt < kMaxNameAttempts && fd < 0; ++attempt) {
        temporary = folder + '/' + temporaryName(name);
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return errorFor(errno);
        if (fd >= 0 && !lockAsOwn(fd, temporary)) {
            ::close(fd);
            fd = -1;
        }
    }
    if (fd < 0)
        return ReplaceError::IoError;
    // The lock lives as long as any descriptor of the open file does: this copy keeps it over
    // the rename, after the one written through has been closed and its result checked.
    const int lockFd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);

    const auto fail = [&](ReplaceError error) {
        if (fd >= 0)
            ::close(fd);
        ::unlink(temporary.constData());
        if (lockFd >= 0)
            ::close(lockFd);
        return error;
    };

    if (lockFd < 0)
        return fail(ReplaceError::IoError);
    if (!writeAll(fd, content))
        return fail(ReplaceError::IoError);
    if (exists) {
        // The owner first: changing it clears the set-id bits, which fchmod then puts back.
        // Only root may give a file away, so for anyone else the new file stays theirs.
        if ((fileInfo.st_uid != ::geteuid() || fileInfo.st_gid != ::getegid())
            && ::fchown(fd, fileInfo.st_uid, fileInfo.st_gid) != 0) {
            // Best effort: keep the file under our own name rather than fail the save.
        }
        if (::fchmod(fd, fileInfo.st_mode & 07777) != 0)
            return fail(ReplaceError::IoError);
    }
    if (!syncFile(fd))
        return fail(ReplaceError::IoError);
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0)
        return fail(ReplaceError::IoError);
    if (::rename(temporary.constData(), target.constData()) != 0)
        return fail(errorFor(errno));
    ::close(lockFd);
    syncFolder(folder);
    removeLeftovers(folder, name);
    return ReplaceError::None;
}

} // namespace platform
