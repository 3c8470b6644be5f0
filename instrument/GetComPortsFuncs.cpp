#include "instrument/GetComPortsFuncs.h"

#include "platform/SerialPort.h"

#include <QDir>
#include <QRegularExpression>

#include <algorithm>
#include <vector>

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
    static const QRegularExpression usbName(QStringLiteral("^tty(ACM|USB)([0-9]{1,9})$"));
    struct Adapter {
        QString kind;
        int number;
        QString name;
    };
    std::vector<Adapter> adapters;
    const QStringList entries
        = QDir(deviceFolder).entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    for (const QString& name : entries) {
        const QRegularExpressionMatch match = usbName.match(name);
        if (match.hasMatch())
            adapters.push_back({ match.captured(1), match.captured(2).toInt(), name });
    }
    std::sort(adapters.begin(), adapters.end(), [](const Adapter& a, const Adapter& b) {
        return a.kind != b.kind ? a.kind < b.kind : a.number < b.number;
    });
    for (const Adapter& adapter : adapters) {
        if (opens(adapter.name, deviceFolder))
            found << adapter.name;
    }
    return found;
}

} // namespace instrument
