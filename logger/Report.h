#pragma once

#include "alarms/AlarmRules.h"
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
    std::optional<std::int64_t> alarmsRaised; ///< while the alarm rules are on
};

/** The journal's priority of a line on standard error, as syslog numbers them. */
enum class Priority { Warning = 4, Notice = 5, Info = 6 };

/** @p line with the journal's "<N>" in front when @p journal (standard error is the journal's
 *  stream), so that journalctl -p filters it; as it is otherwise. */
QString withPriority(const QString& line, Priority priority, bool journal);

/** How the journal ranks an alarm event: raised warns, cleared and ended are notices. */
Priority alarmPriority(alarms::AlarmEventKind event);

/**
 * The line for an alarm event: "alarm high raised: 31.2 °C above 30.0 °C", "alarm stale raised:
 * no reading for 5 s" (@p staleSeconds), "alarm high cleared: 29.4 °C", "alarm low ended with
 * the run".
 */
QString alarmLine(const alarms::AlarmEvent& event, std::optional<double> staleSeconds);

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
