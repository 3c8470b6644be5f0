#include "lab/ui/TileGrid.h"

#include "lab/ui/BenchTile.h"

#include <QResizeEvent>

#include <algorithm>

namespace lab {

TileGrid::TileGrid(QWidget* parent)
    : QWidget(parent)
{
}

void TileGrid::insertTile(std::size_t index, BenchTile* tile)
{
    tile->setParent(this);
    m_tiles.insert(
        m_tiles.begin() + static_cast<std::ptrdiff_t>(std::min(index, m_tiles.size())), tile);
    tile->show();
    relayout();
}

int TileGrid::columns() const
{
    return std::max(1, (width() - kSpacing) / (BenchTile::kWidth + kSpacing));
}

void TileGrid::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (event->size().width() != event->oldSize().width())
        relayout();
}

void TileGrid::relayout()
{
    const int perRow = columns();
    for (std::size_t i = 0; i < m_tiles.size(); ++i) {
        const int column = static_cast<int>(i) % perRow;
        const int row = static_cast<int>(i) / perRow;
        m_tiles[i]->move(kSpacing + column * (BenchTile::kWidth + kSpacing),
            kSpacing + row * (BenchTile::kHeight + kSpacing));
    }
    const int rows = (static_cast<int>(m_tiles.size()) + perRow - 1) / perRow;
    setMinimumHeight(kSpacing + rows * (BenchTile::kHeight + kSpacing));
}

} // namespace lab
