#pragma once

#include <exception>
#include <functional>
#include <utility>

namespace platform {

/**
 * Receives a failure caught at a handler boundary. The application installs one that shows the
 * error box; until then, and after it is gone, the default one logs a warning.
 */
using FailureReporter = std::function<void(std::exception_ptr)>;

/**
 * Installs @p reporter for every later failure and returns the one it replaces. An empty
 * reporter restores the default.
 */
FailureReporter setFailureReporter(FailureReporter reporter);

/** Hands @p failure to the installed reporter. Never throws: a failing reporter is logged. */
void reportFailure(const std::exception_ptr& failure) noexcept;

/**
 * The boundary between the toolkit and one command handler, timer tick or window event: runs
 * @p handler, and whatever it throws is caught here and reported, so that no failure unwinds
 * through the toolkit's frames. The report comes after the handler's frames are gone, and
 * before this returns. Returns false when the handler failed.
 */
template <typename Handler> bool guarded(Handler&& handler) noexcept
{
    std::exception_ptr failure;
    try {
        std::forward<Handler>(handler)();
        return true;
    } catch (...) {
        failure = std::current_exception();
    }
    reportFailure(failure);
    return false;
}

} // namespace platform
