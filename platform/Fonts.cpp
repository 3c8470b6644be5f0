#include "platform/Fonts.h"

#include <QStringList>

namespace platform {

bool isDefaultFaceAlias(const QString& name)
{
    return name.compare(QLatin1String(kDefaultFaceAlias), Qt::CaseInsensitive) == 0;
}

QString faceForName(const QString& name)
{
    return isDefaultFaceAlias(name) ? QString::fromLatin1(kDefaultFaceName) : name;
}

QFont fontForFace(const QString& name)
{
    const QString face = faceForName(name);
    QStringList families { face };
    if (face.compare(QLatin1String(kDefaultFaceName), Qt::CaseInsensitive) == 0)
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
