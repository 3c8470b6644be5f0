// Fuzzes the decoding of the instrument's reply to a poll with any bytes. Only a reply of
// exactly two bytes is a reading; it must be the tenths those two bytes spell, low byte first,
// and encode back to the same two bytes.

#include "FuzzCheck.h"
#include "instrument/WireProtocol.h"

#include <QByteArray>
#include <QByteArrayView>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView reply(data, static_cast<qsizetype>(size));
    const std::optional<double> reading = instrument::readingFromReply(reply);
    FUZZ_CHECK(reading.has_value() == (size == 2));
    if (!reading)
        return 0;

    const unsigned tenths = data[0] + 256u * data[1];
    FUZZ_CHECK(std::isfinite(*reading));
    FUZZ_CHECK(*reading >= 0.0 && *reading <= 6553.5);
    // The reading is the double nearest to the decimal number of tenths ("36.5" for 365), which
    // is what reading that text gives; ten times it rounds back to the tenths.
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u", tenths / 10, tenths % 10);
    FUZZ_CHECK(*reading == std::strtod(text, nullptr));
    FUZZ_CHECK(std::lround(*reading * 10.0) == static_cast<long>(tenths));

    const auto encoded = instrument::encodeTenths(static_cast<std::uint16_t>(tenths));
    FUZZ_CHECK(encoded == reply.toByteArray());
    return 0;
}
