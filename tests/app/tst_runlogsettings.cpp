#include "app/RunLogSettings.h"
#include "app/Settings.h"
#include "platform/Profile.h"
#include "tests/support/SettingsFile.h"

#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

using app::RunLogSettings;

class TstRunLogSettings : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    void valuesRead_data();
    void valuesRead();
    void saveWritesBothSectionsOnce();
    void saveWithoutRunLogLeavesItAlone();
    void failedSaveWritesNeither();
    void folderResolved_data();
    void folderResolved();

private:
    QString path() const { return app::settingsFilePath(m_dir->path()); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TstRunLogSettings::valuesRead_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("folder");

    QTest::newRow("no file") << QByteArray() << true << QString();
    QTest::newRow("no section") << QByteArray("[Options]\r\nPort=COM3\r\n") << true << QString();
    QTest::newRow("Enabled=0") << QByteArray("[RunLog]\r\nEnabled=0\r\n") << false << QString();
    QTest::newRow("Enabled=1") << QByteArray("[RunLog]\r\nEnabled=1\r\n") << true << QString();
    QTest::newRow("Enabled=$10") << QByteArray("[RunLog]\r\nEnabled=$10\r\n") << true << QString();
    QTest::newRow("Enabled=x") << QByteArray("[RunLog]\r\nEnabled=x\r\n") << true << QString();
    QTest::newRow("Enabled=") << QByteArray("[RunLog]\r\nEnabled=\r\n") << true << QString();
    QTest::newRow("Folder") << QByteArray("[runlog]\r\nfolder = /data/runs \r\n") << true
                            << QStringLiteral("/data/runs");
    QTest::newRow("Folder in Cyrillic")
        << QByteArray("[RunLog]\r\nFolder=/data/\xd0\xbe\xd0\xbf\xd1\x8b\xd1\x82\xd1\x8b\r\n")
        << true << QStringLiteral("/data/опыты");
}

void TstRunLogSettings::valuesRead()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, enabled);
    QFETCH(QString, folder);
    if (!file.isNull())
        QVERIFY(writeFile(path(), file));
    const RunLogSettings settings = app::loadRunLogSettings(platform::Profile(path()));
    QCOMPARE(settings.Enabled, enabled);
    QCOMPARE(settings.Folder, folder);
}

void TstRunLogSettings::saveWritesBothSectionsOnce()
{
    // [Options] comes out byte for byte as the save without the run log writes it; the run log's
    // section follows, and a section the program knows nothing of stays where it was.
    QVERIFY(writeFile(path(), "[Lab]\r\nRoom=3\r\n"));
    const app::Settings settings(96);
    {
        platform::Profile profile(path());
        QVERIFY(app::saveSettings(profile, settings));
    }
    const QByteArray optionsOnly = readFile(path());

    QVERIFY(writeFile(path(), "[Lab]\r\nRoom=3\r\n"));
    platform::Profile profile(path());
    QVERIFY(app::saveSettings(profile, settings, RunLogSettings { false, "/data/runs" }));
    QCOMPARE(readFile(path()), optionsOnly + "[RunLog]\r\nEnabled=0\r\nFolder=/data/runs\r\n");

    const RunLogSettings back = app::loadRunLogSettings(platform::Profile(path()));
    QCOMPARE(back, (RunLogSettings { false, "/data/runs" }));
    QCOMPARE(app::loadSettings(platform::Profile(path()), 96), settings);
}

void TstRunLogSettings::saveWithoutRunLogLeavesItAlone()
{
    // A copy of the program that knows no run log rewrites [Options] only.
    QVERIFY(writeFile(path(), "[RunLog]\r\nEnabled=0\r\nFolder=runs2\r\n"));
    platform::Profile profile(path());
    QVERIFY(app::saveSettings(profile, app::Settings(96)));
    QVERIFY(readFile(path()).startsWith("[RunLog]\r\nEnabled=0\r\nFolder=runs2\r\n[Options]\r\n"));
}

void TstRunLogSettings::failedSaveWritesNeither()
{
    // A folder where the file can't be replaced: nothing of either section is written.
    const QString missing = m_dir->filePath(QStringLiteral("gone/VelmoraThermo.ini"));
    platform::Profile profile(missing);
    QVERIFY(!app::saveSettings(profile, app::Settings(96), RunLogSettings {}));
    QVERIFY(!QFile::exists(missing));
}

void TstRunLogSettings::folderResolved_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty") << QString() << QStringLiteral("/opt/vt/runs");
    QTest::newRow("relative") << QStringLiteral("data/today")
                              << QStringLiteral("/opt/vt/data/today");
    QTest::newRow("parent") << QStringLiteral("../runs") << QStringLiteral("/opt/runs");
    QTest::newRow("absolute") << QStringLiteral("/srv/lab//runs/")
                              << QStringLiteral("/srv/lab/runs");
}

void TstRunLogSettings::folderResolved()
{
    QFETCH(QString, folder);
    QFETCH(QString, expected);
    QCOMPARE(app::runFolder(
                 QStringLiteral("/opt/vt/VelmoraThermo.ini"), RunLogSettings { true, folder }),
        expected);
}

QTEST_GUILESS_MAIN(TstRunLogSettings)
#include "tst_runlogsettings.moc"
