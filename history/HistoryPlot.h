#pragma once

#include "history/PlotPainter.h"
#include "history/PlotView.h"

#include <QImage>
#include <QPoint>
#include <QWidget>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace history {

/**
 * The history window's plot: draws a run with PlotPainter and lets the user move about it.
 * Wheel: time zooms about the pointer; Ctrl+wheel: temperature. Left drag pans; Shift+left drag
 * zooms to a rectangle; a double click or Home shows the whole run; Left/Right pan by a tenth.
 * A click (the pointer moved less than a few pixels) places marker A, the next one B, a third
 * starts over; Esc clears them. Hovering tells the nearest tick's values (hoverText()).
 */
class HistoryPlot : public QWidget {
    Q_OBJECT

public:
    explicit HistoryPlot(QWidget* parent = nullptr);

    /** Shows @p run whole; null: nothing. The plot keeps it alive. */
    void setRun(std::shared_ptr<const RunColumns> run);
    const RunColumns* run() const { return m_run.get(); }
    /** The run shown grew by ticks at its end: the view follows where it was at the newest one. */
    void runGrew();
    void setLimits(std::vector<LimitsStep> limits);
    /** The run's alarms, drawn as spans and named in the hover text. */
    void setAlarms(std::vector<AlarmSpan> alarms);
    /** Lays @p other over the run, aligned on elapsed time; null removes it. */
    void setCompare(std::shared_ptr<const RunColumns> other, const QString& runLabel = {},
        const QString& otherLabel = {});
    bool hasCompare() const { return m_compare != nullptr; }

    PlotView& view() { return m_view; }
    const PlotView& view() const { return m_view; }
    void setClockAxis(bool clock);
    void showWholeRun();
    void clearMarkers();

    /** The plot as a picture of @p size, without markers and selection. */
    QImage renderImage(const QSize& size) const;
    /** Draws the plot on @p painter at @p size (markers and selection left out). */
    void render(QPainter& painter, const QSize& size) const;

signals:
    /** The nearest tick's time, elapsed time, temperature and status; empty off the plot. */
    void hoverText(const QString& text);
    /** The markers' measure; empty while fewer than two are placed. */
    void measureText(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    PlotScene scene() const;
    void placeMarker(const QPoint& at);
    void tellMeasure();
    void hover(const QPoint& at);

    PlotView m_view;
    std::shared_ptr<const RunColumns> m_run;
    std::shared_ptr<const RunColumns> m_compare;
    std::vector<LimitsStep> m_limits;
    std::vector<AlarmSpan> m_alarms;
    QString m_runLabel;
    QString m_compareLabel;
    PlotOverlay m_overlay;
    /** The markers before the last click, for a double click to put back. */
    std::pair<std::optional<qsizetype>, std::optional<qsizetype>> m_markersBefore;
    std::optional<QPoint> m_pressAt; ///< where the left button went down
    QPoint m_lastAt;
    bool m_dragging = false;
    bool m_selecting = false;
};

} // namespace history
