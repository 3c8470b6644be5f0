#include "logger/RunOutput.h"

#include "platform/StandardStreams.h"

#include <QDir>
#include <QFileInfo>

namespace logger {

namespace {

const QString kStandardOutput = QStringLiteral("standard output");

} // namespace

RunOutput::RunOutput(const QString& output, const QString& runFolder)
    : m_kind(output.isEmpty() ? Kind::RunFolder
            : output == u"-"  ? Kind::StandardOutput
                              : Kind::File)
    , m_place(m_kind == Kind::RunFolder ? runFolder : output)
    , m_stream(platform::standardOutputHandle(), kStandardOutput)
{
    if (m_kind == Kind::StandardOutput)
        m_where = kStandardOutput;
    else if (m_kind == Kind::File)
        m_where = QDir::cleanPath(QFileInfo(output).absoluteFilePath());
    else
        m_where = QDir::cleanPath(QDir(runFolder).absolutePath());
}

QString RunOutput::refusal() const
{
    if (m_kind != Kind::File)
        return {};
    const QFileInfo there(m_place);
    if (!there.exists() || (there.isFile() && there.size() == 0))
        return {};
    if (!there.isFile())
        return QStringLiteral("--output: '%1' is no plain file; give a file name, or - for "
                              "standard output and send that on (- > /dev/null, - | ...)")
            .arg(m_place);
    return QStringLiteral("--output: '%1' is there already and is not empty; velmora-log writes "
                          "only a new or an empty file and never overwrites one")
        .arg(m_place);
}

std::optional<runlog::LogFailure> RunOutput::begin(
    const QDateTime& start, platform::Clock::Duration steadyStart)
{
    m_streamRows = 0;
    std::optional<runlog::LogFailure> failure;
    switch (m_kind) {
    case Kind::StandardOutput:
        return m_stream.begin(steadyStart);
    case Kind::File:
        failure = m_log.beginAt(m_place, start, steadyStart);
        break;
    case Kind::RunFolder:
        failure = m_log.begin(m_place, start, steadyStart);
        break;
    }
    noteFile();
    return failure;
}

std::optional<runlog::LogFailure> RunOutput::record(runlog::TickStatus status,
    std::optional<double> temperature, const QDateTime& now, platform::Clock::Duration steadyNow)
{
    if (m_kind == Kind::StandardOutput) {
        if (m_stream.hasFailed()) {
            ++m_streamRows;
            return std::nullopt;
        }
        auto failure = m_stream.record(status, temperature, now, steadyNow);
        if (failure)
            ++m_streamRows;
        return failure;
    }
    auto failure = m_log.record(status, temperature, now, steadyNow);
    noteFile();
    return failure;
}

void RunOutput::end()
{
    if (m_kind == Kind::StandardOutput)
        m_stream.end();
    else
        m_log.end();
}

bool RunOutput::isBroken() const
{
    return m_kind == Kind::StandardOutput && m_stream.hasFailed();
}

std::int64_t RunOutput::lostRows() const
{
    return m_kind == Kind::StandardOutput ? m_streamRows : m_log.lostRows();
}

void RunOutput::noteFile()
{
    // While no file can be made, the last one made (or the folder) still says where to look.
    if (!m_log.filePath().isEmpty())
        m_where = m_log.filePath();
}

} // namespace logger
