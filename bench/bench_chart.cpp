// The chart's cost per reading and for the empty chart. One reading draws one segment and, with
// the readout on, one text; it must not depend on the number of readings per sweep.
#include "chart/ChartRenderer.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>
#include <vector>

namespace {

chart::ChartScale defaultScale()
{
    return { 20, 40, QStringLiteral("t, mm:ss"), QStringLiteral("T, deg. C") };
}

void emptyChart(benchmark::State& state)
{
    chart::ChartRenderer renderer;
    const chart::ChartSettings settings;
    for (auto _ : state) {
        renderer.InitPictures(settings, defaultScale());
        benchmark::DoNotOptimize(renderer.image().constBits());
    }
}
BENCHMARK(emptyChart)->Unit(benchmark::kMicrosecond);

// One reading at a time through whole sweeps of range(0) points, readout on.
void oneReading(benchmark::State& state)
{
    chart::ChartRenderer renderer;
    chart::ChartSettings settings;
    settings.NPoints = static_cast<std::int32_t>(state.range(0));
    const chart::ChartScale scale = defaultScale();
    std::vector<double> readings(10000);
    for (std::size_t i = 0; i < readings.size(); ++i)
        readings[i] = 20 + static_cast<double>((i * 37) % 200) / 10;
    renderer.InitPictures(settings, scale);
    std::int32_t counter = 1;
    for (auto _ : state) {
        // Counter 1 would redraw the whole chart: the sweep wraps to 2 instead.
        counter = counter >= settings.NPoints ? 2 : counter + 1;
        renderer.SetDinamicGraphic(settings, readings, counter, scale);
    }
}
BENCHMARK(oneReading)->Arg(10)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

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
