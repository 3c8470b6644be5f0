#include "runlog/LimitsRecord.h"

#include "runlog/RunRow.h"
#include "runlog/Storage.h"

#include <QDir>
#include <QFile>

#include <array>
#include <cerrno>

namespace runlog {

namespace {

constexpr qint64 kTailChunk = 4096;
// A holder of the lock only appends a row and syncs it; one that keeps it longer is stuck.
constexpr std::chrono::milliseconds kLockBound { 10000 };

// A file that cannot be opened or locked, with the reasons a shared folder adds said plainly.
LogFailure recordFailure(const QString& path, const char* fileName, int error)
{
    LogFailure failure = logFailure(path, error);
    if (error == ELOOP)
        failure.reason = QStringLiteral("it is a symbolic link, and %1 is never written "
                                        "through one")
                             .arg(QLatin1String(fileName));
    else if (error == EINVAL)
        failure.reason = QStringLiteral("it is not a plain file");
    else if (error == EWOULDBLOCK)
        failure.reason
            = QStringLiteral("another program kept it locked for %1 s")
                  .arg(std::chrono::duration_cast<std::chrono::seconds>(kLockBound).count());
    return failure;
}

QByteArray tenthsText(std::uint16_t tenths)
{
    return QByteArray::number(tenths / 10) + '.' + QByteArray::number(tenths % 10);
}

// Where the last whole line of the file ends: the file's size when it ends in "\n", else just
// after the last "\n" before the torn line (0 when there is none). Reads back from the end.
Storage::Transferred endOfLastLine(Storage& storage, Storage::Handle file, qint64 size)
{
    std::array<char, kTailChunk> buffer {};
    qint64 end = size;
    while (end > 0) {
        const qint64 start = end > kTailChunk ? end - kTailChunk : 0;
        const Storage::Transferred got = storage.readAt(file, buffer.data(), end - start, start);
        if (got.error != 0)
            return { 0, got.error };
        if (got.count != end - start)
            return { 0, EIO }; // the file shrank under us
        for (qint64 i = got.count - 1; i >= 0; --i) {
            if (buffer[std::size_t(i)] == '\n')
                return { start + i + 1, 0 };
        }
        end = start;
    }
    return { 0, 0 };
}

// "36.5" as 365; none for anything else written in the file.
std::optional<std::uint16_t> tenthsFromText(const QByteArray& text)
{
    const qsizetype point = text.indexOf('.');
    if (point <= 0 || point != text.size() - 2)
        return std::nullopt;
    bool wholeOk = false;
    bool tenthOk = false;
    const uint whole = text.left(point).toUInt(&wholeOk);
    const uint tenth = text.mid(point + 1).toUInt(&tenthOk);
    if (!wholeOk || !tenthOk || whole > 0xFFFFU / 10 || whole * 10 + tenth > 0xFFFFU)
        return std::nullopt;
    return std::uint16_t(whole * 10 + tenth);
}

} // namespace

const char* outcomeName(LimitsOutcome outcome)
{
    switch (outcome) {
    case LimitsOutcome::Sent:
        return "sent";
    case LimitsOutcome::PortNotOpened:
        return "port-not-opened";
    case LimitsOutcome::WriteFailed:
        return "write-failed";
    }
    return "unknown";
}

const char* sourceName(LimitsSource source)
{
    switch (source) {
    case LimitsSource::Window:
        return "window";
    case LimitsSource::Logger:
        return "velmora-log";
    case LimitsSource::Mqtt:
        return "mqtt";
    }
    return "unknown";
}

std::optional<LogFailure> recordLimits(const QString& folder, const QDateTime& time,
    std::uint16_t lowerTenths, std::uint16_t upperTenths, LimitsOutcome outcome,
    LimitsSource source)
{
    return recordLimits(systemStorage(), folder, time, lowerTenths, upperTenths, outcome, source);
}

std::optional<instrument::RegulatorLimits> lastSentLimits(const QString& folder)
{
    QFile file(QDir(folder).filePath(QLatin1String(kLimitsFileName)));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        const QList<QByteArray> fields = line->split(',');
        // Four columns in a file begun before rows said their source, five since.
        if ((fields.size() != 4 && fields.size() != 5)
            || fields[3] != outcomeName(LimitsOutcome::Sent))
            continue;
        const auto lower = tenthsFromText(fields[1]);
        const auto upper = tenthsFromText(fields[2]);
        if (lower && upper)
            return instrument::RegulatorLimits { *lower, *upper };
    }
    return std::nullopt;
}

