#include "history/LimitsSteps.h"

#include "runlog/LimitsRecord.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <optional>

namespace history {

namespace {

// One "time,lower_C,upper_C,outcome" row that was sent; fields after the outcome are allowed
// and left alone, so that rows written with more columns still read.
std::optional<LimitsStep> sentStep(QByteArrayView line)
{
    const QList<QByteArray> fields = line.toByteArray().split(',');
    if (fields.size() < 4 || fields[3] != runlog::outcomeName(runlog::LimitsOutcome::Sent))
        return std::nullopt;
    const QDateTime time = QDateTime::fromString(QString::fromLatin1(fields[0]), Qt::ISODateWithMs);
    bool lowerOk = false;
    bool upperOk = false;
    const float lower = fields[1].toFloat(&lowerOk);
    const float upper = fields[2].toFloat(&upperOk);
    if (!time.isValid() || !lowerOk || !upperOk || !std::isfinite(lower) || !std::isfinite(upper))
        return std::nullopt;
    return LimitsStep { time.toMSecsSinceEpoch(), lower, upper };
}

} // namespace

std::vector<LimitsStep> limitsSteps(
    QByteArrayView limitsCsv, std::int64_t startMs, std::int64_t endMs)
{
    // Programs that add rows at once take turns, so the rows are in time order but for clocks
    // that were set meanwhile: they are put in order here. A torn last line is no upload yet.
    std::vector<LimitsStep> sent;
    const qsizetype whole = limitsCsv.lastIndexOf('\n') + 1;
    for (qsizetype from = 0; from < whole;) {
        const qsizetype end = limitsCsv.indexOf('\n', from);
        if (const auto step = sentStep(limitsCsv.sliced(from, end - from)))
            sent.push_back(*step);
        from = end + 1;
    }
    std::stable_sort(sent.begin(), sent.end(),
        [](const LimitsStep& a, const LimitsStep& b) { return a.timeMs < b.timeMs; });
    const auto first = std::lower_bound(sent.begin(), sent.end(), startMs,
        [](const LimitsStep& step, std::int64_t at) { return step.timeMs < at; });
    const auto last = std::upper_bound(first, sent.end(), endMs,
        [](std::int64_t at, const LimitsStep& step) { return at < step.timeMs; });
    std::vector<LimitsStep> steps;
    if (first != sent.begin())
        steps.push_back(*(first - 1));
    steps.insert(steps.end(), first, last);
    return steps;
}

std::vector<LimitsStep> readLimitsSteps(
    const QString& folder, std::int64_t startMs, std::int64_t endMs)
{
    QFile file(QDir(folder).filePath(QLatin1String(runlog::kLimitsFileName)));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return limitsSteps(file.readAll(), startMs, endMs);
}

} // namespace history
