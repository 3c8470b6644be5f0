#include "../support/ModalAnswer.h"
#include "../support/PtyPeer.h"
#include "../support/ScriptedClock.h"
#include "../support/SettingsFile.h"
#include "app/About.h"
#include "app/Application.h"
#include "app/ErrorBox.h"
#include "app/Unit1.h"
#include "dialogs/Unit2.h"
#include "instrument/Unit3.h"
#include "numeric/Spin.h"
#include "platform/MessageTimer.h"

#include <QFile>
#include <QLocale>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>

namespace {

using namespace std::chrono_literals;

// What the limits dialog showed when it came up, and how the test closed it.
struct LimitsDialogSeen {
    bool shown = false;
    int lower = 0; ///< tenths, as the fields showed them on opening
    int upper = 0;
};

// Answers the next limits dialog that opens modally: records what its fields show, lets `edit`
// change them, then presses `buttonName`. The guard stops looking as it goes.
[[nodiscard]] std::unique_ptr<QTimer> answerLimitsDialog(LimitsDialogSeen& seen,
    const char* buttonName, const std::function<void(TdlgRegParam&)>& edit = {})
{
    auto poll = std::make_unique<QTimer>();
    poll->setInterval(5);
    QTimer* timer = poll.get();
    QObject::connect(timer, &QTimer::timeout, timer, [=, &seen] {
        auto* dlg = qobject_cast<TdlgRegParam*>(QApplication::activeModalWidget());
        if (!dlg)
            return;
        timer->stop();
        const auto value = [dlg](const char* name) {
            return dlg->findChild<TSpinEdit*>(QString::fromLatin1(name))->Value();
        };
        seen.shown = true;
        seen.lower = value("se11") * 10 + value("se12");
        seen.upper = value("se21") * 10 + value("se22");
        if (edit)
            edit(*dlg);
        dlg->findChild<QPushButton*>(QString::fromLatin1(buttonName))->click();
    });
    poll->start();
    return poll;
}

void setField(TdlgRegParam& dlg, const char* name, int value)
{
    dlg.findChild<TSpinEdit*>(QString::fromLatin1(name))->setValue(value);
}

void enterForty30(TdlgRegParam& dlg)
{
    setField(dlg, "se11", 40);
    setField(dlg, "se12", 0);
    setField(dlg, "se21", 30);
    setField(dlg, "se22", 0);
}

} // namespace

