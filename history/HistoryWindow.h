#pragma once

#include "history/AlarmSpans.h"
#include "history/LimitsSteps.h"
#include "history/RunColumns.h"

#include <QFutureWatcher>
#include <QMainWindow>
#include <QPointer>

#include <memory>
#include <vector>

class QLabel;

namespace history {

class HistoryPlot;
class LiveRun;

/** A run file read on a thread of its own, with the limits in force from its folder. */
struct LoadedRun {
    std::shared_ptr<RunColumns> run; ///< null when the file could not be read
    QString why; ///< the reader's message then
    qsizetype skippedLines = 0;
    qsizetype firstSkippedLine = 0;
    std::vector<LimitsStep> limits;
    std::vector<AlarmSpan> alarms; ///< from alarms.csv in its folder
};

/**
 * The history of one run: a window of its own (several may be open, none modal) with the whole
 * run in a plot, its limits, markers, a second run to compare, and export of the picture and of
 * the visible rows. Opened on a run file, read in the background, or on the live run of the
 * polling session, which it follows as it grows; it stays on the run it opened.
 */
class HistoryWindow : public QMainWindow {
    Q_OBJECT

public:
    /** Opens a window on the run file @p path and starts reading it; a file that cannot be read
     *  is said in a message box and the window closes. */
    static HistoryWindow* openFile(const QString& path, QWidget* parent);
    /** Opens a window on @p live's current or last run (or the next one, while there is none). */
    static HistoryWindow* openLive(LiveRun& live, QWidget* parent);

    HistoryPlot* plot() const { return m_plot; }
    /** The run file shown; empty for a live run without a file. */
    QString filePath() const { return m_path; }
    /** True while a run file is being read. */
    bool isLoading() const { return m_loading.isRunning(); }

    /** The picture, the clipboard and the rows, as the menu's commands do them after their
     *  dialogs; false with a message box on failure. */
    bool savePng(const QString& path, const QSize& size);
    bool saveSvg(const QString& path);
    void copyPicture();
    bool saveVisibleRows(const QString& path);

signals:
    /** A run file was read and is shown (or the comparison's); for tests and scripts. */
    void runLoaded();

private:
    explicit HistoryWindow(QWidget* parent);
    void buildMenus();
    void load(const QString& path);
    void loadFinished();
    void followLive(LiveRun& live);
    void adoptLiveRun();
    void readFileLimits();
    void liveGrew();
    void liveLimitsChanged();
    void liveAlarmsChanged();
    void setTitle();
    void compareWith();
    void compareFinished();
    void removeCompare();
    void askPng();
    void askSvg();
    void askRows();
    QString askSavePath(
        const QString& title, const QString& filter, const QString& suffix, const QString& name);
    void fail(const QString& why, bool closing = false);

    HistoryPlot* m_plot;
    QLabel* m_measure;
    QLabel* m_skipped;
    QString m_path;
    std::shared_ptr<const RunColumns> m_run;
    QFutureWatcher<LoadedRun> m_loading;
    QFutureWatcher<LoadedRun> m_comparing;
    QPointer<LiveRun> m_live;
    std::vector<LimitsStep> m_fileLimits; ///< read from the live run's folder
    QFutureWatcher<std::vector<LimitsStep>> m_liveLimits;
    QAction* m_uncompare = nullptr;
};

} // namespace history
