#pragma once

#include <chrono>
#include <cstdint>

// The termios side of the serial layer, apart from SerialPort so that tests can check the line
// change on a settings block of their own: a pseudo-terminal cannot carry parity, so only a
// plain block shows that parity and flow control come through untouched.
struct termios;

namespace platform::serialline {

/**
 * Makes @p settings 8 data bits, one stop bit and raw binary input and output (no line editing,
 * echo, signals, CR/LF translation, output processing or XON/XOFF), the receiver on and modem
 * lines ignored, and reads that return at once with what is there. Parity, its checking and
 * hardware flow control keep the values they had, as do the line speed bits.
 */
void makeRaw(termios& settings);

/** Whether @p settings already carry everything makeRaw() sets. */
bool isRaw(const termios& settings);

/** The Bxxx code of a rate that has one, or 0 when the rate needs setting by number. */
unsigned standardSpeedCode(std::int32_t baudRate);

/**
 * Sets input and output speed of the terminal @p fd to @p baudRate by number, leaving every
 * other setting as it is. Returns false when the terminal refused it or applied another rate.
 */
bool setSpeedByNumber(int fd, std::int32_t baudRate);

/** The output speed of the terminal @p fd in bits per second, or -1 if it cannot be read. */
std::int32_t outputSpeed(int fd);

/**
 * Bytes written to the terminal @p fd that wait in its driver to go out; 0 when it cannot tell.
 * A pseudo-terminal hands its output to the far end at once and always says 0.
 */
int queuedOutput(int fd);

/**
 * Before the terminal @p fd is closed: gives the output waiting in its driver up to @p bound on
 * platform::clock() to leave, then throws away what is left, so that the close returns at once.
 * The close would otherwise wait for that output, for as long as the driver's close time-out
 * (30 s by default) when the other side holds it back with flow control. Output that leaves in
 * time is never thrown away: a flush takes back even bytes that a pseudo-terminal has passed on
 * but its far end has not read yet. @p queued says how many bytes wait (a test stands in for a
 * driver that holds them). Returns true when output was thrown away.
 */
bool settleOutput(int fd, std::chrono::milliseconds bound, int (*queued)(int fd) = queuedOutput);

} // namespace platform::serialline
