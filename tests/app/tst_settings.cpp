#include "app/Settings.h"
#include "platform/Profile.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <utility>

using app::FontStyle;
using app::Settings;

namespace {

// The file a first save writes with every default at 96 dots per inch, line by line.
const QByteArrayList kDefaultLines { "[Options]", "Port=COM1", "BaudRate=38400",
    "TimerWorkInterval=800", "NPoints=1000", "A=300", "B=310", "MinY=20", "MaxY=40",
    "YCaption=t, mm:ss", "XCaption=T, deg. C", "BrushGraphColor=0", "PenGraphColor=65280",
    "AxisGraphColor=65535", "TextFontName=MS Sans Serif", "TextFontColor=-16777208",
    "TextFontSize=8", "TextFontStyle=0", "GraphFontName=MS Sans Serif", "GraphFontColor=-16777208",
    "GraphFontSize=8", "GraphFontStyle=0", "ShowSignalFlag=1" };

QByteArray crlfLines(const QByteArrayList& lines)
{
    return lines.join("\r\n") + "\r\n";
}

} // namespace

class TstSettings : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void init();

    void noFileGivesDefaultsAndFirstSaveWritesThem();
    void valueReadAndWrittenBack_data();
    void valueReadAndWrittenBack();
    void styleByteGivesStyleFlags_data();
    void styleByteGivesStyleFlags();
    void fontSizeAtScreenResolution_data();
    void fontSizeAtScreenResolution();
    void saveKeepsEverythingElseInTheFile();
    void saveToReadOnlyFileFails();
    void nonDefaultFileSurvivesLoadAndSave();

private:
    QString path() const { return app::settingsFilePath(m_dir->path()); }
    Settings load(int dpi = 96) const { return app::loadSettings(platform::Profile(path()), dpi); }
    bool save(const Settings& settings) const
    {
        platform::Profile profile(path());
        return app::saveSettings(profile, settings);
    }
    void writeFile(const QByteArray& content) const
    {
        QFile file(path());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    }
    QByteArray readFile() const
    {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // The value on the key's line of a file the settings wrote; null when there is no such line.
    QByteArray savedValue(const QByteArray& key) const
    {
        for (const QByteArray& line : readFile().split('\n')) {
            if (line.startsWith(key + '='))
                return line.mid(key.size() + 1).chopped(line.endsWith('\r') ? 1 : 0);
        }
        return {};
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TstSettings::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

// With no file every key takes its default; the first save writes them all, in order.
void TstSettings::noFileGivesDefaultsAndFirstSaveWritesThem()
{
    const Settings s = load();
    QVERIFY2(!QFile::exists(path()), "loading must not create the file");
    QCOMPARE(s.TextFont.height(), -11);
    QCOMPARE(s.GraphFont.height(), -11);

    QVERIFY(save(s));
    const QByteArray written = readFile();
    QCOMPARE(written, crlfLines(kDefaultLines));
    QCOMPARE(written.size(), 402);
}

void TstSettings::valueReadAndWrittenBack_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("written");

    const auto row = [](const QByteArray& key, const QByteArray& value, const QByteArray& written) {
        QTest::newRow((key + '=' + value).constData()) << key << value << written;
    };

    row("PenGraphColor", "0xFF", "255");
    row("PenGraphColor", "$FF", "255");
    row("PenGraphColor", "red", "65280");
    row("PenGraphColor", "", "65280");
    row("PenGraphColor", "1 2", "65280");
    row("BaudRate", "2147483648", "38400");
    row("NPoints", "20000", "20000");
    row("ShowSignalFlag", "false", "1");
    row("ShowSignalFlag", "2", "1");
    row("ShowSignalFlag", "0", "0");
    row("A", "65836", "300");
    row("A", "-1", "65535");
    row("B", "$10000", "0");
    row("B", "70000", "4464");
    row("TimerWorkInterval", "-1", "-1");
    row("TextFontStyle", "256", "0");
    row("TextFontStyle", "-1", "255");
    row("GraphFontStyle", "$1F4", "244");
    row("TextFontColor", "$FF000008", "-16777208");
    row("GraphFontColor", "$FF000005", "-16777211");
    row("YCaption", "", "");
    row("XCaption", "", "");
    row("TextFontName", "", "MS Sans Serif");
    row("TextFontName", QByteArray(40, 'n'), QByteArray(31, 'n'));
}

// Each value is read by its key's rule and, unchanged in memory, written back in its own form.
void TstSettings::valueReadAndWrittenBack()
{
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, written);

    writeFile(crlfLines({ "[Options]", key + '=' + value }));
    QVERIFY(save(load()));
    QCOMPARE(savedValue(key), written);
}

void TstSettings::styleByteGivesStyleFlags_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("styles"); // Bold, Italic, Underline, StrikeOut

    QTest::newRow("3") << QByteArray("3") << QStringLiteral("BI");
    QTest::newRow("12") << QByteArray("12") << QStringLiteral("US");
    QTest::newRow("256") << QByteArray("256") << QString();
    QTest::newRow("$F0") << QByteArray("$F0") << QString();
    QTest::newRow("-1") << QByteArray("-1") << QStringLiteral("BIUS");
}

