#include "logger/RunOutput.h"

#include "platform/StandardStreams.h"

#include <QDir>
#include <QFileInfo>

namespace logger {

namespace {

const QString kStandardOutput = QStringLiteral("standard output");

} // namespace

RunOutput::RunOutput(const QString& output, const QString& runFolder)
    : m_kind(output.isEmpty() ? runlog::RunTarget::Kind::Folder
            : output == u"-"  ? runlog::RunTarget::Kind::Stream
                              : runlog::RunTarget::Kind::File)
    , m_place(m_kind == runlog::RunTarget::Kind::Folder ? runFolder : output)
{
    if (m_kind == runlog::RunTarget::Kind::Stream)
        m_where = kStandardOutput;
    else if (m_kind == runlog::RunTarget::Kind::File)
        m_where = QDir::cleanPath(QFileInfo(output).absoluteFilePath());
    else
        m_where = QDir::cleanPath(QDir(runFolder).absolutePath());
}

QString RunOutput::refusal() const
{
    if (m_kind != runlog::RunTarget::Kind::File)
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

runlog::RunTarget RunOutput::target() const
{
    if (m_kind == runlog::RunTarget::Kind::Stream)
        return { m_kind, kStandardOutput, platform::standardOutputHandle() };
    return { m_kind, m_place, -1 };
}

} // namespace logger
