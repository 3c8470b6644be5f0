#include "platform/AtomicFile.h"
#include "platform/Profile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using platform::Profile;
using platform::ReplaceError;

namespace {

const QString kOptions = QStringLiteral("Options");

// "Температура, °C" in the Windows Cyrillic code page, as a Windows copy of the program saves it.
const QByteArray kCp1251Caption("\xD2\xE5\xEC\xEF\xE5\xF0\xE0\xF2\xF3\xF0\xE0, \xB0"
                                "C");
const QString kCaption = QStringLiteral("Температура, °C");

// Cyrillic letters, "°" and ASCII in the Windows Cyrillic code page; enough for the test texts.
QByteArray cp1251(QStringView text)
{
    QByteArray bytes;
    for (const QChar c : text) {
        if (c >= u'А' && c <= u'я')
            bytes += char(0xC0 + (c.unicode() - 0x0410));
        else if (c == u'°')
            bytes += char(0xB0);
        else
            bytes += char(c.unicode());
    }
    return bytes;
}

mode_t modeOf(const QString& path)
{
    struct stat info { };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    return info.st_mode & 07777;
}

} // namespace

class TstProfile : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }
    void cleanup();

    void readString_data();
    void readString();
    void readCutsLongValues_data();
    void readCutsLongValues();
    void writeNewFile();
    void writeDefaultSettings();
    void writeEdits_data();
    void writeEdits();
    void writeRoundTrip_data();
    void writeRoundTrip();
    void writeLineBreak_data();
    void writeLineBreak();
    void writeRefusesUnstorableNames_data();
    void writeRefusesUnstorableNames();
    void writeRereadsFile();
    void writeKeepsASecondByteOrderMark();
    void mixedEncodings_data();
    void mixedEncodings();
    void writeStringsMatchesOneByOne();
    void writeStringsAllOrNothing();
    void writeSectionsInOneReplacement();
    void replaceSetsPermissions();
    void readOnlyFileUnchanged();
    void readOnlyFolderGetsNoFile();
    void missingFolderFails();
    void symlinkTargetReplaced();
    void saveRemovesLeftovers_data();
    void saveRemovesLeftovers();
    void baseFileStandsInUntilTheFileExists();
    void unreadableBaseFileCountsAsEmpty();

