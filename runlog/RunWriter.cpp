#include "runlog/RunWriter.h"

#include "platform/WorkerThread.h"
#include "runlog/RunLog.h"
#include "runlog/RunStream.h"

#include <QMetaObject>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace runlog {

struct RunWriter::Command {
    enum class Kind { Begin, Row, End, Limits, Append };
    Kind kind = Kind::Row;
    RunTarget target;
    QDateTime time;
    platform::Clock::Duration steady { 0 };
    TickStatus status = TickStatus::Ok;
    std::optional<double> temperature;
    std::int64_t droppedRows = 0; ///< an End: rows of its run dropped while they waited
    std::uint16_t lower = 0; ///< a Limits row's limits, in tenths of a degree
    std::uint16_t upper = 0;
    LimitsOutcome limitsOutcome = LimitsOutcome::Sent;
    LimitsSource limitsSource = LimitsSource::Window;
    const char* fileName = nullptr; ///< an Append: the record file, its header and its row
    const char* header = nullptr;
    QByteArray row;
};

// What the caller's thread and the writing thread share. The thread keeps it alive for as long
// as it runs, so that a caller who left a held-up thread behind leaves it nothing dangling.
struct RunWriter::Shared : platform::WorkerState {
    explicit Shared(Storage& files)
        : storage(files)
        , log(files)
    {
    }

    Storage& storage;
    std::deque<Command> queue;
    qsizetype queuedRows = 0;
    qsizetype rowsInHand = 0; ///< rows of the command the thread carries out
    std::uint64_t progress = 0; ///< commands carried out so far
    RunWriter* owner = nullptr; ///< gets the failures; null once it left
    // The run as the thread last left it, for the caller.
    QString filePath;
    QString busyPath; ///< what the thread writes to now, for a storage that does not answer
    std::int64_t heldRows = 0;
    std::int64_t lostRows = 0;

    // The thread's own.
    RunLog log;
    std::unique_ptr<RunStream> stream;
    std::int64_t streamLost = 0;
};

namespace {

std::optional<LogFailure> beginRun(RunLog& log, const RunTarget& target, const QDateTime& start,
    platform::Clock::Duration steadyStart)
{
    if (target.kind == RunTarget::Kind::File)
        return log.beginAt(target.place, start, steadyStart);
    return log.begin(target.place, start, steadyStart);
}

} // namespace

RunWriter::RunWriter(Storage& storage, QObject* parent)
    : QObject(parent)
    , m_shared(std::make_shared<Shared>(storage))
{
    m_shared->owner = this;
    connect(&m_watch, &QTimer::timeout, this, &RunWriter::watch);
    m_thread = std::thread(serve, m_shared);
}

RunWriter::~RunWriter()
{
    end();
    const bool done = waitUntilDone(m_leaveAfter);
    {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->owner = nullptr;
    }
    // A thread held up by the storage is left to it: it holds all it uses.
    platform::endWorker(*m_shared, m_thread, done);
}

void RunWriter::serve(const std::shared_ptr<Shared>& shared)
{
    Shared& s = *shared;
    std::unique_lock lock(s.mutex);
    for (;;) {
        s.wake.wait(lock, [&s] { return s.quit || !s.queue.empty(); });
        if (s.queue.empty())
            return;
        Command command = std::move(s.queue.front());
        s.queue.pop_front();
        s.working = true;
        s.rowsInHand = command.kind == Command::Kind::Row ? 1 : 0;
        // Rows that waited together go to a file together: one write and one sync for all.
        std::vector<Command> batch;
        while (command.kind == Command::Kind::Row && !s.stream && !s.queue.empty()
            && s.queue.front().kind == Command::Kind::Row) {
            batch.push_back(std::move(s.queue.front()));
            s.queue.pop_front();
        }
        s.rowsInHand += qsizetype(batch.size());
        s.queuedRows -= s.rowsInHand;
        if (command.kind == Command::Kind::Begin || command.kind == Command::Kind::Limits
            || command.kind == Command::Kind::Append)
            s.busyPath = command.target.place;
        lock.unlock();

        std::optional<LogFailure> failure;
        std::int64_t lost = -1;
        switch (command.kind) {
        case Command::Kind::Begin:
            s.log.end();
            s.stream.reset();
            s.streamLost = 0;
            if (command.target.kind == RunTarget::Kind::Stream) {
                s.stream = std::make_unique<RunStream>(command.target.handle, command.target.place);
                failure = s.stream->begin(command.steady);
            } else {
                failure = beginRun(s.log, command.target, command.time, command.steady);
            }
            break;
        case Command::Kind::Row:
            if (s.stream) {
                if (s.stream->isRunning() && !s.stream->hasFailed())
                    failure = s.stream->record(
                        command.status, command.temperature, command.time, command.steady);
                if (s.stream->hasFailed())
                    ++s.streamLost;
            } else {
                s.log.hold(command.status, command.temperature, command.time, command.steady);
                for (const Command& row : batch)
                    s.log.hold(row.status, row.temperature, row.time, row.steady);
                failure = s.log.writeHeldRows();
            }
            break;
        case Command::Kind::End:
            if (s.stream) {
                s.stream->end();
                lost = s.streamLost;
            } else {
                s.log.end();
                lost = s.log.lostRows();
            }
            lost += command.droppedRows;
            break;
        case Command::Kind::Limits:
            failure = runlog::recordLimits(s.storage, command.target.place, command.time,
                command.lower, command.upper, command.limitsOutcome, command.limitsSource);
            break;
        case Command::Kind::Append:
            failure = runlog::appendRecordRow(
                s.storage, command.target.place, command.fileName, command.header, command.row);
            break;
        }

        lock.lock();
        s.working = false;
        s.rowsInHand = 0;
        ++s.progress;
        if (!s.stream && !s.log.filePath().isEmpty())
            s.filePath = s.log.filePath();
        if (s.stream)
            s.busyPath = s.stream->name();
        else if (!s.log.filePath().isEmpty())
            s.busyPath = s.log.filePath();
        s.heldRows = s.stream ? 0 : s.log.heldRows();
        if (lost >= 0)
            s.lostRows = lost;
        if (failure && s.owner) {
            RunWriter* owner = s.owner;
            // Posted under the lock: the owner cannot go before the call is queued, and a
            // queued call to an object that went is dropped with it.
            QMetaObject::invokeMethod(
                owner, [owner, failure] { emit owner->failed(*failure); }, Qt::QueuedConnection);
        }
        if (s.queue.empty())
            s.idle.notify_all();
    }
}

