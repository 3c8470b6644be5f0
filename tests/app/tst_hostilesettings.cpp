#include "../support/SettingsFile.h"
#include "app/Unit1.h"
#include "platform/IniDocument.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

// The main window started with damaged, hostile or foreign settings files: it must start with
// values it can work with, draw its chart, and on closing write a file that keeps every key it
// knows, every line it does not, and that reads back as the same settings.

namespace {

const char* const kKnownKeys[] = { "Port", "BaudRate", "TimerWorkInterval", "NPoints", "A", "B",
    "MinY", "MaxY", "YCaption", "XCaption", "BrushGraphColor", "PenGraphColor", "AxisGraphColor",
    "TextFontName", "TextFontColor", "TextFontSize", "TextFontStyle", "GraphFontName",
    "GraphFontColor", "GraphFontSize", "GraphFontStyle", "ShowSignalFlag" };

using Check = std::function<void(const app::Settings&)>;

const char kNulFile[] = "[Options]\r\nMinY=1\0\0\0\r\nMaxY=9\r\n";

QByteArray randomBytes(quint32 seed, qsizetype size)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = static_cast<char>(random.bounded(256));
    return bytes;
}

} // namespace

class TstHostileSettings : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString iniPath() const { return m_dir.filePath(QStringLiteral("VelmoraThermo.ini")); }

    // Opens the window on the file as it is, checks what it loaded, closes it (which saves) and
    // returns the settings it held when it closed.
    app::Settings openAndClose(const Check& check)
    {
        TForm1 form(iniPath());
        form.setAttribute(Qt::WA_DeleteOnClose, false);
        form.show();
        if (!QTest::qWaitForWindowExposed(&form))
            qWarning("window not exposed");
        if (check)
            check(form.settings());
        if (form.chartImage().isNull())
            qWarning("no chart drawn");
        form.SetDinamicGraphic();
        if (!form.close())
            qWarning("the window refused to close");
        return form.settings();
    }

private slots:
    void startsAndKeepsEverything_data();
    void startsAndKeepsEverything();
};

