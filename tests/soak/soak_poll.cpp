// Long run of the poll cycle: the real main window polls the instrument simulator for many ticks
// at an accelerated pace, while the process's resident memory and open file descriptors are
// sampled. Fails when descriptors leak, when memory keeps growing once the program has warmed
// up, or when readings stop arriving.
//
// The pace: the program's pauses go through platform::clock(), which is replaced here by one
// whose pauses are shorter by the speed-up factor; the poll interval is shortened by the same
// factor and the simulator's model time runs that much faster, so the run is the program's
// ordinary polling, compressed. Time itself (the timer's due times) stays real.
//
// Warm-up: the memory baseline is the first sample taken after the first minute of polling when
// the run lasts at least two minutes, otherwise after the first 10% of the ticks; in both cases
// no earlier than the end of the first whole sweep, so that one-time allocations of every step of
// a sweep (the chart cleared and drawn anew at its start) lie inside the warm-up.

#include "app/Application.h"
#include "app/Unit1.h"
#include "instrument/PollCycle.h"
#include "platform/Clock.h"
#include "platform/MessageTimer.h"
#include "platform/SystemColors.h"

#include <QAction>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>
#include <type_traits>
#include <vector>

namespace {

// Pauses shorter by a fixed factor; the time scale itself is the steady clock's.
class FastClock final : public platform::Clock {
public:
    explicit FastClock(int speedup)
        : m_speedup(speedup)
    {
    }

    Duration now() const override
    {
        return std::chrono::duration_cast<Duration>(
            std::chrono::steady_clock::now().time_since_epoch());
    }

    void sleep(Duration duration) override
    {
        std::this_thread::sleep_for(std::chrono::microseconds(duration) / m_speedup);
    }

    // The serial bounds stay real: the simulator answers in real time.
    Duration blockFor(Duration left) override { return left; }

private:
    int m_speedup;
};

struct Options {
    int ticks = 20000;
    int speedup = 100;
    int points = 250;
    int samples = 40;
    qint64 rssToleranceKb = 1024;
    bool checkRss = true;
    int timeoutSeconds = 0; // 0: derived from the ticks
    QString simulator;
    QString folder; // empty: a temporary folder, removed at the end
    bool reportRows = false;
};

struct Sample {
    QString label;
    int tick = 0;
    double seconds = 0;
    std::int32_t counter = 0;
    int readings = 0;
    qint64 rssKb = 0;
    qint64 anonKb = 0;
    int fds = 0;
};

// A field of /proc/self/status in kB ("VmRSS:   61234 kB"), 0 when it is missing.
qint64 statusKb(const QByteArray& status, const QByteArray& field)
{
    const qsizetype at = status.indexOf("\n" + field + ":");
    if (at < 0)
        return 0;
    const qsizetype end = status.indexOf('\n', at + 1);
    QByteArray value
        = status.mid(at + field.size() + 2, end < 0 ? -1 : end - at - field.size() - 2);
    value.replace("kB", "");
    return value.trimmed().toLongLong();
}

int openDescriptors()
{
    // The listing itself holds one descriptor while it reads; it is not counted.
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd"))
                                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                                .size())
        - 1;
}

// Pixels of the plotted line's colour: above zero whenever a segment of the sweep is drawn.
qsizetype linePixels(const QImage& chart, QRgb line)
{
    qsizetype count = 0;
    for (int y = 0; y < chart.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(chart.constScanLine(y));
        count += std::count_if(row, row + chart.width(),
            [line](QRgb pixel) { return (pixel & 0xFFFFFF) == (line & 0xFFFFFF); });
    }
    return count;
}

