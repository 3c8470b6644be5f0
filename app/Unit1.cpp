#include "app/Unit1.h"

#include "alarms/AlarmRecord.h"
#include "alarms/ui/AlarmBell.h"
#include "alarms/ui/AlarmSound.h"
#include "alarms/ui/DesktopNotifier.h"
#include "app/About.h"
#include "app/ErrorBox.h"
#include "app/MainWindowStyle.h"
#include "chart/ChartRenderer.h"
#include "dialogs/Unit2.h"
#include "history/HistoryWindow.h"
#include "instrument/LimitsUpload.h"
#include "instrument/Unit3.h"
#include "platform/Clock.h"
#include "platform/Fonts.h"
#include "platform/HandlerBoundary.h"
#include "platform/MessageTimer.h"
#include "platform/Profile.h"
#include "platform/WindowPlacement.h"
#include "preferences/PreferencesDialog.h"
#include "resources/Pictures.h"
#include "runlog/LimitsRecord.h"
#include "telemetry/LimitsCommand.h"
#include "telemetry/Topics.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

#include <optional>
#include <stdexcept>

namespace {

constexpr Qt::WindowFlags kWindowFlags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
    | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

// Tool-bar geometry: buttons 23 x 22 in a 592 x 25 bar, 9 pixels into the 29-pixel cool bar.
constexpr int kCoolBarHeight = 29;
constexpr QRect kToolBarRect(9, 2, 592, 25);
constexpr QSize kToolButtonSize(23, 22);
constexpr QRect kGroupBoxRect(0, kCoolBarHeight, TForm1::kClientWidth, 175);
constexpr QRect kImageRect(4, 17, chart::kChartWidth, chart::kChartHeight);

int screenDotsPerInch()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? qRound(screen->logicalDotsPerInchY()) : 96;
}

} // namespace

TForm1::TForm1(const QString& settingsFile, QWidget* parent)
    : TForm1(app::SettingsLocation::fixed(QFileInfo(settingsFile).absoluteFilePath()), parent)
{
}

TForm1::TForm1(const app::SettingsLocation& settings, QWidget* parent)
    : QMainWindow(parent, kWindowFlags)
    , m_location(settings)
    , m_settings(screenDotsPerInch())
    , m_liveRun([this] { return m_session.record().filePath(); })
    , m_publishing([this] { return m_session.record().filePath(); })
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromLatin1(app::kApplicationTitle));
    setWindowIcon(resources::programIcon());
    setFont(platform::windowFont(11));

    connect(&m_session.record(), &runlog::RunWriter::failed, this,
        [this](const runlog::LogFailure& failure) { reportLogFailure(failure); });
    connect(&m_session.record(), &runlog::RunWriter::notAnswering, this,
        [this](const QString& path) { reportLogStall(path); });
    m_session.addListener(&m_liveRun);
    m_session.addListener(&m_alarmRules);
    m_session.addListener(&m_publishing);
    connect(&m_publishing, &app::BenchPublishing::problem, this,
        [this](const QString& text) { showNetworkProblem(text); });
    connect(&m_publishing, &app::BenchPublishing::limitsRequested, this,
        [this](instrument::RegulatorLimits limits) {
            platform::guarded([&] { remoteLimits(limits); });
        });

    tmr1 = new platform::MessageTimer(this);
    tmr1->setObjectName(QStringLiteral("tmr1"));
    connect(tmr1, &platform::MessageTimer::timeout, this,
        [this] { platform::guarded([this] { GetTemperClick(); }); });

    buildLayout();
    buildMenu();
    buildToolBar();
    buildAlarms();

    FormCreate();
}

TForm1::~TForm1()
{
    // The session's end, told while it is destroyed, would reach a record half taken down.
    disconnect(&m_alarmRules, nullptr, this, nullptr);
}

void TForm1::setSettings(const app::Settings& settings)
{
    m_settings = settings;
    tmr1->setInterval(m_settings.TimerWorkInterval);
}

void TForm1::attachDialogs(TDlgAbout* about, TdlgParam* param, TdlgRegParam* regParam)
{
    DlgAbout = about;
    dlgParam = param;
    dlgRegParam = regParam;
}

