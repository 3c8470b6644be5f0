#include "alarms/AlarmRecord.h"

#include "runlog/RunRow.h"
#include "runlog/RunWriter.h"

namespace alarms {

namespace {

QByteArray csvField(const QString& text)
{
    QByteArray bytes = text.toUtf8();
    if (!bytes.contains(',') && !bytes.contains('"') && !bytes.contains('\n')
        && !bytes.contains('\r'))
        return bytes;
    bytes.replace('"', "\"\"");
    return '"' + bytes + '"';
}

} // namespace

QByteArray alarmNumber(const std::optional<double>& value)
{
    if (!value)
        return {};
    return numberText(*value).toLatin1();
}

QByteArray alarmRow(const AlarmEvent& event, const QString& runFile)
{
    return runlog::timeText(event.time) + ',' + csvField(runFile) + ',' + ruleName(event.rule) + ','
        + eventName(event.event) + ',' + alarmNumber(event.temperature) + ','
        + alarmNumber(event.threshold) + '\n';
}

void recordAlarm(runlog::RunWriter& writer, const QString& folder, const QString& runFile,
    const AlarmEvent& event)
{
    writer.appendRecordRow(folder, kAlarmsFileName, kAlarmsHeader, alarmRow(event, runFile));
}

} // namespace alarms
