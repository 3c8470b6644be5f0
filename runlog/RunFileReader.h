#pragma once

#include "runlog/RunRow.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

namespace runlog {

/** What a run file holds. */
struct RunFile {
    QList<RunRow> rows;
    /** The file ended in a line without its "\n" (a write cut short by a crash); that line is
     *  not among the rows. A torn header counts too. */
    bool tornLastLine = false;
};

/**
 * Parses a run file: the header, then whole rows as formatRow() writes them, then perhaps one
 * torn line. An empty file (made, then killed before the header) has no rows. Anything else
 * malformed (another header, a field that is not as formatRow() writes it, "\r", a temperature
 * on a row that is not ok) gives nullopt, and @p why, when given, says which line and why.
 */
std::optional<RunFile> parseRunFile(QByteArrayView content, QString* why = nullptr);

/** parseRunFile() of the file at @p path; nullopt also when it cannot be read. */
std::optional<RunFile> readRunFile(const QString& path, QString* why = nullptr);

} // namespace runlog
