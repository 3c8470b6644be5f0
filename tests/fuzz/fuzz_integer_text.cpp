// Fuzzes the integer text rule with any bytes, read both as UTF-8 and as raw UTF-16 (which
// reaches every code unit, lone surrogates and non-ASCII digits included). Besides surviving
// every input, the rule must agree with a plain model of its grammar, and textToInteger with it.

#include "FuzzCheck.h"
#include "numeric/IntegerText.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

namespace {

bool isDecimalDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

int hexDigitValue(char16_t c)
{
    if (isDecimalDigit(c))
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// What the text must read as, worked out on its own terms: blanks, an optional sign, then either a
// hexadecimal prefix and at most 8 significant hex digits (the bit pattern, negated by "-"), or
// decimal digits whose value, in 64 bits, lies in the 32-bit range.
std::optional<std::int32_t> modelValue(QStringView text)
{
    qsizetype pos = 0;
    while (pos < text.size() && text[pos] == u' ')
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == u'+' || text[pos] == u'-'))
        negative = text[pos++] == u'-';
    QStringView rest = text.mid(pos);

    bool hex = false;
    if (!rest.isEmpty() && (rest[0] == u'$' || rest[0] == u'x' || rest[0] == u'X')) {
        hex = true;
        rest = rest.mid(1);
    } else if (rest.size() >= 2 && rest[0] == u'0' && (rest[1] == u'x' || rest[1] == u'X')) {
        hex = true;
        rest = rest.mid(2);
    }
    if (rest.isEmpty())
        return std::nullopt;

    if (hex) {
        std::uint32_t bits = 0;
        int significant = 0;
        for (const QChar ch : rest) {
            const int digit = hexDigitValue(ch.unicode());
            if (digit < 0)
                return std::nullopt;
            if (significant > 0 || digit != 0)
                ++significant;
            bits = (bits << 4) | static_cast<std::uint32_t>(digit);
        }
        if (significant > 8)
            return std::nullopt;
        const std::int64_t value = negative ? -static_cast<std::int64_t>(bits) : bits;
        // Two's complement: the low 32 bits of the (possibly negated) pattern.
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(value & 0xFFFFFFFF));
    }

    std::int64_t magnitude = 0;
    for (const QChar ch : rest) {
        if (!isDecimalDigit(ch.unicode()))
            return std::nullopt;
        magnitude = magnitude * 10 + (ch.unicode() - u'0');
        if (magnitude > 2147483648LL)
            return std::nullopt;
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > 2147483647LL)
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

void checkText(const QString& text)
{
    const std::optional<std::int32_t> value = numeric::integerFromText(text);
    FUZZ_CHECK(value == modelValue(text));

    // textToInteger agrees, and its error names the text as it is.
    try {
        const std::int32_t thrown = numeric::textToInteger(text);
        FUZZ_CHECK(value.has_value() && thrown == *value);
    } catch (const numeric::ConversionError& error) {
        FUZZ_CHECK(!value.has_value());
        // The message is UTF-8, so compare bytes (lone surrogates have no UTF-8 form of their
        // own); what() ends at the first NUL the text may hold.
        std::string expected
            = (QStringLiteral("'") + text + QStringLiteral("' is not a valid integer value"))
                  .toStdString();
        expected.resize(std::strlen(expected.c_str()));
        FUZZ_CHECK(expected == error.what());
    }

    // Leading blanks never matter; a trailing one always fails.
    FUZZ_CHECK(numeric::integerFromText(QStringLiteral(" ") + text) == value);
    FUZZ_CHECK(!numeric::integerFromText(text + QStringLiteral(" ")).has_value());

    if (!value)
        return;
    // A value prints back, in decimal and in hexadecimal, to text that reads as the same value.
    const auto bits = static_cast<std::uint32_t>(*value);
    FUZZ_CHECK(numeric::integerFromText(QString::number(*value)) == value);
    FUZZ_CHECK(numeric::integerFromText(QStringLiteral("$") + QString::number(bits, 16)) == value);
    FUZZ_CHECK(numeric::integerFromText(QStringLiteral("0X") + QString::number(bits, 16).toUpper())
        == value);
    FUZZ_CHECK(
        numeric::integerFromText(QStringLiteral("-$") + QString::number(0u - bits, 16)) == value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto* chars = reinterpret_cast<const char*>(data);
    checkText(QString::fromUtf8(chars, static_cast<qsizetype>(size)));

    QString utf16(static_cast<qsizetype>(size / 2), Qt::Uninitialized);
    if (!utf16.isEmpty())
        std::memcpy(utf16.data(), data, utf16.size() * sizeof(char16_t));
    checkText(utf16);
    return 0;
}
