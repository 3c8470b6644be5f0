#include "platform/AtomicFile.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr mode_t kAnyWriteBit = S_IWUSR | S_IWGRP | S_IWOTH;
constexpr int kMaxLinkHops = 40; // as the kernel allows before ELOOP
constexpr int kMaxNameAttempts = 100;

QByteArray folderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    if (slash == 0)
        return QByteArrayLiteral("/");
    return path.left(slash);
}

// The path with symbolic links on its last part followed (links among the folders are
// followed by the system anyway), so that the link's target is replaced, not the link.
// A dangling link gives the path of the file it would create.
std::optional<QByteArray> followLinks(QByteArray path)
{
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat info { };
        if (::lstat(path.constData(), &info) != 0 || !S_ISLNK(info.st_mode))
            return path;
        char target[PATH_MAX];
        const ssize_t length = ::readlink(path.constData(), target, sizeof target);
        if (length <= 0 || length == static_cast<ssize_t>(sizeof target))
            return std::nullopt;
        QByteArray next(target, length);
        path = next.startsWith('/') ? next : folderOf(path) + '/' + next;
    }
    return std::nullopt;
}

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
        temporary = folder + "/." + name + '.'
            + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return errorFor(errno);
    }
    if (fd < 0)
        return ReplaceError::IoError;

    const auto fail = [&](ReplaceError error) {
        if (fd >= 0)
            ::close(fd);
        ::unlink(temporary.constData());
        return error;
    };

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
    syncFolder(folder);
    return ReplaceError::None;
}

} // namespace platform
