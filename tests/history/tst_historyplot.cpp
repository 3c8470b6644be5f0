// The history window's plot, fed through the live run as the polling session feeds it: the line
// lands on the rows the view maps readings to, gaps stay empty, a lone spike survives the whole-run
// view of a million ticks, the view follows a growing run unless moved back, markers measure, and
// the picture exports at the asked size and as well-formed SVG.
#include "history/HistoryPlot.h"
#include "history/HistoryWindow.h"
#include "history/LiveRun.h"
#include "history/Measurement.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <chrono>
#include <cmath>
#include <functional>

using namespace history;

namespace {

// Tick i of a run polled every 600 ms; the reading by @p value, none where @p gap says.
void feed(
    LiveRun& live, int from, int to, const std::function<double(int)>& value,
    const std::function<bool(int)>& gap = [](int) { return false; })
{
    for (int i = from; i < to; ++i) {
        session::TickResult tick;
        tick.elapsed = std::chrono::milliseconds(600LL * i);
        tick.outcome = gap(i) ? instrument::TickOutcome::NoReply : instrument::TickOutcome::Ok;
        if (!gap(i))
            tick.reading = value(i);
        live.tickDone(tick);
    }
}

// The rows of pixel column @p x holding the run's line colour.
QList<int> lineRows(const QImage& image, int x)
{
    QList<int> rows;
    for (int y = 0; y < image.height(); ++y)
        if (image.pixel(x, y) == kLineColour)
            rows.append(y);
    return rows;
}

QImage shown(HistoryPlot& plot)
{
    return plot.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

class TestHistoryPlot : public QObject {
    Q_OBJECT

private slots:
    void lineAndGaps_data();
    void lineAndGaps();
    void spikeOfOneTickStaysVisible();
    void liveViewFollowsUnlessMovedBack();
    void markersMeasure();
    void navigation_data();
    void navigation();
    void boundsOnTinyRuns_data();
    void boundsOnTinyRuns();
    void exportsPicture();
    void opensFile_data();
    void opensFile();
    void mergesLimits_data();
    void mergesLimits();
};

void TestHistoryPlot::lineAndGaps_data()
{
    QTest::addColumn<int>("ticks");
    QTest::newRow("few ticks: the readings as a line") << 300;
    QTest::newRow("many ticks: a stroke a pixel column") << 200000;
}

// 30 °C in the first half, 35 °C in the second, no reply in the middle fifth.
void TestHistoryPlot::lineAndGaps()
{
    QFETCH(int, ticks);
    LiveRun live;
    live.runBegan(QDateTime::currentDateTime());
    HistoryWindow* window = HistoryWindow::openLive(live, nullptr);
    window->resize(900, 600);
    const auto gap = [ticks](int i) { return i >= ticks * 2 / 5 && i < ticks * 3 / 5; };
    feed(
        live, 0, ticks, [ticks](int i) { return i < ticks / 2 ? 30.0 : 35.0; }, gap);
    HistoryPlot& plot = *window->plot();
    const QImage image = shown(plot);
    const PlotView& view = plot.view();
    const auto columnAt
        = [&](int tick) { return static_cast<int>(std::floor(view.xOf(600.0 * tick))); };

    const int early = columnAt(ticks / 5);
    QCOMPARE(lineRows(image, early), QList<int> { view.rowOf(30.0) });
    const int late = columnAt(ticks * 4 / 5);
    QCOMPARE(lineRows(image, late), QList<int> { view.rowOf(35.0) });
    // The gap's columns hold no line, and all but the grid's are shaded.
    const int gapFrom = columnAt(ticks * 2 / 5) + 2;
    const int gapTo = columnAt(ticks * 3 / 5) - 1;
    int shaded = 0;
    for (int x = gapFrom; x < gapTo; ++x) {
        QVERIFY2(lineRows(image, x).isEmpty(), qPrintable(QString::number(x)));
        shaded += image.pixel(x, view.area().top() + 1) == kNoReplyShade ? 1 : 0;
    }
    QVERIFY(shaded >= gapTo - gapFrom - 3);
    delete window;
}

void TestHistoryPlot::spikeOfOneTickStaysVisible()
{
    auto run = std::make_shared<RunColumns>();
    constexpr int kTicks = 1000000;
    constexpr int kSpike = 654321;
    run->reserve(kTicks);
    for (int i = 0; i < kTicks; ++i)
        run->append(600LL * i, i == kSpike ? 80.0F : 25.0F + static_cast<float>(i % 7) / 10,
            runlog::TickStatus::Ok);
    HistoryPlot plot;
    plot.resize(1200, 500);
    plot.setRun(run);
    const QImage image = shown(plot);
    const int x = static_cast<int>(std::floor(plot.view().xOf(600.0 * kSpike)));
    QVERIFY(plot.view().isWholeRun());
    QVERIFY(lineRows(image, x).contains(plot.view().rowOf(80.0)));
}

void TestHistoryPlot::liveViewFollowsUnlessMovedBack()
{
    LiveRun live;
    live.runBegan(QDateTime::currentDateTime());
    HistoryWindow* window = HistoryWindow::openLive(live, nullptr);
    const auto reading = [](int i) { return 20 + std::sin(i / 10.0); };
    feed(live, 0, 100, reading);
    PlotView& view = window->plot()->view();
    QVERIFY(view.isWholeRun());
    QCOMPARE(view.toMs(), 600 * 99 + 1);
    feed(live, 100, 110, reading);
    QCOMPARE(view.fromMs(), 0);
    QCOMPARE(view.toMs(), 600 * 109 + 1);

    // Zoomed with its right edge at the newest reading: slides, keeping its span.
    view.setTimeRange(600LL * 100, 600LL * 109 + 1);
    feed(live, 110, 120, reading);
    QCOMPARE(view.fromMs(), 600 * 110);
    QCOMPARE(view.toMs(), 600 * 119 + 1);

    // Moved back: stays where the user put it.
    view.panFraction(-0.5);
    const std::int64_t from = view.fromMs();
    feed(live, 120, 130, reading);
    QCOMPARE(view.fromMs(), from);

    // A new Start leaves the window on its own run.
    const RunColumns* own = window->plot()->run();
    live.runEnded();
    live.runBegan(QDateTime::currentDateTime());
    feed(live, 0, 5, reading);
    QCOMPARE(window->plot()->run(), own);
    QCOMPARE(own->size(), 130);
    delete window;
}

// Readings rise by 0.1 °C a tick: A on tick 10 and B on tick 110 are 60 s and 10 °C apart.
void TestHistoryPlot::markersMeasure()
{
    auto run = std::make_shared<RunColumns>();
    for (int i = 0; i < 200; ++i)
        run->append(600LL * i, 20.0F + static_cast<float>(i) / 10, runlog::TickStatus::Ok);
    HistoryPlot plot;
    plot.resize(800, 400);
    plot.setRun(run);
    shown(plot);
    QString measure;
    connect(&plot, &HistoryPlot::measureText, [&](const QString& text) { measure = text; });
    const auto clickAt = [&](int tick) {
        const QPoint at(
            static_cast<int>(std::lround(plot.view().xOf(600.0 * tick))), plot.height() / 2);
        QTest::mouseClick(&plot, Qt::LeftButton, {}, at);
    };
    clickAt(10);
    clickAt(110);
    QVERIFY2(measure.contains(QStringLiteral("1 мин 0 с")), qPrintable(measure));
    QVERIFY2(measure.contains(QStringLiteral("разность 10.0 °C")), qPrintable(measure));
    QVERIFY2(measure.contains(QStringLiteral("скорость 10.000 °C/мин")), qPrintable(measure));
    QVERIFY2(measure.contains(QStringLiteral("среднее 26.0 °C")), qPrintable(measure));
    clickAt(50); // a third click starts over
    QVERIFY2(measure.startsWith(QStringLiteral("Маркер A")), qPrintable(measure));
    QTest::keyClick(&plot, Qt::Key_Escape);
    QVERIFY(measure.isEmpty());
}

void TestHistoryPlot::navigation_data()
{
    QTest::addColumn<QString>("gesture");
    QTest::addColumn<double>("spanFactor"); // the time span after, over the span before
    QTest::addColumn<double>("pointerMoves"); // pixels the time under the pointer moved
    QTest::addColumn<bool>("userValue");
    QTest::newRow("wheel up zooms time in about the pointer") << "wheel" << 0.8 << 0.0 << false;
    QTest::newRow("ctrl+wheel zooms the temperature") << "ctrl+wheel" << 1.0 << 0.0 << true;
    QTest::newRow("a drag to the right goes back in time") << "drag" << 1.0 << 100.0 << false;
    QTest::newRow("a shift+drag zooms to the rectangle") << "shift+drag" << 0.1 << 0.0 << true;
    QTest::newRow("right arrow: a tenth on") << "right" << 1.0 << -60.0 << false;
}

// From a view of the middle tenth of a run, on a plot area 600 pixels wide.
void TestHistoryPlot::navigation()
{
    QFETCH(QString, gesture);
    QFETCH(double, spanFactor);
    QFETCH(double, pointerMoves);
    QFETCH(bool, userValue);
    auto run = std::make_shared<RunColumns>();
    for (int i = 0; i < 10000; ++i)
        run->append(600LL * i, 20 + static_cast<float>(i % 100) / 10, runlog::TickStatus::Ok);
    HistoryPlot plot;
    plot.resize(600 + PlotPainter::plotArea({ 1000, 500 }).left() + 16, 500);
    plot.setRun(run);
    PlotView& view = plot.view();
    view.setTimeRange(2700000, 3300000);
    shown(plot);
    QCOMPARE(view.area().width(), 600);
    const QPoint at = view.area().center();
    const double timeAt = view.msAt(at.x());
    const auto span = static_cast<double>(view.spanMs());
    const Qt::KeyboardModifiers ctrl
        = gesture.startsWith("ctrl") ? Qt::ControlModifier : Qt::NoModifier;
    if (gesture.endsWith("wheel")) {
        QWheelEvent wheel(
            at, plot.mapToGlobal(at), {}, { 0, 120 }, Qt::NoButton, ctrl, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&plot, &wheel);
    } else if (gesture.endsWith("drag")) {
        const Qt::KeyboardModifiers shift
            = gesture.startsWith("shift") ? Qt::ShiftModifier : Qt::NoModifier;
        const QPoint to = at + QPoint(gesture.startsWith("shift") ? 60 : 100, 40);
        QTest::mousePress(&plot, Qt::LeftButton, shift, at);
        QMouseEvent move(
            QEvent::MouseMove, to, plot.mapToGlobal(to), Qt::NoButton, Qt::LeftButton, shift);
        QApplication::sendEvent(&plot, &move);
        QTest::mouseRelease(&plot, Qt::LeftButton, shift, to);
    } else {
        QTest::keyClick(&plot, Qt::Key_Right);
    }
    QVERIFY(std::abs(static_cast<double>(view.spanMs()) / span - spanFactor) < 0.01);
    if (gesture.startsWith("shift")) // the rectangle's left edge is the view's now
        QVERIFY(std::abs(view.msAt(view.area().left()) - timeAt) < span / 600);
    else
        QVERIFY(std::abs(view.xOf(timeAt) - at.x() - pointerMoves) < 1.5);
    QCOMPARE(view.userZoomedValue(), userValue);
    QTest::mouseDClick(&plot, Qt::LeftButton, {}, at);
    QVERIFY(view.isWholeRun() && !view.userZoomedValue());
}

void TestHistoryPlot::boundsOnTinyRuns_data()
{
    QTest::addColumn<int>("ticks");
    QTest::newRow("empty") << 0;
    QTest::newRow("one tick") << 1;
    QTest::newRow("two ticks at one time") << 2;
}

// Every way of moving about keeps the span within its bounds and the mapping finite.
void TestHistoryPlot::boundsOnTinyRuns()
{
    QFETCH(int, ticks);
    auto run = std::make_shared<RunColumns>();
    for (int i = 0; i < ticks; ++i)
        run->append(5000, 21.5F, runlog::TickStatus::Ok);
    HistoryPlot plot;
    plot.resize(600, 300);
    plot.setRun(run);
    shown(plot);
    PlotView& view = plot.view();
    const auto check = [&](const char* step) {
        QVERIFY2(view.spanMs() >= PlotView::kMinSpanMs && view.spanMs() <= 60000, step);
        QVERIFY2(std::isfinite(view.msAt(100)) && std::isfinite(view.valueAt(100)), step);
        QVERIFY2(view.highValue() - view.lowValue() >= PlotView::kMinValueSpan * 0.999, step);
    };
    check("whole");
    view.zoomTime(1e-9, 300);
    check("zoomed in");
    view.zoomTime(1e9, 300);
    check("zoomed out");
    view.zoomValue(0, 100);
    view.zoomValue(1e-12, 100);
    check("temperature zoomed in");
    view.panPixels(1e7, -1e7);
    check("panned");
    view.zoomToRect(QRect(100, 100, 0, 0));
    check("empty rectangle");
    shown(plot);
}

void TestHistoryPlot::exportsPicture()
{
    QTemporaryDir folder;
    LiveRun live;
    live.runBegan(QDateTime::currentDateTime());
    HistoryWindow* window = HistoryWindow::openLive(live, nullptr);
    feed(live, 0, 500, [](int i) { return 25 + std::sin(i / 30.0); });

    const QString png = folder.filePath(QStringLiteral("plot.png"));
    QVERIFY(window->savePng(png, QSize(1234, 567)));
    QCOMPARE(QImage(png).size(), QSize(1234, 567));

    const QString svg = folder.filePath(QStringLiteral("plot.svg"));
    QVERIFY(window->saveSvg(svg));
    QFile file(svg);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    bool lineDrawn = false;
    while (!xml.atEnd()) {
        xml.readNext();
        lineDrawn = lineDrawn
            || (xml.isStartElement()
                && xml.attributes().value(QStringLiteral("stroke")) == QColor(kLineColour).name());
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QVERIFY(lineDrawn);

    const QString rows = folder.filePath(QStringLiteral("rows.csv"));
    QVERIFY(window->saveVisibleRows(rows));
    QVERIFY(QFile::exists(rows));

    // A picture that cannot be written says so and leaves nothing behind.
    QVERIFY(!window->savePng(folder.filePath(QStringLiteral("none/plot.png")), QSize(300, 200)));
    delete window;
}

void TestHistoryPlot::opensFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("said"); // in the status bar, or in the message box of a failure
    QTest::addColumn<bool>("opens");
    const QByteArray header = "time,elapsed_s,temperature_C,status\n";
    const QByteArray row = "2026-12-08T10:15:00.000+00:00,0.000,36.5,ok\n";
    QTest::newRow("a line that does not parse")
        << header + row + "garbage\n" + QByteArray(row).replace("0.000", "0.600") + "2026-12-08T1"
        << QStringLiteral("Пропущено строк, которые не удалось прочитать: 1 (первая — строка 3)")
        << true;
    QTest::newRow("no run file") << QByteArray("a,b\n1,2\n") << QStringLiteral("run.csv") << false;
}

// The file is read in the background; what could not be read is said, and a file that is no
// run file closes the window with the reader's message.
void TestHistoryPlot::opensFile()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, said);
    QFETCH(bool, opens);
    QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("run.csv")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    file.close();
    QWidget parent;
    QPointer<HistoryWindow> window = HistoryWindow::openFile(file.fileName(), &parent);
    QCOMPARE(window->windowTitle(), QStringLiteral("run.csv — История опроса"));
    if (opens) {
        QTRY_VERIFY(window->plot()->run() != nullptr);
        QCOMPARE(window->plot()->run()->size(), 2);
        QCOMPARE(window->findChild<QLabel*>(QStringLiteral("lblHistSkipped"))->text(), said);
        delete window;
    } else {
        QTRY_VERIFY(window.isNull());
        auto* box = parent.findChild<QMessageBox*>();
        QVERIFY(box != nullptr);
        QVERIFY2(box->text().contains(said), qPrintable(box->text()));
    }
}

