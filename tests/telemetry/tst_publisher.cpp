#include "../support/MqttBroker.h"
#include "telemetry/Publisher.h"

#include <QSignalSpy>
#include <QtTest>

#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace telemetry;

// The publisher against a real broker started by the test.
class TestPublisher : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void liveStateAndWill();
    void connecting_data();
    void connecting();
    void remoteLimits_data();
    void remoteLimits();
    void closedDuringLookup();
    void brokerRestarted(); // last: it stops the shared broker

private:
    MqttSettings settings(const QByteArray& password = "benchpw");
    static session::TickResult tick(double reading, int elapsedMs)
    {
        return { QDateTime::currentDateTime(), {}, std::chrono::milliseconds(elapsedMs),
            instrument::TickOutcome::Ok, reading };
    }

    MqttBroker m_broker;
    QTemporaryDir m_dir;
};

void TestPublisher::initTestCase()
{
    if (!MqttBroker::installed())
        QSKIP("mosquitto, mosquitto_passwd or openssl is not installed");
    QVERIFY(m_broker.start());
}

MqttSettings TestPublisher::settings(const QByteArray& password)
{
    MqttSettings s;
    s.Enabled = true;
    s.Host = QStringLiteral("127.0.0.1");
    s.Port = m_broker.port();
    s.User = QStringLiteral("bench");
    s.PasswordFile = m_dir.filePath(QString::fromLatin1(password));
    QFile file(s.PasswordFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(password + "\n") <= 0
        || !file.setPermissions(QFile::ReadOwner | QFile::WriteOwner))
        qFatal("cannot write the password file");
    return s;
}

void TestPublisher::liveStateAndWill()
{
    MqttReader reader(m_broker.port());
    auto owned = std::make_unique<Publisher>(settings(), QStringLiteral("b1"));
    Publisher& publisher = *owned;
    QSignalSpy connected(&publisher, &Publisher::connected);
    QSignalSpy problems(&publisher, &Publisher::problem);
    publisher.tickDone(tick(36.6, 800)); // before the connection: kept, sent on it
    QVERIFY(publisher.start());
    QTRY_COMPARE_WITH_TIMEOUT(connected.size(), 1, 10000);
    QTRY_COMPARE(reader.on("velmora/b1/temperature"), QByteArrayList { "36.6" });
    publisher.tickDone(tick(36.7, 1600));
    QTRY_COMPARE(reader.on("velmora/b1/temperature").value(1), "36.7");
    QVERIFY(reader.on("velmora/b1/state").value(1).contains(R"("elapsed_s":1.6,)"));
    QCOMPARE(reader.on(publisher.topics().discovery()[0].topic).size(), 1);
    {
        MqttReader late(m_broker.port()); // what the broker kept
        QTRY_COMPARE(late.on("velmora/b1/temperature"), QByteArrayList { "r:36.7" });
        QCOMPARE(late.on("velmora/b1/status"), QByteArrayList { "r:online" });
    }

    // A connection that dies without a word: the broker tells the will, the bench comes back.
    QVERIFY(::shutdown(publisher.socketDescriptor(), SHUT_RDWR) == 0);
    QTRY_COMPARE_WITH_TIMEOUT(
        reader.on("velmora/b1/status"), (QByteArrayList { "online", "offline", "online" }), 15000);
    QTRY_COMPARE(connected.size(), 2);
    QCOMPARE(problems.size(), 1);
    QVERIFY(problems[0][0].toString().contains(QStringLiteral("connection lost")));
    owned.reset(); // a clean end says offline itself
    QTRY_COMPARE(reader.on("velmora/b1/status").size(), 4);
    QCOMPARE(reader.on("velmora/b1/status")[3], "offline");
}

