#pragma once

#include <QWidget>

#include <vector>

namespace lab {

class BenchTile;

/**
 * The tiles in rows as wide as the grid, in the order given: as many to a row as the width
 * takes (one at least), the rows as many as they need, so that a scroll area around the grid
 * scrolls only up and down. Laid out again when the width or the tiles change.
 */
class TileGrid : public QWidget {
    Q_OBJECT

public:
    static constexpr int kSpacing = 8;

    explicit TileGrid(QWidget* parent = nullptr);

    /** Adds @p tile (the grid takes it) at @p index of the order. */
    void insertTile(std::size_t index, BenchTile* tile);
    const std::vector<BenchTile*>& tiles() const { return m_tiles; }
    /** Tiles to a row at the grid's width. */
    int columns() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void relayout();

    std::vector<BenchTile*> m_tiles;
};

} // namespace lab
