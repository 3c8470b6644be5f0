#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

// The whole of a file, or nothing when it can't be read.
inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Replaces the file at @p path with exactly @p content; false when that failed.
inline bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(content) == content.size();
}

// Writes the settings file a test starts the main window with: the section header, then @p keys
// ("Key=value\r\n" lines). Returns its path.
inline QString writeSettingsFile(const QTemporaryDir& folder, const QByteArray& keys)
{
    QString path = folder.filePath(QStringLiteral("VelmoraThermo.ini"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write("[Options]\r\n" + keys);
    return path;
}
