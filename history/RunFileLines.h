#pragma once

#include "runlog/RunRow.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
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

/** Lines that were no row, and how the content ended. */
struct RowsScan {
    qsizetype skippedLines = 0;
    qsizetype firstSkippedLine = 0;
    bool tornLastLine = false;
};

/**
 * Takes whole lines after the header (line 1) in order, handing each row to take(line, fields),
 * which returns false to skip it. A line that is no row, or whose elapsed time is below the
 * last row taken, is skipped and counted.
 */
class RowScanner {
public:
    /** Every whole line of @p text; returns how much of it that was (a last line without its
     *  "\n" is left). */
    template <typename Take> qsizetype wholeLines(QByteArrayView text, Take& take)
    {
        const char* const data = text.data();
        const qsizetype size = text.size();
        qsizetype from = 0;
        while (from < size) {
            const auto* newline = static_cast<const char*>(
                std::memchr(data + from, '\n', static_cast<std::size_t>(size - from)));
            if (!newline)
                break;
            const qsizetype end = newline - data;
            const QByteArrayView line(data + from, end - from);
            from = end + 1;
            ++m_lineNumber;
            const std::optional<RowFields> fields = parseRowFields(line);
            if (fields && fields->elapsedMs >= m_last && take(line, *fields))
                m_last = fields->elapsedMs;
            else
                skip();
        }
        return from;
    }

    /** A whole line that is no row without looking at it (one too long to be one). */
    void skipLine()
    {
        ++m_lineNumber;
        skip();
    }

    RowsScan result(bool tornLastLine) const
    {
        RowsScan scan = m_scan;
        scan.tornLastLine = tornLastLine;
        return scan;
    }

private:
    void skip()
    {
        if (m_scan.skippedLines++ == 0)
            m_scan.firstSkippedLine = m_lineNumber;
    }

    RowsScan m_scan;
    qsizetype m_lineNumber = 1;
    std::int64_t m_last = std::numeric_limits<std::int64_t>::min();
};

/** The rows of @p content from @p begin (just after the header) through a RowScanner. */
template <typename Take> RowsScan scanRows(QByteArrayView content, qsizetype begin, Take take)
{
    RowScanner scanner;
    const qsizetype used = begin + scanner.wholeLines(content.sliced(begin), take);
    return scanner.result(used < content.size());
}

/**
 * A run file read in chunks of a fixed size rather than whole: a buffer that stays in the
 * processor's cache reads many times faster than fresh memory the size of the file, and the
 * file may be far larger than the columns made of it. Reads the file as it was when opened:
 * what a writer adds meanwhile is left for the next read, and a file cut shorter ends early.
 */
class RunFileChunks {
public:
    static constexpr qsizetype kChunk = 1 << 20;

    /** nullopt when the file cannot be opened, with the reason. */
    bool open(const QString& path, QString* why);
    /** The "\n" in the file, as far as it is read: how many ticks it may hold at most. */
    std::optional<qsizetype> countLines(QString* why);

    /** Checks the header, then hands every whole line to a RowScanner with @p take; nullopt
     *  when it is no run file or cannot be read, with @p why. */
    template <typename Take> std::optional<RowsScan> scan(Take take, QString* why)
    {
        if (!rewind(why))
            return std::nullopt;
        RowScanner scanner;
        bool headerRead = false;
        bool inLongLine = false; // a line longer than the buffer, read past up to its end
        qsizetype held = 0;
        for (;;) {
            const std::optional<qsizetype> got = readMore(held, why);
            if (!got)
                return std::nullopt;
            held += *got;
            const bool ended = m_left == 0 || *got == 0;
            const QByteArrayView view(m_buffer.constData(), held);
            qsizetype from = 0;
            if (!headerRead) {
                if (held < qsizetype(sizeof runlog::kRunHeader - 1) && !ended)
                    continue;
                const std::optional<qsizetype> begin = rowsBegin(view, m_name, why);
                if (!begin)
                    return std::nullopt;
                from = *begin;
                headerRead = true;
            }
            if (inLongLine) {
                const qsizetype newline = view.indexOf('\n', from);
                from = newline < 0 ? held : newline + 1;
                if (newline >= 0) {
                    scanner.skipLine();
                    inLongLine = false;
                }
            }
            from += scanner.wholeLines(view.sliced(from), take);
            if (ended)
                return scanner.result(from < held || inLongLine);
            if (from == 0 && held == kChunk) {
                inLongLine = true;
                from = held;
            }
            held -= from;
            std::memmove(m_buffer.data(), m_buffer.constData() + from, std::size_t(held));
        }
    }

private:
    bool rewind(QString* why);
    /** Reads into the buffer after its first @p held bytes; the count read. */
    std::optional<qsizetype> readMore(qsizetype held, QString* why);
    bool failed(QString* why);

    QFile m_file;
    QString m_name;
    qint64 m_size = 0;
    qint64 m_left = 0;
    QByteArray m_buffer;
};

} // namespace history::detail
