#pragma once

#include "logger/Options.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>

#include <optional>

namespace logger {

/** The publishing options: --mqtt, --mqtt-user, --mqtt-password-file, --mqtt-ca, --bench and
 *  --mqtt-remote-limits. */
QList<QCommandLineOption> mqttOptions();

/**
 * Checks the publishing options @p parser holds, each value as the [Mqtt] key it stands for
 * takes it (telemetry::parseMqttValue; --mqtt as telemetry::parseBrokerAddress): a refused
 * value is a usage error naming the option. Files may be given relative to the working folder.
 */
std::optional<UsageError> checkMqttOptions(const QCommandLineParser& parser);

/**
 * The publisher's settings into @p options: the [Mqtt] section of @p settingsFile, each option
 * of @p parser winning over its key; --mqtt turns publishing on. Only after checkMqttOptions()
 * took them. An option that would not be used, publishing being off, is a usage error.
 */
std::optional<UsageError> applyMqttOptions(
    const QCommandLineParser& parser, const QString& settingsFile, Options& options);

/** What --help says of the publishing options. */
QString mqttHelp();

} // namespace logger
