#pragma once

#include <QString>
#include <QTimeZone>

#include <cstdint>
#include <vector>

namespace history {

/** One labelled mark on an axis. */
struct AxisTick {
    double at = 0; ///< on the axis's own scale: milliseconds, or degrees
    QString label;
};

/**
 * Ticks of a wall-clock time axis over [@p fromMs, @p toMs] (milliseconds since the epoch) drawn
 * @p lengthPx long, at round times of @p zone and at least @p minGapPx apart: steps of 1, 2, 5,
 * 10, 15, 30 s, 1, 2, 5, 10, 15, 30 min, 1, 2, 3, 6, 12 h, 1, 2, 7 days, the smallest that keeps
 * the gap. Round means round on the local clock ("03:00" stays 03:00 across a change of UTC
 * offset; a local time that does not exist that day is left out). Labels: "HH:mm:ss" for steps
 * below a minute, "HH:mm" for steps below a day, and the date "dd.MM" at local midnight and for
 * steps of days.
 */
std::vector<AxisTick> clockTicks(std::int64_t fromMs, std::int64_t toMs, double lengthPx,
    double minGapPx, const QTimeZone& zone = QTimeZone::systemTimeZone());

/**
 * Ticks of an elapsed-time axis over [@p fromMs, @p toMs] (milliseconds since Start), with the
 * steps of clockTicks(), at whole multiples of the step. Labels: hours (counting on past 24),
 * minutes and, for steps below a minute, seconds: "0:00:30", "1:30", "50:00"; "-" before a time
 * before Start.
 */
std::vector<AxisTick> elapsedTicks(
    std::int64_t fromMs, std::int64_t toMs, double lengthPx, double minGapPx);

/**
 * Ticks of a value axis over [@p from, @p to] drawn @p lengthPx long, at least @p minGapPx
 * apart, at multiples of 1, 2 or 5 times a power of ten; labelled with as many decimals as the
 * step needs and the system's decimal sign.
 */
std::vector<AxisTick> valueTicks(double from, double to, double lengthPx, double minGapPx);

} // namespace history
