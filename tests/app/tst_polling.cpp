#include "../support/ModalAnswer.h"
#include "../support/PtyPeer.h"
#include "../support/ScriptedClock.h"
#include "../support/SettingsFile.h"
#include "app/Application.h"
#include "app/Unit1.h"
#include "instrument/PollCycle.h"
#include "platform/MessageTimer.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// Start, Stop and the poll tick of the main window against a pseudo-terminal that answers as the
// instrument would. The tick is called directly; its pauses take no time.
class TstPolling : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<PtyPeer> m_instrument;
    std::unique_ptr<ScriptedClock> m_clock;
    std::unique_ptr<platform::ScopedClock> m_useClock;
    std::unique_ptr<TForm1> m_form;
    QByteArray m_reply = QByteArray("\x2C\x01", 2); // 30.0 degrees

    void openWithPort(const QString& port, const QByteArray& more = {})
    {
        m_form = std::make_unique<TForm1>(
            writeSettingsFile(m_dir, "Port=" + port.toUtf8() + "\r\n" + more));
    }

private slots:
    void init()
    {
        m_instrument = std::make_unique<PtyPeer>();
        QVERIFY(m_instrument->isValid());
        m_clock = std::make_unique<ScriptedClock>();
        m_useClock = std::make_unique<platform::ScopedClock>(*m_clock);
        m_clock->onPause = [this](platform::Clock::Duration pause) {
            if (pause == instrument::PollCycle::kReplyPause
                && m_instrument->received(1000) == "\x51")
                m_instrument->send(m_reply);
        };
    }

    void cleanup()
    {
        m_form.reset();
        m_useClock.reset();
        m_instrument.reset();
    }

    void startWithAnAbsentPortSaysSoOnceAndDoesNotPoll()
    {
        openWithPort(QStringLiteral("/nonexistent/velmora-port"));
        MessageBoxSeen seen;
        const auto answering = answerNextMessageBox(seen);
        m_form->StartClick();
        QVERIFY(seen.shown);
        QCOMPARE(seen.text, QStringLiteral("Не удалось открыть порт!"));
        QCOMPARE(seen.icon, QMessageBox::NoIcon);
        QVERIFY(!m_form->timer()->isEnabled());
        QVERIFY(!m_form->port().isOpen());
        QCOMPARE(m_form->sampleCounter(), 0);
    }

    void stopBeforeStartDoesNothing()
    {
        openWithPort(m_instrument->devicePath());
        MessageBoxSeen seen;
        const auto answering = answerNextMessageBox(seen);
        m_form->StopClick();
        QTest::qWait(20);
        QVERIFY(!seen.shown);
        QVERIFY(!m_form->timer()->isEnabled());
    }

    void startPollsAndStopCloses()
    {
        openWithPort(m_instrument->devicePath(), "BaudRate=9600\r\n");
        m_form->StartClick();
        QVERIFY(m_form->timer()->isEnabled());
        QVERIFY(m_form->port().isOpen());

        m_form->GetTemperClick();
        QCOMPARE(m_form->sampleCounter(), 1);
        QCOMPARE(m_form->pollCycle().samples()[0], 30.0);
        m_reply = QByteArray("\x90\x01", 2); // 40.0: the upper bound, drawn on row 21
        m_form->GetTemperClick();
        QCOMPARE(m_form->sampleCounter(), 2);
        // The first segment runs from column 50, row 60 (30.0) towards row 21 at column 50.
        QCOMPARE(m_form->chartImage().pixelColor(50, 60), QColor(0, 255, 0));
        QCOMPARE(m_form->chartImage().pixelColor(50, 40), QColor(0, 255, 0));

        m_form->StopClick();
        QVERIFY(!m_form->timer()->isEnabled());
        QVERIFY(!m_form->port().isOpen());
        // The chart and the counter stay as they are.
        QCOMPARE(m_form->sampleCounter(), 2);
        QCOMPARE(m_form->chartImage().pixelColor(50, 60), QColor(0, 255, 0));
    }

    void startWhilePollingOnTheSamePortKeepsPolling()
    {
        openWithPort(m_instrument->devicePath());
        m_form->StartClick();
        m_form->GetTemperClick();
        m_form->GetTemperClick();

        MessageBoxSeen seen;
        const auto answering = answerNextMessageBox(seen);
        m_form->StartClick();
        QVERIFY(seen.shown);
        QCOMPARE(seen.text, QStringLiteral("Не удалось открыть порт!"));
        QVERIFY(m_form->timer()->isEnabled());
        QVERIFY(m_form->port().isOpen());
        // The Start that failed changed nothing: the run and its sweep go on where they were.
        QCOMPARE(m_form->sampleCounter(), 2);
        m_form->GetTemperClick();
        QCOMPARE(m_form->sampleCounter(), 3);
    }

    void startWithAnotherPortReplacesTheOpenOne()
    {
        openWithPort(m_instrument->devicePath());
        m_form->StartClick();
        PtyPeer second;
        app::Settings changed = m_form->settings();
        changed.Port = second.devicePath();
        m_form->setSettings(changed);
        m_form->StartClick();
        QVERIFY(m_form->port().isOpen());

        // The first port was let go: another program may open it now.
        platform::SerialPort other;
        QCOMPARE(other.open(m_instrument->devicePath()), platform::SerialError::None);
    }

    void aLostPortShowsNoMessageAndStopStillStops()
    {
        // The port by a link, removed with the line as a by-id name is: the number of the
        // closed pseudo-terminal may soon belong to another one.
        const QString link = m_dir.filePath(QStringLiteral("usb-Velmora-if00"));
        QFile::remove(link);
        QVERIFY(QFile::link(m_instrument->devicePath(), link));
        openWithPort(link);
        MessageBoxSeen seen;
        const auto answering = answerNextMessageBox(seen);
        m_form->StartClick();
        m_form->GetTemperClick();
        QCOMPARE(m_form->sampleCounter(), 1);

        m_clock->onPause = nullptr;
        m_instrument->hangUp();
        QVERIFY(QFile::remove(link));
        for (int tick = 0; tick < 3; ++tick)
            m_form->GetTemperClick();
        QVERIFY(m_form->pollLink().isLost());
        QCOMPARE(m_form->pollLink().reopenAttempts(), 2);
        QVERIFY(m_form->timer()->isEnabled());
        QCOMPARE(m_form->sampleCounter(), 1);

        m_form->StopClick();
        QVERIFY(!m_form->timer()->isEnabled());
        QVERIFY(!m_form->pollLink().isRunning());
        // A tick already queued when Stop came tries nothing more.
        m_form->GetTemperClick();
        QCOMPARE(m_form->pollLink().reopenAttempts(), 2);
        QTest::qWait(20);
        QVERIFY(!seen.shown);
        QVERIFY(!m_form->port().isOpen());
    }

    void closingWhilePollingWritesTheSettingsAndSendsNothing()
    {
        openWithPort(m_instrument->devicePath());
        m_form->show();
        m_form->StartClick();
        m_form->GetTemperClick();
        MessageBoxSeen seen;
        const auto answering = answerNextMessageBox(seen);
        QVERIFY(m_form->close());
        QTest::qWait(20);
        QVERIFY(!seen.shown);
        QCOMPARE(m_instrument->received(), QByteArray());
        QFile written(m_form->settingsFile());
        QVERIFY(written.open(QIODevice::ReadOnly));
        QVERIFY(written.readAll().contains("\r\nShowSignalFlag=1\r\n"));
    }

    void aSilentInstrumentCostsOneBoundedTickAndNothingElse()
    {
        openWithPort(m_instrument->devicePath());
        m_form->StartClick();
        m_reply.clear();
        m_form->GetTemperClick();
        QCOMPARE(m_form->sampleCounter(), 0);
        m_reply = QByteArray("\x6D\x01", 2);
        m_form->GetTemperClick();
        QCOMPARE(m_form->sampleCounter(), 1);
        QCOMPARE(m_form->pollCycle().samples()[0], 36.5);
    }

    void sweepOfTenWrapsAndTheEleventhReadingClearsTheChart()
    {
        openWithPort(m_instrument->devicePath(), "NPoints=10\r\n");
        m_form->StartClick();
        for (int reading = 1; reading <= 10; ++reading) {
            m_reply = QByteArray(1, static_cast<char>(0x2C + reading)) + QByteArray(1, '\x01');
            m_form->GetTemperClick();
        }
        QCOMPARE(m_form->sampleCounter(), 0);
        // The tenth reading reached the right end: round(9 * 498 / 10 + 50) = 498.
        const QImage full = m_form->chartImage();
        bool lineNearTheEnd = false;
        for (int row = 21; row <= 99; ++row)
            lineNearTheEnd |= full.pixelColor(497, row) == QColor(0, 255, 0);
        QVERIFY(lineNearTheEnd);

        m_form->GetTemperClick();
        QCOMPARE(m_form->sampleCounter(), 1);
        for (int row = 21; row <= 99; ++row)
            QVERIFY(m_form->chartImage().pixelColor(497, row) != QColor(0, 255, 0));
    }
};

int main(int argc, char* argv[])
{
    app::Application application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    TstPolling test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_polling.moc"