private:
    QString path(const QString& name = QStringLiteral("t.ini")) const
    {
        return m_dir->filePath(name);
    }
    QStringList entries(const QString& folder) const
    {
        return QDir(folder).entryList(
            QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }
    static bool writeBytes(const QString& file, const QByteArray& bytes)
    {
        QFile f(file);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    }
    static QByteArray readBytes(const QString& file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TstProfile::cleanup()
{
    // A folder left read-only by a test must not keep QTemporaryDir from removing it.
    QFile::setPermissions(path(QStringLiteral("ro")),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    m_dir.reset();
}

void TstProfile::readString_data()
{
    QTest::addColumn<QByteArray>("file"); // a null array: no file at all
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("defaultValue");
    QTest::addColumn<QString>("expected");

    // Every row reads from section "Options".
    const auto row = [](const char* name, const QByteArray& file, const char* key,
                         const QString& expected, const char* defaultValue = "dflt") {
        QTest::newRow(name) << file << QString::fromLatin1(key) << QString::fromLatin1(defaultValue)
                            << expected;
    };
    const QByteArray port("[Options]\r\nPort=COM3\r\n");
    row("Port=COM3 read as port", port, "port", "COM3");
    row("Port=COM3 read as PORT", port, "PORT", "COM3");
    row("[options]", "[options]\r\nPort=COM3\r\n", "Port", "COM3");
    row("  Port  =  COM3  ", "[Options]\r\n  Port  =  COM3  \r\n", "Port", "COM3");
    row("tabs round Port and COM3", "[Options]\r\n\tPort\t=\tCOM3\t\r\n", "Port", "COM3");
    row("X= a  b ", "[Options]\r\nX= a  b \r\n", "X", "a  b");
    const QByteArray quotes("[Options]\r\nA=\"COM 3\"\r\nB='COM 3'\r\nC=\"COM3\r\nD=COM3\"\r\n"
                            "E='x\"\r\nH=\"a\"b\"\r\n");
    row("A=\"COM 3\"", quotes, "A", "COM 3");
    row("B='COM 3'", quotes, "B", "COM 3");
    row("C=\"COM3", quotes, "C", "\"COM3");
    row("D=COM3\"", quotes, "D", "COM3\"");
    row("E='x\"", quotes, "E", "'x\"");
    row("H=\"a\"b\"", quotes, "H", "a\"b");
    row("YCaption=", "[Options]\r\nYCaption=\r\n", "YCaption", "", "t, mm:ss");
    row("XCaption=   ", "[Options]\r\nXCaption=   \r\n", "XCaption", "", "T, deg. C");
    row("key absent, default with trailing blanks", port, "YCaption", "t, mm:ss", "t, mm:ss  ");
    row("section absent", "[Other]\r\nPort=COM3\r\n", "Port", "dflt");
    row("no file", QByteArray(), "Port", "dflt");
    row("empty file", "", "Port", "dflt");
    row("Port without =", "[Options]\r\nPort\r\n", "Port", "dflt");
    row(";Port=COM5", "[Options]\r\n;Port=COM5\r\n", "Port", "dflt");
    row("  ;Port=COM5", "[Options]\r\n  ;Port=COM5\r\n", "Port", "dflt");
    row("Port=COM3 then Port=COM4", "[Options]\r\nPort=COM3\r\nPort=COM4\r\n", "Port", "COM3");
    row("[Options] twice", "[Options]\r\nA=1\r\n[Options]\r\nPort=COM3\r\n", "Port", "dflt");
    row("key in the next section", "[Options]\r\nA=1\r\n[Other]\r\nPort=COM3\r\n", "Port", "dflt");
    row("keys before any section", "Port=COM3\r\n[Options]\r\nA=1\r\n", "Port", "dflt");
    row("Port=a=b", "[Options]\r\nPort=a=b\r\n", "Port", "a=b");
    row("[Options]   ", "[Options]   \r\nPort=COM3\r\n", "Port", "COM3");
    row("[ Options ]", "[ Options ]\r\nPort=COM3\r\n", "Port", "COM3");
    row("PenGraphColor=$FF", "[Options]\r\nPenGraphColor=$FF\r\n", "PenGraphColor", "$FF");
    row("B= 12 3 ", "[Options]\r\nB= 12 3 \r\n", "B", "12 3");

    // The key sits after another section and another key, so every line end must be seen.
    const char* lineEnds[][2] = { { "CR LF", "\r\n" }, { "LF", "\n" }, { "CR", "\r" } };
    for (const auto& [name, end] : lineEnds) {
        const QByteArray file = QByteArray("[Other]") + end + "Port=X" + end + "[Options]" + end
            + "A=1" + end + "Port=COM3" + end;
        row(name, file, "Port", "COM3");
    }
    row("mixed line ends", "[Other]\rPort=X\n[Options]\r\nA=1\rPort=COM3\n", "Port", "COM3");
    row("no final line end", "[Other]\r\nPort=X\r\n[Options]\r\nPort=COM3", "Port", "COM3");

    row("UTF-8 Cyrillic", "[Options]\r\nYCaption=" + kCaption.toUtf8() + "\r\n", "YCaption",
        kCaption);
    row("windows-1251 Cyrillic", "[Options]\r\nYCaption=" + kCp1251Caption + "\r\n", "YCaption",
        kCaption);
    row("windows-1251 upper half", "[Options]\r\nX=\xA8\xB8\xB9\x88\xAB\xBB\r\n", "X",
        QStringLiteral("Ёё№€«»"));
    row("UTF-8 byte-order mark", "\xEF\xBB\xBF[Options]\r\nPort=COM3\r\n", "Port", "COM3");
}

void TstProfile::readString()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, key);
    QFETCH(QString, defaultValue);
    QFETCH(QString, expected);

    if (!file.isNull())
        QVERIFY(writeBytes(path(), file));
    const Profile profile(path());
    QCOMPARE(profile.readString(kOptions, key, defaultValue), expected);
}

void TstProfile::readCutsLongValues_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");

    const QString xs2046(2046, u'x');
    QTest::newRow("3000 characters") << QString(3000, u'x') << QString(2047, u'x');
    QTest::newRow("2047 characters") << QString(2047, u'x') << QString(2047, u'x');
    QTest::newRow("surrogate pair across the cut")
        << xs2046 + QStringLiteral("\U0001F600yy") << xs2046;
    QTest::newRow("2047 characters in quotes")
        << u'"' + QString(2047, u'x') + u'"' << QString(2047, u'x');
}

void TstProfile::readCutsLongValues()
{
    QFETCH(QString, value);
    QFETCH(QString, expected);

    QVERIFY(writeBytes(path(), "[Options]\r\nX=" + value.toUtf8() + "\r\n"));
    QCOMPARE(Profile(path()).readString(kOptions, u"X", u""), expected);
}

