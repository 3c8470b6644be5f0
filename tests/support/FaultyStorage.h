#pragma once

#include "runlog/Storage.h"

#include <QtGlobal>

#include <cerrno>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

// Real files (through the system storage) that fail on demand as a full disk, a read-only
// folder or a failing device would. Each fault stays until the test clears it.
class FaultyStorage final : public runlog::Storage {
public:
    // Bytes the disk still takes; a write beyond them writes what fits and fails with ENOSPC.
    std::optional<qint64> spaceLeft;
    int folderError = 0; // makeFolders fails with it
    int createError = 0; // createNew, openExisting and openShared fail with it
    int syncError = 0; // syncData fails with it (after nothing was synced)
    int truncateError = 0; // truncate fails with it
    int folderSyncError = 0; // syncFolder fails with it
    int writes = 0;
    int syncs = 0;
    int folderSyncs = 0;

    void clearFaults()
    {
        spaceLeft.reset();
        folderError = createError = syncError = truncateError = folderSyncError = 0;
    }

    int makeFolders(const QString& folder) override
    {
        return folderError != 0 ? folderError : real().makeFolders(folder);
    }
    Opened createNew(const QString& path) override
    {
        if (createError != 0)
            return { -1, createError };
        return real().createNew(path);
    }
    Opened openExisting(const QString& path) override
    {
        if (createError != 0)
            return { -1, createError };
        return real().openExisting(path);
    }
    Opened openShared(const QString& path) override
    {
        if (createError != 0)
            return { -1, createError };
        return real().openShared(path);
    }
    int lock(Handle handle, std::chrono::milliseconds bound) override
    {
        return real().lock(handle, bound);
    }
    // While held, writes and syncs wait until released, as on a hung network mount: for a
    // writer on a thread of its own.
    void hold()
    {
        const std::lock_guard guard(m_gate->lock);
        m_gate->held = true;
    }
    void release()
    {
        const std::lock_guard guard(m_gate->lock);
        m_gate->held = false;
        m_gate->released.notify_all();
    }

    Transferred writeAt(Handle handle, QByteArrayView bytes, qint64 offset) override
    {
        waitWhileHeld();
        ++writes;
        if (!spaceLeft || *spaceLeft >= bytes.size()) {
            const Transferred done = real().writeAt(handle, bytes, offset);
            if (spaceLeft)
                *spaceLeft -= done.count;
            return done;
        }
        const Transferred done = real().writeAt(handle, bytes.first(*spaceLeft), offset);
        *spaceLeft -= done.count;
        return { done.count, done.error != 0 ? done.error : ENOSPC };
    }
    Transferred readAt(Handle handle, char* into, qint64 size, qint64 offset) override
    {
        return real().readAt(handle, into, size, offset);
    }
    Transferred size(Handle handle) override { return real().size(handle); }
    int syncData(Handle handle) override
    {
        waitWhileHeld();
        ++syncs;
        return syncError != 0 ? syncError : real().syncData(handle);
    }
    int truncate(Handle handle, qint64 length) override
    {
        return truncateError != 0 ? truncateError : real().truncate(handle, length);
    }
    int syncFolder(const QString& folder) override
    {
        ++folderSyncs;
        return folderSyncError != 0 ? folderSyncError : real().syncFolder(folder);
    }
    int checkStillNamed(Handle handle, const QString& path) override
    {
        return real().checkStillNamed(handle, path);
    }
    int close(Handle handle) override { return real().close(handle); }

private:
    static runlog::Storage& real() { return runlog::systemStorage(); }
    void waitWhileHeld()
    {
        Gate& gate = *m_gate;
        std::unique_lock guard(gate.lock);
        gate.released.wait(guard, [&gate] { return !gate.held; });
    }

    struct Gate {
        std::mutex lock;
        std::condition_variable released;
        bool held = false;
    };
    std::shared_ptr<Gate> m_gate = std::make_shared<Gate>();
};
