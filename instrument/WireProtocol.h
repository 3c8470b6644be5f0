#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <optional>

namespace instrument {

/** Asks the instrument for its temperature; it answers with two bytes. */
inline constexpr char kPollCommand = 0x51;
/** Followed by the lower and the upper regulator limit; the instrument answers nothing. */
inline constexpr char kLimitsCommand = 0x52;
/** Temperatures and limits travel as unsigned 16-bit tenths of a degree, low byte first. */
inline constexpr qsizetype kValueSize = 2;

/** The two bytes of a temperature or limit in tenths of a degree. */
QByteArray encodeTenths(std::uint16_t tenths);

/**
 * The temperature in degrees that a reply to the poll command stands for: its two bytes as an
 * unsigned 16-bit number of tenths (0x6D 0x01 is 36.5). No value for a reply of any other
 * length: a reading is never formed from bytes that did not arrive.
 */
std::optional<double> readingFromReply(QByteArrayView reply);

} // namespace instrument
