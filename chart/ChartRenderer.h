#pragma once

#include "chart/ChartGeometry.h"
#include "platform/Canvas.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>
#include <span>

namespace chart {

/** The settings the chart is drawn with, as the main window holds them at each call. */
struct ChartSettings {
    std::int32_t BrushGraphColor = 0x000000; ///< background, text cells, gaps of the grid
    std::int32_t PenGraphColor = 0x00FF00; ///< the plotted line
    std::int32_t AxisGraphColor = 0x00FFFF; ///< frame, ticks, grid and all text
    QString graphFontName = QStringLiteral("MS Sans Serif"); ///< "Default": "MS Sans Serif"
    std::int32_t graphFontSize = 8; ///< points
    int dotsPerInch = 96; ///< converts the font size to pixels
    std::int32_t NPoints = 1000; ///< readings per sweep
    bool ShowSignalFlag = true; ///< write the readout of the newest reading
    QString decimalSeparator = QStringLiteral(".");
};

/** What every caller hands over: the temperature scale and the two axis captions. */
struct ChartScale {
    double lower = 20;
    double upper = 40;
    QString horizontalCaption; ///< the time axis, bottom right
    QString verticalCaption; ///< the temperature axis, top left; also heads the readout
};

/**
 * The temperature chart on a bitmap of its own: the empty chart (frame, ticks, dotted grid,
 * scale labels, captions), then one line segment per reading from the previous reading to the
 * newest, and the readout of the newest reading. Earlier segments are never redrawn; the bitmap
 * keeps its pen, brush and font between calls.
 */
class ChartRenderer {
public:
    explicit ChartRenderer(QSize size = QSize(kChartWidth, kChartHeight));

    const QImage& image() const { return m_canvas.image(); }

    /** Draws the empty chart on a new bitmap; everything drawn before is gone. */
    void InitPictures(const ChartSettings& settings, const ChartScale& scale);

    /**
     * Draws for the newest reading: at @p counter 1 the empty chart; from 2 on the segment from
     * readings[counter - 2] to readings[counter - 1] and, when the settings say so, the
     * readout. Nothing is drawn for a counter below 1 or beyond the buffer; a segment whose rows
     * or columns have no defined value (equal bounds, no points per sweep) is left out, while
     * the readout is still written.
     */
    void SetDinamicGraphic(const ChartSettings& settings, std::span<const double> readings,
        std::int32_t counter, const ChartScale& scale);

    /** The row of @p reading: the scale mapped onto the plot, kept inside the frame. */
    static std::int32_t rowOf(
        double reading, const ChartScale& scale, const ChartGeometry& geometry);
    /** The column of reading @p index of a sweep of @p points readings, not clamped. */
    static double columnOf(std::int32_t index, std::int32_t points, const ChartGeometry& geometry);

private:
    ChartGeometry m_geometry;
    platform::Canvas m_canvas;
};

} // namespace chart
