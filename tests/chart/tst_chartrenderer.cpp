#include "chart/ChartGeometry.h"
#include "chart/ChartRenderer.h"
#include "chart/ReadoutFormat.h"
#include "platform/Canvas.h"
#include "platform/Fonts.h"

#include <QGuiApplication>
#include <QLocale>
#include <QPalette>
#include <QTest>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>
#include <vector>

using chart::ChartGeometry;
using chart::ChartRenderer;
using chart::ChartScale;
using chart::ChartSettings;

namespace {

constexpr int kW = chart::kChartWidth;
constexpr int kH = chart::kChartHeight;
const QRgb kBackground = qRgb(0, 0, 0);
const QRgb kPen = qRgb(0, 255, 0);
const QRgb kAxis = qRgb(255, 255, 0); // 0x00FFFF: red and green

ChartSettings defaults()
{
    ChartSettings s;
    s.ShowSignalFlag = false;
    return s;
}

ChartScale scale(double lower = 20, double upper = 40, bool captions = true)
{
    ChartScale s { lower, upper, {}, {} };
    if (captions) {
        s.horizontalCaption = QStringLiteral("t, mm:ss");
        s.verticalCaption = QStringLiteral("T, deg. C");
    }
    return s;
}

// A canvas with the chart's font at @p points, to measure and draw text as the chart does.
platform::Canvas textCanvas(int points = 8, QSize size = QSize(kW, kH))
{
    platform::Canvas c(size);
    c.setFont(QString::fromLatin1(platform::kDefaultFaceName), -qRound(points * 96 / 72.0));
    c.setBrushColor(QColor(kBackground));
    c.setFontColor(QColor(kAxis));
    return c;
}

QRect cell(QPoint at, const QString& text, int points = 8, QSize size = QSize(kW, kH))
{
    return QRect(at, textCanvas(points).textSize(text)).intersected(QRect(QPoint(), size));
}

// The cell of @p text as it looks when written alone at @p at.
QImage textImage(QPoint at, const QString& text, int points = 8, QSize size = QSize(kW, kH))
{
    platform::Canvas c = textCanvas(points, size);
    c.textOut(at.x(), at.y(), text);
    return c.image().copy(cell(at, text, points, size));
}

// One pixel per step along the longer axis, the other coordinate rounded to the nearest
// integer with an exact half going to the smaller one; the end point is left out.
void referenceLine(QImage& image, QPoint from, QPoint to, QRgb color, bool dotted = false)
{
    const int dx = to.x() - from.x();
    const int dy = to.y() - from.y();
    const int steps = std::max(std::abs(dx), std::abs(dy));
    for (int k = 0; k < steps; ++k) {
        const double x = from.x() + double(k) * dx / steps;
        const double y = from.y() + double(k) * dy / steps;
        const QPoint p(int(std::ceil(x - 0.5)), int(std::ceil(y - 0.5)));
        if (image.rect().contains(p))
            image.setPixel(p, dotted && k % 6 >= 3 ? kBackground : color);
    }
}

// The empty chart in the default colours, without any text: in 600 x 150 the frame on columns
// 50 and 550 and rows 20 and 100, the ticks 125 columns and 20 rows apart.
QImage emptyChart(int w = kW, int h = kH)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(kBackground);
    const QList<QPoint> corners { { 50, 20 }, { w - 50, 20 }, { w - 50, h - 50 }, { 50, h - 50 } };
    for (int i = 0; i < 4; ++i)
        referenceLine(image, corners[i], corners[(i + 1) % 4], kAxis);
    const auto tickX = [&](int i) { return 50 + i * (w - 100) / 4; };
    const auto tickY = [&](int i) { return 20 + i * (h - 70) / 4; };
    for (int i = 0; i <= 4; ++i) {
        image.setPixel(tickX(i), h - 49, kAxis);
        image.setPixel(49, tickY(i), kAxis);
    }
    for (int i = 1; i <= 3; ++i) {
        referenceLine(image, { tickX(i), 20 }, { tickX(i), h - 49 }, kAxis, true);
        referenceLine(image, { 50, tickY(i) }, { w - 49, tickY(i) }, kAxis, true);
    }
    return image;
}

