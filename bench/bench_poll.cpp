// One poll tick against the instrument simulator on a pseudo-terminal, with the real pauses:
// what a tick costs beyond its 500 ms of mandated pauses. And a tick while the port is lost: one
// attempt to open a name that leads nowhere, which is all such a tick may hold the caller up.
#include "instrument/PollCycle.h"
#include "instrument/PollLink.h"
#include "platform/SerialPort.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <vector>

namespace {

void pollTick(benchmark::State& state)
{
    QTemporaryDir folder;
    const QString link = folder.filePath(QStringLiteral("instrument"));
    QProcess simulator;
    simulator.start(
        QStringLiteral(INSTRUMENT_SIM), { link, QStringLiteral("--seed"), QStringLiteral("1") });
    if (!simulator.waitForReadyRead(10000)) {
        state.SkipWithError("the simulator did not start");
        return;
    }
    platform::SerialPort port;
    if (port.open(link) != platform::SerialError::None) {
        state.SkipWithError("cannot open the simulator's port");
        return;
    }
    port.configure(38400);

    instrument::PollCycle poll;
    std::vector<double> overPauses;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const bool stored = poll.exchange(port) == instrument::PollOutcome::Ok;
        const std::chrono::duration<double, std::milli> took
            = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count() / 1000);
        overPauses.push_back(took.count() - 500);
        if (!stored)
            state.SkipWithError("no reply");
        poll.endOfReading(1000);
    }
    std::sort(overPauses.begin(), overPauses.end());
    if (!overPauses.empty())
        state.counters["median_ms_over_pauses"] = overPauses[overPauses.size() / 2];
    simulator.terminate();
    simulator.waitForFinished(5000);
}
BENCHMARK(pollTick)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

void lostTick(benchmark::State& state)
{
    QTemporaryDir folder;
    const QString link = folder.filePath(QStringLiteral("instrument"));
    QProcess simulator;
    // The line vanishes after the first poll and stays away.
    simulator.start(QStringLiteral(INSTRUMENT_SIM),
        { link, QStringLiteral("--vanish-after"), QStringLiteral("1") });
    if (!simulator.waitForReadyRead(10000)) {
        state.SkipWithError("the simulator did not start");
        return;
    }
    platform::SerialPort port;
    instrument::PollCycle poll;
    instrument::PollLink pollLink(port, poll);
    if (pollLink.start(link, 38400) != platform::SerialError::None) {
        state.SkipWithError("cannot open the simulator's port");
        return;
    }
    pollLink.tick();
    if (pollLink.tick() != instrument::TickOutcome::PortLost || !pollLink.isLost()) {
        state.SkipWithError("the vanished line was not taken for lost");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(pollLink.tick());
    state.counters["open_attempts"] = pollLink.reopenAttempts();
    simulator.terminate();
    simulator.waitForFinished(5000);
}
BENCHMARK(lostTick)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
