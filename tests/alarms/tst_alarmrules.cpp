#include "alarms/AlarmRules.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace alarms;

// Each row: the [Alarms] keys, a script of ticks and commands, and the transitions told.
// Script: "S=R" a tick at S seconds with reading R, or "S=lost|noreply|short|failed";
// "Llow-up" limits sent (tenths), "Xlow-up" an upload that failed; "ack"; "end"; "off" all
// rules turned off.
// Transitions: "rule:event@S" with "/threshold" when there is one.
class TestAlarmRules : public QObject {
    Q_OBJECT

private slots:
    void rules_data();
    void rules();
};

void TestAlarmRules::rules_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("told");
    QTest::newRow("raise after delay, clear when back") << "High=30 Delay=2"
                                                        << "0=25 1=31 2=31 3=31 4=25"
                                                        << "high:raised@3/30 high:cleared@4/30";
    QTest::newRow("no raise on a shorter excursion") << "High=30 Low=10 Delay=2"
                                                     << "0=25 1=31 2=31 3=25 4=9 5=9 6=12"
                                                     << "";
    QTest::newRow("hysteresis holds, then clears beyond it")
        << "High=30 Hysteresis=1"
        << "0=31 1=29.5 2=29 3=31"
        << "high:raised@0/30 high:cleared@2/30 high:raised@3/30";
    QTest::newRow("low with hysteresis") << "Low=10.5 Hysteresis=0.5"
                                         << "0=10 1=10.9 2=11"
                                         << "low:raised@0/10.5 low:cleared@2/10.5";
    QTest::newRow("band follows a new upload")
        << "Band=1 Margin=0.5"
        << "L200-250 0=22 1=25.6 L250-300 2=26 3=19"
        << "band:raised@1/25.5 band:cleared@2/25.5 band:raised@3/24.5";
    QTest::newRow("band inactive without limits; a failed upload does not count")
        << "Band=1"
        << "0=100 X200-250 1=100"
        << "";
    QTest::newRow("stale on port lost, cleared at the next good reading")
        << "Stale=3"
        << "0=25 1=lost 2=lost 3=lost 4=lost 5=25"
        << "stale:raised@3 stale:cleared@5";
    QTest::newRow("stale on no reply and short reply, after the delay")
        << "Stale=3 Delay=2"
        << "0=25 2=noreply 4=short 5=failed 6=25"
        << "stale:raised@5 stale:cleared@6";
    QTest::newRow("acknowledge, then clear") << "High=30"
                                             << "0=31 ack 1=31 ack 2=25"
                                             << "high:raised@0/30 high:acknowledged@0/30 "
                                                "high:cleared@2/30";
    QTest::newRow("stop closes open alarms with ended")
        << "High=30 Stale=1"
        << "0=31 1=lost 2=lost end"
        << "high:raised@0/30 stale:raised@1 high:ended@2/30 stale:ended@2";
    QTest::newRow("turning the rules off ends their alarms")
        << "High=30 Stale=1"
        << "0=31 1=lost 2=lost off 3=31"
        << "high:raised@0/30 stale:raised@1 high:ended@2/30 stale:ended@2";
    QTest::newRow("disabled tells nothing") << "Enabled=0 High=30"
                                            << "0=31 1=31 end"
                                            << "";
    QTest::newRow("bad values in the file are off") << "High=3e1 Low=abc Stale=-5"
                                                    << "0=31 1=lost 2=lost 3=-300"
                                                    << "";
}

void TestAlarmRules::rules()
{
    QFETCH(QString, keys);
    QFETCH(QString, script);
    QFETCH(QString, told);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    {
        QFile file(dir.filePath("s.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Alarms]\n" + keys.toUtf8().replace(' ', '\n') + "\nEnabled=1\n");
    }
    AlarmRules rules;
    rules.setSettings(loadAlarmSettings(platform::Profile(dir.filePath("s.ini"))));

    const QDateTime start(QDate(2026, 12, 9), QTime(3, 0), Qt::UTC);
    QStringList events;
    connect(&rules, &AlarmRules::transition, this, [&](const AlarmEvent& e) {
        QString text = QString("%1:%2@%3")
                           .arg(ruleName(e.rule), eventName(e.event))
                           .arg(start.secsTo(e.time));
        if (e.threshold)
            text += '/' + QString::number(*e.threshold);
        events << text;
    });
    rules.runBegan(start);
    for (const QString& step : script.split(' ', Qt::SkipEmptyParts)) {
        if (step == "ack") {
            rules.acknowledgeAll();
        } else if (step == "end") {
            rules.runEnded();
        } else if (step == "off") {
            rules.setSettings({});
        } else if (step.startsWith('L') || step.startsWith('X')) {
            const QStringList edges = step.mid(1).split('-');
            rules.limitsSent(start,
                { std::uint16_t(edges[0].toUInt()), std::uint16_t(edges[1].toUInt()) },
                step.startsWith('L') ? runlog::LimitsOutcome::Sent
                                     : runlog::LimitsOutcome::WriteFailed);
        } else {
            const QStringList parts = step.split('=');
            session::TickResult tick;
            tick.elapsed = std::chrono::seconds(parts[0].toInt());
            tick.time = start.addMSecs(tick.elapsed.count());
            const QString& what = parts[1];
            if (what == "lost")
                tick.outcome = instrument::TickOutcome::PortLost;
            else if (what == "noreply")
                tick.outcome = instrument::TickOutcome::NoReply;
            else if (what == "short")
                tick.outcome = instrument::TickOutcome::ShortReply;
            else if (what == "failed")
                tick.outcome = instrument::TickOutcome::WriteFailed;
            else
                tick.reading = what.toDouble();
            rules.tickDone(tick);
        }
    }
    QCOMPARE(events.join(' '), told);
}

QTEST_GUILESS_MAIN(TestAlarmRules)
#include "tst_alarmrules.moc"