std::optional<Options> parseOptions(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Polls the instrument simulator with the real main window at an accelerated pace and "
        "checks that memory and file descriptors stay flat."));
    parser.addHelpOption();
    const QCommandLineOption ticks(
        QStringLiteral("ticks"), QStringLiteral("Poll ticks to run (20000)."), QStringLiteral("N"));
    const QCommandLineOption speedup(QStringLiteral("speedup"),
        QStringLiteral("Pauses and poll interval shortened, and the simulator's time sped up, "
                       "by this factor (100)."),
        QStringLiteral("F"));
    const QCommandLineOption points(QStringLiteral("points"),
        QStringLiteral("NPoints, readings per sweep (250)."), QStringLiteral("N"));
    const QCommandLineOption samples(QStringLiteral("samples"),
        QStringLiteral("Samples taken while polling (40)."), QStringLiteral("N"));
    const QCommandLineOption tolerance(QStringLiteral("rss-tolerance-kb"),
        QStringLiteral("Allowed growth of the resident size after the warm-up (1024)."),
        QStringLiteral("KB"));
    const QCommandLineOption noRss(QStringLiteral("no-rss-check"),
        QStringLiteral("Report the resident size but do not fail on its growth."));
    const QCommandLineOption timeout(QStringLiteral("timeout"),
        QStringLiteral("Give up after this many seconds (default: 60 + 25 ms per tick)."),
        QStringLiteral("S"));
    const QCommandLineOption simulator(QStringLiteral("simulator"),
        QStringLiteral("The instrument simulator program."), QStringLiteral("PATH"),
        QStringLiteral(INSTRUMENT_SIM));
    const QCommandLineOption folder(QStringLiteral("folder"),
        QStringLiteral("Keep the settings, the simulator's log and the run files in this folder "
                       "(default: a temporary folder, removed at the end)."),
        QStringLiteral("DIR"));
    const QCommandLineOption reportRows(QStringLiteral("report-rows"),
        QStringLiteral("After each tick print \"committed BYTES FILE\": the run file's size "
                       "once the tick's row is written, for a test that kills the program."));
    parser.addOptions({ ticks, speedup, points, samples, tolerance, noRss, timeout, simulator,
        folder, reportRows });
    parser.process(arguments);

    Options options;
    const auto number = [&parser](const QCommandLineOption& option, int lowest, auto& field) {
        if (!parser.isSet(option))
            return true;
        bool ok = false;
        const qint64 value = parser.value(option).toLongLong(&ok);
        if (!ok || value < lowest || value > 100000000) {
            std::fprintf(stderr, "soak_poll: bad --%s '%s'\n", qPrintable(option.names().first()),
                qPrintable(parser.value(option)));
            return false;
        }
        field = static_cast<std::remove_reference_t<decltype(field)>>(value);
        return true;
    };
    if (!number(ticks, 1, options.ticks) || !number(speedup, 1, options.speedup)
        || !number(points, 4, options.points) || !number(samples, 1, options.samples)
        || !number(tolerance, 0, options.rssToleranceKb)
        || !number(timeout, 1, options.timeoutSeconds))
        return std::nullopt;
    options.checkRss = !parser.isSet(noRss) && VT_SOAK_CHECK_RSS;
    options.simulator = parser.value(simulator);
    options.folder = parser.value(folder);
    options.reportRows = parser.isSet(reportRows);
    if (options.timeoutSeconds == 0)
        options.timeoutSeconds = 60 + options.ticks / 40;
    return options;
}

class Soak {
public:
    explicit Soak(const Options& options)
        : m_options(options)
    {
    }

    ~Soak()
    {
        if (m_simulator.state() != QProcess::NotRunning) {
            m_simulator.terminate();
            if (!m_simulator.waitForFinished(5000))
                m_simulator.kill();
        }
    }

    /** Runs the whole soak and prints its samples and figures; true when it passed. */
    bool run();

private:
    bool startSimulator();
    void poll();
    void onTick();
    void watch();
    Sample sample(const QString& label) const;
    void fail(const QString& why);
    void report(const Sample& start, const Sample& end);
    int polledBySimulator() const;

    QString filePath(const QString& name) const { return QDir(m_folderPath).filePath(name); }

    const Options& m_options;
    QTemporaryDir m_temporary;
    QString m_folderPath = m_options.folder.isEmpty() ? m_temporary.path() : m_options.folder;
    QString m_link;
    QString m_log;
    QProcess m_simulator;
    TForm1* m_form = nullptr;
    QEventLoop m_loop;
    QElapsedTimer m_clock;
    QRgb m_lineColour = 0;

    int m_ticks = 0;
    int m_readings = 0;
    int m_badReadings = 0;
    int m_ticksAtLastWatch = 0;
    int m_quietWatches = 0;
    std::int32_t m_lastCounter = 0;
    std::vector<Sample> m_samples;
    QStringList m_failures;
};

