#pragma once

#include <cstdint>

namespace app {

/** The four font style flags; the ordinal of each is its bit in the style byte. */
enum class FontStyle : std::uint8_t { Bold = 0, Italic = 1, Underline = 2, StrikeOut = 3 };

/**
 * A font's style set. Bits 4 to 7 select no style but are kept, so a style byte read from the
 * settings file is written back unchanged.
 */
class FontStyles {
public:
    constexpr FontStyles() = default;
    constexpr explicit FontStyles(std::uint8_t bits)
        : m_bits(bits)
    {
    }

    constexpr bool has(FontStyle style) const { return (m_bits >> static_cast<int>(style)) & 1u; }
    constexpr std::uint8_t bits() const { return m_bits; }
    constexpr bool operator==(const FontStyles&) const = default;

private:
    std::uint8_t m_bits = 0;
};

/** The style byte of a style set: bit i set for the style of ordinal i. */
std::uint8_t FontStylesToBytes(FontStyles styles);

/** The style set of a style byte; callers pass the low 8 bits of the integer they read. */
FontStyles BytesToFontStyles(std::uint8_t byte);

} // namespace app
