#pragma once

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

} // namespace platform::serialline
