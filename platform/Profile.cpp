#include "platform/Profile.h"

#include "platform/AtomicFile.h"

#include <QFile>
#include <QFileInfo>

#include <utility>

namespace platform {

Profile::Profile(QString filePath)
    : m_filePath(std::move(filePath))
{
}

Profile::Profile(QString filePath, QString baseFilePath)
    : m_filePath(std::move(filePath))
    , m_baseFilePath(std::move(baseFilePath))
{
}

QString Profile::readString(QStringView section, QStringView key, QStringView defaultValue) const
{
    loadIfNeeded();
    return m_document.readString(section, key, defaultValue);
}

bool Profile::writeString(QStringView section, QStringView key, QStringView value)
{
    return writeStrings(section, { Entry { key.toString(), value.toString() } });
}

bool Profile::writeStrings(QStringView section, const std::vector<Entry>& entries)
{
    return writeSections({ SectionEntries { section.toString(), entries } });
}

bool Profile::writeSections(const std::vector<SectionEntries>& sections)
{
    m_lastWriteOk = false;
    for (const auto& [section, entries] : sections) {
        for (const auto& [key, value] : entries) {
            if (!IniDocument::canStore(section, key))
                return false;
        }
    }

    // Another copy of the program may have changed the file since we last read it.
    std::optional<IniDocument> onDisk = loadDocument();
    if (!onDisk) {
        // Replacing a file we cannot read would lose everything else in it.
        m_loaded = false;
        return false;
    }

    IniDocument document = *onDisk;
    for (const auto& [section, entries] : sections) {
        for (const auto& [key, value] : entries)
            document.writeString(section, key, value);
    }

    if (replaceFileAtomically(m_filePath, document.toBytes()) != ReplaceError::None) {
        m_document = std::move(*onDisk);
        m_loaded = true;
        return false;
    }
    m_document = std::move(document);
    m_loaded = true;
    m_lastWriteOk = true;
    return true;
}

bool Profile::flush() const
{
    return m_lastWriteOk;
}

void Profile::loadIfNeeded() const
{
    if (m_loaded)
        return;
    // An unreadable file reads like a missing one: every key gives its default.
    m_document = loadDocument().value_or(IniDocument {});
    m_loaded = true;
}

std::optional<IniDocument> Profile::loadDocument() const
{
    // QFileInfo follows a dangling link to its missing target; QFile::exists() would not.
    if (!QFileInfo::exists(m_filePath)) {
        if (m_baseFilePath.isEmpty() || !QFileInfo::exists(m_baseFilePath))
            return IniDocument {};
        return readDocument(m_baseFilePath).value_or(IniDocument {});
    }
    return readDocument(m_filePath);
}

std::optional<IniDocument> Profile::readDocument(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return IniDocument::fromBytes(bytes);
}

} // namespace platform
