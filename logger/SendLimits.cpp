#include "logger/SendLimits.h"

#include "instrument/Connection.h"
#include "logger/Report.h"
#include "platform/SerialPort.h"
#include "runlog/LimitsRecord.h"

#include <QDateTime>

namespace logger {

LimitsSent sendLimits(instrument::RegulatorLimits limits, const QString& portName,
    std::int32_t baudRate, const QString& runFolder,
    const std::function<void(const QString&)>& tell)
{
    LimitsSent result;
    platform::SerialPort port;
    runlog::LimitsOutcome outcome = runlog::LimitsOutcome::PortNotOpened;
    const platform::SerialError error = instrument::openConnection(port, portName, baudRate);
    if (error != platform::SerialError::None) {
        tell(portFailure(portName, platform::serialDevicePath(portName), error));
    } else {
        result.sent = instrument::uploadLimits(port, limits) == instrument::UploadOutcome::Sent;
        outcome = result.sent ? runlog::LimitsOutcome::Sent : runlog::LimitsOutcome::WriteFailed;
        if (!result.sent)
            tell(QStringLiteral("the port did not take the limits (the cable came off, the "
                                "adapter went away?); the regulator may hold others"));
    }
    const auto failure = runlog::recordLimits(
        runFolder, QDateTime::currentDateTime(), limits.lower, limits.upper, outcome);
    result.recorded = !failure;
    if (failure)
        tell(writeFailure(*failure));
    return result;
}

} // namespace logger
