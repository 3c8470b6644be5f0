#include "logger/Polling.h"

#include "app/RunLogSettings.h"
#include "app/SettingsLocation.h"
#include "instrument/PollCycle.h"
#include "instrument/PollLink.h"
#include "logger/Options.h"
#include "logger/PollLoop.h"
#include "logger/Report.h"
#include "logger/RunOutput.h"
#include "logger/SendLimits.h"
#include "platform/Clock.h"
#include "platform/Profile.h"
#include "platform/SerialPort.h"
#include "platform/StandardStreams.h"
#include "platform/StopSignals.h"
#include "runlog/TickOutcomeStatus.h"

#include <QDateTime>

#include <cstdio>
#include <memory>

namespace logger {

namespace {

// One line on standard error. A terminal that went away (SIGHUP) or a closed pipe only loses the
// line: the run and its file go on regardless.
void say(const QString& line)
{
    const QByteArray bytes = line.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
}

void tell(const QString& line)
{
    say(QStringLiteral("velmora-log: ") + line);
}

// The newest reading of the poll cycle after a tick that stored one.
std::optional<double> newestReading(const instrument::PollCycle& poll)
{
    if (poll.counter() <= 0)
        return std::nullopt;
    return poll.samples()[static_cast<std::size_t>(poll.counter() - 1)];
}

// The folder of the run files and limits.csv, as the window finds it from the same settings
// file. [RunLog] Enabled is the window's switch: the logger writes its rows regardless.
QString runFolderOf(const Options& options)
{
    const platform::Profile profile(options.settingsFile);
    return app::prepareRunFolder(options.settingsLocation, app::loadRunLogSettings(profile));
}

// The polling itself, from the open port to the summary; returns the exit status.
class Run {
public:
    Run(const Options& options, RunOutput& output, instrument::PollLink& link,
        instrument::PollCycle& poll)
        : m_options(options)
        , m_output(output)
        , m_link(link)
        , m_poll(poll)
        , m_showReadings(!options.quiet && platform::standardErrorIsTerminal())
    {
    }

    // One tick, as the window's: the row carries the moment its poll went out.
    bool tick()
    {
        const QDateTime time = QDateTime::currentDateTime();
        const platform::Clock::Duration steady = platform::clock().now();
        const std::optional<instrument::TickOutcome> outcome = m_link.tick();
        if (!outcome)
            return false;
        std::optional<double> reading;
        if (*outcome == instrument::TickOutcome::Ok) {
            reading = newestReading(m_poll);
            // No chart here: the buffer only wraps.
            m_poll.endOfReading(instrument::PollCycle::kCapacity);
        }
        const runlog::TickStatus status = runlog::tickStatus(*outcome);
        ++(status == runlog::TickStatus::Ok && reading ? m_tally.readings : m_tally.withoutReading);
        if (const auto failure = m_output.record(status, reading, time, steady)) {
            tell(writeFailure(*failure)
                + (m_output.isBroken() ? QString()
                                       : QStringLiteral("; polling goes on, and the rows are "
                                                        "kept until the file can be written")));
        }
        if (m_output.isBroken())
            return false;
        if (m_showReadings)
            say(readingLine(time, reading, status));
        if (!m_options.quiet)
            tellLinkChange(*outcome);
        ++m_ticks;
        return !m_options.count || m_ticks < *m_options.count;
    }

    // Ends the run: the rows are in the output already; the file and the port are closed.
    int finish()
    {
        m_output.end();
        m_link.stop();
        m_tally.reconnects = m_link.reconnects();
        m_tally.lostRows = m_output.lostRows();
        if (!m_options.quiet)
            tell(summaryLine(m_tally, m_output.where(), m_output.isStandardOutput()));
        return m_output.isBroken() || m_tally.lostRows > 0 ? kExitFailure : kExitOk;
    }

private:
    // A lost port and its return, once each, for a log that has no reading lines (a service's
    // journal); the rows say the same tick by tick.
    void tellLinkChange(instrument::TickOutcome outcome)
    {
        if (outcome == instrument::TickOutcome::PortLost && !m_toldLost) {
            tell(QStringLiteral("lost %1; opening it again at each tick").arg(m_options.port));
            m_toldLost = true;
        } else if (m_link.reconnects() > m_toldReconnects) {
            tell(QStringLiteral("%1 is back; polling goes on").arg(m_options.port));
            m_toldLost = false;
        }
        m_toldReconnects = m_link.reconnects();
    }

    const Options& m_options;
    RunOutput& m_output;
    instrument::PollLink& m_link;
    instrument::PollCycle& m_poll;
    bool m_showReadings;
    Tally m_tally;
    std::int64_t m_ticks = 0;
    bool m_toldLost = false;
    int m_toldReconnects = 0;
};

} // namespace

int runPolling(const Options& options)
{
    // First of all, so that a stop during the start is kept for the loop, and a closed standard
    // output is an error to report rather than a silent end.
    const platform::StopSignals stops;
    if (!stops.isValid())
        tell(QStringLiteral("cannot catch the stop signals: SIGINT and SIGTERM end it at once"));

    const QString runFolder = runFolderOf(options);
    RunOutput output(options.output, runFolder);
    const bool polls = !options.count || *options.count > 0;
    if (const QString refusal = output.refusal(); polls && !refusal.isEmpty()) {
        tell(refusal);
        return kExitFailure;
    }

    int status = kExitOk;
    if (options.limits) {
        const LimitsSent limits
            = sendLimits(*options.limits, options.port, options.baudRate, runFolder, tell);
        if (!limits.sent)
            return kExitFailure;
        if (!limits.recorded)
            status = kExitFailure;
    }
    if (!polls || stops.received() != 0)
        return status;

    platform::SerialPort port;
    // The poll cycle holds a sweep's buffer: too large for the stack of a small system.
    const auto poll = std::make_unique<instrument::PollCycle>();
    instrument::PollLink link(port, *poll);
    if (const platform::SerialError error = link.start(options.port, options.baudRate);
        error != platform::SerialError::None) {
        tell(portFailure(options.port, platform::serialDevicePath(options.port), error));
        return kExitFailure;
    }
    if (const auto failure = output.begin(QDateTime::currentDateTime(), platform::clock().now())) {
        tell(writeFailure(*failure));
        output.end();
        link.stop();
        return kExitFailure;
    }
    if (!options.quiet)
        tell(QStringLiteral("polling %1 every %2 ms; rows %3 %4")
                 .arg(options.port)
                 .arg(options.intervalMs)
                 .arg(output.isStandardOutput() ? QStringLiteral("on") : QStringLiteral("in"),
                     output.where()));

    Run run(options, output, link, *poll);
    PollLoop loop(options.intervalMs, stops.handle(),
        options.duration ? std::optional<platform::Clock::Duration>(*options.duration)
                         : std::nullopt);
    loop.run([&run] { return run.tick(); });
    const int ended = run.finish();
    return ended != kExitOk ? ended : status;
}

} // namespace logger
