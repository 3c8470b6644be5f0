#pragma once

#include "alarms/AlarmRules.h"
#include "alarms/AlarmSettings.h"
#include "app/BenchPublishing.h"
#include "app/RunLogSettings.h"
#include "app/Settings.h"
#include "app/SettingsLocation.h"
#include "chart/ChartRenderer.h"
#include "history/LiveRun.h"
#include "instrument/PollCycle.h"
#include "instrument/PollLink.h"
#include "platform/SerialPort.h"
#include "runlog/LogFailure.h"
#include "runlog/RunWriter.h"
#include "session/PollSession.h"

#include <QDateTime>
#include <QImage>
#include <QMainWindow>
#include <QString>

#include <cstdint>

class QAction;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QMenuBar;
class QToolBar;
class TDlgAbout;
class TdlgParam;
class TdlgRegParam;

namespace alarms {
class AlarmBell;
class AlarmSound;
class DesktopNotifier;
} // namespace alarms

namespace platform {
class MessageTimer;
}

/**
 * The main window: menu, tool bar, the chart picture with its pop-up menu, and the poll timer.
 * It holds the settings from the moment it is created until it closes, when it writes them back.
 */
class TForm1 : public QMainWindow {
    Q_OBJECT

public:
    /** The client area, below the menu bar, in pixels at 96 dots per inch. */
    static constexpr int kClientWidth = 609;
    static constexpr int kClientHeight = 204;

    /** Builds the window and loads the settings from @p settingsFile, which it also writes. */
    explicit TForm1(const QString& settingsFile, QWidget* parent = nullptr);
    /** Builds the window and loads the settings from where @p settings says. */
    explicit TForm1(const app::SettingsLocation& settings, QWidget* parent = nullptr);
    ~TForm1() override;

    /** The dialogs are created after the main window; it reaches them through these. */
    /** The window opens centred on the screen. */
    void setVisible(bool visible) override;

    void attachDialogs(TDlgAbout* about, TdlgParam* param, TdlgRegParam* regParam);

    const app::Settings& settings() const { return m_settings; }
    /** Takes changed settings, as the parameters dialog hands them back; the timer's interval
     * follows. Nothing is redrawn or reopened: that is the caller's choice. */
    void setSettings(const app::Settings& settings);
    /** The settings file the window writes when it closes. */
    const QString& settingsFile() const { return m_location.writeFile; }
    const app::SettingsLocation& settingsLocation() const { return m_location; }
    const QImage& chartImage() const { return m_chart.image(); }
    std::int32_t sampleCounter() const { return m_session.poll().counter(); }
    const instrument::PollCycle& pollCycle() const { return m_session.poll(); }
    const platform::SerialPort& port() const { return m_session.port(); }
    /** The port polling runs on, kept across a lost line. */
    const instrument::PollLink& pollLink() const { return m_session.link(); }
    platform::MessageTimer* timer() const { return tmr1; }
    const app::RunLogSettings& runLogSettings() const { return m_runLogSettings; }
    /** The record of the poll run under way, or of the last one. */
    const runlog::RunWriter& runLog() const { return m_session.record(); }
    /** Polling with its run record and the listeners of its ticks. */
    session::PollSession& pollSession() { return m_session; }
    /** The run under way, or the last one of this start, as the history shows it. */
    const history::LiveRun& liveRun() const { return m_liveRun; }

    /** Takes new alarm settings: the rules, the bell, the notifications and the sound follow at
     * once, and they are written with the other settings at close. */
    void applyAlarmSettings(const alarms::AlarmSettings& settings);
    const alarms::AlarmSettings& alarmSettings() const { return m_alarmSettings; }
    /** Whether the band rule knows the regulator's limits to work with. */
    bool alarmBandActive() const { return m_alarmRules.bandActive(); }
    alarms::AlarmRules& alarmRules() { return m_alarmRules; }
    /** The bench on the MQTT broker. */
    const app::BenchPublishing& publishing() const { return m_publishing; }

    /** Draws the empty chart with the current settings. */
    void InitPictures();
    /** Draws for the newest reading, the sample counter's, from the sample buffer. */
    void SetDinamicGraphic();

    void LoadClick();
    void StartClick();
    void StopClick();
    void GetTemperClick();
    void ParamClick();
    /** The run log's and the alarms' settings, a page each. */
    void MoreClick();
    void AboutClick();
    void itmCopyClick();
    void ExitClick();
    /** The history of the run under way, or of the last one. */
    void CurrentRunClick();
    /** The history of a run file the user picks. */
    void OpenRunClick();
    /** The run folder in the desktop's file manager. */
    void RunFolderClick();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildLayout();
    void buildMenu();
    void buildToolBar();
    QAction* addCommand(const QString& name, const QString& caption, void (TForm1::*handler)());
    void showChart();

    void FormCreate();
    void FormClose();
    bool InitConect();
    void DoneConect();
    chart::ChartSettings chartSettings() const;
    QString runFolder() const;
    void reportLogFailure(const runlog::LogFailure& failure);
    void reportLogStall(const QString& path);
    void buildAlarms();
    void alarmTransition(const alarms::AlarmEvent& event);
    void takeLastSentLimits();
    void showNetworkProblem(const QString& text);
    /** Sends limits a remote command asked for, and answers it. */
    void remoteLimits(instrument::RegulatorLimits limits);
    chart::ChartScale chartScale() const;

    app::SettingsLocation m_location;
    app::Settings m_settings;
    chart::ChartRenderer m_chart;
    // The sample buffer and the one port the program holds open (while polling runs, or for
    // the length of an upload), with every tick of a run kept in a file beside the chart,
    // which keeps only the current sweep.
    // The run as the history shows it: a listener of the session, so it outlives the session,
    // whose end (in its destructor) it is told of.
    history::LiveRun m_liveRun;
    // The alarm rules are a listener as well, and outlive the session for the same reason.
    alarms::AlarmRules m_alarmRules;
    // The bench on the MQTT broker, while publishing is on; a listener too.
    app::BenchPublishing m_publishing;
    session::PollSession m_session;
    app::RunLogSettings m_runLogSettings;
    alarms::AlarmSettings m_alarmSettings;
    /** The folder of the run going on, or of the last one: where its alarms are recorded. */
    QString m_recordFolder;
    /** A network problem's box is open: the next one waits until it is closed, or is dropped. */
    bool m_networkBoxOpen = false;

    QMenuBar* mm1 = nullptr;
    QFrame* CoolBar1 = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    QLabel* Image1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* itmCurrentRun = nullptr;
    alarms::AlarmBell* btnAlarm = nullptr;
    alarms::DesktopNotifier* m_notifier = nullptr;
    alarms::AlarmSound* m_alarmSound = nullptr;
    platform::MessageTimer* tmr1 = nullptr;

    TDlgAbout* DlgAbout = nullptr;
    TdlgParam* dlgParam = nullptr;
    TdlgRegParam* dlgRegParam = nullptr;
};
