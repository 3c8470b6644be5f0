#pragma once

#include "runlog/RunRow.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>

// The run file's rows as the history reads them, shared by the reader into columns and the
// export of a range of rows, so that both take and skip the same lines.
namespace history::detail {

/** The fields of one row that the history keeps. */
struct RowFields {
    std::int64_t elapsedMs = 0;
    float temperature = std::numeric_limits<float>::quiet_NaN();
    runlog::TickStatus status = runlog::TickStatus::Ok;
};

/** The time field's length in every row: 2026-12-08T10:15:00.512+01:00 */
inline constexpr qsizetype kTimeLength = 29;

/** One line without its "\n" as formatRow() writes it; the time is checked for its shape only.
 *  nullopt when it is no row. */
std::optional<RowFields> parseRowFields(QByteArrayView line);

/** Where the rows of @p content begin, after its header; nullopt when the content is no run
 *  file, with @p why naming @p name and saying what line 1 should have been. */
std::optional<qsizetype> rowsBegin(QByteArrayView content, const QString& name, QString* why);

/** The whole content of the file at @p path as it is now (what a writer adds meanwhile is left
 *  for the next read); nullopt when it cannot be read, with the reason. */
std::optional<QByteArray> readContent(const QString& path, QString* why);

/** Lines that were no row, and how the content ended. */
struct RowsScan {
    qsizetype skippedLines = 0;
    qsizetype firstSkippedLine = 0;
    bool tornLastLine = false;
};

/**
 * Goes through the whole lines of @p content from @p begin (the header being line 1), handing
 * each row to @p take(line, fields), which returns false to skip it. A line that is no row, or
 * whose elapsed time is below the last row taken, is skipped and counted; a last line without
 * its "\n" is left out.
 */
template <typename Take> RowsScan scanRows(QByteArrayView content, qsizetype begin, Take take)
{
    RowsScan scan;
    const char* const data = content.data();
    const qsizetype size = content.size();
    qsizetype lineNumber = 1;
    std::int64_t last = std::numeric_limits<std::int64_t>::min();
    for (qsizetype from = begin; from < size;) {
        const auto* newline = static_cast<const char*>(
            std::memchr(data + from, '\n', static_cast<std::size_t>(size - from)));
        if (!newline) {
            scan.tornLastLine = true;
            break;
        }
        ++lineNumber;
        const qsizetype end = newline - data;
        const QByteArrayView line(data + from, end - from);
        from = end + 1;
        const std::optional<RowFields> fields = parseRowFields(line);
        if (fields && fields->elapsedMs >= last && take(line, *fields)) {
            last = fields->elapsedMs;
            continue;
        }
        if (scan.skippedLines++ == 0)
            scan.firstSkippedLine = lineNumber;
    }
    return scan;
}

} // namespace history::detail
