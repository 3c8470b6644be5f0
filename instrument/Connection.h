#pragma once

#include "platform/SerialPort.h"

#include <QString>

#include <cstdint>

namespace instrument {

/**
 * Opens the port that @p portName names (a settings name such as "COM1", or a device path) for
 * the instrument, exclusively, and sets @p baudRate, 8 data bits and one stop bit. On success
 * @p port holds the new port, and a port it held before is closed. On failure @p port is left as
 * it was: a port it held stays open and usable. A line setting the port refuses is not a
 * failure: the port counts as open with whatever settings it then has. A name that stands for
 * no device gives NotFound.
 */
platform::SerialError openConnection(
    platform::SerialPort& port, const QString& portName, std::int32_t baudRate);

} // namespace instrument
