// What the history window's plot costs to draw on a 1600x900 picture: the whole run of a million
// and of ten million ticks, a zoom step and a pan step, and a million-row run file read into
// columns and first drawn. Ticks every 600 ms: a slow wave with noise, stretches without a
// reading (no reply, and the port lost), and spikes of one tick. The run file is written under
// $VT_BENCH_DIR (or a temporary folder) once, before its benchmark.
#include "history/PlotPainter.h"
#include "history/RunColumns.h"
#include "history/RunFileColumns.h"
#include "runlog/RunRow.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>

using namespace history;

namespace {

const QSize kPicture(1600, 900);
constexpr std::int64_t kTickMs = 600;

// Tick i's status and reading; the same for the columns and for the file.
struct Tick {
    runlog::TickStatus status = runlog::TickStatus::Ok;
    float reading = 0;
};

Tick tickAt(std::int64_t i, std::uint32_t& noise)
{
    noise = noise * 1664525U + 1013904223U;
    if (i % 50000 >= 49900)
        return { runlog::TickStatus::NoReply, 0 };
    if (i % 400000 >= 399000)
        return { runlog::TickStatus::PortLost, 0 };
    if (i % 123457 == 0)
        return { runlog::TickStatus::Ok, 95.0F };
    const double wave = 30 + 8 * std::sin(static_cast<double>(i) / 20000.0);
    return { runlog::TickStatus::Ok,
        static_cast<float>(wave + static_cast<double>(noise >> 8) / (1U << 24) - 0.5) };
}

// The runs are made once and kept: ten million ticks take a while to generate.
const RunColumns& generated(std::int64_t ticks)
{
    static std::map<std::int64_t, std::unique_ptr<RunColumns>> runs;
    std::unique_ptr<RunColumns>& run = runs[ticks];
    if (!run) {
        run = std::make_unique<RunColumns>();
        run->reserve(ticks);
        std::uint32_t noise = 1;
        for (std::int64_t i = 0; i < ticks; ++i) {
            const Tick tick = tickAt(i, noise);
            run->append(i * kTickMs, tick.reading, tick.status);
        }
    }
    return *run;
}

PlotView wholeView(const RunColumns& run)
{
    PlotView view;
    view.setArea(PlotPainter::plotArea(kPicture));
    view.setRunExtent(run.elapsedAt(0), run.elapsedAt(run.size() - 1));
    view.showWholeRun();
    return view;
}

void draw(QImage& image, PlotView& view, const PlotScene& scene)
{
    PlotPainter::fitValues(view, scene);
    QPainter painter(&image);
    PlotPainter::paint(painter, kPicture, view, scene);
}

void wholeRunRedraw(benchmark::State& state)
{
    const RunColumns& run = generated(state.range(0));
    PlotView view = wholeView(run);
    PlotScene scene;
    scene.run = &run;
    QImage image(kPicture, QImage::Format_RGB32);
    for (auto _ : state)
        draw(image, view, scene);
    state.counters["MB"] = static_cast<double>(run.memoryBytes()) / 1e6;
}
BENCHMARK(wholeRunRedraw)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond);

// One wheel notch in or out about the middle, then the redraw; from a view of a fifth of the run.
void zoomStep(benchmark::State& state)
{
    const RunColumns& run = generated(state.range(0));
    PlotView view = wholeView(run);
    view.zoomTime(0.2, view.area().center().x());
    PlotScene scene;
    scene.run = &run;
    QImage image(kPicture, QImage::Format_RGB32);
    bool in = true;
    for (auto _ : state) {
        view.zoomTime(in ? 0.8 : 1.25, view.area().center().x());
        in = !in;
        draw(image, view, scene);
    }
}
BENCHMARK(zoomStep)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond);

// A drag of 40 pixels back and forth, then the redraw; range(1) is the view's span in ticks
// (a fifth of the run, or ten minutes: the readings drawn one by one).
void panStep(benchmark::State& state)
{
    const RunColumns& run = generated(state.range(0));
    PlotView view = wholeView(run);
    const std::int64_t mid = run.elapsedAt(run.size() / 2);
    view.setTimeRange(mid, mid + state.range(1) * kTickMs);
    PlotScene scene;
    scene.run = &run;
    QImage image(kPicture, QImage::Format_RGB32);
    double dx = 40;
    for (auto _ : state) {
        view.panPixels(dx, 0);
        dx = -dx;
        draw(image, view, scene);
    }
}
BENCHMARK(panStep)
    ->Args({ 1000000, 200000 })
    ->Args({ 1000000, 1000 })
    ->Args({ 10000000, 2000000 })
    ->Unit(benchmark::kMillisecond);

// The run file is written as the run log writes it, once.
QString runFile(std::int64_t ticks)
{
    static QTemporaryDir temporary;
    const QString chosen = qEnvironmentVariable("VT_BENCH_DIR");
    const QDir folder(chosen.isEmpty() ? temporary.path() : chosen);
    QString path = folder.filePath(QStringLiteral("history-%1.csv").arg(ticks));
    if (QFile::exists(path))
        return path;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(runlog::kRunHeader);
    const QDateTime start(QDate(2026, 12, 8), QTime(10, 15));
    std::uint32_t noise = 1;
    QByteArray chunk;
    for (std::int64_t i = 0; i < ticks; ++i) {
        const Tick tick = tickAt(i, noise);
        runlog::RunRow row;
        row.time = start.addMSecs(i * kTickMs);
        row.elapsed = std::chrono::milliseconds(i * kTickMs);
        row.status = tick.status;
        if (tick.status == runlog::TickStatus::Ok)
            row.temperature = tick.reading;
        chunk += runlog::formatRow(row);
        if (chunk.size() > (1 << 20)) {
            file.write(chunk);
            chunk.clear();
        }
    }
    file.write(chunk);
    return path;
}

void openAndFirstDraw(benchmark::State& state)
{
    const QString path = runFile(state.range(0));
    QImage image(kPicture, QImage::Format_RGB32);
    for (auto _ : state) {
        std::optional<RunRead> read = readRunColumns(path);
        if (!read) {
            state.SkipWithError("the run file could not be read");
            return;
        }
        PlotView view = wholeView(read->columns);
        PlotScene scene;
        scene.run = &read->columns;
        draw(image, view, scene);
        state.counters["bytes/tick"] = static_cast<double>(read->columns.memoryBytes())
            / static_cast<double>(read->columns.size());
    }
}
BENCHMARK(openAndFirstDraw)->Arg(1000000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
