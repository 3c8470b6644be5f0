#include "../support/ModalAnswer.h"
#include "app/Application.h"
#include "app/ErrorBox.h"
#include "platform/MessageTimer.h"

#include <QClipboard>
#include <QScreen>
#include <QTest>

#include <stdexcept>

namespace {

// An object whose event handler fails, as a command handler might.
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

    void failureInAnEventHandlerIsShownAndTheProgramGoesOn()
    {
        FailingObject failing;
        MessageBoxSeen seen;
        const auto answering = answerNextMessageBox(seen);
        QEvent event(QEvent::User);
        QCoreApplication::sendEvent(&failing, &event);
        QVERIFY(seen.shown);
        QCOMPARE(seen.text, QStringLiteral("Cannot open clipboard."));
        QCOMPARE(seen.icon, QMessageBox::Critical);
    }

    void guardedReportsAndTellsTheCaller()
    {
        MessageBoxSeen seen;
        const auto answering = answerNextMessageBox(seen);
        QVERIFY(!app::guarded([] { throw std::runtime_error("Unable to write to x"); }));
        QVERIFY(seen.shown);
        QCOMPARE(seen.text, QStringLiteral("Unable to write to x."));
        QVERIFY(app::guarded([] {}));
    }

    void timerKeepsRunningAfterAFailedTick()
    {
        platform::MessageTimer timer;
        int ticks = 0;
        MessageBoxSeen seen;
        const auto answering = answerNextMessageBox(seen);
        connect(&timer, &platform::MessageTimer::timeout, &timer, [&] {
            app::guarded([&] {
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
