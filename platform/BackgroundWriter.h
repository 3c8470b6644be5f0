#pragma once

#include <QByteArray>

#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>

namespace platform {

/**
 * Bytes for a handle the program does not own (standard error, say), written on a thread of
 * their own: a terminal on hold (Ctrl+S), a full pipe nobody reads or a stalled disk holds up
 * that thread, never the caller. Texts go out whole and in order; while the handle does not
 * take them, at most kMaxWaiting wait (beyond that the oldest are dropped). A write that fails
 * drops the text: there is nobody to tell.
 */
class BackgroundWriter {
public:
    static constexpr std::int64_t kMaxWaiting = 1000;

    explicit BackgroundWriter(int handle);
    /** Waits up to leaveAfter() for what waits, then leaves a held-up thread to the process. */
    ~BackgroundWriter();
    BackgroundWriter(const BackgroundWriter&) = delete;
    BackgroundWriter& operator=(const BackgroundWriter&) = delete;

    /** Queues @p bytes; returns at once. */
    void write(QByteArray bytes);
    /** Waits at most @p limit for everything written so far to be taken; true when it was. */
    bool waitUntilWritten(std::chrono::milliseconds limit);
    /** How long the destructor waits; 1 s unless set. */
    void setLeaveAfter(std::chrono::milliseconds limit) { m_leaveAfter = limit; }

private:
    struct Shared;
    static void serve(const std::shared_ptr<Shared>& shared);

    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
    std::chrono::milliseconds m_leaveAfter { 1000 };
};

} // namespace platform
