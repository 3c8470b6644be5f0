#include "logger/Polling.h"

#include "app/RunLogSettings.h"
#include "app/SettingsLocation.h"
#include "logger/AlarmWatch.h"
#include "logger/Options.h"
#include "logger/PollLoop.h"
#include "logger/Report.h"
#include "logger/RunOutput.h"
#include "logger/SendLimits.h"
#include "logger/Telemetry.h"
#include "platform/BackgroundWriter.h"
#include "platform/Profile.h"
#include "platform/StandardStreams.h"
#include "platform/StopSignals.h"
#include "runlog/TickOutcomeStatus.h"
#include "session/PollSession.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace logger {

namespace {

// The longest a stop waits for the last rows and lines once the tick under way has ended.
constexpr std::chrono::milliseconds kStopWait { 1000 };
// Of that second, what the last lines on standard error are left at least.
constexpr std::chrono::milliseconds kLinesWait { 300 };

// Lines on standard error, through a thread of their own: a terminal on hold (Ctrl+S) or a pipe
// nobody reads holds up that thread, never polling. A terminal that went away (SIGHUP) or a
// closed pipe only loses the line: the run and its file go on regardless.
class Messages {
public:
    Messages()
        : m_writer(platform::standardErrorHandle())
        , m_journal(platform::standardErrorIsJournal())
    {
    }
    void say(const QString& line) { m_writer.write(line.toLocal8Bit() + '\n'); }
    void tell(const QString& line) { say(QStringLiteral("velmora-log: ") + line); }
    // A line the journal ranks by its priority, where standard error is the journal.
    void tell(const QString& line, Priority priority)
    {
        say(withPriority(QStringLiteral("velmora-log: ") + line, priority, m_journal));
    }
    platform::BackgroundWriter& writer() { return m_writer; }

private:
    platform::BackgroundWriter m_writer;
    bool m_journal;
};

// The folder of the run files and limits.csv, as the window finds it from the same settings
// file. [RunLog] Enabled is the window's switch: the logger writes its rows regardless. It is
// made only when rows or limits.csv go there (--limits, remote limits), never for --output
// alone.
QString runFolderOf(const Options& options)
{
    const platform::Profile profile(options.settingsFile);
    const app::RunLogSettings settings = app::loadRunLogSettings(profile);
    const bool remoteLimits = options.mqtt.Enabled && options.mqtt.RemoteLimits;
    if (!options.output.isEmpty() && !options.limits && !remoteLimits)
        return app::runFolder(options.settingsLocation, settings);
    return app::prepareRunFolder(options.settingsLocation, settings);
}

std::chrono::milliseconds left(const QDeadlineTimer& deadline)
{
    return std::chrono::milliseconds(deadline.remainingTime());
}

// What the person running it is told of each tick, and the tally for the summary.
class Run : public session::TickListener {
public:
    Run(const Options& options, Messages& messages, const session::PollSession& session)
        : m_options(options)
        , m_messages(messages)
        , m_session(session)
        , m_showReadings(!options.quiet && platform::standardErrorIsTerminal())
    {
    }

    void tickDone(const session::TickResult& tick) override
    {
        const runlog::TickStatus status = runlog::tickStatus(tick.outcome);
        ++(tick.reading ? m_tally.readings : m_tally.withoutReading);
        if (m_showReadings)
            m_messages.say(readingLine(tick.time, tick.reading, status));
        if (!m_options.quiet)
            tellLinkChange(tick.outcome);
        ++m_ticks;
    }

    bool wantsMore() const { return !m_options.count || m_ticks < *m_options.count; }
    Tally& tally() { return m_tally; }

private:
    // A lost port and its return, once each, for a log that has no reading lines (a service's
    // journal); the rows say the same tick by tick.
    void tellLinkChange(instrument::TickOutcome outcome)
    {
        const int reconnects = m_session.link().reconnects();
        if (outcome == instrument::TickOutcome::PortLost && !m_toldLost) {
            m_messages.tell(
                QStringLiteral("lost %1; opening it again at each tick").arg(m_options.port));
            m_toldLost = true;
        } else if (reconnects > m_toldReconnects) {
            m_messages.tell(QStringLiteral("%1 is back; polling goes on").arg(m_options.port));
            m_toldLost = false;
        }
        m_toldReconnects = reconnects;
    }

    const Options& m_options;
    Messages& m_messages;
    const session::PollSession& m_session;
    bool m_showReadings;
    Tally m_tally;
    std::int64_t m_ticks = 0;
    bool m_toldLost = false;
    int m_toldReconnects = 0;
};

// How the run's record fares, as its writer tells it.
struct RecordState {
    bool beginning = true; ///< the output is being opened: a failure now ends the run
    bool ended = false; ///< the output takes no more rows
    bool readerGone = false; ///< standard output's reader went away
};

} // namespace

