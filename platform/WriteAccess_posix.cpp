#include "platform/FilePath.h"
#include "platform/WriteAccess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr mode_t kAnyWriteBit = S_IWUSR | S_IWGRP | S_IWOTH;

// Root passes every access() check on a writable mount, so the mode bits come first: a file or
// folder with no write bit at all is read-only for everyone, as replaceFileAtomically() has it.
bool mayWrite(const QByteArray& path, const struct stat& info, int accessMode)
{
    if ((info.st_mode & kAnyWriteBit) == 0)
        return false;
    return ::access(path.constData(), accessMode) == 0;
}

bool isWritableFolder(const QByteArray& folder)
{
    struct stat info { };
    return ::stat(folder.constData(), &info) == 0 && S_ISDIR(info.st_mode)
        && mayWrite(folder, info, W_OK | X_OK);
}

} // namespace

bool canReplaceFile(const QString& path)
{
    // The replacement writes beside the file a link leads to, not beside the link; a dangling
    // link is followed to the file it would create there.
    const std::optional<QByteArray> followed
        = followLinks(QFile::encodeName(QFileInfo(path).absoluteFilePath()));
    if (!followed || followed->isEmpty())
        return false;
    const QByteArray& name = *followed;
    struct stat fileInfo { };
    if (::stat(name.constData(), &fileInfo) == 0) {
        if (!S_ISREG(fileInfo.st_mode) || !mayWrite(name, fileInfo, W_OK))
            return false;
    } else if (errno != ENOENT) {
        return false;
    }
    return isWritableFolder(folderOf(name));
}

bool canMakeFilesIn(const QString& folder)
{
    QByteArray path = QFile::encodeName(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()));
    if (path.isEmpty())
        return false;
    for (;;) {
        struct stat info { };
        if (::stat(path.constData(), &info) == 0)
            return S_ISDIR(info.st_mode) && mayWrite(path, info, W_OK | X_OK);
        if (errno != ENOENT || path == "/")
            return false;
        path = folderOf(path);
    }
}

} // namespace platform
