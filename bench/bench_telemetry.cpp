// The publisher on a real broker the benchmark starts on a free loopback port: how long a
// tick's state message takes from tickDone() to a subscriber on the same machine (median and
// 99th percentile over 1,000 ticks), and what tickDone() costs the tick path, with the broker
// there and with it away.
#include "../tests/support/MqttBroker.h"
#include "telemetry/Publisher.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <memory>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

struct Setup {
    MqttBroker broker;
    QTemporaryDir dir;
    std::unique_ptr<telemetry::Publisher> publisher;
};

std::unique_ptr<Setup> g_setup;

Setup* setup()
{
    if (g_setup)
        return g_setup.get();
    g_setup = std::make_unique<Setup>();
    Setup* s = [made = g_setup.get()] {
        if (!MqttBroker::installed() || !made->broker.start())
            return made;
        telemetry::MqttSettings settings;
        settings.Host = QStringLiteral("127.0.0.1");
        settings.Port = made->broker.port();
        settings.User = QStringLiteral("bench");
        settings.PasswordFile = made->dir.filePath(QStringLiteral("password"));
        QFile file(settings.PasswordFile);
        if (!file.open(QIODevice::WriteOnly) || file.write("benchpw\n") <= 0
            || !file.setPermissions(QFile::ReadOwner | QFile::WriteOwner))
            return made;
        file.close();
        made->publisher
            = std::make_unique<telemetry::Publisher>(settings, QStringLiteral("bench1"));
        made->publisher->start();
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (!made->publisher->isConnected() && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return made;
    }();
    return s;
}

// The n-th tick of a run; the wall clock is read once, as the session does it, not here.
session::TickResult tickAt(std::int64_t n)
{
    static const QDateTime start = QDateTime::currentDateTime();
    return { start.addMSecs(n * 800), {}, std::chrono::milliseconds(n * 800),
        instrument::TickOutcome::Ok, 36.0 + double(n % 20) * 0.1 };
}

// Counts the state messages a subscriber receives and when the newest came.
struct Arrivals {
    std::atomic<int> count { 0 };
    std::atomic<Clock::rep> last { 0 };
    std::atomic<bool> subscribed { false };
};

void BM_TickToSubscriber(benchmark::State& state)
{
    Setup* s = setup();
    if (!s->publisher || !s->publisher->isConnected()) {
        state.SkipWithError("no broker (mosquitto not installed or not started)");
        return;
    }
    Arrivals arrivals;
    mosquitto* client = mosquitto_new(nullptr, true, &arrivals);
    mosquitto_username_pw_set(client, "operator", "operatorpw");
    mosquitto_message_callback_set(client, [](mosquitto*, void* self, const mosquitto_message* m) {
        if (m->retain)
            return;
        auto* a = static_cast<Arrivals*>(self);
        a->last = Clock::now().time_since_epoch().count();
        ++a->count;
    });
    mosquitto_subscribe_callback_set(client, [](mosquitto*, void* self, int, int, const int*) {
        static_cast<Arrivals*>(self)->subscribed = true;
    });
    mosquitto_connect(client, "127.0.0.1", s->broker.port(), 30);
    mosquitto_subscribe(client, nullptr, "velmora/bench1/state", 0);
    mosquitto_loop_start(client);
    const auto ready = Clock::now() + std::chrono::seconds(10);
    while (!arrivals.subscribed && Clock::now() < ready)
        std::this_thread::yield();

    std::vector<double> latencies;
    std::int64_t n = 0;
    for (auto _ : state) {
        const int before = arrivals.count;
        const auto sent = Clock::now();
        s->publisher->tickDone(tickAt(n++));
        const auto deadline = sent + std::chrono::seconds(2);
        while (arrivals.count == before && Clock::now() < deadline)
            std::this_thread::yield();
        const auto took = Clock::time_point(Clock::duration(arrivals.last.load())) - sent;
        const double seconds = std::chrono::duration<double>(took).count();
        state.SetIterationTime(seconds);
        latencies.push_back(seconds * 1000.0);
    }
    mosquitto_disconnect(client);
    mosquitto_loop_stop(client, false);
    mosquitto_destroy(client);
    std::sort(latencies.begin(), latencies.end());
    if (!latencies.empty()) {
        state.counters["median_ms"] = latencies[latencies.size() / 2];
        state.counters["p99_ms"] = latencies[latencies.size() * 99 / 100];
    }
}
BENCHMARK(BM_TickToSubscriber)->Iterations(1000)->UseManualTime()->Unit(benchmark::kMillisecond);

// The tick path's cost while connected: formatting and handing over, nothing waited for.
void BM_TickDone(benchmark::State& state)
{
    Setup* s = setup();
    if (!s->publisher) {
        state.SkipWithError("no broker");
        return;
    }
    const session::TickResult tick = tickAt(1);
    for (auto _ : state)
        s->publisher->tickDone(tick);
}
BENCHMARK(BM_TickDone)->Unit(benchmark::kMicrosecond);

// The same with the broker away: the newest state is kept, nothing is queued.
void BM_TickDoneBrokerAway(benchmark::State& state)
{
    Setup* s = setup();
    if (!s->publisher) {
        state.SkipWithError("no broker");
        return;
    }
    s->broker.stop();
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (s->publisher->isConnected() && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const session::TickResult tick = tickAt(1);
    for (auto _ : state)
        s->publisher->tickDone(tick);
}
BENCHMARK(BM_TickDoneBrokerAway)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_setup.reset(); // the publisher, then the broker
    return 0;
}
