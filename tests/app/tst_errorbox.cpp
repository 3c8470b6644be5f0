#include "../support/ModalAnswer.h"
#include "app/Application.h"
#include "app/ErrorBox.h"
#include "platform/HandlerBoundary.h"
#include "platform/MessageTimer.h"

#include <QClipboard>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>

#include <stdexcept>

namespace {

// An object whose event handler fails without a boundary of its own.
class FailingObject : public QObject {
public:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::User)
            throw std::runtime_error("Cannot open clipboard");
        return QObject::event(event);
    }
};

} // namespace

class TstErrorBox : public QObject {
    Q_OBJECT

private slots:
    void fullStopRule_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter") << "Cannot open clipboard"
                                << "Cannot open clipboard.";
        QTest::newRow("digit") << "Error 42"
                               << "Error 42.";
        QTest::newRow("full stop") << "Done."
                                   << "Done.";
        QTest::newRow("exclamation") << "Stop!"
                                     << "Stop!";
        QTest::newRow("closing bracket") << "(x)"
                                         << "(x)";
        QTest::newRow("hyphen") << "a-"
                                << "a-";
        QTest::newRow("slash") << "a/"
                               << "a/.";
        QTest::newRow("cyrillic") << "порт"
                                  << "порт.";
        QTest::newRow("empty") << ""
                               << "";
    }

    void fullStopRule()
    {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(app::errorBoxText(message), shown);
    }

    void errorBoxHasTitleIconAndOneButton()
    {
        MessageBoxSeen seen;
        const auto answering = answerNextMessageBox(seen);
        app::showErrorBox(QStringLiteral("Unable to write to /tmp/x.ini"));
        QVERIFY(seen.shown);
        QCOMPARE(seen.title, QStringLiteral("Velmora Thermo"));
        QCOMPARE(seen.text, QStringLiteral("Unable to write to /tmp/x.ini."));
        QCOMPARE(seen.icon, QMessageBox::Critical);
        QCOMPARE(seen.buttons, 1);
    }

    void plainMessageIsCentredWithoutIcon()
    {
        MessageBoxSeen seen;
        const auto answering = answerNextMessageBox(seen);
        app::showPlainMessage(QStringLiteral("Не удалось открыть порт!"));
        QVERIFY(seen.shown);
        QCOMPARE(seen.title, QStringLiteral("Velmora Thermo"));
        QCOMPARE(seen.text, QStringLiteral("Не удалось открыть порт!"));
        QCOMPARE(seen.icon, QMessageBox::NoIcon);
        QCOMPARE(seen.buttons, 1);
        const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
        QVERIFY((seen.centre - screenCentre).manhattanLength() <= 2);
    }

    void ctrlCCopiesTheBox_data()
    {
        QTest::addColumn<bool>("plain");
        QTest::addColumn<QString>("text");
        QTest::newRow("plain message") << true << "Не удалось открыть порт!";
        QTest::newRow("error box") << false << "Cannot open clipboard.";
    }
    void ctrlCCopiesTheBox()
    {
        QFETCH(bool, plain);
        QFETCH(QString, text);
        QGuiApplication::clipboard()->clear();
        QString copied;
        bool stillOpen = false;
        QTimer::singleShot(0, [&] {
            QMessageBox* box = nullptr;
            if (!QTest::qWaitFor([&] {
                    box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                    return box && box->isActiveWindow();
                }))
                return;
            // The key goes where a user's would: to the OK button, which has the focus.
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::ControlModifier);
            copied = QGuiApplication::clipboard()->text();
            stillOpen = box->isVisible();
            box->button(QMessageBox::Ok)->click();
        });
        if (plain)
            app::showPlainMessage(text);
        else
            app::showErrorBox(QStringLiteral("Cannot open clipboard"));
        QVERIFY(stillOpen);
        const QString rule = QStringLiteral("---------------------------\n");
        QCOMPARE(copied, rule + "Velmora Thermo\n" + rule + text + "\n" + rule + "OK   \n" + rule);
    }

    // The last-resort net: a failure that escaped a handler is still shown, and logged as an
    // escape so that the missing boundary is found.
    void failureThatEscapedAHandlerIsShownAndLogged()
    {
        FailingObject failing;
        MessageBoxSeen seen;
        const auto answering = answerNextMessageBox(seen);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^A failure escaped the handler"));
        QEvent event(QEvent::User);
        QCoreApplication::sendEvent(&failing, &event);
        QVERIFY(seen.shown);
        QCOMPARE(seen.text, QStringLiteral("Cannot open clipboard."));
        QCOMPARE(seen.icon, QMessageBox::Critical);
    }

    // The boundary reports to the error box that the application installed.
    void guardedReportsAndTellsTheCaller_data()
    {
        QTest::addColumn<bool>("standard");
        QTest::addColumn<QString>("shown");
        QTest::newRow("std::exception") << true << "Unable to write to x.";
        QTest::newRow("anything else") << false << "Unknown failure.";
    }
    void guardedReportsAndTellsTheCaller()
    {
        QFETCH(bool, standard);
        QFETCH(QString, shown);
        MessageBoxSeen seen;
        const auto answering = answerNextMessageBox(seen);
        QVERIFY(!platform::guarded([standard] {
            if (standard)
                throw std::runtime_error("Unable to write to x");
            throw 42;
        }));
        QVERIFY(seen.shown);
        QCOMPARE(seen.text, shown);
        QCOMPARE(seen.title, QStringLiteral("Velmora Thermo"));
        QVERIFY(platform::guarded([] {}));
    }

    // A report that fails itself still goes nowhere but the log: nothing leaves the boundary.
    void aFailingReportIsLogged()
    {
        const auto installed = platform::setFailureReporter(
            [](const std::exception_ptr&) { throw std::runtime_error("no box"); });
        QTest::ignoreMessage(QtWarningMsg, "Failure: tick failed");
        QTest::ignoreMessage(QtWarningMsg, "Failure: no box");
        const bool ran = platform::guarded([] { throw std::runtime_error("tick failed"); });
        platform::setFailureReporter(installed);
        QVERIFY(!ran);
    }

    void timerKeepsRunningAfterAFailedTick()
    {
        platform::MessageTimer timer;
        int ticks = 0;
        MessageBoxSeen seen;
        const auto answering = answerNextMessageBox(seen);
        connect(&timer, &platform::MessageTimer::timeout, &timer, [&] {
            platform::guarded([&] {
                if (++ticks == 1) {
                    throw std::runtime_error("tick failed");
                }
            });
        });
        timer.setInterval(5);
        timer.setEnabled(true);
        QTRY_VERIFY(ticks >= 4);
        QVERIFY(seen.shown);
        QVERIFY(timer.isEnabled());
    }
};

int main(int argc, char* argv[])
{
    app::Application application(argc, argv);
    TstErrorBox test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_errorbox.moc"
