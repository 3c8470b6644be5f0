// A file system that stalls on demand, as a hung network mount does: it passes every call
// through to a backing folder, but while the hold file exists, writes and syncs wait until it is
// gone. A waiting call that its caller gives up (a signal that ends the process, say) fails
// with EINTR, as a hung mount's calls are killable: the program can end meanwhile.
//
//   stallfs BACKING-FOLDER MOUNT-POINT HOLD-FILE
//
// Runs in the foreground until unmounted (fusermount3 -u MOUNT-POINT) or ended by a signal.

#define FUSE_USE_VERSION 35

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fuse3/fuse.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

std::string backing;
std::string holdFile;

std::string real(const char* path)
{
    return backing + path;
}

int failed()
{
    return -errno;
}

// Waits while the hold file exists; false when the caller gave up the call meanwhile. The test
// removes the file; nothing else bounds the wait, as nothing bounds a hung mount's.
bool waitWhileHeld()
{
    struct stat info { };
    while (::stat(holdFile.c_str(), &info) == 0) {
        if (fuse_interrupted() != 0)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

int getAttributes(const char* path, struct stat* info, fuse_file_info* file)
{
    const int result
        = file != nullptr ? ::fstat(int(file->fh), info) : ::lstat(real(path).c_str(), info);
    return result == 0 ? 0 : failed();
}

int makeFolder(const char* path, mode_t mode)
{
    return ::mkdir(real(path).c_str(), mode) == 0 ? 0 : failed();
}

int removeFile(const char* path)
{
    return ::unlink(real(path).c_str()) == 0 ? 0 : failed();
}

int truncateFile(const char* path, off_t size, fuse_file_info* file)
{
    if (!waitWhileHeld())
        return -EINTR;
    const int result
        = file != nullptr ? ::ftruncate(int(file->fh), size) : ::truncate(real(path).c_str(), size);
    return result == 0 ? 0 : failed();
}

int openFile(const char* path, fuse_file_info* file)
{
    const int handle = ::open(real(path).c_str(), file->flags);
    if (handle < 0)
        return failed();
    file->fh = std::uint64_t(handle);
    return 0;
}

int createFile(const char* path, mode_t mode, fuse_file_info* file)
{
    const int handle = ::open(real(path).c_str(), file->flags, mode);
    if (handle < 0)
        return failed();
    file->fh = std::uint64_t(handle);
    return 0;
}

int readFile(const char* /*path*/, char* into, size_t size, off_t offset, fuse_file_info* file)
{
    const ssize_t got = ::pread(int(file->fh), into, size, offset);
    return got < 0 ? failed() : int(got);
}

int writeFile(
    const char* /*path*/, const char* from, size_t size, off_t offset, fuse_file_info* file)
{
    if (!waitWhileHeld())
        return -EINTR;
    const ssize_t put = ::pwrite(int(file->fh), from, size, offset);
    return put < 0 ? failed() : int(put);
}

int syncFile(const char* /*path*/, int dataOnly, fuse_file_info* file)
{
    if (!waitWhileHeld())
        return -EINTR;
    const int result = dataOnly != 0 ? ::fdatasync(int(file->fh)) : ::fsync(int(file->fh));
    return result == 0 ? 0 : failed();
}

int releaseFile(const char* /*path*/, fuse_file_info* file)
{
    ::close(int(file->fh));
    return 0;
}

int syncFolder(const char* /*path*/, int /*dataOnly*/, fuse_file_info* /*file*/)
{
    return waitWhileHeld() ? 0 : -EINTR;
}

int readFolder(const char* path, void* into, fuse_fill_dir_t fill, off_t /*offset*/,
    fuse_file_info* /*file*/, fuse_readdir_flags /*flags*/)
{
    DIR* folder = ::opendir(real(path).c_str());
    if (folder == nullptr)
        return failed();
    while (const dirent* entry = ::readdir(folder))
        fill(into, entry->d_name, nullptr, 0, fuse_fill_dir_flags(0));
    ::closedir(folder);
    return 0;
}

int checkAccess(const char* path, int mode)
{
    return ::access(real(path).c_str(), mode) == 0 ? 0 : failed();
}

// Calls can be interrupted: the kernel's interrupt for a waiting call reaches its thread.
void* start(fuse_conn_info* /*connection*/, fuse_config* config)
{
    config->intr = 1;
    return nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fputs("usage: stallfs BACKING-FOLDER MOUNT-POINT HOLD-FILE\n", stderr);
        return 2;
    }
    backing = argv[1];
    holdFile = argv[3];

    fuse_operations operations {};
    operations.init = start;
    operations.getattr = getAttributes;
    operations.mkdir = makeFolder;
    operations.unlink = removeFile;
    operations.truncate = truncateFile;
    operations.open = openFile;
    operations.create = createFile;
    operations.read = readFile;
    operations.write = writeFile;
    operations.fsync = syncFile;
    operations.release = releaseFile;
    operations.fsyncdir = syncFolder;
    operations.readdir = readFolder;
    operations.access = checkAccess;

    // Foreground, calls that can be interrupted, and permissions checked by the kernel as on
    // any disk.
    char* fuseArguments[] = { argv[0], const_cast<char*>("-f"), const_cast<char*>("-o"),
        const_cast<char*>("default_permissions"), argv[2] };
    return fuse_main(5, fuseArguments, &operations, nullptr);
}
