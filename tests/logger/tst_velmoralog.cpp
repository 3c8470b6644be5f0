#include "../support/SettingsFile.h"
#include "app/Version.h"
#include "logger/Options.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// The built velmora-log, started as on a machine without a display: no X, no Wayland, no Qt
// platform named.
class TstVelmoraLog : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_folder;

    struct Run {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };

    Run run(const QStringList& arguments, const QString& standardOutput = {}) const
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
            environment.remove(QString::fromLatin1(name));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(m_folder.path());
        if (!standardOutput.isEmpty())
            process.setStandardOutputFile(standardOutput);
        process.start(QStringLiteral(VELMORA_LOG), arguments);
        Run result;
        if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit)
            return result;
        result.exitCode = process.exitCode();
        result.out = process.readAllStandardOutput();
        result.err = process.readAllStandardError();
        return result;
    }

private slots:
    void helpAndVersion()
    {
        Run help = run({ "--help" });
        QCOMPARE(help.exitCode, 0);
        QCOMPARE(QString::fromLocal8Bit(help.out), logger::helpText());
        QCOMPARE(help.err, QByteArray());

        const Run version = run({ "--version" });
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.out,
            QByteArray("velmora-log (Velmora Thermo) ") + app::kVersion + '\n'
                + app::kLicenceNotice);
        QVERIFY(version.out.contains("GPL-3.0-or-later"));
        QCOMPARE(version.err, QByteArray());
    }

    // Every kind of refusal ends the same way: exit status 2, one line on standard error,
    // nothing on standard output.
    void badUsageExitsWithStatus2_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("unknown option")
            << QStringList { "--frobnicate" } << QByteArray("unknown option '--frobnicate'");
        QTest::newRow("missing value")
            << QStringList { "--count" } << QByteArray("missing value after '--count'");
        QTest::newRow("stray argument")
            << QStringList { "ttyUSB0" } << QByteArray("unexpected argument 'ttyUSB0'");
        QTest::newRow("no number") << QStringList { "--baud", "fast" }
                                   << QByteArray("--baud: 'fast' is not a valid integer value");
        QTest::newRow("interval below 500")
            << QStringList { "--interval=100" }
            << QByteArray("--interval: 100 ms is shorter than the 500 ms one poll takes");
        QTest::newRow("limit outside") << QStringList { "--limits", "6553.6,1" }
                                       << QByteArray("--limits: '6553.6' is outside 0.0 to 6553.5");
        QTest::newRow("limit with two decimals") << QStringList { "--limits",
            "36.55,37" } << QByteArray("--limits: '36.55' has more than one decimal");
        QTest::newRow("duration without unit") << QStringList { "--duration",
            "90" } << QByteArray("--duration: '90' has no unit: write 90s, 90m or 90h");
        QTest::newRow("settings missing") << QStringList { "--settings",
            "none.ini" } << QByteArray("--settings: cannot read 'none.ini': no such file");
    }
    void badUsageExitsWithStatus2()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, message);
        // A port named on the command line is never reached: the refusal comes first.
        const Run result = run(QStringList { "--port", "/nonexistent/port" } + arguments);
        QCOMPARE(result.exitCode, 2);
        QCOMPARE(result.err, "velmora-log: " + message + '\n');
        QCOMPARE(result.out, QByteArray());
    }

    void listPortsPrintsSixFieldsAPort()
    {
        const Run result = run({ "--list-ports" });
        QCOMPARE(result.exitCode, 0);
        QByteArrayList lines = result.out.split('\n');
        QCOMPARE(lines.takeLast(), QByteArray()); // every line ends with a line end
        for (const QByteArray& line : lines) {
            const QByteArrayList fields = line.split('\t');
            QCOMPARE(fields.size(), 6);
            QVERIFY2(fields[1].startsWith("/dev/"), line.constData());
            QVERIFY2(fields[5] == "free" || fields[5] == "busy" || fields[5] == "not permitted",
                line.constData());
        }
        QVERIFY(lines.isEmpty() == result.err.contains("no serial ports found"));
    }

    void outputThatCannotBeWrittenExitsWithStatus1()
    {
        const Run result = run({ "--help" }, QStringLiteral("/dev/full"));
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.err, QByteArray("velmora-log: cannot write to standard output\n"));
    }

    // Qt Core only: a display library in the link would make the program need what a server
    // without a display lacks, and wait on it.
    void linksNoDisplayLibrary()
    {
        const QString ldd = QStandardPaths::findExecutable(QStringLiteral("ldd"));
        QVERIFY2(!ldd.isEmpty(), "ldd is needed to read the program's libraries");
        QProcess process;
        process.start(ldd, { QStringLiteral(VELMORA_LOG) });
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 0);
        const QByteArray libraries = process.readAllStandardOutput();
        QVERIFY(libraries.contains("libQt6Core.so"));
        for (const char* display :
            { "libQt6Gui", "libQt6Widgets", "libX11", "libxcb", "libGL", "libEGL", "libwayland" })
            QVERIFY2(!libraries.contains(display), display);
    }
};

QTEST_GUILESS_MAIN(TstVelmoraLog)
#include "tst_velmoralog.moc"
