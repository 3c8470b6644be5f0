#include "chart/ChartRenderer.h"

#include "chart/ReadoutFormat.h"
#include "numeric/MulDiv.h"
#include "platform/Fonts.h"
#include "platform/SystemColors.h"

#include <cmath>
#include <limits>

namespace chart {

namespace {

// Coordinates round to the nearest integer, exact halves to the even neighbour, which is
// what nearbyint does in the default rounding mode.
double roundHalfEven(double value)
{
    return std::nearbyint(value);
}

QString faceName(const QString& name)
{
    return name == QLatin1String("Default") ? QString::fromLatin1(platform::kDefaultFaceName)
                                            : name;
}

} // namespace

ChartRenderer::ChartRenderer(QSize size)
    : m_size(size)
    , m_canvas(size)
{
}

void ChartRenderer::InitPictures(const ChartSettings& settings, const ChartScale& scale)
{
    const int w = m_size.width();
    const int h = m_size.height();
    const QColor brush = platform::colorFromValue(settings.BrushGraphColor);
    const QColor axis = platform::colorFromValue(settings.AxisGraphColor);
    platform::Canvas& c = m_canvas;

    c.reset(m_size);
    c.setPenColor(brush);
    c.setBrushColor(brush);
    c.rectangle(0, 0, w, h);

    c.setPenColor(axis);
    c.setPenStyle(platform::PenStyle::Solid);
    c.rectangle(50, 20, w - 49, h - 49);

    c.setFont(faceName(settings.graphFontName),
        numeric::mulDiv(settings.graphFontSize, -settings.dotsPerInch, 72));
    c.setFontColor(axis);

    c.textOut(w - 50, h - 20, scale.horizontalCaption);
    c.textOut(1, 1, scale.verticalCaption);

    // Each tick is a line one pixel long, whose end point is left out: a single pixel.
    for (int i = 0; i <= 4; ++i) {
        const int x = i * (w - 100) / 4 + 50;
        const int y = i * (h - 70) / 4 + 20;
        c.line(x, h - 49, x, h - 50);
        c.line(49, y, 50, y);
    }

    c.setPenStyle(platform::PenStyle::Dot);
    for (int i = 1; i <= 3; ++i) {
        const int x = i * (w - 100) / 4 + 50;
        const int y = i * (h - 70) / 4 + 20;
        c.line(x, 20, x, h - 49);
        c.line(50, y, w - 49, y);
    }
    c.setPenStyle(platform::PenStyle::Solid);

    c.textOut(20, h - 55, formatBound(scale.lower));
    c.textOut(20, 15, formatBound(scale.upper));
}

std::int32_t ChartRenderer::rowOf(double reading, const ChartScale& scale, int height)
{
    const double bottom = height - 51;
    const double row = roundHalfEven(
        bottom - (reading - scale.lower) / (scale.upper - scale.lower) * (height - 71));
    // Clamped like any other value, however far beyond the 32-bit range the row lies.
    if (row > bottom)
        return static_cast<std::int32_t>(bottom);
    if (row >= 21)
        return static_cast<std::int32_t>(row);
    return 21; // above the plot, or no number at all
}

double ChartRenderer::columnOf(std::int32_t index, std::int32_t points, int width)
{
    // The product is a 32-bit integer product; it wraps as such rather than overflowing.
    const auto product = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(index) * static_cast<std::uint32_t>(width - 102));
    return roundHalfEven(static_cast<double>(product) / points + 50);
}

void ChartRenderer::SetDinamicGraphic(const ChartSettings& settings,
    std::span<const double> readings, std::int32_t counter, const ChartScale& scale)
{
    if (counter == 1) {
        InitPictures(settings, scale);
        return;
    }
    if (counter < 2 || static_cast<std::size_t>(counter) > readings.size())
        return;

    const int w = m_size.width();
    const int h = m_size.height();
    const double previous = readings[counter - 2];
    const double newest = readings[counter - 1];
    // Equal bounds leave the rows undefined, and no points per sweep the columns: such a
    // reading draws no segment, but its readout all the same, and the poll cycle goes on.
    if (scale.upper != scale.lower && settings.NPoints != 0) {
        const double x1 = columnOf(counter - 2, settings.NPoints, w);
        const double x2 = columnOf(counter - 1, settings.NPoints, w);
        constexpr double lo = std::numeric_limits<int>::min();
        constexpr double hi = std::numeric_limits<int>::max();
        if (x1 >= lo && x1 <= hi && x2 >= lo && x2 <= hi) {
            m_canvas.setPenColor(platform::colorFromValue(settings.PenGraphColor));
            m_canvas.line(static_cast<int>(x1), rowOf(previous, scale, h), static_cast<int>(x2),
                rowOf(newest, scale, h));
        }
    }

    if (settings.ShowSignalFlag) {
        m_canvas.textOut(250, 120,
            scale.verticalCaption + QStringLiteral(" : ")
                + formatReading(newest, settings.decimalSeparator));
    }
}

} // namespace chart
