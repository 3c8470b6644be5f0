// The program's own share of start-up: building the main window from a settings file and
// showing it, on Qt's offscreen platform (the process start and the window system come on top).
#include "app/Application.h"
#include "app/Settings.h"
#include "app/Unit1.h"
#include "platform/Profile.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

void createAndShowMainWindow(benchmark::State& state)
{
    const QTemporaryDir dir;
    const QString path = app::settingsFilePath(dir.path());
    platform::Profile profile(path);
    app::saveSettings(profile, app::Settings(96));

    for (auto _ : state) {
        TForm1 form(path);
        form.show();
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(form.chartImage().constBits());
    }
}
BENCHMARK(createAndShowMainWindow)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    app::Application application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
