// velmora-lab: the benches publishing to an MQTT broker, in one window. Start-up only: the
// command line, then the window.

#include "app/SettingsLocation.h"
#include "app/Version.h"
#include "lab/BenchModel.h"
#include "lab/Options.h"
#include "lab/Subscriber.h"
#include "lab/ui/OverviewWindow.h"

#include <QApplication>

#include <cstdio>
#include <exception>

namespace {

int print(const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    return std::fflush(stdout) == 0 ? lab::kExitOk : 1;
}

int run(int argc, char** argv)
{
    // The command line is read before the display is opened: --help and --version need none.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const auto checked = lab::parseOptions(arguments, {});
    if (const auto* error = std::get_if<lab::UsageError>(&checked)) {
        std::fprintf(stderr, "velmora-lab: %s\n", error->message.toLocal8Bit().constData());
        return lab::kExitUsage;
    }
    if (std::get<lab::Options>(checked).help)
        return print(lab::helpText());
    if (std::get<lab::Options>(checked).version)
        return print(QString::fromStdString(app::versionText("velmora-lab")));

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("velmora-lab"));
    QApplication::setApplicationVersion(QString::fromLatin1(app::kVersion));
    QApplication::setDesktopFileName(QStringLiteral("velmora-lab"));
    // The settings file's [Mqtt] section, then the command line over it.
    const app::SettingsLocation location = app::locateSettings(QApplication::applicationDirPath());
    const auto parsed = lab::parseOptions(
        arguments, telemetry::loadMqttSettings(platform::Profile(location.readFile)));
    if (const auto* error = std::get_if<lab::UsageError>(&parsed)) {
        std::fprintf(stderr, "velmora-lab: %s\n", error->message.toLocal8Bit().constData());
        return lab::kExitUsage;
    }
    const telemetry::MqttSettings& broker = std::get<lab::Options>(parsed).broker;

    lab::BenchModel model(broker.prefix());
    lab::Subscriber subscriber(broker);
    lab::OverviewWindow window(model, subscriber);
    QObject::connect(&subscriber, &lab::Subscriber::problem, [](const QString& text) {
        std::fprintf(stderr, "velmora-lab: %s\n", text.toLocal8Bit().constData());
    });
    window.show();
    subscriber.start();
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
    try {
        return run(argc, argv);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "velmora-lab: %s\n", failure.what());
        return 1;
    }
}
