#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>

namespace lab {

struct Bench;

/**
 * One bench in the overview: its name, the temperature in large figures, the tick's status,
 * the limits, the alarm in colour, the age of the newest state and the last kRecentSpan of its
 * readings. Grey while the bench is offline or silent. Painted in one pass, without child
 * widgets, and only when refresh() finds something that shows changed.
 */
class BenchTile : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 240;
    static constexpr int kHeight = 160;

    /** @p bench outlives the tile (the model keeps its benches). */
    explicit BenchTile(const Bench& bench, QWidget* parent = nullptr);

    const QString& name() const;
    /** Repaints when the bench took a message (@p changed), or when its grey or its age as
     *  shown differ at @p steadyMs. */
    void refresh(bool changed, std::int64_t steadyMs);
    bool isGrey() const { return m_grey; }

    QSize sizeHint() const override { return { kWidth, kHeight }; }

signals:
    void clicked(const QString& name);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void paintPlot(QPainter& painter, const QRect& area) const;

    const Bench& m_bench;
    bool m_grey = true;
    QString m_age;
    bool m_pressed = false;
};

/** The age as a tile shows it: "4 s", "12 min", "3 h", "2 d"; "—" below zero. */
QString ageText(std::int64_t ms);

} // namespace lab