QAction* TForm1::addCommand(const QString& name, const QString& caption, void (TForm1::*handler)())
{
    auto* action = new QAction(caption, this);
    action->setObjectName(name);
    connect(action, &QAction::triggered, this,
        [this, handler] { platform::guarded([this, handler] { (this->*handler)(); }); });
    return action;
}

void TForm1::buildLayout()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    client->setFixedSize(kClientWidth, kClientHeight);
    client->setBackgroundRole(QPalette::Button);
    client->setAutoFillBackground(true);
    setCentralWidget(client);
    // The window takes exactly the client area and the menu bar; it cannot be resized.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    CoolBar1 = new QFrame(client);
    CoolBar1->setObjectName(QStringLiteral("CoolBar1"));
    CoolBar1->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    CoolBar1->setGeometry(0, 0, kClientWidth, kCoolBarHeight);

    GroupBox3 = new QGroupBox(client);
    GroupBox3->setObjectName(QStringLiteral("GroupBox3"));
    GroupBox3->setGeometry(kGroupBoxRect);

    Image1 = new QLabel(GroupBox3);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(kImageRect);
    Image1->setContextMenuPolicy(Qt::CustomContextMenu);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->addAction(
        addCommand(QStringLiteral("itmCopy"), QStringLiteral("Копировать"), &TForm1::itmCopyClick));
    connect(Image1, &QWidget::customContextMenuRequested, this,
        [this](const QPoint& pos) { PopupMenu1->popup(Image1->mapToGlobal(pos)); });
}

void TForm1::buildMenu()
{
    using resources::ToolPicture;
    auto* style = new app::MainWindowStyle();
    style->setParent(this);

    mm1 = menuBar();
    mm1->setObjectName(QStringLiteral("mm1"));
    mm1->setStyle(style);

    QMenu* itmFile = mm1->addMenu(QStringLiteral("Файл"));
    itmFile->menuAction()->setObjectName(QStringLiteral("itmFile"));
    itmFile->addAction(
        addCommand(QStringLiteral("itmExit"), QStringLiteral("Выход"), &TForm1::ExitClick));

    QMenu* itmPribor = mm1->addMenu(QStringLiteral("Прибор"));
    itmPribor->menuAction()->setObjectName(QStringLiteral("itmPribor"));
    const auto withPicture = [](QAction* action, ToolPicture picture) {
        action->setIcon(QIcon(resources::menuPicture(picture)));
        return action;
    };
    itmPribor->addAction(
        withPicture(addCommand(QStringLiteral("N1"),
                        QStringLiteral("Установить параметры регулятора"), &TForm1::LoadClick),
            ToolPicture::SetLimits));
    itmPribor->addAction(
        withPicture(addCommand(QStringLiteral("itmStart"),
                        QStringLiteral("Старт опроса температуры"), &TForm1::StartClick),
            ToolPicture::Start));
    itmPribor->addAction(
        withPicture(addCommand(QStringLiteral("itmStop"),
                        QStringLiteral("Остановка опроса температуры"), &TForm1::StopClick),
            ToolPicture::Stop));

    QMenu* itmService = mm1->addMenu(QStringLiteral("Сервис"));
    itmService->menuAction()->setObjectName(QStringLiteral("itmService"));
    itmService->addAction(
        addCommand(QStringLiteral("itmParam"), QStringLiteral("Параметры"), &TForm1::ParamClick));
    itmService->addAction(addCommand(
        QStringLiteral("itmMore"), QStringLiteral("Дополнительно…"), &TForm1::MoreClick));

    // The run log's menu goes between the design's menus and "О программе".
    QMenu* itmRunLog = mm1->addMenu(QStringLiteral("Журнал"));
    itmRunLog->menuAction()->setObjectName(QStringLiteral("itmRunLog"));
    itmCurrentRun = addCommand(
        QStringLiteral("itmCurrentRun"), QStringLiteral("Текущий опрос"), &TForm1::CurrentRunClick);
    itmCurrentRun->setEnabled(false);
    connect(&m_liveRun, &history::LiveRun::began, itmCurrentRun,
        [this] { itmCurrentRun->setEnabled(true); });
    itmRunLog->addAction(itmCurrentRun);
    QAction* openRun = addCommand(
        QStringLiteral("itmOpenRun"), QStringLiteral("Открыть опрос…"), &TForm1::OpenRunClick);
    openRun->setShortcut(QKeySequence::Open);
    itmRunLog->addAction(openRun);
    itmRunLog->addAction(addCommand(
        QStringLiteral("itmRunFolder"), QStringLiteral("Папка опросов"), &TForm1::RunFolderClick));

    mm1->addAction(withPicture(
        addCommand(QStringLiteral("itmAbout"), QStringLiteral("О программе"), &TForm1::AboutClick),
        ToolPicture::About));
}

