#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace platform {

/**
 * What a caller and the thread it hands slow work to (a write that a disk or a pipe may hold up)
 * share: the lock, and the conditions each waits on.
 */
struct WorkerState {
    std::mutex mutex;
    std::condition_variable wake; ///< work, or the end, for the worker
    std::condition_variable idle; ///< the worker has nothing left to do
    bool quit = false; ///< the worker ends once it has nothing left to do
    bool working = false; ///< the worker carries out work it took
};

/**
 * Ends @p worker once it has nothing left to do: tells it to end, and waits for it when
 * @p done (it is idle already); otherwise leaves it to finish, or to end with the process, on
 * its own. The worker must hold everything it uses itself (a shared pointer to its state).
 */
inline void endWorker(WorkerState& state, std::thread& worker, bool done)
{
    {
        const std::lock_guard lock(state.mutex);
        state.quit = true;
        state.wake.notify_all();
    }
    if (done)
        worker.join();
    else
        worker.detach();
}

} // namespace platform
