#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

namespace platform {

/**
 * The text of one INI file, held in memory, with the rules of the Windows private-profile
 * functions: section and key names ignore letter case, blanks around keys and values are
 * trimmed, one pair of matching outer quotes is removed, the first of duplicate sections or keys
 * wins, and values are cut at kMaxValueLength characters. Every line that is not the key being
 * written is kept as it was, byte for byte, whatever its encoding.
 */
class IniDocument {
public:
    /** Longest value a read returns; longer values are cut. */
    static constexpr qsizetype kMaxValueLength = 2047;

    IniDocument() = default;

    /**
     * The document in @p bytes, with or without a UTF-8 byte-order mark. Each line is read on its
     * own: as UTF-8 when it is valid UTF-8, otherwise in the Cyrillic Windows code page. CR LF,
     * LF and CR all end a line.
     */
    static IniDocument fromBytes(QByteArrayView bytes);

    /**
     * The document with CR LF line ends and no byte-order mark: lines written here as UTF-8, every
     * other line in the bytes it was read from.
     */
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
    // One line without its line end: its text, and the bytes it is saved as. A line read from
    // the file keeps the bytes it was read from. It may belong to another program, in whatever
    // encoding that program writes; the code page is only a guess, and writing the guess back as
    // UTF-8 would change that program's data for good. A line written here is UTF-8.
    struct Line {
        QString text;
        QByteArray bytes;

        static Line fromText(QString text);
    };

    QList<Line> m_lines;
};

} // namespace platform
