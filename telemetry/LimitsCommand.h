#pragma once

#include "instrument/LimitsUpload.h"

#include <QByteArray>
#include <QString>

#include <variant>

namespace telemetry {

/** Longest command taken; anything longer is refused unread. */
inline constexpr qsizetype kMaxCommandSize = 256;

/** A limits command refused, and why (short English, for limits/result). */
struct CommandRefusal {
    QString reason;
};

/**
 * The limits a remote command asks for: a JSON object with exactly the numbers "lower" and
 * "upper" in degrees, one decimal at most, each 0.0..6553.5 (the regulator keeps tenths in 16
 * bits), lower below upper. Anything else is refused with the reason and sends nothing.
 */
std::variant<instrument::RegulatorLimits, CommandRefusal> parseLimitsCommand(
    const QByteArray& payload);

} // namespace telemetry
