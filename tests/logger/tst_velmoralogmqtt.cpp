#include "../support/InstrumentSim.h"
#include "../support/MqttBroker.h"
#include "../support/SettingsFile.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

// The built velmora-log publishing to a broker of the test's own while it polls the simulator,
// read back by a subscriber of its own.
class TstVelmoraLogMqtt : public QObject {
    Q_OBJECT

private:
    MqttBroker m_broker;
    std::unique_ptr<QTemporaryDir> m_dir;
    QByteArray m_err;
    int m_bench = 0;

    QString path(const char* name) const { return m_dir->filePath(QLatin1String(name)); }
    // The topic of a new bench of each test, under <prefix>/<bench>/.
    QString newBench() { return QStringLiteral("b%1").arg(++m_bench); }
    static QByteArray topic(const QString& bench, const char* leaf)
    {
        return "velmora/" + bench.toLatin1() + '/' + leaf;
    }
    QByteArray err(QProcess& process) { return m_err += process.readAllStandardError(); }

    // The publishing options of @p bench as the broker's user "bench", with @p password in a
    // file of @p mode; on the TLS port with @p ca's certificate when one is named.
    QStringList publishing(const QString& bench, const QByteArray& password = "benchpw",
        QFile::Permissions mode = QFile::ReadOwner | QFile::WriteOwner, const char* ca = nullptr)
    {
        const QString file = path("password");
        if (!writeFile(file, password + '\n') || !QFile::setPermissions(file, mode))
            qFatal("cannot write the password file");
        QStringList options { "--mqtt",
            QStringLiteral("127.0.0.1:%1").arg(ca ? m_broker.tlsPort() : m_broker.port()),
            "--mqtt-user", "bench", "--mqtt-password-file", file, "--bench", bench };
        if (ca != nullptr)
            options << "--mqtt-ca" << m_broker.file(ca);
        return options;
    }

