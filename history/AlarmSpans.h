#pragma once

#include "alarms/AlarmRules.h"

#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace history {

/** One alarm of a run, from its raise to its clear (or the run's end). */
struct AlarmSpan {
    alarms::Rule rule = alarms::Rule::High;
    std::int64_t fromMs = 0; ///< raised, milliseconds since the epoch
    std::optional<std::int64_t> toMs; ///< cleared or ended; none: still raised when last told
};

/**
 * The alarms of the run file @p runFile from the content of alarms.csv
 * ("time,run_file,rule,event,temperature_C,threshold_C" rows), in the order raised. A row
 * belongs to the run when its run_file has the run file's name: the folder is the same one, even
 * when it was moved or copied since. Rows of other runs, rows that do not parse and events that
 * change nothing (a second raise, a clear of nothing, an acknowledgement) are skipped.
 */
std::vector<AlarmSpan> alarmSpans(QByteArrayView alarmsCsv, const QString& runFile);

/** alarmSpans() of alarms.csv beside @p runFile; empty when there is none or it cannot be read. */
std::vector<AlarmSpan> readAlarmSpans(const QString& runFile);

/** The spans as the rules' transitions @p event update them: a raise opens one, a clear or the
 *  run's end closes the rule's open one. */
void followAlarm(std::vector<AlarmSpan>& spans, const alarms::AlarmEvent& event);

} // namespace history
