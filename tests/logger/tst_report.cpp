#include "logger/Report.h"

#include <QLocale>
#include <QTest>
#include <QTimeZone>

#include <cerrno>
#include <cmath>

using logger::Tally;
using runlog::TickStatus;

class TstReport : public QObject {
    Q_OBJECT
private slots:
    // A decimal-comma locale must not reach the terminal line either.
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    void readingLine_data()
    {
        QTest::addColumn<std::optional<double>>("temperature");
        QTest::addColumn<TickStatus>("status");
        QTest::addColumn<QString>("line");
        const std::optional<double> none;
        QTest::newRow("36.5 ok") << std::optional<double>(36.5) << TickStatus::Ok
                                 << QStringLiteral("10:15:03    36.5  ok");
        QTest::newRow("rounded") << std::optional<double>(36.449) << TickStatus::Ok
                                 << QStringLiteral("10:15:03    36.4  ok");
        QTest::newRow("6553.5 ok") << std::optional<double>(6553.5) << TickStatus::Ok
                                   << QStringLiteral("10:15:03  6553.5  ok");
        QTest::newRow("no-reply") << none << TickStatus::NoReply
                                  << QStringLiteral("10:15:03       -  no-reply");
        QTest::newRow("short-reply")
            << none << TickStatus::ShortReply << QStringLiteral("10:15:03       -  short-reply");
        QTest::newRow("port-lost")
            << none << TickStatus::PortLost << QStringLiteral("10:15:03       -  port-lost");
        // A reading that is not the tick's (a status other than ok) is never shown.
        QTest::newRow("reading on write-failed") << std::optional<double>(
            30.0) << TickStatus::WriteFailed << QStringLiteral("10:15:03       -  write-failed");
        QTest::newRow("ok without reading")
            << none << TickStatus::Ok << QStringLiteral("10:15:03       -  ok");
    }
    void readingLine()
    {
        QFETCH(std::optional<double>, temperature);
        QFETCH(TickStatus, status);
        QFETCH(QString, line);
        const QDateTime time(QDate(2026, 12, 8), QTime(10, 15, 3, 801), QTimeZone("Europe/Berlin"));
        QCOMPARE(logger::readingLine(time, temperature, status), line);
    }

    void summaryLine_data()
    {
        QTest::addColumn<Tally>("tally");
        QTest::addColumn<bool>("onStandardOutput");
        QTest::addColumn<QString>("line");
        QTest::newRow("plural") << Tally { 5, 2, 3, 0, std::nullopt } << false
                                << QStringLiteral("5 readings, 2 ticks without a reading, "
                                                  "3 reconnects; rows in /runs/a.csv");
        QTest::newRow("singular") << Tally { 1, 1, 1, 1, 1 } << false
                                  << QStringLiteral(
                                         "1 reading, 1 tick without a reading, "
                                         "1 reconnect, 1 row not written, 1 alarm raised; "
                                         "rows in "
                                         "/runs/a.csv");
        QTest::newRow("nothing") << Tally {} << true
                                 << QStringLiteral("0 readings, 0 ticks without a reading, "
                                                   "0 reconnects; rows on standard output");
        QTest::newRow("rows lost") << Tally { 9000000000, 0, 0, 12, 0 } << false
                                   << QStringLiteral("9000000000 readings, 0 ticks without a "
                                                     "reading, 0 reconnects, 12 rows not "
                                                     "written, 0 alarms raised; rows in "
                                                     "/runs/a.csv");
    }
    void alarmLine_data()
    {
        using alarms::AlarmEventKind;
        using alarms::Rule;
        QTest::addColumn<alarms::AlarmEvent>("event");
        QTest::addColumn<QString>("line");
        const auto row = [](const char* line, Rule rule, AlarmEventKind kind,
                             std::optional<double> t, std::optional<double> threshold) {
            QTest::newRow(line) << alarms::AlarmEvent { rule, kind, {}, t, threshold }
                                << QString::fromUtf8(line);
        };
        row("<4>alarm high raised: 31.2 °C above 30.0 °C", Rule::High, AlarmEventKind::Raised,
            31.24, 30.0);
        row("<4>alarm band raised: 36.4 °C below 36.5 °C", Rule::Band, AlarmEventKind::Raised, 36.4,
            36.5);
        row("<4>alarm stale raised: no reading for 2.5 s", Rule::Stale, AlarmEventKind::Raised,
            std::nullopt, std::nullopt);
        row("<5>alarm low cleared: -4.0 °C", Rule::Low, AlarmEventKind::Cleared, -4.0, -5.0);
        row("<5>alarm stale cleared", Rule::Stale, AlarmEventKind::Cleared, std::nullopt,
            std::nullopt);
        row("<5>alarm high ended with the run", Rule::High, AlarmEventKind::Ended, 31.0, 30.0);
        row("<6>alarm high acknowledged", Rule::High, AlarmEventKind::Acknowledged, 31.0, 30.0);
    }
    void alarmLine()
    {
        QFETCH(alarms::AlarmEvent, event);
        QFETCH(QString, line);
        const QString text = logger::alarmLine(event, 2.5);
        QCOMPARE(logger::withPriority(text, logger::alarmPriority(event.event), true), line);
        QCOMPARE(
            logger::withPriority(text, logger::alarmPriority(event.event), false), line.mid(3));
    }

