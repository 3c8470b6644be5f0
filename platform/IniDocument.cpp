#include "platform/IniDocument.h"

#include <QStringDecoder>

#include <array>
#include <optional>
#include <utility>

namespace platform {

namespace {

constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

// Only blanks and tabs count as white space around names and values; any other character,
// a byte-order mark included, is part of the text.
bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QStringView trimmed(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

bool sameName(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Windows code page 1251 from 0x80 to 0xBF; 0xC0 to 0xFF are the contiguous letters
// U+0410..U+044F. 0x98 is unassigned and maps to the C1 control of the same number.
constexpr std::array<char16_t, 64> kCp1251Upper80 {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 0x80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 0x88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 0x90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 0x98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // 0xA0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // 0xA8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // 0xB0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // 0xB8
};

QString fromCp1251(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        char16_t unit = byte;
        if (byte >= 0xC0)
            unit = static_cast<char16_t>(0x0410 + (byte - 0xC0));
        else if (byte >= 0x80)
            unit = kCp1251Upper80[byte - 0x80];
        text[i] = QChar(unit);
    }
    return text;
}

// Each line is UTF-8 or, when it is not valid UTF-8, the Cyrillic code page: a Windows copy of
// the program saves its captions in that code page, and such a line can sit among UTF-8 lines
// written here, so one line's encoding says nothing about the next one's.
QString decodeLine(QByteArrayView bytes)
{
    // Stateless: a sequence cut off at the end of the line counts as invalid too. A mark inside
    // the file is text, kept as the character it is.
    QStringDecoder utf8(QStringDecoder::Utf8,
        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return fromCp1251(bytes);
}

// CR LF, LF and CR all end a line; a last line without a line end still counts. The bytes are
// split before decoding: CR and LF are those bytes in both encodings and never part of a longer
// UTF-8 sequence.
QList<QByteArray> splitLines(QByteArrayView bytes)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n')
            continue;
        lines.append(bytes.sliced(start, i - start).toByteArray());
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < bytes.size())
        lines.append(bytes.sliced(start).toByteArray());
    return lines;
}

// The mark of the file's start is not part of its first line: a first line whose bytes begin
// with the mark themselves (a file that had two marks) needs one in front to keep them.
QByteArray markFor(QByteArrayView firstLine)
{
    return firstLine.startsWith(kUtf8Bom) ? QByteArray(kUtf8Bom) : QByteArray();
}

// "[name]" with blanks allowed anywhere outside the name; the name runs to the last "]".
std::optional<QStringView> sectionName(QStringView line)
{
    const QStringView text = trimmed(line);
    if (!text.startsWith(u'['))
        return std::nullopt;
    const qsizetype close = text.lastIndexOf(u']');
    if (close < 0)
        return std::nullopt;
    return trimmed(text.sliced(1, close - 1));
}

struct KeyLine {
    QStringView name;
    QStringView value; // trimmed, quotes still on
};

// A key line has an "=" and is no comment; the first "=" ends the name.
std::optional<KeyLine> keyLine(QStringView line)
{
    const QStringView text = trimmed(line);
    if (text.startsWith(u';'))
        return std::nullopt;
    const qsizetype equals = text.indexOf(u'=');
    if (equals < 0)
        return std::nullopt;
    return KeyLine { trimmed(text.first(equals)), trimmed(text.sliced(equals + 1)) };
}

QStringView withoutQuotes(QStringView value)
{
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'')
        && value.back() == value.front())
        return value.sliced(1, value.size() - 2);
    return value;
}

QString cutToMaxLength(QStringView value)
{
    if (value.size() > IniDocument::kMaxValueLength) {
        value = value.first(IniDocument::kMaxValueLength);
        if (value.back().isHighSurrogate())
            value.chop(1);
    }
    return value.toString();
}

struct SectionLines {
    qsizetype header; // index of the "[name]" line
    qsizetype end; // index of the next section's header, or the line count
};

