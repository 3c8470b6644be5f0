#pragma once

#include "platform/Clock.h"
#include "runlog/LogFailure.h"
#include "runlog/RunRow.h"
#include "runlog/Storage.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <deque>
#include <optional>

namespace runlog {

/**
 * The file of one run: every poll tick from Start to Stop as one CSV row that survives a crash,
 * a kill and a power cut. Each row is written at the end of the last whole row and synced
 * before record() returns; a failed or partial write is cut back, so a torn line is never
 * followed by further rows. While the folder or the disk fails, rows are held in memory and go
 * out first, in order, once writing works again; no call ever blocks on a failure, throws, or
 * reports one failure twice in a run.
 */
class RunLog {
public:
    /** Rows held while writing fails; beyond that the oldest are dropped (and counted). */
    static constexpr qsizetype kMaxHeldRows = 100000;

    RunLog(); ///< on the system's files
    explicit RunLog(Storage& storage); ///< on @p storage (not owned), for tests
    ~RunLog(); ///< ends a run still going
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;

    /**
     * Begins a run (ending one still going): creates @p folder (and its parents) when missing,
     * then a new file named after @p start (never overwriting: O_EXCL, next attempt suffix on
     * EEXIST), writes the header, syncs the file and, once, the folder. A failure here does not
     * stop the run: rows are kept in memory and the file is made at a later tick when the
     * folder works again. Returns the failure to report, if any (see record()).
     */
    std::optional<LogFailure> begin(
        const QString& folder, const QDateTime& start, platform::Clock::Duration steadyStart);

    /**
     * Begins a run in the file @p path (ending one still going), rather than in one named after
     * the start: the file is made new, or taken when an empty file is there already (made with
     * touch or mktemp, say). Anything else at @p path (a file with content, a folder, a device)
     * is never overwritten: the run does not begin, isRunning() is false, and the failure is
     * EEXIST. Any other failure does not stop the run, as with begin(). Should the file be
     * removed or given up during the run, the rest goes to a new file beside it, named with the
     * next attempt suffix: "night.csv", then "night_2.csv", "night_3.csv", ...
     */
    std::optional<LogFailure> beginAt(
        const QString& path, const QDateTime& start, platform::Clock::Duration steadyStart);

    /**
     * One tick's row (elapsed = @p steadyNow minus the start's; the temperature is kept only
     * for Ok): written and synced before it returns. Returns a failure only for the FIRST
     * failure of the run (one report per run); later failures of the same run return nullopt.
     * Rows that could not be written stay in memory (bounded by kMaxHeldRows, oldest dropped)
     * and go out first, in order, once writing works again. Outside a run it does nothing.
     */
    std::optional<LogFailure> record(TickStatus status, std::optional<double> temperature,
        const QDateTime& now, platform::Clock::Duration steadyNow);

    /** record() in two steps, for rows that come in a batch: hold() keeps a row without
     *  writing it, writeHeldRows() writes and syncs all held rows at once. */
    void hold(TickStatus status, std::optional<double> temperature, const QDateTime& now,
        platform::Clock::Duration steadyNow);
    std::optional<LogFailure> writeHeldRows();

    /** Ends the run: tries once more to write what is held (rows still held are lost, with no
     *  report), closes the file. Nothing outside a run. */
    void end();

    bool isRunning() const { return m_running; }
    /** The run's current file; empty while none could be made. */
    QString filePath() const { return m_file >= 0 ? m_filePath : QString(); }
    /** Rows of this run waiting in memory for the file to take them. */
    qsizetype heldRows() const { return qsizetype(m_held.size()); }
    /** Rows of this run dropped because more than kMaxHeldRows were held. */
    std::int64_t droppedRows() const { return m_dropped; }
    /** After end(): the rows of the run that never reached a file (dropped while held, or still
     *  held at the end); 0 until a run has ended, and again once the next one begins. */
    std::int64_t lostRows() const { return m_lost; }

private:
    std::optional<LogFailure> beginIn(const QString& folder, const QString& fixedName,
        const QDateTime& start, platform::Clock::Duration steadyStart);
    QString fileName(int attempt) const;
    Storage::Opened openIfEmpty(const QString& path);
    std::optional<LogFailure> flush();
    std::optional<LogFailure> openFile();
    std::optional<LogFailure> writeHeld();
    void giveUpFile();
    std::optional<LogFailure> firstReport(std::optional<LogFailure> failure);

    Storage* m_storage;
    bool m_running = false;
    bool m_reported = false;
    QString m_folder;
    QString m_fixedName; ///< the file name beginAt() gave; empty: named after the start
    QDateTime m_start;
    platform::Clock::Duration m_steadyStart { 0 };
    int m_attempt = 0; ///< the suffix of the newest file made in this run
    Storage::Handle m_file = -1;
    QString m_filePath;
    qint64 m_end = 0; ///< end of the last whole row written and synced
    bool m_folderSynced = false;
    std::deque<QByteArray> m_held;
    std::int64_t m_dropped = 0;
    std::int64_t m_lost = 0;
};

} // namespace runlog
