#include "app/RunLogSettings.h"

#include "numeric/IntegerText.h"
#include "platform/Profile.h"

#include <QDir>
#include <QFileInfo>

namespace app {

RunLogSettings loadRunLogSettings(const platform::Profile& profile)
{
    const QString section = QString::fromLatin1(kRunLogSection);
    const RunLogSettings defaults;
    RunLogSettings s;
    // The same reading as the flags of [Options]: any integer but 0 is on.
    const QString enabled = profile.readString(
        section, u"Enabled", defaults.Enabled ? QStringLiteral("1") : QStringLiteral("0"));
    s.Enabled = numeric::integerFromText(enabled).value_or(defaults.Enabled ? 1 : 0) != 0;
    s.Folder = profile.readString(section, u"Folder", defaults.Folder);
    return s;
}

QString runFolder(const QString& settingsFile, const RunLogSettings& settings)
{
    const QDir settingsFolder = QFileInfo(settingsFile).absoluteDir();
    const QString folder
        = settings.Folder.isEmpty() ? QString::fromLatin1(kDefaultRunFolderName) : settings.Folder;
    return QDir::cleanPath(settingsFolder.absoluteFilePath(folder));
}

} // namespace app
