#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <chrono>
#include <cstdint>

namespace platform {

/**
 * The device path of a port name: "COMn" (n >= 1, letters in any case) is
 * <deviceFolder>/ttyS<n-1>; a name starting with "/" is a path used as it stands; any other name
 * is looked up in @p deviceFolder ("ttyUSB0" is /dev/ttyUSB0; "COM01", like any other name that
 * is not a plain port number, is /dev/COM01). An empty name, "COM0", a name with a "/" that does
 * not start with one, or a name holding a NUL character gives an empty path: no device.
 */
QString serialDevicePath(
    const QString& portName, const QString& deviceFolder = QStringLiteral("/dev"));

/** Why a port did not open. */
enum class SerialError {
    None,
    NotFound, ///< no such device
    Busy, ///< another program (or another handle of ours) holds the port
    NotATerminal, ///< the path opens but is no serial device
    AccessDenied, ///< the user may not open it (not in the dialout group, say)
    Other,
};

/**
 * One serial port, held exclusively while open. Reading and writing block the calling thread;
 * every wait is bounded. Failures come back as values; nothing here throws or aborts.
 */
class SerialPort {
public:
    SerialPort() = default;
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;
    SerialPort(SerialPort&& other) noexcept;
    SerialPort& operator=(SerialPort&& other) noexcept;

    /**
     * Opens @p devicePath for reading and writing and takes it exclusively; never waits for a
     * carrier. The port then counts as busy for every other handle, in this process too, and
     * for root as well. A port that is open already is closed only once the new one has opened:
     * when the open fails, the old port stays open and usable. No line settings are changed.
     */
    SerialError open(const QString& devicePath);
    bool isOpen() const { return m_fd >= 0; }

    /**
     * Sets the line speed (standard and other rates), 8 data bits, one stop bit and raw binary
     * mode; parity and hardware flow control stay as the port has them. A rate the port refuses
     * or would replace by another (a rate of zero or less is always refused) leaves the speed as
     * the port had it, and the rest is set all the same. Returns false when the rate or another
     * setting was refused; the port stays open and usable either way.
     */
    bool configure(std::int32_t baudRate);

    /**
     * Writes @p bytes, waiting until they are all handed to the port or @p timeout passed on
     * platform::clock(). Returns how many were handed over: fewer than all means the time ran
     * out (the other side held the line) or the port failed or hung up (see isLost()).
     */
    qsizetype write(
        QByteArrayView bytes, std::chrono::milliseconds timeout = std::chrono::milliseconds(1000));

    /**
     * Waits until @p count bytes have arrived or @p timeout has passed on platform::clock(), and
     * returns what came: fewer than @p count bytes (possibly none) means the port stayed silent,
     * hung up or failed (see isLost()). A hung-up port returns at once with what had arrived,
     * without waiting out @p timeout. Bytes that have arrived are taken at once, without asking
     * the clock.
     */
    QByteArray read(qsizetype count, std::chrono::milliseconds timeout);

    /** Throws away the bytes waiting in the input. */
    void discardInput();

    /**
     * Whether a read, a write or discardInput() since the port opened found the line gone: the
     * other side hung up (an adapter pulled out, the far end of a pseudo-terminal closed) or the
     * handle failed as a vanished device does (EIO, ENXIO, ENODEV, EBADF). Such a handle never
     * works again: only closing the port and opening its device anew helps. A line that is
     * merely silent, or full, is not lost. Opening and closing clear it.
     */
    bool isLost() const { return m_lost; }

    /**
     * Releases the port; closing a port that is not open does nothing. Output the port has not
     * sent yet gets half a second on platform::clock() to leave; what the other side still holds
     * back then (with flow control) is thrown away, so that the close does not wait for it.
     */
    void close();

    /** The operating system's handle, for tests that inspect the line settings; -1 when closed. */
    int nativeHandle() const { return m_fd; }

private:
    int m_fd = -1;
    bool m_lost = false;
};

} // namespace platform
