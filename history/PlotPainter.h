#pragma once

#include "history/AlarmSpans.h"
#include "history/LimitsSteps.h"
#include "history/PlotView.h"
#include "history/RunColumns.h"

#include <QColor>
#include <QRect>
#include <QSize>
#include <QString>

#include <optional>
#include <vector>

class QPainter;

namespace history {

/** The run's line: one exact colour, drawn without antialiasing, so its pixels can be found. */
inline constexpr QRgb kLineColour = qRgb(0, 70, 200);
/** The run laid over it for comparison. */
inline constexpr QRgb kCompareColour = qRgb(230, 110, 0);
/** The regulator's limits in force. */
inline constexpr QRgb kLimitsColour = qRgb(210, 0, 0);
/** Stretches of ticks without a reading: no reply (or a short reply, a failed write), and the
 *  port lost. */
inline constexpr QRgb kNoReplyShade = qRgb(228, 228, 228);
inline constexpr QRgb kPortLostShade = qRgb(252, 218, 196);
/** An alarm, from its raise to its clear: a strip of this colour along the plot's top over a
 *  translucent band of it across the plot's height. */
inline constexpr QRgb kAlarmColour = qRgb(200, 0, 120);
inline constexpr int kAlarmStripHeight = 4;

/** What a plot shows of a run: the same for the screen and for an exported picture. */
struct PlotScene {
    const RunColumns* run = nullptr; ///< null or empty: an empty plot with its axes
    std::vector<LimitsStep> limits; ///< the limits in force, in time order
    std::vector<AlarmSpan> alarms; ///< the run's alarms; an open one lasts to its last tick
    const RunColumns* compare = nullptr; ///< a second run, aligned on elapsed time
    QString runLabel; ///< the legend's names of the two runs (shown with a comparison)
    QString compareLabel;
};

/** What only the screen shows over a plot. */
struct PlotOverlay {
    std::optional<qsizetype> markerA; ///< ticks of the run holding the two markers
    std::optional<qsizetype> markerB;
    QRect selection; ///< the rectangle being dragged to zoom to; empty when none
};

/**
 * Draws a run on any QPainter (the widget, a PNG, an SVG, the clipboard's image): white ground,
 * the stretches without readings shaded, grid, axes, the limits as two step lines, the run's
 * line and the compared run's. The line comes from columnSpans(): each pixel column a stroke
 * from its lowest to its highest reading, so a spike of one tick shows at any zoom; where the
 * view holds fewer than two ticks a pixel, the readings themselves as a line broken at ticks
 * without one. The cost depends on the picture's width, never on the run's length.
 */
class PlotPainter {
public:
    /** The plot area inside the axes for a picture of @p size. */
    static QRect plotArea(const QSize& size);

    /** Fits @p view's temperature to the readings in its time range, of both runs (unless the
     *  user zoomed the temperature). */
    static void fitValues(PlotView& view, const PlotScene& scene);

    /** Draws @p scene as @p view shows it on a picture of @p size; @p view's area must be
     *  plotArea(size). */
    static void paint(QPainter& painter, const QSize& size, const PlotView& view,
        const PlotScene& scene, const PlotOverlay& overlay = {});
};

} // namespace history
