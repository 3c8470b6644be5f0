#include "chart/ReadoutFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace chart {

namespace {

constexpr int kSignificantDigits = 18;
constexpr int kReadoutDigits = 3;
constexpr int kReadoutDecimals = 1;

// A non-negative number as decimal digits d1 d2 ... and an exponent E:
// value = d1.d2d3... x 10^E. No digits means zero.
struct Decimal {
    std::string digits;
    int exponent = 0;
};

Decimal decimalExpansion(double magnitude)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*e", kSignificantDigits - 1, magnitude);
    Decimal d;
    const char* p = text;
    for (; *p && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9')
            d.digits += *p;
    }
    d.exponent = *p == 'e' ? static_cast<int>(std::strtol(p + 1, nullptr, 10)) : 0;
    if (d.digits.find_first_not_of('0') == std::string::npos)
        d.digits.clear();
    return d;
}

// Keeps the first @p keep digits, rounding half away from zero on the next one.
Decimal roundTo(Decimal d, int keep)
{
    if (d.digits.empty())
        return d;
    if (keep < 0 || (keep == 0 && d.digits[0] < '5'))
        return {};
    if (keep == 0)
        return { "1", d.exponent + 1 };
    if (static_cast<int>(d.digits.size()) <= keep)
        return d;
    const bool up = d.digits[keep] >= '5';
    d.digits.resize(keep);
    if (up) {
        int i = keep - 1;
        while (i >= 0 && d.digits[i] == '9')
            d.digits[i--] = '0';
        if (i >= 0) {
            ++d.digits[i];
        } else {
            d.digits.insert(d.digits.begin(), '1');
            d.digits.pop_back();
            ++d.exponent;
        }
    }
    return d;
}

} // namespace

QString formatReading(double reading, const QString& decimalSeparator)
{
    if (std::isnan(reading))
        return QStringLiteral("NAN");
    if (std::isinf(reading))
        return reading > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");

    const Decimal exact = decimalExpansion(std::fabs(reading));
    // As many significant digits as reach the first decimal place, and at most three.
    const Decimal d
        = roundTo(exact, std::min(kReadoutDigits, exact.exponent + 1 + kReadoutDecimals));
    if (d.digits.empty())
        return QStringLiteral("0") + decimalSeparator + QStringLiteral("0");

    const auto digitAt = [&](int i) {
        return i >= 0 && i < static_cast<int>(d.digits.size()) ? d.digits[i] : '0';
    };
    QString text = reading < 0 ? QStringLiteral("-") : QString();
    const int integerDigits = d.exponent + 1;
    if (integerDigits <= kReadoutDigits) {
        if (integerDigits <= 0)
            text += u'0';
        for (int i = 0; i < integerDigits; ++i)
            text += QLatin1Char(digitAt(i));
        text += decimalSeparator;
        text += QLatin1Char(digitAt(integerDigits));
        return text;
    }

    std::string significant = d.digits;
    significant.erase(significant.find_last_not_of('0') + 1);
    text += QLatin1Char(significant[0]);
    if (significant.size() > 1)
        text += decimalSeparator + QString::fromLatin1(significant.substr(1));
    text += u'E' + QString::number(d.exponent);
    return text;
}

QString formatBound(double bound)
{
    return QString::number(static_cast<long long>(bound));
}

} // namespace chart