void TestPublisher::connecting_data()
{
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<bool>("othersRead"); // the password file's mode is 0644
    QTest::addColumn<QString>("ca"); // a file of the broker's folder: TLS on its listener
    QTest::addColumn<QString>("told"); // empty: it connects
    QTest::newRow("TLS, the broker's CA") << QByteArray("benchpw") << false << "ca.crt"
                                          << "";
    QTest::newRow("TLS, another CA") << QByteArray("benchpw") << false << "wrong-ca.crt"
                                     << "TLS failed";
    QTest::newRow("CA file missing") << QByteArray("benchpw") << false << "none.crt"
                                     << "CA file";
    QTest::newRow("password file 0644") << QByteArray("benchpw") << true << ""
                                        << "readable or writable by others";
    QTest::newRow("wrong password") << QByteArray("wrong") << false << ""
                                    << "refused the connection: Connection Refused: not author";
}

void TestPublisher::connecting()
{
    QFETCH(QByteArray, password);
    QFETCH(bool, othersRead);
    QFETCH(QString, ca);
    QFETCH(QString, told);
    MqttSettings s = settings(password);
    if (othersRead)
        QVERIFY(QFile::setPermissions(s.PasswordFile,
            QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    if (!ca.isEmpty()) {
        s.Host = QStringLiteral("localhost");
        s.Port = m_broker.tlsPort();
        s.CaFile = m_broker.file(qPrintable(ca));
    }
    const auto refusals = [this] { return m_broker.log().count("disconnected, not authorised"); };
    const qsizetype before = refusals();
    Publisher publisher(s, QStringLiteral("b1"));
    QSignalSpy connected(&publisher, &Publisher::connected);
    QSignalSpy problems(&publisher, &Publisher::problem);
    QCOMPARE(publisher.start(), !othersRead && ca != u"none.crt");
    QTRY_COMPARE_WITH_TIMEOUT(connected.size() + problems.size(), 1, 10000);
    QCOMPARE(connected.size(), told.isEmpty() ? 1 : 0);
    if (told.isEmpty())
        return;
    const QString problem = problems[0][0].toString();
    QVERIFY2(problem.contains(told), qPrintable(problem));
    QVERIFY2(problem.contains(QStringLiteral(":%1").arg(s.port())), qPrintable(problem));
    QVERIFY(!othersRead || problem.contains(s.PasswordFile));
    if (password == "wrong") {
        // A retry would come within its first delay of one second: give it more than that.
        QTest::qWait(2500);
        QCOMPARE(problems.size(), 1);
        QCOMPARE(refusals() - before, 1);
    }
}

void TestPublisher::remoteLimits_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<bool>("retained"); // stored on the broker before the bench connects
    QTest::addColumn<bool>("remoteLimits");
    QTest::addColumn<QString>("requested"); // "lower-upper" in tenths
    QTest::addColumn<QByteArrayList>("result");
    const QByteArray valid = R"({"lower":36.5,"upper":36.7})";
    QTest::newRow("valid") << valid << false << true << "365-367" << QByteArrayList {};
    QTest::newRow("two decimals")
        << QByteArray(R"({"lower":36.55,"upper":36.7})") << false << true << ""
        << QByteArrayList { R"({"reason":"lower has more than one decimal","result":"refused"})" };
    QTest::newRow("retained") << valid << true << true << ""
                              << QByteArrayList { R"({"reason":"retained: a command is taken )"
                                                  R"(only as it is sent","result":"refused"})" };
    QTest::newRow("remote limits off") << valid << false << false << "" << QByteArrayList {};
}

