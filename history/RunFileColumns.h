#pragma once

#include "history/RunColumns.h"

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace history {

/** A run file read into columns. */
struct RunRead {
    RunColumns columns;
    /** Whole lines after the header that were no row (or went back in elapsed time): skipped. */
    qsizetype skippedLines = 0;
    /** The line number (from 1, the header being line 1) of the first skipped line; 0 if none. */
    qsizetype firstSkippedLine = 0;
    /** The file ended in a line without its "\n" (being written, or cut short): left out. */
    bool tornLastLine = false;
};

/**
 * Reads a run file's content into columns: the header "time,elapsed_s,temperature_C,status",
 * then rows as runlog::formatRow() writes them. Only the first row's time is parsed: the run's
 * start is that time less its elapsed time, and every other tick's time follows from its elapsed
 * time. A row whose fields do not parse is skipped and counted, and so is one whose elapsed time
 * is below the row before. Content that is no run file (empty, another first line, bytes that
 * are no text) gives nullopt, and @p why a message in the window's language naming @p name and
 * the line.
 */
std::optional<RunRead> parseRunColumns(
    QByteArrayView content, const QString& name, QString* why = nullptr);

/** parseRunColumns() of the file at @p path as it is now (a file being written gives what of it
 *  is whole); nullopt also when it cannot be read, with the reason. */
std::optional<RunRead> readRunColumns(const QString& path, QString* why = nullptr);

} // namespace history