QList<QRect> labelCells(const QString& bottom = QStringLiteral("20"),
    const QString& top = QStringLiteral("40"), int points = 8, QSize size = QSize(kW, kH))
{
    return { cell({ 20, size.height() - 55 }, bottom, points, size),
        cell({ 20, 15 }, top, points, size) };
}

// Empty when the images agree outside @p skip, else where they first differ.
QString difference(const QImage& actual, const QImage& expected, const QList<QRect>& skip = {})
{
    const auto hex
        = [](QRgb c) { return QString::number(c & 0xFFFFFF, 16).rightJustified(6, u'0'); };
    const auto skipped = [&](int x, int y) {
        return std::any_of(skip.begin(), skip.end(), [&](QRect r) { return r.contains(x, y); });
    };
    if (actual.size() != expected.size())
        return QStringLiteral("the size differs");
    for (int y = 0; y < expected.height(); ++y) {
        for (int x = 0; x < expected.width(); ++x) {
            const QRgb is = actual.pixel(x, y);
            const QRgb was = expected.pixel(x, y);
            if (is != was && !skipped(x, y))
                return QStringLiteral("(%1, %2) is #%3, expected #%4")
                    .arg(x)
                    .arg(y)
                    .arg(hex(is), hex(was));
        }
    }
    return {};
}

// Rounds num / den (den > 0) to the nearest integer, an exact half to the even one.
int roundEven(long long num, long long den)
{
    const long long floor = num >= 0 ? num / den : -((den - 1 - num) / den);
    const long long twice = 2 * (num - floor * den);
    return int(floor + (twice > den || (twice == den && floor % 2 != 0)));
}

} // namespace

class TstChartRenderer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void emptyChartPixels_data();
    void emptyChartPixels();
    void emptyChartMatchesReference();
    void labelsAndCaptions_data();
    void labelsAndCaptions();
    void rowOf_data();
    void rowOf();
    void columnOf_data();
    void columnOf();
    void segments_data();
    void segments();
    void drawsNothing_data();
    void drawsNothing();
    void undefinedSegmentKeepsTheReadout_data();
    void undefinedSegmentKeepsTheReadout();
    void readout_data();
    void readout();
    void otherSizes_data();
    void otherSizes();
    void largeFontMovesNothing();
    void systemColours();
};

void TstChartRenderer::emptyChartPixels_data()
{
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<bool>("axis");

    // The frame's outline; single-pixel ticks under and left of it; the grid three on, three off
    // from the start of each line; the crossings, painted by the later of the two grid lines.
    QList<QPoint> axis { { 50, 20 }, { 50, 100 }, { 550, 20 }, { 550, 100 }, { 50, 57 },
        { 550, 57 }, { 300, 20 }, { 300, 100 }, { 175, 22 }, { 175, 26 }, { 300, 99 }, { 52, 60 },
        { 548, 80 }, { 549, 80 }, { 300, 40 }, { 425, 40 } };
    QList<QPoint> background { { 551, 57 }, { 300, 19 }, { 300, 102 }, { 100, 30 }, { 51, 21 },
        { 549, 99 }, { 0, 0 }, { 599, 149 }, { 175, 23 }, { 175, 25 }, { 425, 97 }, { 53, 40 },
        { 547, 80 }, { 175, 40 }, { 175, 60 }, { 175, 80 }, { 300, 60 }, { 300, 80 }, { 425, 60 },
        { 425, 80 } };
    for (int i = 0; i <= 4; ++i) {
        axis << QPoint(50 + 125 * i, 101) << QPoint(49, 20 + 20 * i);
        background << QPoint(51 + 125 * i, 101) << QPoint(48, 20 + 20 * i)
                   << QPoint(49, 21 + 20 * i);
    }
    for (const bool isAxis : { true, false }) {
        for (const QPoint p : isAxis ? axis : background)
            QTest::addRow("(%d,%d)", p.x(), p.y()) << p << isAxis;
    }
}

void TstChartRenderer::emptyChartPixels()
{
    QFETCH(QPoint, at);
    QFETCH(bool, axis);

    ChartRenderer chart;
    chart.InitPictures(defaults(), scale());
    QCOMPARE(chart.image().pixel(at), axis ? kAxis : kBackground);
}

