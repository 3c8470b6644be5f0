#pragma once

#include "logger/Options.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>

#include <optional>

namespace logger {

/** The alarm options, each with a value: --alarm-high, --alarm-low, --alarm-band,
 *  --alarm-stale, --alarm-delay, --alarm-hysteresis and --on-alarm. */
QList<QCommandLineOption> alarmOptions();

/**
 * Checks the alarm options @p parser holds: a value that is no number or out of
 * alarms::valueRange(), or an --on-alarm program that cannot be run, is refused. The program
 * is noted in @p options (as an absolute path).
 */
std::optional<UsageError> checkAlarmOptions(const QCommandLineParser& parser, Options& options);

/**
 * The alarm rules into @p options: the [Alarms] section of @p settingsFile (off unless its
 * Enabled is on), turned on by any alarm option of @p parser, each winning over the file's
 * value for its key. A temperature of 0 is 0 °C; 0 s of staleness, delay or hysteresis is off.
 * Only after checkAlarmOptions() took them.
 */
void applyAlarmOptions(
    const QCommandLineParser& parser, const QString& settingsFile, Options& options);

/** What --help says of the alarm options. */
QString alarmHelp();

} // namespace logger
