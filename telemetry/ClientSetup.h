#pragma once

#include "telemetry/MqttSettings.h"

#include <QString>

#include <optional>

struct mosquitto;

namespace telemetry {

/** Sets libmosquitto up once for the process (and cleans it up at its end). */
void useMosquitto();

/** The broker as the messages name it: "host:port". */
QString brokerName(const MqttSettings& settings);

/**
 * Gives @p client what every connection of ours needs from @p settings: the user name and the
 * password (read from PasswordFile with platform::readPrivateFile), TLS against CaFile, and the
 * delay between attempts, growing from a second to a minute. Returns the fault to tell when the
 * connection cannot even be tried ("MQTT broker host:port: password file refused: ...; not
 * connecting"), or nothing. The password is wiped from memory once given.
 */
std::optional<QString> setUpClient(mosquitto* client, const MqttSettings& settings);

} // namespace telemetry