void TstChartRenderer::emptyChartMatchesReference()
{
    const QImage reference = emptyChart();
    const auto* bits = reinterpret_cast<const QRgb*>(reference.constBits());
    QCOMPARE(std::count(bits, bits + std::ptrdiff_t(kW) * kH, kAxis), 2036);

    ChartRenderer chart;
    chart.InitPictures(defaults(), scale(20, 40, false));
    QCOMPARE(difference(chart.image(), reference, labelCells()), QString());
}

void TstChartRenderer::labelsAndCaptions_data()
{
    QTest::addColumn<double>("lower");
    QTest::addColumn<double>("upper");
    QTest::addColumn<QString>("bottom");
    QTest::addColumn<QString>("top");
    QTest::addColumn<QString>("font");

    const QString face = QString::fromLatin1(platform::kDefaultFaceName);
    QTest::newRow("20..40") << 20.0 << 40.0 << QStringLiteral("20") << QStringLiteral("40") << face;
    QTest::newRow("-5..0") << -5.0 << 0.0 << QStringLiteral("-5") << QStringLiteral("0") << face;
    // The lower bound keeps its place at the bottom even when it is the larger one.
    QTest::newRow("40..20") << 40.0 << 20.0 << QStringLiteral("40") << QStringLiteral("20") << face;
    QTest::newRow("30..30") << 30.0 << 30.0 << QStringLiteral("30") << QStringLiteral("30") << face;
    // "Default" in any letter case is the default face.
    for (const char* name : { "Default", "default", "DEFAULT" }) {
        QTest::addRow("font %s", name) << 20.0 << 40.0 << QStringLiteral("20")
                                       << QStringLiteral("40") << QString::fromLatin1(name);
    }
}

void TstChartRenderer::labelsAndCaptions()
{
    QFETCH(double, lower);
    QFETCH(double, upper);
    QFETCH(QString, bottom);
    QFETCH(QString, top);
    QFETCH(QString, font);

    ChartSettings settings = defaults();
    settings.graphFontName = font;
    ChartRenderer chart;
    chart.InitPictures(settings, scale(lower, upper));
    const QList<QPoint> at { { 20, 95 }, { 20, 15 }, { 550, 130 }, { 1, 1 } };
    const QStringList texts { bottom, top, QStringLiteral("t, mm:ss"),
        QStringLiteral("T, deg. C") };
    QList<QRect> cells;
    for (qsizetype i = 0; i < at.size(); ++i) {
        cells << cell(at[i], texts[i]);
        QCOMPARE(chart.image().copy(cells.last()), textImage(at[i], texts[i]));
    }
    QCOMPARE(difference(chart.image(), emptyChart(), cells), QString());
}

void TstChartRenderer::rowOf_data()
{
    QTest::addColumn<double>("reading");
    QTest::addColumn<double>("lower");
    QTest::addColumn<double>("upper");
    QTest::addColumn<int>("expected");

    QTest::newRow("20 in 20..40") << 20.0 << 20.0 << 40.0 << 99;
    QTest::newRow("25 in 20..40") << 25.0 << 20.0 << 40.0 << 79;
    QTest::newRow("23.4 in 20..40") << 23.4 << 20.0 << 40.0 << 86;
    QTest::newRow("30 in 20..40") << 30.0 << 20.0 << 40.0 << 60; // 59.5, to even
    QTest::newRow("40 in 20..40") << 40.0 << 20.0 << 40.0 << 21; // not the frame's row 20
    QTest::newRow("6553.5 in 20..40") << 6553.5 << 20.0 << 40.0 << 21;
    QTest::newRow("0 in 20..40") << 0.0 << 20.0 << 40.0 << 99;
    QTest::newRow("35 in 40..20") << 35.0 << 40.0 << 20.0 << 79;
    QTest::newRow("25 in 40..20") << 25.0 << 40.0 << 20.0 << 40;
    QTest::newRow("45 in 40..20") << 45.0 << 40.0 << 20.0 << 99;
    QTest::newRow("0 in 2147483646..2147483647") << 0.0 << 2147483646.0 << 2147483647.0 << 99;
    QTest::newRow("0 in -2147483648..-2147483647") << 0.0 << -2147483648.0 << -2147483647.0 << 21;
}

void TstChartRenderer::rowOf()
{
    QFETCH(double, reading);
    QFETCH(double, lower);
    QFETCH(double, upper);
    QFETCH(int, expected);

    QCOMPARE(
        ChartRenderer::rowOf(reading, scale(lower, upper), ChartGeometry(QSize(kW, kH))), expected);
}

