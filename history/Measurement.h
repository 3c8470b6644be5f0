#pragma once

#include "history/LimitsSteps.h"
#include "history/RunColumns.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace history {

/** The tick whose elapsed time is nearest @p elapsedMs (the earlier one on a tie); -1 for an
 *  empty run. A binary search: the cost does not grow with the run. */
qsizetype nearestTick(const RunColumns& run, double elapsedMs);

/** The tick holding a reading nearest @p elapsedMs, looking at most @p reach ticks either side
 *  of the nearest tick; nullopt when there is none so near. */
std::optional<qsizetype> nearestReading(
    const RunColumns& run, double elapsedMs, qsizetype reach = 4096);

/** What lies between two readings of a run. */
struct Between {
    std::int64_t durationMs = 0; ///< from the first to the second, never negative
    double difference = 0; ///< the later reading less the earlier one
    double ratePerMinute = 0; ///< difference over duration; 0 for a duration of 0
    double min = 0;
    double max = 0;
    double mean = 0;
    qsizetype readings = 0; ///< readings from the first to the second, both included
};

/** The readings from tick @p a to tick @p b (either order), both holding a reading: the minimum
 *  and maximum from the pyramid; the mean adds up each reading between (done on a click only). */
Between between(const RunColumns& run, qsizetype a, qsizetype b);

/** The status as the window names it: "норма", "нет ответа", ... */
QString statusText(runlog::TickStatus status);

/** A temperature with one decimal and the system's decimal sign, and " °C". */
QString degreesText(double value);

/** A duration as "1 ч 02 мин 05 с", "2 мин 30,5 с", "12 с"; "-" before a negative one. */
QString durationText(std::int64_t ms);

/** The tick's clock time ("08.12.2026 10:15:00"), time since Start and temperature and status,
 *  as hovering shows them. */
QString tickText(const RunColumns& run, qsizetype tick);

/** The two markers' measure: time between, difference, rate, minimum, maximum and mean. */
QString betweenText(const Between& measure);

/**
 * The limits in force during a run that started at @p startMs from two sources (what the
 * program sent itself and what limits.csv holds): merged in time order with equal uploads once,
 * then the last one before the start and each from the start on.
 */
std::vector<LimitsStep> mergeLimits(
    std::vector<LimitsStep> a, const std::vector<LimitsStep>& b, std::int64_t startMs);

} // namespace history
