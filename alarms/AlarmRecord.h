#pragma once

#include "alarms/AlarmRules.h"

#include <QByteArray>
#include <QString>

namespace runlog {
class RunWriter;
}

namespace alarms {

inline constexpr char kAlarmsHeader[] = "time,run_file,rule,event,temperature_C,threshold_C\n";
inline constexpr char kAlarmsFileName[] = "alarms.csv";

/** A temperature or threshold as alarms.csv writes it: "." decimals, shortest; empty for none. */
QByteArray alarmNumber(const std::optional<double>& value);

/**
 * One row of alarms.csv: 2026-12-09T03:00:02.000+00:00,/runs/x.csv,high,raised,31.2,30
 * The run file is quoted when it holds a comma, a quote or a line break; a temperature or
 * threshold that is not known is empty.
 */
QByteArray alarmRow(const AlarmEvent& event, const QString& runFile);

/** Appends the event's row to alarms.csv in @p folder on @p writer's thread, with the care
 *  limits.csv gets. */
void recordAlarm(runlog::RunWriter& writer, const QString& folder, const QString& runFile,
    const AlarmEvent& event);

} // namespace alarms
