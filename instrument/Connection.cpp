#include "instrument/Connection.h"

namespace instrument {

platform::SerialError openConnection(
    platform::SerialPort& port, const QString& portName, std::int32_t baudRate)
{
    const QString path = platform::serialDevicePath(portName);
    if (path.isEmpty())
        return platform::SerialError::NotFound;
    // The new port replaces the one held only once it has opened itself, so the handle of an
    // open port is never lost; the same port, held already, fails as busy.
    platform::SerialPort opened;
    const platform::SerialError error = opened.open(path);
    if (error != platform::SerialError::None)
        return error;
    opened.configure(baudRate);
    port = std::move(opened);
    return platform::SerialError::None;
}

} // namespace instrument
