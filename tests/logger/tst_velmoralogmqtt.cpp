#include "../support/InstrumentSim.h"
#include "../support/MqttBroker.h"
#include "../support/SettingsFile.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

// The built velmora-log polling the simulator and publishing to a broker of the test's own, read
// back by a subscriber.
class TstVelmoraLogMqtt : public QObject {
    Q_OBJECT

    MqttBroker m_broker;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Sim> m_sim;
    std::unique_ptr<MqttReader> m_reader;
    QProcess m_log;
    QByteArray m_bench;
    int m_benches = 0;

    QByteArrayList on(const char* leaf) { return m_reader->on("velmora/" + m_bench + '/' + leaf); }
    qsizetype polls() { return m_sim->lines("poll 0x51 -> ").size(); }
    // velmora-log publishing as the broker's user "bench" with @p password in a file of @p mode.
    void start(const QStringList& arguments, const QByteArray& password = "benchpw",
        QFile::Permissions mode = QFile::ReadOwner | QFile::WriteOwner, const char* ca = nullptr)
    {
        const QString file = m_dir->filePath(QStringLiteral("password"));
        QVERIFY(writeFile(file, password + '\n') && QFile::setPermissions(file, mode));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("JOURNAL_STREAM"));
        m_log.setProcessEnvironment(environment);
        m_log.setWorkingDirectory(m_dir->path());
        m_log.start(QStringLiteral(VELMORA_LOG),
            QStringList { "--settings", writeSettingsFile(*m_dir, {}), "--port", m_sim->link,
                "--interval", "500", "--mqtt-user", "bench", "--mqtt-password-file", file,
                "--bench", m_bench, "--mqtt",
                QStringLiteral("127.0.0.1:%1").arg(ca ? m_broker.tlsPort() : m_broker.port()) }
                + (ca ? QStringList { "--mqtt-ca", m_broker.file(ca) } : QStringList {})
                + arguments);
    }
    QByteArray stop(int signal = SIGTERM)
    {
        ::kill(pid_t(m_log.processId()), signal);
        if (!m_log.waitForFinished(kBoundMs) || (signal != SIGKILL && m_log.exitCode() != 0))
            return "did not stop well";
        return m_log.readAllStandardError();
    }

