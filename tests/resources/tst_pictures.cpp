#include "resources/Pictures.h"

#include <QIcon>
#include <QImage>
#include <QSet>
#include <QTest>

using resources::ToolPicture;

namespace {

QImage argbOf(const QPixmap& pixmap)
{
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
}

// Transparent pixels carry no colour of their own; blanking them lets two pictures be compared
// by what they show.
QImage shown(const QPixmap& pixmap)
{
    QImage image = argbOf(pixmap);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) == 0)
                image.setPixel(x, y, 0);
        }
    }
    return image;
}

struct Mask {
    int opaque = 0;
    int partial = 0;
    bool cornersClear = true;
};

// The pictures have a one-bit mask (drawn or see-through, nothing in between) and never reach
// into the corners, so they sit cleanly on any tool-bar or menu background.
Mask maskOf(const QImage& image)
{
    Mask mask;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int alpha = qAlpha(image.pixel(x, y));
            mask.opaque += alpha == 255 ? 1 : 0;
            mask.partial += alpha != 0 && alpha != 255 ? 1 : 0;
        }
    }
    const int right = image.width() - 1;
    const int bottom = image.height() - 1;
    for (const QPoint corner :
        { QPoint(0, 0), QPoint(right, 0), QPoint(0, bottom), QPoint(right, bottom) })
        mask.cornersClear = mask.cornersClear && qAlpha(image.pixel(corner)) == 0;
    return mask;
}

void addPictureRows(bool withParameters)
{
    QTest::addColumn<int>("picture");
    QTest::newRow("set limits") << int(ToolPicture::SetLimits);
    QTest::newRow("start") << int(ToolPicture::Start);
    QTest::newRow("stop") << int(ToolPicture::Stop);
    if (withParameters)
        QTest::newRow("parameters") << int(ToolPicture::Parameters);
    QTest::newRow("about") << int(ToolPicture::About);
}

} // namespace

class TstPictures : public QObject {
    Q_OBJECT
private slots:
    void toolPicture_data() { addPictureRows(true); }
    void toolPicture()
    {
        QFETCH(int, picture);
        const QPixmap pixmap = resources::toolPicture(ToolPicture(picture));
        QCOMPARE(pixmap.size(), QSize(16, 16));
        QVERIFY(pixmap.hasAlphaChannel());
        const Mask mask = maskOf(argbOf(pixmap));
        QVERIFY(mask.cornersClear);
        QCOMPARE(mask.partial, 0);
        QVERIFY2(mask.opaque > 32 && mask.opaque < 224, qPrintable(QString::number(mask.opaque)));
    }

    void menuPicture_data() { addPictureRows(false); }
    void menuPicture()
    {
        QFETCH(int, picture);
        const QPixmap pixmap = resources::menuPicture(ToolPicture(picture));
        QCOMPARE(pixmap.size(), QSize(16, 16));
        const QImage image = argbOf(pixmap);
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const QRgb pixel = image.pixel(x, y);
                QVERIFY2(qAlpha(pixel) == 0 || qAlpha(pixel) == 255, "partly transparent");
                QVERIFY2(qAlpha(pixel) == 0 || (pixel & RGB_MASK) != 0xFF00FF, "magenta shows");
            }
        }
        // The menu shows exactly the tool-bar picture of the same command.
        QCOMPARE(shown(pixmap), shown(resources::toolPicture(ToolPicture(picture))));
    }

    void missingPicturesAreNull()
    {
        const auto outside = ToolPicture(resources::kToolPictureCount);
        QVERIFY(resources::menuPicture(ToolPicture::Parameters).isNull());
        QVERIFY(resources::toolPicture(outside).isNull());
        QVERIFY(resources::menuPicture(outside).isNull());
    }

    void toolPicturesDiffer()
    {
        QSet<QByteArray> seen;
        for (int i = 0; i < resources::kToolPictureCount; ++i) {
            const QImage image = shown(resources::toolPicture(ToolPicture(i)));
            seen.insert(
                QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()));
        }
        QCOMPARE(seen.size(), resources::kToolPictureCount);
    }

    void programIconUsesVgaColours()
    {
        const QPixmap pixmap = resources::programIconPixmap();
        QCOMPARE(pixmap.size(), QSize(32, 32));
        const QImage image = argbOf(pixmap);
        const Mask mask = maskOf(image);
        QVERIFY(mask.cornersClear);
        QCOMPARE(mask.partial, 0);
        QVERIFY(mask.opaque > 256);

        const QSet<QRgb> vga { 0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080,
            0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF,
            0xFFFFFF };
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb pixel = image.pixel(x, y);
                if (qAlpha(pixel) != 0 && !vga.contains(pixel & RGB_MASK))
                    QFAIL(qPrintable(QStringLiteral("colour %1 at %2,%3 is not a VGA colour")
                                         .arg(pixel & RGB_MASK, 6, 16, QLatin1Char('0'))
                                         .arg(x)
                                         .arg(y)));
            }
        }

        const QIcon icon = resources::programIcon();
        QCOMPARE(icon.availableSizes(), QList<QSize> { QSize(32, 32) });
    }
};

QTEST_MAIN(TstPictures)
#include "tst_pictures.moc"
