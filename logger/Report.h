#pragma once

#include "platform/SerialPort.h"
#include "runlog/LogFailure.h"
#include "runlog/RunRow.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>

namespace logger {

/** What a run came to, for the summary at its end. */
struct Tally {
    std::int64_t readings = 0; ///< ticks that stored a reading
    std::int64_t withoutReading = 0; ///< ticks that stored none (no reply, short, lost, ...)
    int reconnects = 0;
    std::int64_t lostRows = 0; ///< rows that never reached the output
};

/**
 * The line for one reading while standard error is a terminal: the local time of the poll, the
 * temperature (or "-" when the tick stored none) and the status, "10:15:00   36.5  ok".
 */
QString readingLine(
    const QDateTime& time, std::optional<double> temperature, runlog::TickStatus status);

/**
 * The summary at the end: "5 readings, 1 tick without a reading, 0 reconnects; rows in FILE",
 * the rows not written counted when there are any; "rows on standard output" when
 * @p onStandardOutput.
 */
QString summaryLine(const Tally& tally, const QString& where, bool onStandardOutput = false);

/** Why @p portName (at @p devicePath) did not open, with what to look at. */
QString portFailure(
    const QString& portName, const QString& devicePath, platform::SerialError error);

/** A file or stream that could not be written: "cannot write PATH: REASON". */
QString writeFailure(const runlog::LogFailure& failure);

} // namespace logger
