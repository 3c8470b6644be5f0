#include "alarms/AlarmCommand.h"

#include "alarms/AlarmRecord.h"
#include "platform/ChildProcess.h"
#include "runlog/RunRow.h"

#include <QEventLoop>
#include <QSocketNotifier>

#include <algorithm>
#include <memory>

namespace alarms {

namespace {

// At the end, a program still running gets this long after SIGTERM: the logger must stop soon.
constexpr std::chrono::milliseconds kStopGrace { 250 };

QString seconds(std::chrono::milliseconds span)
{
    return QString::number(double(span.count()) / 1000.0, 'g', 6) + QStringLiteral(" s");
}

} // namespace

QString describeOutcome(const AlarmCommandOutcome& outcome)
{
    using Kind = AlarmCommandOutcome::Kind;
    switch (outcome.kind) {
    case Kind::Exited:
        return QStringLiteral("exited with status %1").arg(outcome.code);
    case Kind::Signalled:
        return QStringLiteral("ended by signal %1").arg(outcome.code);
    case Kind::TimedOut:
        return QStringLiteral("still running after %1: stopped (signal %2)")
            .arg(seconds(outcome.limit))
            .arg(outcome.code);
    case Kind::NotStarted:
        return QStringLiteral("did not start: ") + outcome.error;
    case Kind::Abandoned:
        return QStringLiteral("still running at the end: stopped (signal %1)").arg(outcome.code);
    }
    return QStringLiteral("unknown outcome");
}

QProcessEnvironment alarmEnvironment(const QProcessEnvironment& base, const AlarmEvent& event,
    const QString& port, const QString& runFile)
{
    QProcessEnvironment environment = base;
    environment.insert(
        QStringLiteral("VELMORA_ALARM_RULE"), QString::fromLatin1(ruleName(event.rule)));
    environment.insert(
        QStringLiteral("VELMORA_ALARM_EVENT"), QString::fromLatin1(eventName(event.event)));
    environment.insert(QStringLiteral("VELMORA_ALARM_TEMPERATURE"),
        QString::fromLatin1(alarmNumber(event.temperature)));
    environment.insert(QStringLiteral("VELMORA_ALARM_THRESHOLD"),
        QString::fromLatin1(alarmNumber(event.threshold)));
    environment.insert(QStringLiteral("VELMORA_ALARM_TIME"),
        event.time.isValid() ? QString::fromLatin1(runlog::timeText(event.time)) : QString());
    environment.insert(QStringLiteral("VELMORA_ALARM_PORT"), port);
    environment.insert(QStringLiteral("VELMORA_ALARM_RUN_FILE"), runFile);
    return environment;
}

AlarmCommand::AlarmCommand(
    const QString& program, const QString& port, const AlarmCommandBounds& bounds, QObject* parent)
    : QObject(parent)
    , m_program(program)
    , m_port(port)
    , m_bounds(bounds)
    , m_base(QProcessEnvironment::systemEnvironment())
{
    qRegisterMetaType<alarms::AlarmCommandOutcome>();
    m_limit.setSingleShot(true);
    m_kill.setSingleShot(true);
    connect(&m_limit, &QTimer::timeout, this, [this] {
        m_timedOut = true;
        stop(false);
        m_kill.start(m_bounds.killAfter);
    });
    connect(&m_kill, &QTimer::timeout, this, [this] { stop(true); });
}

AlarmCommand::~AlarmCommand()
{
    // Nobody is told any more; the program is not left behind.
    if (m_process) {
        m_process->disconnect(this);
        stop(true);
        m_process->waitForFinished(int(m_bounds.killAfter.count()));
    }
}

void AlarmCommand::enqueue(const AlarmEvent& event, const QString& runFile)
{
    if (m_queue.size() >= m_bounds.queueLimit) {
        ++m_dropped;
        return;
    }
    m_queue.push_back({ event, runFile });
    if (!m_running)
        startNext();
}

void AlarmCommand::startNext()
{
    if (m_running || m_queue.empty())
        return;
    const Pending next = m_queue.front();
    m_queue.pop_front();
    m_running = true;
    m_timedOut = false;
    m_current = next.event;

    // A new process for each run: nothing of the last one's state carries over.
    if (m_process)
        m_process->deleteLater();
    m_process = new QProcess(this);
    m_process->setProgram(m_program);
    m_process->setProcessEnvironment(alarmEnvironment(m_base, next.event, m_port, next.runFile));
    m_process->setStandardInputFile(QProcess::nullDevice());
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process->setStandardOutputFile(QProcess::nullDevice());
    m_process->setChildProcessModifier(platform::prepareChildProcess);
    connect(m_process, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        using Kind = AlarmCommandOutcome::Kind;
        const Kind kind = m_timedOut         ? Kind::TimedOut
            : status == QProcess::NormalExit ? Kind::Exited
                                             : Kind::Signalled;
        ended(kind, code);
    });
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            ended(AlarmCommandOutcome::Kind::NotStarted, 0, m_process->errorString());
    });
    m_limit.start(m_bounds.runLimit);
    m_process->start();
}

void AlarmCommand::ended(AlarmCommandOutcome::Kind kind, int code, const QString& error)
{
    if (!m_running)
        return;
    m_limit.stop();
    m_kill.stop();
    m_running = false;
    AlarmCommandOutcome outcome;
    outcome.event = m_current;
    outcome.kind = m_abandoning && kind != AlarmCommandOutcome::Kind::NotStarted
        ? AlarmCommandOutcome::Kind::Abandoned
        : kind;
    outcome.code = code;
    outcome.error = error;
    outcome.limit = m_bounds.runLimit;
    emit finished(outcome);
    startNext();
}

bool AlarmCommand::finish(const QDeadlineTimer& deadline, int stopHandle)
{
    if (isIdle())
        return true;
    QEventLoop loop;
    QTimer bound;
    bound.setSingleShot(true);
    connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
    const QMetaObject::Connection done = connect(this, &AlarmCommand::finished, &loop, [&] {
        if (isIdle())
            loop.quit();
    });
    std::unique_ptr<QSocketNotifier> stop;
    if (stopHandle >= 0) {
        stop = std::make_unique<QSocketNotifier>(stopHandle, QSocketNotifier::Read);
        connect(stop.get(), &QSocketNotifier::activated, &loop, &QEventLoop::quit);
    }
    if (!deadline.isForever())
        bound.start(std::chrono::milliseconds(std::max<qint64>(deadline.remainingTime(), 0)));
    if (!isIdle())
        loop.exec();
    disconnect(done);
    return isIdle();
}

std::size_t AlarmCommand::abandon()
{
    const std::size_t notRun = m_queue.size();
    m_queue.clear();
    if (m_running && m_process) {
        m_abandoning = true;
        stop(false);
        const std::chrono::milliseconds grace = std::min(m_bounds.killAfter, kStopGrace);
        if (!m_process->waitForFinished(int(grace.count()))) {
            stop(true);
            m_process->waitForFinished(int(m_bounds.killAfter.count()));
        }
        m_abandoning = false;
    }
    return notRun;
}

void AlarmCommand::stop(bool kill)
{
    // The program's whole group: a script's own children (a mail or curl that hangs) go too.
    if (m_process && m_process->state() != QProcess::NotRunning
        && !platform::signalProcessGroup(m_process->processId(), kill)) {
        if (kill)
            m_process->kill();
        else
            m_process->terminate();
    }
}

} // namespace alarms
