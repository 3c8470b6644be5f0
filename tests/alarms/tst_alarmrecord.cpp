#include "alarms/AlarmRecord.h"
#include "alarms/AlarmSettings.h"
#include "app/RunLogSettings.h"
#include "app/Settings.h"
#include "runlog/RunWriter.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace alarms;

// The [Alarms] section as typed and as kept, and alarms.csv as written.
class TestAlarmRecord : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian)); }
    void values_data();
    void values();
    void sectionKeptBySave();
    void alarmsFile();
};

void TestAlarmRecord::values_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("told"); // the value kept, or the reason
    const int t = int(AlarmValue::Temperature);
    const int s = int(AlarmValue::Seconds);
    QTest::newRow("point decimal") << " 36.6 " << t << "36.6";
    QTest::newRow("empty is off") << "" << t << "";
    QTest::newRow("0 is off") << "0.0" << s << "";
    QTest::newRow("comma decimal") << "36,6" << t << "не число";
    QTest::newRow("exponent") << "1e3" << t << "не число";
    QTest::newRow("too hot") << "5000" << t << "вне пределов от -200 до 1800";
    QTest::newRow("negative seconds") << "-5" << s << "вне пределов от 0 до 86400";
}

void TestAlarmRecord::values()
{
    QFETCH(QString, text);
    QFETCH(int, kind);
    QFETCH(QString, told);
    const ParsedValue parsed = parseAlarmValue(text, AlarmValue(kind));
    if (const auto* value = std::get_if<std::optional<double>>(&parsed))
        QCOMPARE(alarmValueText(*value), told);
    else
        QCOMPARE(std::get<QString>(parsed), told);
}

void TestAlarmRecord::sectionKeptBySave()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("settings.ini");
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Alarms]\nEnabled=1\nHigh=30\nStale=1e3\n");
    }
    platform::Profile profile(path);
    const app::Settings settings = app::loadSettings(profile, 96);
    const app::RunLogSettings runLog = app::loadRunLogSettings(profile);
    QVERIFY(app::saveSettings(profile, settings, runLog));
    AlarmSettings alarms = loadAlarmSettings(platform::Profile(path));
    QCOMPARE(alarms.High, std::optional<double>(30.0));
    QCOMPARE(alarms.Stale, std::nullopt); // the file's bad value is off

    alarms.Low = 10.25;
    QVERIFY(app::saveSettings(profile, settings, runLog,
        { { QString::fromLatin1(kAlarmsSection), alarmEntries(alarms) } }));
    QCOMPARE(loadAlarmSettings(platform::Profile(path)), alarms);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("\nLow=10.25\r\n"));
}

void TestAlarmRecord::alarmsFile()
{
    QTemporaryDir dir;
    runlog::RunWriter writer;
    QStringList failed;
    connect(&writer, &runlog::RunWriter::failed, this,
        [&failed](const runlog::LogFailure& failure) { failed << failure.reason; });
    AlarmEvent event;
    event.time = QDateTime(QDate(2026, 12, 9), QTime(3, 0, 2), Qt::UTC);
    event.temperature = 31.25;
    event.threshold = 30;
    recordAlarm(writer, dir.path(), "/runs/a,b\"c.csv", event);
    event.rule = Rule::Stale;
    event.event = AlarmEventKind::Ended;
    event.threshold.reset();
    recordAlarm(writer, dir.path(), "/runs/d.csv", event);
    // A symbolic link in a shared folder is refused as limits.csv is.
    const QString other = dir.filePath("other");
    QVERIFY(QDir().mkpath(other));
    QVERIFY(QFile::link(dir.filePath("elsewhere.csv"), other + "/alarms.csv"));
    recordAlarm(writer, other, "/runs/d.csv", event);
    QVERIFY(writer.waitUntilDone(std::chrono::seconds(10)));

    QFile file(dir.filePath("alarms.csv"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(),
        QByteArray(kAlarmsHeader)
            + "2026-12-09T03:00:02.000+00:00,\"/runs/a,b\"\"c.csv\",high,raised,31.25,30\n"
              "2026-12-09T03:00:02.000+00:00,/runs/d.csv,stale,ended,31.25,\n");
    QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 10000);
    QVERIFY(failed[0].contains("alarms.csv"));
    QVERIFY(!QFile::exists(dir.filePath("elsewhere.csv")));

    // The band's limits at start: the last row that was sent, not a later failed one.
    QCOMPARE(runlog::lastSentLimits(dir.path()), std::nullopt);
    runlog::recordLimits(dir.path(), event.time, 365, 370, runlog::LimitsOutcome::Sent,
        runlog::LimitsSource::Window);
    runlog::recordLimits(dir.path(), event.time, 300, 310, runlog::LimitsOutcome::WriteFailed,
        runlog::LimitsSource::Mqtt);
    const auto limits = runlog::lastSentLimits(dir.path());
    QVERIFY(limits && limits->lower == 365 && limits->upper == 370);
}

QTEST_GUILESS_MAIN(TestAlarmRecord)
#include "tst_alarmrecord.moc"
