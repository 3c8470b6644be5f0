#pragma once

#include "instrument/LimitsUpload.h"

#include <QString>

#include <cstdint>
#include <functional>

namespace session {
class PollSession;
}

namespace logger {

/** How sending the limits went, and whether limits.csv took its row. */
struct LimitsSent {
    bool sent = false;
    bool recorded = false;
};

/**
 * Sends @p limits to the regulator as the window's limits dialog does, through @p session:
 * opens @p portName at @p baudRate for the upload alone, sends it and records the outcome as a
 * row of limits.csv in @p runFolder: sent, write-failed, or port-not-opened when the port did
 * not open. The row is waited for, a few seconds at most. Each failure is one line for @p tell.
 */
LimitsSent sendLimits(session::PollSession& session, instrument::RegulatorLimits limits,
    const QString& portName, std::int32_t baudRate, const QString& runFolder,
    const std::function<void(const QString&)>& tell);

} // namespace logger
