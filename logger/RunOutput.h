#pragma once

#include "runlog/RunWriter.h"

#include <QString>

namespace logger {

/**
 * Where velmora-log's rows go, each through the run log's own writer: a new file in the run
 * folder (named after the start, as the window names its runs), the file --output names (made
 * new, or an empty one taken; never overwritten), or standard output (--output -).
 */
class RunOutput {
public:
    /** What --output says, "-" for standard output, empty for the run folder @p runFolder. */
    RunOutput(const QString& output, const QString& runFolder);

    /**
     * Why this output cannot be used, checked before anything is opened: the file --output
     * names has something in it already. Empty when nothing stands in the way (the writer
     * checks again, for what appears meanwhile).
     */
    QString refusal() const;

    /** The run's record, for the polling session. */
    runlog::RunTarget target() const;

    bool isStandardOutput() const { return m_kind == runlog::RunTarget::Kind::Stream; }
    /** Where the rows go: the run folder, the file, or "standard output". */
    QString where() const { return m_where; }

private:
    runlog::RunTarget::Kind m_kind;
    QString m_place;
    QString m_where;
};

} // namespace logger
