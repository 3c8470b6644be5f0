#include "history/HistoryWindow.h"

#include "history/ExportSizeDialog.h"
#include "history/HistoryPlot.h"
#include "history/LiveRun.h"
#include "history/Measurement.h"
#include "history/RowsExport.h"
#include "history/RunFileColumns.h"

#include <QActionGroup>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QSaveFile>
#include <QStatusBar>
#include <QSvgGenerator>
#include <QVBoxLayout>
#include <QtConcurrent>

namespace history {

namespace {

const QString kTitleTail = QStringLiteral(" — История опроса");

// Reads a run file and the limits in force from its folder; runs on a pool thread.
LoadedRun readRun(const QString& path)
{
    LoadedRun loaded;
    std::optional<RunRead> read = readRunColumns(path, &loaded.why);
    if (!read)
        return loaded;
    loaded.skippedLines = read->skippedLines;
    loaded.firstSkippedLine = read->firstSkippedLine;
    loaded.run = std::make_shared<RunColumns>(std::move(read->columns));
    const RunColumns& run = *loaded.run;
    const std::int64_t end = run.isEmpty() ? run.startMs() : run.timeAt(run.size() - 1);
    loaded.limits = readLimitsSteps(QFileInfo(path).absolutePath(), run.startMs(), end);
    loaded.alarms = readAlarmSpans(path);
    return loaded;
}

QString startLabel(const RunColumns& run)
{
    return QStringLiteral("Опрос ")
        + QDateTime::fromMSecsSinceEpoch(run.startMs())
              .toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
}

QAction* addItem(QMenu* menu, const QString& text, const char* name, const QKeySequence& keys = {})
{
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(keys);
    return action;
}

} // namespace

HistoryWindow::HistoryWindow(QWidget* parent)
    : QMainWindow(parent, Qt::Window)
    , m_plot(new HistoryPlot(this))
    , m_measure(new QLabel(this))
    , m_skipped(new QLabel(this))
{
    setObjectName(QStringLiteral("frmHistory"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_measure->setObjectName(QStringLiteral("lblHistMeasure"));
    m_measure->setWordWrap(true);
    m_measure->setContentsMargins(6, 3, 6, 3);
    m_measure->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_measure->hide();
    layout->addWidget(m_measure);
    layout->addWidget(m_plot, 1);
    setCentralWidget(central);
    m_skipped->setObjectName(QStringLiteral("lblHistSkipped"));
    statusBar()->addPermanentWidget(m_skipped);
    buildMenus();
    resize(1000, 600);
    m_plot->setFocus();

    connect(m_plot, &HistoryPlot::hoverText, this, [this](const QString& text) {
        if (m_loading.isRunning() || m_comparing.isRunning())
            return; // the status bar says a file is being read
        if (text.isEmpty())
            statusBar()->clearMessage();
        else
            statusBar()->showMessage(text);
    });
    connect(m_plot, &HistoryPlot::measureText, this, [this](const QString& text) {
        m_measure->setText(text);
        m_measure->setVisible(!text.isEmpty());
    });
    connect(&m_loading, &QFutureWatcher<LoadedRun>::finished, this, &HistoryWindow::loadFinished);
    connect(
        &m_comparing, &QFutureWatcher<LoadedRun>::finished, this, &HistoryWindow::compareFinished);
    connect(&m_liveLimits, &QFutureWatcher<std::vector<LimitsStep>>::finished, this, [this] {
        m_fileLimits = m_liveLimits.result();
        liveLimitsChanged();
    });
}

void HistoryWindow::buildMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&Файл"));
    connect(addItem(file, QStringLiteral("Сравнить с…"), "itmHistCompare"), &QAction::triggered,
        this, &HistoryWindow::compareWith);
    m_uncompare = addItem(file, QStringLiteral("Убрать сравнение"), "itmHistUncompare");
    m_uncompare->setEnabled(false);
    connect(m_uncompare, &QAction::triggered, this, &HistoryWindow::removeCompare);
    file->addSeparator();
    connect(addItem(file, QStringLiteral("Сохранить рисунок PNG…"), "itmHistPng"),
        &QAction::triggered, this, &HistoryWindow::askPng);
    connect(addItem(file, QStringLiteral("Сохранить рисунок SVG…"), "itmHistSvg"),
        &QAction::triggered, this, &HistoryWindow::askSvg);
    connect(addItem(file, QStringLiteral("Копировать рисунок"), "itmHistCopy", QKeySequence::Copy),
        &QAction::triggered, this, &HistoryWindow::copyPicture);
    connect(addItem(file, QStringLiteral("Сохранить видимые строки…"), "itmHistRows"),
        &QAction::triggered, this, &HistoryWindow::askRows);
    file->addSeparator();
    connect(addItem(file, QStringLiteral("Закрыть"), "itmHistClose",
                QKeySequence(Qt::CTRL | Qt::Key_W)),
        &QAction::triggered, this, &QWidget::close);

    QMenu* view = menuBar()->addMenu(QStringLiteral("&Вид"));
    connect(addItem(view, QStringLiteral("Весь опрос"), "itmHistWhole", QKeySequence(Qt::Key_Home)),
        &QAction::triggered, m_plot, &HistoryPlot::showWholeRun);
    view->addSeparator();
    auto* axis = new QActionGroup(this);
    QAction* clock = addItem(view, QStringLiteral("Время суток"), "itmHistClock");
    QAction* elapsed = addItem(view, QStringLiteral("Время от старта"), "itmHistElapsed");
    for (QAction* action : { clock, elapsed }) {
        action->setCheckable(true);
        axis->addAction(action);
    }
    clock->setChecked(true);
    connect(clock, &QAction::toggled, m_plot, &HistoryPlot::setClockAxis);
}

HistoryWindow* HistoryWindow::openFile(const QString& path, QWidget* parent)
{
    auto* window = new HistoryWindow(parent);
    window->load(path);
    window->show();
    return window;
}

HistoryWindow* HistoryWindow::openLive(LiveRun& live, QWidget* parent)
{
    auto* window = new HistoryWindow(parent);
    window->followLive(live);
    window->show();
    return window;
}

void HistoryWindow::load(const QString& path)
{
    m_path = path;
    setTitle();
    statusBar()->showMessage(QStringLiteral("Чтение файла опроса…"));
    m_loading.setFuture(QtConcurrent::run(readRun, path));
}

void HistoryWindow::loadFinished()
{
    LoadedRun loaded = m_loading.result();
    statusBar()->clearMessage();
    if (!loaded.run) {
        fail(loaded.why, true);
        close();
        return;
    }
    if (loaded.skippedLines > 0)
        m_skipped->setText(
            QStringLiteral("Пропущено строк, которые не удалось прочитать: %1 (первая — строка %2)")
                .arg(loaded.skippedLines)
                .arg(loaded.firstSkippedLine));
    m_run = loaded.run;
    m_plot->setRun(m_run);
    m_plot->setLimits(std::move(loaded.limits));
    m_plot->setAlarms(std::move(loaded.alarms));
    emit runLoaded();
}

void HistoryWindow::followLive(LiveRun& live)
{
    m_live = &live;
    connect(&live, &LiveRun::grew, this, &HistoryWindow::liveGrew);
    connect(&live, &LiveRun::limitsChanged, this, &HistoryWindow::liveLimitsChanged);
    connect(&live, &LiveRun::alarmsChanged, this, &HistoryWindow::liveAlarmsChanged);
    adoptLiveRun();
}

void HistoryWindow::adoptLiveRun()
{
    m_run = m_live->columns();
    m_path = m_live->filePath();
    setTitle();
    m_plot->setRun(m_run);
    if (!m_run)
        return;
    liveLimitsChanged();
    liveAlarmsChanged();
    readFileLimits();
}

void HistoryWindow::readFileLimits()
{
    // limits.csv may know uploads from before this start of the program.
    if (m_path.isEmpty() || !m_run)
        return;
    const QString folder = QFileInfo(m_path).absolutePath();
    const std::int64_t start = m_run->startMs();
    m_liveLimits.setFuture(
        QtConcurrent::run([folder, start] { return readLimitsSteps(folder, start); }));
}

void HistoryWindow::liveGrew()
{
    if (!m_live)
        return;
    if (!m_run) {
        // Opened while there was no run: the window takes the first one that begins.
        adoptLiveRun();
        return;
    }
    if (m_live->columns() != m_run)
        return; // a new run began: this window stays on its own
    if (m_path.isEmpty()) {
        m_path = m_live->filePath();
        if (!m_path.isEmpty()) {
            setTitle();
            readFileLimits();
        }
    }
    m_plot->runGrew();
}

void HistoryWindow::liveLimitsChanged()
{
    if (!m_live || !m_run || m_live->columns() != m_run)
        return;
    std::vector<LimitsStep> own = m_live->limitsBeforeRun();
    own.insert(own.end(), m_live->limitsDuringRun().begin(), m_live->limitsDuringRun().end());
    m_plot->setLimits(mergeLimits(std::move(own), m_fileLimits, m_run->startMs()));
}

void HistoryWindow::liveAlarmsChanged()
{
    if (!m_live || !m_run || m_live->columns() != m_run)
        return;
    m_plot->setAlarms(m_live->alarms());
}

void HistoryWindow::setTitle()
{
    setWindowTitle(
        (m_path.isEmpty() ? QStringLiteral("Текущий опрос") : QFileInfo(m_path).fileName())
        + kTitleTail);
}

void HistoryWindow::fail(const QString& why, bool closing)
{
    // A window about to close leaves its message to its parent (the main window).
    auto* box = new QMessageBox(QMessageBox::Critical, QStringLiteral("История опроса"), why,
        QMessageBox::Ok, closing ? parentWidget() : this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}

void HistoryWindow::compareWith()
{
    QFileDialog dialog(this, QStringLiteral("Сравнить с опросом"),
        m_path.isEmpty() ? QDir::homePath() : QFileInfo(m_path).absolutePath(),
        QStringLiteral("Файлы опроса (*.csv)"));
    dialog.setObjectName(QStringLiteral("dlgHistOpen"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    statusBar()->showMessage(QStringLiteral("Чтение файла опроса…"));
    m_comparing.setFuture(QtConcurrent::run(readRun, dialog.selectedFiles().first()));
}

void HistoryWindow::compareFinished()
{
    const LoadedRun loaded = m_comparing.result();
    statusBar()->clearMessage();
    if (!loaded.run) {
        fail(loaded.why);
        return;
    }
    m_plot->setCompare(loaded.run, m_run ? startLabel(*m_run) : QString(), startLabel(*loaded.run));
    m_uncompare->setEnabled(true);
    emit runLoaded();
}

void HistoryWindow::removeCompare()
{
    m_plot->setCompare(nullptr);
    m_uncompare->setEnabled(false);
}

QString HistoryWindow::askSavePath(
    const QString& title, const QString& filter, const QString& suffix, const QString& name)
{
    const QString folder = m_path.isEmpty() ? QDir::homePath() : QFileInfo(m_path).absolutePath();
    QFileDialog dialog(this, title, folder, filter);
    dialog.setObjectName(QStringLiteral("dlgHistSave"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(suffix);
    dialog.selectFile(name);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

namespace {

QString baseName(const QString& path)
{
    return path.isEmpty() ? QStringLiteral("опрос") : QFileInfo(path).completeBaseName();
}

} // namespace

void HistoryWindow::askPng()
{
    ExportSizeDialog sizes(m_plot->size(), this);
    if (sizes.exec() != QDialog::Accepted)
        return;
    const QString path = askSavePath(QStringLiteral("Сохранить рисунок PNG"),
        QStringLiteral("Рисунок PNG (*.png)"), QStringLiteral("png"), baseName(m_path) + ".png");
    if (!path.isEmpty())
        savePng(path, sizes.pictureSize());
}

void HistoryWindow::askSvg()
{
    const QString path = askSavePath(QStringLiteral("Сохранить рисунок SVG"),
        QStringLiteral("Рисунок SVG (*.svg)"), QStringLiteral("svg"), baseName(m_path) + ".svg");
    if (!path.isEmpty())
        saveSvg(path);
}

void HistoryWindow::askRows()
{
    const QString path = askSavePath(QStringLiteral("Сохранить видимые строки"),
        QStringLiteral("Файл опроса (*.csv)"), QStringLiteral("csv"),
        baseName(m_path) + QStringLiteral("_часть.csv"));
    if (!path.isEmpty())
        saveVisibleRows(path);
}

bool HistoryWindow::savePng(const QString& path, const QSize& size)
{
    // The picture replaces the file whole or not at all.
    QSaveFile file(path);
    QImageWriter writer(&file, "png");
    QString why;
    const bool written = file.open(QIODevice::WriteOnly) && writer.write(m_plot->renderImage(size))
        && file.commit();
    if (!written)
        why = writer.error() != QImageWriter::UnknownError ? writer.errorString()
                                                           : file.errorString();
    if (why.isEmpty())
        return true;
    fail(QStringLiteral("Не удалось сохранить рисунок в «%1»: %2")
             .arg(QDir::toNativeSeparators(path), why));
    return false;
}

bool HistoryWindow::saveSvg(const QString& path)
{
    QSaveFile file(path);
    QString why;
    if (!file.open(QIODevice::WriteOnly)) {
        why = file.errorString();
    } else {
        const QSize size = m_plot->size();
        QSvgGenerator svg;
        svg.setOutputDevice(&file);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(windowTitle());
        QPainter painter(&svg);
        m_plot->render(painter, size);
        painter.end();
        if (!file.commit())
            why = file.errorString();
    }
    if (why.isEmpty())
        return true;
    fail(QStringLiteral("Не удалось сохранить рисунок в «%1»: %2")
             .arg(QDir::toNativeSeparators(path), why));
    return false;
}

void HistoryWindow::copyPicture()
{
    QGuiApplication::clipboard()->setImage(m_plot->renderImage(m_plot->size()));
}

bool HistoryWindow::saveVisibleRows(const QString& path)
{
    if (!m_run)
        return false;
    // The columns hold what was drawn; the rows come from the file itself, byte for byte.
    const std::int64_t from = m_plot->view().fromMs();
    const std::int64_t to = m_plot->view().toMs() - 1;
    QString why;
    const std::optional<qsizetype> rows = m_path.isEmpty()
        ? exportRows(*m_run, from, to, path, &why)
        : exportRows(m_path, from, to, path, &why);
    if (rows) {
        statusBar()->showMessage(QStringLiteral("Сохранено строк: %1").arg(*rows), 5000);
        return true;
    }
    fail(why);
    return false;
}

} // namespace history