// Only the first section of a name counts; later ones of the same name are never searched.
template <typename Lines>
std::optional<SectionLines> findSection(const Lines& lines, QStringView name)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const auto found = sectionName(lines[i].text);
        if (!found || !sameName(*found, name))
            continue;
        qsizetype end = i + 1;
        while (end < lines.size() && !sectionName(lines[end].text))
            ++end;
        return SectionLines { i, end };
    }
    return std::nullopt;
}

bool hasLineBreak(QStringView text)
{
    return text.contains(u'\r') || text.contains(u'\n');
}

// The text after "=" that reads back as exactly @p value: a line break would start a line
// of its own (and could forge a key), so each becomes a blank; outer blanks or an outer pair
// of quotes would be taken off on reading, so such a value gets quotes of its own.
QString storedValue(QStringView value)
{
    QString stored;
    stored.reserve(value.size() + 2);
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == u'\r' || value[i] == u'\n') {
            if (value[i] == u'\r' && i + 1 < value.size() && value[i + 1] == u'\n')
                ++i;
            stored += u' ';
        } else {
            stored += value[i];
        }
    }
    if (trimmed(stored).size() != stored.size() || withoutQuotes(stored).size() != stored.size())
        return u'"' + stored + u'"';
    return stored;
}

} // namespace

IniDocument::Line IniDocument::Line::fromText(QString text)
{
    QByteArray bytes = text.toUtf8();
    return Line { std::move(text), std::move(bytes) };
}

IniDocument IniDocument::fromBytes(QByteArrayView bytes)
{
    if (bytes.startsWith(kUtf8Bom))
        bytes = bytes.sliced(3);
    IniDocument document;
    for (QByteArray& line : splitLines(bytes)) {
        QString text = decodeLine(line);
        document.m_lines.append(Line { std::move(text), std::move(line) });
    }
    return document;
}

QByteArray IniDocument::toBytes() const
{
    if (m_lines.isEmpty())
        return QByteArray();
    QByteArray bytes = markFor(m_lines.front().bytes);
    for (const Line& line : m_lines) {
        bytes += line.bytes;
        bytes += "\r\n";
    }
    return bytes;
}

QString IniDocument::readString(
    QStringView section, QStringView key, QStringView defaultValue) const
{
    const QStringView keyName = trimmed(key);
    const auto lines = findSection(m_lines, trimmed(section));
    if (lines && !keyName.isEmpty()) {
        for (qsizetype i = lines->header + 1; i < lines->end; ++i) {
            const auto entry = keyLine(m_lines[i].text);
            if (entry && sameName(entry->name, keyName))
                return cutToMaxLength(withoutQuotes(entry->value));
        }
    }
    QStringView fallback = defaultValue;
    while (!fallback.isEmpty() && fallback.back() == u' ')
        fallback.chop(1);
    return cutToMaxLength(fallback);
}

bool IniDocument::canStore(QStringView section, QStringView key)
{
    const QStringView sectionText = trimmed(section);
    const QStringView keyName = trimmed(key);
    return !hasLineBreak(sectionText) && !hasLineBreak(keyName) && !keyName.isEmpty()
        && !keyName.contains(u'=') && !keyName.startsWith(u';') && !keyName.startsWith(u'[');
}

bool IniDocument::writeString(QStringView section, QStringView key, QStringView value)
{
    if (!canStore(section, key))
        return false;
    const QStringView sectionText = trimmed(section);
    const QStringView keyName = trimmed(key);
    const QString stored = storedValue(value);
    if (const auto found = findSection(m_lines, sectionText)) {
        qsizetype insertAt = found->header + 1;
        for (qsizetype i = found->header + 1; i < found->end; ++i) {
            const auto entry = keyLine(m_lines[i].text);
            if (entry && sameName(entry->name, keyName)) {
                // The key keeps its spelling from the file.
                m_lines[i] = Line::fromText(entry->name.toString() + u'=' + stored);
                return true;
            }
            if (!trimmed(m_lines[i].text).isEmpty())
                insertAt = i + 1;
        }
        m_lines.insert(insertAt, Line::fromText(keyName.toString() + u'=' + stored));
    } else {
        m_lines.append(Line::fromText(u'[' + sectionText.toString() + u']'));
        m_lines.append(Line::fromText(keyName.toString() + u'=' + stored));
    }
    return true;
}

} // namespace platform
