#include "history/Measurement.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace history {

qsizetype nearestTick(const RunColumns& run, double elapsedMs)
{
    if (run.isEmpty() || std::isnan(elapsedMs))
        return -1;
    const double bounded = std::clamp(elapsedMs, static_cast<double>(run.elapsedAt(0)),
        static_cast<double>(run.elapsedAt(run.size() - 1)));
    const qsizetype after = run.lowerBound(static_cast<std::int64_t>(std::ceil(bounded)));
    if (after >= run.size())
        return run.size() - 1;
    if (after == 0)
        return 0;
    const double toAfter = static_cast<double>(run.elapsedAt(after)) - bounded;
    const double toBefore = bounded - static_cast<double>(run.elapsedAt(after - 1));
    return toBefore <= toAfter ? after - 1 : after;
}

std::optional<qsizetype> nearestReading(const RunColumns& run, double elapsedMs, qsizetype reach)
{
    const qsizetype at = nearestTick(run, elapsedMs);
    if (at < 0)
        return std::nullopt;
    // Outward from the nearest tick, the nearer in time of the two sides first.
    for (qsizetype step = 0; step <= reach; ++step) {
        const qsizetype before = at - step;
        const qsizetype after = at + step;
        const bool beforeOk = before >= 0 && !std::isnan(run.temperatureAt(before));
        const bool afterOk = after < run.size() && !std::isnan(run.temperatureAt(after));
        if (beforeOk && afterOk) {
            const double toBefore = elapsedMs - static_cast<double>(run.elapsedAt(before));
            const double toAfter = static_cast<double>(run.elapsedAt(after)) - elapsedMs;
            return toBefore <= toAfter ? before : after;
        }
        if (beforeOk)
            return before;
        if (afterOk)
            return after;
        if (before < 0 && after >= run.size())
            break;
    }
    return std::nullopt;
}

Between between(const RunColumns& run, qsizetype a, qsizetype b)
{
    if (a > b)
        std::swap(a, b);
    Between measure;
    measure.durationMs = run.elapsedAt(b) - run.elapsedAt(a);
    measure.difference = static_cast<double>(run.temperatureAt(b)) - run.temperatureAt(a);
    if (measure.durationMs > 0)
        measure.ratePerMinute
            = measure.difference / (static_cast<double>(measure.durationMs) / 60000.0);
    const Span span = run.span(a, b + 1);
    measure.min = span.min;
    measure.max = span.max;
    double sum = 0;
    for (qsizetype i = a; i <= b; ++i) {
        const float reading = run.temperatureAt(i);
        if (!std::isnan(reading)) {
            sum += reading;
            ++measure.readings;
        }
    }
    measure.mean = measure.readings > 0 ? sum / static_cast<double>(measure.readings) : 0;
    return measure;
}

QString statusText(runlog::TickStatus status)
{
    switch (status) {
    case runlog::TickStatus::Ok:
        return QStringLiteral("норма");
    case runlog::TickStatus::NoReply:
        return QStringLiteral("нет ответа");
    case runlog::TickStatus::ShortReply:
        return QStringLiteral("неполный ответ");
    case runlog::TickStatus::WriteFailed:
        return QStringLiteral("ошибка записи в порт");
    case runlog::TickStatus::PortLost:
        return QStringLiteral("порт потерян");
    }
    return {};
}

QString degreesText(double value)
{
    return QLocale::system().toString(value, 'f', 1) + QStringLiteral(" °C");
}

QString durationText(std::int64_t ms)
{
    const QString sign = ms < 0 ? QStringLiteral("-") : QString();
    const std::int64_t total = ms < 0 ? -ms : ms;
    const std::int64_t hours = total / 3600000;
    const std::int64_t minutes = total / 60000 % 60;
    const std::int64_t seconds = total / 1000 % 60;
    if (hours > 0)
        return sign
            + QStringLiteral("%1 ч %2 мин %3 с")
                  .arg(hours)
                  .arg(minutes, 2, 10, QLatin1Char('0'))
                  .arg(seconds, 2, 10, QLatin1Char('0'));
    const QString secondsText = QLocale::system().toString(
        static_cast<double>(total % 60000) / 1000.0, 'f', total % 1000 == 0 ? 0 : 1);
    if (minutes > 0)
        return sign + QStringLiteral("%1 мин %2 с").arg(minutes).arg(secondsText);
    return sign + QStringLiteral("%1 с").arg(secondsText);
}

namespace {

QString elapsedClock(std::int64_t ms)
{
    const QString sign = ms < 0 ? QStringLiteral("-") : QString();
    const std::int64_t total = (ms < 0 ? -ms : ms) / 1000;
    return sign
        + QStringLiteral("%1:%2:%3")
              .arg(total / 3600)
              .arg(total / 60 % 60, 2, 10, QLatin1Char('0'))
              .arg(total % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

QString tickText(const RunColumns& run, qsizetype tick)
{
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(run.timeAt(tick));
    const float reading = run.temperatureAt(tick);
    return QStringLiteral("%1   от старта %2   %3   %4")
        .arg(time.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")),
            elapsedClock(run.elapsedAt(tick)),
            std::isnan(reading) ? QStringLiteral("— °C") : degreesText(reading),
            statusText(run.statusAt(tick)));
}

QString betweenText(const Between& measure)
{
    const QString rate = QLocale::system().toString(measure.ratePerMinute, 'f', 3);
    return QStringLiteral("От A до B: %1, разность %2, скорость %3 °C/мин; "
                          "минимум %4, максимум %5, среднее %6")
        .arg(durationText(measure.durationMs), degreesText(measure.difference), rate,
            degreesText(measure.min), degreesText(measure.max), degreesText(measure.mean));
}

std::vector<LimitsStep> mergeLimits(
    std::vector<LimitsStep> a, const std::vector<LimitsStep>& b, std::int64_t startMs)
{
    a.insert(a.end(), b.begin(), b.end());
    std::stable_sort(a.begin(), a.end(),
        [](const LimitsStep& x, const LimitsStep& y) { return x.timeMs < y.timeMs; });
    const auto same = [](const LimitsStep& x, const LimitsStep& y) {
        return x.timeMs == y.timeMs && x.lower == y.lower && x.upper == y.upper;
    };
    a.erase(std::unique(a.begin(), a.end(), same), a.end());
    // Of the uploads before the start only the last one was still in force when it began.
    const auto firstDuring = std::lower_bound(a.begin(), a.end(), startMs,
        [](const LimitsStep& step, std::int64_t at) { return step.timeMs < at; });
    if (firstDuring - a.begin() > 1)
        a.erase(a.begin(), firstDuring - 1);
    return a;
}

} // namespace history
