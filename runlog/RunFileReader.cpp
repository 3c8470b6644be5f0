#include "runlog/RunFileReader.h"

#include <QDate>
#include <QFile>
#include <QTime>
#include <QTimeZone>

#include <array>
#include <limits>

namespace runlog {

namespace {

constexpr std::array kStatuses { TickStatus::Ok, TickStatus::NoReply, TickStatus::ShortReply,
    TickStatus::WriteFailed, TickStatus::PortLost };
constexpr qsizetype kTimeLength = 29; // 2026-12-08T10:15:00.512+01:00
constexpr int kSecondsPerHour = 3600;
constexpr int kSecondsPerMinute = 60;
// Enough digits for any elapsed time or reading, few enough to never overflow.
constexpr qsizetype kMaxDigits = 15;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The unsigned number made of all of @p text, which must be digits only.
std::optional<qint64> digits(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > kMaxDigits)
        return std::nullopt;
    qint64 value = 0;
    for (const char c : text) {
        if (!isDigit(c))
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

int number(QByteArrayView text, qsizetype from, qsizetype count)
{
    return int(digits(text.sliced(from, count)).value_or(-1));
}

std::optional<QDateTime> parseTime(QByteArrayView text)
{
    if (text.size() != kTimeLength)
        return std::nullopt;
    // The separators where timeText() puts them; every other character is a digit.
    constexpr std::array<std::pair<qsizetype, char>, 7> separators { { { 4, '-' }, { 7, '-' },
        { 10, 'T' }, { 13, ':' }, { 16, ':' }, { 19, '.' }, { 26, ':' } } };
    for (const auto& [at, c] : separators) {
        if (text[at] != c)
            return std::nullopt;
    }
    const char sign = text[23];
    if (sign != '+' && sign != '-')
        return std::nullopt;
    const QDate date(number(text, 0, 4), number(text, 5, 2), number(text, 8, 2));
    const QTime clock(
        number(text, 11, 2), number(text, 14, 2), number(text, 17, 2), number(text, 20, 3));
    const int hours = number(text, 24, 2);
    const int minutes = number(text, 27, 2);
    if (!date.isValid() || !clock.isValid() || hours < 0 || minutes < 0 || minutes >= 60)
        return std::nullopt;
    const int offset
        = (sign == '-' ? -1 : 1) * (hours * kSecondsPerHour + minutes * kSecondsPerMinute);
    const QTimeZone zone(offset);
    if (!zone.isValid())
        return std::nullopt;
    return QDateTime(date, clock, zone);
}

// "-12.345" with exactly @p decimals decimals, as a count of the last decimal's units.
std::optional<qint64> parseFixed(QByteArrayView text, qsizetype decimals)
{
    const bool negative = text.startsWith('-');
    if (negative)
        text = text.sliced(1);
    const qsizetype point = text.size() - decimals - 1;
    if (point < 1 || text[point] != '.')
        return std::nullopt;
    const auto whole = digits(text.first(point));
    const auto fraction = digits(text.sliced(point + 1));
    if (!whole || !fraction)
        return std::nullopt;
    qint64 scale = 1;
    for (qsizetype i = 0; i < decimals; ++i)
        scale *= 10;
    const qint64 value = *whole * scale + *fraction;
    return negative ? -value : value;
}

std::optional<TickStatus> parseStatus(QByteArrayView text)
{
    for (const TickStatus status : kStatuses) {
        if (text == statusName(status))
            return status;
    }
    return std::nullopt;
}

std::optional<RunRow> parseRow(QByteArrayView line, QString& why)
{
    std::array<QByteArrayView, 4> fields;
    qsizetype from = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const qsizetype comma = i + 1 < fields.size() ? line.indexOf(',', from) : line.size();
        if (comma < 0) {
            why = QStringLiteral("fewer than 4 fields");
            return std::nullopt;
        }
        fields[i] = line.sliced(from, comma - from);
        from = comma + 1;
    }
    RunRow row;
    const auto time = parseTime(fields[0]);
    const auto elapsed = parseFixed(fields[1], 3);
    const auto status = parseStatus(fields[3]);
    if (!time || !elapsed || !status) {
        why = !time    ? QStringLiteral("bad time")
            : !elapsed ? QStringLiteral("bad elapsed time")
                       : QStringLiteral("bad status");
        return std::nullopt;
    }
    row.time = *time;
    row.elapsed = std::chrono::milliseconds(*elapsed);
    row.status = *status;
    if (!fields[2].isEmpty()) {
        const auto tenths = parseFixed(fields[2], 1);
        if (!tenths) {
            why = QStringLiteral("bad temperature");
            return std::nullopt;
        }
        if (row.status != TickStatus::Ok) {
            why = QStringLiteral("a temperature on a row that is not ok");
            return std::nullopt;
        }
        row.temperature = double(*tenths) / 10.0;
    }
    return row;
}

} // namespace

std::optional<RunFile> parseRunFile(QByteArrayView content, QString* why)
{
    RunFile file;
    const qsizetype lastBreak = content.lastIndexOf('\n');
    file.tornLastLine = lastBreak + 1 < content.size();
    const QByteArrayView whole = content.first(lastBreak + 1);
    if (whole.isEmpty())
        return file;
    const QByteArrayView header(kRunHeader, sizeof kRunHeader - 1);
    if (!whole.startsWith(header)) {
        if (why)
            *why = QStringLiteral("line 1: not the run file header");
        return std::nullopt;
    }
    qsizetype from = header.size();
    int lineNumber = 1;
    while (from < whole.size()) {
        ++lineNumber;
        const qsizetype end = whole.indexOf('\n', from);
        const QByteArrayView line = whole.sliced(from, end - from);
        from = end + 1;
        QString reason;
        auto row = parseRow(line, reason);
        if (!row) {
            if (why)
                *why = QStringLiteral("line %1: %2").arg(lineNumber).arg(reason);
            return std::nullopt;
        }
        file.rows.append(*row);
    }
    return file;
}

std::optional<RunFile> readRunFile(const QString& path, QString* why)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (why)
            *why = file.errorString();
        return std::nullopt;
    }
    return parseRunFile(file.readAll(), why);
}

} // namespace runlog