int runPolling(const Options& options)
{
    // First of all, so that a stop during the start is kept for the loop, and a closed standard
    // output is an error to report rather than a silent end.
    const platform::StopSignals stops;
    Messages messages;
    if (!stops.isValid())
        messages.tell(
            QStringLiteral("cannot catch the stop signals: SIGINT and SIGTERM end it at once"));

    const QString runFolder = runFolderOf(options);
    const RunOutput output(options.output, runFolder);
    const bool polls = !options.count || *options.count > 0;
    if (const QString refusal = output.refusal(); polls && !refusal.isEmpty()) {
        messages.tell(refusal);
        return kExitFailure;
    }

    session::PollSession session;
    runlog::RunWriter& record = session.record();
    Run run(options, messages, session);
    session.addListener(&run);
    // Before the upload, so that the band rule follows the limits sent.
    AlarmWatch alarms(options, session,
        [&messages](const QString& line, Priority priority) { messages.tell(line, priority); });
    alarms.begin(options.output.isEmpty() ? runFolder : QString());
    // Made only when publishing is on, and before the upload, so that the broker hears of it.
    std::unique_ptr<Telemetry> telemetry;
    if (options.mqtt.Enabled && polls) {
        telemetry = std::make_unique<Telemetry>(options, session, runFolder,
            [&messages](const QString& line, Priority priority) { messages.tell(line, priority); });
        telemetry->begin(alarms.rules());
    }
    int status = kExitOk;
    if (options.limits) {
        const LimitsSent limits = sendLimits(session, *options.limits, options.port,
            options.baudRate, runFolder, [&messages](const QString& line) { messages.tell(line); });
        if (!limits.sent)
            return kExitFailure;
        if (!limits.recorded)
            status = kExitFailure;
    }
    if (!polls || stops.received() != 0)
        return status;
    alarms.tellBand();

    PollLoop loop(options.intervalMs, stops.handle(),
        options.duration ? std::optional<platform::Clock::Duration>(*options.duration)
                         : std::nullopt);
    RecordState state;
    QObject::connect(
        &record, &runlog::RunWriter::failed, &record, [&](const runlog::LogFailure& failure) {
            if (output.isStandardOutput() && failure.error == EPIPE) {
                // Nobody reads the rows any more: the run ends without a word, as other tools
                // end when the rest of their pipeline has gone.
                state.readerGone = true;
            } else if (state.beginning || output.isStandardOutput()) {
                messages.tell(writeFailure(failure));
            } else {
                messages.tell(writeFailure(failure)
                    + QStringLiteral("; polling goes on, and the rows are kept until the file "
                                     "can be written"));
                return;
            }
            state.ended = true;
            loop.quit();
        });
    QObject::connect(
        &record, &runlog::RunWriter::notAnswering, &record, [&messages](const QString& path) {
            messages.tell(QStringLiteral("%1 does not answer; polling goes on, and the rows are "
                                         "kept until it does")
                              .arg(path));
        });

    if (const platform::SerialError error
        = session.start(options.port, options.baudRate, output.target());
        error != platform::SerialError::None) {
        messages.tell(portFailure(options.port, platform::serialDevicePath(options.port), error));
        return kExitFailure;
    }
    // The output is made before the first tick, so that one that cannot be made ends the run at
    // once; a disk that does not answer in time is waited for no longer (its rows wait).
    record.waitUntilDone(kStopWait);
    QCoreApplication::sendPostedEvents(&record, QEvent::MetaCall);
    state.beginning = false;
    if (state.ended) {
        session.stop();
        return kExitFailure;
    }
    if (!options.quiet)
        messages.tell(
            QStringLiteral("polling %1 every %2 ms; rows %3 %4")
                .arg(options.port)
                .arg(options.intervalMs)
                .arg(output.isStandardOutput() ? QStringLiteral("on") : QStringLiteral("in"),
                    output.isStandardOutput() || record.filePath().isEmpty() ? output.where()
                                                                             : record.filePath()));

    loop.run([&] {
        session.tick(instrument::PollCycle::kCapacity);
        return !state.ended && run.wantsMore();
    });

    // The tick under way has ended; the port closes, and the last rows and lines get a second
    // at most: an output that does not take them must not keep the program from ending.
    QDeadlineTimer deadline(kStopWait);
    Tally& tally = run.tally();
    tally.reconnects = session.link().reconnects();
    session.stop();
    const bool done = record.waitUntilDone(left(deadline));
    QCoreApplication::sendPostedEvents(&record, QEvent::MetaCall);
    record.setLeaveAfter(std::chrono::milliseconds(0));
    tally.lostRows = done ? record.lostRows() : record.pendingRows();
    tally.alarmsRaised = alarms.raised();
    // The alarm program's runs still waiting go on, unless a stop signal came: then they get
    // what is left of the second, less the time the last lines need.
    const bool signalled = stops.received() != 0;
    alarms.finish(
        stops, QDeadlineTimer(std::max(left(deadline) - kLinesWait, std::chrono::milliseconds(0))));
    if (!signalled)
        deadline = QDeadlineTimer(kStopWait); // the runs had their own bounds; the lines a second
    if (state.readerGone)
        return kExitReaderGone;
    if (!options.quiet) {
        const QString where = output.isStandardOutput() || record.filePath().isEmpty()
            ? output.where()
            : record.filePath();
        messages.tell(summaryLine(tally, where, output.isStandardOutput()));
    }
    messages.writer().waitUntilWritten(left(deadline));
    messages.writer().setLeaveAfter(std::chrono::milliseconds(0));
    if (state.ended || tally.lostRows > 0)
        return kExitFailure;
    return status;
}

} // namespace logger
