#include "runlog/RunLog.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstddef>
#include <vector>

namespace runlog {

namespace {

// Names tried per attempt to make a file before the tick gives up with EEXIST; the next tick
// goes on from there.
constexpr int kNamesPerTry = 1000;
// Held rows go out in writes of about this size, so that a full disk refuses the first one at
// once instead of after a copy of everything held.
constexpr qsizetype kBytesPerWrite = qsizetype(64) * 1024;

} // namespace

RunLog::RunLog()
    : RunLog(systemStorage())
{
}

RunLog::RunLog(Storage& storage)
    : m_storage(&storage)
{
}

RunLog::~RunLog()
{
    end();
}

std::optional<LogFailure> RunLog::begin(
    const QString& folder, const QDateTime& start, platform::Clock::Duration steadyStart)
{
    return beginIn(QDir(folder).absolutePath(), QString(), start, steadyStart);
}

std::optional<LogFailure> RunLog::beginAt(
    const QString& path, const QDateTime& start, platform::Clock::Duration steadyStart)
{
    const QFileInfo file(QDir::cleanPath(QDir(path).absolutePath()));
    if (file.fileName().isEmpty()) {
        end();
        return logFailure(file.filePath(), EISDIR);
    }
    return beginIn(file.absolutePath(), file.fileName(), start, steadyStart);
}

std::optional<LogFailure> RunLog::beginIn(const QString& folder, const QString& fixedName,
    const QDateTime& start, platform::Clock::Duration steadyStart)
{
    end();
    m_running = true;
    m_reported = false;
    m_folder = QDir::cleanPath(folder);
    m_fixedName = fixedName;
    m_start = start;
    m_steadyStart = steadyStart;
    m_attempt = 0;
    m_held.clear();
    m_dropped = 0;
    m_lost = 0;
    std::optional<LogFailure> failure = flush();
    if (failure && failure->error == EEXIST && !m_fixedName.isEmpty() && m_file < 0
        && m_attempt == 1) {
        // The name the user gave holds something already: that is never overwritten, and a
        // file of another name is not what was asked for.
        m_running = false;
        m_held.clear();
        return failure;
    }
    return firstReport(failure);
}

QString RunLog::fileName(int attempt) const
{
    if (m_fixedName.isEmpty())
        return runFileName(m_start, attempt);
    if (attempt <= 1)
        return m_fixedName;
    // "night.csv" -> "night_2.csv"; a name without a suffix, or a hidden one, gets it at the end.
    const QString suffix = QLatin1Char('_') + QString::number(attempt);
    const qsizetype dot = m_fixedName.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return m_fixedName + suffix;
    return m_fixedName.left(dot) + suffix + m_fixedName.mid(dot);
}

Storage::Opened RunLog::openIfEmpty(const QString& path)
{
    // Only a plain file, and only an empty one: a device or a pipe at the name is never opened.
    const QFileInfo info(path);
    if (!info.isFile() || info.size() != 0)
        return { -1, EEXIST };
    const Storage::Opened opened = m_storage->openExisting(path);
    if (opened.error != 0)
        return opened;
    const Storage::Transferred size = m_storage->size(opened.handle);
    if (size.error != 0 || size.count != 0) {
        m_storage->close(opened.handle);
        return { -1, size.error != 0 ? size.error : EEXIST };
    }
    return opened;
}

std::optional<LogFailure> RunLog::record(TickStatus status, std::optional<double> temperature,
    const QDateTime& now, platform::Clock::Duration steadyNow)
{
    hold(status, temperature, now, steadyNow);
    return writeHeldRows();
}

void RunLog::hold(TickStatus status, std::optional<double> temperature, const QDateTime& now,
    platform::Clock::Duration steadyNow)
{
    if (!m_running)
        return;
    if (qsizetype(m_held.size()) >= kMaxHeldRows) {
        m_held.pop_front();
        ++m_dropped;
    }
    m_held.push_back(formatRow({ now, steadyNow - m_steadyStart, temperature, status }));
}

std::optional<LogFailure> RunLog::writeHeldRows()
{
    if (!m_running)
        return std::nullopt;
    return firstReport(flush());
}

void RunLog::end()
{
    if (!m_running)
        return;
    flush();
    if (m_file >= 0)
        giveUpFile();
    m_lost = m_dropped + std::int64_t(m_held.size());
    m_held.clear();
    m_running = false;
}

std::optional<LogFailure> RunLog::firstReport(std::optional<LogFailure> failure)
{
    if (!failure || m_reported)
        return std::nullopt;
    m_reported = true;
    return failure;
}

std::optional<LogFailure> RunLog::flush()
{
    std::optional<LogFailure> removed;
    if (m_file >= 0) {
        // The file or its folder removed (or replaced) since the last row: what went into it is
        // gone with it, and the rest of the run goes to a new file, made right away.
        const int error = m_storage->checkStillNamed(m_file, m_filePath);
        if (error != 0) {
            removed = logFailure(m_filePath, error);
            giveUpFile();
        }
    }
    if (m_file < 0) {
        if (auto failure = openFile())
            return removed ? removed : failure;
    }
    auto failure = writeHeld();
    return removed ? removed : failure;
}

std::optional<LogFailure> RunLog::openFile()
{
    const int folderError = m_storage->makeFolders(m_folder);
    if (folderError != 0)
        return logFailure(m_folder, folderError);
    for (int tried = 0; tried < kNamesPerTry; ++tried) {
        ++m_attempt;
        const QString path = m_folder + QLatin1Char('/') + fileName(m_attempt);
        Storage::Opened opened = m_storage->createNew(path);
        const bool givenName = !m_fixedName.isEmpty() && m_attempt == 1;
        if (opened.error == EEXIST && givenName)
            opened = openIfEmpty(path);
        if (opened.error == 0) {
            m_file = opened.handle;
            m_filePath = path;
            m_end = 0;
            m_folderSynced = false;
            return std::nullopt;
        }
        if (opened.error != EEXIST) {
            // The same name is tried again once the folder takes files.
            --m_attempt;
            return logFailure(path, opened.error);
        }
        // The name given is taken: reported, and the next attempt goes on with the next name.
        if (givenName || tried == kNamesPerTry - 1)
            return logFailure(path, opened.error);
    }
    return std::nullopt;
}

std::optional<LogFailure> RunLog::writeHeld()
{
    // Rows go at the end of the last whole row; a new file first gets its header.
    qint64 end = m_end;
    std::size_t taken = 0;
    int writeError = 0;
    while (taken < m_held.size() || end == 0) {
        QByteArray chunk;
        std::size_t rows = 0;
        if (end == 0)
            chunk = QByteArray::fromRawData(kRunHeader, sizeof kRunHeader - 1);
        // Where each whole line of the chunk ends, to keep those that a partial write took.
        std::vector<qsizetype> lineEnds { chunk.size() };
        while (taken + rows < m_held.size() && chunk.size() < kBytesPerWrite) {
            chunk += m_held[taken + rows];
            lineEnds.push_back(chunk.size());
            ++rows;
        }
        const Storage::Transferred done = m_storage->writeAt(m_file, chunk, end);
        if (done.error != 0) {
            writeError = done.error;
            std::size_t whole = 0;
            while (whole + 1 < lineEnds.size() && lineEnds[whole + 1] <= done.count)
                ++whole;
            if (end != 0 || lineEnds.front() <= done.count) {
                end += lineEnds[whole];
                taken += whole;
            }
            break;
        }
        end += chunk.size();
        taken += rows;
    }

    std::optional<LogFailure> failure;
    bool cutFailed = false;
    if (writeError != 0) {
        failure = logFailure(m_filePath, writeError);
        // The torn line must go before anything else is written after it.
        cutFailed = m_storage->truncate(m_file, end) != 0;
    }
    if (end != m_end || writeError != 0) {
        const int syncError = m_storage->syncData(m_file);
        if (syncError != 0) {
            if (!failure)
                failure = logFailure(m_filePath, syncError);
            // Nothing of this write is known to be on the disk: the rows stay held and go
            // again where the last synced row ends.
            if (!cutFailed)
                cutFailed = m_storage->truncate(m_file, m_end) != 0;
            end = m_end;
            taken = 0;
        }
    }
    m_end = end;
    m_held.erase(m_held.begin(), m_held.begin() + std::ptrdiff_t(taken));
    if (cutFailed) {
        // A torn line that cannot be cut off must never be followed by rows: the rest of the
        // run goes to a new file.
        giveUpFile();
        return failure;
    }
    if (!m_folderSynced) {
        const int folderError = m_storage->syncFolder(m_folder);
        m_folderSynced = folderError == 0;
        if (folderError != 0 && !failure)
            failure = logFailure(m_folder, folderError);
    }
    return failure;
}

void RunLog::giveUpFile()
{
    // Every row in it was synced already, so a failing close loses nothing.
    m_storage->close(m_file);
    m_file = -1;
    m_end = 0;
    m_folderSynced = false;
}

} // namespace runlog