std::optional<LogFailure> appendRecordRow(Storage& storage, const QString& folder,
    const char* fileName, const char* header, const QByteArray& row, const EarlierLayout& earlier)
{
    const QString absoluteFolder = QDir::cleanPath(QDir(folder).absolutePath());
    if (const int error = storage.makeFolders(absoluteFolder); error != 0)
        return logFailure(absoluteFolder, error);
    const QString path = absoluteFolder + QLatin1Char('/') + QLatin1String(fileName);

    // The window and any number of loggers, of any user of a shared folder, may add a row at the
    // same moment: the end of the file, the torn-line cut and the row are all taken under the
    // file's lock.
    const Storage::Opened opened = storage.openShared(path);
    if (opened.error != 0)
        return recordFailure(path, fileName, opened.error);
    const Storage::Handle file = opened.handle;
    const auto fail = [&](int error) {
        storage.close(file);
        return logFailure(path, error);
    };
    if (const int error = storage.lock(file, kLockBound); error != 0) {
        storage.close(file);
        return recordFailure(path, fileName, error);
    }

    const Storage::Transferred size = storage.size(file);
    if (size.error != 0)
        return fail(size.error);
    const Storage::Transferred lastLine = endOfLastLine(storage, file, size.count);
    if (lastLine.error != 0)
        return fail(lastLine.error);
    const qint64 end = lastLine.count;
    if (end < size.count) {
        if (const int error = storage.truncate(file, end); error != 0)
            return fail(error);
    }

    QByteArray bytes;
    if (end == 0) {
        bytes = header;
        bytes += row;
    } else if (earlier.header != nullptr) {
        const QByteArray earlierHeader(earlier.header);
        QByteArray first(earlierHeader.size(), '\0');
        const Storage::Transferred got = storage.readAt(file, first.data(), first.size(), 0);
        if (got.error != 0)
            return fail(got.error);
        bytes = got.count == first.size() && first == earlierHeader ? earlier.row : row;
    } else {
        bytes = row;
    }
    const Storage::Transferred written = storage.writeAt(file, bytes, end);
    int error = written.error;
    if (error == 0)
        error = storage.syncData(file);
    if (error != 0) {
        // Best effort: a row cut short must not stay for the next one to follow; if the cut
        // fails too, the next call finds the torn line and cuts it then.
        storage.truncate(file, end);
        storage.syncData(file);
        return fail(error);
    }
    if (opened.created) {
        if (const int folderError = storage.syncFolder(absoluteFolder); folderError != 0) {
            storage.close(file);
            return logFailure(absoluteFolder, folderError);
        }
    }
    storage.close(file);
    return std::nullopt;
}

std::optional<LogFailure> recordLimits(Storage& storage, const QString& folder,
    const QDateTime& time, std::uint16_t lowerTenths, std::uint16_t upperTenths,
    LimitsOutcome outcome, LimitsSource source)
{
    const QByteArray row = timeText(time) + ',' + tenthsText(lowerTenths) + ','
        + tenthsText(upperTenths) + ',' + outcomeName(outcome);
    return appendRecordRow(storage, folder, kLimitsFileName, kLimitsHeader,
        row + ',' + sourceName(source) + '\n', { kLimitsHeaderWithoutSource, row + '\n' });
}

} // namespace runlog
