#include "platform/HandlerBoundary.h"

#include <QtGlobal>

namespace platform {

namespace {

void warnAboutFailure(const std::exception_ptr& failure) noexcept
{
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        qWarning("Failure: %s", e.what());
    } catch (...) {
        qWarning("Failure of an unknown kind");
    }
}

FailureReporter& installedReporter()
{
    static FailureReporter reporter;
    return reporter;
}

} // namespace

FailureReporter setFailureReporter(FailureReporter reporter)
{
    return std::exchange(installedReporter(), std::move(reporter));
}

void reportFailure(const std::exception_ptr& failure) noexcept
{
    if (!failure)
        return;
    try {
        // A copy: the reporter may install another one while it runs (a test's, say).
        const FailureReporter reporter = installedReporter();
        if (!reporter) {
            warnAboutFailure(failure);
            return;
        }
        reporter(failure);
    } catch (...) {
        // The report itself failed (no memory for the box, say): the failure is at least logged.
        warnAboutFailure(failure);
        warnAboutFailure(std::current_exception());
    }
}

} // namespace platform