void TForm1::buildToolBar()
{
    using resources::ToolPicture;
    ToolBar1 = new QToolBar(CoolBar1);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setStyle(findChild<app::MainWindowStyle*>());
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar1->setGeometry(kToolBarRect);

    const auto addButton = [this](const char* name, ToolPicture picture, const QString& hint,
                               void (TForm1::*handler)()) {
        QAction* action = addCommand(QString::fromLatin1(name), hint, handler);
        action->setIcon(QIcon(resources::toolPicture(picture)));
        action->setToolTip(hint);
        ToolBar1->addAction(action);
        QWidget* button = ToolBar1->widgetForAction(action);
        button->setObjectName(QString::fromLatin1(name));
        button->setFixedSize(kToolButtonSize);
    };
    const auto addSeparator = [this](const char* name) {
        QAction* separator = ToolBar1->addSeparator();
        separator->setObjectName(QString::fromLatin1(name));
        // The separator is a widget of its own and takes its width from its own style.
        ToolBar1->widgetForAction(separator)->setStyle(ToolBar1->style());
    };

    addButton("btnLoad", ToolPicture::SetLimits, QStringLiteral("Установить параметры регулятора"),
        &TForm1::LoadClick);
    addButton("btnStart", ToolPicture::Start, QStringLiteral("Старт опроса температуры"),
        &TForm1::StartClick);
    addButton("btnStop", ToolPicture::Stop, QStringLiteral("Остановка опроса температуры"),
        &TForm1::StopClick);
    addSeparator("btnSep1");
    addButton(
        "btnParam", ToolPicture::Parameters, QStringLiteral("Параметры"), &TForm1::ParamClick);
    addSeparator("btnSep2");
    addButton("btnAbout", ToolPicture::About, QStringLiteral("О программе"), &TForm1::AboutClick);

    // The alarm's bell keeps to the right end, past the design's buttons, which keep their places.
    auto* spacer = new QWidget(ToolBar1);
    spacer->setObjectName(QStringLiteral("AlarmSpacer"));
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    ToolBar1->addWidget(spacer);
    addSeparator("btnSep3");
    btnAlarm = new alarms::AlarmBell(ToolBar1);
    btnAlarm->setStyle(ToolBar1->style());
    btnAlarm->setFixedSize(kToolButtonSize);
    btnAlarm->setIconSize(QSize(16, 16));
    ToolBar1->addWidget(btnAlarm);
}

void TForm1::buildAlarms()
{
    m_notifier = new alarms::DesktopNotifier(this);
    m_alarmSound = new alarms::AlarmSound({}, this);
    connect(&m_alarmRules, &alarms::AlarmRules::transition, this,
        [this](const alarms::AlarmEvent& event) { alarmTransition(event); });
    connect(btnAlarm, &QToolButton::clicked, this,
        [this] { platform::guarded([this] { m_alarmRules.acknowledgeAll(); }); });
}

void TForm1::applyAlarmSettings(const alarms::AlarmSettings& settings)
{
    m_alarmSettings = settings;
    m_alarmRules.setSettings(settings);
    btnAlarm->setStaleSeconds(settings.Stale);
    m_notifier->setStaleSeconds(settings.Stale);
    m_alarmSound->setEnabled(settings.Sound);
}

void TForm1::alarmTransition(const alarms::AlarmEvent& event)
{
    btnAlarm->show(event);
    m_liveRun.alarmTransition(event);
    m_publishing.alarmTransition(event);
    m_notifier->show(event);
    m_alarmSound->show(event);
    if (!m_runLogSettings.Enabled)
        return;
    // The row names the run's file as the record knows it; before the record has made it, the
    // row still goes to the folder the run is written to (found at Start: nothing of the disk is
    // touched here, in the tick).
    const QString file = m_session.record().filePath();
    const QString folder = file.isEmpty() ? m_recordFolder : QFileInfo(file).absolutePath();
    if (!folder.isEmpty())
        alarms::recordAlarm(m_session.record(), folder, file, event);
}

