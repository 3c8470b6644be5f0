#include "app/FontStylesToBytes.h"

namespace app {

std::uint8_t FontStylesToBytes(FontStyles styles)
{
    return styles.bits();
}

FontStyles BytesToFontStyles(std::uint8_t byte)
{
    return FontStyles(byte);
}

} // namespace app
