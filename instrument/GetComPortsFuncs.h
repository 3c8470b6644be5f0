#pragma once

#include <QString>
#include <QStringList>

namespace instrument {

/**
 * The serial ports that can be used now: COM1 to COM32 in ascending order, then the USB serial
 * adapters (ttyUSB*, ttyACM*) by their own names. A port is listed when nobody holds it and it
 * opens at this moment, by the rule of the port inventory (platform::listPorts, the free ones):
 * each is opened without waiting and closed again at once, with no line settings changed and
 * nothing written. Ports missing or held by another program are left out. A @p deviceFolder
 * other than /dev (a test's) has its by-id links and the kernel's descriptions below it.
 */
QStringList GetComPorts(const QString& deviceFolder = QStringLiteral("/dev"));

} // namespace instrument
