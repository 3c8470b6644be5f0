#pragma once

#include "runlog/RunRow.h"

#include <QtGlobal>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace history {

/** Gap kinds a stretch of ticks without a reading may hold, as bits. */
enum GapBits : std::uint8_t {
    kNoReplyGap = 1, ///< no reply, a short reply or a write that failed
    kPortLostGap = 2, ///< the port was lost
};

/** The bit of a tick's status, 0 for a reading. */
std::uint8_t gapBit(runlog::TickStatus status);

/** The readings of a stretch of ticks. */
struct Span {
    float min = std::numeric_limits<float>::quiet_NaN(); ///< NaN when the stretch has no reading
    float max = std::numeric_limits<float>::quiet_NaN();
    std::uint8_t gaps = 0; ///< GapBits of its ticks without a reading
    bool hasReading() const { return !std::isnan(min); }
};

/**
 * A run as columns, one entry per tick: elapsed milliseconds since Start, the reading (NaN where
 * the tick stored none) and the status; with a minimum/maximum pyramid over the readings, kept up
 * to date as ticks are appended, so that the span of any stretch costs a few dozen steps however
 * long the run. About 14 bytes a tick. Ticks are appended in order of elapsed time (equal times
 * allowed); the wall-clock time of a tick is the run's start plus its elapsed time.
 */
class RunColumns {
public:
    /** Fan-out of the pyramid: each level's block covers this many blocks of the level below. */
    static constexpr qsizetype kFanOut = 16;

    /** Appends one tick; @p elapsedMs must not be below the last one's. */
    void append(std::int64_t elapsedMs, float temperature, runlog::TickStatus status);
    void reserve(qsizetype ticks);

    qsizetype size() const { return static_cast<qsizetype>(m_elapsed.size()); }
    bool isEmpty() const { return m_elapsed.empty(); }
    std::int64_t elapsedAt(qsizetype i) const { return m_elapsed[static_cast<std::size_t>(i)]; }
    float temperatureAt(qsizetype i) const { return m_temperature[static_cast<std::size_t>(i)]; }
    runlog::TickStatus statusAt(qsizetype i) const
    {
        return static_cast<runlog::TickStatus>(m_status[static_cast<std::size_t>(i)]);
    }

    /** The wall-clock moment of Start, in milliseconds since the epoch (UTC). */
    std::int64_t startMs() const { return m_startMs; }
    void setStartMs(std::int64_t startMs) { m_startMs = startMs; }
    /** Wall-clock time of tick @p i, in milliseconds since the epoch. */
    std::int64_t timeAt(qsizetype i) const { return m_startMs + elapsedAt(i); }

    /** The first tick whose elapsed time is at or after @p elapsedMs (size() when none). */
    qsizetype lowerBound(std::int64_t elapsedMs) const;

    /** The readings and gaps of ticks [@p begin, @p end), from the pyramid. */
    Span span(qsizetype begin, qsizetype end) const;

    /** Bytes held for the ticks and the pyramid. */
    std::size_t memoryBytes() const;

private:
    std::vector<std::int64_t> m_elapsed;
    std::vector<float> m_temperature;
    std::vector<std::uint8_t> m_status;
    /** Level k (from 0) holds one Span per kFanOut^(k+1) ticks; a level's last block may be
     *  partial and is kept up to date. */
    std::vector<std::vector<Span>> m_levels;
    std::int64_t m_startMs = 0;
};

/** One pixel column of a plot: the ticks it covers, and their span. */
struct ColumnSpan {
    qsizetype begin = 0; ///< first tick of the column
    qsizetype end = 0; ///< one past its last tick (begin when it covers none)
    Span span;
};

/**
 * The @p width columns of elapsed times [@p fromMs, @p toMs): column c covers the ticks whose
 * elapsed time t has from + (to - from) * c / width <= t < from + (to - from) * (c + 1) / width
 * (integer arithmetic, rounded down). Empty when width < 1 or to <= from.
 */
std::vector<ColumnSpan> columnSpans(
    const RunColumns& run, std::int64_t fromMs, std::int64_t toMs, int width);

} // namespace history
