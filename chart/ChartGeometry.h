#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace chart {

/** The chart bitmap's size in the main window. */
inline constexpr int kChartWidth = 600;
inline constexpr int kChartHeight = 150;

/**
 * Where everything on a chart bitmap of a given size stands. The plot frame is the one fact the
 * rest hangs on: the ticks divide its outline into four, the bound labels stand just above the
 * outline rows they name, the line keeps to the rows inside it and a sweep's columns start on
 * its left line. Only the captions and the readout have places of their own.
 *
 * Divisions are integer divisions truncating toward zero, as on a bitmap of any size.
 */
class ChartGeometry {
public:
    /** The plot frame's left outline column and top outline row. */
    static constexpr int kFrameLeft = 50;
    static constexpr int kFrameTop = 20;
    /** How far in from the right and bottom edges the frame's other outline lines run. */
    static constexpr int kFrameRightInset = 50;
    static constexpr int kFrameBottomInset = 50;

    /** The ticks divide each side of the frame into this many parts; the inner ones carry the
     * dotted grid. */
    static constexpr int kTickIntervals = 4;

    /** The bound labels' left edge, and how far their cells start above the row they name. */
    static constexpr int kLabelLeft = 20;
    static constexpr int kLabelRise = 5;

    /** The temperature axis's caption, in the top left corner. */
    static constexpr QPoint kVerticalCaption { 1, 1 };
    /** The time axis's caption starts on the frame's right line, this far above the bottom. */
    static constexpr int kHorizontalCaptionRise = 20;

    /** The readout of the newest reading, below the frame, whatever the bitmap's size. */
    static constexpr QPoint kReadout { 250, 120 };

    constexpr explicit ChartGeometry(QSize size = QSize(kChartWidth, kChartHeight))
        : m_size(size)
    {
    }

    constexpr QSize size() const { return m_size; }
    constexpr int width() const { return m_size.width(); }
    constexpr int height() const { return m_size.height(); }

    /** The frame's right outline column and bottom outline row. */
    constexpr int frameRight() const { return width() - kFrameRightInset; }
    constexpr int frameBottom() const { return height() - kFrameBottomInset; }
    /** The frame's outline: left() and right() are its outline columns, top() and bottom() its
     * outline rows. */
    constexpr QRect frame() const
    {
        return QRect(QPoint(kFrameLeft, kFrameTop), QPoint(frameRight(), frameBottom()));
    }

    /** The column of tick @p i (0 to kTickIntervals), from the frame's left line to its right. */
    constexpr int tickColumn(int i) const
    {
        return i * (frameRight() - kFrameLeft) / kTickIntervals + kFrameLeft;
    }
    /** The row of tick @p i, from the frame's top line to its bottom line. */
    constexpr int tickRow(int i) const
    {
        return i * (frameBottom() - kFrameTop) / kTickIntervals + kFrameTop;
    }
    /** The row of the ticks under the frame and the column of those left of it. */
    constexpr int tickMarkRow() const { return frameBottom() + 1; }
    static constexpr int tickMarkColumn() { return kFrameLeft - 1; }

    /** The upper bound's label stands by the frame's top line, the lower bound's by its bottom
     * line. */
    static constexpr QPoint upperLabel() { return { kLabelLeft, kFrameTop - kLabelRise }; }
    constexpr QPoint lowerLabel() const { return { kLabelLeft, frameBottom() - kLabelRise }; }

    constexpr QPoint horizontalCaption() const
    {
        return { frameRight(), height() - kHorizontalCaptionRise };
    }

    /**
     * The rows the line may use: those inside the frame, so that it never covers the frame's top
     * or bottom line. The lower bound maps onto bottomRow(), the upper bound onto the frame's
     * top line, and is kept off it by the clamp.
     */
    static constexpr int topRow() { return kFrameTop + 1; }
    constexpr int bottomRow() const { return frameBottom() - 1; }
    constexpr int rowSpan() const { return bottomRow() - kFrameTop; }

    /**
     * Reading 0 of a sweep stands on the frame's left line; a whole sweep of points spans as
     * many columns as lie between the first and the last column inside the frame.
     */
    static constexpr int firstColumn() { return kFrameLeft; }
    constexpr int columnSpan() const { return (frameRight() - 1) - (kFrameLeft + 1); }

private:
    QSize m_size;
};

} // namespace chart
