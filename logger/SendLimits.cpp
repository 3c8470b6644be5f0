#include "logger/SendLimits.h"

#include "logger/Report.h"
#include "platform/SerialPort.h"
#include "session/PollSession.h"

#include <QCoreApplication>

#include <optional>

namespace logger {

LimitsSent sendLimits(session::PollSession& session, instrument::RegulatorLimits limits,
    const QString& portName, std::int32_t baudRate, const QString& runFolder,
    const std::function<void(const QString&)>& tell)
{
    LimitsSent result;
    runlog::RunWriter& record = session.record();
    std::optional<runlog::LogFailure> failure;
    const QMetaObject::Connection watching = QObject::connect(&record, &runlog::RunWriter::failed,
        &record, [&failure](const runlog::LogFailure& failed) { failure = failed; });

    const platform::SerialError error = session.openPort(portName, baudRate);
    if (error != platform::SerialError::None) {
        tell(portFailure(portName, platform::serialDevicePath(portName), error));
        session.recordLimits(
            runFolder, limits, runlog::LimitsOutcome::PortNotOpened, runlog::LimitsSource::Logger);
    } else {
        result.sent = session.uploadLimits(limits, runFolder, runlog::LimitsSource::Logger)
            == runlog::LimitsOutcome::Sent;
        if (!result.sent)
            tell(QStringLiteral("the port did not take the limits (the cable came off, the "
                                "adapter went away?); the regulator may hold others"));
    }
    const bool done = record.waitUntilDone(runlog::RunWriter::kStallAfter);
    QCoreApplication::sendPostedEvents(&record, QEvent::MetaCall);
    QObject::disconnect(watching);
    result.recorded = done && !failure;
    if (failure)
        tell(writeFailure(*failure));
    else if (!done)
        tell(QStringLiteral("%1 does not answer; the limits row waits to be written")
                 .arg(runFolder));
    return result;
}

} // namespace logger
