#include "history/RunFileColumns.h"

#include "history/RunFileLines.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <array>

namespace history {

namespace detail {

namespace {

// Enough digits for any elapsed time or reading, few enough never to overflow.
constexpr qsizetype kMaxDigits = 15;
// How much of a foreign first line a message quotes.
constexpr qsizetype kQuotedLength = 60;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The shape timeText() gives the time: 'd' a digit, 's' the offset's sign, others themselves.
bool hasTimeShape(const char* text)
{
    static constexpr char kShape[] = "dddd-dd-ddTdd:dd:dd.ddds"
                                     "dd:dd";
    for (qsizetype i = 0; i < kTimeLength; ++i) {
        const char want = kShape[i];
        const char c = text[i];
        if (want == 'd' ? !isDigit(c) : want == 's' ? c != '+' && c != '-' : c != want)
            return false;
    }
    return true;
}

// "-12.345" with exactly @p decimals decimals from @p p up to @p end, as a count of the last
// decimal's units; nullopt unless the whole text is that.
std::optional<std::int64_t> parseFixed(const char* p, const char* end, int decimals)
{
    const bool negative = p < end && *p == '-';
    if (negative)
        ++p;
    const qsizetype length = end - p;
    const qsizetype wholeDigits = length - decimals - 1;
    if (wholeDigits < 1 || wholeDigits > kMaxDigits || p[wholeDigits] != '.')
        return std::nullopt;
    std::int64_t value = 0;
    for (const char* c = p; c < end; ++c) {
        if (c == p + wholeDigits)
            continue;
        if (!isDigit(*c))
            return std::nullopt;
        value = value * 10 + (*c - '0');
    }
    return negative ? -value : value;
}

std::optional<runlog::TickStatus> parseStatus(QByteArrayView text)
{
    using runlog::TickStatus;
    static constexpr std::array kStatuses { TickStatus::Ok, TickStatus::NoReply,
        TickStatus::ShortReply, TickStatus::WriteFailed, TickStatus::PortLost };
    for (const TickStatus status : kStatuses) {
        if (text == runlog::statusName(status))
            return status;
    }
    return std::nullopt;
}

// A first line that is no text: control characters other than tab and carriage return, or
// bytes that are no UTF-8.
bool isBinary(QByteArrayView line)
{
    const bool control = std::any_of(line.begin(), line.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && c != '\t' && c != '\r') || byte == 0x7f;
    });
    if (control)
        return true;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(line);
    return utf8.hasError();
}

} // namespace

std::optional<RowFields> parseRowFields(QByteArrayView line)
{
    const char* p = line.data();
    const char* const end = p + line.size();
    if (line.size() <= kTimeLength || p[kTimeLength] != ',' || !hasTimeShape(p))
        return std::nullopt;
    const char* field = p + kTimeLength + 1;
    const auto* comma
        = static_cast<const char*>(std::memchr(field, ',', static_cast<std::size_t>(end - field)));
    if (!comma)
        return std::nullopt;
    const std::optional<std::int64_t> elapsed = parseFixed(field, comma, 3);
    if (!elapsed)
        return std::nullopt;
    field = comma + 1;
    comma
        = static_cast<const char*>(std::memchr(field, ',', static_cast<std::size_t>(end - field)));
    if (!comma)
        return std::nullopt;
    const std::optional<runlog::TickStatus> status
        = parseStatus(QByteArrayView(comma + 1, end - comma - 1));
    if (!status)
        return std::nullopt;
    RowFields row;
    row.elapsedMs = *elapsed;
    row.status = *status;
    if (comma > field) {
        // Only a tick that is ok has a reading.
        const std::optional<std::int64_t> tenths = parseFixed(field, comma, 1);
        if (!tenths || *status != runlog::TickStatus::Ok)
            return std::nullopt;
        row.temperature = static_cast<float>(static_cast<double>(*tenths) / 10.0);
    }
    return row;
}

std::optional<qsizetype> rowsBegin(QByteArrayView content, const QString& name, QString* why)
{
    const QByteArrayView header(runlog::kRunHeader, sizeof runlog::kRunHeader - 1);
    if (content.startsWith(header))
        return header.size();
    if (why) {
        const QByteArrayView line = content.first(std::min(
            content.size(), content.indexOf('\n') < 0 ? content.size() : content.indexOf('\n')));
        QString found;
        if (content.isEmpty())
            found = QStringLiteral("а файл пуст");
        else if (header.startsWith(content))
            found = QStringLiteral("а он не дописан");
        else if (line.size() == header.size() && line.endsWith('\r')
            && line.startsWith(header.first(header.size() - 1)))
            found = QStringLiteral("а строки оканчиваются на CR LF");
        else if (isBinary(line.first(std::min(line.size(), kQuotedLength * 4))))
            found = QStringLiteral("а в ней двоичные данные");
        else {
            QString text = QString::fromUtf8(line).trimmed();
            if (text.size() > kQuotedLength)
                text = text.first(kQuotedLength) + QStringLiteral("…");
            found = QStringLiteral("а в ней «%1»").arg(text);
        }
        *why = QStringLiteral("Файл «%1» не является файлом опроса: строка 1: ожидался "
                              "заголовок «%2», %3.")
                   .arg(name, QString::fromLatin1(header.first(header.size() - 1)), found);
    }
    return std::nullopt;
}

std::optional<QByteArray> readContent(const QString& path, QString* why)
{
    // Read rather than mapped: the program writing a run file may cut a torn row back, and a
    // mapping read past the file's new end would kill the reader.
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        QByteArray content = file.read(file.size());
        if (file.error() == QFileDevice::NoError)
            return content;
    }
    if (why)
        *why = QStringLiteral("Не удалось прочитать файл «%1»: %2.")
                   .arg(QFileInfo(path).fileName(), file.errorString());
    return std::nullopt;
}

} // namespace detail

std::optional<RunRead> parseRunColumns(QByteArrayView content, const QString& name, QString* why)
{
    const std::optional<qsizetype> begin = detail::rowsBegin(content, name, why);
    if (!begin)
        return std::nullopt;
    RunRead read;
    read.columns.reserve(std::count(content.begin() + *begin, content.end(), '\n'));
    bool started = false;
    const detail::RowsScan scan
        = detail::scanRows(content, *begin, [&](QByteArrayView line, const detail::RowFields& row) {
              if (!started) {
                  // The only time parsed: the run's start is the first row's less its elapsed.
                  const QDateTime time = QDateTime::fromString(
                      QString::fromLatin1(line.first(detail::kTimeLength)), Qt::ISODateWithMs);
                  if (!time.isValid())
                      return false;
                  read.columns.setStartMs(time.toMSecsSinceEpoch() - row.elapsedMs);
                  started = true;
              }
              read.columns.append(row.elapsedMs, row.temperature, row.status);
              return true;
          });
    read.skippedLines = scan.skippedLines;
    read.firstSkippedLine = scan.firstSkippedLine;
    read.tornLastLine = scan.tornLastLine;
    return read;
}

std::optional<RunRead> readRunColumns(const QString& path, QString* why)
{
    const std::optional<QByteArray> content = detail::readContent(path, why);
    if (!content)
        return std::nullopt;
    return parseRunColumns(*content, QFileInfo(path).fileName(), why);
}

} // namespace history
