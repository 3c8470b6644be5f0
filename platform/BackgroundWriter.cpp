#include "platform/BackgroundWriter.h"

#include "platform/DurableFile.h"
#include "platform/WorkerThread.h"

#include <deque>
#include <utility>

namespace platform {

struct BackgroundWriter::Shared : WorkerState {
    explicit Shared(int file)
        : handle(file)
    {
    }

    const int handle;
    std::deque<QByteArray> waiting;
};

BackgroundWriter::BackgroundWriter(int handle)
    : m_shared(std::make_shared<Shared>(handle))
    , m_thread(serve, m_shared)
{
}

BackgroundWriter::~BackgroundWriter()
{
    endWorker(*m_shared, m_thread, waitUntilWritten(m_leaveAfter));
}

void BackgroundWriter::serve(const std::shared_ptr<Shared>& shared)
{
    Shared& s = *shared;
    std::unique_lock lock(s.mutex);
    for (;;) {
        s.wake.wait(lock, [&s] { return s.quit || !s.waiting.empty(); });
        if (s.waiting.empty())
            return;
        const QByteArray bytes = std::move(s.waiting.front());
        s.waiting.pop_front();
        s.working = true;
        lock.unlock();
        durable::writeAll(s.handle, bytes);
        lock.lock();
        s.working = false;
        if (s.waiting.empty())
            s.idle.notify_all();
    }
}

void BackgroundWriter::write(QByteArray bytes)
{
    const std::lock_guard lock(m_shared->mutex);
    if (std::int64_t(m_shared->waiting.size()) >= kMaxWaiting)
        m_shared->waiting.pop_front();
    m_shared->waiting.push_back(std::move(bytes));
    m_shared->wake.notify_all();
}

bool BackgroundWriter::waitUntilWritten(std::chrono::milliseconds limit)
{
    std::unique_lock lock(m_shared->mutex);
    const Shared& s = *m_shared;
    return m_shared->idle.wait_for(lock, limit, [&s] { return s.waiting.empty() && !s.working; });
}

} // namespace platform
