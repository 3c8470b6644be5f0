// lab-load: many benches publishing to an MQTT broker at once, for measuring velmora-lab. Each
// bench says "online" (its last will "offline"), then a state and a temperature every interval,
// retained, with the payloads the publisher makes; a slow sine per bench stands for the readings.
//
// Usage: lab-load PORT [BENCHES] [INTERVAL-MS] [SECONDS]    (50 benches, 800 ms, 60 s)

#include "telemetry/Payloads.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mosquitto.h>
#include <thread>
#include <vector>

namespace {

struct Bench {
    mosquitto* client = nullptr;
    QByteArray prefix;
};

// A whole number above zero from the command line; @p byDefault when not given.
long number(int argc, char** argv, int at, long byDefault)
{
    if (argc <= at)
        return byDefault;
    char* end = nullptr;
    const long value = std::strtol(argv[at], &end, 10);
    if (*end != '\0' || value <= 0 || value > 1'000'000) {
        std::fprintf(stderr, "lab-load: not a number above 0: %s\n", argv[at]);
        std::exit(2);
    }
    return value;
}

void publish(mosquitto* client, const QByteArray& topic, const QByteArray& payload, int qos)
{
    mosquitto_publish(client, nullptr, topic.constData(), static_cast<int>(payload.size()),
        payload.constData(), qos, true);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fputs("usage: lab-load PORT [BENCHES] [INTERVAL-MS] [SECONDS]\n", stderr);
        return 2;
    }
    const auto port = static_cast<int>(number(argc, argv, 1, 0));
    const auto count = static_cast<int>(number(argc, argv, 2, 50));
    const std::chrono::milliseconds interval(number(argc, argv, 3, 800));
    const std::chrono::seconds duration(number(argc, argv, 4, 60));
    mosquitto_lib_init();
    std::vector<Bench> benches(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        Bench& bench = benches[static_cast<std::size_t>(i)];
        bench.prefix = QStringLiteral("velmora/load-%1/").arg(i + 1, 2, 10, QChar(u'0')).toUtf8();
        bench.client = mosquitto_new(nullptr, true, nullptr);
        const QByteArray status = bench.prefix + "status";
        mosquitto_will_set(bench.client, status.constData(), 7, "offline", 1, true);
        if (mosquitto_connect(bench.client, "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS
            || mosquitto_loop_start(bench.client) != MOSQ_ERR_SUCCESS) {
            std::fprintf(stderr, "lab-load: no connection to 127.0.0.1:%d\n", port);
            return 1;
        }
        publish(bench.client, status, "online", 1);
    }
    std::fprintf(stderr, "lab-load: %d benches publishing every %lld ms\n", count,
        static_cast<long long>(interval.count()));

    const auto start = std::chrono::steady_clock::now();
    telemetry::BenchState state;
    state.limits = instrument::RegulatorLimits { 365, 367 };
    for (auto next = start; next - start < duration; next += interval) {
        std::this_thread::sleep_until(next);
        state.time = QDateTime::currentDateTime();
        state.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(next - start);
        for (int i = 0; i < count; ++i) {
            const Bench& bench = benches[static_cast<std::size_t>(i)];
            const double phase = static_cast<double>(state.elapsed.count()) / 60'000.0 + i;
            state.temperature = 36.6 + std::sin(phase);
            publish(bench.client, bench.prefix + "state", telemetry::statePayload(state), 0);
            publish(bench.client, bench.prefix + "temperature",
                telemetry::temperaturePayload(*state.temperature), 0);
        }
    }
    for (Bench& bench : benches) {
        mosquitto_disconnect(bench.client);
        mosquitto_loop_stop(bench.client, false);
        mosquitto_destroy(bench.client);
    }
    mosquitto_lib_cleanup();
    return 0;
}
