#include "telemetry/BrokerAddress.h"
#include "telemetry/LimitsCommand.h"
#include "telemetry/MqttSettings.h"
#include "telemetry/Payloads.h"
#include "telemetry/Topics.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace telemetry;

// What the publisher writes and reads, without a broker: names, payloads, commands, settings.
class TestTelemetryFormat : public QObject {
    Q_OBJECT

private slots:
    void benchNames_data();
    void benchNames();
    void topicsAndDiscovery();
    void state_data();
    void state();
    void commands_data();
    void commands();
    void settingsFile();
    void brokerAddresses_data();
    void brokerAddresses();
};

void TestTelemetryFormat::benchNames_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << "lab-pc-3"
                           << "/dev/ttyUSB0"
                           << "lab-pc-3-ttyUSB0";
    QTest::newRow("wildcards and separators") << "a+b#c"
                                              << "/dev/serial/by-id/usb-FTDI_x:y"
                                              << "a-b-c-usb-FTDI_x-y";
    QTest::newRow("NUL and non-ASCII") << QStringLiteral("ПК") + QChar(0) + QChar(u'x') << "COM1"
                                       << "---x-COM1";
    QTest::newRow("no host") << ""
                             << "/dev/ttyS0"
                             << "ttyS0";
    QTest::newRow("nothing") << ""
                             << ""
                             << "bench";
    QTest::newRow("cut") << QString(100, u'h') << "/dev/ttyUSB0" << QString(64, u'h');
}

void TestTelemetryFormat::benchNames()
{
    QFETCH(QString, host);
    QFETCH(QString, port);
    QFETCH(QString, name);
    QCOMPARE(benchName(host, port), name);
}

void TestTelemetryFormat::topicsAndDiscovery()
{
    const Topics topics(QStringLiteral("lab/velmora"), QStringLiteral("b1"));
    QCOMPARE(topics.topic(Topic::LimitsResult), QByteArray("lab/velmora/b1/limits/result"));
    const auto discovery = topics.discovery();
    QCOMPARE(discovery[0].topic, "homeassistant/sensor/lab_velmora_b1_temperature/config");
    const QJsonObject sensor = QJsonDocument::fromJson(discovery[0].payload).object();
    QCOMPARE(sensor["state_topic"].toString(), "lab/velmora/b1/temperature");
    QCOMPARE(sensor["availability_topic"].toString(), "lab/velmora/b1/status");
    QCOMPARE(sensor["device"].toObject()["name"].toString(), "b1");
    QCOMPARE(QJsonDocument::fromJson(discovery[1].payload)["state_topic"].toString(),
        "lab/velmora/b1/state");
}

void TestTelemetryFormat::state_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<double>("reading"); // NaN: none
    QTest::addColumn<bool>("withContext"); // limits, a raised alarm and a run file
    QTest::addColumn<QByteArray>("payload");
    const QByteArray head = R"({"alarm":{"rule":null,"state":"clear"},"elapsed_s":12.345,)";
    QTest::newRow("reading") << int(runlog::TickStatus::Ok) << 36.64 << false
                             << head
            + R"("limits":null,"run_file":null,"status":"ok",)"
              R"("temperature_C":36.6,"time":"2026-12-08T10:15:00.512+01:00"})";
    QTest::newRow("no reply")
        << int(runlog::TickStatus::NoReply) << qQNaN() << true
        << QByteArray(
               R"({"alarm":{"rule":"stale","state":"raised"},"elapsed_s":12.345,)"
               R"("limits":{"lower":36.5,"upper":36.7},"run_file":"2026-12-08_10-15-00.csv",)"
               R"("status":"no-reply","temperature_C":null,)"
               R"("time":"2026-12-08T10:15:00.512+01:00"})");
}

void TestTelemetryFormat::state()
{
    QFETCH(int, status);
    QFETCH(double, reading);
    QFETCH(bool, withContext);
    QFETCH(QByteArray, payload);
    BenchState s;
    s.time = QDateTime(QDate(2026, 12, 8), QTime(10, 15, 0, 512), QTimeZone(3600));
    s.elapsed = std::chrono::milliseconds(12345);
    s.status = runlog::TickStatus(status);
    if (!qIsNaN(reading))
        s.temperature = reading;
    if (withContext) {
        s.limits = instrument::RegulatorLimits { 365, 367 };
        s.alarm.take({ alarms::Rule::Stale, alarms::AlarmEventKind::Raised, {}, {}, {} });
        s.runFile = QStringLiteral("2026-12-08_10-15-00.csv");
    }
    QCOMPARE(statePayload(s), payload);
    QCOMPARE(temperaturePayload(36.64), QByteArray("36.6"));
    QCOMPARE(temperaturePayload(-0.05), QByteArray("-0.1"));
}

