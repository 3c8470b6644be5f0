#include "telemetry/BrokerOptions.h"

#include <QtTest>

class TestBrokerOptions : public QObject {
    Q_OBJECT

private slots:
    // The command line over the settings file's values: "host port user password-file ca
    // prefix" as taken, or the refusal.
    void apply_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected");

        QTest::newRow("none: the file's") << QStringList {} << "file.example 1884 u  /ca lab";
        QTest::newRow("host alone keeps no port")
            << QStringList { "--mqtt", "broker" } << "broker 0 u  /ca lab";
        QTest::newRow("host and port")
            << QStringList { "--mqtt=10.0.0.2:1999" } << "10.0.0.2 1999 u  /ca lab";
        QTest::newRow("IPv6 without a port")
            << QStringList { "--mqtt", "::1" } << "::1 0 u  /ca lab";
        QTest::newRow("IPv6 with a port")
            << QStringList { "--mqtt", "[fe80::1]:8884" } << "fe80::1 8884 u  /ca lab";
        QTest::newRow("credentials and prefix") << QStringList { "--mqtt-user", "operator",
            "--mqtt-password-file", "/run/pw", "--mqtt-ca", "/etc/ca.pem", "--prefix",
            "site/b" } << "file.example 1884 operator /run/pw /etc/ca.pem site/b";
        QTest::newRow("port 0") << QStringList { "--mqtt", "h:0" }
                                << "--mqtt: вне пределов от 1 до 65535";
        QTest::newRow("port not a number")
            << QStringList { "--mqtt", "h:x1" } << "--mqtt: не число";
        QTest::newRow("colon without port")
            << QStringList { "--mqtt", "h:" } << "--mqtt: порт не указан";
        QTest::newRow("no host") << QStringList { "--mqtt", ":1883" }
                                 << "--mqtt: имя узла не указано";
        QTest::newRow("bad host") << QStringList { "--mqtt", "a/b" }
                                  << "--mqtt: недопустимый знак «/»";
        QTest::newRow("unclosed bracket")
            << QStringList { "--mqtt", "[::1:1883" } << "--mqtt: нет закрывающей «]»";
        QTest::newRow("control in the CA file")
            << QStringList { "--mqtt-ca", "/a\tb" } << "--mqtt-ca: управляющий знак";
        QTest::newRow("wildcard in prefix") << QStringList { "--prefix", "a/#" }
                                            << "--prefix: только латинские буквы, цифры, «-», "
                                               "«_» и «/» между ними";
        QTest::newRow("empty user")
            << QStringList { "--mqtt-user=" } << "--mqtt-user: пустое значение";
    }
    void apply()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        QCommandLineParser parser;
        parser.addOptions(telemetry::brokerOptions(true));
        QVERIFY(parser.parse(QStringList { "program" } + arguments));
        telemetry::MqttSettings settings;
        settings.Host = QStringLiteral("file.example");
        settings.Port = 1884;
        settings.User = QStringLiteral("u");
        settings.CaFile = QStringLiteral("/ca");
        settings.Prefix = QStringLiteral("lab");
        const std::optional<QString> refused = telemetry::applyBrokerOptions(parser, settings);
        QCOMPARE(refused.value_or(QStringList { settings.Host, QString::number(settings.Port),
                     settings.User, settings.PasswordFile, settings.CaFile, settings.Prefix }
                                      .join(u' ')),
            expected);
    }
};

QTEST_GUILESS_MAIN(TestBrokerOptions)
#include "tst_brokeroptions.moc"
