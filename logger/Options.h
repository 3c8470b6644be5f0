#pragma once

#include "alarms/AlarmSettings.h"
#include "app/SettingsLocation.h"
#include "instrument/LimitsUpload.h"
#include "telemetry/MqttSettings.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <optional>
#include <variant>

namespace logger {

/** Exit status: finished, or stopped by a signal. */
inline constexpr int kExitOk = 0;
/** Exit status: the port could not be opened at start, or the output could not be written. */
inline constexpr int kExitFailure = 1;
/** Exit status: bad usage, refused before anything was opened. */
inline constexpr int kExitUsage = 2;

/** The shortest poll interval: one exchange with the instrument takes that long. */
inline constexpr std::chrono::milliseconds kShortestInterval { 500 };

/** What the command line asks for, with the settings file's values where it names none. */
struct Options {
    bool help = false;
    bool version = false;
    bool listPorts = false;
    bool quiet = false;

    /** The settings file the port, rate and interval came from, and whether it was there. */
    QString settingsFile;
    bool settingsFileFound = false;
    /** Where that file was found, for the run folder: the window's rule, or --settings alone. */
    app::SettingsLocation settingsLocation;

    /** A settings name ("COM3", "ttyUSB0") or a device path, as the window's Port. */
    QString port;
    std::int32_t baudRate = 0;
    std::uint32_t intervalMs = 0;

    /** Stop after that many polls (rows, with a reading or without); none: no limit. */
    std::optional<std::int64_t> count;
    /** Stop after that long; none: no limit. */
    std::optional<std::chrono::seconds> duration;
    /** Upload these limits before polling. */
    std::optional<instrument::RegulatorLimits> limits;

    /** The file the readings go to: "-" is standard output; empty: a new file in the run folder. */
    QString output;

    /** The alarm rules: the settings file's [Alarms] with the command line's --alarm-* over it. */
    alarms::AlarmSettings alarms;
    /** The command line asked for the band rule (--alarm-band). */
    bool alarmBandAsked = false;
    /** The program run for each alarm event (its path as checked); empty: none. */
    QString onAlarm;

    /** Publishing: the settings file's [Mqtt] with the command line's --mqtt* over it. */
    telemetry::MqttSettings mqtt;
};

/** A refused command line: one line, without the program's name in front. */
struct UsageError {
    QString message;
};

/**
 * Reads the command line @p arguments (the program's name first, as QCoreApplication gives
 * them). Port, baud rate and interval come from the settings file (--settings, or else the one
 * @p defaultSettings reads, read as the window reads it) unless the command line gives them. A
 * default settings file that is missing leaves the window's defaults; a file named by --settings
 * must be readable, and that file alone is then read, its run folder beside it as it stands.
 * --help and --version are answered before anything else is checked.
 *
 * Returns the options, or the first thing wrong with the command line: an unknown option, a
 * value missing or out of its range, a stray argument. Nothing is opened but the settings file.
 */
std::variant<Options, UsageError> parseOptions(
    const QStringList& arguments, const app::SettingsLocation& defaultSettings);

/** The window's settings, found by the window's rule from the program's folder: needs a
 * QCoreApplication. */
app::SettingsLocation defaultSettingsLocation();

/** What --help prints: every option and the exit codes. */
QString helpText();

} // namespace logger
