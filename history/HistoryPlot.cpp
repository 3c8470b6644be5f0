#include "history/HistoryPlot.h"

#include "history/Measurement.h"

#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <cmath>
#include <utility>

namespace history {

namespace {

// A press and release closer than this (Manhattan pixels) is a click, not a drag.
constexpr int kClickSlop = 4;
// One notch of the wheel zooms by this factor.
constexpr double kWheelZoom = 0.8;

} // namespace

HistoryPlot::HistoryPlot(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("pltHistory"));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(320, 200);
}

void HistoryPlot::setRun(std::shared_ptr<const RunColumns> run)
{
    m_run = std::move(run);
    m_overlay = {};
    if (m_run && !m_run->isEmpty())
        m_view.setRunExtent(m_run->elapsedAt(0), m_run->elapsedAt(m_run->size() - 1));
    else
        m_view.setNoRun();
    m_view.showWholeRun();
    emit measureText({});
    update();
}

void HistoryPlot::runGrew()
{
    if (!m_run || m_run->isEmpty())
        return;
    const std::int64_t last = m_run->elapsedAt(m_run->size() - 1);
    if (!m_view.hasRun())
        m_view.setRunExtent(m_run->elapsedAt(0), last);
    m_view.runGrew(m_view.runLastMs(), last);
    update();
}

void HistoryPlot::setLimits(std::vector<LimitsStep> limits)
{
    m_limits = std::move(limits);
    update();
}

void HistoryPlot::setAlarms(std::vector<AlarmSpan> alarms)
{
    m_alarms = std::move(alarms);
    update();
}

void HistoryPlot::setCompare(
    std::shared_ptr<const RunColumns> other, const QString& runLabel, const QString& otherLabel)
{
    m_compare = std::move(other);
    if (m_compare && !m_compare->isEmpty())
        m_view.setCompareExtent(
            m_compare->elapsedAt(0), m_compare->elapsedAt(m_compare->size() - 1));
    else
        m_view.clearCompareExtent();
    if (m_view.isWholeRun())
        m_view.showWholeRun();
    m_runLabel = runLabel;
    m_compareLabel = otherLabel;
    update();
}

void HistoryPlot::setClockAxis(bool clock)
{
    m_view.setClockAxis(clock);
    update();
}

void HistoryPlot::showWholeRun()
{
    m_view.showWholeRun();
    update();
}

void HistoryPlot::clearMarkers()
{
    m_overlay.markerA.reset();
    m_overlay.markerB.reset();
    emit measureText({});
    update();
}

PlotScene HistoryPlot::scene() const
{
    PlotScene scene;
    scene.run = m_run.get();
    scene.limits = m_limits;
    scene.alarms = m_alarms;
    scene.compare = m_compare.get();
    scene.runLabel = m_runLabel;
    scene.compareLabel = m_compareLabel;
    return scene;
}

void HistoryPlot::render(QPainter& painter, const QSize& size) const
{
    PlotView view = m_view;
    view.setArea(PlotPainter::plotArea(size));
    const PlotScene shown = scene();
    PlotPainter::fitValues(view, shown);
    PlotPainter::paint(painter, size, view, shown);
}

QImage HistoryPlot::renderImage(const QSize& size) const
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    render(painter, size);
    return image;
}

void HistoryPlot::paintEvent(QPaintEvent* /*event*/)
{
    m_view.setArea(PlotPainter::plotArea(size()));
    const PlotScene shown = scene();
    PlotPainter::fitValues(m_view, shown);
    QPainter painter(this);
    PlotPainter::paint(painter, size(), m_view, shown, m_overlay);
    // The view may have moved under a pointer that stood still (the wheel, a key, a live run):
    // the reading it points at is another one now.
    if (underMouse() && !m_dragging)
        hover(mapFromGlobal(QCursor::pos()));
}

void HistoryPlot::wheelEvent(QWheelEvent* event)
{
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0) {
        event->ignore();
        return;
    }
    m_view.setArea(PlotPainter::plotArea(size()));
    const double factor = std::pow(kWheelZoom, notches);
    const QPointF at = event->position();
    if ((event->modifiers() & Qt::ControlModifier) != 0)
        m_view.zoomValue(factor, at.y());
    else
        m_view.zoomTime(factor, at.x());
    event->accept();
    update();
}