void TstSettings::styleByteGivesStyleFlags()
{
    QFETCH(QByteArray, value);
    QFETCH(QString, styles);

    writeFile(crlfLines({ "[Options]", "TextFontStyle=" + value, "GraphFontStyle=" + value }));
    const Settings s = load();
    const std::pair<FontStyle, char16_t> letters[] { { FontStyle::Bold, u'B' },
        { FontStyle::Italic, u'I' }, { FontStyle::Underline, u'U' },
        { FontStyle::StrikeOut, u'S' } };
    for (const auto& [style, letter] : letters) {
        QCOMPARE(s.TextFont.style().has(style), styles.contains(letter));
        QCOMPARE(s.GraphFont.style().has(style), styles.contains(letter));
    }
}

void TstSettings::fontSizeAtScreenResolution_data()
{
    QTest::addColumn<int>("dpi");
    QTest::addColumn<QByteArray>("size"); // null: no size keys in the file
    QTest::addColumn<int>("height");
    QTest::addColumn<QByteArray>("written");

    QTest::newRow("96 dpi, 8") << 96 << QByteArray("8") << -11 << QByteArray("8");
    QTest::newRow("120 dpi, 8") << 120 << QByteArray("8") << -13 << QByteArray("8");
    QTest::newRow("120 dpi, 10") << 120 << QByteArray("10") << -17 << QByteArray("10");
    QTest::newRow("144 dpi, 8") << 144 << QByteArray("8") << -16 << QByteArray("8");
    QTest::newRow("144 dpi, 11") << 144 << QByteArray("11") << -22 << QByteArray("11");
    // 3 points at 108 dpi are 4.5 pixels: the half goes away from zero.
    QTest::newRow("108 dpi, 3") << 108 << QByteArray("3") << -5 << QByteArray("3");
    // The main window's 11 pixels are 13.75 at 120 dpi and 16.5 at 144 dpi, so 17 pixels: 8.5
    // points, which the default size takes as 9.
    QTest::newRow("120 dpi, no size") << 120 << QByteArray() << -13 << QByteArray("8");
    QTest::newRow("144 dpi, no size") << 144 << QByteArray() << -18 << QByteArray("9");
    QTest::newRow("96 dpi, -8") << 96 << QByteArray("-8") << 11 << QByteArray("-8");
    // Beyond 32 bits the height stops at the limit; the size keeps its sign.
    QTest::newRow("96 dpi, -2147483648")
        << 96 << QByteArray("-2147483648") << 2147483647 << QByteArray("-1610612735");
    QTest::newRow("96 dpi, 2147483647")
        << 96 << QByteArray("2147483647") << (-2147483647 - 1) << QByteArray("1610612736");
}

void TstSettings::fontSizeAtScreenResolution()
{
    QFETCH(int, dpi);
    QFETCH(QByteArray, size);
    QFETCH(int, height);
    QFETCH(QByteArray, written);

    QByteArrayList lines { "[Options]" };
    if (!size.isNull())
        lines << "TextFontSize=" + size << "GraphFontSize=" + size;
    writeFile(crlfLines(lines));

    const Settings s = load(dpi);
    QCOMPARE(s.TextFont.height(), height);
    QCOMPARE(s.GraphFont.height(), height);
    QVERIFY(save(s));
    QCOMPARE(savedValue("TextFontSize"), written);
    QCOMPARE(savedValue("GraphFontSize"), written);
}

void TstSettings::saveKeepsEverythingElseInTheFile()
{
    const QByteArrayList kept { "[Before]", "Port=COM9", "; a comment", "[Options]",
        "; tuned by hand", "Unknown=42", "[After]", "Name=value" };
    writeFile(crlfLines(kept));

    QVERIFY(save(load()));

    const QByteArrayList after = readFile().split('\n');
    for (const QByteArray& line : kept)
        QVERIFY2(after.contains(line + '\r'), line.constData());
    const platform::Profile profile(path());
    QCOMPARE(profile.readString(u"Options", u"BaudRate", u""), QStringLiteral("38400"));
    QCOMPARE(profile.readString(u"Options", u"Port", u""), QStringLiteral("COM1"));
}

void TstSettings::saveToReadOnlyFileFails()
{
    const QByteArray before = crlfLines({ "[Options]", "Port=COM3", "; keep me" });
    writeFile(before);
    QVERIFY(QFile::setPermissions(path(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));

    Settings s = load();
    s.Port = QStringLiteral("COM4");
    QVERIFY(!save(s));
    QCOMPARE(readFile(), before);
}

void TstSettings::nonDefaultFileSurvivesLoadAndSave()
{
    const QByteArray original = crlfLines({ "[Options]", "Port=/dev/ttyUSB0", "BaudRate=9600",
        "TimerWorkInterval=-1", "NPoints=250", "A=65535", "B=0", "MinY=-40", "MaxY=125",
        "YCaption=время, с", "XCaption=", "BrushGraphColor=16777215", "PenGraphColor=255",
        "AxisGraphColor=-16777211", "TextFontName=DejaVu Sans Mono", "TextFontColor=128",
        "TextFontSize=12", "TextFontStyle=5", "GraphFontName=Liberation Serif",
        "GraphFontColor=-16777201", "GraphFontSize=10", "GraphFontStyle=250", "ShowSignalFlag=0" });
    writeFile(original);

    const Settings first = load(120);
    QVERIFY(first != Settings(120));
    QVERIFY(save(first));
    QCOMPARE(readFile(), original);
    QCOMPARE(load(120), first);
}

QTEST_GUILESS_MAIN(TstSettings)
#include "tst_settings.moc"
