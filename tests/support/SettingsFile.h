#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

// Writes the settings file a test starts the main window with: the section header, then @p keys
// ("Key=value\r\n" lines). Returns its path.
inline QString writeSettingsFile(const QTemporaryDir& folder, const QByteArray& keys)
{
    const QString path = folder.filePath(QStringLiteral("VelmoraThermo.ini"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write("[Options]\r\n" + keys);
    return path;
}
