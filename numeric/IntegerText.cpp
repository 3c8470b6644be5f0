#include "numeric/IntegerText.h"

namespace numeric {

namespace {

int hexDigitValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

std::optional<std::uint32_t> parseHex(QStringView digits)
{
    if (digits.isEmpty())
        return std::nullopt;
    std::uint32_t value = 0;
    for (const QChar ch : digits) {
        const int digit = hexDigitValue(ch.unicode());
        // Eight significant digits fill 32 bits; a ninth would push bits out at the top.
        if (digit < 0 || value > 0x0FFFFFFFu)
            return std::nullopt;
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    return value;
}

std::optional<std::int32_t> parseDecimal(QStringView digits, bool negative)
{
    if (digits.isEmpty())
        return std::nullopt;
    // The magnitude of -2147483648 is one more than the largest positive value.
    const std::uint64_t limit = negative ? 2147483648u : 2147483647u;
    std::uint64_t value = 0;
    for (const QChar ch : digits) {
        const char16_t c = ch.unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > limit)
            return std::nullopt;
    }
    const std::uint32_t magnitude = static_cast<std::uint32_t>(value);
    return static_cast<std::int32_t>(negative ? 0u - magnitude : magnitude);
}

} // namespace

std::optional<std::int32_t> integerFromText(QStringView text)
{
    qsizetype pos = 0;
    while (pos < text.size() && text[pos] == u' ')
        ++pos;

    bool negative = false;
    if (pos < text.size() && (text[pos] == u'+' || text[pos] == u'-')) {
        negative = text[pos] == u'-';
        ++pos;
    }

    const QStringView rest = text.mid(pos);
    qsizetype prefix = 0;
    if (rest.startsWith(u'$') || rest.startsWith(u'x') || rest.startsWith(u'X'))
        prefix = 1;
    else if (rest.startsWith(u"0x") || rest.startsWith(u"0X"))
        prefix = 2;

    if (prefix == 0)
        return parseDecimal(rest, negative);

    const std::optional<std::uint32_t> bits = parseHex(rest.mid(prefix));
    if (!bits)
        return std::nullopt;
    // Hexadecimal text gives the bit pattern; the sign then negates it in two's complement.
    return static_cast<std::int32_t>(negative ? 0u - *bits : *bits);
}

ConversionError::ConversionError(const QString& text)
    : std::runtime_error(
        QStringLiteral("'%1' is not a valid integer value").arg(text).toStdString())
{
}

std::int32_t textToInteger(QStringView text)
{
    if (const std::optional<std::int32_t> value = integerFromText(text))
        return *value;
    throw ConversionError(text.toString());
}

} // namespace numeric