private slots:
    void initTestCase()
    {
        if (!MqttBroker::installed())
            QSKIP("mosquitto, mosquitto_passwd or openssl is not installed");
        mosquitto_lib_init();
        QVERIFY(m_broker.start());
    }
    void cleanupTestCase() { mosquitto_lib_cleanup(); }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_sim = std::make_unique<Sim>(m_dir->path());
        QVERIFY(m_sim->waitForLines("link "));
        m_reader = std::make_unique<MqttReader>(m_broker.port());
        m_bench = "b" + QByteArray::number(++m_benches);
    }
    void cleanup() { m_log.kill(), m_log.waitForFinished(), m_reader.reset(), m_sim.reset(); }

    // Online, then the state naming the run file and the temperature; the broker goes away for
    // a few polls: publishing resumes and the run file has a row for every poll, none held up;
    // killed, the last will says offline.
    void publishesThroughABrokerRestart()
    {
        start({});
        QTRY_VERIFY_WITH_TIMEOUT(on("status").value(0).endsWith("online"), kBoundMs);
        QTRY_VERIFY_WITH_TIMEOUT(!on("temperature").isEmpty(), kBoundMs);
        const QString runFile = QDir(m_dir->filePath("runs")).entryList({ "2*.csv" }).value(0);
        QTRY_VERIFY_WITH_TIMEOUT(on("state").constLast().contains(runFile.toLatin1()), kBoundMs);
        m_broker.stop();
        QVERIFY(m_sim->waitForLines("poll 0x51 -> ", polls() + 4));
        const qsizetype before = on("temperature").size();
        QVERIFY(m_broker.start());
        QTRY_VERIFY_WITH_TIMEOUT(on("temperature").size() > before + 1, kBoundMs);
        QCOMPARE(stop(SIGKILL).count("connection lost"), 1);
        QTRY_VERIFY_WITH_TIMEOUT(on("status").constLast().endsWith("offline"), kBoundMs);

        QByteArrayList rows = readFile(m_dir->filePath("runs/" + runFile)).split('\n').mid(1);
        rows.removeAll(QByteArray());
        QVERIFY(rows.size() >= polls() - 1); // killed, the last poll's row may not be written
        for (qsizetype i = 1; i < rows.size(); ++i)
            QVERIFY2(rows[i].split(',')[1].toDouble() - rows[i - 1].split(',')[1].toDouble() < 0.9,
                rows[i].constData());
    }

    // Credentials or a certificate the broker does not take: said once; polling goes on.
    void refusedConnection_data()
    {
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<bool>("othersRead");
        QTest::addColumn<bool>("tls");
        QTest::addColumn<QByteArray>("told");
        QTest::newRow("wrong password")
            << QByteArray("x") << false << false << QByteArray("refused the connection");
        QTest::newRow("password file others may read")
            << QByteArray("benchpw") << true << false << QByteArray("password file refused");
        QTest::newRow("certificate of another CA")
            << QByteArray("benchpw") << false << true << QByteArray("TLS failed");
    }
    void refusedConnection()
    {
        QFETCH(QByteArray, password);
        QFETCH(bool, othersRead);
        QFETCH(bool, tls);
        QFETCH(QByteArray, told);
        start({ "--count", "4", "--output", "-" }, password,
            QFile::ReadOwner | QFile::WriteOwner
                | (othersRead ? QFile::ReadOther : QFile::Permissions()),
            tls ? "wrong-ca.crt" : nullptr);
        QVERIFY(m_log.waitForFinished(kBoundMs));
        QCOMPARE(m_log.exitCode(), 0);
        QCOMPARE(m_log.readAllStandardOutput().count('\n'), 5); // the header and four rows
        QCOMPARE(m_log.readAllStandardError().count(told), 1);
    }

    // A broker whose name is never looked up (a DNS server that does not answer) holds up
    // neither the polls nor the end.
    void hangingHostLookup()
    {
        start({ "--count", "4", "--output", "-", "--mqtt", "broker.stalled" });
        QVERIFY(m_log.waitForFinished(kBoundMs));
        QCOMPARE(m_log.exitCode(), 0);
        QCOMPARE(m_log.readAllStandardOutput().count('\n'), 5);
    }

    // A valid command goes out between two polls with the upload's bytes and pauses and is a row
    // of limits.csv; any other is refused with its reason and sends nothing.
    void remoteLimits_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<bool>("retained"); // kept on the broker before the logger connects
        QTest::addColumn<bool>("remoteLimits");
        QTest::addColumn<QByteArray>("reason"); // empty: applied
        const QByteArray valid = R"({"lower":36.5,"upper":36.7})";
        const auto refused = [](const char* name, const char* command, const char* reason) {
            QTest::newRow(name) << QByteArray(command) << false << true << QByteArray(reason);
        };
        QTest::newRow("valid") << valid << false << true << QByteArray();
        refused("not JSON", "36.5,36.7", "not JSON");
        refused("out of range", R"({"lower":36.5,"upper":6553.6})", "upper is outside 0.0..6553.5");
        refused(
            "two decimals", R"({"lower":36.55,"upper":36.7})", "lower has more than one decimal");
        refused(
            "lower not below upper", R"({"lower":36.7,"upper":36.7})", "lower is not below upper");
        QTest::newRow("retained") << valid << true << true
                                  << QByteArray("retained: a command is taken only as it is sent");
        QTest::newRow("remote limits off") << valid << false << false << QByteArray("-");
    }
    void remoteLimits()
    {
        QFETCH(QByteArray, command);
        QFETCH(bool, retained);
        QFETCH(bool, remoteLimits);
        QFETCH(QByteArray, reason);
        const QByteArray set = "velmora/" + m_bench + "/limits/set";
        if (retained) {
            m_reader->send(set.constData(), command, true);
            QTRY_COMPARE(m_reader->on(set).size(), 1); // the broker has it
        }
        start(remoteLimits ? QStringList { "--mqtt-remote-limits" } : QStringList {});
        QTRY_VERIFY_WITH_TIMEOUT(on("status").value(0).endsWith("online"), kBoundMs);
        if (!retained)
            m_reader->send(set.constData(), command);
        if (remoteLimits) {
            QTRY_COMPARE_WITH_TIMEOUT(on("limits/result").size(), 1, kBoundMs);
        }
        QVERIFY(m_sim->waitForLines("poll 0x51 -> ", polls() + 2)); // polling goes on
        const QByteArray err = stop();
        if (retained)
            m_reader->send(set.constData(), {}, true);

        const QByteArray record = readFile(m_dir->filePath("runs/limits.csv"));
        const QByteArrayList uploads = m_sim->lines("limits 0x52 ");
        if (reason.isEmpty()) {
            QCOMPARE(on("limits/result"), QByteArrayList { R"({"result":"applied"})" });
            static const QRegularExpression gaps(QStringLiteral(
                R"(^limits 0x52 36.5 36.7 \(gaps (1\d\d|9\d) ms, (1\d\d|9\d) ms\)$)"));
            QVERIFY2(gaps.match(QString::fromLatin1(uploads.value(0))).hasMatch(), uploads.join());
            QCOMPARE(uploads.size(), 1);
            QVERIFY2(record.endsWith(",36.5,36.7,sent,mqtt\n"), record.constData());
            QCOMPARE(err.count("remote limits 36.5,36.7 applied\n"), 1);
            return;
        }
        QCOMPARE(uploads, QByteArrayList());
        QCOMPARE(record, QByteArray());
        QCOMPARE(on("limits/result"),
            remoteLimits ? QByteArrayList { R"({"reason":")" + reason + R"(","result":"refused"})" }
                         : QByteArrayList());
        // A retained command is answered to its sender only: the broker replays it at every
        // connection.
        QCOMPARE(err.count("remote limits command refused: " + reason + '\n'),
            remoteLimits && !retained ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(TstVelmoraLogMqtt)
#include "tst_velmoralogmqtt.moc"
