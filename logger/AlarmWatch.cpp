#include "logger/AlarmWatch.h"

#include "alarms/AlarmRecord.h"
#include "platform/StopSignals.h"
#include "runlog/LimitsRecord.h"
#include "session/PollSession.h"

namespace logger {

namespace {

QString events(std::int64_t count)
{
    return QString::number(count)
        + (count == 1 ? QStringLiteral(" alarm event") : QStringLiteral(" alarm events"));
}

} // namespace

AlarmWatch::AlarmWatch(const Options& options, session::PollSession& session, Tell tell)
    : m_options(options)
    , m_session(session)
    , m_tell(std::move(tell))
{
    m_rules.setSettings(options.alarms);
    connect(&m_rules, &alarms::AlarmRules::transition, this, &AlarmWatch::transition);
    if (!options.onAlarm.isEmpty() && isOn()) {
        m_command = std::make_unique<alarms::AlarmCommand>(options.onAlarm, options.port);
        connect(m_command.get(), &alarms::AlarmCommand::finished, this, &AlarmWatch::ran);
    }
}

AlarmWatch::~AlarmWatch() = default;

void AlarmWatch::begin(const QString& recordFolder)
{
    if (!isOn()) {
        if (!m_options.onAlarm.isEmpty())
            m_tell(QStringLiteral("no alarm rule is on: --on-alarm %1 is never run")
                       .arg(m_options.onAlarm),
                Priority::Info);
        return;
    }
    m_recordFolder = recordFolder;
    if (m_options.alarms.Band && !recordFolder.isEmpty())
        m_rules.setLimits(runlog::lastSentLimits(recordFolder));
    m_session.addListener(&m_rules);
}

void AlarmWatch::tellBand()
{
    if (!isOn() || !m_options.alarms.Band || m_rules.bandActive())
        return;
    if (m_recordFolder.isEmpty()) {
        // Said even with --quiet: a rule that was asked for will never raise.
        if (m_options.alarmBandAsked)
            m_tell(QStringLiteral("the band rule is off: with --output there is no limits.csv "
                                  "to take the regulator's limits from (give --limits)"),
                Priority::Info);
    } else if (!m_options.quiet) {
        m_tell(QStringLiteral("the band rule waits for limits: none sent in %1")
                   .arg(m_recordFolder + u'/' + QString::fromLatin1(runlog::kLimitsFileName)),
            Priority::Info);
    }
}

void AlarmWatch::transition(const alarms::AlarmEvent& event)
{
    if (event.event == alarms::AlarmEventKind::Raised)
        ++m_raised;
    m_tell(alarmLine(event, m_options.alarms.Stale), alarmPriority(event.event));
    // The run's newest file at this moment (none on standard output).
    const QString runFile = m_session.record().filePath();
    if (!m_recordFolder.isEmpty())
        alarms::recordAlarm(m_session.record(), m_recordFolder, runFile, event);
    if (m_command)
        m_command->enqueue(event, runFile);
}

void AlarmWatch::ran(const alarms::AlarmCommandOutcome& outcome)
{
    const bool failed
        = outcome.kind != alarms::AlarmCommandOutcome::Kind::Exited || outcome.code != 0;
    if (m_options.quiet && !failed)
        return;
    m_tell(QStringLiteral("--on-alarm %1 for %2 %3: %4")
               .arg(m_options.onAlarm, QString::fromLatin1(alarms::ruleName(outcome.event.rule)),
                   QString::fromLatin1(alarms::eventName(outcome.event.event)),
                   alarms::describeOutcome(outcome)),
        Priority::Info);
}

void AlarmWatch::finish(const platform::StopSignals& stops, const QDeadlineTimer& stopDeadline)
{
    if (!m_command)
        return;
    const bool stopped = stops.received() != 0;
    m_command->finish(stopped ? stopDeadline : QDeadlineTimer(QDeadlineTimer::Forever),
        stops.isValid() ? stops.handle() : -1);
    const std::size_t notRun = m_command->isIdle() ? 0 : m_command->abandon();
    if (notRun > 0)
        m_tell(QStringLiteral("--on-alarm %1 was not run for %2: stopped first")
                   .arg(m_options.onAlarm, events(std::int64_t(notRun))),
            Priority::Info);
    if (m_command->dropped() > 0)
        m_tell(QStringLiteral("--on-alarm %1 was not run for %2: more were waiting than it "
                              "could take")
                   .arg(m_options.onAlarm, events(m_command->dropped())),
            Priority::Info);
}

std::optional<std::int64_t> AlarmWatch::raised() const
{
    if (!isOn())
        return std::nullopt;
    return m_raised;
}

} // namespace logger
