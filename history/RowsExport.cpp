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
    const std::optional<QByteArray> content = detail::readContent(sourcePath, why);
    if (!content)
        return std::nullopt;
    const std::optional<qsizetype> begin
        = detail::rowsBegin(*content, QFileInfo(sourcePath).fileName(), why);
    if (!begin)
        return std::nullopt;
    // The rows the history reads from the file, so the same ones it shows; each copied with its
    // "\n" exactly as the source has it.
    QByteArray rows;
    qsizetype count = 0;
    detail::scanRows(*content, *begin, [&](QByteArrayView line, const detail::RowFields& row) {
        if (row.elapsedMs >= fromMs && row.elapsedMs <= toMs) {
            rows.append(line.data(), line.size() + 1);
            ++count;
        }
        return true;
    });
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
