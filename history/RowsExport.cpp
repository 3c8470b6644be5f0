#include "history/RowsExport.h"

#include "history/RunFileLines.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cmath>

namespace history {

namespace {

// Writes @p rows after the header as the whole new content of @p targetPath.
bool writeRows(const QString& targetPath, const QByteArray& rows, QString* why)
{
    QSaveFile file(targetPath);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(runlog::kRunHeader, sizeof runlog::kRunHeader - 1);
        file.write(rows);
        if (file.commit())
            return true;
    }
    if (why)
        *why = QStringLiteral("Не удалось записать файл «%1»: %2.")
                   .arg(QDir::toNativeSeparators(targetPath), file.errorString());
    return false;
}

} // namespace

std::optional<qsizetype> exportRows(const QString& sourcePath, std::int64_t fromMs,
    std::int64_t toMs, const QString& targetPath, QString* why)
{
    detail::RunFileChunks source;
    if (!source.open(sourcePath, why))
        return std::nullopt;
    // The rows the history reads from the file, so the same ones it shows; each copied with its
    // "\n" exactly as the source has it.
    QByteArray rows;
    qsizetype count = 0;
    bool started = false;
    const auto scan = source.scan(
        [&](QByteArrayView line, const detail::RowFields& row) {
            // Until a row's time parses the reader has no start, and skips the row.
            if (!started
                && !QDateTime::fromString(
                    QString::fromLatin1(line.first(detail::kTimeLength)), Qt::ISODateWithMs)
                        .isValid())
                return false;
            started = true;
            if (row.elapsedMs >= fromMs && row.elapsedMs <= toMs) {
                rows.append(line.data(), line.size() + 1);
                ++count;
            }
            return true;
        },
        why);
    if (!scan)
        return std::nullopt;
    if (!writeRows(targetPath, rows, why))
        return std::nullopt;
    return count;
}

std::optional<qsizetype> exportRows(const RunColumns& run, std::int64_t fromMs, std::int64_t toMs,
    const QString& targetPath, QString* why)
{
    QByteArray rows;
    qsizetype count = 0;
    for (qsizetype i = run.lowerBound(fromMs); i < run.size() && run.elapsedAt(i) <= toMs; ++i) {
        runlog::RunRow row;
        row.time = QDateTime::fromMSecsSinceEpoch(run.timeAt(i));
        row.elapsed = std::chrono::milliseconds(run.elapsedAt(i));
        row.status = run.statusAt(i);
        if (!std::isnan(run.temperatureAt(i)))
            row.temperature = static_cast<double>(run.temperatureAt(i));
        rows += runlog::formatRow(row);
        ++count;
    }
    if (!writeRows(targetPath, rows, why))
        return std::nullopt;
    return count;
}

} // namespace history