void TestTelemetryFormat::commands_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("told"); // "lower-upper" in tenths, or the reason
    QTest::newRow("valid") << QByteArray(R"({"lower": 36.5, "upper": 36.7})") << "365-367";
    QTest::newRow("integers, range ends")
        << QByteArray(R"({"upper":6553.5,"lower":0})") << "0-65535";
    QTest::newRow("not JSON") << QByteArray("36.5 36.7") << "not JSON";
    QTest::newRow("NaN") << QByteArray(R"({"lower":NaN,"upper":1})") << "not JSON";
    QTest::newRow("array") << QByteArray("[36.5,36.7]") << "not a JSON object";
    QTest::newRow("string") << QByteArray(R"({"lower":"36.5","upper":36.7})")
                            << "lower is not a number";
    QTest::newRow("nested") << QByteArray(R"({"lower":{"v":36.5},"upper":36.7})")
                            << "lower is not a number";
    QTest::newRow("extra key") << QByteArray(R"({"lower":1,"upper":2,"x":3})") << "unknown key x";
    QTest::newRow("missing") << QByteArray(R"({"lower":1})") << "lower and upper are both needed";
    QTest::newRow("two decimals") << QByteArray(R"({"lower":36.55,"upper":37})")
                                  << "lower has more than one decimal";
    QTest::newRow("huge") << QByteArray(R"({"lower":1,"upper":1e300})")
                          << "upper is outside 0.0..6553.5";
    QTest::newRow("above range") << QByteArray(R"({"lower":1,"upper":6553.6})")
                                 << "upper is outside 0.0..6553.5";
    QTest::newRow("negative") << QByteArray(R"({"lower":-0.1,"upper":2})")
                              << "lower is outside 0.0..6553.5";
    QTest::newRow("equal") << QByteArray(R"({"lower":2,"upper":2})") << "lower is not below upper";
    QTest::newRow("too long") << QByteArray(300, ' ') + "{}"
                              << "command too long";
}

void TestTelemetryFormat::commands()
{
    QFETCH(QByteArray, payload);
    QFETCH(QString, told);
    const auto parsed = parseLimitsCommand(payload);
    if (const auto* limits = std::get_if<instrument::RegulatorLimits>(&parsed))
        QCOMPARE(QStringLiteral("%1-%2").arg(limits->lower).arg(limits->upper), told);
    else
        QCOMPARE(std::get<CommandRefusal>(parsed).reason, told);
}

void TestTelemetryFormat::settingsFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("settings.ini");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Options]\nPort=COM1\n[Mqtt]\nEnabled=1\nHost=bad host\nPort=99999\n"
               "Bench=b#1\nCaFile=/etc/ca.pem\nDiscovery=0\nRemoteLimits=yes\n");
    file.close();
    platform::Profile profile(path);
    MqttSettings s = loadMqttSettings(profile);
    QVERIFY(s.Enabled);
    QCOMPARE(s.host(), "localhost"); // refused values: the defaults
    QCOMPARE(s.port(), kTlsPort);
    QCOMPARE(s.Bench, QString());
    QCOMPARE(s.prefix(), "velmora");
    QVERIFY(!s.Discovery);
    QVERIFY(!s.RemoteLimits);
    s.Port = 1884;
    s.RemoteLimits = true;
    QVERIFY(saveMqttSettings(profile, s));
    QCOMPARE(loadMqttSettings(profile), s);
    QCOMPARE(profile.readString(u"Options", u"Port", u""), "COM1");
}

void TestTelemetryFormat::brokerAddresses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("parsed"); // host and port; empty: refused
    for (const auto& [text, parsed] : std::initializer_list<std::pair<const char*, const char*>> {
             { " lab-broker ", "lab-broker 0" }, { "10.0.0.5:8883", "10.0.0.5 8883" },
             { "::1", "::1 0" }, { "[fe80::1]:1884", "fe80::1 1884" }, { "[::1]", "::1 0" },
             { "", "" }, { ":1883", "" }, { "broker:", "" }, { "broker:0", "" },
             { "[::1]:65536", "" }, { "broker:mqtt", "" }, { "[::1:1883", "" }, { "[::1]1883", "" },
             { "broker/#", "" } })
        QTest::newRow(text) << QString::fromLatin1(text) << QString::fromLatin1(parsed);
}

void TestTelemetryFormat::brokerAddresses()
{
    QFETCH(QString, text);
    QFETCH(QString, parsed);
    const auto address = parseBrokerAddress(text);
    if (const auto* refused = std::get_if<MqttRefusal>(&address))
        QVERIFY(parsed.isEmpty() && !refused->reason.isEmpty());
    else
        QCOMPARE(std::get<BrokerAddress>(address).host + u' '
                + QString::number(std::get<BrokerAddress>(address).port),
            parsed);
}

QTEST_GUILESS_MAIN(TestTelemetryFormat)
#include "tst_telemetryformat.moc"
