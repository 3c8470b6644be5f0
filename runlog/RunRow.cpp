#include "runlog/RunRow.h"

#include <QDate>
#include <QTime>

#include <cmath>
#include <cstdlib>

namespace runlog {

namespace {

constexpr int kSecondsPerMinute = 60;
constexpr int kMinutesPerHour = 60;
// Beyond this many tenths a double no longer holds every tenth exactly; such a reading is
// written by Qt's own conversion instead (still with "." and one decimal).
constexpr double kLargestTenths = 1e15;

// @p value with at least @p digits digits, zeros in front; written by hand so that no locale
// and no printf is involved.
void appendPadded(QByteArray& out, qint64 value, int digits)
{
    if (value < 0) {
        out += '-';
        value = -value;
    }
    const QByteArray text = QByteArray::number(value);
    for (qsizetype i = text.size(); i < digits; ++i)
        out += '0';
    out += text;
}

// "12.345" for 12345, "-0.005" for -5.
void appendFixed(QByteArray& out, qint64 value, int decimals, qint64 scale)
{
    if (value < 0)
        out += '-';
    const qint64 magnitude = value < 0 ? -value : value;
    out += QByteArray::number(magnitude / scale);
    out += '.';
    appendPadded(out, magnitude % scale, decimals);
}

void appendTemperature(QByteArray& out, double degrees)
{
    if (!std::isfinite(degrees))
        return;
    const double tenths = std::round(degrees * 10.0);
    if (std::fabs(tenths) >= kLargestTenths) {
        out += QByteArray::number(degrees, 'f', 1);
        return;
    }
    // A reading that rounds to 0.0 is written "0.0", never "-0.0".
    appendFixed(out, static_cast<qint64>(tenths), 1, 10);
}

} // namespace

const char* statusName(TickStatus status)
{
    switch (status) {
    case TickStatus::Ok:
        return "ok";
    case TickStatus::NoReply:
        return "no-reply";
    case TickStatus::ShortReply:
        return "short-reply";
    case TickStatus::WriteFailed:
        return "write-failed";
    case TickStatus::PortLost:
        return "port-lost";
    }
    return "unknown";
}

QByteArray timeText(const QDateTime& time)
{
    if (!time.isValid())
        return {};
    int offset = time.offsetFromUtc();
    QDateTime shown = time;
    if (offset % kSecondsPerMinute != 0) {
        offset = 0;
        shown = time.toUTC();
    }
    const QDate date = shown.date();
    const QTime clock = shown.time();
    QByteArray out;
    out.reserve(29);
    appendPadded(out, date.year(), 4);
    out += '-';
    appendPadded(out, date.month(), 2);
    out += '-';
    appendPadded(out, date.day(), 2);
    out += 'T';
    appendPadded(out, clock.hour(), 2);
    out += ':';
    appendPadded(out, clock.minute(), 2);
    out += ':';
    appendPadded(out, clock.second(), 2);
    out += '.';
    appendPadded(out, clock.msec(), 3);
    out += offset < 0 ? '-' : '+';
    const int minutes = std::abs(offset) / kSecondsPerMinute;
    appendPadded(out, minutes / kMinutesPerHour, 2);
    out += ':';
    appendPadded(out, minutes % kMinutesPerHour, 2);
    return out;
}

QByteArray formatRow(const RunRow& row)
{
    QByteArray out = timeText(row.time);
    out.reserve(out.size() + 32);
    out += ',';
    appendFixed(out, row.elapsed.count(), 3, 1000);
    out += ',';
    if (row.status == TickStatus::Ok && row.temperature)
        appendTemperature(out, *row.temperature);
    out += ',';
    out += statusName(row.status);
    out += '\n';
    return out;
}

QString runFileName(const QDateTime& start, int attempt)
{
    QString name = start.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    if (attempt > 1)
        name += QLatin1Char('_') + QString::number(attempt);
    return name + QStringLiteral(".csv");
}

} // namespace runlog
