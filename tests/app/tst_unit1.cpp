#include "../support/ModalAnswer.h"
#include "../support/SettingsFile.h"
#include "app/Application.h"
#include "app/Unit1.h"
#include "platform/MessageTimer.h"

#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <memory>

namespace {

QStringList captions(const QList<QAction*>& actions)
{
    QStringList list;
    for (const QAction* action : actions)
        list << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return list;
}

} // namespace

class TstUnit1 : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_ini;
    std::unique_ptr<TForm1> m_form;

    template <typename T> T* child(const char* name) const
    {
        T* found = m_form->findChild<T*>(QString::fromLatin1(name));
        if (!found)
            qWarning("no child %s", name);
        return found;
    }

    void open()
    {
        m_form = std::make_unique<TForm1>(m_ini);
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    }

private slots:
    void init()
    {
        m_ini = m_dir.filePath(QStringLiteral("VelmoraThermo.ini"));
        QFile::remove(m_ini);
        QVERIFY(writeFile(m_ini, "[Options]\r\nPort=/nonexistent/tty\r\n"));
    }

    void cleanup()
    {
        if (m_form)
            m_form->setAttribute(Qt::WA_DeleteOnClose, false);
        m_form.reset();
        QFile::setPermissions(m_ini, QFile::ReadOwner | QFile::WriteOwner);
    }

    void windowIsFixedCentredAndHasOnlyACloseButton()
    {
        open();
        QCOMPARE(m_form->windowTitle(), QStringLiteral("Velmora Thermo"));
        QCOMPARE(m_form->centralWidget()->size(), QSize(609, 204));
        QCOMPARE(m_form->minimumSize(), m_form->maximumSize());
        QCOMPARE(m_form->height(), 204 + m_form->menuBar()->height());

        const Qt::WindowFlags flags = m_form->windowFlags();
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(flags & Qt::WindowSystemMenuHint);
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));

        const QPoint screenCentre = m_form->screen()->availableGeometry().center();
        QVERIFY((m_form->geometry().center() - screenCentre).manhattanLength() <= 30);
        QVERIFY(!m_form->windowIcon().isNull());
    }

    void layoutFollowsTheFormGeometry()
    {
        open();
        QCOMPARE(child<QWidget>("CoolBar1")->geometry(), QRect(0, 0, 609, 29));
        QCOMPARE(child<QToolBar>("ToolBar1")->geometry(), QRect(9, 2, 592, 25));
        QCOMPARE(child<QGroupBox>("GroupBox3")->geometry(), QRect(0, 29, 609, 175));
        QCOMPARE(child<QGroupBox>("GroupBox3")->title(), QString());
        QCOMPARE(child<QLabel>("Image1")->geometry(), QRect(4, 17, 600, 150));
        QCOMPARE(child<QLabel>("Image1")->pixmap().size(), QSize(600, 150));
    }

    void toolBarButtonsHavePicturesHintsAndPlaces_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("left");
        QTest::addColumn<QString>("hint");
        QTest::newRow("btnLoad") << "btnLoad" << 0 << "Установить параметры регулятора";
        QTest::newRow("btnStart") << "btnStart" << 23 << "Старт опроса температуры";
        QTest::newRow("btnStop") << "btnStop" << 46 << "Остановка опроса температуры";
        QTest::newRow("btnParam") << "btnParam" << 77 << "Параметры";
        QTest::newRow("btnAbout") << "btnAbout" << 108 << "О программе";
    }

    void toolBarButtonsHavePicturesHintsAndPlaces()
    {
        QFETCH(QString, name);
        QFETCH(int, left);
        QFETCH(QString, hint);
        open();
        auto* button = m_form->findChild<QToolButton*>(name);
        QVERIFY(button);
        QCOMPARE(button->x(), left);
        QCOMPARE(button->size(), QSize(23, 22));
        QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonIconOnly);
        QCOMPARE(button->toolTip(), hint);
        QCOMPARE(button->icon().pixmap(16, 16).size(), QSize(16, 16));
    }

    void toolBarOrderWithSeparators()
    {
        open();
        QCOMPARE(captions(child<QToolBar>("ToolBar1")->actions()),
            QStringList({ "Установить параметры регулятора", "Старт опроса температуры",
                "Остановка опроса температуры", "-", "Параметры", "-", "О программе", "", "-",
                "" }));
        auto* toolBar = child<QToolBar>("ToolBar1");
        // The alarm's bell keeps to the right end, whatever the design's buttons take.
        auto* bell = m_form->findChild<QToolButton*>("btnAlarm");
        QVERIFY(bell);
        QCOMPARE(bell->geometry().right(), toolBar->contentsRect().right());
        QCOMPARE(bell->size(), QSize(23, 22));
        QCOMPARE(bell->toolTip(), QStringLiteral("Тревог нет"));
        QCOMPARE(toolBar->widgetForAction(child<QAction>("btnSep1"))->geometry().left(), 69);
        QCOMPARE(toolBar->widgetForAction(child<QAction>("btnSep2"))->geometry().left(), 100);
    }

    void mainMenuItemsAndPictures()
    {
        open();
        QMenuBar* bar = m_form->menuBar();
        QCOMPARE(bar->objectName(), QStringLiteral("mm1"));
        QCOMPARE(captions(bar->actions()),
            QStringList({ "Файл", "Прибор", "Сервис", "Журнал", "О программе" }));
        QCOMPARE(captions(child<QAction>("itmFile")->menu()->actions()), QStringList({ "Выход" }));
        QCOMPARE(captions(child<QAction>("itmPribor")->menu()->actions()),
            QStringList({ "Установить параметры регулятора", "Старт опроса температуры",
                "Остановка опроса температуры" }));
        QCOMPARE(captions(child<QAction>("itmService")->menu()->actions()),
            QStringList({ "Параметры", "Дополнительно…" }));
        // The run log's menu: the current run only once there has been one.
        QCOMPARE(captions(child<QAction>("itmRunLog")->menu()->actions()),
            QStringList({ "Текущий опрос", "Открыть опрос…", "Папка опросов" }));
        QVERIFY(!child<QAction>("itmCurrentRun")->isEnabled());
        QCOMPARE(child<QAction>("itmOpenRun")->shortcut(), QKeySequence(QKeySequence::Open));

        for (const char* name : { "N1", "itmStart", "itmStop", "itmAbout" }) {
            const QImage picture = child<QAction>(name)->icon().pixmap(16, 16).toImage();
            QCOMPARE(picture.size(), QSize(16, 16));
            // The magenta background is transparent.
            QCOMPARE(qAlpha(picture.pixel(0, 0)), 0);
        }
        QVERIFY(child<QAction>("itmExit")->icon().isNull());
        QVERIFY(child<QAction>("itmParam")->icon().isNull());
        for (QAction* action : m_form->findChildren<QAction*>()) {
            if (action == child<QAction>("itmOpenRun"))
                continue;
            QVERIFY2(action->shortcut().isEmpty(), qPrintable(action->objectName()));
            QVERIFY2(!action->text().contains(u'&'), qPrintable(action->objectName()));
        }

        // The "about" item shows its picture and its caption side by side.
        const QRect aboutItem = bar->actionGeometry(child<QAction>("itmAbout"));
        QVERIFY(aboutItem.width() > bar->fontMetrics().horizontalAdvance(u"О программе"_qs) + 16);
    }

    void popupMenuCopiesTheChart()
    {
        open();
        auto* popup = child<QMenu>("PopupMenu1");
        QCOMPARE(captions(popup->actions()), QStringList({ "Копировать" }));
        QCOMPARE(child<QLabel>("Image1")->contextMenuPolicy(), Qt::CustomContextMenu);

        QGuiApplication::clipboard()->clear();
        child<QAction>("itmCopy")->trigger();
        const QImage copied = QGuiApplication::clipboard()->image();
        QCOMPARE(copied.size(), QSize(600, 150));
        QCOMPARE(copied.convertToFormat(QImage::Format_RGB32), m_form->chartImage());
    }

    void startsWithTheEmptyChartInTheConfiguredColours()
    {
        QVERIFY(writeFile(m_ini,
            "[Options]\r\nPort=/nonexistent/tty\r\nBrushGraphColor=$0000FF\r\n"
            "AxisGraphColor=$FF0000\r\nMinY=-5\r\nXCaption=\r\nYCaption=\r\n"));
        open();
        const QImage chart = m_form->chartImage();
        QCOMPARE(chart.size(), QSize(600, 150));
        QCOMPARE(chart.pixelColor(200, 75), QColor(255, 0, 0)); // inside the frame
        QCOMPARE(chart.pixelColor(50, 75), QColor(0, 0, 255)); // the frame's left line
        QCOMPARE(chart.pixelColor(49, 60), QColor(0, 0, 255)); // a tick
        QCOMPARE(chart.pixelColor(175, 23), QColor(255, 0, 0)); // a gap in the grid
        // The picture on screen is the chart as drawn.
        QCOMPARE(child<QLabel>("Image1")->pixmap().toImage().convertToFormat(QImage::Format_RGB32),
            chart);
    }

    void timerStartsDisabledWithTheIntervalFromTheFile()
    {
        QVERIFY(
            writeFile(m_ini, "[Options]\r\nPort=/nonexistent/tty\r\nTimerWorkInterval=1234\r\n"));
        open();
        QVERIFY(!m_form->timer()->isEnabled());
        QCOMPARE(m_form->timer()->interval(), 1234u);
        QCOMPARE(m_form->sampleCounter(), 0);
    }

    void closingWritesTheSettings()
    {
        QFile::remove(m_ini);
        open();
        QVERIFY(m_form->close());
        const QByteArray written = readFile(m_ini);
        QVERIFY(written.startsWith("[Options]\r\nPort=COM1\r\nBaudRate=38400\r\n"));
        // The 22 keys of [Options], then the run log's section, the alarms' and the network's.
        QVERIFY(written.endsWith("GraphFontStyle=0\r\nShowSignalFlag=1\r\n[RunLog]\r\nEnabled=1\r\n"
                                 "Folder=\r\n[Alarms]\r\nEnabled=0\r\nHigh=\r\nLow=\r\nBand=0\r\n"
                                 "Margin=\r\nStale=\r\nDelay=\r\nHysteresis=\r\nSound=0\r\n"
                                 "[Mqtt]\r\nEnabled=0\r\nHost=\r\nPort=\r\nBench=\r\nPrefix=\r\n"
                                 "User=\r\nPasswordFile=\r\nCaFile=\r\nDiscovery=1\r\n"
                                 "RemoteLimits=0\r\n"));
        QCOMPARE(written.count("\r\n"), 47);
    }

    // The rules take [Alarms] from the file; a reading above High rings the bell, a click on it
    // acknowledges; the section goes back to the file with the settings last applied.
    void alarmsFromTheFileToTheBellAndBack()
    {
        QVERIFY(writeFile(
            m_ini, "[Options]\r\nPort=/nonexistent/tty\r\n[Alarms]\r\nEnabled=1\r\nHigh=30.5\r\n"));
        open();
        QCOMPARE(m_form->alarmSettings().High, std::optional<double>(30.5));
        QVERIFY(!m_form->alarmBandActive());
        auto* bell = m_form->findChild<QToolButton*>("btnAlarm");
        session::TickResult tick;
        tick.time = QDateTime::currentDateTimeUtc();
        tick.reading = 31.0;
        m_form->alarmRules().tickDone(tick);
        QCOMPARE(bell->toolTip(), QStringLiteral("Тревога: температура выше 30,5 °C (31,0 °C)"));
        bell->click();
        QCOMPARE(m_form->alarmRules().state(alarms::Rule::High), alarms::AlarmState::Acknowledged);
        QVERIFY(bell->toolTip().startsWith(QStringLiteral("Тревога подтверждена: ")));

        // "Дополнительно…" changes the sound and the run folder; both are written at close.
        QTimer::singleShot(0, m_form.get(), [] {
            QVERIFY(QTest::qWaitFor([] { return QApplication::activeModalWidget() != nullptr; }));
            QWidget* dialog = QApplication::activeModalWidget();
            dialog->findChild<QCheckBox*>("chkAlarmSound")->setChecked(true);
            dialog->findChild<QLineEdit*>("edtRunFolder")->setText(QStringLiteral("elsewhere"));
            dialog->findChild<QPushButton*>("btnMoreOk")->click();
        });
        child<QAction>("itmMore")->trigger();
        QVERIFY(m_form->alarmSettings().Sound);
        QVERIFY(m_form->close());
        QVERIFY(readFile(m_ini).contains("[RunLog]\r\nEnabled=1\r\nFolder=elsewhere\r\n"));
        QVERIFY(readFile(m_ini).contains("[Alarms]\r\nEnabled=1\r\nHigh=30.5\r\n"));
        QVERIFY(readFile(m_ini).contains("Hysteresis=\r\nSound=1\r\n"));
    }

    void exitBehavesLikeTheCloseButton()
    {
        QVERIFY(writeFile(
            m_ini, "; kept\r\n[Options]\r\nPort=/nonexistent/tty\r\nTimerWorkInterval=0\r\n"));
        open();
        child<QAction>("itmExit")->trigger();
        QVERIFY(!m_form->isVisible());
        const QByteArray written = readFile(m_ini);
        QVERIFY(written.startsWith("; kept\r\n[Options]\r\nPort=/nonexistent/tty\r\n"));
        QVERIFY(written.contains("\r\nTimerWorkInterval=0\r\n"));
    }

    void failedWriteKeepsTheWindowOpenAndSaysWhy()
    {
        open();
        const QByteArray before = readFile(m_ini);
        QVERIFY(QFile::setPermissions(m_ini, QFile::ReadOwner | QFile::ReadGroup));

        for (int attempt = 0; attempt < 2; ++attempt) {
            MessageBoxSeen seen;
            const auto answering = answerNextMessageBox(seen);
            QVERIFY(!m_form->close());
            QVERIFY(seen.shown);
            QCOMPARE(seen.icon, QMessageBox::Critical);
            QCOMPARE(seen.title, QStringLiteral("Velmora Thermo"));
            QCOMPARE(seen.text, QStringLiteral("Unable to write to %1.").arg(m_ini));
            QVERIFY(m_form->isVisible());
        }
        QCOMPARE(readFile(m_ini), before);

        // Once the file can be written again, the window closes.
        QVERIFY(QFile::setPermissions(m_ini, QFile::ReadOwner | QFile::WriteOwner));
        QVERIFY(m_form->close());
    }
};

int main(int argc, char* argv[])
{
    app::Application application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    TstUnit1 test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_unit1.moc"
