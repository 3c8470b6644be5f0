#include "../support/ModalAnswer.h"
#include "../support/SettingsFile.h"
#include "app/Application.h"
#include "app/ErrorBox.h"
#include "app/Unit1.h"
#include "dialogs/ColorBox.h"
#include "dialogs/Unit2.h"
#include "numeric/Spin.h"
#include "platform/MessageTimer.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

// The parameters command of the main window, run as the menu runs it, with the dialog answered
// by the test as soon as it opens.
class TstParams : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QTemporaryDir m_devices;
    std::unique_ptr<TForm1> m_form;
    std::unique_ptr<TdlgParam> m_dialog;

    void openWith(const QByteArray& keys)
    {
        m_form = std::make_unique<TForm1>(writeSettingsFile(m_dir, keys));
        m_dialog = std::make_unique<TdlgParam>(nullptr, m_devices.path());
        m_form->attachDialogs(nullptr, m_dialog.get(), nullptr);
    }

    template <typename T> T* field(const char* name) const
    {
        return m_dialog->findChild<T*>(QString::fromLatin1(name));
    }

    // Runs the command; @p edit sees the open dialog and closes it. Returns what the error
    // box said, if it opened.
    MessageBoxSeen runParams(const std::function<void()>& edit)
    {
        MessageBoxSeen seen;
        const auto answering = answerNextMessageBox(seen);
        QTimer poll;
        poll.setInterval(5);
        connect(&poll, &QTimer::timeout, &poll, [&] {
            if (QApplication::activeModalWidget() != m_dialog.get())
                return;
            poll.stop();
            edit();
        });
        poll.start();
        m_form->findChild<QAction*>(QStringLiteral("itmParam"))->trigger();
        return seen;
    }

    void press(const char* button) { field<QPushButton>(button)->click(); }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void cleanup()
    {
        m_form.reset();
        m_dialog.reset();
    }

    void dialogShowsTheSettings()
    {
        openWith("Port=ttyUSB1\r\nBaudRate=9600\r\nTimerWorkInterval=1500\r\nMinY=-5\r\n"
                 "PenGraphColor=255\r\nGraphFontName=Liberation Mono\r\n");
        QString port, baud, interval, minY, pen, graphFont;
        const MessageBoxSeen seen = runParams([&] {
            port = field<QComboBox>("cbbComboPorts")->currentText();
            baud = field<QComboBox>("cbbComboBaudRate")->currentText();
            interval = field<TSpinEdit>("se1")->text();
            minY = field<QLineEdit>("edt6")->text();
            pen = field<dialogs::ColorBox>("clrbxPenGraph")->currentText();
            graphFont = field<QComboBox>("cbbGraphFontBox")->currentText();
            press("btn2");
        });
        QVERIFY(!seen.shown);
        QCOMPARE(port, QStringLiteral("ttyUSB1"));
        QCOMPARE(baud, QStringLiteral("9600"));
        QCOMPARE(interval, QStringLiteral("1500"));
        QCOMPARE(minY, QStringLiteral("-5"));
        QCOMPARE(pen, QStringLiteral("clRed"));
        QCOMPARE(graphFont, QStringLiteral("Liberation Mono"));
    }

    void cancelAppliesLikeOkAndRedraws()
    {
        openWith({});
        const QImage before = m_form->chartImage();
        const MessageBoxSeen seen = runParams([&] {
            field<QLineEdit>("edt7")->setText(QStringLiteral("60"));
            field<TSpinEdit>("se1")->setValue(2000);
            press("btn1");
        });
        QVERIFY(!seen.shown);
        QCOMPARE(m_form->settings().MaxY, 60);
        QCOMPARE(m_form->timer()->interval(), 2000u);
        // The chart is the empty chart of the new scale.
        const QImage after = m_form->chartImage();
        QVERIFY(after != before);
        m_form->InitPictures();
        QCOMPARE(after, m_form->chartImage());
    }

    void closingUnchangedBringsLoadedValuesIntoRange()
    {
        openWith("TimerWorkInterval=100\r\nNPoints=20000\r\nTextFontSize=200\r\n"
                 "GraphFontSize=2\r\nBrushGraphColor=1193046\r\n");
        QCOMPARE(m_form->timer()->interval(), 100u);
        const MessageBoxSeen seen = runParams([&] { m_dialog->close(); });
        QVERIFY(!seen.shown);
        QCOMPARE(m_form->timer()->interval(), 600u);
        QCOMPARE(m_form->settings().NPoints, 10000);
        QCOMPARE(m_form->settings().TextFont.size(), 100);
        QCOMPARE(m_form->settings().GraphFont.size(), 6);
        // A colour the boxes do not offer stays as it was.
        QCOMPARE(m_form->settings().BrushGraphColor, 0x123456);
    }

    void failingConversion_data()
    {
        QTest::addColumn<QString>("failing");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("applied"); // steps taken: port, baud rate, interval, lower bound
        QTest::newRow("baud rate '9600 '")
            << QStringLiteral("cbbComboBaudRate") << QStringLiteral("9600 ")
            << QStringLiteral("'9600 ' is not a valid integer value") << 1;
        QTest::newRow("lower bound '1.5'")
            << QStringLiteral("edt6") << QStringLiteral("1.5")
            << QStringLiteral("'1.5' is not a valid integer value") << 3;
        QTest::newRow("upper bound empty")
            << QStringLiteral("edt7") << QString()
            << QStringLiteral("'' is not a valid integer value") << 4;
    }

    void failingConversion()
    {
        QFETCH(QString, failing);
        QFETCH(QString, text);
        QFETCH(QString, message);
        QFETCH(int, applied);

        openWith({});
        const app::Settings before = m_form->settings();
        const QImage chart = m_form->chartImage();
        const MessageBoxSeen seen = runParams([&] {
            field<QComboBox>("cbbComboPorts")->setEditText(QStringLiteral("ttyACM0"));
            field<QComboBox>("cbbComboBaudRate")->setEditText(QStringLiteral("19200"));
            field<TSpinEdit>("se1")->setValue(2000);
            field<QLineEdit>("edt4")->setText(QStringLiteral("time"));
            field<QLineEdit>("edt6")->setText(QStringLiteral("5"));
            field<QLineEdit>("edt7")->setText(QStringLiteral("50"));
            field<dialogs::ColorBox>("clrbxPenGraph")->setSelected(0x0000FF);
            if (auto* box = m_dialog->findChild<QComboBox*>(failing))
                box->setEditText(text);
            else
                m_dialog->findChild<QLineEdit*>(failing)->setText(text);
            press("btn2");
        });
        QVERIFY(seen.shown);
        QCOMPARE(seen.icon, QMessageBox::Critical);
        QCOMPARE(seen.text, app::errorBoxText(message));

        const app::Settings& now = m_form->settings();
        QCOMPARE(now.Port, QStringLiteral("ttyACM0"));
        QCOMPARE(now.BaudRate, applied >= 2 ? 19200 : before.BaudRate);
        QCOMPARE(m_form->timer()->interval(), applied >= 3 ? 2000u : 800u);
        QCOMPARE(now.YCaption, applied >= 3 ? QStringLiteral("time") : before.YCaption);
        QCOMPARE(now.MinY, applied >= 4 ? 5 : before.MinY);
        QCOMPARE(now.MaxY, before.MaxY);
        QCOMPARE(now.PenGraphColor, before.PenGraphColor);
        // The chart keeps its old picture.
        QCOMPARE(m_form->chartImage(), chart);
    }

    void shownPageIsKeptBetweenOpenings()
    {
        openWith({});
        runParams([&] {
            field<QTabWidget>("pgc1")->setCurrentIndex(1);
            press("btn2");
        });
        int shown = -1;
        runParams([&] {
            shown = field<QTabWidget>("pgc1")->currentIndex();
            press("btn2");
        });
        QCOMPARE(shown, 1);
    }
};

int main(int argc, char* argv[])
{
    app::Application application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    TstParams test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_params.moc"