bool Soak::startSimulator()
{
    m_link = filePath(QStringLiteral("instrument"));
    m_log = filePath(QStringLiteral("instrument-sim.log"));
    // The log goes to a file: collected in a pipe it would grow with every poll, inside this
    // process, and count as a leak.
    m_simulator.setStandardOutputFile(m_log);
    m_simulator.setStandardErrorFile(m_log, QIODevice::Append);
    const QString speed = QString::number(m_options.speedup);
    m_simulator.start(m_options.simulator,
        { m_link, QStringLiteral("--seed"), QStringLiteral("1"), QStringLiteral("--speed"), speed,
            QStringLiteral("--reply-delay"), QStringLiteral("0") });
    if (!m_simulator.waitForStarted(10000)) {
        fail(QStringLiteral("the simulator %1 did not start").arg(m_options.simulator));
        return false;
    }
    // Ready once it has logged its link; the link alone may still point at an older terminal.
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 10000) {
        QFile log(m_log);
        if (log.open(QIODevice::ReadOnly) && log.readAll().startsWith("link "))
            return true;
        if (m_simulator.state() == QProcess::NotRunning)
            break;
        QThread::msleep(10);
    }
    fail(QStringLiteral("the simulator did not make its link within 10 s"));
    return false;
}

Sample Soak::sample(const QString& label) const
{
    Sample s;
    s.label = label;
    s.tick = m_ticks;
    s.seconds = m_clock.isValid() ? static_cast<double>(m_clock.nsecsElapsed()) / 1e9 : 0.0;
    s.counter = m_form ? m_form->sampleCounter() : 0;
    s.readings = m_readings;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        const QByteArray text = "\n" + status.readAll();
        s.rssKb = statusKb(text, "VmRSS");
        s.anonKb = statusKb(text, "RssAnon");
    }
    s.fds = openDescriptors();
    return s;
}

void Soak::fail(const QString& why)
{
    m_failures << why;
    m_loop.quit();
}

void Soak::onTick()
{
    ++m_ticks;
    const std::int32_t counter = m_form->sampleCounter();
    // A stored reading moves the counter on by one, or back to 0 when it completed a sweep;
    // a tick without a reading leaves it where it was.
    if (counter != m_lastCounter) {
        ++m_readings;
        // Once a sweep is complete the counter is back at 0 and its last reading is the newest.
        const std::int32_t newest = counter == 0
            ? std::min(m_options.points, instrument::PollCycle::kCapacity) - 1
            : counter - 1;
        const double reading = m_form->pollCycle().samples()[static_cast<std::size_t>(newest)];
        // The simulated bath stays between the room's 22 degrees and the regulator's 31: a
        // reading far outside means the reply was taken apart wrongly.
        if (!(reading > 0.0 && reading < 100.0))
            ++m_badReadings;
    }
    m_lastCounter = counter;
    if (m_options.reportRows) {
        const QString run = m_form->runLog().filePath();
        std::printf(
            "committed %lld %s\n", run.isEmpty() ? -1LL : QFileInfo(run).size(), qPrintable(run));
        std::fflush(stdout);
    }

    // Each sweep starts on a clear chart, and by its middle the line has been drawn.
    if (counter == 1 && linePixels(m_form->chartImage(), m_lineColour) != 0)
        fail(QStringLiteral("tick %1: a new sweep did not clear the chart").arg(m_ticks));
    if (counter == std::max(2, m_options.points / 2)
        && linePixels(m_form->chartImage(), m_lineColour) == 0)
        fail(QStringLiteral("tick %1: the chart shows no line at reading %2 of the sweep")
                 .arg(m_ticks)
                 .arg(counter));

    const int every = std::max(1, m_options.ticks / m_options.samples);
    if (m_ticks % every == 0 || m_ticks == m_options.ticks)
        m_samples.push_back(sample(QStringLiteral("polling")));
    // A run that lost its instrument is over: say so now instead of at the end.
    if (m_ticks - m_readings > m_options.ticks / 100 + 10)
        fail(QStringLiteral("tick %1: only %2 readings arrived").arg(m_ticks).arg(m_readings));
    if (m_ticks >= m_options.ticks) {
        m_form->findChild<QAction*>(QStringLiteral("itmStop"))->trigger();
        m_loop.quit();
    }
}