void TForm1::takeLastSentLimits()
{
    // The band rule starts from the limits last sent as limits.csv knows them; it then follows
    // the uploads it is told of. A folder without that record leaves what the rules know.
    if (const auto limits = runlog::lastSentLimits(app::runFolder(m_location, m_runLogSettings))) {
        m_alarmRules.setLimits(limits);
        m_publishing.setLimits(*limits);
    }
}

void TForm1::setVisible(bool visible)
{
    if (visible && !isVisible())
        platform::centreOnScreen(this);
    QMainWindow::setVisible(visible);
}

void TForm1::showChart()
{
    Image1->setPixmap(QPixmap::fromImage(m_chart.image()));
}

void TForm1::FormCreate()
{
    const platform::Profile profile = m_location.profile();
    m_settings = app::loadSettings(profile, screenDotsPerInch());
    m_runLogSettings = app::loadRunLogSettings(profile);
    applyAlarmSettings(alarms::loadAlarmSettings(profile));
    // With publishing off (the default) no connection is made at all.
    m_publishing.apply(telemetry::loadMqttSettings(profile), m_settings.Port);
    // The poll interval lives in the timer itself, which stays disabled until Start.
    tmr1->setInterval(m_settings.TimerWorkInterval);
    InitPictures();
    m_session.poll().restart();
}

void TForm1::FormClose()
{
    m_settings.TimerWorkInterval = tmr1->interval();
    platform::Profile profile = m_location.profile();
    // The user's own copy may be the first file in a folder not made yet; a folder that cannot
    // be made fails the save below, which names the file.
    if (m_location.isPerUser())
        app::makePrivateFolder(QFileInfo(m_location.writeFile).absolutePath());
    if (!app::saveSettings(profile, m_settings, m_runLogSettings,
            { { QString::fromLatin1(alarms::kAlarmsSection),
                  alarms::alarmEntries(m_alarmSettings) },
                { QString::fromLatin1(telemetry::kMqttSection),
                    telemetry::mqttEntries(m_publishing.settings()) } })) {
        const QString message = QStringLiteral("Unable to write to %1")
                                    .arg(QDir::toNativeSeparators(m_location.writeFile));
        throw std::runtime_error(message.toStdString());
    }
}

chart::ChartSettings TForm1::chartSettings() const
{
    chart::ChartSettings chart;
    chart.BrushGraphColor = m_settings.BrushGraphColor;
    chart.PenGraphColor = m_settings.PenGraphColor;
    chart.AxisGraphColor = m_settings.AxisGraphColor;
    chart.graphFontName = m_settings.GraphFont.name();
    chart.graphFontSize = m_settings.GraphFont.size();
    chart.dotsPerInch = m_settings.GraphFont.dotsPerInch();
    chart.NPoints = m_settings.NPoints;
    chart.ShowSignalFlag = m_settings.ShowSignalFlag;
    const QString separator = QLocale::system().decimalPoint();
    chart.decimalSeparator = separator.isEmpty() ? QStringLiteral(".") : separator;
    return chart;
}

chart::ChartScale TForm1::chartScale() const
{
    return { static_cast<double>(m_settings.MinY), static_cast<double>(m_settings.MaxY),
        m_settings.YCaption, m_settings.XCaption };
}

void TForm1::InitPictures()
{
    m_chart.InitPictures(chartSettings(), chartScale());
    showChart();
}

void TForm1::SetDinamicGraphic()
{
    const instrument::PollCycle& poll = m_session.poll();
    m_chart.SetDinamicGraphic(chartSettings(), poll.samples(), poll.counter(), chartScale());
    showChart();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    // The window closes only once the settings are safely written; otherwise the user has seen
    // the error and may try again.
    if (platform::guarded([this] { FormClose(); })) {
        m_session.stop();
        event->accept();
    } else
        event->ignore();
}

