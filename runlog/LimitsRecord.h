#pragma once

#include "instrument/LimitsUpload.h"
#include "runlog/LogFailure.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>

namespace runlog {

class Storage;

/** How sending the regulator limits ended. */
enum class LimitsOutcome { Sent, PortNotOpened, WriteFailed };

/** "sent", "port-not-opened", "write-failed" */
const char* outcomeName(LimitsOutcome outcome);

/** Who sent the regulator limits: the window, velmora-log (its --limits), or a command that
 *  came over MQTT (to either of them). */
enum class LimitsSource { Window, Logger, Mqtt };

/** "window", "velmora-log", "mqtt" */
const char* sourceName(LimitsSource source);

inline constexpr char kLimitsHeader[] = "time,lower_C,upper_C,outcome,source\n";
/** The header of a limits.csv begun before rows said their source. Rows added to such a file
 *  keep its four columns, so that a CSV reader that takes the header's count of columns (pandas)
 *  still reads the whole file. */
inline constexpr char kLimitsHeaderWithoutSource[] = "time,lower_C,upper_C,outcome\n";
inline constexpr char kLimitsFileName[] = "limits.csv";

/**
 * Appends one row to limits.csv in @p folder (folder made when missing; header when the file is
 * new or empty), synced before it returns: 2026-12-08T10:15:00.512+01:00,36.5,37.0,sent,window
 * Limits are in tenths of a degree. A file that begins with kLimitsHeaderWithoutSource gets the
 * row without its source. A torn last line left by an earlier crash (no "\n" at the
 * end) is cut off before appending, so it is never followed by further rows. Programs adding
 * rows at once take turns on the file's lock, each writing after the rows before it; a lock
 * another program keeps for seconds on end is a failure. The folder may be shared: a
 * limits.csv that is a symbolic link or no plain file is refused, never written through, and
 * in a group-shared folder a new limits.csv (and a folder made for it) lets the group add rows.
 * Returns the failure, if any; a row that failed is not in the file (a partial one is cut back).
 */
std::optional<LogFailure> recordLimits(const QString& folder, const QDateTime& time,
    std::uint16_t lowerTenths, std::uint16_t upperTenths, LimitsOutcome outcome,
    LimitsSource source);

/** The same on @p storage, for tests. */
std::optional<LogFailure> recordLimits(Storage& storage, const QString& folder,
    const QDateTime& time, std::uint16_t lowerTenths, std::uint16_t upperTenths,
    LimitsOutcome outcome, LimitsSource source);

/**
 * The limits of the last row of limits.csv in @p folder that was sent, as the regulator holds
 * them since; none when there is no such row or the file cannot be read. Rows with or without
 * the source column count alike; rows that do not parse are passed over.
 */
std::optional<instrument::RegulatorLimits> lastSentLimits(const QString& folder);

/** The row to write instead into a record file that begins with an earlier @p header (a
 *  string literal, with its "\n"). */
struct EarlierLayout {
    const char* header = nullptr;
    QByteArray row;
};

/**
 * Appends @p row (one or more whole lines, each ending in "\n") to the record file @p fileName in
 * @p folder, with @p header first when the file is new or empty, with every care recordLimits()
 * takes: the torn last line cut, the file's lock, no symbolic link followed, synced before it
 * returns, a failed row cut back. A file whose first line is @p earlier's header gets
 * @p earlier's row instead: a file keeps the columns it began with.
 */
std::optional<LogFailure> appendRecordRow(Storage& storage, const QString& folder,
    const char* fileName, const char* header, const QByteArray& row,
    const EarlierLayout& earlier = {});

} // namespace runlog