void Soak::watch()
{
    // A message box means a handler failed or the port was lost: record what it said, close it
    // so that the handler that opened it can return, and end the run.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        const auto* box = qobject_cast<QMessageBox*>(modal);
        fail(QStringLiteral("tick %1: a window came up: %2")
                 .arg(m_ticks)
                 .arg(box ? box->text() : modal->windowTitle()));
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        return;
    }
    if (m_clock.elapsed() > qint64(m_options.timeoutSeconds) * 1000) {
        fail(QStringLiteral("gave up after %1 s at tick %2")
                 .arg(m_options.timeoutSeconds)
                 .arg(m_ticks));
        return;
    }
    // Ticks come every few milliseconds: ten seconds without one is a stall.
    m_quietWatches = m_ticks == m_ticksAtLastWatch ? m_quietWatches + 1 : 0;
    m_ticksAtLastWatch = m_ticks;
    if (m_quietWatches >= 40)
        fail(QStringLiteral("no tick for 10 s after tick %1").arg(m_ticks));
}

int Soak::polledBySimulator() const
{
    QFile log(m_log);
    if (!log.open(QIODevice::ReadOnly))
        return -1;
    return static_cast<int>(log.readAll().count("\npoll 0x51 -> "));
}

bool Soak::run()
{
    if (m_options.folder.isEmpty() ? !m_temporary.isValid() : !QDir().mkpath(m_folderPath))
        fail(QStringLiteral("no folder to work in"));
    else if (startSimulator())
        poll();
    for (const QString& failure : m_failures)
        std::printf("FAIL: %s\n", qPrintable(failure));
    std::printf("%s\n", m_failures.isEmpty() ? "PASS" : "FAIL");
    std::fflush(stdout);
    return m_failures.isEmpty();
}

void Soak::poll()
{

    const QString settings = filePath(QStringLiteral("VelmoraThermo.ini"));
    {
        QFile file(settings);
        if (!file.open(QIODevice::WriteOnly)) {
            fail(QStringLiteral("cannot write %1").arg(settings));
            return;
        }
        // The ordinary 800 ms interval, shortened like the pauses.
        const int interval = std::max(1, 800 / m_options.speedup);
        file.write(QStringLiteral("[Options]\r\nPort=%1\r\nTimerWorkInterval=%2\r\nNPoints=%3\r\n")
                       .arg(m_link)
                       .arg(interval)
                       .arg(m_options.points)
                       .toUtf8());
    }

    FastClock fast(m_options.speedup);
    const platform::ScopedClock useFast(fast);
    TForm1 form(settings);
    m_form = &form;
    m_lineColour = platform::colorFromValue(form.settings().PenGraphColor).rgb();
    form.show();
    QCoreApplication::processEvents();

    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, &m_loop, [this] { watch(); });
    watchdog.start(250);
    // Connected after the window's own handler, so it runs once the tick's reading is drawn.
    QObject::connect(form.timer(), &platform::MessageTimer::timeout, &m_loop, [this] { onTick(); });

    const int every = std::max(1, m_options.ticks / m_options.samples);
    m_samples.reserve(static_cast<std::size_t>(m_options.ticks / every) + 3);
    const Sample start = sample(QStringLiteral("start"));
    m_samples.push_back(start);
    m_clock.start();
    form.findChild<QAction*>(QStringLiteral("itmStart"))->trigger();
    if (!form.timer()->isEnabled())
        fail(QStringLiteral("Start did not start polling"));
    else
        m_loop.exec();
    watchdog.stop();
    if (form.timer()->isEnabled())
        form.findChild<QAction*>(QStringLiteral("itmStop"))->trigger();
    QCoreApplication::processEvents();
    // The run's file is closed by the writing thread once it took the run's end.
    if (!form.pollSession().record().waitUntilDone(std::chrono::seconds(10)))
        m_failures << QStringLiteral("the run's record was not done 10 s after Stop");
    const Sample end = sample(QStringLiteral("stopped"));
    m_samples.push_back(end);

    m_simulator.terminate();
    if (!m_simulator.waitForFinished(5000))
        m_simulator.kill();
    report(start, end);
    m_form = nullptr;
}

