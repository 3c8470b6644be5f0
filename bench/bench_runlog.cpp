// What the run log costs a poll tick on this machine's disk: one row formatted, written at the
// end of the file and synced (fdatasync), and how long after its tick a row written on the
// writer's thread is safe on the disk. The folder is
// $VT_BENCH_DIR, or bench-runlog/ under the current folder: a real disk, not a tmpfs, where a
// sync costs nothing.
#include "runlog/RunLog.h"
#include "runlog/RunWriter.h"

#include <QDir>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTimeZone>

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <vector>

namespace {

constexpr int kRows = 2000;

QString benchFolder()
{
    const QString chosen = qEnvironmentVariable("VT_BENCH_DIR");
    QString folder
        = chosen.isEmpty() ? QDir::current().filePath(QStringLiteral("bench-runlog")) : chosen;
    QDir().mkpath(folder);
    return folder;
}

const QDateTime kStart(QDate(2026, 12, 8), QTime(10, 15), QTimeZone("Europe/Berlin"));

double percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    const auto at = std::size_t(std::lround(fraction * double(values.size() - 1)));
    return values.at(at);
}

// One row per iteration, each timed alone, so that the figures are the ticks' own.
void recordRow(benchmark::State& state)
{
    QTemporaryDir dir(benchFolder() + QStringLiteral("/run-XXXXXX"));
    if (!dir.isValid()) {
        state.SkipWithError("cannot make a folder for the run files");
        return;
    }
    runlog::RunLog log;
    if (log.begin(dir.path(), kStart, std::chrono::milliseconds(0))) {
        state.SkipWithError("cannot begin a run file");
        return;
    }
    std::vector<double> times;
    times.reserve(kRows);
    int tick = 0;
    for (auto _ : state) {
        ++tick;
        const std::chrono::milliseconds elapsed(qint64(tick) * 500);
        const QDateTime now = kStart.addMSecs(elapsed.count());
        const auto begun = std::chrono::steady_clock::now();
        const auto failure
            = log.record(runlog::TickStatus::Ok, (360 + tick % 20) / 10.0, now, elapsed);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - begun;
        if (failure) {
            state.SkipWithError(
                qPrintable(QStringLiteral("%1: %2").arg(failure->path, failure->reason)));
            return;
        }
        state.SetIterationTime(took.count());
        times.push_back(took.count() * 1000.0);
    }
    log.end();
    state.SetLabel(QStorageInfo(dir.path()).fileSystemType().toStdString());
    state.counters["median_ms"] = percentile(times, 0.5);
    state.counters["p99_ms"] = percentile(times, 0.99);
    state.counters["max_ms"] = percentile(times, 1.0);
}
BENCHMARK(recordRow)->Iterations(kRows)->UseManualTime()->Unit(benchmark::kMillisecond);

// From a tick handing its row to the run's writer thread to the row written and synced: what
// the tick itself no longer waits for, the delay before a row is safe on the disk. 1000 rows.
void rowToDisk(benchmark::State& state)
{
    QTemporaryDir dir(benchFolder() + QStringLiteral("/run-XXXXXX"));
    if (!dir.isValid()) {
        state.SkipWithError("cannot make a folder for the run files");
        return;
    }
    runlog::RunWriter writer;
    writer.begin(
        { runlog::RunTarget::Kind::Folder, dir.path(), -1 }, kStart, std::chrono::milliseconds(0));
    if (!writer.waitUntilDone(std::chrono::seconds(10))) {
        state.SkipWithError("the run file was not made within 10 s");
        return;
    }
    std::vector<double> delays;
    std::vector<double> handOver;
    int tick = 0;
    for (auto _ : state) {
        ++tick;
        const std::chrono::milliseconds elapsed(qint64(tick) * 500);
        const auto begun = std::chrono::steady_clock::now();
        writer.record(runlog::TickStatus::Ok, (360 + tick % 20) / 10.0,
            kStart.addMSecs(elapsed.count()), elapsed);
        const auto handed = std::chrono::steady_clock::now();
        if (!writer.waitUntilDone(std::chrono::seconds(10))) {
            state.SkipWithError("a row was not written within 10 s");
            return;
        }
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - begun;
        state.SetIterationTime(took.count());
        delays.push_back(took.count() * 1000.0);
        handOver.push_back(std::chrono::duration<double>(handed - begun).count() * 1000.0);
    }
    writer.end();
    writer.waitUntilDone(std::chrono::seconds(10));
    state.SetLabel(QStorageInfo(dir.path()).fileSystemType().toStdString());
    state.counters["median_ms"] = percentile(delays, 0.5);
    state.counters["p99_ms"] = percentile(delays, 0.99);
    state.counters["max_ms"] = percentile(delays, 1.0);
    state.counters["tick_p99_ms"] = percentile(handOver, 0.99);
}
BENCHMARK(rowToDisk)->Iterations(1000)->UseManualTime()->Unit(benchmark::kMillisecond);

// The row text alone, without the disk.
void formatRow(benchmark::State& state)
{
    const runlog::RunRow row { QDateTime(
                                   QDate(2026, 12, 8), QTime(10, 15), QTimeZone("Europe/Berlin")),
        std::chrono::milliseconds(12345), 36.5, runlog::TickStatus::Ok };
    for (auto _ : state)
        benchmark::DoNotOptimize(runlog::formatRow(row));
}
BENCHMARK(formatRow)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
