// Fuzzes the INI document: any bytes as the file, then writes, then reading back, in memory and
// through the file's bytes. The input is the file's bytes, then, after each NUL byte, one write:
// section, key and value (UTF-8) separated by 0x01 bytes.
//
// What must hold besides surviving every input: the file's text survives being saved and read
// again; saved without writes, every line comes back in the bytes it was read from, whatever its
// encoding, with CR LF after it and without the byte-order mark of the file's start; a write is
// refused exactly when its names cannot be stored, and a refused write changes nothing; every key
// written reads back as written, less its line breaks (each becomes a blank) and cut at 2047
// characters, both from the document and from its bytes read anew; and a key that was not written
// reads as it did before the writes.

#include "FuzzCheck.h"
#include "platform/IniDocument.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

#include <cstddef>
#include <cstdint>

using platform::IniDocument;

namespace {

// No written value holds a 0x01, so a read that returns this found no key.
const QString kAbsent = QStringLiteral("\x01(absent)");
// Enough writes and probes to reach every rule, few enough to keep each run quick.
constexpr qsizetype kMaxWrites = 8;
constexpr qsizetype kMaxProbeSections = 2;
constexpr qsizetype kMaxProbeKeys = 6;

QStringView blankTrimmed(QStringView text)
{
    while (!text.isEmpty() && (text.front() == u' ' || text.front() == u'\t'))
        text = text.sliced(1);
    while (!text.isEmpty() && (text.back() == u' ' || text.back() == u'\t'))
        text.chop(1);
    return text;
}

struct Name {
    QString section;
    QString key;

    // Names are compared as the file compares them: without outer blanks, ignoring case.
    bool sameAs(const Name& other) const
    {
        return blankTrimmed(section).compare(blankTrimmed(other.section), Qt::CaseInsensitive) == 0
            && blankTrimmed(key).compare(blankTrimmed(other.key), Qt::CaseInsensitive) == 0;
    }
};

struct Write {
    Name name;
    QString value;
};

bool storable(const Name& name)
{
    const QStringView key = blankTrimmed(name.key);
    const auto hasLineBreak
        = [](QStringView text) { return text.contains(u'\r') || text.contains(u'\n'); };
    return !key.isEmpty() && !key.contains(u'=') && !key.startsWith(u';') && !key.startsWith(u'[')
        && !hasLineBreak(key) && !hasLineBreak(blankTrimmed(name.section));
}

// What a written value reads back as.
QString readBack(const QString& value)
{
    QString expected = value;
    expected.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    expected.replace(u'\r', u' ');
    expected.replace(u'\n', u' ');
    if (expected.size() > IniDocument::kMaxValueLength) {
        expected.truncate(IniDocument::kMaxValueLength);
        if (expected.back().isHighSurrogate())
            expected.chop(1);
    }
    return expected;
}

// Names worth reading in the file as it was (saved as UTF-8): the bracketed names and the text
// before each "=", plus every name that will be written.
// The file as saved without writes: the mark of its start taken off, each line's bytes as they
// were, CR LF after each; a first line that itself starts with a mark gets the file's mark back.
QByteArray savedUnchanged(QByteArrayView file)
{
    const QByteArrayView mark("\xEF\xBB\xBF");
    if (file.startsWith(mark))
        file = file.sliced(mark.size());
    QByteArray saved = file.startsWith(mark) ? mark.toByteArray() : QByteArray();
    qsizetype start = 0;
    while (start < file.size()) {
        qsizetype end = start;
        while (end < file.size() && file[end] != '\r' && file[end] != '\n')
            ++end;
        saved += file.sliced(start, end - start);
        saved += "\r\n";
        if (end + 1 < file.size() && file[end] == '\r' && file[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    return saved;
}

QList<Name> probesOf(const QByteArray& file, const QList<Write>& writes)
{
    QList<QString> sections { QStringLiteral("Options") };
    QList<QString> keys;
    const QString text = QString::fromUtf8(file);
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != u'\r' && text[end] != u'\n')
            ++end;
        const QStringView line = QStringView(text).sliced(start, end - start);
        const qsizetype open = line.indexOf(u'[');
        const qsizetype close = line.lastIndexOf(u']');
        const qsizetype equals = line.indexOf(u'=');
        if (open >= 0 && close > open && sections.size() < kMaxProbeSections)
            sections.append(line.sliced(open + 1, close - open - 1).toString());
        else if (equals > 0 && keys.size() < kMaxProbeKeys)
            keys.append(line.first(equals).toString());
        start = end + 1;
    }

    QList<Name> probes;
    const auto add = [&probes](const Name& name) {
        for (const Name& probe : probes) {
            if (probe.sameAs(name))
                return;
        }
        probes.append(name);
    };
    for (const QString& section : sections) {
        for (const QString& key : keys)
            add({ section, key });
    }
    for (const Write& write : writes)
        add(write.name);
    return probes;
}

void checkRead(const IniDocument& document, const Name& name, const QString& expected)
{
    const QString value = document.readString(name.section, name.key, kAbsent);
    FUZZ_CHECK(value == expected);
    FUZZ_CHECK(value.size() <= IniDocument::kMaxValueLength);
    FUZZ_CHECK(value == kAbsent || (!value.contains(u'\r') && !value.contains(u'\n')));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView input(data, static_cast<qsizetype>(size));
    const qsizetype fileEnd = input.indexOf('\0');
    const QByteArray file = input.first(fileEnd < 0 ? input.size() : fileEnd).toByteArray();

    QList<Write> writes;
    if (fileEnd >= 0) {
        const QList<QByteArray> records
            = input.sliced(fileEnd + 1).toByteArray().split('\0').mid(0, kMaxWrites);
        for (const QByteArray& record : records) {
            const QList<QByteArray> fields = record.split('\x01');
            const auto field = [&](qsizetype i) {
                return i < fields.size() ? QString::fromUtf8(fields[i]) : QString();
            };
            writes.append({ { field(0), field(1) }, field(2) });
        }
    }

    IniDocument document = IniDocument::fromBytes(file);
    const QByteArray saved = document.toBytes();
    // The text survives being saved and read again: once saved, the bytes stay the same.
    FUZZ_CHECK(IniDocument::fromBytes(saved).toBytes() == saved);
    FUZZ_CHECK(saved == savedUnchanged(file));

    const QList<Name> probes = probesOf(saved, writes);
    QList<QString> before;
    for (const Name& probe : probes)
        before.append(document.readString(probe.section, probe.key, kAbsent));

    QList<Write> written;
    for (const Write& write : writes) {
        const bool refused = !storable(write.name);
        FUZZ_CHECK(IniDocument::canStore(write.name.section, write.name.key) != refused);
        const QByteArray unchanged = refused ? document.toBytes() : QByteArray();
        const bool stored = document.writeString(write.name.section, write.name.key, write.value);
        FUZZ_CHECK(stored != refused);
        if (refused) {
            FUZZ_CHECK(document.toBytes() == unchanged);
            continue;
        }
        // A later write of the same key replaces an earlier one.
        for (qsizetype i = 0; i < written.size(); ++i) {
            if (written[i].name.sameAs(write.name))
                written.remove(i--);
        }
        written.append(write);
    }

    const IniDocument reread = IniDocument::fromBytes(document.toBytes());
    for (qsizetype i = 0; i < probes.size(); ++i) {
        QString expected = before[i];
        for (const Write& write : written) {
            if (write.name.sameAs(probes[i]))
                expected = readBack(write.value);
        }
        checkRead(document, probes[i], expected);
        checkRead(reread, probes[i], expected);
    }
    return 0;
}
