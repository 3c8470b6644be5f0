#pragma once

#include "telemetry/MqttSettings.h"

#include <QString>
#include <QStringList>

#include <variant>

namespace lab {

/** Exit status: the window was closed. */
inline constexpr int kExitOk = 0;
/** Exit status: bad usage, refused before the window opened. */
inline constexpr int kExitUsage = 2;

struct Options {
    bool help = false;
    bool version = false;
    /** The broker, its credentials and the prefix: the settings file's [Mqtt] with the command
     *  line's options over it. */
    telemetry::MqttSettings broker;
};

/** A refused command line: one line, without the program's name in front. */
struct UsageError {
    QString message;
};

/**
 * Reads the command line @p arguments (the program's name first). The broker's options go over
 * @p fromFile (the [Mqtt] section of the settings file, or defaults); --help and --version are
 * answered before anything else is checked. Returns the first thing wrong: an unknown option, a
 * value refused, a stray argument.
 */
std::variant<Options, UsageError> parseOptions(
    const QStringList& arguments, const telemetry::MqttSettings& fromFile);

/** What --help prints: every option and the exit codes. */
QString helpText();

} // namespace lab
