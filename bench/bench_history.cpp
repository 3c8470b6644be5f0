// The run history on long runs: run files of 1,000,000 rows (a week of polling at 600 ms) and
// 10,000,000 rows, made once per run of this program: reading each file into columns (with
// the bytes each reading then holds), and the pixel columns of a 1600-px plot: the whole run,
// a zoom step and a pan step, for both. Drawing is not measured here.
//
// The files go to $VT_BENCH_DIR when it is set (and stay there), else to a temporary folder.
// The same 1M file read with pandas and plotted with matplotlib, side by side:
//   VT_BENCH_DIR=/tmp/vt-history build/bench/bench_history
//   /usr/bin/python3 bench/pandas_plot.py /tmp/vt-history/run-1000000.csv
#include "history/RunFileColumns.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimeZone>

#include <benchmark/benchmark.h>
#include <cmath>
#include <map>
#include <memory>
#include <numbers>

namespace {

constexpr int kPlotWidth = 1600;
constexpr std::int64_t kTickMs = 600;

QString benchFolder()
{
    static QTemporaryDir temporary;
    QString chosen = qEnvironmentVariable("VT_BENCH_DIR");
    if (chosen.isEmpty())
        return temporary.path();
    QDir().mkpath(chosen);
    return chosen;
}

// A run as the program writes it: ticks every 600 ms (a few ms late now and then), a slow wave
// of a few hours with noise, short stretches without a reply, a few long ones with the port
// lost, and a spike now and then.
bool writeRunFile(const QString& path, qint64 rows)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QRandomGenerator random(22);
    const QDateTime start(QDate(2026, 12, 1), QTime(8, 0), QTimeZone(3600));
    QByteArray chunk = runlog::kRunHeader;
    std::int64_t elapsed = 0;
    qint64 gapLeft = 0;
    runlog::TickStatus gap = runlog::TickStatus::NoReply;
    for (qint64 i = 0; i < rows; ++i) {
        elapsed += kTickMs + (random.bounded(50) == 0 ? random.bounded(20) : 0);
        runlog::RunRow row { start.addMSecs(elapsed), std::chrono::milliseconds(elapsed),
            std::nullopt, runlog::TickStatus::Ok };
        if (gapLeft == 0 && random.bounded(2000) == 0) {
            const bool lost = random.bounded(20) == 0;
            gapLeft = lost ? random.bounded(100, 3000) : random.bounded(1, 20);
            gap = lost ? runlog::TickStatus::PortLost : runlog::TickStatus::NoReply;
        }
        if (gapLeft > 0) {
            --gapLeft;
            row.status = gap;
        } else {
            const double hours = static_cast<double>(elapsed) / 3.6e6;
            double degrees = 30 + 8 * std::sin(2 * std::numbers::pi * hours / 6)
                + random.generateDouble() * 0.6 - 0.3;
            if (random.bounded(100000) == 0)
                degrees += 60;
            row.temperature = degrees;
        }
        chunk += runlog::formatRow(row);
        if (chunk.size() > (1 << 20)) {
            if (file.write(chunk) != chunk.size())
                return false;
            chunk.clear();
        }
    }
    return file.write(chunk) == chunk.size() && file.flush();
}

QString runFile(qint64 rows)
{
    QString path = QDir(benchFolder()).filePath(QStringLiteral("run-%1.csv").arg(rows));
    if (!QFile::exists(path) && !writeRunFile(path, rows))
        return {};
    return path;
}

// The run of @p rows read once and kept for the plot's benchmarks.
const history::RunColumns* run(qint64 rows)
{
    static std::map<qint64, std::unique_ptr<history::RunRead>> runs;
    auto& kept = runs[rows];
    if (!kept) {
        auto read = history::readRunColumns(runFile(rows));
        if (!read)
            return nullptr;
        kept = std::make_unique<history::RunRead>(std::move(*read));
    }
    return &kept->columns;
}

void readRun(benchmark::State& state)
{
    const QString path = runFile(state.range(0));
    if (path.isEmpty()) {
        state.SkipWithError("cannot write the run file");
        return;
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        const auto read = history::readRunColumns(path);
        if (!read || read->columns.size() != state.range(0)) {
            state.SkipWithError("the run file did not read whole");
            return;
        }
        bytes = read->columns.memoryBytes();
    }
    state.counters["bytes_per_reading"] = static_cast<double>(bytes) / double(state.range(0));
    state.counters["file_MB"] = static_cast<double>(QFile(path).size()) / 1e6;
}
BENCHMARK(readRun)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond)->MinTime(2);

// The whole run on 1600 px.
void wholeView(benchmark::State& state)
{
    const history::RunColumns* columns = run(state.range(0));
    if (!columns) {
        state.SkipWithError("cannot read the run file");
        return;
    }
    const std::int64_t first = columns->elapsedAt(0);
    const std::int64_t last = columns->elapsedAt(columns->size() - 1) + 1;
    for (auto _ : state)
        benchmark::DoNotOptimize(history::columnSpans(*columns, first, last, kPlotWidth));
    state.counters["bytes_per_reading"]
        = static_cast<double>(columns->memoryBytes()) / static_cast<double>(columns->size());
}
BENCHMARK(wholeView)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMicrosecond);

// One wheel step in or out (by a quarter) about the middle of a view of a third of the run.
void zoomStep(benchmark::State& state)
{
    const history::RunColumns* columns = run(state.range(0));
    if (!columns) {
        state.SkipWithError("cannot read the run file");
        return;
    }
    const std::int64_t middle = columns->elapsedAt(columns->size() / 2);
    const std::int64_t third = columns->elapsedAt(columns->size() - 1) / 3;
    bool in = true;
    for (auto _ : state) {
        const std::int64_t half = (in ? third * 4 / 5 : third) / 2;
        benchmark::DoNotOptimize(
            history::columnSpans(*columns, middle - half, middle + half, kPlotWidth));
        in = !in;
    }
}
BENCHMARK(zoomStep)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMicrosecond);

// One arrow key's pan (a tenth of the view) across a view of a tenth of the run.
void panStep(benchmark::State& state)
{
    const history::RunColumns* columns = run(state.range(0));
    if (!columns) {
        state.SkipWithError("cannot read the run file");
        return;
    }
    const std::int64_t length = columns->elapsedAt(columns->size() - 1);
    const std::int64_t view = length / 10;
    std::int64_t from = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(history::columnSpans(*columns, from, from + view, kPlotWidth));
        from = (from + view / 10) % (length - view);
    }
}
BENCHMARK(panStep)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
