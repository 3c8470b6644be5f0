#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace telemetry {

/** Longest bench name benchName() makes. */
inline constexpr qsizetype kMaxBenchName = 64;

/**
 * A bench's default name: the host name, "-", the base name of the port ("lab-pc-3" and
 * "/dev/ttyUSB0" give "lab-pc-3-ttyUSB0"). Every character but ASCII letters, digits, "-" and
 * "_" becomes "-", so the name is one topic level that no broker reads as a wildcard or a
 * separator; it is cut to kMaxBenchName characters. Never empty ("bench" when both are).
 */
QString benchName(const QString& hostName, const QString& portPath);

/** This computer's bench on the serial port named @p portName as the settings name it ("COM1",
 *  "ttyUSB0", a path): benchName() of the host name and the port's device. */
QString localBenchName(const QString& portName);

/** The topics of one bench, under <prefix>/<bench>/. */
enum class Topic { Status, Temperature, State, Limits, Alarm, LimitsSet, LimitsResult };
inline constexpr std::size_t kTopicCount = 7;

/** Where Home Assistant says it came online and wants the discovery messages again. */
inline constexpr char kHomeAssistantStatus[] = "homeassistant/status";

class Topics {
public:
    /** @p prefix and @p bench as MqttSettings keeps them (topic-safe). */
    Topics(const QString& prefix, const QString& bench);

    QByteArray topic(Topic which) const;
    const QString& bench() const { return m_bench; }

    /** One retained discovery message. */
    struct Message {
        QByteArray topic;
        QByteArray payload;
    };
    /** Home Assistant's discovery messages: the temperature sensor and the bench's status. */
    std::vector<Message> discovery() const;

private:
    QString m_prefix;
    QString m_bench;
};

} // namespace telemetry
