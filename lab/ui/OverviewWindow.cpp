#include "lab/ui/OverviewWindow.h"

#include "history/HistoryWindow.h"
#include "lab/BenchModel.h"
#include "lab/Subscriber.h"
#include "lab/ui/BenchTile.h"
#include "lab/ui/TileGrid.h"
#include "platform/Clock.h"
#include "platform/HandlerBoundary.h"

#include <QDateTime>
#include <QScrollArea>
#include <QStatusBar>

#include <algorithm>
#include <set>

namespace lab {

namespace {

std::int64_t steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(platform::clock().now()).count();
}

} // namespace

OverviewWindow::OverviewWindow(BenchModel& model, Subscriber& subscriber, QWidget* parent)
    : QMainWindow(parent)
    , m_model(model)
    , m_subscriber(subscriber)
    , m_grid(new TileGrid)
{
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(m_grid);
    setCentralWidget(scroll);
    resize(4 * (BenchTile::kWidth + TileGrid::kSpacing) + 40, 560);
    setTitle(0);
    statusBar()->showMessage(
        QStringLiteral("Connecting to the MQTT broker %1…").arg(m_subscriber.broker()));

    connect(&m_model, &BenchModel::benchAdded, this, &OverviewWindow::addTile);
    connect(&m_subscriber, &Subscriber::problem, this,
        [this](const QString& text) { statusBar()->showMessage(text); });
    connect(&m_subscriber, &Subscriber::connected, this, [this] {
        statusBar()->showMessage(
            QStringLiteral("Connected to the MQTT broker %1").arg(m_subscriber.broker()));
    });
    m_refresh.setInterval(kRefresh);
    // A tick that fails (memory running out) is reported and the next one comes all the same.
    connect(&m_refresh, &QTimer::timeout, this,
        [this] { platform::guarded([this] { takeMessages(); }); });
    m_refresh.start();
}

void OverviewWindow::takeMessages()
{
    const std::int64_t now = steadyMs();
    const QDateTime wallNow = QDateTime::currentDateTime();
    std::set<QString> changed;
    for (const Subscriber::Message& message : m_subscriber.takeMessages()) {
        QString name = m_model.take(message.topic, message.payload, message.retained, now, wallNow);
        if (!name.isEmpty())
            changed.insert(std::move(name));
    }
    qsizetype live = 0;
    for (const auto& [name, tile] : m_tiles) {
        tile->refresh(changed.count(name) > 0, now);
        live += tile->isGrey() ? 0 : 1;
    }
    setTitle(live);
}

void OverviewWindow::addTile(const QString& name)
{
    const Bench* bench = m_model.bench(name);
    if (bench == nullptr)
        return;
    auto* tile = new BenchTile(*bench);
    connect(tile, &BenchTile::clicked, this, [this](const QString& clicked) {
        platform::guarded([this, &clicked] { openHistory(clicked); });
    });
    const auto& names = m_model.names();
    const auto at = std::find(names.begin(), names.end(), name);
    m_grid->insertTile(static_cast<std::size_t>(at - names.begin()), tile);
    m_tiles.emplace(name, tile);
}

void OverviewWindow::openHistory(const QString& name)
{
    const Bench* bench = m_model.bench(name);
    if (bench == nullptr)
        return;
    QPointer<history::HistoryWindow>& open = m_histories[name];
    if (open) {
        open->raise();
        open->activateWindow();
        return;
    }
    open = history::HistoryWindow::openLive(*bench->live, this);
    // The bench's name rather than the run's: it follows the bench from run to run.
    const QString title = name + QStringLiteral(" — История опроса");
    open->setWindowTitle(title);
    history::HistoryWindow* window = open;
    connect(bench->live.get(), &history::LiveRun::began, window,
        [window, title] { window->setWindowTitle(title); });
}

void OverviewWindow::setTitle(qsizetype live)
{
    const auto benches = static_cast<qsizetype>(m_model.names().size());
    if (benches == m_shownBenches && live == m_shownLive)
        return;
    m_shownBenches = benches;
    m_shownLive = live;
    setWindowTitle(QStringLiteral("Velmora Lab — %1 %2, %3 online")
                       .arg(benches)
                       .arg(benches == 1 ? QStringLiteral("bench") : QStringLiteral("benches"))
                       .arg(live));
}

} // namespace lab
