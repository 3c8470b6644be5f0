#pragma once

#include "telemetry/FaultTeller.h"
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

/**
 * The broker @p broker answered CONNECT with @p rc (not 0): a user name or password refused is
 * final (asking again with them only fills the broker's log), anything else is tried again.
 */
ClientFault connectFault(const QString& broker, int rc);

/**
 * The connection ended with @p rc (not a disconnect asked for): a TLS failure is final (a
 * certificate that does not match stays so; @p lastError is libmosquitto's word on it, if any),
 * a connection lost or never made is tried again.
 */
ClientFault disconnectFault(
    const QString& broker, int rc, bool wasConnected, const QString& lastError = {});

/** The keep-alive of every connection: a bench that dies is "offline" within 1.5 times it. */
inline constexpr int kKeepAliveSeconds = 30;

} // namespace telemetry