void TstChartRenderer::columnOf_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("points");
    QTest::addColumn<double>("expected");

    QTest::newRow("0 of 1000") << 0 << 1000 << 50.0;
    QTest::newRow("1 of 996") << 1 << 996 << 50.0; // 50.5, to even
    QTest::newRow("3 of 996") << 3 << 996 << 52.0; // 51.5, to even
    QTest::newRow("999 of 1000") << 999 << 1000 << 548.0;
    QTest::newRow("1 of 50") << 1 << 50 << 60.0;
    QTest::newRow("49 of 50") << 49 << 50 << 538.0;
    QTest::newRow("3 of 2") << 3 << 2 << 797.0; // beyond the sweep, not clamped
    QTest::newRow("1 of -10") << 1 << -10 << 0.0;
    // The product index * 498 wraps as a 32-bit integer.
    QTest::newRow("4312700 of 1") << 4312700 << 1 << -2147242646.0;
}

void TstChartRenderer::columnOf()
{
    QFETCH(int, index);
    QFETCH(int, points);
    QFETCH(double, expected);

    QCOMPARE(ChartRenderer::columnOf(index, points, ChartGeometry(QSize(kW, kH))), expected);
}

void TstChartRenderer::segments_data()
{
    QTest::addColumn<int>("points");
    QTest::addColumn<double>("lower");
    QTest::addColumn<double>("upper");
    QTest::addColumn<QList<double>>("readings");
    QTest::addColumn<QList<QPoint>>("expected");

    QTest::newRow("ties with 996 points")
        << 996 << 20.0 << 40.0 << QList<double> { 30, 25, 30, 35, 40 }
        << QList<QPoint> { { 50, 60 }, { 50, 79 }, { 51, 60 }, { 52, 40 }, { 52, 21 } };
    QTest::newRow("beyond both bounds")
        << 10 << 20.0 << 40.0 << QList<double> { 45, 20, 10, 40, 1000, 0 }
        << QList<QPoint> { { 50, 21 }, { 100, 99 }, { 150, 99 }, { 199, 21 }, { 249, 21 },
               { 299, 99 } };
    QTest::newRow("inverted bounds")
        << 4 << 40.0 << 20.0 << QList<double> { 20, 25, 35, 40 }
        << QList<QPoint> { { 50, 21 }, { 174, 40 }, { 299, 79 }, { 424, 99 } };
    QTest::newRow("counter beyond the sweep")
        << 2 << 20.0 << 40.0 << QList<double> { 20, 40, 30, 25 }
        << QList<QPoint> { { 50, 99 }, { 299, 21 }, { 548, 60 }, { 797, 79 } };

    // A whole sweep of readings in tenths, many beyond the scale on either side, placed exactly.
    QList<double> readings;
    QList<QPoint> expected;
    for (int k = 0; k < 50; ++k) {
        const int tenths = k == 7 ? 300 : (k * 137) % 600 + 50;
        readings << tenths / 10.0;
        expected << QPoint(roundEven(k * 498 + 50 * 50, 50),
            std::clamp(roundEven(99 * 200 - (tenths - 200) * 79, 200), 21, 99));
    }
    QTest::newRow("sweep of 50") << 50 << 20.0 << 40.0 << readings << expected;
}

void TstChartRenderer::segments()
{
    QFETCH(int, points);
    QFETCH(double, lower);
    QFETCH(double, upper);
    QFETCH(QList<double>, readings);
    QFETCH(QList<QPoint>, expected);

    ChartSettings settings = defaults();
    settings.NPoints = points;
    settings.ShowSignalFlag = true;
    std::vector<double> buffer(10000, 0.0);
    std::copy(readings.begin(), readings.end(), buffer.begin());
    ChartRenderer chart;
    QImage reference = emptyChart();
    // The readouts stand below the frame, clear of the line; they are checked on their own.
    const QRect readouts(250, 120, kW - 250, cell({ 250, 120 }, QStringLiteral("0")).height());
    const QList<QRect> labels = labelCells(chart::formatBound(lower), chart::formatBound(upper));
    for (int counter = 1; counter <= readings.size(); ++counter) {
        chart.SetDinamicGraphic(settings, buffer, counter, scale(lower, upper, false));
        if (counter >= 2)
            referenceLine(reference, expected[counter - 2], expected[counter - 1], kPen);
        QCOMPARE(difference(chart.image(), reference, QList<QRect>(labels) << readouts), QString());
    }
    // The next sweep starts on an empty chart.
    chart.SetDinamicGraphic(settings, buffer, 1, scale(lower, upper, false));
    QCOMPARE(difference(chart.image(), emptyChart(), labels), QString());
}