void TstProfile::writeNewFile()
{
    Profile profile(path());
    QVERIFY(profile.writeString(kOptions, u"Port", u"COM1"));
    QVERIFY(profile.flush());
    QCOMPARE(readBytes(path()), QByteArray("[Options]\r\nPort=COM1\r\n"));
}

void TstProfile::writeDefaultSettings()
{
    const char* const keys[][2] = { { "Port", "COM1" }, { "BaudRate", "38400" },
        { "TimerWorkInterval", "800" }, { "NPoints", "1000" }, { "A", "300" }, { "B", "310" },
        { "MinY", "20" }, { "MaxY", "40" }, { "YCaption", "t, mm:ss" }, { "XCaption", "T, deg. C" },
        { "BrushGraphColor", "0" }, { "PenGraphColor", "65280" }, { "AxisGraphColor", "65535" },
        { "TextFontName", "MS Sans Serif" }, { "TextFontColor", "-16777208" },
        { "TextFontSize", "8" }, { "TextFontStyle", "0" }, { "GraphFontName", "MS Sans Serif" },
        { "GraphFontColor", "-16777208" }, { "GraphFontSize", "8" }, { "GraphFontStyle", "0" },
        { "ShowSignalFlag", "1" } };

    Profile profile(path());
    QByteArray expected("[Options]\r\n");
    for (const auto& [key, value] : keys) {
        QVERIFY(
            profile.writeString(kOptions, QString::fromLatin1(key), QString::fromLatin1(value)));
        expected += QByteArray(key) + '=' + value + "\r\n";
    }
    QCOMPARE(readBytes(path()), expected);
    QCOMPARE(expected.size(), 402);
}

void TstProfile::writeEdits_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("after");

    // Every row writes the value 2.
    QTest::newRow("port = COM3 among other lines")
        << QByteArray(
               "; settings\r\n[Options]\r\nport = COM3\r\nUnknown=1\r\n\r\n[Other]\r\nPort=X\r\n")
        << "Port"
        << QByteArray(
               "; settings\r\n[Options]\r\nport=2\r\nUnknown=1\r\n\r\n[Other]\r\nPort=X\r\n");
    QTest::newRow("section ends in a comment and blank lines")
        << QByteArray("[Options]\r\nA=1\r\n; end\r\n\r\n \r\n[Other]\r\nX=1\r\n") << "B"
        << QByteArray("[Options]\r\nA=1\r\n; end\r\nB=2\r\n\r\n \r\n[Other]\r\nX=1\r\n");
    QTest::newRow("section header only") << QByteArray("[Options]\r\n\r\n[Other]\r\n") << "B"
                                         << QByteArray("[Options]\r\nB=2\r\n\r\n[Other]\r\n");
    QTest::newRow("section last, no final line end")
        << QByteArray("[Other]\r\nX=1\r\n[Options]\r\nA=1") << "B"
        << QByteArray("[Other]\r\nX=1\r\n[Options]\r\nA=1\r\nB=2\r\n");
    QTest::newRow("section absent") << QByteArray("[Other]\r\nX=1\r\n\r\n") << "B"
                                    << QByteArray("[Other]\r\nX=1\r\n\r\n[Options]\r\nB=2\r\n");
    QTest::newRow("section absent, no final line end") << QByteArray(
        "[Other]\r\nX=1") << "B" << QByteArray("[Other]\r\nX=1\r\n[Options]\r\nB=2\r\n");
    QTest::newRow("empty file") << QByteArray("") << "B" << QByteArray("[Options]\r\nB=2\r\n");
    QTest::newRow("duplicate keys and sections")
        << QByteArray("[Options]\r\nB=1\r\nB=1\r\n[Options]\r\nB=1\r\n") << "B"
        << QByteArray("[Options]\r\nB=2\r\nB=1\r\n[Options]\r\nB=1\r\n");
    QTest::newRow("duplicate sections, key absent")
        << QByteArray("[Options]\r\nA=1\r\n[Options]\r\nB=1\r\n") << "B"
        << QByteArray("[Options]\r\nA=1\r\nB=2\r\n[Options]\r\nB=1\r\n");
    QTest::newRow("LF file") << QByteArray("[Options]\nA=1\n[Other]\nX=1\n") << "B"
                             << QByteArray("[Options]\r\nA=1\r\nB=2\r\n[Other]\r\nX=1\r\n");
    QTest::newRow("mixed line ends") << QByteArray("[Options]\rA=1\n[Other]\r\nX=1") << "B"
                                     << QByteArray("[Options]\r\nA=1\r\nB=2\r\n[Other]\r\nX=1\r\n");
    QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF[Options]\r\nB=1\r\n") << "B"
                                     << QByteArray("[Options]\r\nB=2\r\n");
    QTest::newRow("windows-1251 file") << "[Options]\r\nYCaption=" + kCp1251Caption + "\r\n"
                                       << "B"
                                       << "[Options]\r\nYCaption=" + kCp1251Caption + "\r\nB=2\r\n";
}

