#pragma once

#include <cstdint>

namespace numeric {

/**
 * value * numerator / denominator, computed without overflow and rounded to the nearest integer,
 * halves away from zero, as font sizes and heights are converted. A result beyond the 32-bit
 * range is clamped to it; a denominator of 0 gives -1.
 */
std::int32_t mulDiv(std::int32_t value, std::int32_t numerator, std::int32_t denominator);

} // namespace numeric
