#pragma once

#include "instrument/LimitsUpload.h"
#include "runlog/LimitsRecord.h"

#include <QByteArray>
#include <QString>

#include <optional>
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

/** Why a remote limits command taken was not applied, as its answer gives it: @p outcome of the
 *  upload (nullopt: none was made, not polling). Empty when they were sent. */
QString limitsRefusal(std::optional<runlog::LimitsOutcome> outcome);

} // namespace telemetry
