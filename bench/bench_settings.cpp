// How long the settings take at start-up and at close, and what the integer text rule costs.
#include "app/Settings.h"
#include "numeric/IntegerText.h"
#include "platform/Profile.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QString settingsFileIn(const QTemporaryDir& dir)
{
    QString path = app::settingsFilePath(dir.path());
    platform::Profile profile(path);
    app::saveSettings(profile, app::Settings(96));
    return path;
}

void loadAllKeys(benchmark::State& state)
{
    const QTemporaryDir dir;
    const QString path = settingsFileIn(dir);
    for (auto _ : state) {
        const platform::Profile profile(path);
        benchmark::DoNotOptimize(app::loadSettings(profile, 96));
    }
}
BENCHMARK(loadAllKeys);

// The close of the main window: 22 keys, each written by replacing the file.
void saveAllKeys(benchmark::State& state)
{
    const QTemporaryDir dir;
    const QString path = settingsFileIn(dir);
    const app::Settings settings(96);
    for (auto _ : state) {
        platform::Profile profile(path);
        benchmark::DoNotOptimize(app::saveSettings(profile, settings));
    }
}
BENCHMARK(saveAllKeys)->Unit(benchmark::kMillisecond);

void integerText(benchmark::State& state)
{
    const QString texts[] = { QStringLiteral("-16777208"), QStringLiteral("$FF000008"),
        QStringLiteral("  38400"), QStringLiteral("12 3") };
    for (auto _ : state) {
        for (const QString& text : texts)
            benchmark::DoNotOptimize(numeric::integerFromText(text));
    }
}
BENCHMARK(integerText);

} // namespace

BENCHMARK_MAIN();
