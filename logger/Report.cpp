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

QString degrees(double value)
{
    return QString::number(value, 'f', 1) + QStringLiteral(" °C");
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
    if (tally.alarmsRaised)
        line
            += QStringLiteral(", ") + counted(*tally.alarmsRaised, "alarm raised", "alarms raised");
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

QString withPriority(const QString& line, Priority priority, bool journal)
{
    if (!journal)
        return line;
    return QStringLiteral("<%1>").arg(static_cast<int>(priority)) + line;
}

Priority alarmPriority(alarms::AlarmEventKind event)
{
    switch (event) {
    case alarms::AlarmEventKind::Raised:
        return Priority::Warning;
    case alarms::AlarmEventKind::Cleared:
    case alarms::AlarmEventKind::Ended:
        return Priority::Notice;
    case alarms::AlarmEventKind::Acknowledged:
        break;
    }
    return Priority::Info;
}

QString alarmLine(const alarms::AlarmEvent& event, std::optional<double> staleSeconds)
{
    QString line = QStringLiteral("alarm %1 %2")
                       .arg(QString::fromLatin1(alarms::ruleName(event.rule)),
                           QString::fromLatin1(alarms::eventName(event.event)));
    switch (event.event) {
    case alarms::AlarmEventKind::Raised:
        if (event.rule == alarms::Rule::Stale)
            return line
                + QStringLiteral(": no reading for %1 s")
                      .arg(alarms::numberText(staleSeconds.value_or(0.0)));
        if (event.temperature && event.threshold)
            return line
                + QStringLiteral(": %1 %2 %3")
                      .arg(degrees(*event.temperature),
                          *event.temperature < *event.threshold ? QStringLiteral("below")
                                                                : QStringLiteral("above"),
                          degrees(*event.threshold));
        return line;
    case alarms::AlarmEventKind::Cleared:
        return event.temperature ? line + QStringLiteral(": ") + degrees(*event.temperature) : line;
    case alarms::AlarmEventKind::Ended:
        return line + QStringLiteral(" with the run");
    case alarms::AlarmEventKind::Acknowledged:
        break;
    }
    return line;
}

} // namespace logger
