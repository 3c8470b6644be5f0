#pragma once

#include "history/RunColumns.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace history {

/**
 * Writes to @p targetPath the run file's header and every row of the run file at @p sourcePath
 * whose elapsed time lies in [@p fromMs, @p toMs], byte for byte as the source has it (rows
 * that do not parse and a torn last line are left out). The target is replaced whole or not at
 * all. Returns the number of rows written; nullopt on failure, with @p why in the window's
 * language.
 */
std::optional<qsizetype> exportRows(const QString& sourcePath, std::int64_t fromMs,
    std::int64_t toMs, const QString& targetPath, QString* why = nullptr);

/** The same from @p run's columns, for a run that has no file: rows as runlog::formatRow()
 *  writes them, in local time, from the run's start plus each tick's elapsed time. */
std::optional<qsizetype> exportRows(const RunColumns& run, std::int64_t fromMs, std::int64_t toMs,
    const QString& targetPath, QString* why = nullptr);

} // namespace history