void TForm1::LoadClick()
{
    // Polling holds the port: the limits go out only while it is stopped.
    if (tmr1->isEnabled()) {
        app::showPlainMessage(QStringLiteral("Отключите опрос температуры!"));
        return;
    }
    if (!dlgRegParam || dlgRegParam->exec() != QDialog::Accepted)
        return;
    // The instrument takes each limit as 16 bits. The new limits are kept even when the port
    // then fails to open, and are saved with the other settings at close.
    m_settings.A = static_cast<std::uint16_t>(dlgRegParam->lowerTenths());
    m_settings.B = static_cast<std::uint16_t>(dlgRegParam->upperTenths());
    const instrument::RegulatorLimits limits { m_settings.A, m_settings.B };
    const QString recordFolder = m_runLogSettings.Enabled ? runFolder() : QString();
    if (!InitConect()) {
        m_session.recordLimits(recordFolder, limits, runlog::LimitsOutcome::PortNotOpened,
            runlog::LimitsSource::Window);
        return;
    }
    const runlog::LimitsOutcome outcome
        = m_session.uploadLimits(limits, recordFolder, runlog::LimitsSource::Window);
    // The upload has released the port already; the window's own close then finds it closed.
    DoneConect();
    // The regulator may hold other limits than the user now believes: say so.
    if (outcome != runlog::LimitsOutcome::Sent)
        app::showPlainMessage(QStringLiteral("Не удалось передать параметры регулятора!"));
}

namespace {

void showPortNotOpened()
{
    app::showPlainMessage(QStringLiteral("Не удалось открыть порт!"));
}

} // namespace

bool TForm1::InitConect()
{
    if (m_session.openPort(m_settings.Port, m_settings.BaudRate) != platform::SerialError::None) {
        showPortNotOpened();
        return false;
    }
    return true;
}

void TForm1::DoneConect()
{
    m_session.closePort();
}

void TForm1::StartClick()
{
    // Polling holds the port through the session's poll link, which opens it as InitConect
    // does; a port that does not open is said the same way. The sweep starts again unless a run
    // going on keeps going (a second Start on the port it holds).
    std::optional<runlog::RunTarget> record;
    if (m_runLogSettings.Enabled)
        record = runlog::RunTarget { runlog::RunTarget::Kind::Folder, runFolder(), -1 };
    takeLastSentLimits();
    if (m_session.start(m_settings.Port, m_settings.BaudRate, record)
        != platform::SerialError::None) {
        showPortNotOpened();
        return;
    }
    m_recordFolder = record ? record->place : QString();
    // The bench is named after its port unless the settings name it.
    m_publishing.apply(m_publishing.settings(), m_settings.Port);
    tmr1->setEnabled(true);
}

void TForm1::StopClick()
{
    m_session.stop();
    tmr1->setEnabled(false);
}

void TForm1::GetTemperClick()
{
    // The reading is drawn, then recorded: a row is kept even when drawing fails, as the
    // reading was taken. A tick that stored nothing draws nothing, but is a row all the same.
    m_session.tick(m_settings.NPoints, [this](const session::TickResult&) { SetDinamicGraphic(); });
}

void TForm1::CurrentRunClick()
{
    if (m_liveRun.columns())
        history::HistoryWindow::openLive(m_liveRun, this);
}

void TForm1::OpenRunClick()
{
    const QString path
        = QFileDialog::getOpenFileName(this, QStringLiteral("Открыть опрос"), runFolder(),
            QStringLiteral("Файлы опроса (*.csv)"), nullptr, QFileDialog::DontUseNativeDialog);
    if (!path.isEmpty())
        history::HistoryWindow::openFile(path, this);
}