void Soak::report(const Sample& start, const Sample& end)
{
    std::printf("%-8s %7s %9s %7s %9s %10s %10s %4s\n", "sample", "tick", "seconds", "counter",
        "readings", "VmRSS kB", "RssAnon kB", "fds");
    for (const Sample& s : m_samples)
        std::printf("%-8s %7d %9.2f %7d %9d %10lld %10lld %4d\n", qPrintable(s.label), s.tick,
            s.seconds, s.counter, s.readings, s.rssKb, s.anonKb, s.fds);

    std::vector<Sample> polling;
    for (const Sample& s : m_samples)
        if (s.label == QLatin1String("polling"))
            polling.push_back(s);

    const double wall = end.seconds;
    std::printf("\nticks %d, readings %d, polls the simulator logged %d, wall %.1f s, %.2f ms per "
                "tick (speed-up %d, interval %d ms, NPoints %d)\n",
        m_ticks, m_readings, polledBySimulator(), wall, m_ticks ? wall * 1000 / m_ticks : 0.0,
        m_options.speedup, std::max(1, 800 / m_options.speedup), m_options.points);

    if (m_ticks < m_options.ticks)
        m_failures << QStringLiteral("the run ended after %1 of %2 ticks")
                          .arg(m_ticks)
                          .arg(m_options.ticks);
    if (m_readings < m_ticks - m_ticks / 100)
        m_failures << QStringLiteral("only %1 readings in %2 ticks").arg(m_readings).arg(m_ticks);
    if (m_badReadings > 0)
        m_failures << QStringLiteral("%1 readings outside 0..100 degrees").arg(m_badReadings);
    const int polled = polledBySimulator();
    if (polled >= 0 && polled != m_ticks)
        m_failures << QStringLiteral("%1 ticks sent %2 polls").arg(m_ticks).arg(polled);

    // Descriptors: the same with the port closed before Start and after Stop, and one more (the
    // port) all the while polling runs.
    std::printf("fds: start %d, polling %d..%d, end %d\n", start.fds,
        polling.empty() ? 0
                        : std::min_element(polling.begin(), polling.end(),
                            [](auto& a, auto& b) {
                                return a.fds < b.fds;
                            })->fds,
        polling.empty() ? 0
                        : std::max_element(polling.begin(), polling.end(),
                            [](auto& a, auto& b) {
                                return a.fds < b.fds;
                            })->fds,
        end.fds);
    if (end.fds != start.fds)
        m_failures << QStringLiteral("descriptors: %1 before Start, %2 after Stop")
                          .arg(start.fds)
                          .arg(end.fds);
    for (const Sample& s : polling)
        if (s.fds != polling.front().fds) {
            m_failures << QStringLiteral("descriptors while polling went from %1 to %2 at tick %3")
                              .arg(polling.front().fds)
                              .arg(s.fds)
                              .arg(s.tick);
            break;
        }

    if (polling.empty()) {
        m_failures << QStringLiteral("no sample was taken while polling");
    } else {
        const bool longRun = polling.back().seconds >= 120;
        const int warmTicks = std::max(m_options.ticks / 10, m_options.points + 1);
        const auto warm = std::find_if(polling.begin(), polling.end(), [&](const Sample& s) {
            return s.tick >= m_options.points + 1
                && (longRun ? s.seconds >= 60 : s.tick >= warmTicks);
        });
        const Sample& base = warm != polling.end() ? *warm : polling.back();
        const Sample& last = polling.back();
        qint64 peak = 0;
        for (auto it = warm; it != polling.end(); ++it)
            peak = std::max(peak, it->rssKb);
        const qint64 growth = last.rssKb - base.rssKb;
        std::printf("VmRSS kB: start %lld, after warm-up %lld (%s: tick %d, %.1f s), end %lld, "
                    "peak after warm-up %lld; growth after warm-up %+lld (RssAnon %+lld), "
                    "tolerance %lld%s\n",
            start.rssKb, base.rssKb, longRun ? "first minute" : "first 10% of ticks", base.tick,
            base.seconds, last.rssKb, peak, growth, last.anonKb - base.anonKb,
            m_options.rssToleranceKb, m_options.checkRss ? "" : " (not checked)");
        if (m_options.checkRss && growth > m_options.rssToleranceKb)
            m_failures
                << QStringLiteral("resident size grew by %1 kB after the warm-up").arg(growth);
    }
}

} // namespace

int main(int argc, char* argv[])
{
    app::Application application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    const std::optional<Options> options = parseOptions(application.arguments());
    if (!options)
        return 2;
    Soak soak(*options);
    return soak.run() ? 0 : 1;
}
