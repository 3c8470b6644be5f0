#include "platform/Fonts.h"

#include <QStringList>

namespace platform {

QFont fontForFace(const QString& name)
{
    QStringList families { name };
    if (name.compare(QLatin1String(kDefaultFaceName), Qt::CaseInsensitive) == 0)
        families << QStringLiteral("DejaVu Sans Condensed") << QStringLiteral("DejaVu Sans");
    QFont font;
    font.setFamilies(families);
    return font;
}

QFont windowFont(int pixelSize)
{
    QFont font = fontForFace(QString::fromLatin1(kDefaultFaceName));
    font.setPixelSize(pixelSize);
    return font;
}

} // namespace platform
