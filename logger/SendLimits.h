#pragma once

#include "instrument/LimitsUpload.h"

#include <QString>

#include <cstdint>
#include <functional>

namespace logger {

/** How sending the limits went, and whether limits.csv took its row. */
struct LimitsSent {
    bool sent = false;
    bool recorded = false;
};

/**
 * Sends @p limits to the regulator as the window's limits dialog does: opens @p portName at
 * @p baudRate for the upload alone, sends it (instrument::uploadLimits, which closes the port)
 * and records the outcome as a row of limits.csv in @p runFolder: sent, write-failed, or
 * port-not-opened when the port did not open. Each failure is one line for @p tell.
 */
LimitsSent sendLimits(instrument::RegulatorLimits limits, const QString& portName,
    std::int32_t baudRate, const QString& runFolder,
    const std::function<void(const QString&)>& tell);

} // namespace logger