void TstProfile::writeEdits()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, key);
    QFETCH(QByteArray, after);

    QVERIFY(writeBytes(path(), before));
    Profile profile(path());
    QVERIFY(profile.writeString(kOptions, key, u"2"));
    QCOMPARE(readBytes(path()), after);
}

void TstProfile::writeRoundTrip_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("line");

    const auto row = [](const char* name, const QString& value, const QByteArray& line) {
        QTest::newRow(name) << value << line;
    };
    row("COM3", "COM3", "X=COM3");
    row("empty", "", "X=");
    row(" lead", " lead", "X=\" lead\"");
    row("trail ", "trail ", "X=\"trail \"");
    row("TAB tabs TAB", "\ttabs\t", "X=\"\ttabs\t\"");
    row("three blanks", "   ", "X=\"   \"");
    row("\"quoted\"", "\"quoted\"", "X=\"\"quoted\"\"");
    row("'single'", "'single'", "X=\"'single'\"");
    row("\"\"", "\"\"", "X=\"\"\"\"");
    row("\"", "\"", "X=\"");
    row("'x\"", "'x\"", "X='x\"");
    row("a\"b", "a\"b", "X=a\"b");
    row("x=y", "x=y", "X=x=y");
    row("; no comment", "; no comment", "X=; no comment");
    row("Cyrillic", kCaption, "X=" + kCaption.toUtf8());
}

void TstProfile::writeRoundTrip()
{
    QFETCH(QString, value);
    QFETCH(QByteArray, line);

    Profile profile(path());
    QVERIFY(profile.writeString(kOptions, u"X", value));
    QCOMPARE(readBytes(path()), "[Options]\r\n" + line + "\r\n");
    QCOMPARE(profile.readString(kOptions, u"X", u"dflt"), value);
    QCOMPARE(Profile(path()).readString(kOptions, u"X", u"dflt"), value);
}

void TstProfile::writeLineBreak_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("readBack");

    QTest::newRow("a CR LF b=c") << "a\r\nb=c" << QByteArray("X=a b=c") << "a b=c";
    QTest::newRow("a LF b=c") << "a\nb=c" << QByteArray("X=a b=c") << "a b=c";
    QTest::newRow("a CR b=c") << "a\rb=c" << QByteArray("X=a b=c") << "a b=c";
    QTest::newRow("a LF LF b=c") << "a\n\nb=c" << QByteArray("X=a  b=c") << "a  b=c";
    QTest::newRow("a CR LF") << "a\r\n" << QByteArray("X=\"a \"") << "a ";
}

void TstProfile::writeLineBreak()
{
    QFETCH(QString, value);
    QFETCH(QByteArray, line);
    QFETCH(QString, readBack);

    QVERIFY(Profile(path()).writeString(kOptions, u"X", value));
    QCOMPARE(readBytes(path()), "[Options]\r\n" + line + "\r\n");
    const Profile fresh(path());
    QCOMPARE(fresh.readString(kOptions, u"X", u"dflt"), readBack);
    QCOMPARE(fresh.readString(kOptions, u"b", u"dflt"), QStringLiteral("dflt"));
}

void TstProfile::writeRefusesUnstorableNames_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");

    QTest::newRow("key A LF b") << kOptions << "A\nb";
    QTest::newRow("key A CR b") << kOptions << "A\rb";
    QTest::newRow("section Opt CR LF [X]") << "Opt\r\n[X]"
                                           << "A";
    QTest::newRow("empty key") << kOptions << "";
    QTest::newRow("blank key") << kOptions << "  ";
    QTest::newRow("key A=B") << kOptions << "A=B";
    QTest::newRow("key ;A") << kOptions << ";A";
    QTest::newRow("key [A]") << kOptions << "[A]";
}

void TstProfile::writeRefusesUnstorableNames()
{
    QFETCH(QString, section);
    QFETCH(QString, key);

    Profile profile(path());
    QVERIFY(!profile.writeString(section, key, u"1"));
    QVERIFY(!profile.flush());
    QVERIFY(!QFile::exists(path()));
}

