#include "runlog/RunStream.h"

#include "platform/DurableFile.h"

#include <utility>

namespace runlog {

namespace durable = platform::durable;

RunStream::RunStream(int handle, QString name)
    : m_handle(handle)
    , m_name(std::move(name))
{
}

std::optional<LogFailure> RunStream::begin(platform::Clock::Duration steadyStart)
{
    m_running = true;
    m_steadyStart = steadyStart;
    // Standard output sent to a file (> run.csv) is kept as safely as a run file; a pipe or a
    // terminal has no disk to sync, and fdatasync would only fail there.
    m_sync = durable::isRegularFile(m_handle);
    return write(QByteArrayView(kRunHeader, sizeof kRunHeader - 1));
}

std::optional<LogFailure> RunStream::record(TickStatus status, std::optional<double> temperature,
    const QDateTime& now, platform::Clock::Duration steadyNow)
{
    if (!m_running)
        return std::nullopt;
    return write(formatRow({ now, steadyNow - m_steadyStart, temperature, status }));
}

std::optional<LogFailure> RunStream::write(QByteArrayView bytes)
{
    if (m_failed)
        return std::nullopt;
    int error = durable::writeAll(m_handle, bytes).error;
    if (error == 0 && m_sync)
        error = durable::syncData(m_handle);
    if (error == 0)
        return std::nullopt;
    m_failed = true;
    return logFailure(m_name, error);
}

} // namespace runlog
