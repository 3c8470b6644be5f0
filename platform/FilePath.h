#pragma once

#include <QByteArray>

#include <optional>

namespace platform {

/** The folder part of @p path: "." for a bare name, "/" for a name in the root. */
QByteArray folderOf(const QByteArray& path);

/**
 * @p path with symbolic links on its last part followed (links among the folders are followed
 * by the system anyway), so that a replacement writes the link's target, not the link. A
 * dangling link gives the path of the file it would create; nullopt for a loop or an unreadable
 * link.
 */
std::optional<QByteArray> followLinks(QByteArray path);

} // namespace platform
