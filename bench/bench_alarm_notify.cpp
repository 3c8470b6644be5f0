// The time from the tick of a reading above High to the desktop notification delivered: the
// session's listener call on the alarm rules, the notifier's asynchronous Notify, and the call
// arriving at a notification service on a private bus (dbus-daemon, started here). The service
// is a small one of this program's own, so the figure is the program's and the bus's, not a
// notification server's drawing.
#include "alarms/AlarmRules.h"
#include "alarms/ui/DesktopNotifier.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <QVariantMap>

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdint>

namespace {

// Notifications arrive here; each one ends the wait of the benchmark's loop.
class NotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QEventLoop* waiting = nullptr;
    std::uint32_t last = 0;

public slots:
    // NOLINTNEXTLINE(readability-convert-member-functions-to-static): a D-Bus method
    uint Notify(const QString&, uint, const QString&, const QString&, const QString&,
        const QStringList&, const QVariantMap&, int)
    {
        if (waiting != nullptr)
            waiting->quit();
        return ++last;
    }
    void CloseNotification(uint) { }
};

struct PrivateBus {
    QProcess daemon;
    QString address;

    PrivateBus()
    {
        daemon.start(QStringLiteral("dbus-daemon"),
            { QStringLiteral("--session"), QStringLiteral("--nofork"),
                QStringLiteral("--print-address=1") });
        if (!daemon.waitForStarted(5000))
            return;
        while (!daemon.canReadLine() && daemon.waitForReadyRead(5000)) { }
        address = QString::fromUtf8(daemon.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        daemon.terminate();
        daemon.waitForFinished(5000);
    }
};

void BM_TickToNotification(benchmark::State& state)
{
    PrivateBus bus;
    if (bus.address.isEmpty()) {
        state.SkipWithError("no dbus-daemon to start a private bus");
        return;
    }
    // Each run of the function has a bus of its own; a connection's name stays taken until it
    // is let go, so the names are new each time.
    static int runs = 0;
    ++runs;
    const QString serviceName = QStringLiteral("bench-service-%1").arg(runs);
    const QString programName = QStringLiteral("bench-program-%1").arg(runs);
    QDBusConnection serviceSide = QDBusConnection::connectToBus(bus.address, serviceName);
    QDBusConnection programSide = QDBusConnection::connectToBus(bus.address, programName);
    struct LetGo {
        QString a;
        QString b;
        ~LetGo()
        {
            QDBusConnection::disconnectFromBus(a);
            QDBusConnection::disconnectFromBus(b);
        }
    } letGo { serviceName, programName };
    NotificationService service;
    if (!serviceSide.isConnected() || !programSide.isConnected()) {
        const QString why = serviceSide.lastError().message() + programSide.lastError().message();
        state.SkipWithError(qPrintable(
            QStringLiteral("no connection to the private bus %1: %2").arg(bus.address, why)));
        return;
    }
    if (!serviceSide.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
            QDBusConnection::ExportAllSlots)
        || !serviceSide.registerService(QStringLiteral("org.freedesktop.Notifications"))) {
        state.SkipWithError("the private bus did not take the notification service");
        return;
    }

    alarms::AlarmSettings settings;
    settings.Enabled = true;
    settings.High = 30.0;
    alarms::AlarmRules rules;
    rules.setSettings(settings);
    alarms::DesktopNotifier notifier(programSide);
    QObject::connect(
        &rules, &alarms::AlarmRules::transition, &notifier, &alarms::DesktopNotifier::show);
    rules.runBegan(QDateTime::currentDateTimeUtc());

    session::TickResult tick;
    std::int64_t n = 0;
    QTimer bound;
    bound.setSingleShot(true);
    for (auto _ : state) {
        QEventLoop loop;
        service.waiting = &loop;
        QObject::connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
        tick.time = QDateTime::currentDateTimeUtc();
        tick.elapsed = std::chrono::milliseconds(++n * 500);
        tick.reading = 31.0;
        const std::uint32_t before = service.last;
        QElapsedTimer took;
        took.start();
        rules.tickDone(tick); // raises at once: Delay is off
        bound.start(5000);
        if (service.last == before)
            loop.exec();
        state.SetIterationTime(static_cast<double>(took.nsecsElapsed()) * 1e-9);
        bound.stop();
        service.waiting = nullptr;
        if (service.last == before) {
            state.SkipWithError("no notification within 5 s");
            return;
        }
        // The reading returns: the alarm clears, ready to raise again.
        tick.elapsed = std::chrono::milliseconds(++n * 500);
        tick.reading = 25.0;
        rules.tickDone(tick);
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_TickToNotification)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

#include "bench_alarm_notify.moc"
