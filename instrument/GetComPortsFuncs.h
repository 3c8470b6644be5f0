#pragma once

#include <QString>
#include <QStringList>

namespace instrument {

/** The highest port number the scan tries. */
inline constexpr int kHighestComPort = 32;

/**
 * The serial ports that can be used now: COM1 to COM32 in ascending order, then the USB serial
 * adapters (ttyUSB*, ttyACM*) by their own names. A port is listed when it opens for exclusive
 * reading and writing at this moment; each is closed again at once, with no line settings
 * changed and nothing written. Ports missing or held by another program are left out.
 */
QStringList GetComPorts(const QString& deviceFolder = QStringLiteral("/dev"));

} // namespace instrument
