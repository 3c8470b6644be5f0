#include "runlog/Storage.h"

#include "platform/DurableFile.h"

namespace runlog {

Storage::~Storage() = default;

namespace {

namespace durable = platform::durable;

class SystemStorage final : public Storage {
public:
    int makeFolders(const QString& folder) override { return durable::makeFolders(folder); }
    Opened createNew(const QString& path) override
    {
        const durable::Opened opened = durable::createNew(path);
        return { opened.file, opened.error };
    }
    Opened openExisting(const QString& path) override
    {
        const durable::Opened opened = durable::openExisting(path);
        return { opened.file, opened.error };
    }
    Opened openShared(const QString& path) override
    {
        const durable::Opened opened = durable::openShared(path);
        return { opened.file, opened.error, opened.created };
    }
    int lock(Handle handle, std::chrono::milliseconds bound) override
    {
        return durable::lockExclusive(handle, bound);
    }
    Transferred writeAt(Handle handle, QByteArrayView bytes, qint64 offset) override
    {
        const durable::Transferred done = durable::writeAt(handle, bytes, offset);
        return { done.count, done.error };
    }
    Transferred readAt(Handle handle, char* into, qint64 size, qint64 offset) override
    {
        const durable::Transferred done = durable::readAt(handle, into, size, offset);
        return { done.count, done.error };
    }
    Transferred size(Handle handle) override
    {
        const durable::Transferred done = durable::sizeOf(handle);
        return { done.count, done.error };
    }
    int syncData(Handle handle) override { return durable::syncData(handle); }
    int truncate(Handle handle, qint64 length) override
    {
        return durable::truncateTo(handle, length);
    }
    int syncFolder(const QString& folder) override { return durable::syncFolder(folder); }
    int checkStillNamed(Handle handle, const QString& path) override
    {
        return durable::checkStillNamed(handle, path);
    }
    int close(Handle handle) override { return durable::closeFile(handle); }
};

} // namespace

Storage& systemStorage()
{
    static SystemStorage storage;
    return storage;
}

} // namespace runlog
