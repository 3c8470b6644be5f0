#include "app/StartOptions.h"

#include "app/SettingsLocation.h"
#include "app/Version.h"

#include <QCommandLineParser>

namespace app {

namespace {

QString helpText()
{
    return QStringLiteral(R"(Usage: velmora-thermo [options]

Polls the thermometer on its serial port, plots the temperature live and sends
the regulator its limits, in a window; each run is also kept in a file.

Options:
  -h, --help     show this text and exit
  -v, --version  show the version and the licence and exit
Qt's own options (-platform NAME, -display DISPLAY, -style NAME, ...) are taken
as every Qt program takes them.

)") + filesHelp();
}

} // namespace

std::optional<QString> answerWithoutWindow(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption help({ QStringLiteral("h"), QStringLiteral("help") }, {});
    const QCommandLineOption version({ QStringLiteral("v"), QStringLiteral("version") }, {});
    parser.addOptions({ help, version });
    // Options the parser does not know belong to Qt: the window gets them as before.
    if (!parser.parse(arguments))
        return std::nullopt;
    if (parser.isSet(help))
        return helpText();
    if (parser.isSet(version))
        return QString::fromStdString(versionText("velmora-thermo"));
    return std::nullopt;
}

} // namespace app