void TForm1::RunFolderClick()
{
    const QString folder = runFolder();
    // The folder is made with the first run; before it there is nothing to show.
    if (!QFileInfo(folder).isDir() || !QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
        app::showErrorBox(QStringLiteral("Не удалось открыть папку опросов %1")
                              .arg(QDir::toNativeSeparators(folder)));
}

QString TForm1::runFolder() const
{
    return app::prepareRunFolder(m_location, m_runLogSettings);
}

void TForm1::reportLogFailure(const runlog::LogFailure& failure)
{
    const QString message = QStringLiteral("Не удалось записать журнал опроса в %1: %2")
                                .arg(QDir::toNativeSeparators(failure.path), failure.reason);
    // Shown from the event loop: polling goes on while the box is open, and the next tick is
    // not held up by it.
    QTimer::singleShot(0, this, [message] { app::showErrorBox(message); });
}

void TForm1::reportLogStall(const QString& path)
{
    const QString message
        = QStringLiteral("Не удаётся записать журнал опроса в %1: диск не отвечает. Опрос "
                         "продолжается, строки будут записаны, когда диск ответит")
              .arg(QDir::toNativeSeparators(path));
    QTimer::singleShot(0, this, [message] { app::showErrorBox(message); });
}

void TForm1::remoteLimits(instrument::RegulatorLimits limits)
{
    // Polling holds the port: the limits go out on it between two ticks. Stopped, the port is
    // opened for the upload as the limits dialog does, but a failure is answered to the sender
    // rather than shown in a box nobody at the bench asked for.
    const QString recordFolder = m_runLogSettings.Enabled ? runFolder() : QString();
    constexpr auto source = runlog::LimitsSource::Mqtt;
    std::optional<runlog::LimitsOutcome> outcome
        = m_session.sendLimitsBetweenTicks(limits, recordFolder, source);
    if (!outcome
        && m_session.openPort(m_settings.Port, m_settings.BaudRate) == platform::SerialError::None)
        outcome = m_session.uploadLimits(limits, recordFolder, source);
    if (!outcome) {
        outcome = runlog::LimitsOutcome::PortNotOpened;
        m_session.recordLimits(recordFolder, limits, *outcome, source);
    }
    const bool sent = *outcome == runlog::LimitsOutcome::Sent;
    if (sent) {
        // The limits dialog shows what the regulator now holds.
        m_settings.A = limits.lower;
        m_settings.B = limits.upper;
    }
    m_publishing.limitsResult(sent, telemetry::limitsRefusal(outcome));
}

void TForm1::showNetworkProblem(const QString& text)
{
    // One box at a time: a broker that comes and goes must not stack boxes up while the user is
    // away from the bench. Publishing goes on trying whatever the box.
    if (m_networkBoxOpen)
        return;
    m_networkBoxOpen = true;
    const QString message = QStringLiteral("Публикация показаний: %1").arg(text);
    QTimer::singleShot(0, this, [this, message] {
        app::showErrorBox(message);
        m_networkBoxOpen = false;
    });
}

void TForm1::ParamClick()
{
    if (!dlgParam)
        return;
    std::uint32_t interval = tmr1->interval();
    dlgParam->fill(m_settings, interval);
    // However the dialog was closed, what it shows is taken: Cancel applies as OK does.
    dlgParam->exec();

    // A value that is no integer stops the reading there; what was read before it still
    // applies, but the chart keeps its old picture.
    const auto applyInterval = [this, &interval] {
        m_settings.TimerWorkInterval = interval;
        // Setting the interval restarts the period, so a running poll keeps its rhythm unless
        // the interval really changed.
        if (interval != tmr1->interval())
            tmr1->setInterval(interval);
    };
    try {
        dlgParam->readBack(m_settings, interval);
    } catch (...) {
        applyInterval();
        throw;
    }
    applyInterval();
    InitPictures();
}

void TForm1::MoreClick()
{
    preferences::PreferencesDialog dialog(this);
    // Whether the band has limits to follow is read from limits.csv when it is asked, not at
    // start-up; Start reads it again.
    takeLastSentLimits();
    app::RunLogSettings byDefault = m_runLogSettings;
    byDefault.Folder.clear();
    dialog.fill(m_runLogSettings, app::runFolder(m_location, byDefault), m_alarmSettings,
        alarmBandActive());
    dialog.fillNetwork(m_publishing.settings(), telemetry::localBenchName(m_settings.Port));
    if (dialog.exec() != QDialog::Accepted)
        return;
    // Like the rest of the settings, these are written when the window closes; a run going on
    // keeps its file, the next Start takes the new folder.
    m_runLogSettings = dialog.runLogSettings();
    applyAlarmSettings(dialog.alarmSettings());
    takeLastSentLimits();
    m_publishing.apply(dialog.mqttSettings(), m_settings.Port);
}

void TForm1::AboutClick()
{
    if (DlgAbout)
        DlgAbout->exec();
}

void TForm1::itmCopyClick()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setImage(m_chart.image());
    const QMimeData* content = clipboard->mimeData();
    if (!content || !content->hasImage())
        throw std::runtime_error("Cannot open clipboard");
}

void TForm1::ExitClick()
{
    close();
}
