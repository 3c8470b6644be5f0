#pragma once

#include "platform/Clock.h"
#include "runlog/LimitsRecord.h"
#include "runlog/LogFailure.h"
#include "runlog/RunRow.h"
#include "runlog/Storage.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <thread>

namespace runlog {

/** Where the rows of a run go. */
struct RunTarget {
    enum class Kind {
        Folder, ///< a new file in the folder @p place, named after the start (RunLog::begin)
        File, ///< the file @p place, made new or taken empty (RunLog::beginAt)
        Stream, ///< the open handle @p handle (not owned), named @p place in failures
    };
    Kind kind = Kind::Folder;
    QString place;
    int handle = -1;
};

/**
 * The rows of a run, written on a thread of its own, so that no caller ever waits for the disk
 * or the stream: a hung network mount, a dying stick or a pipe nobody reads holds up that
 * thread alone. Every call returns at once; the rows go out in the order they were given, with
 * every guarantee of RunLog (a file) or RunStream (a stream). While the writer is held up,
 * rows wait in memory, at most RunLog::kMaxHeldRows of them (beyond that the oldest are dropped
 * and counted as lost); once it goes on, they are written in order, none twice.
 *
 * Lives on the thread that made it, whose event loop receives its signals. Failures come as
 * failed(), the first of each run only, as RunLog reports them; a writer that makes no progress
 * for kStallAfter while it has work says so once a run with notAnswering().
 */
class RunWriter : public QObject {
    Q_OBJECT

public:
    /** Without progress for this long, while rows wait, the storage counts as not answering. */
    static constexpr std::chrono::milliseconds kStallAfter { 5000 };
    /** How long the destructor waits for the last rows before it leaves them. */
    static constexpr std::chrono::milliseconds kLeaveAfter { 1000 };

    /** Writes files through @p storage (not owned; it must outlive the program's writes). */
    explicit RunWriter(Storage& storage = systemStorage(), QObject* parent = nullptr);
    /** Ends a run still going and waits up to kLeaveAfter for its rows; a writer still held up
     *  then is left to finish (or to end with the process) on its own. */
    ~RunWriter() override;
    RunWriter(const RunWriter&) = delete;
    RunWriter& operator=(const RunWriter&) = delete;

    /** Begins a run (ending one still going) in @p target; elapsed times count from
     *  @p steadyStart. */
    void begin(
        const RunTarget& target, const QDateTime& start, platform::Clock::Duration steadyStart);
    /** One tick's row. Outside a run it does nothing. */
    void record(TickStatus status, std::optional<double> temperature, const QDateTime& now,
        platform::Clock::Duration steadyNow);
    /** Ends the run; what is held is tried once more, as RunLog::end() does. */
    void end();

    /** One row of limits.csv in @p folder (runlog::recordLimits), in turn with the rows; its
     *  failure comes as failed(), whatever came before in the run. */
    void recordLimits(const QString& folder, const QDateTime& time, std::uint16_t lowerTenths,
        std::uint16_t upperTenths, LimitsOutcome outcome, LimitsSource source);

    /** Rows of another record file in @p folder (runlog::appendRecordRow), in turn with the
     *  rows; @p fileName and @p header must outlive the writer (string literals). Failures as
     *  recordLimits(). */
    void appendRecordRow(
        const QString& folder, const char* fileName, const char* header, const QByteArray& row);

    /** Between begin() and end(), as the caller sees it. */
    bool isRunning() const { return m_running; }

    /** Waits at most @p limit until everything given so far is done with; true when it is. */
    bool waitUntilDone(std::chrono::milliseconds limit);
    /** How long the destructor waits for the last rows; kLeaveAfter unless set. */
    void setLeaveAfter(std::chrono::milliseconds limit) { m_leaveAfter = limit; }
    /** How long without progress counts as not answering; kStallAfter unless set. */
    void setStallAfter(std::chrono::milliseconds limit) { m_stallAfter = limit; }

    /** The newest file of the current or last run; empty while none was made. */
    QString filePath() const;
    /** Rows of the current or last run not written yet: waiting, or held by a failing file. */
    std::int64_t pendingRows() const;
    /** Rows of the last ended run that never reached its file or stream (known once it is
     *  done with: waitUntilDone()). */
    std::int64_t lostRows() const;

signals:
    /** The first failure of a run (the file, its folder or the stream). */
    void failed(const runlog::LogFailure& failure);
    /** The storage at @p path has made no progress for kStallAfter; once a run. */
    void notAnswering(const QString& path);

private:
    struct Command;
    struct Shared;
    static void serve(const std::shared_ptr<Shared>& shared);
    void push(Command command);
    void watch();

    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
    std::chrono::milliseconds m_leaveAfter = kLeaveAfter;
    std::chrono::milliseconds m_stallAfter = kStallAfter;
    bool m_running = false;
    std::int64_t m_droppedThisRun = 0; ///< rows of the run under way dropped while waiting
    bool m_toldStall = false;
    std::uint64_t m_seenProgress = 0;
    QElapsedTimer m_sinceProgress;
    QTimer m_watch; ///< looks at the progress while there is work
};

} // namespace runlog
