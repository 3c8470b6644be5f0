#include "telemetry/LimitsCommand.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace telemetry {

namespace {

constexpr double kMaxDegrees = 6553.5;

// The tenths of @p value, when it has one decimal at most and lies in the regulator's range.
std::variant<std::uint16_t, CommandRefusal> tenths(const QJsonValue& value, const char* name)
{
    if (!value.isDouble())
        return CommandRefusal { QStringLiteral("%1 is not a number").arg(QLatin1String(name)) };
    const double degrees = value.toDouble();
    if (!std::isfinite(degrees) || degrees < 0.0 || degrees > kMaxDegrees)
        return CommandRefusal {
            QStringLiteral("%1 is outside 0.0..6553.5").arg(QLatin1String(name))
        };
    const double scaled = degrees * 10.0;
    const double whole = std::round(scaled);
    // A decimal such as 36.6 is no exact double: allow what its nearest double is off by.
    if (std::abs(scaled - whole) > 1e-6)
        return CommandRefusal {
            QStringLiteral("%1 has more than one decimal").arg(QLatin1String(name))
        };
    return static_cast<std::uint16_t>(whole);
}

} // namespace

std::variant<instrument::RegulatorLimits, CommandRefusal> parseLimitsCommand(
    const QByteArray& payload)
{
    if (payload.size() > kMaxCommandSize)
        return CommandRefusal { QStringLiteral("command too long") };
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(payload, &error);
    if (error.error != QJsonParseError::NoError)
        return CommandRefusal { QStringLiteral("not JSON") };
    if (!document.isObject())
        return CommandRefusal { QStringLiteral("not a JSON object") };
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (it.key() != u"lower" && it.key() != u"upper")
            return CommandRefusal { QStringLiteral("unknown key %1").arg(it.key().left(32)) };
    }
    if (!object.contains(u"lower") || !object.contains(u"upper"))
        return CommandRefusal { QStringLiteral("lower and upper are both needed") };
    const auto lower = tenths(object.value(u"lower"), "lower");
    if (const auto* refused = std::get_if<CommandRefusal>(&lower))
        return *refused;
    const auto upper = tenths(object.value(u"upper"), "upper");
    if (const auto* refused = std::get_if<CommandRefusal>(&upper))
        return *refused;
    const instrument::RegulatorLimits limits { std::get<std::uint16_t>(lower),
        std::get<std::uint16_t>(upper) };
    if (limits.lower >= limits.upper)
        return CommandRefusal { QStringLiteral("lower is not below upper") };
    return limits;
}

QString limitsRefusal(std::optional<runlog::LimitsOutcome> outcome)
{
    if (!outcome)
        return QStringLiteral("not polling");
    switch (*outcome) {
    case runlog::LimitsOutcome::Sent:
        return {};
    case runlog::LimitsOutcome::PortNotOpened:
        return QStringLiteral("the port is lost for the moment");
    case runlog::LimitsOutcome::WriteFailed:
        break;
    }
    return QStringLiteral("the port did not take them; the regulator may hold others");
}

} // namespace telemetry
