#include "../support/ModalAnswer.h"
#include "../support/PtyPeer.h"
#include "../support/ScriptedClock.h"
#include "../support/SettingsFile.h"
#include "app/Unit1.h"
#include "instrument/PollCycle.h"
#include "platform/MessageTimer.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The main window's run log: one file a run, a row a tick after the reading is drawn, and a
// failing run folder that is reported once while polling goes on. The ticks are called
// directly and their pauses take no time, so the seconds since Start are exact.
class TstRunLogWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<PtyPeer> m_instrument;
    std::unique_ptr<ScriptedClock> m_clock;
    std::unique_ptr<platform::ScopedClock> m_useClock;
    std::unique_ptr<TForm1> m_form;
    QByteArrayList m_replies; // one per poll, in turn; empty: silent

    void open(const QByteArray& more = {})
    {
        m_form = std::make_unique<TForm1>(writeSettingsFile(
            *m_dir, "Port=" + m_instrument->devicePath().toUtf8() + "\r\n" + more));
    }

    QString runsFolder() const { return m_dir->filePath(QStringLiteral("runs")); }

    // Waits until the window's record has written what it was given, and its failures, if any,
    // have reached the window: a box they bring is then queued.
    void written() const
    {
        if (!m_form)
            return;
        QVERIFY(m_form->pollSession().record().waitUntilDone(std::chrono::seconds(20)));
        QCoreApplication::sendPostedEvents(&m_form->pollSession().record(), QEvent::MetaCall);
    }

    QStringList runFiles() const
    {
        written();
        return QDir(runsFolder()).entryList({ QStringLiteral("*.csv") }, QDir::Files, QDir::Name);
    }

    // The rows of a run file, less their times, which are the wall clock's.
    QByteArrayList rowsWithoutTime(const QString& path) const
    {
        written();
        QByteArrayList rows;
        const QByteArrayList lines = readFile(path).split('\n');
        for (qsizetype i = 1; i < lines.size(); ++i) {
            if (!lines[i].isEmpty())
                rows << lines[i].mid(lines[i].indexOf(',') + 1);
        }
        return rows;
    }

    // Waits until the error box has come and gone. When none should come: until the record's
    // failures have reached the window and an event queued after them has run. A failure queues
    // its box before that, and the box's own event loop runs it, so by then any box has been
    // shown and answered.
    void settle(MessageBoxSeen& seen, bool expected) const
    {
        written();
        if (expected) {
            QTRY_VERIFY_WITH_TIMEOUT(seen.shown, 5000);
            return;
        }
        const QObject context; // the call goes with it, should the wait give up
        bool queuedRan = false;
        QTimer::singleShot(0, &context, [&queuedRan] { queuedRan = true; });
        QTRY_VERIFY_WITH_TIMEOUT(queuedRan, 5000);
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_instrument = std::make_unique<PtyPeer>();
        QVERIFY(m_instrument->isValid());
        m_clock = std::make_unique<ScriptedClock>();
        m_useClock = std::make_unique<platform::ScopedClock>(*m_clock);
        m_replies.clear();
        m_clock->onPause = [this](platform::Clock::Duration pause) {
            if (pause != instrument::PollCycle::kReplyPause
                || m_instrument->received(1000) != "\x51" || m_replies.isEmpty())
                return;
            m_instrument->send(m_replies.takeFirst());
        };
    }

    void cleanup()
    {
        m_form.reset();
        m_useClock.reset();
        m_instrument.reset();
        // A folder a test made read-only must not keep the temporary folder from going.
        QFile::setPermissions(runsFolder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void everyTickIsARowInOrder()
    {
        open();
        m_form->StartClick();
        m_replies = { QByteArray("\x6D\x01", 2), QByteArray(), QByteArray("\x6E", 1),
            QByteArray("\x90\x01", 2) };
        for (int tick = 0; tick < 4; ++tick)
            m_form->GetTemperClick();
        QCOMPARE(runFiles().size(), 1);
        const QString file = QDir(runsFolder()).filePath(runFiles().first());
        QCOMPARE(m_form->runLog().filePath(), file);
        m_form->StopClick();
        QVERIFY(!m_form->runLog().isRunning());

        QVERIFY(readFile(file).startsWith("time,elapsed_s,temperature_C,status\n"));
        // A reading takes the two pauses (0.5 s); a silent instrument, or one byte waiting for the
        // second, the bound as well (1.5 s).
        QCOMPARE(rowsWithoutTime(file),
            QByteArrayList(
                { "0.000,36.5,ok", "0.500,,no-reply", "2.000,,short-reply", "3.500,40.0,ok" }));
        // The chart drew both readings all the same.
        QCOMPARE(m_form->sampleCounter(), 2);
    }

    void aLostPortIsLoggedAndOpenedAgainInTheSameRun()
    {
        // The port by a name that stands for the adapter, as /dev/serial/by-id/... does.
        const QString link = m_dir->filePath(QStringLiteral("usb-Velmora-if00"));
        QVERIFY(QFile::link(m_instrument->devicePath(), link));
        m_form
            = std::make_unique<TForm1>(writeSettingsFile(*m_dir, "Port=" + link.toUtf8() + "\r\n"));
        PtyPeer* answering = m_instrument.get();
        m_clock->onPause = [this, &answering](platform::Clock::Duration pause) {
            if (pause == instrument::PollCycle::kReplyPause && answering
                && answering->received(1000) == "\x51" && !m_replies.isEmpty())
                answering->send(m_replies.takeFirst());
        };
        MessageBoxSeen seen;
        const auto answeringBox = answerNextMessageBox(seen);
        m_form->StartClick();
        m_replies = { QByteArray("\x6D\x01", 2) };
        m_form->GetTemperClick();

        // Pulled out: the line hangs up and its name goes.
        answering = nullptr;
        m_instrument->hangUp();
        QVERIFY(QFile::remove(link));
        for (int tick = 0; tick < 3; ++tick)
            m_form->GetTemperClick();
        QVERIFY(m_form->timer()->isEnabled());
        QVERIFY(!m_form->port().isOpen());

        // Plugged in again as another pseudo-terminal.
        PtyPeer returned;
        QVERIFY(returned.isValid());
        QVERIFY(QFile::link(returned.devicePath(), link));
        answering = &returned;
        m_replies = { QByteArray("\x6E\x01", 2) };
        m_form->GetTemperClick();
        settle(seen, false);
        QVERIFY(!seen.shown);
        QCOMPARE(m_form->pollLink().reconnects(), 1);

        // One run, one file: the absence is in it, the readings before and after it too (the
        // tick that opened the port again took the reading), and the chart drew both readings
        // into the same sweep.
        QCOMPARE(runFiles().size(), 1);
        QCOMPARE(rowsWithoutTime(QDir(runsFolder()).filePath(runFiles().first())),
            QByteArrayList({ "0.000,36.5,ok", "0.500,,port-lost", "1.000,,port-lost",
                "1.000,,port-lost", "1.000,36.6,ok" }));
        QCOMPARE(m_form->sampleCounter(), 2);
        QCOMPARE(m_form->pollCycle().samples()[1], 36.6);
        m_form->StopClick();
        QVERIFY(!m_form->port().isOpen());
        m_clock->onPause = nullptr;
    }

    void eachStartBeginsANewFile()
    {
        open();
        m_replies = { QByteArray("\x6D\x01", 2), QByteArray("\x6D\x01", 2) };
        m_form->StartClick();
        m_form->GetTemperClick();
        m_form->StopClick();
        // A tick after Stop, as a timer event already queued would run it: no row.
        m_form->GetTemperClick();
        m_form->StartClick();
        m_form->GetTemperClick();
        m_form->StopClick();

        const QStringList files = runFiles();
        QCOMPARE(files.size(), 2);
        for (const QString& name : files)
            QCOMPARE(rowsWithoutTime(QDir(runsFolder()).filePath(name)).size(), 1);
    }

    void turnedOffKeepsNoFile()
    {
        open("[RunLog]\r\nEnabled=0\r\n");
        m_replies = { QByteArray("\x6D\x01", 2) };
        m_form->StartClick();
        m_form->GetTemperClick();
        m_form->StopClick();
        QCOMPARE(m_form->sampleCounter(), 1);
        QVERIFY(!QFileInfo::exists(runsFolder()));
    }

    void folderElsewhere()
    {
        QTemporaryDir elsewhere;
        open("[RunLog]\r\nFolder=" + QFile::encodeName(elsewhere.filePath("lab/today")) + "\r\n");
        m_replies = { QByteArray("\x6D\x01", 2) };
        m_form->StartClick();
        m_form->GetTemperClick();
        m_form->StopClick();
        written();
        QCOMPARE(QDir(elsewhere.filePath("lab/today")).entryList(QDir::Files).size(), 1);
        QVERIFY(!QFileInfo::exists(runsFolder()));
    }

    void unusableFolderIsReportedOnceAndPollingGoesOn()
    {
        // The run folder's path names a file: nothing can be made there.
        QVERIFY(writeFile(runsFolder(), "not a folder"));
        open();
        MessageBoxSeen seen;
        {
            const auto answering = answerNextMessageBox(seen);
            m_form->StartClick();
            settle(seen, true);
        }
        QCOMPARE(seen.icon, QMessageBox::Critical);
        QCOMPARE(seen.text,
            QStringLiteral("Не удалось записать журнал опроса в %1: Not a directory.")
                .arg(runsFolder()));
        QVERIFY(m_form->timer()->isEnabled());

        MessageBoxSeen again;
        const auto answering = answerNextMessageBox(again);
        for (int tick = 0; tick < 3; ++tick) {
            m_replies = { QByteArray("\x6D\x01", 2) };
            m_form->GetTemperClick();
        }
        settle(again, false);
        QVERIFY(!again.shown);
        QCOMPARE(m_form->sampleCounter(), 3);

        // Once the folder can be made, the rows held meanwhile are written first.
        QVERIFY(QFile::remove(runsFolder()));
        m_replies = { QByteArray("\x6E\x01", 2) };
        m_form->GetTemperClick();
        settle(again, false);
        QVERIFY(!again.shown);
        QCOMPARE(runFiles().size(), 1);
        QCOMPARE(rowsWithoutTime(QDir(runsFolder()).filePath(runFiles().first())),
            QByteArrayList({ "0.000,36.5,ok", "0.500,36.5,ok", "1.000,36.5,ok", "1.500,36.6,ok" }));
    }

    void removedFolderIsReportedOnceAndMadeAgain()
    {
        open();
        m_form->StartClick();
        m_replies = { QByteArray("\x6D\x01", 2) };
        m_form->GetTemperClick();
        written();
        QVERIFY(QDir(runsFolder()).removeRecursively());

        MessageBoxSeen seen;
        {
            const auto answering = answerNextMessageBox(seen);
            m_replies = { QByteArray("\x6E\x01", 2) };
            m_form->GetTemperClick();
            settle(seen, true);
        }
        QVERIFY2(seen.text.startsWith(
                     QStringLiteral("Не удалось записать журнал опроса в %1").arg(runsFolder())),
            qPrintable(seen.text));
        MessageBoxSeen again;
        const auto answering = answerNextMessageBox(again);
        m_replies = { QByteArray("\x6F\x01", 2) };
        m_form->GetTemperClick();
        settle(again, false);
        QVERIFY(!again.shown);
        QCOMPARE(m_form->sampleCounter(), 3);
        QCOMPARE(runFiles().size(), 1);
        const QByteArrayList rows
            = rowsWithoutTime(QDir(runsFolder()).filePath(runFiles().first()));
        QVERIFY2(rows.endsWith("1.000,36.7,ok"), rows.join('|').constData());
    }

    void closeWritesTheSectionWithTheOptions()
    {
        open("[RunLog]\r\nEnabled=0\r\nFolder=elsewhere\r\n");
        QCloseEvent close;
        QCoreApplication::sendEvent(m_form.get(), &close);
        QVERIFY(close.isAccepted());
        const QByteArray written = readFile(m_form->settingsFile());
        QVERIFY2(
            written.contains("[RunLog]\r\nEnabled=0\r\nFolder=elsewhere\r\n"), written.constData());
        QVERIFY(written.contains("ShowSignalFlag=1\r\n"));
    }
};

QTEST_MAIN(TstRunLogWindow)
#include "tst_runlogwindow.moc"