void TstProfile::writeRereadsFile()
{
    QVERIFY(writeBytes(path(), "[Options]\r\nA=1\r\n"));
    Profile first(path());
    QCOMPARE(first.readString(kOptions, u"B", u"-"), QStringLiteral("-"));

    // Another copy of the program saves meanwhile; its key survives our next write.
    QVERIFY(Profile(path()).writeString(kOptions, u"B", u"2"));
    QVERIFY(first.writeString(kOptions, u"C", u"3"));
    QCOMPARE(readBytes(path()), QByteArray("[Options]\r\nA=1\r\nB=2\r\nC=3\r\n"));
    QCOMPARE(first.readString(kOptions, u"B", u"-"), QStringLiteral("2"));
}

void TstProfile::writeKeepsASecondByteOrderMark()
{
    // Only the first mark is taken off on reading; the second is text, so "[Options]" behind it
    // is no section header. Saving must keep it that way: were the second mark written as the
    // file's first bytes, the next read would take it for the mark, the old section would come
    // back to life and hide the key just written.
    const QByteArray bom("\xEF\xBB\xBF");
    QVERIFY(writeBytes(path(), bom + bom + "[Options]\r\nPort=COM3\r\n"));
    Profile profile(path());
    QCOMPARE(profile.readString(kOptions, u"Port", u"-"), QStringLiteral("-"));

    QVERIFY(profile.writeString(kOptions, u"Port", u"COM4"));
    QCOMPARE(readBytes(path()), bom + bom + "[Options]\r\nPort=COM3\r\n[Options]\r\nPort=COM4\r\n");
    QCOMPARE(Profile(path()).readString(kOptions, u"Port", u"-"), QStringLiteral("COM4"));
}

void TstProfile::mixedEncodings_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QByteArray>("after");

    // Each file is read, then saved as the program saves it, its caption written back, then read
    // anew. The caption becomes UTF-8; every other line comes back byte for byte.
    const auto row = [](const char* name, const QByteArray& before, const char* section,
                         const char* key, const QString& expected, const QByteArray& after) {
        QTest::newRow(name) << before << QString::fromUtf8(section) << QString::fromUtf8(key)
                            << expected << after;
    };

    const QString axis = QStringLiteral("Т, °C");
    const QByteArray besideUtf8 = "; стенд 2\r\n[Options]\r\nPort=COM3\r\nYCaption="
        + kCp1251Caption + "\r\nXCaption=" + axis.toUtf8() + "\r\n";
    const QByteArray besideUtf8Saved = "; стенд 2\r\n[Options]\r\nPort=COM3\r\nYCaption="
        + kCaption.toUtf8() + "\r\nXCaption=" + axis.toUtf8() + "\r\n";
    row("1251 caption beside UTF-8: the caption", besideUtf8, "Options", "YCaption", kCaption,
        besideUtf8Saved);
    row("1251 caption beside UTF-8: a UTF-8 key", besideUtf8, "Options", "XCaption", axis,
        besideUtf8Saved);

    const QByteArray otherSection = "[Options]\r\nYCaption=" + kCaption.toUtf8()
        + "\r\n\r\n[Журнал]\r\nNote=" + cp1251(u"Опыт 3") + "\r\n";
    row("1251 line in another section: the caption", otherSection, "Options", "YCaption", kCaption,
        otherSection);
    row("1251 line in another section: that line", otherSection, "Журнал", "Note",
        QStringLiteral("Опыт 3"), otherSection);

    // 0x98 has no character in the code page, and a UTF-8 sequence is cut off at the line's end.
    const QByteArray invalid("[Options]\r\nOdd=a\x98\xD0\r\nPort=COM3\r\n");
    const QByteArray invalidSaved(
        "[Options]\r\nOdd=a\x98\xD0\r\nPort=COM3\r\nYCaption=t, mm:ss\r\n");
    row("invalid in both: that line", invalid, "Options", "Odd", QStringLiteral("a\u0098Р"),
        invalidSaved);
    row("invalid in both: the next line", invalid, "Options", "Port", QStringLiteral("COM3"),
        invalidSaved);

    const QByteArray all1251 = cp1251(u"; стенд\r\n[Options]\r\nYCaption=") + kCp1251Caption
        + cp1251(u"\r\nЗаметка=Опыт\r\n[Журнал]\r\nA=Б\r\n");
    const QByteArray all1251Saved = cp1251(u"; стенд\r\n[Options]\r\nYCaption=") + kCaption.toUtf8()
        + cp1251(u"\r\nЗаметка=Опыт\r\n[Журнал]\r\nA=Б\r\n");
    row("all in 1251: the caption", all1251, "Options", "YCaption", kCaption, all1251Saved);
    row("all in 1251: a key of its own", all1251, "Options", "Заметка", QStringLiteral("Опыт"),
        all1251Saved);
    row("all in 1251: another section", all1251, "Журнал", "A", QStringLiteral("Б"), all1251Saved);

    row("byte-order mark, then a 1251 caption",
        "\xEF\xBB\xBF[Options]\r\nYCaption=" + kCp1251Caption, "Options", "YCaption", kCaption,
        "[Options]\r\nYCaption=" + kCaption.toUtf8() + "\r\n");
}

