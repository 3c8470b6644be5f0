#include "alarms/AlarmCommand.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>

using namespace alarms;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// The program run for each alarm event: what it is given, in what order, and how its end is told.
class TestAlarmCommand : public QObject {
    Q_OBJECT

private slots:
    void runs_data();
    void runs();
};

void TestAlarmCommand::runs_data()
{
    QTest::addColumn<QByteArray>("body"); // the script after its line to the log; "-": none
    QTest::addColumn<int>("events");
    QTest::addColumn<int>("queueLimit");
    QTest::addColumn<QString>("outcomes");
    // Lines the runs wrote; -1: not looked at, as a loaded machine may stop a run before it wrote.
    QTest::addColumn<int>("logged");
    QTest::newRow("in order, each with its event")
        << QByteArray() << 3 << 10 << "exited 0;exited 0;exited 0" << 3;
    QTest::newRow("exit status") << QByteArray("exit 3") << 1 << 10 << "exited 3" << 1;
    QTest::newRow("signal") << QByteArray("kill -KILL $$") << 1 << 10 << "signal 9" << 1;
    QTest::newRow("hung: SIGTERM at the bound")
        << QByteArray("exec sleep 60") << 2 << 10 << "timed out 15;timed out 15" << -1;
    QTest::newRow("hung: its children stopped too")
        << QByteArray("sleep 60 & echo $! > \"$(dirname \"$0\")/child\"; wait") << 1 << 10
        << "timed out 15" << -1;
    QTest::newRow("SIGTERM ignored: SIGKILL after")
        << QByteArray("trap '' TERM; exec sleep 60") << 1 << 10 << "timed out 9" << -1;
    QTest::newRow("queue full: dropped") << QByteArray() << 3 << 1 << "exited 0;exited 0" << 2;
    QTest::newRow("no program") << QByteArray("-") << 2 << 10 << "not started;not started" << 0;
}

void TestAlarmCommand::runs()
{
    QFETCH(QByteArray, body);
    QFETCH(int, events);
    QFETCH(int, queueLimit);
    QFETCH(QString, outcomes);
    QFETCH(int, logged);
    QTemporaryDir dir;
    const QString script = dir.filePath(QStringLiteral("notify"));
    const QString log = dir.filePath(QStringLiteral("log"));
    if (body != "-") {
        QFile file(script);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\necho \"$VELMORA_ALARM_RULE|$VELMORA_ALARM_EVENT|"
                   "$VELMORA_ALARM_TEMPERATURE|$VELMORA_ALARM_THRESHOLD|$VELMORA_ALARM_TIME|"
                   "$VELMORA_ALARM_PORT|$VELMORA_ALARM_RUN_FILE|$KEPT\" >> \""
            + log.toUtf8() + "\"\n" + body + '\n');
        file.close();
        QVERIFY(file.setPermissions(file.permissions() | QFile::ExeOwner));
    }
    qputenv("KEPT", "kept"); // the logger's own environment goes to the program

    AlarmEvent high { Rule::High, AlarmEventKind::Raised,
        QDateTime(QDate(2026, 12, 9), QTime(3, 0, 2, 500), QTimeZone(3600)), 31.25, 30.0 };
    AlarmEvent stale { Rule::Stale, AlarmEventKind::Raised, {}, std::nullopt, std::nullopt };
    AlarmEvent low { Rule::Low, AlarmEventKind::Cleared, high.time, -5.5, -5.0 };
    const QList<AlarmEvent> all { high, stale, low };
    const QStringList lines {
        "high|raised|31.25|30|2026-12-09T03:00:02.500+01:00|/dev/ttyUSB0|/runs/a, b.csv|kept",
        "stale|raised||||/dev/ttyUSB0|/runs/a, b.csv|kept",
        "low|cleared|-5.5|-5|2026-12-09T03:00:02.500+01:00|/dev/ttyUSB0||kept",
    };

    AlarmCommandBounds bounds;
    bounds.runLimit = std::chrono::milliseconds(1000);
    bounds.killAfter = std::chrono::milliseconds(100);
    bounds.queueLimit = std::size_t(queueLimit);
    AlarmCommand command(script, QStringLiteral("/dev/ttyUSB0"), bounds);
    QStringList told;
    connect(&command, &AlarmCommand::finished, this, [&](const AlarmCommandOutcome& outcome) {
        static const char* const kinds[]
            = { "exited", "signal", "timed out", "not started", "abandoned" };
        told.append(QString::fromLatin1(kinds[int(outcome.kind)])
            + (outcome.kind == AlarmCommandOutcome::Kind::NotStarted
                    ? QString()
                    : u' ' + QString::number(outcome.code)));
        QVERIFY(!describeOutcome(outcome).isEmpty());
    });
    for (int i = 0; i < events; ++i)
        command.enqueue(all[i], i < 2 ? QStringLiteral("/runs/a, b.csv") : QString());
    QVERIFY(command.finish(QDeadlineTimer(20000)));
    QCOMPARE(told.join(u';'), outcomes);
    QCOMPARE(command.dropped(), std::int64_t(std::max(events - queueLimit - 1, 0)));
    // A child the program left behind is gone (or only waits to be reaped) soon after.
    if (const QByteArray child = readAll(dir.filePath("child")).trimmed(); !child.isEmpty()) {
        const QDeadlineTimer gone(20000);
        while (!readAll("/proc/" + child + "/stat").isEmpty()
            && !readAll("/proc/" + child + "/stat").contains(") Z") && !gone.hasExpired())
            QTest::qWait(10);
        QVERIFY(!gone.hasExpired());
    }
    const QString written = QString::fromUtf8(readAll(log));
    if (logged >= 0)
        QCOMPARE(written, logged == 0 ? QString() : lines.mid(0, logged).join(u'\n') + u'\n');
}

QTEST_GUILESS_MAIN(TestAlarmCommand)
#include "tst_alarmcommand.moc"