    void summaryLine()
    {
        QFETCH(Tally, tally);
        QFETCH(bool, onStandardOutput);
        QFETCH(QString, line);
        const QString where
            = onStandardOutput ? QStringLiteral("standard output") : QStringLiteral("/runs/a.csv");
        QCOMPARE(logger::summaryLine(tally, where, onStandardOutput), line);
    }

    void portFailure_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("device");
        QTest::addColumn<platform::SerialError>("error");
        QTest::addColumn<QString>("line");
        QTest::newRow("COM3 absent")
            << QStringLiteral("COM3") << QStringLiteral("/dev/ttyS2")
            << platform::SerialError::NotFound
            << QStringLiteral("cannot open the port COM3 (/dev/ttyS2): no such device (is the "
                              "adapter plugged in? see --list-ports)");
        QTest::newRow("path busy") << QStringLiteral("/dev/ttyUSB0")
                                   << QStringLiteral("/dev/ttyUSB0") << platform::SerialError::Busy
                                   << QStringLiteral("cannot open the port /dev/ttyUSB0: another "
                                                     "program holds it");
        QTest::newRow("no permission")
            << QStringLiteral("ttyACM0") << QStringLiteral("/dev/ttyACM0")
            << platform::SerialError::AccessDenied
            << QStringLiteral("cannot open the port ttyACM0 (/dev/ttyACM0): not permitted (is "
                              "this user in the dialout group?)");
        QTest::newRow("no terminal") << QStringLiteral("/tmp/file") << QStringLiteral("/tmp/file")
                                     << platform::SerialError::NotATerminal
                                     << QStringLiteral("cannot open the port /tmp/file: it is no "
                                                       "serial port");
        QTest::newRow("name for no device")
            << QStringLiteral("a/b") << QString() << platform::SerialError::NotFound
            << QStringLiteral("cannot open the port a/b: no such device (is the adapter plugged "
                              "in? see --list-ports)");
    }
    void portFailure()
    {
        QFETCH(QString, name);
        QFETCH(QString, device);
        QFETCH(platform::SerialError, error);
        QFETCH(QString, line);
        QCOMPARE(logger::portFailure(name, device, error), line);
    }

    void writeFailure()
    {
        QCOMPARE(logger::writeFailure(runlog::logFailure(QStringLiteral("/runs/a.csv"), ENOSPC)),
            QStringLiteral("cannot write /runs/a.csv: ") + qt_error_string(ENOSPC));
    }
};

QTEST_GUILESS_MAIN(TstReport)
#include "tst_report.moc"
