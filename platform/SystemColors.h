#pragma once

#include <QColor>

#include <cstdint>

namespace platform {

/** The Windows system colour indexes that have a colour; others draw black. */
inline constexpr int kSystemColorCount = 31;

/**
 * The colour a colour value stands for. A non-negative value is a plain colour 0x00BBGGRR (red
 * in the low byte; the top byte is ignored). A negative value is the system colour whose index
 * is its low byte, drawn in the colour the running style gives that role now (window text,
 * button face, highlight, ...); an index without a colour draws black, as on Windows.
 */
QColor colorFromValue(std::int32_t value);

} // namespace platform