void TstChartRenderer::drawsNothing_data()
{
    QTest::addColumn<int>("points");
    QTest::addColumn<double>("bound");
    QTest::addColumn<int>("counter");
    QTest::addColumn<int>("buffered");

    QTest::newRow("counter 0") << 1000 << 40.0 << 0 << 10000;
    QTest::newRow("counter -1") << 1000 << 40.0 << -1 << 10000;
    QTest::newRow("counter INT_MIN") << 1000 << 40.0 << INT_MIN << 10000;
    QTest::newRow("counter 10001") << 1000 << 40.0 << 10001 << 10000;
    QTest::newRow("counter 6 of 5 buffered") << 1000 << 40.0 << 6 << 5;
}

void TstChartRenderer::undefinedSegmentKeepsTheReadout_data()
{
    QTest::addColumn<int>("points");
    QTest::addColumn<double>("bound");
    QTest::newRow("equal bounds") << 1000 << 20.0;
    QTest::newRow("NPoints 0") << 0 << 40.0;
}

void TstChartRenderer::undefinedSegmentKeepsTheReadout()
{
    QFETCH(int, points);
    QFETCH(double, bound);
    ChartSettings settings = defaults();
    settings.NPoints = points;
    settings.ShowSignalFlag = true;
    const std::vector<double> buffer(10000, 30.0);
    ChartRenderer chart;
    chart.InitPictures(settings, scale(20, bound));
    const QImage before = chart.image().copy();
    chart.SetDinamicGraphic(settings, buffer, 2, scale(20, bound));

    // Only the readout's cell changed, and it holds the reading.
    const QRect readout = cell(QPoint(250, 120), QStringLiteral("T, deg. C : 30.0"));
    bool textInCell = false;
    for (int y = 0; y < before.height(); ++y) {
        for (int x = 0; x < before.width(); ++x) {
            if (readout.contains(x, y))
                textInCell |= chart.image().pixel(x, y) == qRgb(255, 255, 0);
            else
                QCOMPARE(chart.image().pixel(x, y), before.pixel(x, y));
        }
    }
    QVERIFY(textInCell);
}

void TstChartRenderer::drawsNothing()
{
    QFETCH(int, points);
    QFETCH(double, bound);
    QFETCH(int, counter);
    QFETCH(int, buffered);

    ChartSettings settings = defaults();
    settings.NPoints = points;
    settings.ShowSignalFlag = true;
    const std::vector<double> buffer(std::size_t(buffered), 30.0);
    ChartRenderer chart;
    chart.InitPictures(settings, scale(20, bound));
    const QImage before = chart.image().copy();
    chart.SetDinamicGraphic(settings, buffer, counter, scale(20, bound));
    QCOMPARE(chart.image(), before);
}

void TstChartRenderer::readout_data()
{
    QTest::addColumn<bool>("show");
    QTest::addColumn<QString>("separator");

    QTest::newRow("shown") << true << QStringLiteral(".");
    QTest::newRow("shown, comma") << true << QStringLiteral(",");
    QTest::newRow("hidden") << false << QStringLiteral(".");
}

