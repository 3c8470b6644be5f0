#pragma once

#include "platform/Profile.h"

#include <QString>

#include <variant>
#include <vector>

namespace telemetry {

inline constexpr char kMqttSection[] = "Mqtt";
inline constexpr char kDefaultPrefix[] = "velmora";
inline constexpr char kDefaultHost[] = "localhost";
inline constexpr int kPlainPort = 1883;
inline constexpr int kTlsPort = 8883;

/**
 * The publisher's own section of the settings file. Publishing is off unless Enabled; a value
 * the file gives that is refused (see parseMqttValue) counts as absent, so the default stands.
 */
struct MqttSettings {
    bool Enabled = false;
    QString Host; ///< empty: localhost
    int Port = 0; ///< 0: 1883, or 8883 when CaFile is given
    QString Bench; ///< the bench's topic level; empty: host name and port (benchName())
    QString Prefix; ///< empty: "velmora"
    QString User; ///< empty: connect without a user name
    QString PasswordFile; ///< the password, in a file only its owner may read
    QString CaFile; ///< given: TLS, the broker's certificate checked against it
    bool Discovery = true; ///< announce the bench's sensors to Home Assistant
    bool RemoteLimits = false; ///< take regulator limits from <prefix>/<bench>/limits/set

    QString host() const;
    int port() const;
    QString prefix() const;
    bool tls() const { return !CaFile.isEmpty(); }

    bool operator==(const MqttSettings&) const = default;
};

/** What a key accepts. */
enum class MqttValue {
    Host, ///< a host name or address: letters, digits, ".", "-", "_", ":" (IPv6)
    Port, ///< 1..65535
    Bench, ///< one topic level: letters, digits, "-", "_"
    Prefix, ///< topic levels of the same characters, separated by "/"
    File, ///< an absolute path
    User, ///< any printable text
};

/** A value refused, and why, in the window's language ("не число", ...). */
struct MqttRefusal {
    QString reason;
};
/** A typed value as it is kept (trimmed; empty: the default), or the reason it is refused. */
using ParsedMqttValue = std::variant<QString, MqttRefusal>;
ParsedMqttValue parseMqttValue(const QString& text, MqttValue kind);

MqttSettings loadMqttSettings(const platform::Profile& profile);
/** The section's keys in their order, for Profile::writeSections(). */
std::vector<platform::Profile::Entry> mqttEntries(const MqttSettings& settings);
/** Writes the section alone, in one replacement of the file. */
bool saveMqttSettings(platform::Profile& profile, const MqttSettings& settings);

} // namespace telemetry
