// The window program's --version and --help, answered before any window or display exists, and
// every other command line left to the window as it always was.

#include "app/StartOptions.h"
#include "app/Version.h"

#include <QLocale>
#include <QTest>

class TstStartOptions : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void answers_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("answer"); // "version", "help" or "window"
        QTest::newRow("no arguments") << QStringList {} << "window";
        QTest::newRow("--version") << QStringList { "--version" } << "version";
        QTest::newRow("-v") << QStringList { "-v" } << "version";
        QTest::newRow("--help") << QStringList { "--help" } << "help";
        QTest::newRow("-h") << QStringList { "-h" } << "help";
        QTest::newRow("--help --version") << QStringList { "--help", "--version" } << "help";
        QTest::newRow("-platform offscreen")
            << QStringList { "-platform", "offscreen" } << "window";
        QTest::newRow("-style=fusion") << QStringList { "-style=fusion" } << "window";
        QTest::newRow("-platform offscreen --version")
            << QStringList { "-platform", "offscreen", "--version" } << "window";
        QTest::newRow("--frobnicate") << QStringList { "--frobnicate" } << "window";
        QTest::newRow("a file name") << QStringList { "settings.ini" } << "window";
    }

    void answers()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, answer);
        arguments.prepend(QStringLiteral("velmora-thermo"));
        const std::optional<QString> text = app::answerWithoutWindow(arguments);
        if (answer == QLatin1String("window")) {
            QVERIFY2(!text, qPrintable(text.value_or(QString())));
            return;
        }
        QVERIFY(text);
        if (answer == QLatin1String("version")) {
            QCOMPARE(text->section(u'\n', 0, 0),
                QStringLiteral("velmora-thermo (Velmora Thermo) ") + QLatin1String(app::kVersion));
            QVERIFY(text->contains(QLatin1String("GPL-3.0-or-later")));
            QVERIFY(text->contains(QLatin1String("Velmora Thermo developers")));
        } else {
            QVERIFY(text->startsWith(QLatin1String("Usage: velmora-thermo")));
            QVERIFY(text->contains(QLatin1String("--version")));
            // Where the settings and the runs are, also where the program's folder is not ours.
            QVERIFY(
                text->contains(QLatin1String("$XDG_CONFIG_HOME/velmora-thermo/VelmoraThermo.ini")));
            QVERIFY(text->contains(QLatin1String("$XDG_DATA_HOME/velmora-thermo/runs")));
        }
        QVERIFY(text->endsWith(u'\n'));
    }
};

QTEST_GUILESS_MAIN(TstStartOptions)
#include "tst_startoptions.moc"
