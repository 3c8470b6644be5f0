#pragma once

#include <QString>

namespace runlog {

/** A write that failed: the file or folder, and the system's reason. */
struct LogFailure {
    QString path; ///< absolute path of the file or folder that failed
    int error = 0; ///< errno value
    QString reason; ///< the system's text for it, as qt_error_string() gives it
};

/** The failure of @p path with @p error, its reason filled in. */
LogFailure logFailure(const QString& path, int error);

} // namespace runlog
