#include "history/AxisTicks.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <array>
#include <cmath>

namespace history {

namespace {

constexpr std::int64_t kSecond = 1000;
constexpr std::int64_t kMinute = 60 * kSecond;
constexpr std::int64_t kHour = 60 * kMinute;
constexpr std::int64_t kDay = 24 * kHour;
constexpr std::int64_t kWeek = 7 * kDay;
// 1970-01-01 was a Thursday: weeks start on the Monday four days later.
constexpr std::int64_t kFirstMonday = 4 * kDay;
// However long the axis, no more ticks than this: the work stays bounded.
constexpr double kMaxTicks = 1000;
// Times beyond a hundred thousand years either way, and values beyond this many steps from 0,
// get no ticks rather than arithmetic that overflows.
constexpr std::int64_t kLatest = std::int64_t(1) << 52;
constexpr double kMostSteps = 1e15;

constexpr std::array<std::int64_t, 20> kSteps { kSecond, 2 * kSecond, 5 * kSecond, 10 * kSecond,
    15 * kSecond, 30 * kSecond, kMinute, 2 * kMinute, 5 * kMinute, 10 * kMinute, 15 * kMinute,
    30 * kMinute, kHour, 2 * kHour, 3 * kHour, 6 * kHour, 12 * kHour, kDay, 2 * kDay, kWeek };

// The smallest step at least @p least long; past a week, a whole number of weeks.
std::int64_t stepOf(double least)
{
    for (const std::int64_t step : kSteps) {
        if (static_cast<double>(step) >= least)
            return step;
    }
    return static_cast<std::int64_t>(std::ceil(least / static_cast<double>(kWeek))) * kWeek;
}

// The least step the axis allows, in its own units; 0 when it has no ticks.
double leastStep(double span, double lengthPx, double minGapPx)
{
    if (!(span > 0) || !(lengthPx > 0) || !std::isfinite(span) || !std::isfinite(lengthPx))
        return 0;
    return std::max(span * std::max(minGapPx, 1.0) / lengthPx, span / kMaxTicks);
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    return a / b - (a % b != 0 && (a < 0) != (b < 0) ? 1 : 0);
}

// The first multiple of @p step plus @p phase at or after @p at.
std::int64_t nextRound(std::int64_t at, std::int64_t step, std::int64_t phase)
{
    return (floorDiv(at - phase - 1, step) + 1) * step + phase;
}

QString clockLabel(std::int64_t localMs, std::int64_t step)
{
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(localMs, QTimeZone::utc());
    if (step >= kDay || floorDiv(localMs, kDay) * kDay == localMs)
        return local.toString(QStringLiteral("dd.MM"));
    return local.toString(step < kMinute ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm"));
}

} // namespace

std::vector<AxisTick> clockTicks(
    std::int64_t fromMs, std::int64_t toMs, double lengthPx, double minGapPx, const QTimeZone& zone)
{
    std::vector<AxisTick> ticks;
    const double least
        = leastStep(static_cast<double>(toMs) - static_cast<double>(fromMs), lengthPx, minGapPx);
    if (least <= 0 || !zone.isValid() || fromMs < -kLatest || toMs > kLatest)
        return ticks;
    const std::int64_t step = stepOf(least);
    const std::int64_t phase = step % kWeek == 0 ? kFirstMonday : 0;
    // Round times are round on the local clock. The offset from UTC is constant between two
    // transitions of the zone, so each such stretch takes the round local times that fall in
    // it: an hour the clock skips has no ticks, an hour it repeats has them twice.
    std::int64_t from = fromMs;
    while (from <= toMs) {
        const QDateTime fromTime = QDateTime::fromMSecsSinceEpoch(from, QTimeZone::utc());
        const std::int64_t offset = std::int64_t(zone.offsetFromUtc(fromTime)) * kSecond;
        const QTimeZone::OffsetData next = zone.nextTransition(fromTime);
        const std::int64_t changes = next.atUtc.isValid()
            ? std::max<std::int64_t>(next.atUtc.toMSecsSinceEpoch(), from + 1)
            : toMs + 1;
        const std::int64_t until = std::min(changes, toMs + 1);
        for (std::int64_t local = nextRound(from + offset, step, phase); local - offset < until;
             local += step)
            ticks.push_back({ static_cast<double>(local - offset), clockLabel(local, step) });
        from = until;
    }
    return ticks;
}

std::vector<AxisTick> elapsedTicks(
    std::int64_t fromMs, std::int64_t toMs, double lengthPx, double minGapPx)
{
    std::vector<AxisTick> ticks;
    const double least
        = leastStep(static_cast<double>(toMs) - static_cast<double>(fromMs), lengthPx, minGapPx);
    if (least <= 0 || fromMs < -kLatest || toMs > kLatest)
        return ticks;
    const std::int64_t step = stepOf(least);
    for (std::int64_t at = nextRound(fromMs, step, 0); at <= toMs; at += step) {
        const std::int64_t magnitude = std::abs(at);
        QString label = at < 0 ? QStringLiteral("-") : QString();
        label += QStringLiteral("%1:%2")
                     .arg(magnitude / kHour)
                     .arg(magnitude % kHour / kMinute, 2, 10, QLatin1Char('0'));
        if (step < kMinute)
            label += QStringLiteral(":%1").arg(
                magnitude % kMinute / kSecond, 2, 10, QLatin1Char('0'));
        ticks.push_back({ static_cast<double>(at), label });
    }
    return ticks;
}

std::vector<AxisTick> valueTicks(double from, double to, double lengthPx, double minGapPx)
{
    std::vector<AxisTick> ticks;
    const double least = leastStep(to - from, lengthPx, minGapPx);
    if (least <= 0 || !std::isfinite(from))
        return ticks;
    // 1, 2 or 5 times the power of ten just below the least step.
    const int exponent = static_cast<int>(std::floor(std::log10(least)));
    const double power = std::pow(10.0, exponent);
    double step = power;
    int exponentOfStep = exponent;
    for (const double factor : { 1.0, 2.0, 5.0, 10.0 }) {
        step = factor * power;
        if (step >= least * (1 - 1e-12))
            break;
    }
    if (step >= 10 * power * (1 - 1e-12))
        ++exponentOfStep;
    if (std::abs(from) / step > kMostSteps || std::abs(to) / step > kMostSteps)
        return ticks;
    const int decimals = std::max(0, -exponentOfStep);
    const QChar point = QLocale::system().decimalPoint().front();
    // Ticks at whole multiples of the step, with a hair of tolerance for the division's error.
    const double tolerance = 1e-9;
    for (auto k = static_cast<std::int64_t>(std::ceil(from / step - tolerance));
         static_cast<double>(k) * step <= to + step * tolerance; ++k) {
        const double value = static_cast<double>(k) * step;
        QString label = QString::number(k == 0 ? 0.0 : value, 'f', decimals);
        label.replace(QLatin1Char('.'), point);
        ticks.push_back({ value, label });
    }
    return ticks;
}

} // namespace history
