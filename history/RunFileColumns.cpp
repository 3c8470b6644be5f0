#include "history/RunFileColumns.h"

#include "history/RunFileLines.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <cstring>

namespace history {

namespace detail {

namespace {

// Enough digits for any elapsed time or reading, few enough never to overflow.
constexpr qsizetype kMaxDigits = 15;
// How much of a foreign first line a message quotes.
constexpr qsizetype kQuotedLength = 60;

// The shape timeText() gives the time: separators at their places, digits elsewhere.
bool hasTimeShape(const char* text)
{
    static constexpr std::array<qsizetype, 21> kDigits { 0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17,
        18, 20, 21, 22, 24, 25, 27, 28 };
    if (text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' || text[16] != ':'
        || text[19] != '.' || (text[23] != '+' && text[23] != '-') || text[26] != ':')
        return false;
    unsigned bad = 0;
    for (const qsizetype at : kDigits)
        bad |= static_cast<unsigned>(static_cast<unsigned char>(text[at]) - '0') > 9 ? 1U : 0U;
    return bad == 0;
}

// The digits from @p p to @p end as a number, into @p value; false if any is no digit.
bool addDigits(const char* p, const char* end, std::int64_t& value)
{
    for (; p < end; ++p) {
        const auto digit = static_cast<unsigned>(static_cast<unsigned char>(*p) - '0');
        if (digit > 9)
            return false;
        value = value * 10 + digit;
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
    const char* const point = end - decimals - 1;
    if (point - p < 1 || point - p > kMaxDigits || *point != '.')
        return std::nullopt;
    std::int64_t value = 0;
    if (!addDigits(p, point, value) || !addDigits(point + 1, end, value))
        return std::nullopt;
    return negative ? -value : value;
}

// The five names differ in length, which picks the one to compare with.
std::optional<runlog::TickStatus> parseStatus(QByteArrayView text)
{
    using runlog::TickStatus;
    TickStatus status = TickStatus::Ok;
    switch (text.size()) {
    case 2:
        status = TickStatus::Ok;
        break;
    case 8:
        status = TickStatus::NoReply;
        break;
    case 9:
        status = TickStatus::PortLost;
        break;
    case 11:
        status = TickStatus::ShortReply;
        break;
    case 12:
        status = TickStatus::WriteFailed;
        break;
    default:
        return std::nullopt;
    }
    if (std::memcmp(text.data(), runlog::statusName(status), std::size_t(text.size())) != 0)
        return std::nullopt;
    return status;
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
        const qsizetype newline = content.indexOf('\n');
        const QByteArrayView line = newline < 0 ? content : content.first(newline);
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

bool RunFileChunks::open(const QString& path, QString* why)
{
    m_file.setFileName(path);
    m_name = QFileInfo(path).fileName();
    if (!m_file.open(QIODevice::ReadOnly))
        return failed(why);
    m_size = m_file.size();
    m_buffer.resize(kChunk);
    return true;
}

bool RunFileChunks::rewind(QString* why)
{
    m_left = m_size;
    return m_file.seek(0) || failed(why);
}

std::optional<qsizetype> RunFileChunks::readMore(qsizetype held, QString* why)
{
    const qint64 got = m_file.read(m_buffer.data() + held, std::min<qint64>(m_left, kChunk - held));
    if (got < 0) {
        failed(why);
        return std::nullopt;
    }
    m_left -= got;
    return static_cast<qsizetype>(got);
}

std::optional<qsizetype> RunFileChunks::countLines(QString* why)
{
    if (!rewind(why))
        return std::nullopt;
    qsizetype lines = 0;
    for (;;) {
        const std::optional<qsizetype> got = readMore(0, why);
        if (!got)
            return std::nullopt;
        if (*got == 0)
            return lines;
        const char* at = m_buffer.constData();
        const char* const end = at + *got;
        while ((at = static_cast<const char*>(std::memchr(at, '\n', std::size_t(end - at))))) {
            ++lines;
            ++at;
        }
    }
}

bool RunFileChunks::failed(QString* why)
{
    if (why)
        *why = QStringLiteral("Не удалось прочитать файл «%1»: %2.")
                   .arg(m_name, m_file.errorString());
    return false;
}

} // namespace detail

namespace {

// Each row of a run file into @p read's columns; the first row's time gives the run's start.
auto columnsTaker(RunRead& read)
{
    return [&read, started = false](QByteArrayView line, const detail::RowFields& row) mutable {
        if (!started) {
            // The only time parsed: the run's start is the first row's less its elapsed time.
            const QDateTime time = QDateTime::fromString(
                QString::fromLatin1(line.first(detail::kTimeLength)), Qt::ISODateWithMs);
            if (!time.isValid())
                return false;
            read.columns.setStartMs(time.toMSecsSinceEpoch() - row.elapsedMs);
            started = true;
        }
        read.columns.append(row.elapsedMs, row.temperature, row.status);
        return true;
    };
}

void takeScan(RunRead& read, const detail::RowsScan& scan)
{
    read.skippedLines = scan.skippedLines;
    read.firstSkippedLine = scan.firstSkippedLine;
    read.tornLastLine = scan.tornLastLine;
}

} // namespace

std::optional<RunRead> parseRunColumns(QByteArrayView content, const QString& name, QString* why)
{
    const std::optional<qsizetype> begin = detail::rowsBegin(content, name, why);
    if (!begin)
        return std::nullopt;
    RunRead read;
    read.columns.reserve(std::count(content.begin() + *begin, content.end(), '\n'));
    takeScan(read, detail::scanRows(content, *begin, columnsTaker(read)));
    return read;
}

std::optional<RunRead> readRunColumns(const QString& path, QString* why)
{
    // Two passes over the file in chunks: the count of lines first, so that the columns are
    // made at their size rather than grown.
    detail::RunFileChunks file;
    if (!file.open(path, why))
        return std::nullopt;
    const std::optional<qsizetype> lines = file.countLines(why);
    if (!lines)
        return std::nullopt;
    RunRead read;
    read.columns.reserve(*lines);
    const std::optional<detail::RowsScan> scan = file.scan(columnsTaker(read), why);
    if (!scan)
        return std::nullopt;
    takeScan(read, *scan);
    return read;
}

} // namespace history
