#pragma once

#include <chrono>
#include <cstdint>

namespace platform {
class SerialPort;
}

namespace instrument {

/** The regulator's two limits, in tenths of a degree. No order between them is required. */
struct RegulatorLimits {
    std::uint16_t lower = 0;
    std::uint16_t upper = 0;
};

/** How an upload on an open port ended. */
enum class UploadOutcome {
    Sent, ///< the port took all three parts
    WriteFailed, ///< the port did not take one part in full; nothing after it was sent
};

/** The pause before each limit, the instrument's time to take the part before it. */
inline constexpr std::chrono::milliseconds kLimitsPause { 100 };

/**
 * Sends @p limits on @p port, which is open: the limits command, a pause, the lower limit, a
 * pause, the upper limit. The instrument answers nothing, so nothing is read and nothing is
 * waited for after the last part. A part the port does not take in full stops the upload there:
 * the instrument would read what follows out of step. The port is left open, so the upload can
 * go out on the polling port between two ticks; a port that is not open gives WriteFailed.
 */
UploadOutcome sendLimitsParts(platform::SerialPort& port, RegulatorLimits limits);

/**
 * sendLimitsParts() on @p port, which the caller opened for this upload, then closes the port at
 * once, whatever the outcome.
 */
UploadOutcome uploadLimits(platform::SerialPort& port, RegulatorLimits limits);

} // namespace instrument
