#include "app/WindowFont.h"

#include "platform/Fonts.h"

namespace app {

QFont windowFont(int pixelSize)
{
    QFont font = platform::fontForFace(QString::fromLatin1(platform::kDefaultFaceName));
    font.setPixelSize(pixelSize);
    return font;
}

} // namespace app