void HistoryPlot::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_pressAt = event->position().toPoint();
    m_lastAt = *m_pressAt;
    m_dragging = false;
    m_selecting = (event->modifiers() & Qt::ShiftModifier) != 0;
}

void HistoryPlot::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    hover(at);
    if (!m_pressAt || (event->buttons() & Qt::LeftButton) == 0)
        return;
    if (!m_dragging && (at - *m_pressAt).manhattanLength() < kClickSlop)
        return;
    if (!m_dragging)
        setCursor(m_selecting ? Qt::CrossCursor : Qt::ClosedHandCursor);
    m_dragging = true;
    if (m_selecting) {
        m_overlay.selection = QRect(*m_pressAt, at).normalized();
    } else {
        m_view.setArea(PlotPainter::plotArea(size()));
        m_view.panPixels(at.x() - m_lastAt.x(), at.y() - m_lastAt.y());
    }
    m_lastAt = at;
    update();
}

void HistoryPlot::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_pressAt) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const QPoint pressAt = *m_pressAt;
    m_pressAt.reset();
    if (!m_dragging) {
        placeMarker(pressAt);
    } else if (m_selecting) {
        const QRect chosen = m_overlay.selection.intersected(m_view.area());
        m_overlay.selection = {};
        if (chosen.width() > 2 && chosen.height() > 2)
            m_view.zoomToRect(chosen);
    }
    m_dragging = false;
    m_selecting = false;
    unsetCursor();
    update();
}

void HistoryPlot::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    // The double click's first click placed a marker: the markers go back to what they were.
    m_overlay.markerA = m_markersBefore.first;
    m_overlay.markerB = m_markersBefore.second;
    tellMeasure();
    showWholeRun();
}

void HistoryPlot::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Home:
        showWholeRun();
        break;
    case Qt::Key_Left:
        m_view.panFraction(-0.1);
        update();
        break;
    case Qt::Key_Right:
        m_view.panFraction(0.1);
        update();
        break;
    case Qt::Key_Escape:
        clearMarkers();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void HistoryPlot::leaveEvent(QEvent* event)
{
    emit hoverText({});
    QWidget::leaveEvent(event);
}

void HistoryPlot::hover(const QPoint& at)
{
    m_view.setArea(PlotPainter::plotArea(size()));
    if (!m_run || !m_view.area().contains(at)) {
        emit hoverText({});
        return;
    }
    const double ms = m_view.msAt(at.x());
    const qsizetype tick = nearestTick(*m_run, ms);
    QString text = tick < 0 ? QString() : tickText(*m_run, tick);
    // The alarms under the pointer, named after the tick's values.
    const double lastMs
        = m_run->isEmpty() ? 0.0 : static_cast<double>(m_run->elapsedAt(m_run->size() - 1));
    for (const AlarmSpan& span : m_alarms) {
        const double from = static_cast<double>(span.fromMs - m_run->startMs());
        const double to = span.toMs ? static_cast<double>(*span.toMs - m_run->startMs()) : lastMs;
        if (ms >= from && ms <= to)
            text += QStringLiteral("   тревога: ") + alarms::ruleTitle(span.rule);
    }
    emit hoverText(text);
}

void HistoryPlot::placeMarker(const QPoint& at)
{
    m_view.setArea(PlotPainter::plotArea(size()));
    if (!m_run || !m_view.area().contains(at))
        return;
    // The marker sits on the reading nearest the click, never on a tick without one.
    const std::optional<qsizetype> tick = nearestReading(*m_run, m_view.msAt(at.x()));
    if (!tick)
        return;
    m_markersBefore = { m_overlay.markerA, m_overlay.markerB };
    if (!m_overlay.markerA || m_overlay.markerB) {
        m_overlay.markerA = tick;
        m_overlay.markerB.reset();
    } else {
        m_overlay.markerB = tick;
    }
    tellMeasure();
}

void HistoryPlot::tellMeasure()
{
    if (!m_run || !m_overlay.markerA) {
        emit measureText({});
        return;
    }
    if (!m_overlay.markerB) {
        emit measureText(QStringLiteral("Маркер A: ") + tickText(*m_run, *m_overlay.markerA));
        return;
    }
    emit measureText(betweenText(between(*m_run, *m_overlay.markerA, *m_overlay.markerB)));
}

} // namespace history
