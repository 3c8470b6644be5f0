#include "lab/Options.h"

#include "app/SettingsLocation.h"
#include "telemetry/BrokerOptions.h"

#include <QCommandLineParser>

namespace lab {

std::variant<Options, UsageError> parseOptions(
    const QStringList& arguments, const telemetry::MqttSettings& fromFile)
{
    QCommandLineParser parser;
    const QCommandLineOption help({ QStringLiteral("h"), QStringLiteral("help") }, {});
    const QCommandLineOption version({ QStringLiteral("v"), QStringLiteral("version") }, {});
    parser.addOptions({ help, version });
    parser.addOptions(telemetry::brokerOptions(true));
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty())
            return UsageError { QStringLiteral("unknown option '%1%2'")
                                    .arg(unknown[0].size() == 1 ? u"-" : u"--", unknown[0]) };
        return UsageError { parser.errorText() };
    }
    Options options;
    options.help = parser.isSet(help);
    options.version = parser.isSet(version);
    if (options.help || options.version)
        return options;
    if (!parser.positionalArguments().isEmpty())
        return UsageError { QStringLiteral("unexpected argument '%1'")
                                .arg(parser.positionalArguments().constFirst()) };
    options.broker = fromFile;
    if (const auto refused = telemetry::applyBrokerOptions(parser, options.broker))
        return UsageError { *refused };
    return options;
}

QString helpText()
{
    return QStringLiteral(R"(Usage: velmora-lab [options]

Shows every bench that publishes its readings to an MQTT broker under a prefix,
a tile each: the temperature, the tick's status, the limits, the alarm, the
age of the newest reading and the last 30 minutes. A bench that went offline,
or that has sent nothing for three of its poll intervals, turns grey. A click
on a tile opens the history of what came from that bench.

Options:
)") + telemetry::brokerOptionsHelp(true)
        + QStringLiteral(R"(  -h, --help         show this text and exit
  -v, --version      show the version and exit

The broker, the user, the password file, the CA file and the prefix are also
taken from the [Mqtt] section of the window's settings file (Host, Port, User,
PasswordFile, CaFile, Prefix); the options win over it.
Options with a value may also be written --name=value.

)") + app::filesHelp()
        + QStringLiteral(R"(
Exit status:
  0  the window was closed
  2  bad usage: an unknown option or a value refused
)");
}

} // namespace lab
