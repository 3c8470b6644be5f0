#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <chrono>

namespace runlog {

/**
 * The file operations of the run log, so that tests can make any of them fail. Every call
 * returns at once with the system's answer (lock() waits, within its bound): errors are errno
 * values, 0 is success. A handle is a file opened by createNew(), openExisting() or
 * openShared(), valid until close().
 */
class Storage {
public:
    using Handle = int;
    struct Opened {
        Handle handle = -1;
        int error = 0;
        bool created = false; ///< openShared() made the file
    };
    struct Transferred {
        qint64 count = 0; ///< bytes written or read, also when error is set
        int error = 0;
    };

    virtual ~Storage();

    /** Creates @p folder and its missing parents (mode 0777 & umask); 0 when it is a folder. */
    virtual int makeFolders(const QString& folder) = 0;
    /** A new, empty file for writing: O_WRONLY|O_CREAT|O_EXCL|O_CLOEXEC, mode 0666 & umask.
     *  EEXIST when the name is taken by anything. */
    virtual Opened createNew(const QString& path) = 0;
    /** An existing file for reading and writing (O_RDWR|O_CLOEXEC, never created). */
    virtual Opened openExisting(const QString& path) = 0;
    /** A plain file that several programs and the users of a group add to, for reading and
     *  writing: made when missing (group-writable where its folder is group-shared), never
     *  reached through a symbolic link (ELOOP); EINVAL for anything else that is no plain file. */
    virtual Opened openShared(const QString& path) = 0;
    /** The exclusive lock on the open file, waited for at most @p bound (EWOULDBLOCK when
     *  another holder kept it that long); close() lets it go. */
    virtual int lock(Handle handle, std::chrono::milliseconds bound) = 0;
    /** Writes all of @p bytes at @p offset (retrying short writes until an error). A short
     *  count with an error means the bytes before it were written, the rest were not. */
    virtual Transferred writeAt(Handle handle, QByteArrayView bytes, qint64 offset) = 0;
    /** Reads up to @p size bytes at @p offset into @p into; a short count means end of file. */
    virtual Transferred readAt(Handle handle, char* into, qint64 size, qint64 offset) = 0;
    /** The file's size, in count. */
    virtual Transferred size(Handle handle) = 0;
    /** fdatasync: the data written so far, and the size, are on the disk. */
    virtual int syncData(Handle handle) = 0;
    /** Cuts the file back to @p length bytes. */
    virtual int truncate(Handle handle, qint64 length) = 0;
    /** fsync of @p folder, so that a name just made in it survives a power cut. */
    virtual int syncFolder(const QString& folder) = 0;
    /** 0 while @p path still names the open file @p handle (same device and inode, at least
     *  one link); ENOENT when the file or its folder was removed or replaced. */
    virtual int checkStillNamed(Handle handle, const QString& path) = 0;
    /** Closes the handle; an error is only reported, the handle is gone either way. */
    virtual int close(Handle handle) = 0;
};

/** The storage on the system's files. */
Storage& systemStorage();

} // namespace runlog
