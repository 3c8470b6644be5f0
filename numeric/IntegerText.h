#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>
#include <stdexcept>

namespace numeric {

/**
 * The program's one conversion from text to a signed 32-bit integer, used by the settings file,
 * the number fields and the keypad:
 * leading spaces (code 32 only) are skipped; one "+" or "-" may follow; "$", "x", "X", "0x" or
 * "0X" introduce hexadecimal digits (at most 8 significant ones, read as two's complement, so
 * "$FFFFFFFF" is -1); otherwise decimal digits from -2147483648 to 2147483647, leading zeros
 * allowed. The digits must run to the end of the text.
 *
 * Returns no value for anything else: empty or blank text, a sign or prefix without digits, a
 * second sign, a trailing blank, a decimal separator, any other character, or a number out of
 * range.
 */
std::optional<std::int32_t> integerFromText(QStringView text);

/** The failure of textToInteger; its message is what the error box shows. */
class ConversionError : public std::runtime_error {
public:
    explicit ConversionError(const QString& text);
};

/**
 * integerFromText for callers that report a failure in the error box: throws ConversionError
 * with the message "'<text>' is not a valid integer value".
 */
std::int32_t textToInteger(QStringView text);

} // namespace numeric