void TstChartRenderer::readout()
{
    QFETCH(bool, show);
    QFETCH(QString, separator);

    ChartSettings settings = defaults();
    settings.ShowSignalFlag = show;
    settings.decimalSeparator = separator;
    settings.NPoints = 10;
    const std::vector<double> buffer { 20.0, 123.4, 23.4 };
    ChartRenderer chart;
    chart.SetDinamicGraphic(settings, buffer, 1, scale());
    QImage expected = chart.image().copy();
    referenceLine(expected, { 50, 99 }, { 100, 21 }, kPen);
    referenceLine(expected, { 100, 21 }, { 150, 86 }, kPen);
    for (int counter = 2; counter <= 3; ++counter)
        chart.SetDinamicGraphic(settings, buffer, counter, scale());
    if (!show) {
        QCOMPARE(chart.image(), expected);
        return;
    }

    // The newest readout repaints only its own cell: the end of the longer one before it stays.
    const QString longer = QStringLiteral("T, deg. C : 123") + separator + u'0';
    const QString newest = QStringLiteral("T, deg. C : 23") + separator + u'4';
    const QRect longCell = cell({ 250, 120 }, longer);
    const QRect newCell = cell({ 250, 120 }, newest);
    const QRect rest(
        newCell.right() + 1, 120, longCell.right() - newCell.right(), newCell.height());
    QVERIFY(!rest.isEmpty());
    QCOMPARE(chart.image().copy(newCell), textImage({ 250, 120 }, newest));
    QCOMPARE(chart.image().copy(rest),
        textImage({ 250, 120 }, longer).copy(rest.translated(-250, -120)));
    QCOMPARE(difference(chart.image(), expected, { longCell }), QString());
}

void TstChartRenderer::otherSizes_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QList<QPoint>>("expected");

    // Readings 20, 30, 40 of a sweep of 4 points on a 20..40 scale: the rows run from one above
    // the frame's bottom line up to one below its top line, the columns from its left line.
    QTest::newRow("400x100") << QSize(400, 100)
                             << QList<QPoint> { { 50, 49 }, { 124, 34 }, { 199, 21 } };
    QTest::newRow("1000x300") << QSize(1000, 300)
                              << QList<QPoint> { { 50, 249 }, { 274, 134 }, { 499, 21 } };
}

void TstChartRenderer::otherSizes()
{
    QFETCH(QSize, size);
    QFETCH(QList<QPoint>, expected);

    ChartSettings settings = defaults();
    settings.NPoints = 4;
    const std::vector<double> buffer { 20.0, 30.0, 40.0 };
    ChartRenderer chart(size);
    QImage reference = emptyChart(size.width(), size.height());
    const QList<QRect> labels = labelCells(QStringLiteral("20"), QStringLiteral("40"), 8, size);
    for (int counter = 1; counter <= 3; ++counter) {
        chart.SetDinamicGraphic(settings, buffer, counter, scale(20, 40, false));
        if (counter >= 2)
            referenceLine(reference, expected[counter - 2], expected[counter - 1], kPen);
    }
    QCOMPARE(difference(chart.image(), reference, labels), QString());
    QVERIFY(!labels[0].isEmpty());
    QCOMPARE(chart.image().copy(labels[0]),
        textImage({ 20, size.height() - 55 }, QStringLiteral("20"), 8, size));
}

void TstChartRenderer::largeFontMovesNothing()
{
    ChartSettings settings = defaults();
    settings.graphFontSize = 100;
    ChartRenderer chart;
    chart.InitPictures(settings, scale(20, 40, false));

    const QList<QRect> cells = labelCells(QStringLiteral("20"), QStringLiteral("40"), 100);
    QVERIFY(cells[1].height() > 100);
    // The upper label comes last and covers most of the lower one.
    QCOMPARE(chart.image().copy(cells[1]), textImage({ 20, 15 }, QStringLiteral("40"), 100));
    QCOMPARE(difference(chart.image(), emptyChart(), cells), QString());
}

void TstChartRenderer::systemColours()
{
    // Negative values are system colours: 5 is the window, 8 the window text.
    ChartSettings settings = defaults();
    settings.BrushGraphColor = -16777211;
    settings.AxisGraphColor = -16777208;
    const QPalette palette = QGuiApplication::palette();
    const QRgb window = palette.color(QPalette::Active, QPalette::Base).rgb();
    const QRgb text = palette.color(QPalette::Active, QPalette::WindowText).rgb();
    QVERIFY(window != text);

    ChartRenderer chart;
    chart.InitPictures(settings, scale());
    for (const QPoint p : { QPoint(599, 149), QPoint(100, 30), QPoint(175, 23) })
        QCOMPARE(chart.image().pixel(p), window);
    for (const QPoint p : { QPoint(50, 20), QPoint(49, 60), QPoint(175, 22) })
        QCOMPARE(chart.image().pixel(p), text);
}

QTEST_MAIN(TstChartRenderer)
#include "tst_chartrenderer.moc"
