#pragma once

#include "alarms/AlarmRules.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <deque>

namespace alarms {

/** The bounds of a program run for each alarm. */
struct AlarmCommandBounds {
    /** A run still going after this long is stopped: SIGTERM, then SIGKILL after killAfter. */
    std::chrono::milliseconds runLimit { 30000 };
    std::chrono::milliseconds killAfter { 2000 };
    /** Events waiting for their turn; later ones are dropped (and counted) beyond it. */
    std::size_t queueLimit = 1000;
};

/** What became of one run. */
struct AlarmCommandOutcome {
    enum class Kind { Exited, Signalled, TimedOut, NotStarted, Abandoned };
    AlarmEvent event;
    Kind kind = Kind::Exited;
    int code = 0; ///< the exit status (Exited) or the signal (Signalled, TimedOut, Abandoned)
    QString error; ///< why it did not start (NotStarted)
    std::chrono::milliseconds limit { 0 }; ///< the run's bound (TimedOut)
};

/** "high raised: exited with status 3", "stale cleared: killed after 30 s", ... */
QString describeOutcome(const AlarmCommandOutcome& outcome);

/**
 * The environment a run gets: @p base plus VELMORA_ALARM_RULE, _EVENT, _TEMPERATURE,
 * _THRESHOLD ("." decimals, empty when not known), _TIME (as the run file's time column), _PORT
 * and _RUN_FILE (empty when there is none).
 */
QProcessEnvironment alarmEnvironment(const QProcessEnvironment& base, const AlarmEvent& event,
    const QString& port, const QString& runFile);

/**
 * Runs a program for each alarm event, with no shell and no arguments, the event in its
 * environment: one at a time, in the order the events came, each bounded in time. Its standard
 * input is empty, its standard output discarded (the rows may be on ours), its standard error
 * ours. It runs in a process group of its own, which is stopped as a whole. Nothing here
 * waits: the caller's event loop drives the runs, and each end is told by
 * finished().
 */
class AlarmCommand : public QObject {
    Q_OBJECT

public:
    AlarmCommand(const QString& program, const QString& port, const AlarmCommandBounds& bounds = {},
        QObject* parent = nullptr);
    ~AlarmCommand() override;
    AlarmCommand(const AlarmCommand&) = delete;
    AlarmCommand& operator=(const AlarmCommand&) = delete;

    /** Runs the program for @p event now, or after those before it. */
    void enqueue(const AlarmEvent& event, const QString& runFile);

    /** Events neither run nor running. */
    std::size_t waiting() const { return m_queue.size(); }
    bool isIdle() const { return m_queue.empty() && !m_running; }
    /** Events dropped because the queue was full. */
    std::int64_t dropped() const { return m_dropped; }

    /**
     * Lets the runs go on until none is left, @p deadline passes or @p stopHandle (-1: none)
     * becomes readable. Returns whether all were run.
     */
    bool finish(const QDeadlineTimer& deadline, int stopHandle = -1);

    /** Stops the run under way (SIGTERM, then SIGKILL shortly after) and forgets the events
     *  waiting; returns how many were not run. */
    std::size_t abandon();

signals:
    void finished(const alarms::AlarmCommandOutcome& outcome);

private:
    struct Pending {
        AlarmEvent event;
        QString runFile;
    };
    void startNext();
    // SIGTERM, or SIGKILL when @p kill, to the run under way.
    void stop(bool kill);
    void ended(AlarmCommandOutcome::Kind kind, int code, const QString& error = {});

    QString m_program;
    QString m_port;
    AlarmCommandBounds m_bounds;
    QProcessEnvironment m_base;
    std::deque<Pending> m_queue;
    std::int64_t m_dropped = 0;
    QProcess* m_process = nullptr;
    QTimer m_limit;
    QTimer m_kill;
    bool m_running = false;
    bool m_timedOut = false;
    bool m_abandoning = false;
    AlarmEvent m_current;
};

} // namespace alarms

Q_DECLARE_METATYPE(alarms::AlarmCommandOutcome)