// The regulator limits upload of the main window against a pseudo-terminal standing in for the
// instrument. Its pauses take no time; the dialogs are answered as they open.
class TstLimits : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QTemporaryDir m_devices; // an empty device folder: the port list scans nothing real
    std::unique_ptr<PtyPeer> m_instrument;
    std::unique_ptr<ScriptedClock> m_clock;
    std::unique_ptr<platform::ScopedClock> m_useClock;
    std::unique_ptr<TDlgAbout> m_about;
    std::unique_ptr<TdlgParam> m_param;
    std::unique_ptr<TdlgRegParam> m_regParam;
    std::unique_ptr<TForm1> m_form;

    // The limits the settings file held before: far from what the dialog starts with.
    static constexpr char kStoredLimits[] = "A=1000\r\nB=2000\r\n";

    void openWithPort(const QString& port)
    {
        m_form = std::make_unique<TForm1>(
            writeSettingsFile(m_dir, "Port=" + port.toUtf8() + "\r\n" + kStoredLimits));
        m_about = std::make_unique<TDlgAbout>();
        m_param = std::make_unique<TdlgParam>(nullptr, m_devices.path());
        m_regParam = std::make_unique<TdlgRegParam>();
        m_form->attachDialogs(m_about.get(), m_param.get(), m_regParam.get());
        QCOMPARE(m_form->settings().A, std::uint16_t(1000));
        QCOMPARE(m_form->settings().B, std::uint16_t(2000));
    }

    QByteArray writtenSettings() const
    {
        QFile written(m_form->settingsFile());
        return written.open(QIODevice::ReadOnly) ? written.readAll() : QByteArray();
    }

    // The rows of limits.csv in the run folder beside the settings, less their times.
    // The rows of limits.csv once the window's record has written what it was given.
    QByteArrayList limitsRows() const
    {
        if (m_form && !m_form->pollSession().record().waitUntilDone(std::chrono::seconds(20)))
            return { "the record did not finish" };
        QByteArrayList rows;
        QFile file(m_dir.filePath(QStringLiteral("runs/limits.csv")));
        if (!file.open(QIODevice::ReadOnly))
            return rows;
        const QByteArrayList lines = file.readAll().split('\n');
        if (lines.first() != "time,lower_C,upper_C,outcome,source")
            return { "bad header: " + lines.first() };
        for (qsizetype i = 1; i < lines.size(); ++i) {
            if (!lines[i].isEmpty())
                rows << lines[i].mid(lines[i].indexOf(',') + 1);
        }
        return rows;
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        QVERIFY(m_dir.isValid());
        QVERIFY(m_devices.isValid());
    }

    void init()
    {
        m_instrument = std::make_unique<PtyPeer>();
        QVERIFY(m_instrument->isValid());
        m_clock = std::make_unique<ScriptedClock>();
        m_useClock = std::make_unique<platform::ScopedClock>(*m_clock);
    }

    void cleanup()
    {
        m_form.reset();
        m_regParam.reset();
        m_param.reset();
        m_about.reset();
        m_useClock.reset();
        m_instrument.reset();
    }

    void okAtOnceSendsTheDialogsStartValuesNotTheStoredOnes()
    {
        openWithPort(m_instrument->devicePath());
        LimitsDialogSeen seen;
        const auto answering = answerLimitsDialog(seen, "btn1");
        m_form->LoadClick();
        QVERIFY(seen.shown);
        QCOMPARE(seen.lower, 365);
        QCOMPARE(seen.upper, 367);
        QCOMPARE(m_instrument->received(1000), QByteArray("\x52\x6D\x01\x6F\x01", 5));
        QCOMPARE(m_form->settings().A, std::uint16_t(365));
        QCOMPARE(m_form->settings().B, std::uint16_t(367));
        QCOMPARE(limitsRows().last(), QByteArray("36.5,36.7,sent,window"));
    }

    void theThreePartsGoOut100msApartAndThePortClosesAtOnce()
    {
        openWithPort(m_instrument->devicePath());
        QList<QByteArray> onTheLineAtEachPause;
        m_clock->onPause = [&](platform::Clock::Duration) {
            onTheLineAtEachPause << m_instrument->received(1000);
        };
        LimitsDialogSeen seen;
        const auto answering = answerLimitsDialog(seen, "btn1");
        m_form->LoadClick();

        const std::vector<platform::Clock::Duration> pauses { 100ms, 100ms };
        QCOMPARE(m_clock->pauses, pauses);
        QCOMPARE(onTheLineAtEachPause,
            QList<QByteArray>({ QByteArray("\x52", 1), QByteArray("\x6D\x01", 2) }));
        QCOMPARE(m_instrument->received(1000), QByteArray("\x6F\x01", 2));
        QVERIFY(!m_form->port().isOpen());
        QVERIFY(!m_form->timer()->isEnabled());
    }

    void cancelSendsAndStoresNothingButTheFieldsKeepTheirValues()
    {
        openWithPort(m_instrument->devicePath());
        const qsizetype uploads = limitsRows().size();
        LimitsDialogSeen first;
        {
            const auto answering = answerLimitsDialog(first, "btn2", enterForty30);
            m_form->LoadClick();
        }
        QVERIFY(first.shown);
        // A cancelled dialog is no upload: nothing is recorded.
        QCOMPARE(limitsRows().size(), uploads);
        QCOMPARE(m_instrument->received(50), QByteArray());
        QVERIFY(m_clock->pauses.empty());
        QCOMPARE(m_form->settings().A, std::uint16_t(1000));
        QCOMPARE(m_form->settings().B, std::uint16_t(2000));

        // The next opening shows what was left in the fields; a lower limit above the upper
        // one goes out unchanged.
        LimitsDialogSeen second;
        const auto answering = answerLimitsDialog(second, "btn1");
        m_form->LoadClick();
        QCOMPARE(second.lower, 400);
        QCOMPARE(second.upper, 300);
        QCOMPARE(m_instrument->received(1000), QByteArray("\x52\x90\x01\x2C\x01", 5));
        QCOMPARE(m_form->settings().A, std::uint16_t(400));
        QCOMPARE(m_form->settings().B, std::uint16_t(300));
        QCOMPARE(limitsRows().size(), uploads + 1);
        QCOMPARE(limitsRows().last(), QByteArray("40.0,30.0,sent,window"));
    }

    void whilePollingOnlyTheWarningShowsAndAfterStopTheDialogOpens()
    {
        openWithPort(m_instrument->devicePath());
        m_form->StartClick();
        QVERIFY(m_form->timer()->isEnabled());

        MessageBoxSeen message;
        LimitsDialogSeen refused;
        {
            const auto answeringBox = answerNextMessageBox(message);
            const auto answeringDialog = answerLimitsDialog(refused, "btn1");
            m_form->LoadClick();
            QTest::qWait(20);
        }
        QVERIFY(message.shown);
        QCOMPARE(message.text, QStringLiteral("Отключите опрос температуры!"));
        QCOMPARE(message.title, QString::fromLatin1(app::kApplicationTitle));
        QCOMPARE(message.icon, QMessageBox::NoIcon);
        QVERIFY(!refused.shown);
        QVERIFY(!m_instrument->received(50).contains('\x52'));
        QVERIFY(m_clock->pauses.empty());
        QCOMPARE(m_form->settings().A, std::uint16_t(1000));
        // Polling goes on as it was.
        QVERIFY(m_form->timer()->isEnabled());
        QVERIFY(m_form->port().isOpen());

        m_form->StopClick();
        LimitsDialogSeen accepted;
        const auto answering = answerLimitsDialog(accepted, "btn1");
        m_form->LoadClick();
        QVERIFY(accepted.shown);
        QCOMPARE(m_instrument->received(1000), QByteArray("\x52\x6D\x01\x6F\x01", 5));
    }

    void anInstrumentGoneMidUploadStopsItAndSaysSo()
    {
        openWithPort(m_instrument->devicePath());
        // The line drops during the first pause, after the command went out.
        m_clock->onPause = [&](platform::Clock::Duration) {
            m_instrument->received(1000);
            m_instrument->hangUp();
        };
        MessageBoxSeen message;
        LimitsDialogSeen seen;
        {
            const auto answeringBox = answerNextMessageBox(message);
            const auto answeringDialog = answerLimitsDialog(seen, "btn1");
            m_form->LoadClick();
        }
        QVERIFY(seen.shown);
        QVERIFY(message.shown);
        QCOMPARE(message.text, QStringLiteral("Не удалось передать параметры регулятора!"));
        // Nothing more was tried after the failed part, and the port is closed.
        QCOMPARE(m_clock->pauses.size(), std::size_t(1));
        QVERIFY(!m_form->port().isOpen());
        QCOMPARE(m_form->settings().A, std::uint16_t(365));
        QCOMPARE(limitsRows().last(), QByteArray("36.5,36.7,write-failed,window"));
    }

    void anAbsentPortSendsNothingYetTheNewLimitsAreSavedAtClose()
    {
        openWithPort(QStringLiteral("/nonexistent/velmora-port"));
        MessageBoxSeen message;
        LimitsDialogSeen seen;
        {
            const auto answeringBox = answerNextMessageBox(message);
            const auto answeringDialog = answerLimitsDialog(seen, "btn1", enterForty30);
            m_form->LoadClick();
        }
        QVERIFY(seen.shown);
        QVERIFY(message.shown);
        QCOMPARE(message.text, QStringLiteral("Не удалось открыть порт!"));
        QVERIFY(m_clock->pauses.empty());
        QVERIFY(!m_form->port().isOpen());
        QCOMPARE(m_form->settings().A, std::uint16_t(400));
        QCOMPARE(m_form->settings().B, std::uint16_t(300));
        QCOMPARE(limitsRows().last(), QByteArray("40.0,30.0,port-not-opened,window"));

        m_form->show();
        QVERIFY(m_form->close());
        const QByteArray saved = writtenSettings();
        QVERIFY2(saved.contains("\r\nA=400\r\n"), saved.constData());
        QVERIFY2(saved.contains("\r\nB=300\r\n"), saved.constData());
    }
};

int main(int argc, char* argv[])
{
    app::Application application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    TstLimits test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_limits.moc"