void TstProfile::mixedEncodings()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QFETCH(QByteArray, after);

    QVERIFY(writeBytes(path(), before));
    Profile profile(path());
    QCOMPARE(profile.readString(section, key, u"-"), expected);
    const QString caption = profile.readString(kOptions, u"YCaption", u"t, mm:ss");
    QVERIFY(profile.writeString(kOptions, u"YCaption", caption));
    QCOMPARE(readBytes(path()), after);
    QCOMPARE(Profile(path()).readString(section, key, u"-"), expected);
}

void TstProfile::writeStringsMatchesOneByOne()
{
    // Several keys at once give the very file that writing them one by one gives: existing keys
    // keep their place and spelling, new ones go after the section's last line, duplicates in
    // the list end with the last value.
    const QByteArray before("; lab 3\r\n[options]\r\nport = COM3\r\n\r\n[Other]\r\nA=9\r\n");
    const std::vector<Profile::Entry> entries { { "Port", "COM7" }, { "A", " 1 " },
        { "YCaption", "t,\nmm:ss" }, { "A", "2" } };
    QVERIFY(writeBytes(path(), before));
    QVERIFY(writeBytes(path("single.ini"), before));

    Profile batch(path());
    QVERIFY(batch.writeStrings(kOptions, entries));
    QVERIFY(batch.flush());
    Profile single(path("single.ini"));
    for (const auto& [key, value] : entries)
        QVERIFY(single.writeString(kOptions, key, value));

    QCOMPARE(readBytes(path()), readBytes(path("single.ini")));
    QCOMPARE(readBytes(path()),
        QByteArray("; lab 3\r\n[options]\r\nport=COM7\r\nA=2\r\nYCaption=t, mm:ss\r\n\r\n"
                   "[Other]\r\nA=9\r\n"));
    QCOMPARE(batch.readString(kOptions, u"A", u"-"), QStringLiteral("2"));
}

void TstProfile::writeStringsAllOrNothing()
{
    // One name that can't be stored refuses the whole list; the file is not touched.
    const QByteArray before("[Options]\r\nPort=COM3\r\n");
    QVERIFY(writeBytes(path(), before));
    Profile profile(path());
    QVERIFY(!profile.writeStrings(kOptions, { { "Port", "COM7" }, { "A=B", "1" } }));
    QVERIFY(!profile.flush());
    QCOMPARE(readBytes(path()), before);
    QCOMPARE(profile.readString(kOptions, u"Port", u"-"), QStringLiteral("COM3"));

    QVERIFY(profile.writeStrings(kOptions, {}));
    QCOMPARE(readBytes(path()), before);
    QCOMPARE(entries(m_dir->path()), QStringList { "t.ini" });
}

void TstProfile::writeSectionsInOneReplacement()
{
    // Two sections in one write: an existing one is changed in place, a new one goes at the end,
    // and a name that can't be stored in either leaves the file as it was.
    const QByteArray before("[Options]\r\nPort=COM3\r\n\r\n[Other]\r\nA=9\r\n");
    QVERIFY(writeBytes(path(), before));
    Profile profile(path());
    QVERIFY(!profile.writeSections(
        { { "Options", { { "Port", "COM7" } } }, { "RunLog", { { "", "1" } } } }));
    QCOMPARE(readBytes(path()), before);

    QVERIFY(profile.writeSections({ { "Options", { { "Port", "COM7" } } },
        { "RunLog", { { "Enabled", "0" }, { "Folder", "/data/runs" } } } }));
    QCOMPARE(readBytes(path()),
        QByteArray("[Options]\r\nPort=COM7\r\n\r\n[Other]\r\nA=9\r\n"
                   "[RunLog]\r\nEnabled=0\r\nFolder=/data/runs\r\n"));
    QCOMPARE(entries(m_dir->path()), QStringList { "t.ini" });
}

void TstProfile::replaceSetsPermissions()
{
    // An existing file keeps its own mode; a new one gets what the umask allows, as any new file.
    QVERIFY(writeBytes(path(), "[Options]\r\nPort=COM3\r\n"));
    QCOMPARE(::chmod(QFile::encodeName(path()).constData(), 0640), 0);
    const mode_t previous = ::umask(002);
    const bool replaced = Profile(path()).writeString(kOptions, u"Port", u"COM7");
    const ReplaceError created = platform::replaceFileAtomically(path("new.ini"), "x");
    ::umask(previous);

    QVERIFY(replaced);
    QCOMPARE(readBytes(path()), QByteArray("[Options]\r\nPort=COM7\r\n"));
    QCOMPARE(modeOf(path()), mode_t(0640));
    QCOMPARE(created, ReplaceError::None);
    QCOMPARE(modeOf(path("new.ini")), mode_t(0664));
    QCOMPARE(entries(m_dir->path()), (QStringList { "new.ini", "t.ini" }));
}

