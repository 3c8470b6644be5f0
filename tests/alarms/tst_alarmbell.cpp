#include "alarms/ui/AlarmBell.h"
#include "alarms/ui/AlarmSound.h"

#include <QtTest>

using namespace alarms;

// Each row: transitions told to the bell, then its look and hint. A transition is
// "rule+reading/threshold" raised, "rule!" acknowledged, "rule-" cleared, "rule." ended.
class TestAlarmBell : public QObject {
    Q_OBJECT

private slots:
    void lookAndHint_data();
    void lookAndHint();
    void sound_data();
    void sound();
};

namespace {

AlarmEvent parse(const QString& step)
{
    static const QStringList rules = { "high", "low", "band", "stale" };
    AlarmEvent event;
    const qsizetype at = step.indexOf(QRegularExpression(QStringLiteral("[+!.-]")));
    event.rule = static_cast<Rule>(rules.indexOf(step.left(at)));
    const QChar kind = step[at];
    event.event = kind == '+' ? AlarmEventKind::Raised
        : kind == '!'         ? AlarmEventKind::Acknowledged
        : kind == '-'         ? AlarmEventKind::Cleared
                              : AlarmEventKind::Ended;
    const QStringList numbers = step.mid(at + 1).split('/', Qt::SkipEmptyParts);
    if (!numbers.isEmpty())
        event.temperature = numbers[0].toDouble();
    if (numbers.size() > 1)
        event.threshold = numbers[1].toDouble();
    return event;
}

} // namespace

void TestAlarmBell::lookAndHint_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("look");
    QTest::addColumn<QString>("hint");
    const int quiet = int(BellLook::Quiet);
    const int ringing = int(BellLook::Ringing);
    const int acknowledged = int(BellLook::Acknowledged);
    QTest::newRow("none") << "" << quiet << "Тревог нет";
    QTest::newRow("high raised") << "high+31.24/30" << ringing
                                 << "Тревога: температура выше 30,0 °C (31,2 °C)";
    QTest::newRow("low raised below zero")
        << "low+-0.04/2" << ringing << "Тревога: температура ниже 2,0 °C (0,0 °C)";
    QTest::newRow("stale with its seconds") << "stale+" << ringing << "Тревога: нет показаний 5 с";
    QTest::newRow("acknowledged") << "high+31.2/30 high!" << acknowledged
                                  << "Тревога подтверждена: температура выше 30,0 °C (31,2 °C)";
    QTest::newRow("cleared") << "high+31.2/30 high! high-" << quiet << "Тревог нет";
    QTest::newRow("ended") << "band+40/31 band." << quiet << "Тревог нет";
    QTest::newRow("a new raise over an acknowledged one rings")
        << "high+31.2/30 high! low+1/2" << ringing
        << "Тревога: температура ниже 2,0 °C (1,0 °C)\n"
           "Тревога подтверждена: температура выше 30,0 °C (31,2 °C)";
    QTest::newRow("acknowledging a clear alarm changes nothing")
        << "high! low-" << quiet << "Тревог нет";
}

void TestAlarmBell::lookAndHint()
{
    QFETCH(QString, steps);
    QFETCH(int, look);
    QFETCH(QString, hint);
    AlarmBell bell;
    bell.setStaleSeconds(5);
    for (const QString& step : steps.split(' ', Qt::SkipEmptyParts))
        bell.show(parse(step));
    QCOMPARE(int(bell.look()), look);
    QCOMPARE(bell.toolTip(), hint);
    // The picture says the look: the bell's colour at a pixel of its body.
    const QRgb body = bell.icon().pixmap(16, 16).toImage().pixel(8, 6);
    QCOMPARE(body, bellPicture(BellLook(look)).toImage().pixel(8, 6));
    QVERIFY(bellPicture(BellLook::Quiet).toImage().pixel(8, 6)
        != bellPicture(BellLook::Ringing).toImage().pixel(8, 6));
}

// Each row: whether the sound is on, the transitions, the beeps at once and whether it repeats.
void TestAlarmBell::sound_data()
{
    QTest::addColumn<bool>("on");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("beeps");
    QTest::addColumn<bool>("repeats");
    QTest::newRow("raised") << true << "high+31/30" << 1 << true;
    QTest::newRow("off") << false << "high+31/30" << 0 << false;
    QTest::newRow("acknowledged") << true << "high+31/30 high!" << 1 << false;
    QTest::newRow("one of two cleared") << true << "high+31/30 stale+ high-" << 2 << true;
    QTest::newRow("all ended") << true << "high+31/30 stale+ high. stale." << 2 << false;
}

void TestAlarmBell::sound()
{
    QFETCH(bool, on);
    QFETCH(QString, steps);
    QFETCH(int, beeps);
    QFETCH(bool, repeats);
    int beeped = 0;
    AlarmSound sound([&beeped] { ++beeped; });
    sound.setEnabled(on);
    for (const QString& step : steps.split(' ', Qt::SkipEmptyParts))
        sound.show(parse(step));
    QCOMPARE(beeped, beeps);
    QCOMPARE(sound.isCalling(), repeats);
}

QTEST_MAIN(TestAlarmBell)
#include "tst_alarmbell.moc"
