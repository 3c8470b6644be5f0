#include "../support/InstrumentSim.h"
#include "../support/SettingsFile.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/stat.h>

// The built velmora-log's alarms on the simulator: the lines, alarms.csv and the program.
class TstVelmoraLogAlarms : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    // velmora-log on @p sim with @p arguments, in the test's folder.
    void start(QProcess& process, const Sim& sim, const QStringList& arguments,
        const QByteArray& journalStream = {}) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name :
            { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "JOURNAL_STREAM" })
            environment.remove(QString::fromLatin1(name));
        if (!journalStream.isEmpty())
            environment.insert(
                QStringLiteral("JOURNAL_STREAM"), QString::fromLatin1(journalStream));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(m_dir.path());
        process.start(QStringLiteral(VELMORA_LOG),
            QStringList { QStringLiteral("--settings"), writeSettingsFile(m_dir, {}),
                QStringLiteral("--port"), sim.link, QStringLiteral("--interval"),
                QStringLiteral("500") }
                + arguments);
    }

private slots:
    // The line goes away for longer than the stale time and comes back: the program runs once
    // for each transition, with the event in its environment, and alarms.csv has them.
    void staleAlarmRunsTheProgram()
    {
        Sim sim(m_dir.path(), { "--vanish-after", "3", "--return-after", "7" });
        QVERIFY(sim.waitForLines("link "));
        const QString log = m_dir.filePath(QStringLiteral("notified"));
        QVERIFY(writeFile(m_dir.filePath(QStringLiteral("notify.sh")),
            "#!/bin/sh\necho \"$VELMORA_ALARM_RULE $VELMORA_ALARM_EVENT $VELMORA_ALARM_TIME "
            "$(date +%s%N)\" >> notified\n"));
        QVERIFY(QFile::setPermissions(m_dir.filePath(QStringLiteral("notify.sh")),
            QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QProcess process;
        start(process, sim, { "--alarm-stale", "5", "--on-alarm", "./notify.sh" });
        const QDeadlineTimer deadline(kBoundMs);
        while (readFile(log).count('\n') < 2 && !deadline.hasExpired())
            QTest::qWait(20);
        QCOMPARE(::kill(pid_t(process.processId()), SIGTERM), 0);
        QVERIFY(process.waitForFinished(kBoundMs));
        QCOMPARE(process.exitCode(), 0);
        const QByteArray err = process.readAllStandardError();

        const QList<QByteArray> runs = readFile(log).trimmed().split('\n');
        QCOMPARE(runs.size(), 2);
        QByteArrayList told;
        for (const QByteArray& run : runs) {
            const QList<QByteArray> fields = run.split(' ');
            told.append(fields[0] + ' ' + fields[1]);
            const QDateTime tick
                = QDateTime::fromString(QString::fromLatin1(fields[2]), Qt::ISODateWithMs);
            qInfo("%s: the program started %lld ms after the tick's poll went out", run.constData(),
                fields[3].toLongLong() / 1000000 - tick.toMSecsSinceEpoch());
        }
        QCOMPARE(told, QByteArrayList({ "stale raised", "stale cleared" }));
        const QByteArrayList rows
            = readFile(m_dir.filePath(QStringLiteral("runs/alarms.csv"))).split('\n');
        QCOMPARE(rows.size(), 4);
        QVERIFY(rows[1].contains(",stale,raised,"));
        QVERIFY(rows[2].contains(",stale,cleared,"));
        for (const char* line : { "velmora-log: alarm stale raised: no reading for 5 s\n",
                 "velmora-log: alarm stale cleared: ",
                 "/notify.sh for stale raised: exited with status 0\n",
                 "/notify.sh for stale cleared: exited with status 0\n",
                 ", 1 alarm raised; rows in " })
            QVERIFY2(err.contains(line), err.constData());
    }

    // Where standard error is the journal's stream, each alarm line carries its priority.
    void journalPriority_data()
    {
        QTest::addColumn<bool>("journal");
        QTest::newRow("the journal") << true;
        QTest::newRow("another stream") << false;
    }
    void journalPriority()
    {
        QFETCH(bool, journal);
        Sim sim(m_dir.path());
        QVERIFY(sim.waitForLines("link "));
        const QString err = m_dir.filePath(QStringLiteral("err"));
        QVERIFY(writeFile(err, {}));
        struct stat status { };
        QCOMPARE(::stat(QFile::encodeName(err).constData(), &status), 0);
        QProcess process;
        process.setStandardErrorFile(err);
        start(process, sim, { "--alarm-high", "-100", "--count", "2", "--output", "-" },
            QByteArray::number(quint64(status.st_dev)) + ':'
                + QByteArray::number(quint64(status.st_ino) + (journal ? 0 : 1)));
        QVERIFY(process.waitForFinished(kBoundMs));
        QCOMPARE(process.exitCode(), 0);
        const QByteArray lines = readFile(err);
        const QByteArray raised = "velmora-log: alarm high raised: ";
        const QByteArray ended = "velmora-log: alarm high ended with the run\n";
        QVERIFY2(lines.contains(journal ? "\n<4>" + raised : "\n" + raised), lines.constData());
        QVERIFY2(lines.contains(journal ? "\n<5>" + ended : "\n" + ended), lines.constData());
    }
};

QTEST_GUILESS_MAIN(TstVelmoraLogAlarms)
#include "tst_velmoralogalarms.moc"
