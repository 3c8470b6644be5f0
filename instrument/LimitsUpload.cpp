#include "instrument/LimitsUpload.h"

#include "instrument/WireProtocol.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"

#include <QByteArray>

namespace instrument {

UploadOutcome sendLimitsParts(platform::SerialPort& port, RegulatorLimits limits)
{
    const auto send
        = [&port](const QByteArray& bytes) { return port.write(bytes) == bytes.size(); };
    bool sent = send(QByteArray(1, kLimitsCommand));
    if (sent) {
        platform::clock().sleep(kLimitsPause);
        sent = send(encodeTenths(limits.lower));
    }
    if (sent) {
        platform::clock().sleep(kLimitsPause);
        sent = send(encodeTenths(limits.upper));
    }
    return sent ? UploadOutcome::Sent : UploadOutcome::WriteFailed;
}

UploadOutcome uploadLimits(platform::SerialPort& port, RegulatorLimits limits)
{
    const UploadOutcome outcome = sendLimitsParts(port, limits);
    port.close();
    return outcome;
}

} // namespace instrument