void TestPublisher::remoteLimits()
{
    QFETCH(QByteArray, command);
    QFETCH(bool, retained);
    QFETCH(bool, remoteLimits);
    QFETCH(QString, requested);
    QFETCH(QByteArrayList, result);
    MqttSettings s = settings();
    s.RemoteLimits = remoteLimits;
    Publisher publisher(s, QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-'));
    const QByteArray set = publisher.topics().topic(Topic::LimitsSet);
    MqttReader reader(m_broker.port());
    if (retained) {
        reader.send(set.constData(), command, true);
        QTRY_COMPARE(reader.on(set).size(), 1); // the broker has it
    }
    QSignalSpy connected(&publisher, &Publisher::connected);
    QSignalSpy limits(&publisher, &Publisher::limitsRequested);
    QVERIFY(publisher.start());
    QTRY_COMPARE_WITH_TIMEOUT(connected.size(), 1, 10000);
    QTRY_COMPARE(reader.on(publisher.topics().topic(Topic::Status)).size(), 1);
    if (!retained)
        reader.send(set.constData(), command);
    // The bench answers Home Assistant's "online" after the command: once that answer is seen,
    // the command has been dealt with.
    const QByteArray discovery = publisher.topics().discovery()[0].topic;
    reader.send(kHomeAssistantStatus, "online");
    QTRY_COMPARE(reader.on(discovery).size(), 2);
    QCoreApplication::processEvents();
    QStringList told;
    for (const QList<QVariant>& signal : limits) {
        const auto value = signal[0].value<instrument::RegulatorLimits>();
        told << QStringLiteral("%1-%2").arg(value.lower).arg(value.upper);
    }
    QCOMPARE(told.join(u' '), requested);
    QCOMPARE(reader.on(publisher.topics().topic(Topic::LimitsResult)), result);
    if (retained)
        reader.send(set.constData(), {}, true);
}

// Closed while the broker's name is still being looked up: closing does not wait for it, and
// the attempt, once the name is found and its certificate file fails with an error logged,
// calls nothing of the publisher's and closes the client.
void TestPublisher::closedDuringLookup()
{
    const QByteArray gate = QFile::encodeName(m_dir.filePath(QStringLiteral("gate")));
    QVERIFY(::mkfifo(gate.constData(), 0600) == 0);
    qputenv("VT_LOOKUP_GATE", gate);
    MqttSettings s = settings();
    s.Host = QStringLiteral("broker.stalled");
    s.CaFile = s.PasswordFile; // not a certificate
    const auto threads = [] {
        return QDir(QStringLiteral("/proc/self/task"))
            .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
            .size();
    };
    const qsizetype before = threads();
    auto publisher = std::make_unique<Publisher>(s, QStringLiteral("b4"));
    QVERIFY(publisher->start());
    publisher.reset();
    int fd = -1; // the look-up waits for a writer
    QTRY_VERIFY((fd = ::open(gate.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) >= 0);
    ::close(fd);
    QTRY_COMPARE(threads(), before);
    qunsetenv("VT_LOOKUP_GATE");
}

void TestPublisher::brokerRestarted()
{
    Publisher publisher(settings(), QStringLiteral("b3"));
    QSignalSpy connected(&publisher, &Publisher::connected);
    QSignalSpy problems(&publisher, &Publisher::problem);
    m_broker.stop(); // absent at start: told once, tried again
    QVERIFY(publisher.start());
    QTRY_COMPARE(problems.size(), 1);
    QVERIFY2(problems[0][0].toString().contains(QStringLiteral("not reachable")),
        qPrintable(problems[0][0].toString()));
    QVERIFY(m_broker.start());
    QTRY_COMPARE_WITH_TIMEOUT(connected.size(), 1, 20000);
    m_broker.stop();
    QTRY_COMPARE(problems.size(), 2);
    publisher.tickDone(tick(37.0, 800)); // while the broker is away: only the newest is kept
    publisher.tickDone(tick(37.1, 1600));
    QVERIFY(m_broker.start());
    QTRY_COMPARE_WITH_TIMEOUT(connected.size(), 2, 20000);
    MqttReader reader(m_broker.port()); // the broker kept nothing: this is the bench's own
    QTRY_COMPARE(reader.on("velmora/b3/temperature").size(), 1);
    QVERIFY(reader.on("velmora/b3/temperature")[0].endsWith("37.1"));
    QTRY_COMPARE(reader.on("velmora/b3/state").size(), 1);
    QVERIFY(reader.on("velmora/b3/state")[0].contains(R"("elapsed_s":1.6,)"));
    QCOMPARE(problems.size(), 2);
}

QTEST_GUILESS_MAIN(TestPublisher)
#include "tst_publisher.moc"
