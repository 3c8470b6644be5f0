#include "history/AlarmSpans.h"

#include "alarms/AlarmRecord.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace history {

namespace {

// Larger files are not read: alarms.csv grows by a few rows a run.
constexpr qint64 kMaxFileBytes = 64LL * 1024 * 1024;

// The fields of one CSV line, quotes undone; nullopt for an unterminated quote.
std::optional<QList<QByteArray>> fields(QByteArrayView line)
{
    QList<QByteArray> out;
    QByteArray field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c != '"')
                field += c;
            else if (i + 1 < line.size() && line[i + 1] == '"')
                field += line[++i];
            else
                quoted = false;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            out.append(field);
            field.clear();
        } else {
            field += c;
        }
    }
    if (quoted)
        return std::nullopt;
    out.append(field);
    return out;
}

template <typename T, std::size_t N>
std::optional<T> lookUp(const QByteArray& name, const char* (*nameOf)(T))
{
    for (std::size_t i = 0; i < N; ++i) {
        const T value = static_cast<T>(i);
        if (name == nameOf(value))
            return value;
    }
    return std::nullopt;
}

void apply(std::vector<AlarmSpan>& spans, alarms::Rule rule, alarms::AlarmEventKind kind,
    std::int64_t timeMs)
{
    AlarmSpan* open = nullptr;
    for (AlarmSpan& span : spans) {
        if (span.rule == rule && !span.toMs)
            open = &span;
    }
    switch (kind) {
    case alarms::AlarmEventKind::Raised:
        if (open == nullptr)
            spans.push_back({ rule, timeMs, std::nullopt });
        break;
    case alarms::AlarmEventKind::Cleared:
    case alarms::AlarmEventKind::Ended:
        if (open != nullptr)
            open->toMs = std::max(timeMs, open->fromMs);
        break;
    case alarms::AlarmEventKind::Acknowledged:
        break;
    }
}

} // namespace

std::vector<AlarmSpan> alarmSpans(QByteArrayView alarmsCsv, const QString& runFile)
{
    std::vector<AlarmSpan> spans;
    const QString name = QFileInfo(runFile).fileName();
    if (name.isEmpty())
        return spans;
    qsizetype start = 0;
    while (start < alarmsCsv.size()) {
        qsizetype end = alarmsCsv.indexOf('\n', start);
        if (end < 0)
            end = alarmsCsv.size();
        QByteArrayView line = alarmsCsv.sliced(start, end - start);
        start = end + 1;
        if (line.endsWith('\r'))
            line.chop(1);
        const std::optional<QList<QByteArray>> row = fields(line);
        if (!row || row->size() < 4)
            continue;
        const QByteArray& file = (*row)[1];
        if (QFileInfo(QString::fromUtf8(file)).fileName() != name)
            continue;
        const QDateTime time
            = QDateTime::fromString(QString::fromLatin1((*row)[0]), Qt::ISODateWithMs);
        const auto rule = lookUp<alarms::Rule, alarms::kRuleCount>((*row)[2], alarms::ruleName);
        const auto kind = lookUp<alarms::AlarmEventKind, 4>((*row)[3], alarms::eventName);
        if (!time.isValid() || !rule || !kind)
            continue;
        apply(spans, *rule, *kind, time.toMSecsSinceEpoch());
    }
    return spans;
}

std::vector<AlarmSpan> readAlarmSpans(const QString& runFile)
{
    QFile file(QDir(QFileInfo(runFile).absolutePath())
                   .filePath(QString::fromLatin1(alarms::kAlarmsFileName)));
    if (file.size() > kMaxFileBytes || !file.open(QIODevice::ReadOnly))
        return {};
    return alarmSpans(file.readAll(), runFile);
}

void followAlarm(std::vector<AlarmSpan>& spans, const alarms::AlarmEvent& event)
{
    const std::int64_t timeMs = event.time.isValid() ? event.time.toMSecsSinceEpoch()
                                                     : QDateTime::currentMSecsSinceEpoch();
    apply(spans, event.rule, event.event, timeMs);
}

} // namespace history
