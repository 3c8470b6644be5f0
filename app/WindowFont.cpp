#include "app/WindowFont.h"

#include "app/Settings.h"

#include <QStringList>

namespace app {

QFont windowFont(int pixelSize)
{
    QFont font;
    QStringList families;
    families << QString::fromLatin1(FontObject::kInitialName)
             << QStringLiteral("DejaVu Sans Condensed") << QStringLiteral("DejaVu Sans");
    font.setFamilies(families);
    font.setPixelSize(pixelSize);
    return font;
}

} // namespace app
