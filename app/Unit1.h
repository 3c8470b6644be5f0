#pragma once

#include "app/Settings.h"
#include "chart/ChartRenderer.h"

#include <QImage>
#include <QMainWindow>
#include <QString>

#include <array>
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

    /** Builds the window and loads the settings from @p settingsFile. */
    explicit TForm1(const QString& settingsFile, QWidget* parent = nullptr);
    ~TForm1() override;

    /** The dialogs are created after the main window; it reaches them through these. */
    /** The window opens centred on the screen. */
    void setVisible(bool visible) override;

    void attachDialogs(TDlgAbout* about, TdlgParam* param, TdlgRegParam* regParam);

    const app::Settings& settings() const { return m_settings; }
    const QString& settingsFile() const { return m_settingsFile; }
    const QImage& chartImage() const { return m_chart.image(); }
    std::int32_t sampleCounter() const { return m_sampleCounter; }
    platform::MessageTimer* timer() const { return tmr1; }

    /** Readings per sweep that the sample buffer can hold. */
    static constexpr std::size_t kSampleCapacity = 10000;

    /** Draws the empty chart with the current settings. */
    void InitPictures();
    /** Draws for the newest reading, the sample counter's, from the sample buffer. */
    void SetDinamicGraphic();

    void LoadClick();
    void StartClick();
    void StopClick();
    void GetTemperClick();
    void ParamClick();
    void AboutClick();
    void itmCopyClick();
    void ExitClick();

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
    chart::ChartSettings chartSettings() const;
    chart::ChartScale chartScale() const;

    QString m_settingsFile;
    app::Settings m_settings;
    chart::ChartRenderer m_chart;
    std::int32_t m_sampleCounter = 0;
    std::array<double, kSampleCapacity> m_samples {};

    QMenuBar* mm1 = nullptr;
    QFrame* CoolBar1 = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    QLabel* Image1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    platform::MessageTimer* tmr1 = nullptr;

    TDlgAbout* DlgAbout = nullptr;
    TdlgParam* dlgParam = nullptr;
    TdlgRegParam* dlgRegParam = nullptr;
};
