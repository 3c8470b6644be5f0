#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <map>

namespace history {
class HistoryWindow;
}

namespace lab {

class BenchModel;
class BenchTile;
class Subscriber;
class TileGrid;

/**
 * The lab's overview: a tile per bench, sorted by name, in a grid that reflows with the width.
 * The broker's messages are taken every kRefresh, so that however many arrive, each tile is
 * painted at most that often, and only when something it shows changed. The title counts the
 * benches and those not grey ("Velmora Lab — 20 benches, 19 online"); the status line tells the
 * connection and its faults. A click on a tile opens the history of what came from its bench.
 */
class OverviewWindow : public QMainWindow {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kRefresh { 250 };

    OverviewWindow(BenchModel& model, Subscriber& subscriber, QWidget* parent = nullptr);

private:
    void takeMessages();
    void addTile(const QString& name);
    void openHistory(const QString& name);
    void setTitle(qsizetype live);

    BenchModel& m_model;
    Subscriber& m_subscriber;
    TileGrid* m_grid;
    std::map<QString, BenchTile*> m_tiles;
    std::map<QString, QPointer<history::HistoryWindow>> m_histories;
    QTimer m_refresh;
    qsizetype m_shownLive = -1;
    qsizetype m_shownBenches = -1;
};

} // namespace lab