void TstProfile::readOnlyFileUnchanged()
{
    const QByteArray before("[Options]\r\nPort=COM3\r\n");
    QVERIFY(writeBytes(path(), before));
    QCOMPARE(::chmod(QFile::encodeName(path()).constData(), 0444), 0);

    Profile profile(path());
    QVERIFY(!profile.writeString(kOptions, u"Port", u"COM7"));
    QVERIFY(!profile.flush());
    QCOMPARE(readBytes(path()), before);
    QCOMPARE(modeOf(path()), mode_t(0444));
    QCOMPARE(entries(m_dir->path()), QStringList { "t.ini" });
    // The failed change must not linger in what the profile reads.
    QCOMPARE(profile.readString(kOptions, u"Port", u"-"), QStringLiteral("COM3"));
    QCOMPARE(platform::replaceFileAtomically(path(), "x"), ReplaceError::ReadOnly);
}

void TstProfile::readOnlyFolderGetsNoFile()
{
    const QString folder = path(QStringLiteral("ro"));
    QVERIFY(QDir().mkdir(folder));
    QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
    const QString file = folder + QStringLiteral("/t.ini");

    Profile profile(file);
    QVERIFY(!profile.writeString(kOptions, u"Port", u"COM1"));
    QVERIFY(!profile.flush());
    QVERIFY(entries(folder).isEmpty());
    QCOMPARE(platform::replaceFileAtomically(file, "x"), ReplaceError::ReadOnly);
}

void TstProfile::missingFolderFails()
{
    const QString file = path(QStringLiteral("missing/t.ini"));
    QVERIFY(!Profile(file).writeString(kOptions, u"Port", u"COM1"));
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("missing"))));
    QCOMPARE(platform::replaceFileAtomically(file, "x"), ReplaceError::FolderMissing);
}

void TstProfile::symlinkTargetReplaced()
{
    // Relative links resolve from the link's folder, not from the working folder.
    QVERIFY(QDir().mkdir(path(QStringLiteral("sub"))));
    QVERIFY(writeBytes(path(QStringLiteral("sub/real.ini")), "[Options]\r\nPort=COM3\r\n"));
    const QString link = path(QStringLiteral("link.ini"));
    QCOMPARE(::symlink("sub/real.ini", QFile::encodeName(link).constData()), 0);
    const QString dangling = path(QStringLiteral("dangling.ini"));
    QCOMPARE(::symlink("sub/new.ini", QFile::encodeName(dangling).constData()), 0);

    QVERIFY(Profile(link).writeString(kOptions, u"Port", u"COM7"));
    QVERIFY(Profile(dangling).writeString(kOptions, u"Port", u"COM1"));

    QVERIFY(QFileInfo(link).isSymLink());
    QVERIFY(QFileInfo(dangling).isSymLink());
    QCOMPARE(
        readBytes(path(QStringLiteral("sub/real.ini"))), QByteArray("[Options]\r\nPort=COM7\r\n"));
    QCOMPARE(
        readBytes(path(QStringLiteral("sub/new.ini"))), QByteArray("[Options]\r\nPort=COM1\r\n"));
    QCOMPARE(entries(path(QStringLiteral("sub"))), (QStringList { "new.ini", "real.ini" }));
}

void TstProfile::saveRemovesLeftovers_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("kind"); // file, folder, link (to a file), locked (a file)
    QTest::addColumn<bool>("removed");

    // Only a plain file of the temporary name pattern for t.ini, which no save holds.
    const auto row = [](const char* entry, const char* kind, bool removed) {
        QTest::newRow(entry) << QString::fromLatin1(entry) << QString::fromLatin1(kind) << removed;
    };
    row(".t.ini.k3j9x.tmp", "file", true);
    row(".t.ini.0.tmp", "file", true);
    row(".t.ini.3w5e11264sgsf.tmp", "file", true);
    row(".t.ini.3w5e11264sgsf0.tmp", "file", false);
    row(".t.ini.k3j9x", "file", false);
    row(".t.ini.K3J9X.tmp", "file", false);
    row(".t.ini.k3-9x.tmp", "file", false);
    row(".t.ini..tmp", "file", false);
    row(".t.ini.k3j9x.tmp.bak", "file", false);
    row("t.ini.k3j9x.tmp", "file", false);
    row(".other.ini.k3j9x.tmp", "file", false);
    row(".t.ini.k3j9x.tmp folder", "folder", false);
    row(".t.ini.k3j9x.tmp link", "link", false);
    row(".t.ini.k3j9x.tmp locked", "locked", false);
}

