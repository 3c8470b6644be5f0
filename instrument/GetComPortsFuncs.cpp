#include "instrument/GetComPortsFuncs.h"

#include "platform/PortInventory.h"
#include "platform/SerialPort.h"

namespace instrument {

namespace {

bool opens(const QString& name, const QString& deviceFolder)
{
    const QString path = platform::serialDevicePath(name, deviceFolder);
    if (path.isEmpty())
        return false;
    platform::SerialPort port;
    return port.open(path) == platform::SerialError::None;
}

} // namespace

QStringList GetComPorts(const QString& deviceFolder)
{
    QStringList found;
    for (int n = 1; n <= kHighestComPort; ++n) {
        const QString name = QStringLiteral("COM%1").arg(n);
        if (opens(name, deviceFolder))
            found << name;
    }

    // Adapters in the order ttyACM0, ttyACM1, ..., ttyUSB0, ..., with ttyUSB10 after ttyUSB9.
    for (const QString& name : platform::usbAdapterNames(deviceFolder)) {
        if (opens(name, deviceFolder))
            found << name;
    }
    return found;
}

} // namespace instrument
