// What the alarm rules cost a poll tick with every rule on and no transition: the readings
// wander inside the band, above Low and below High, so each tick runs all four rules.
#include "alarms/AlarmRules.h"

#include <benchmark/benchmark.h>

namespace {

void BM_AlarmRulesTick(benchmark::State& state)
{
    alarms::AlarmSettings settings;
    settings.Enabled = true;
    settings.High = 40.0;
    settings.Low = 30.0;
    settings.Band = true;
    settings.Margin = 0.5;
    settings.Stale = 10.0;
    settings.Delay = 5.0;
    settings.Hysteresis = 0.3;
    alarms::AlarmRules rules;
    rules.setSettings(settings);
    rules.setLimits(instrument::RegulatorLimits { 360, 375 });
    const QDateTime start = QDateTime::currentDateTimeUtc();
    rules.runBegan(start);

    session::TickResult tick;
    tick.time = start;
    std::int64_t n = 0;
    for (auto _ : state) {
        tick.elapsed = std::chrono::milliseconds(n * 500);
        tick.reading = 36.5 + double(n % 10) * 0.1;
        rules.tickDone(tick);
        ++n;
    }
    benchmark::DoNotOptimize(rules.state(alarms::Rule::Band));
}
BENCHMARK(BM_AlarmRulesTick);

} // namespace

BENCHMARK_MAIN();
