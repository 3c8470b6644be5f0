// velmora-log: the thermometer's readings on the command line, without a display. Start-up only:
// the command line, then the one thing it asks for.

#include "app/Version.h"
#include "logger/Options.h"
#include "logger/Polling.h"
#include "logger/PortList.h"
#include "platform/PortInventory.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <exception>
#include <variant>
#include <vector>

namespace {

// Writes @p text to standard output; a write that fails (a full disk, say) is the
// output that could not be written.
int print(const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    const bool written
        = std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout)
            == static_cast<std::size_t>(bytes.size())
        && std::fflush(stdout) == 0;
    if (written)
        return logger::kExitOk;
    std::fputs("velmora-log: cannot write to standard output\n", stderr);
    return logger::kExitFailure;
}

int run(int argc, char** argv)
{
    // Qt's own event loop rather than GLib's: nothing here needs GLib's sources, and the plain
    // one costs less at every tick of a run that lasts for days.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    const QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velmora-log"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(app::kVersion));

    const auto parsed
        = logger::parseOptions(QCoreApplication::arguments(), logger::defaultSettingsLocation());
    if (const auto* error = std::get_if<logger::UsageError>(&parsed)) {
        std::fprintf(stderr, "velmora-log: %s\n", error->message.toLocal8Bit().constData());
        return logger::kExitUsage;
    }
    const logger::Options& options = std::get<logger::Options>(parsed);
    if (options.help)
        return print(logger::helpText());
    if (options.version)
        return print(QString::fromStdString(app::versionText("velmora-log")));
    if (options.listPorts) {
        const std::vector<platform::PortInfo> ports = platform::listPorts();
        if (ports.empty() && !options.quiet)
            std::fputs("velmora-log: no serial ports found\n", stderr);
        return print(logger::portListing(ports));
    }
    const int status = logger::runPolling(options);
    if (status != logger::kExitReaderGone)
        return status;
    // The signal's disposition is the one the program was started with again: by default it
    // ends the program as it ends any writer to a pipe whose reader went.
    std::fflush(stdout);
    ::raise(SIGPIPE);
    return logger::kExitFailure;
}

} // namespace

int main(int argc, char** argv)
{
    // Nothing of ours throws; what the library can (memory running out) ends the program with a
    // line and status 1 instead of an abort.
    try {
        return run(argc, argv);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "velmora-log: %s\n", failure.what());
    } catch (...) {
        std::fputs("velmora-log: unexpected failure\n", stderr);
    }
    return logger::kExitFailure;
}