void RunWriter::push(Command command)
{
    {
        const std::lock_guard lock(m_shared->mutex);
        Shared& s = *m_shared;
        if (command.kind == Command::Kind::Row) {
            if (s.queuedRows >= RunLog::kMaxHeldRows) {
                // The oldest waiting row goes; the loss counts for the run it belongs to.
                auto row = s.queue.begin();
                while (row->kind != Command::Kind::Row)
                    ++row;
                auto laterEnd = row;
                while (laterEnd != s.queue.end() && laterEnd->kind != Command::Kind::End)
                    ++laterEnd;
                s.queue.erase(row);
                --s.queuedRows;
                if (laterEnd != s.queue.end())
                    ++laterEnd->droppedRows;
                else
                    ++m_droppedThisRun;
            }
            ++s.queuedRows;
        } else if (command.kind == Command::Kind::End) {
            command.droppedRows = m_droppedThisRun;
            m_droppedThisRun = 0;
        }
        s.queue.push_back(std::move(command));
        s.wake.notify_all();
        if (!m_watch.isActive())
            m_seenProgress = s.progress;
    }
    if (!m_watch.isActive()) {
        // Progress is looked at twice within the time that counts as a stall: a look wakes the
        // program, which a healthy disk should hardly ever cost.
        m_sinceProgress.start();
        m_watch.start(m_stallAfter / 2);
    }
}

void RunWriter::begin(
    const RunTarget& target, const QDateTime& start, platform::Clock::Duration steadyStart)
{
    if (m_running)
        end();
    m_running = true;
    m_toldStall = false;
    Command command;
    command.kind = Command::Kind::Begin;
    command.target = target;
    command.time = start;
    command.steady = steadyStart;
    push(std::move(command));
}

void RunWriter::record(TickStatus status, std::optional<double> temperature, const QDateTime& now,
    platform::Clock::Duration steadyNow)
{
    if (!m_running)
        return;
    Command command;
    command.kind = Command::Kind::Row;
    command.time = now;
    command.steady = steadyNow;
    command.status = status;
    command.temperature = temperature;
    push(std::move(command));
}

void RunWriter::end()
{
    if (!m_running)
        return;
    m_running = false;
    Command command;
    command.kind = Command::Kind::End;
    push(std::move(command));
}

void RunWriter::recordLimits(const QString& folder, const QDateTime& time,
    std::uint16_t lowerTenths, std::uint16_t upperTenths, LimitsOutcome outcome,
    LimitsSource source)
{
    Command command;
    command.kind = Command::Kind::Limits;
    command.target.place = folder;
    command.time = time;
    command.lower = lowerTenths;
    command.upper = upperTenths;
    command.limitsOutcome = outcome;
    command.limitsSource = source;
    push(std::move(command));
}

void RunWriter::appendRecordRow(
    const QString& folder, const char* fileName, const char* header, const QByteArray& row)
{
    Command command;
    command.kind = Command::Kind::Append;
    command.target.place = folder;
    command.fileName = fileName;
    command.header = header;
    command.row = row;
    push(std::move(command));
}

bool RunWriter::waitUntilDone(std::chrono::milliseconds limit)
{
    std::unique_lock lock(m_shared->mutex);
    const Shared& s = *m_shared;
    return m_shared->idle.wait_for(lock, limit, [&s] { return s.queue.empty() && !s.working; });
}

QString RunWriter::filePath() const
{
    const std::lock_guard lock(m_shared->mutex);
    return m_shared->filePath;
}

std::int64_t RunWriter::pendingRows() const
{
    const std::lock_guard lock(m_shared->mutex);
    const Shared& s = *m_shared;
    return s.queuedRows + s.heldRows + s.rowsInHand;
}

std::int64_t RunWriter::lostRows() const
{
    const std::lock_guard lock(m_shared->mutex);
    return m_shared->lostRows;
}

void RunWriter::watch()
{
    std::uint64_t progress = 0;
    bool busy = false;
    QString path;
    {
        const std::lock_guard lock(m_shared->mutex);
        progress = m_shared->progress;
        busy = m_shared->working || !m_shared->queue.empty();
        path = m_shared->busyPath;
    }
    if (progress != m_seenProgress || !busy) {
        m_seenProgress = progress;
        m_sinceProgress.start();
        if (!busy)
            m_watch.stop();
        return;
    }
    if (!m_toldStall && m_sinceProgress.hasExpired(m_stallAfter.count())) {
        m_toldStall = true;
        emit notAnswering(path);
    }
}

} // namespace runlog