void TstHostileSettings::startsAndKeepsEverything_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("kept"); // lines the saved file must still hold
    QTest::addColumn<Check>("check");

    const app::Settings defaults(96);

    for (quint32 seed = 1; seed <= 6; ++seed) {
        // Noise around one sound key: the key is found and kept, the noise survives as it was
        // when it is valid UTF-8, and is rewritten as UTF-8 text when it is read as code page
        // 1251.
        const QByteArray noise = randomBytes(seed, qsizetype { 4096 } * seed);
        QTest::addRow("random bytes %u", seed)
            << noise + "\n[Options]\nNPoints=55\n" + randomBytes(seed + 100, 512)
            << QStringList { "NPoints=55" }
            << Check([](const app::Settings& s) { QCOMPARE(s.NPoints, 55); });
    }
    QTest::addRow("only noise") << randomBytes(77, 65536) << QStringList {}
                                << Check([](const app::Settings& s) {
                                       QCOMPARE(s.BaudRate, 38400);
                                       QCOMPARE(s.Port, QStringLiteral("COM1"));
                                   });
    QTest::addRow("empty file") << QByteArray() << QStringList {}
                                << Check([=](const app::Settings& s) {
                                       QCOMPARE(s.MinY, defaults.MinY);
                                       QCOMPARE(s.YCaption, defaults.YCaption);
                                   });
    QTest::addRow("NUL bytes") << QByteArray::fromRawData(kNulFile, sizeof kNulFile - 1)
                               << QStringList { "MaxY=9" } << Check([](const app::Settings& s) {
                                      QCOMPARE(s.MinY, 20); // "1\0\0\0" is no number
                                      QCOMPARE(s.MaxY, 9);
                                  });

    QTest::addRow("huge values") << QByteArray(
        "[Options]\r\nNPoints=2147483647\r\nTimerWorkInterval=4294967295\r\n"
        "MinY=-2147483648\r\nMaxY=2147483647\r\nA=-1\r\nB=4294967295\r\n"
        "BaudRate=2147483647\r\nGraphFontSize=2147483647\r\n"
        "TextFontSize=-2147483648\r\nGraphFontStyle=-2147483648\r\n"
        "BrushGraphColor=$7FFFFFFF\r\nPenGraphColor=-2147483648\r\n")
                                 << QStringList { "NPoints=2147483647", "MinY=-2147483648",
                                        "MaxY=2147483647", "A=65535", "B=310",
                                        "BaudRate=2147483647", "GraphFontStyle=0" }
                                 << Check([](const app::Settings& s) {
                                        QCOMPARE(s.NPoints, 2147483647);
                                        QCOMPARE(s.MinY, -2147483647 - 1);
                                        QCOMPARE(s.MaxY, 2147483647);
                                        QCOMPARE(s.A, 65535);
                                        QCOMPARE(
                                            s.B, 310); // beyond 32 bits: no number, so the default
                                    });
    QTest::addRow("inverted and equal bounds")
        << QByteArray("[Options]\r\nMinY=40\r\nMaxY=40\r\nNPoints=0\r\nTimerWorkInterval=0\r\n")
        << QStringList { "MinY=40", "MaxY=40", "NPoints=0" }
        << Check([](const app::Settings& s) { QCOMPARE(s.NPoints, 0); });

    const QByteArray longCaption(100000, 'x');
    QTest::addRow("very long lines")
        << QByteArray(1 << 20, ';') + "\r\n[Options]\r\nYCaption=" + longCaption + "\r\n"
            + "Port=" + QByteArray(5000, 'p') + "\r\nMaxY=45\r\n"
        << QStringList { "MaxY=45", QString(2047, u'x').prepend(u"YCaption=") }
        << Check([](const app::Settings& s) {
               QCOMPARE(s.YCaption.size(), platform::IniDocument::kMaxValueLength);
               QCOMPARE(s.Port.size(), platform::IniDocument::kMaxValueLength);
               QCOMPARE(s.MaxY, 45);
           });

    QTest::addRow("missing section")
        << QByteArray("NPoints=5\r\n[Other]\r\nMinY=-10\r\n")
        << QStringList { "NPoints=5", "[Other]", "MinY=-10" } << Check([=](const app::Settings& s) {
               QCOMPARE(s.NPoints, defaults.NPoints);
               QCOMPARE(s.MinY, defaults.MinY);
           });
    QTest::addRow("duplicate keys and sections")
        << QByteArray("[Options]\r\nMinY=1\r\nminy=2\r\n[OPTIONS]\r\nMaxY=99\r\n[options]\r\n")
        << QStringList { "MinY=1", "miny=2", "MaxY=99" } << Check([=](const app::Settings& s) {
               QCOMPARE(s.MinY, 1);
               QCOMPARE(s.MaxY, defaults.MaxY); // only the first section counts
           });
    QTest::addRow("LF line ends") << QByteArray("; lab\n[Options]\nMinY=-3\nXCaption=T, K\n")
                                  << QStringList { "; lab", "MinY=-3", "XCaption=T, K" }
                                  << Check([](const app::Settings& s) {
                                         QCOMPARE(s.MinY, -3);
                                         QCOMPARE(s.XCaption, QStringLiteral("T, K"));
                                     });
    QTest::addRow("CR line ends and a byte-order mark")
        << QByteArray("\xEF\xBB\xBF[Options]\rMinY=-4\r[Keep]\rX=1\r")
        << QStringList { "MinY=-4", "[Keep]", "X=1" }
        << Check([](const app::Settings& s) { QCOMPARE(s.MinY, -4); });
    QTest::addRow("mixed line ends and a last line without one")
        << QByteArray("[Options]\r\nMinY=-6\nMaxY=66\r\rShowSignalFlag=0")
        << QStringList { "MinY=-6", "MaxY=66", "ShowSignalFlag=0" }
        << Check([](const app::Settings& s) {
               QCOMPARE(s.MaxY, 66);
               QCOMPARE(s.ShowSignalFlag, false);
           });
    QTest::addRow("words, blanks and quotes")
        << QByteArray("[Options]\r\n  NPoints =  ' 77'\r\nMinY=1 0\r\nMaxY=\"50\"\r\n"
                      "ShowSignalFlag=false\r\nPort=\"  COM3  \"\r\n")
        << QStringList { "MaxY=50", "Port=\"  COM3  \"" } << Check([](const app::Settings& s) {
               QCOMPARE(s.NPoints, 77);
               QCOMPARE(s.MinY, 20); // a blank between digits
               QCOMPARE(s.MaxY, 50);
               QCOMPARE(s.ShowSignalFlag, true);
               QCOMPARE(s.Port, QStringLiteral("  COM3  "));
           });
}

void TstHostileSettings::startsAndKeepsEverything()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, kept);
    QFETCH(Check, check);

    QVERIFY(writeFile(iniPath(), file));
    const app::Settings first = openAndClose(check);
    const QByteArray saved = readFile(iniPath());

    // Every key the program knows is in the file once more, in its section.
    const auto document = platform::IniDocument::fromBytes(saved);
    for (const char* key : kKnownKeys) {
        QVERIFY2(
            document.readString(u"Options", QString::fromLatin1(key), u"\x01") != u"\x01", key);
    }
    const QString text = QString::fromUtf8(saved);
    for (const QString& line : kept)
        QVERIFY2(text.contains(line + QStringLiteral("\r\n")), qPrintable(line.left(60)));

    // Read back, the file gives the very settings the window closed with, and saving again
    // changes nothing.
    const app::Settings second = openAndClose({});
    QVERIFY(second == first);
    QCOMPARE(readFile(iniPath()), saved);
}

QTEST_MAIN(TstHostileSettings)
#include "tst_hostilesettings.moc"
