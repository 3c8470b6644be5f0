#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace platform {

/**
 * The text of one INI file, held in memory, with the rules of the Windows private-profile
 * functions: section and key names ignore letter case, blanks around keys and values are
 * trimmed, one pair of matching outer quotes is removed, the first of duplicate sections or keys
 * wins, and values are cut at kMaxValueLength characters. Every line that is not the key being
 * written is kept as it was.
 */
class IniDocument {
public:
    /** Longest value a read returns; longer values are cut. */
    static constexpr qsizetype kMaxValueLength = 2047;

    IniDocument() = default;

    /**
     * The document in @p bytes: UTF-8 (with or without a byte-order mark), or, when that is not
     * valid UTF-8, the Cyrillic Windows code page. CR LF, LF and CR all end a line.
     */
    static IniDocument fromBytes(QByteArrayView bytes);

    /** The document as UTF-8 with CR LF line ends. */
    QByteArray toBytes() const;

    /**
     * The value of @p key in @p section, or @p defaultValue (less its trailing blanks) when the
     * section or the key is absent. A key present with an empty value reads as empty.
     */
    QString readString(QStringView section, QStringView key, QStringView defaultValue) const;

    /**
     * Sets @p key in @p section to @p value, adding the section and the key when they are absent.
     * A value that would not read back as written (outer blanks or outer quotes) is quoted; line
     * breaks inside it become blanks. Returns false, changing nothing, when the key or section
     * name could not be read back (see canStore()).
     */
    bool writeString(QStringView section, QStringView key, QStringView value);

    /**
     * Whether a key of this name in a section of this name reads back as the same key: false for
     * an empty key, a key with "=" or starting with ";" or "[", or a line break in either name.
     */
    static bool canStore(QStringView section, QStringView key);

private:
    // One entry per line, without its line end.
    QStringList m_lines;
};

} // namespace platform
