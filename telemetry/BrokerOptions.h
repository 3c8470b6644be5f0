#pragma once

#include "telemetry/BrokerAddress.h"
#include "telemetry/MqttSettings.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>

#include <optional>
#include <variant>

namespace telemetry {

/**
 * The broker's options of the command line, one set for every program that talks to the
 * broker: --mqtt HOST[:PORT], --mqtt-user USER, --mqtt-password-file FILE, --mqtt-ca FILE, and,
 * with @p withPrefix, --prefix PREFIX. Each takes its value as "--name value" or "--name=value".
 */
QList<QCommandLineOption> brokerOptions(bool withPrefix);

/**
 * Puts the broker's options @p parser found over @p settings (the command line wins over the
 * settings file); each value goes through parseMqttValue. Returns the first one refused, as
 * "--mqtt-ca: нужен полный путь", or nothing. A password file and a CA file are only named
 * here; they are read when the connection is made.
 */
std::optional<QString> applyBrokerOptions(const QCommandLineParser& parser, MqttSettings& settings);

/** The options' lines for --help, in the form of the programs' other option lines. */
QString brokerOptionsHelp(bool withPrefix);

} // namespace telemetry
