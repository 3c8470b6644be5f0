#include "instrument/GetComPortsFuncs.h"

#include "platform/PortInventory.h"

namespace instrument {

QStringList GetComPorts(const QString& deviceFolder)
{
    platform::PortInventoryRoots roots;
    if (deviceFolder != roots.deviceFolder) {
        roots.deviceFolder = deviceFolder;
        roots.byIdFolder = deviceFolder + QStringLiteral("/serial/by-id");
        roots.sysClassTty = deviceFolder + QStringLiteral("/sys/class/tty");
    }
    QStringList found;
    for (const platform::PortInfo& port : platform::listPorts(roots)) {
        if (port.state == platform::PortState::Free)
            found << port.name;
    }
    return found;
}

} // namespace instrument
