#pragma once

#include "platform/IniDocument.h"

#include <QString>
#include <QStringView>

#include <optional>
#include <utility>
#include <vector>

namespace platform {

/**
 * One INI file on disk, read and written with the rules of IniDocument.
 *
 * Every write replaces the whole file atomically; a failed write leaves the file as it was.
 */
class Profile {
public:
    /** Longest value a read returns; longer values are cut. */
    static constexpr qsizetype kMaxValueLength = IniDocument::kMaxValueLength;

    explicit Profile(QString filePath);
    /**
     * A profile whose file may not exist yet while another one stands in for it: as long as
     * @p filePath is missing, reads come from @p baseFilePath, and the first write starts from
     * that file's text, so every line of it is kept in the new @p filePath. @p baseFilePath is
     * never written. A base file that cannot be read counts as an empty one here: it belongs to
     * someone else, and a copy of our own loses nothing of it.
     */
    Profile(QString filePath, QString baseFilePath);

    const QString& filePath() const { return m_filePath; }

    /**
     * The value of @p key in @p section, or @p defaultValue (less its trailing blanks) when the
     * file, the section or the key is absent. A key present with an empty value reads as empty.
     */
    QString readString(QStringView section, QStringView key, QStringView defaultValue) const;

    /**
     * Sets @p key in @p section to @p value, adding the section and the key when they are absent
     * and keeping every other line of the file. The file is read again from disk first, so changes
     * made meanwhile by another copy of the program are kept. A value that would not read back as
     * written (outer blanks or outer quotes) is quoted; line breaks inside it become blanks.
     * Returns false when the file could not be replaced: it is read-only, its folder is missing or
     * read-only, the existing file cannot be read, or the disk refused the data; also when the key
     * or section name could not be read back (empty key, a key with "=" or starting with ";" or
     * "[", a line break in either name). The file on disk is then unchanged.
     */
    bool writeString(QStringView section, QStringView key, QStringView value);

    /** One key and its value, for writeStrings(). */
    using Entry = std::pair<QString, QString>;

    /**
     * Sets every key of @p entries in @p section as writeString() does, in order, and replaces the
     * file once: a crash leaves either the file as it was or the file with all of them. Returns
     * false, writing nothing, when any name could not be stored or the file could not be
     * replaced.
     */
    bool writeStrings(QStringView section, const std::vector<Entry>& entries);
    /** The keys of one section, for writeSections(). */
    struct SectionEntries {
        QString section;
        std::vector<Entry> entries;
    };
    /**
     * As writeStrings() for several sections at once, in order, with one replacement of the file
     * for all of them.
     */
    bool writeSections(const std::vector<SectionEntries>& sections);

    /**
     * Makes sure everything written is on disk. Writes already replace the file as they happen,
     * so this only reports whether the last write succeeded.
     */
    bool flush() const;

private:
    void loadIfNeeded() const;
    // The file's text: empty for a missing file, nullopt when it exists but can't be read.
    std::optional<IniDocument> loadDocument() const;
    static std::optional<IniDocument> readDocument(const QString& path);

    QString m_filePath;
    QString m_baseFilePath;
    // The file as last read or written.
    mutable IniDocument m_document;
    mutable bool m_loaded = false;
    bool m_lastWriteOk = true;
};

} // namespace platform
