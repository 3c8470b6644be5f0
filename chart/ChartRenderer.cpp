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

} // namespace

ChartRenderer::ChartRenderer(QSize size)
    : m_geometry(size)
    , m_canvas(size)
{
}

void ChartRenderer::InitPictures(const ChartSettings& settings, const ChartScale& scale)
{
    const ChartGeometry& g = m_geometry;
    const QRect frame = g.frame();
    const QColor brush = platform::colorFromValue(settings.BrushGraphColor);
    const QColor axis = platform::colorFromValue(settings.AxisGraphColor);
    platform::Canvas& c = m_canvas;

    c.reset(g.size());
    c.setPenColor(brush);
    c.setBrushColor(brush);
    c.rectangle(0, 0, g.width(), g.height());

    // A rectangle's right and bottom lie one past its outline.
    c.setPenColor(axis);
    c.setPenStyle(platform::PenStyle::Solid);
    c.rectangle(frame.left(), frame.top(), frame.right() + 1, frame.bottom() + 1);

    c.setFont(platform::faceForName(settings.graphFontName),
        numeric::mulDiv(settings.graphFontSize, -settings.dotsPerInch, 72));
    c.setFontColor(axis);

    c.textOut(g.horizontalCaption().x(), g.horizontalCaption().y(), scale.horizontalCaption);
    c.textOut(ChartGeometry::kVerticalCaption.x(), ChartGeometry::kVerticalCaption.y(),
        scale.verticalCaption);

    // Each tick is a line one pixel long towards the frame, whose end point on the frame is left
    // out: a single pixel.
    for (int i = 0; i <= ChartGeometry::kTickIntervals; ++i) {
        const int x = g.tickColumn(i);
        const int y = g.tickRow(i);
        c.line(x, g.tickMarkRow(), x, frame.bottom());
        c.line(g.tickMarkColumn(), y, frame.left(), y);
    }

    // The grid lines run over the whole frame, their end points (one past it) left out.
    c.setPenStyle(platform::PenStyle::Dot);
    for (int i = 1; i < ChartGeometry::kTickIntervals; ++i) {
        const int x = g.tickColumn(i);
        const int y = g.tickRow(i);
        c.line(x, frame.top(), x, frame.bottom() + 1);
        c.line(frame.left(), y, frame.right() + 1, y);
    }
    c.setPenStyle(platform::PenStyle::Solid);

    c.textOut(g.lowerLabel().x(), g.lowerLabel().y(), formatBound(scale.lower));
    c.textOut(g.upperLabel().x(), g.upperLabel().y(), formatBound(scale.upper));
}

std::int32_t ChartRenderer::rowOf(
    double reading, const ChartScale& scale, const ChartGeometry& geometry)
{
    const double bottom = geometry.bottomRow();
    const double row = roundHalfEven(
        bottom - (reading - scale.lower) / (scale.upper - scale.lower) * geometry.rowSpan());
    // Clamped like any other value, however far beyond the 32-bit range the row lies.
    if (row > bottom)
        return static_cast<std::int32_t>(bottom);
    if (row >= ChartGeometry::topRow())
        return static_cast<std::int32_t>(row);
    return ChartGeometry::topRow(); // above the plot, or no number at all
}

double ChartRenderer::columnOf(
    std::int32_t index, std::int32_t points, const ChartGeometry& geometry)
{
    // The product is a 32-bit integer product; it wraps as such rather than overflowing.
    const auto product = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(index) * static_cast<std::uint32_t>(geometry.columnSpan()));
    return roundHalfEven(static_cast<double>(product) / points + ChartGeometry::firstColumn());
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

    const double previous = readings[counter - 2];
    const double newest = readings[counter - 1];
    // Equal bounds leave the rows undefined, and no points per sweep the columns: such a
    // reading draws no segment, but its readout all the same, and the poll cycle goes on.
    if (scale.upper != scale.lower && settings.NPoints != 0) {
        const double x1 = columnOf(counter - 2, settings.NPoints, m_geometry);
        const double x2 = columnOf(counter - 1, settings.NPoints, m_geometry);
        constexpr double lo = std::numeric_limits<int>::min();
        constexpr double hi = std::numeric_limits<int>::max();
        if (x1 >= lo && x1 <= hi && x2 >= lo && x2 <= hi) {
            m_canvas.setPenColor(platform::colorFromValue(settings.PenGraphColor));
            m_canvas.line(static_cast<int>(x1), rowOf(previous, scale, m_geometry),
                static_cast<int>(x2), rowOf(newest, scale, m_geometry));
        }
    }

    if (settings.ShowSignalFlag) {
        m_canvas.textOut(ChartGeometry::kReadout.x(), ChartGeometry::kReadout.y(),
            scale.verticalCaption + QStringLiteral(" : ")
                + formatReading(newest, settings.decimalSeparator));
    }
}

} // namespace chart