    void start(QProcess& process, const Sim& sim, const QStringList& arguments) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name :
            { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "JOURNAL_STREAM" })
            environment.remove(QString::fromLatin1(name));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(m_dir->path());
        process.start(QStringLiteral(VELMORA_LOG),
            QStringList { "--settings", writeSettingsFile(*m_dir, {}), "--port", sim.link,
                "--interval", "500" }
                + arguments);
    }
    bool online(MqttReader& reader, const QString& bench)
    {
        const QDeadlineTimer deadline(kBoundMs);
        while (!reader.on(topic(bench, "status")).value(0).endsWith("online")) {
            if (deadline.hasExpired())
                return false;
            QTest::qWait(20);
        }
        return true;
    }
    bool stop(QProcess& process, int signal = SIGTERM)
    {
        ::kill(pid_t(process.processId()), signal);
        const bool ended = process.waitForFinished(kBoundMs);
        err(process);
        return ended && (signal == SIGKILL || process.exitCode() == 0);
    }
    // The rows of the run's one file.
    QByteArrayList runRows() const
    {
        const QStringList files = QDir(path("runs")).entryList({ "2*.csv" }, QDir::Files);
        if (files.size() != 1)
            return {};
        QByteArrayList rows = readFile(path("runs/") + files[0]).split('\n');
        rows.removeFirst(); // the header
        rows.removeAll(QByteArray());
        return rows;
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
        m_err.clear();
    }

    // Online, the state (naming the run file) and the temperature while it polls; the broker's
    // last will says offline when it is killed.
    void publishesAndGoesOfflineWhenKilled()
    {
        Sim sim(m_dir->path());
        QVERIFY(sim.waitForLines("link "));
        MqttReader reader(m_broker.port());
        const QString bench = newBench();
        QProcess log;
        start(log, sim, publishing(bench));
        QVERIFY(online(reader, bench));
        QTRY_VERIFY_WITH_TIMEOUT(!reader.on(topic(bench, "temperature")).isEmpty(), kBoundMs);
        QTRY_VERIFY_WITH_TIMEOUT(
            reader.on(topic(bench, "state")).constLast().contains(".csv"), kBoundMs);
        const QString runFile = QDir(path("runs")).entryList({ "2*.csv" }).value(0);
        QVERIFY2(reader.on(topic(bench, "state")).constLast().contains(runFile.toLatin1()),
            reader.on(topic(bench, "state")).constLast().constData());
        QVERIFY(stop(log, SIGKILL));
        QTRY_VERIFY_WITH_TIMEOUT(
            reader.on(topic(bench, "status")).constLast().endsWith("offline"), kBoundMs);
    }

    // The broker goes away for a few polls and comes back: publishing resumes, and the run file
    // has a row for every poll, none of them held up.
    void brokerAwayLosesNoRow()
    {
        Sim sim(m_dir->path());
        QVERIFY(sim.waitForLines("link "));
        MqttReader reader(m_broker.port());
        const QString bench = newBench();
        QProcess log;
        start(log, sim, publishing(bench));
        QVERIFY(online(reader, bench));
        m_broker.stop();
        QVERIFY(sim.waitForLines("poll 0x51 -> ", sim.lines("poll 0x51 -> ").size() + 4));
        const qsizetype before = reader.on(topic(bench, "temperature")).size();
        QVERIFY(m_broker.start());
        QTRY_VERIFY_WITH_TIMEOUT(
            reader.on(topic(bench, "temperature")).size() > before + 1, kBoundMs);
        QVERIFY(stop(log));

        const QByteArrayList rows = runRows();
        QCOMPARE(rows.size(), sim.lines("poll 0x51 -> ").size());
        double last = 0;
        for (const QByteArray& row : rows) {
            const double elapsed = row.split(',').value(1).toDouble();
            QVERIFY2(elapsed - last < 0.9, row.constData()); // one 500 ms interval, no gap
            last = elapsed;
        }
        QCOMPARE(m_err.count("connection lost"), 1);
    }

    // Credentials or a certificate the broker does not take: said once, and polling goes on.
    void refusedConnection_data()
    {
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<bool>("othersRead");
        QTest::addColumn<bool>("tls");
        QTest::addColumn<QByteArray>("told");
        QTest::newRow("wrong password")
            << QByteArray("nope") << false << false << QByteArray("refused the connection");
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
        Sim sim(m_dir->path());
        QVERIFY(sim.waitForLines("link "));
        QFile::Permissions mode = QFile::ReadOwner | QFile::WriteOwner;
        if (othersRead)
            mode |= QFile::ReadOther;
        QProcess log;
        start(log, sim,
            publishing(newBench(), password, mode, tls ? "wrong-ca.crt" : nullptr)
                + QStringList { "--count", "4", "--output", "-" });
        QVERIFY(log.waitForFinished(kBoundMs));
        QCOMPARE(log.exitCode(), 0);
        QCOMPARE(log.readAllStandardOutput().count('\n'), 5); // the header and four rows
        QVERIFY2(err(log).count(told) == 1, m_err.constData());
    }

    // A command on limits/set: a valid one goes out between two polls with the upload's bytes
    // and pauses and is a row of limits.csv; any other is refused with its reason, sends nothing.
    void remoteLimits_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<bool>("retained"); // kept on the broker before the logger connects
        QTest::addColumn<bool>("remoteLimits");
        QTest::addColumn<QByteArray>("reason"); // empty: applied
        const QByteArray valid = R"({"lower":36.5,"upper":36.7})";
        QTest::newRow("valid") << valid << false << true << QByteArray();
        QTest::newRow("not JSON") << QByteArray("36.5,36.7") << false << true
                                  << QByteArray("not JSON");
        QTest::newRow("out of range") << QByteArray(R"({"lower":36.5,"upper":6553.6})") << false
                                      << true << QByteArray("upper is outside 0.0..6553.5");
        QTest::newRow("two decimals") << QByteArray(R"({"lower":36.55,"upper":36.7})") << false
                                      << true << QByteArray("lower has more than one decimal");
        QTest::newRow("lower not below upper")
            << QByteArray(R"({"lower":36.7,"upper":36.7})") << false << true
            << QByteArray("lower is not below upper");
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
        Sim sim(m_dir->path());
        QVERIFY(sim.waitForLines("link "));
        MqttReader reader(m_broker.port());
        const QString bench = newBench();
        const QByteArray set = topic(bench, "limits/set");
        const QByteArray result = topic(bench, "limits/result");
        if (retained) {
            reader.send(set.constData(), command, true);
            QTRY_COMPARE(reader.on(set).size(), 1); // the broker has it
        }
        QStringList options = publishing(bench);
        if (remoteLimits)
            options << "--mqtt-remote-limits";
        QProcess log;
        start(log, sim, options);
        QVERIFY(online(reader, bench));
        if (!retained)
            reader.send(set.constData(), command);
        if (remoteLimits) {
            QTRY_COMPARE_WITH_TIMEOUT(reader.on(result).size(), 1, kBoundMs);
        }
        // Polling goes on after the command, whatever became of it.
        QVERIFY(sim.waitForLines("poll 0x51 -> ", sim.lines("poll 0x51 -> ").size() + 2));
        QVERIFY(stop(log));
        if (retained)
            reader.send(set.constData(), {}, true);

        const QByteArray record = readFile(path("runs/limits.csv"));
        const QByteArrayList uploads = sim.lines("limits 0x52 ");
        if (reason.isEmpty()) {
            QCOMPARE(reader.on(result), QByteArrayList { R"({"result":"applied"})" });
            QCOMPARE(uploads.size(), 1);
            static const QRegularExpression form(
                QStringLiteral("^limits 0x52 36.5 36.7 \\(gaps (1[0-9][0-9]|[89][0-9]) ms, "
                               "(1[0-9][0-9]|[89][0-9]) ms\\)$"));
            QVERIFY2(
                form.match(QString::fromLatin1(uploads[0])).hasMatch(), uploads[0].constData());
            QVERIFY2(record.endsWith(",36.5,36.7,sent,mqtt\n"), record.constData());
            QCOMPARE(m_err.count("remote limits 36.5,36.7 applied\n"), 1);
            return;
        }
        QCOMPARE(uploads, QByteArrayList());
        QCOMPARE(record, QByteArray());
        if (!remoteLimits) {
            QCOMPARE(reader.on(result), QByteArrayList());
            QVERIFY2(!m_err.contains("remote limits"), m_err.constData());
            return;
        }
        QCOMPARE(reader.on(result),
            QByteArrayList { R"({"reason":")" + reason + R"(","result":"refused"})" });
        QCOMPARE(m_err.count("remote limits command refused: " + reason + '\n'), 1);
    }
};

QTEST_GUILESS_MAIN(TstVelmoraLogMqtt)
#include "tst_velmoralogmqtt.moc"
