#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <chrono>
#include <optional>

namespace runlog {

/** How one poll tick of a run ended. */
enum class TickStatus { Ok, NoReply, ShortReply, WriteFailed, PortLost };

/** "ok", "no-reply", "short-reply", "write-failed", "port-lost". */
const char* statusName(TickStatus status);

/** The first line of every run file. */
inline constexpr char kRunHeader[] = "time,elapsed_s,temperature_C,status\n";

/** One poll tick of a run. */
struct RunRow {
    QDateTime time; ///< wall-clock time of the tick (local time normally)
    std::chrono::milliseconds elapsed { 0 }; ///< since Start, on the monotonic clock
    std::optional<double> temperature; ///< the stored reading (degrees); only for Ok
    TickStatus status = TickStatus::Ok;
};

/**
 * One line with its "\n": 2026-12-08T10:15:00.512+01:00,12.345,36.5,ok
 * time: as timeText(); elapsed: seconds with exactly three decimals (integer arithmetic, no
 * locale, "-" before a negative one); temperature: one decimal, "." always, rounded from the
 * double (half away from zero), empty when absent, not finite, or the status is not Ok.
 */
QByteArray formatRow(const RunRow& row);

/**
 * "2026-12-08T10:15:00.512+01:00": ISO 8601 extended with milliseconds and the UTC offset of
 * that moment as +HH:MM ("+00:00" for UTC, never "Z"). An offset that is no whole number of
 * minutes (local mean times of the 19th century) is written as the same moment in UTC. An
 * invalid time gives an empty text.
 */
QByteArray timeText(const QDateTime& time);

/**
 * File name of a run that started at @p start (its date and time as @p start carries them,
 * local normally): attempt 1 gives "2026-12-08_10-15-00.csv", attempt 2
 * "2026-12-08_10-15-00_2.csv", ...; an attempt below 1 counts as 1.
 */
QString runFileName(const QDateTime& start, int attempt);

} // namespace runlog
