// Writes the program's icon for the desktop's icon theme: the 32 x 32 picture the windows use,
// as it is, and larger sizes drawn anew from the same design (a thermometer beside a chart with
// a rising line), so that menus and docks that want a big icon get a sharp one.
//
// Usage: draw-icon OUTPUT-FOLDER
// Writes OUTPUT-FOLDER/<n>x<n>/apps/velmora-thermo.png for n = 32, 64 and 128.

#include "resources/Pictures.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cstdio>

namespace {

// The design sits on the 32-unit grid of the small picture; everything scales with it.
QImage drawIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);
    const qreal line = 0.5;

    // The chart: a white sheet with a shadow, a grey grid and a blue line climbing to the right.
    const QRectF sheet(13.5, 3.5, 17, 24);
    painter.fillRect(sheet.translated(1, 1), QColor(0x80, 0x80, 0x80));
    painter.fillRect(sheet, Qt::white);
    painter.setPen(QPen(QColor(0xC0, 0xC0, 0xC0), line));
    for (int column = 0; column < 3; ++column) {
        const qreal x = sheet.left() + 5.5 + 6 * column;
        painter.drawLine(QPointF(x, sheet.top()), QPointF(x, sheet.bottom()));
    }
    for (int row = 1; row <= 3; ++row) {
        const qreal y = sheet.top() + 6 * row;
        painter.drawLine(QPointF(sheet.left(), y), QPointF(sheet.right(), y));
    }
    QPainterPath curve(QPointF(14.5, 25.5));
    curve.cubicTo(QPointF(19, 19.5), QPointF(23, 19), QPointF(25, 14));
    curve.cubicTo(QPointF(26.5, 10), QPointF(28, 8), QPointF(29.5, 6.5));
    painter.setPen(QPen(QColor(0x00, 0x00, 0xFF), 1.4, Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(curve);
    painter.setPen(QPen(Qt::black, line * 1.5));
    painter.drawRect(sheet);

    // The thermometer: a glass tube with a scale, red mercury and a bulb with a highlight.
    QPainterPath glass;
    glass.addRoundedRect(QRectF(4.5, 1.5, 5, 24), 2.5, 2.5);
    glass.addEllipse(QPointF(7, 26), 4.2, 4.2);
    glass.setFillRule(Qt::WindingFill);
    painter.setPen(QPen(Qt::black, line * 1.5));
    painter.setBrush(Qt::white);
    painter.drawPath(glass.simplified());
    painter.setPen(QPen(Qt::black, line));
    for (int tick = 0; tick <= 8; ++tick) {
        const qreal y = 5 + 2 * tick;
        painter.drawLine(QPointF(9.5, y), QPointF(tick % 4 == 0 ? 11.8 : 10.8, y));
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xE0, 0x00, 0x00));
    painter.drawRoundedRect(QRectF(6, 10, 2, 16), 1, 1);
    QRadialGradient bulb(QPointF(5.8, 24.8), 4.2);
    bulb.setColorAt(0, QColor(0xFF, 0x60, 0x60));
    bulb.setColorAt(0.5, QColor(0xE0, 0x00, 0x00));
    bulb.setColorAt(1, QColor(0x80, 0x00, 0x00));
    painter.setBrush(bulb);
    painter.drawEllipse(QPointF(7, 26), 3.4, 3.4);
    painter.setBrush(QColor(255, 255, 255, 200));
    painter.drawEllipse(QPointF(5.7, 24.7), 0.9, 0.9);
    return image;
}

bool save(const QImage& image, const QString& folder)
{
    const QString appsFolder = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(image.width());
    const QString path = appsFolder + QStringLiteral("/velmora-thermo.png");
    if (!QDir().mkpath(appsFolder) || !image.save(path, "PNG")) {
        std::fprintf(stderr, "draw-icon: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    // No display is needed to draw into an image.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw-icon OUTPUT-FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QImage small
        = resources::programIconPixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    bool ok = small.size() == QSize(32, 32) && save(small, folder);
    for (const int size : { 64, 128 })
        ok = ok && save(drawIcon(size), folder);
    return ok ? 0 : 1;
}
