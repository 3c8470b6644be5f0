#pragma once

#include <QByteArray>
#include <QString>

#include <variant>

namespace platform {

/** A secret file refused, and why (English, naming the file). */
struct PrivateFileRefusal {
    QString reason;
};

/**
 * The first line of a file that holds a secret (a password), without its line break. The file
 * must be a regular file owned by the user the program runs as, neither readable nor writable
 * by its group or by others; it is checked on the opened file itself, so nothing can be swapped
 * in between the check and the read. At most @p maxSize bytes are read. Anything else is
 * refused with the reason, and nothing of the file is returned.
 */
std::variant<QByteArray, PrivateFileRefusal> readPrivateFile(
    const QString& path, qsizetype maxSize = 4096);

} // namespace platform
