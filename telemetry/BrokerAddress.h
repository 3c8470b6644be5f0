#pragma once

#include "telemetry/MqttSettings.h"

#include <QString>

#include <variant>

namespace telemetry {

/** A broker named on a command line: its host, and its port when one was given. */
struct BrokerAddress {
    QString host;
    int port = 0; ///< 0: none given (MqttSettings' default stands)

    bool operator==(const BrokerAddress&) const = default;
};

/**
 * "HOST" or "HOST:PORT", each part checked as parseMqttValue() checks the Host and Port keys.
 * An IPv6 address is written in brackets when a port follows ("[::1]:1883"); without brackets
 * a text with more than one ":" is a host alone ("::1"). An empty text, or one with an empty
 * host or port, is refused.
 */
std::variant<BrokerAddress, MqttRefusal> parseBrokerAddress(const QString& text);

} // namespace telemetry
