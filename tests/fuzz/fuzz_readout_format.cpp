// Fuzzes the chart's readout format with every double: the input's first 8 bytes are the
// double's bit pattern (NaN, infinities, subnormals and negative zero included), and any further
// bytes, as UTF-8, a decimal separator to try besides "." and ",". The text must have the
// promised shape and length, read back within half a unit of its last digit, and be monotonic
// and symmetric in the reading.

#include "FuzzCheck.h"
#include "chart/ReadoutFormat.h"

#include <QByteArray>
#include <QString>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// The value a readout written with "." stands for, and the unit of its last digit. Aborts when
// the text is neither fixed notation (at most 3 integer digits without leading zeros, ".", one
// decimal) nor scientific notation (one nonzero digit, optionally "." and digits without a
// trailing zero, then "E" and an exponent without sign or leading zeros).
struct Readout {
    long double value;
    long double unit;
};

Readout readBack(const QString& text)
{
    qsizetype pos = text.startsWith(u'-') ? 1 : 0;
    const QStringView body = QStringView(text).mid(pos);
    const qsizetype e = body.indexOf(u'E');
    long double unit = 0;
    if (e < 0) {
        const qsizetype dot = body.indexOf(u'.');
        FUZZ_CHECK(dot >= 1 && dot <= 3 && dot == body.size() - 2);
        FUZZ_CHECK(dot == 1 || body[0] != u'0');
        for (qsizetype i = 0; i < body.size(); ++i)
            FUZZ_CHECK(i == dot || isDigit(body[i]));
        // Three significant digits: from 100 on the tenths digit is always 0.
        FUZZ_CHECK(dot < 3 || body.back() == u'0');
        unit = dot < 3 ? 0.1L : 1.0L;
    } else {
        FUZZ_CHECK(e >= 1 && body[0] >= u'1' && body[0] <= u'9');
        FUZZ_CHECK(e == 1 || (e >= 3 && e <= 4 && body[1] == u'.' && body[e - 1] != u'0'));
        for (qsizetype i = 2; i < e; ++i)
            FUZZ_CHECK(isDigit(body[i]));
        const QStringView exponent = body.mid(e + 1);
        FUZZ_CHECK(!exponent.isEmpty() && exponent.size() <= 3 && exponent[0] != u'0');
        for (const QChar c : exponent)
            FUZZ_CHECK(isDigit(c));
        const int power = exponent.toInt();
        FUZZ_CHECK(power >= 3);
        unit = std::pow(10.0L, power - 2);
    }
    const QByteArray latin1 = text.toLatin1();
    const long double value = std::strtold(latin1.constData(), nullptr);
    // Fixed notation is for values below 1000, scientific notation from 1000 on.
    FUZZ_CHECK((e < 0) == (std::fabs(value) < 1000.0L));
    return { value, unit };
}

void checkReading(double reading, const QString& separator)
{
    const QString text = chart::formatReading(reading, QStringLiteral("."));
    // The separator stands where "." stands, and nowhere else differs.
    FUZZ_CHECK(
        chart::formatReading(reading, QStringLiteral(",")) == QString(text).replace(u'.', u','));
    if (!separator.isEmpty()) {
        FUZZ_CHECK(chart::formatReading(reading, separator)
            == QString(text).replace(QStringLiteral("."), separator));
    }

    if (std::isnan(reading)) {
        FUZZ_CHECK(text == QStringLiteral("NAN"));
        return;
    }
    if (std::isinf(reading)) {
        FUZZ_CHECK(text == (reading > 0 ? QStringLiteral("INF") : QStringLiteral("-INF")));
        return;
    }

    // "-6.55E308" is the longest text a double gives.
    FUZZ_CHECK(text.size() <= 9);
    const Readout readout = readBack(text);
    // Rounded to the nearest unit of the last digit, give or take the error of the 18-digit
    // expansion the rounding works on.
    const long double magnitude = std::fabs(static_cast<long double>(reading));
    const long double error = std::fabs(readout.value - static_cast<long double>(reading));
    FUZZ_CHECK(error <= readout.unit / 2 + magnitude * 1e-16L);
    // A sign only on a negative reading that does not round to zero: never "-0.0".
    FUZZ_CHECK(text.startsWith(u'-') == (reading < 0 && readout.value != 0));

    // The same magnitude with the other sign reads the same, but for the sign.
    const QString mirrored = chart::formatReading(-reading, QStringLiteral("."));
    if (readout.value == 0)
        FUZZ_CHECK(mirrored == text);
    else if (reading < 0)
        FUZZ_CHECK(QStringLiteral("-") + mirrored == text);
    else
        FUZZ_CHECK(mirrored == QStringLiteral("-") + text);

    // Rounding keeps the order of readings: the next double up never reads as less.
    const double next = std::nextafter(reading, std::numeric_limits<double>::infinity());
    if (std::isfinite(next)) {
        const Readout above = readBack(chart::formatReading(next, QStringLiteral(".")));
        FUZZ_CHECK(above.value >= readout.value);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    unsigned char bits[sizeof(double)] = {};
    const std::size_t used = size < sizeof bits ? size : sizeof bits;
    if (used > 0)
        std::memcpy(bits, data, used);
    double reading;
    std::memcpy(&reading, bits, sizeof reading);

    const QString separator = QString::fromUtf8(
        reinterpret_cast<const char*>(data) + used, static_cast<qsizetype>(size - used));
    checkReading(reading, separator);
    return 0;
}
