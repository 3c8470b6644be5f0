#pragma once

#include "platform/Clock.h"
#include "runlog/LogFailure.h"
#include "runlog/RunRow.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QString>

#include <optional>

namespace runlog {

/**
 * A run written to a stream the caller holds open (standard output, a pipe): the header, then
 * one row per tick, as a run file has them. Each row is written whole in one go before record()
 * returns and, where the stream is a regular file, synced; a pipe or a terminal has nothing to
 * sync. A stream cannot be rewritten in place, so the first write that fails ends it: that call
 * returns the failure, and nothing is written after it, so that a row cut short stays the last
 * thing in the stream. Nothing is held in memory and no call blocks on a failure, but a full
 * pipe blocks a write as long as its reader does not read.
 */
class RunStream {
public:
    /** Writes to @p handle (not owned, never closed); @p name stands for it in failures. */
    RunStream(int handle, QString name);

    /** Begins the run: writes the header. Elapsed times count from @p steadyStart. */
    std::optional<LogFailure> begin(platform::Clock::Duration steadyStart);

    /** One tick's row, as RunLog::record() makes it. After a failure it does nothing. */
    std::optional<LogFailure> record(TickStatus status, std::optional<double> temperature,
        const QDateTime& now, platform::Clock::Duration steadyNow);

    /** Ends the run; the stream stays open for its owner. */
    void end() { m_running = false; }

    bool isRunning() const { return m_running; }
    /** A write or a sync failed: the stream takes nothing more. */
    bool hasFailed() const { return m_failed; }
    const QString& name() const { return m_name; }

private:
    std::optional<LogFailure> write(QByteArrayView bytes);

    int m_handle;
    QString m_name;
    bool m_running = false;
    bool m_failed = false;
    bool m_sync = false;
    platform::Clock::Duration m_steadyStart { 0 };
};

} // namespace runlog
