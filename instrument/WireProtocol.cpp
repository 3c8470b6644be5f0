#include "instrument/WireProtocol.h"

namespace instrument {

QByteArray encodeTenths(std::uint16_t tenths)
{
    QByteArray bytes(kValueSize, Qt::Uninitialized);
    bytes[0] = static_cast<char>(tenths & 0xFF);
    bytes[1] = static_cast<char>(tenths >> 8);
    return bytes;
}

std::optional<double> readingFromReply(QByteArrayView reply)
{
    if (reply.size() != kValueSize)
        return std::nullopt;
    const auto low = static_cast<unsigned char>(reply[0]);
    const auto high = static_cast<unsigned char>(reply[1]);
    const unsigned tenths = low | (high << 8);
    // Division gives the double nearest to the tenths: 365 is 36.5.
    return tenths / 10.0;
}

} // namespace instrument
