#pragma once

#include "platform/Clock.h"
#include "runlog/LogFailure.h"
#include "runlog/RunLog.h"
#include "runlog/RunRow.h"
#include "runlog/RunStream.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>

namespace logger {

/**
 * Where velmora-log's rows go, each through the run log's own writer: a new file in the run
 * folder (named after the start, as the window names its runs), the file --output names (made
 * new, or an empty one taken; never overwritten), or standard output (--output -). A run file
 * keeps every guarantee of runlog::RunLog, rows held in memory while it cannot be written among
 * them; standard output ends at its first failure (runlog::RunStream).
 */
class RunOutput {
public:
    /** What --output says, "-" for standard output, empty for the run folder @p runFolder. */
    RunOutput(const QString& output, const QString& runFolder);
    RunOutput(const RunOutput&) = delete;
    RunOutput& operator=(const RunOutput&) = delete;

    /**
     * Why this output cannot be used, checked before anything is opened: the file --output
     * names has something in it already. Empty when nothing stands in the way (begin() checks
     * again, for what appears meanwhile).
     */
    QString refusal() const;

    /** Begins the run: the file made and its header written, or the header on the stream. */
    std::optional<runlog::LogFailure> begin(
        const QDateTime& start, platform::Clock::Duration steadyStart);
    /** One tick's row; a failure is returned once a run (a stream's failure ends it). */
    std::optional<runlog::LogFailure> record(runlog::TickStatus status,
        std::optional<double> temperature, const QDateTime& now,
        platform::Clock::Duration steadyNow);
    /** Ends the run; a file is closed, standard output stays open. */
    void end();

    bool isStandardOutput() const { return m_kind == Kind::StandardOutput; }
    /** The output takes no more rows: standard output failed. */
    bool isBroken() const;
    /** Where the rows are: the newest file of the run, or "standard output". */
    QString where() const { return m_where; }
    /** After end(): the rows that never reached the output. */
    std::int64_t lostRows() const;

private:
    enum class Kind { RunFolder, File, StandardOutput };

    void noteFile();

    Kind m_kind;
    QString m_place;
    QString m_where;
    runlog::RunLog m_log;
    runlog::RunStream m_stream;
    std::int64_t m_streamRows = 0; ///< rows recorded on standard output after its failure
};

} // namespace logger
