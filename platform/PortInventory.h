#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace platform {

/** The numbered ports are COM1 to COM32, for ttyS0 to ttyS31. */
inline constexpr int kHighestComPort = 32;

/** Where the inventory looks; tests give temporary folders standing for each. */
struct PortInventoryRoots {
    /** The device nodes: ttyS0, ttyUSB0, ... */
    QString deviceFolder = QStringLiteral("/dev");
    /** The links udev makes for USB serial devices, named after maker, product and serial. */
    QString byIdFolder = QStringLiteral("/dev/serial/by-id");
    /** The kernel's description of each terminal device, one folder per device name. */
    QString sysClassTty = QStringLiteral("/sys/class/tty");
};

/** Whether a port could be taken now. */
enum class PortState {
    Free, ///< it opens, and nobody holds it
    Busy, ///< another program (or another handle of ours) holds it, as SerialPort takes a port
    NotPermitted, ///< this user may not open it (not in the dialout group, say)
};

/** One serial port present on the machine. */
struct PortInfo {
    /** The name the settings use: "COM1" to "COM32" for ttyS0 to ttyS31, else "ttyUSB0". */
    QString name;
    /** The device node the name stands for, in the device folder. */
    QString devicePath;
    /** The by-id link that points at the device, or empty. */
    QString byIdPath;
    /** The USB device's ids as four hexadecimal digits ("0403"), or empty when not on USB. */
    QString vendorId;
    QString productId;
    /** The USB device's serial number, or empty when it has none. */
    QString serialNumber;
    PortState state = PortState::Free;

    bool operator==(const PortInfo&) const = default;
};

/**
 * The serial ports present now: COM1 to COM32, then ttyACM* and ttyUSB* by kind and number. The
 * window's port list (instrument::GetComPorts) is the free ones; here busy ports and ports this
 * user may not open are listed too. A device node that is absent, has no hardware behind it (a ttyS
 * without a UART), or is no terminal is left out.
 *
 * Each port is probed without waiting and without disturbing a holder: it is opened without a
 * carrier wait and without becoming a controlling terminal, its lock and exclusive mark are
 * looked at (the lock is taken only for that instant when it is free), and it is closed at once;
 * nothing is written and no line setting changes. Closing a free port lowers its modem lines,
 * as any program's last close of it does.
 */
std::vector<PortInfo> listPorts(const PortInventoryRoots& roots = {});

/**
 * The USB serial adapters' device names in @p deviceFolder, whether or not they open: ttyACM0,
 * ttyACM1, ..., then ttyUSB0, ..., each kind by number (ttyUSB10 after ttyUSB9).
 */
QStringList usbAdapterNames(const QString& deviceFolder);

} // namespace platform
