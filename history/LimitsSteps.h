#pragma once

#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <limits>
#include <vector>

namespace history {

/** Regulator limits in force from a moment on. */
struct LimitsStep {
    std::int64_t timeMs = 0; ///< when they were sent, milliseconds since the epoch
    float lower = 0;
    float upper = 0;
};

/**
 * The limits in force during a run that started at @p startMs and lasts until @p endMs, from
 * the content of limits.csv ("time,lower_C,upper_C,outcome[,source]" rows): the last upload sent
 * before the start (with its own time) and each one sent from the start to the end, in time order.
 * Uploads that failed are not limits in force. Lines that do not parse are skipped. Empty when
 * no upload is known.
 */
std::vector<LimitsStep> limitsSteps(QByteArrayView limitsCsv, std::int64_t startMs,
    std::int64_t endMs = std::numeric_limits<std::int64_t>::max());

/** limitsSteps() of limits.csv in @p folder; empty when there is none or it cannot be read. */
std::vector<LimitsStep> readLimitsSteps(const QString& folder, std::int64_t startMs,
    std::int64_t endMs = std::numeric_limits<std::int64_t>::max());

} // namespace history
