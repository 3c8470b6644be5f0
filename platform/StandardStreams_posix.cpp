#include "platform/StandardStreams.h"

#include <QByteArray>
#include <QList>

#include <sys/stat.h>
#include <unistd.h>

namespace platform {

bool standardErrorIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

bool standardErrorIsJournal()
{
    // "DEVICE:INODE", both decimal.
    const QList<QByteArray> parts = qgetenv("JOURNAL_STREAM").split(':');
    if (parts.size() != 2)
        return false;
    bool deviceOk = false;
    bool inodeOk = false;
    const qulonglong device = parts[0].toULongLong(&deviceOk);
    const qulonglong inode = parts[1].toULongLong(&inodeOk);
    struct stat status { };
    if (!deviceOk || !inodeOk || ::fstat(STDERR_FILENO, &status) != 0)
        return false;
    return qulonglong(status.st_dev) == device && qulonglong(status.st_ino) == inode;
}

int standardOutputHandle()
{
    return STDOUT_FILENO;
}

int standardErrorHandle()
{
    return STDERR_FILENO;
}

} // namespace platform
