#include "numeric/MulDiv.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace numeric {

std::int32_t mulDiv(std::int32_t value, std::int32_t numerator, std::int32_t denominator)
{
    if (denominator == 0)
        return -1;
    // A 64-bit mantissa holds the product of two 32-bit numbers exactly.
    const long double exact = static_cast<long double>(value) * numerator / denominator;
    const long double rounded = std::round(exact);
    constexpr auto lo = static_cast<long double>(std::numeric_limits<std::int32_t>::min());
    constexpr auto hi = static_cast<long double>(std::numeric_limits<std::int32_t>::max());
    return static_cast<std::int32_t>(std::clamp(rounded, lo, hi));
}

} // namespace numeric