void TestHistoryPlot::mergesLimits_data()
{
    using Steps = std::vector<LimitsStep>;
    QTest::addColumn<Steps>("own");
    QTest::addColumn<Steps>("fromFile");
    QTest::addColumn<Steps>("merged");
    const LimitsStep old { 100, 20, 30 };
    const LimitsStep before { 900, 25, 35 };
    const LimitsStep during { 1500, 26, 36 };
    const LimitsStep later { 2500, 27, 37 };
    QTest::newRow("the same uploads from both, once")
        << Steps { before, during } << Steps { before, during } << Steps { before, during };
    QTest::newRow("only the last before the start")
        << Steps { before } << Steps { old, during } << Steps { before, during };
    QTest::newRow("interleaved") << Steps { during } << Steps { before, later }
                                 << Steps { before, during, later };
    QTest::newRow("none") << Steps {} << Steps {} << Steps {};
}

void TestHistoryPlot::mergesLimits()
{
    using Steps = std::vector<LimitsStep>;
    QFETCH(Steps, own);
    QFETCH(Steps, fromFile);
    QFETCH(Steps, merged);
    const Steps got = mergeLimits(own, fromFile, 1000);
    QCOMPARE(got.size(), merged.size());
    for (std::size_t i = 0; i < got.size(); ++i)
        QVERIFY(got[i].timeMs == merged[i].timeMs && got[i].lower == merged[i].lower);
}

QTEST_MAIN(TestHistoryPlot)
#include "tst_historyplot.moc"
