#include "resources/Pictures.h"

#include <QImage>
#include <QString>

// Q_INIT_RESOURCE declares the initialiser it calls, so it has to run outside any namespace.
static void registerPictureResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace resources {

namespace {

// The pictures live in a static library whose resource initialiser nothing else refers to,
// so the linker would drop it; registering by hand before the first load keeps it in.
void ensureRegistered()
{
    static const bool registered = [] {
        registerPictureResources();
        return true;
    }();
    Q_UNUSED(registered);
}

const char* pictureName(ToolPicture picture)
{
    switch (picture) {
    case ToolPicture::SetLimits:
        return "set-limits";
    case ToolPicture::Start:
        return "start";
    case ToolPicture::Stop:
        return "stop";
    case ToolPicture::Parameters:
        return "parameters";
    case ToolPicture::About:
        return "about";
    }
    return nullptr;
}

QString picturePath(const char* kind, const char* name)
{
    return QStringLiteral(":/pictures/%1-%2.xpm").arg(QLatin1String(kind), QLatin1String(name));
}

// The menu pictures are drawn on pure magenta; exactly that colour becomes see-through,
// so a drawing pixel that is merely close to it stays visible.
QPixmap withMagentaTransparent(QImage image)
{
    constexpr QRgb kMagenta = qRgb(0xFF, 0x00, 0xFF);
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (line[x] == kMagenta)
                line[x] = qRgba(0, 0, 0, 0);
        }
    }
    return QPixmap::fromImage(image);
}

} // namespace

QPixmap toolPicture(ToolPicture picture)
{
    const char* name = pictureName(picture);
    if (!name)
        return {};
    ensureRegistered();
    return QPixmap(picturePath("tool", name), "XPM");
}

QPixmap menuPicture(ToolPicture picture)
{
    const char* name = pictureName(picture);
    if (!name || picture == ToolPicture::Parameters)
        return {};
    ensureRegistered();
    const QImage image(picturePath("menu", name), "XPM");
    if (image.isNull())
        return {};
    return withMagentaTransparent(image);
}

QPixmap programIconPixmap()
{
    ensureRegistered();
    return QPixmap(QStringLiteral(":/pictures/program-icon.xpm"), "XPM");
}

QIcon programIcon()
{
    return QIcon(programIconPixmap());
}

QPixmap spinUpPicture()
{
    ensureRegistered();
    return QPixmap(QStringLiteral(":/pictures/spin-up.xpm"), "XPM");
}

QPixmap spinDownPicture()
{
    ensureRegistered();
    return QPixmap(QStringLiteral(":/pictures/spin-down.xpm"), "XPM");
}

} // namespace resources
