#include "logger/Telemetry.h"

#include "alarms/AlarmRules.h"
#include "session/PollSession.h"
#include "telemetry/ClientSetup.h"
#include "telemetry/LimitsCommand.h"
#include "telemetry/Publisher.h"
#include "telemetry/Topics.h"

#include <QFileInfo>

namespace logger {

namespace {

QString degrees(std::uint16_t tenths)
{
    return QStringLiteral("%1.%2").arg(tenths / 10).arg(tenths % 10);
}

QString benchOf(const Options& options)
{
    return options.mqtt.Bench.isEmpty() ? telemetry::localBenchName(options.port)
                                        : options.mqtt.Bench;
}

} // namespace

Telemetry::Telemetry(
    const Options& options, session::PollSession& session, QString recordFolder, Tell tell)
    : m_options(options)
    , m_session(session)
    , m_recordFolder(std::move(recordFolder))
    , m_tell(std::move(tell))
    , m_publisher(std::make_unique<telemetry::Publisher>(options.mqtt, benchOf(options)))
{
    connect(m_publisher.get(), &telemetry::Publisher::problem, this,
        [this](const QString& text) { m_tell(text, Priority::Warning); });
    connect(m_publisher.get(), &telemetry::Publisher::connected, this, [this] {
        if (!m_options.quiet)
            m_tell(
                QStringLiteral("MQTT broker %1: connected; publishing under %2")
                    .arg(broker(), m_options.mqtt.prefix() + u'/' + m_publisher->topics().bench()),
                Priority::Info);
    });
    if (options.mqtt.RemoteLimits)
        connect(m_publisher.get(), &telemetry::Publisher::limitsRequested, this,
            [this](instrument::RegulatorLimits limits, const QString& /*source*/) {
                requested(limits);
            });
}

Telemetry::~Telemetry() = default;

QString Telemetry::broker() const
{
    return telemetry::brokerName(m_options.mqtt);
}

void Telemetry::begin(alarms::AlarmRules* rules)
{
    // This one first: the publisher's state names the run file of the tick it tells.
    m_session.addListener(this);
    m_session.addListener(m_publisher.get());
    if (rules != nullptr)
        connect(rules, &alarms::AlarmRules::transition, m_publisher.get(),
            &telemetry::Publisher::alarmTransition);
    m_publisher->start();
}

void Telemetry::tickDone(const session::TickResult& /*tick*/)
{
    // A run may go on in a new file (a new day, a file that failed); the state names the newest.
    const QString path = m_session.record().filePath();
    if (path == m_runFile)
        return;
    m_runFile = path;
    m_publisher->setRunFile(QFileInfo(path).fileName());
}

void Telemetry::requested(instrument::RegulatorLimits limits)
{
    const std::optional<runlog::LimitsOutcome> outcome
        = m_session.sendLimitsBetweenTicks(limits, m_recordFolder, runlog::LimitsSource::Mqtt);
    const QString what = QStringLiteral("MQTT broker %1: remote limits %2,%3")
                             .arg(broker(), degrees(limits.lower), degrees(limits.upper));
    if (outcome == runlog::LimitsOutcome::Sent) {
        m_publisher->limitsResult(true, {});
        m_tell(what + QStringLiteral(" applied"), Priority::Notice);
        return;
    }
    const QString reason = telemetry::limitsRefusal(outcome);
    m_publisher->limitsResult(false, reason);
    m_tell(what + QStringLiteral(" refused: ") + reason, Priority::Warning);
}

} // namespace logger
