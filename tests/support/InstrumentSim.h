#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QDeadlineTimer>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

// The bound of each wait of the whole-program tests.
constexpr int kBoundMs = 20000;

// A simulator process and the lines it logged.
struct SimProcess {
    QByteArrayList lines(QByteArrayView prefix)
    {
        output += process.readAllStandardOutput();
        QByteArrayList complete = output.split('\n');
        complete.removeLast(); // what follows the last line end is not a line yet
        complete.removeIf([&](const QByteArray& line) { return !line.startsWith(prefix); });
        return complete;
    }
    bool waitForLines(QByteArrayView prefix, qsizetype count = 1)
    {
        const QDeadlineTimer deadline(kBoundMs);
        while (lines(prefix).size() < count) {
            if (deadline.hasExpired()
                || (!process.waitForReadyRead(int(deadline.remainingTime()))
                    && process.state() == QProcess::NotRunning))
                return lines(prefix).size() >= count;
        }
        return true;
    }

    QProcess process;
    QByteArray output;
};

// The simulator (INSTRUMENT_SIM) on a link of its own, and what it logged.
struct Sim : SimProcess {
    explicit Sim(const QString& folder, const QStringList& options = {})
        : link(folder + QStringLiteral("/port"))
    {
        process.start(QStringLiteral(INSTRUMENT_SIM),
            QStringList {
                QStringLiteral("--log-gaps"), QStringLiteral("--reply-delay"), QStringLiteral("0") }
                + options + QStringList { link });
    }
    ~Sim()
    {
        process.kill();
        process.waitForFinished(5000);
    }
    Sim(const Sim&) = delete;
    Sim& operator=(const Sim&) = delete;

    // The temperatures it sent, in order.
    QList<double> readings()
    {
        QList<double> sent;
        for (const QByteArray& line : lines("poll 0x51 -> "))
            sent.append(line.mid(13).toDouble());
        return sent;
    }

    QString link;
};
