#include "app/BenchPublishing.h"

#include "telemetry/Publisher.h"
#include "telemetry/Topics.h"

#include <QDateTime>
#include <QFileInfo>

namespace app {

BenchPublishing::BenchPublishing(std::function<QString()> runFile, QObject* parent)
    : QObject(parent)
    , m_runFile(std::move(runFile))
{
}

BenchPublishing::~BenchPublishing() = default;

void BenchPublishing::apply(const telemetry::MqttSettings& settings, const QString& portName)
{
    const QString bench
        = settings.Bench.isEmpty() ? telemetry::localBenchName(portName) : settings.Bench;
    if (settings == m_settings && bench == m_bench && (m_publisher != nullptr) == settings.Enabled)
        return;
    close();
    m_settings = settings;
    m_bench = bench;
    if (!settings.Enabled)
        return;
    m_publisher = std::make_unique<telemetry::Publisher>(settings, bench);
    connect(m_publisher.get(), &telemetry::Publisher::problem, this, &BenchPublishing::problem);
    connect(m_publisher.get(), &telemetry::Publisher::limitsRequested, this,
        &BenchPublishing::limitsRequested);
    // What the bench already knows, so that the new connection's first messages tell it.
    if (m_limits)
        m_publisher->limitsSent(
            QDateTime::currentDateTime(), *m_limits, runlog::LimitsOutcome::Sent);
    for (const auto& event : m_alarms) {
        if (event)
            m_publisher->alarmTransition(*event);
    }
    // A publisher that cannot start has said why; it is kept, idle, until the settings change.
    m_publisher->start();
}

void BenchPublishing::close()
{
    // Its destructor says "offline" and waits a moment at most for the broker to take it.
    m_publisher.reset();
}

void BenchPublishing::setLimits(instrument::RegulatorLimits limits)
{
    limitsSent(QDateTime::currentDateTime(), limits, runlog::LimitsOutcome::Sent);
}

void BenchPublishing::alarmTransition(const alarms::AlarmEvent& event)
{
    m_alarms[static_cast<std::size_t>(event.rule)] = event;
    if (m_publisher)
        m_publisher->alarmTransition(event);
}

void BenchPublishing::limitsResult(bool applied, const QString& reason)
{
    if (m_publisher)
        m_publisher->limitsResult(applied, reason);
}

void BenchPublishing::runBegan(const QDateTime& start)
{
    if (m_publisher)
        m_publisher->runBegan(start);
}

void BenchPublishing::tickDone(const session::TickResult& tick)
{
    if (!m_publisher)
        return;
    // Only the file's name: the folder would tell the network whose home it is in.
    m_publisher->setRunFile(QFileInfo(m_runFile()).fileName());
    m_publisher->tickDone(tick);
}

void BenchPublishing::runEnded()
{
    if (m_publisher)
        m_publisher->runEnded();
}

void BenchPublishing::limitsSent(
    const QDateTime& time, instrument::RegulatorLimits limits, runlog::LimitsOutcome outcome)
{
    if (outcome == runlog::LimitsOutcome::Sent)
        m_limits = limits;
    if (m_publisher)
        m_publisher->limitsSent(time, limits, outcome);
}

} // namespace app
