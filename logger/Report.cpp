#include "logger/Report.h"

namespace logger {

namespace {

// "1 reading", "2 readings": @p singular and @p plural after the count.
QString counted(std::int64_t count, const char* singular, const char* plural)
{
    return QString::number(count) + u' ' + QString::fromLatin1(count == 1 ? singular : plural);
}

QString reason(platform::SerialError error)
{
    switch (error) {
    case platform::SerialError::None:
        break;
    case platform::SerialError::NotFound:
        return QStringLiteral("no such device (is the adapter plugged in? see --list-ports)");
    case platform::SerialError::Busy:
        return QStringLiteral("another program holds it");
    case platform::SerialError::NotATerminal:
        return QStringLiteral("it is no serial port");
    case platform::SerialError::AccessDenied:
        return QStringLiteral("not permitted (is this user in the dialout group?)");
    case platform::SerialError::Other:
        return QStringLiteral("the system refused it");
    }
    return QStringLiteral("unknown failure");
}

} // namespace

QString readingLine(
    const QDateTime& time, std::optional<double> temperature, runlog::TickStatus status)
{
    // The same one decimal as the run file, never the locale's decimal comma.
    const QString degrees = status == runlog::TickStatus::Ok && temperature
        ? QString::number(*temperature, 'f', 1)
        : QStringLiteral("-");
    return time.toString(QStringLiteral("HH:mm:ss")) + degrees.rightJustified(8)
        + QStringLiteral("  ") + QString::fromLatin1(runlog::statusName(status));
}

QString summaryLine(const Tally& tally, const QString& where, bool onStandardOutput)
{
    QString line = counted(tally.readings, "reading", "readings") + QStringLiteral(", ")
        + counted(tally.withoutReading, "tick without a reading", "ticks without a reading")
        + QStringLiteral(", ") + counted(tally.reconnects, "reconnect", "reconnects");
    if (tally.lostRows > 0)
        line += QStringLiteral(", ")
            + counted(tally.lostRows, "row not written", "rows not written");
    return line + (onStandardOutput ? QStringLiteral("; rows on ") : QStringLiteral("; rows in "))
        + where;
}

QString portFailure(const QString& portName, const QString& devicePath, platform::SerialError error)
{
    const QString device = devicePath.isEmpty() || devicePath == portName
        ? QString()
        : QStringLiteral(" (%1)").arg(devicePath);
    return QStringLiteral("cannot open the port %1%2: %3").arg(portName, device, reason(error));
}

QString writeFailure(const runlog::LogFailure& failure)
{
    return QStringLiteral("cannot write %1: %2").arg(failure.path, failure.reason);
}

} // namespace logger