void TstProfile::saveRemovesLeftovers()
{
    QFETCH(QString, entry);
    QFETCH(QString, kind);
    QFETCH(bool, removed);

    const QString name = entry.section(u' ', 0, 0);
    const QString leftover = path(name);
    QVERIFY(writeBytes(path(), "[Options]\r\nPort=COM3\r\n"));
    QStringList expected { name, "t.ini" };
    int lockFd = -1;
    if (kind == u"folder") {
        QVERIFY(QDir().mkdir(leftover));
    } else if (kind == u"link") {
        QVERIFY(writeBytes(path(QStringLiteral("target")), "x"));
        QCOMPARE(::symlink("target", QFile::encodeName(leftover).constData()), 0);
        expected.append(QStringLiteral("target"));
    } else {
        QVERIFY(writeBytes(leftover, "[Options]\r\nPo"));
    }
    if (kind == u"locked") {
        // A save running in another process holds this lock; a second open file description
        // conflicts with it the same way inside one process.
        lockFd = ::open(QFile::encodeName(leftover).constData(), O_RDONLY | O_CLOEXEC);
        QVERIFY(lockFd >= 0);
        QCOMPARE(::flock(lockFd, LOCK_EX | LOCK_NB), 0);
    }

    QVERIFY(Profile(path()).writeString(kOptions, u"Port", u"COM7"));
    QCOMPARE(readBytes(path()), QByteArray("[Options]\r\nPort=COM7\r\n"));
    if (removed)
        expected.removeOne(name);
    expected.sort();
    QCOMPARE(entries(m_dir->path()), expected);

    if (lockFd >= 0) {
        // Once that save is gone, its file is a leftover like any other.
        ::close(lockFd);
        QVERIFY(Profile(path()).writeString(kOptions, u"Port", u"COM8"));
        QCOMPARE(entries(m_dir->path()), QStringList { "t.ini" });
    }
}

void TstProfile::baseFileStandsInUntilTheFileExists()
{
    const QString base = path(QStringLiteral("base.ini"));
    const QString own = path(QStringLiteral("own.ini"));
    const QByteArray baseText(
        "; the lab's settings\r\n[Options]\r\nPort=COM3\r\nBaudRate=9600\r\n");
    QVERIFY(writeBytes(base, baseText));

    Profile profile(own, base);
    QCOMPARE(profile.readString(kOptions, u"Port", u"COM1"), QStringLiteral("COM3"));
    QVERIFY(profile.writeString(kOptions, u"Port", u"ttyUSB0"));
    // The new file is the base file with the change; the base file is never written.
    QCOMPARE(readBytes(own),
        QByteArray("; the lab's settings\r\n[Options]\r\nPort=ttyUSB0\r\nBaudRate=9600\r\n"));
    QCOMPARE(readBytes(base), baseText);

    // Once the file exists it alone counts, in reading and in writing.
    QVERIFY(writeBytes(base, "[Options]\r\nPort=COM9\r\nNPoints=5\r\n"));
    Profile again(own, base);
    QCOMPARE(again.readString(kOptions, u"Port", u"COM1"), QStringLiteral("ttyUSB0"));
    QCOMPARE(again.readString(kOptions, u"NPoints", u"1000"), QStringLiteral("1000"));
    QVERIFY(again.writeString(kOptions, u"NPoints", u"50"));
    QVERIFY(!readBytes(own).contains("COM9"));
}

void TstProfile::unreadableBaseFileCountsAsEmpty()
{
    // A base file that cannot be read (a folder at its name here: no mode bits involved, so
    // root sees it too) must not stop the profile's own file from being written.
    const QString base = path(QStringLiteral("base.ini"));
    QVERIFY(QDir().mkpath(base));
    const QString own = path(QStringLiteral("own.ini"));
    Profile profile(own, base);
    QCOMPARE(profile.readString(kOptions, u"Port", u"COM1"), QStringLiteral("COM1"));
    QVERIFY(profile.writeString(kOptions, u"Port", u"COM2"));
    QCOMPARE(readBytes(own), QByteArray("[Options]\r\nPort=COM2\r\n"));
}

QTEST_GUILESS_MAIN(TstProfile)
#include "tst_profile.moc"
