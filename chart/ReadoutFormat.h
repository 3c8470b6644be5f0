#pragma once

#include <QString>

namespace chart {

/**
 * A reading as the chart's readout writes it: rounded to at most 3 significant digits and at most
 * 1 decimal place (halves away from zero, on the reading's 18-digit decimal expansion); below
 * 1000 in fixed notation with exactly one decimal ("23.4", "0.0", "125.0"), from 1000 on in
 * scientific notation without trailing zeros ("1E3", "1.23E3"). @p decimalSeparator stands
 * between the digits.
 */
QString formatReading(double reading, const QString& decimalSeparator);

/** A scale bound as the chart labels it: plain decimal integer text ("20", "-5"). */
QString formatBound(double bound);

} // namespace chart
