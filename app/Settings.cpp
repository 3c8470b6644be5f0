#include "app/Settings.h"

#include "app/RunLogSettings.h"
#include "numeric/IntegerText.h"
#include "numeric/MulDiv.h"
#include "platform/Profile.h"

#include <QDir>

#include <array>
#include <utility>
#include <vector>

namespace app {

FontObject::FontObject(int dotsPerInch)
    : m_dotsPerInch(dotsPerInch > 0 ? dotsPerInch : 96)
    , m_name(QString::fromLatin1(kInitialName))
    , m_color(kWindowTextColor)
    , m_height(0)
{
    setSize(8);
}

void FontObject::setName(const QString& name)
{
    if (name.isEmpty())
        return;
    QString cut = name.left(kMaxNameLength);
    // Never keep half of a surrogate pair at the cut.
    if (!cut.isEmpty() && cut.back().isHighSurrogate())
        cut.chop(1);
    if (!cut.isEmpty())
        m_name = cut;
}

// Size and height have opposite signs. The sign goes into the factor rather than onto the result:
// rounding is symmetric, and a result stopped at the 32-bit limit is never negated past it.
std::int32_t FontObject::size() const
{
    return numeric::mulDiv(m_height, -72, m_dotsPerInch);
}

void FontObject::setSize(std::int32_t points)
{
    m_height = numeric::mulDiv(points, -m_dotsPerInch, 72);
}

FontObject mainWindowFont(int dotsPerInch)
{
    FontObject font(dotsPerInch);
    font.setHeight(numeric::mulDiv(-11, font.dotsPerInch(), 96));
    return font;
}

Settings::Settings(int dotsPerInch)
    : TextFont(mainWindowFont(dotsPerInch))
    , GraphFont(mainWindowFont(dotsPerInch))
{
}

QString settingsFilePath(const QString& programFolder)
{
    return QDir(programFolder).filePath(QString::fromLatin1(kSettingsFileName));
}

namespace {

const QString& section()
{
    static const QString name = QString::fromLatin1(kSettingsSection);
    return name;
}

class Reader {
public:
    explicit Reader(const platform::Profile& profile)
        : m_profile(profile)
    {
    }

    QString text(const QString& key, const QString& fallback) const
    {
        return m_profile.readString(section(), key, fallback);
    }

    std::int32_t integer(const QString& key, std::int32_t fallback) const
    {
        return numeric::integerFromText(text(key, QString::number(fallback))).value_or(fallback);
    }

    bool boolean(const QString& key, bool fallback) const
    {
        return integer(key, fallback ? 1 : 0) != 0;
    }

    void font(const QString& prefix, FontObject& font, const FontObject& defaults) const
    {
        font.setName(text(prefix + QStringLiteral("Name"), defaults.name()));
        font.setColor(integer(prefix + QStringLiteral("Color"), defaults.color()));
        font.setSize(integer(prefix + QStringLiteral("Size"), defaults.size()));
        const auto styleByte
            = static_cast<std::uint8_t>(integer(prefix + QStringLiteral("Style"), 0));
        font.setStyle(BytesToFontStyles(styleByte));
    }

private:
    const platform::Profile& m_profile;
};

} // namespace

Settings loadSettings(const platform::Profile& profile, int dotsPerInch)
{
    const Reader read(profile);
    const Settings defaults(dotsPerInch);
    Settings s(dotsPerInch);

    s.Port = read.text(QStringLiteral("Port"), defaults.Port);
    s.BaudRate = read.integer(QStringLiteral("BaudRate"), defaults.BaudRate);
    s.TimerWorkInterval
        = static_cast<std::uint32_t>(read.integer(QStringLiteral("TimerWorkInterval"),
            static_cast<std::int32_t>(defaults.TimerWorkInterval)));
    s.NPoints = read.integer(QStringLiteral("NPoints"), defaults.NPoints);
    // The limits are 16-bit values: only the low 16 bits of what the file holds count.
    s.A = static_cast<std::uint16_t>(read.integer(QStringLiteral("A"), defaults.A));
    s.B = static_cast<std::uint16_t>(read.integer(QStringLiteral("B"), defaults.B));
    s.MinY = read.integer(QStringLiteral("MinY"), defaults.MinY);
    s.MaxY = read.integer(QStringLiteral("MaxY"), defaults.MaxY);
    s.YCaption = read.text(QStringLiteral("YCaption"), defaults.YCaption);
    s.XCaption = read.text(QStringLiteral("XCaption"), defaults.XCaption);
    s.BrushGraphColor = read.integer(QStringLiteral("BrushGraphColor"), defaults.BrushGraphColor);
    s.PenGraphColor = read.integer(QStringLiteral("PenGraphColor"), defaults.PenGraphColor);
    s.AxisGraphColor = read.integer(QStringLiteral("AxisGraphColor"), defaults.AxisGraphColor);

    // Both fonts start as a new font and take their defaults from the main window's font.
    const FontObject windowFont = mainWindowFont(dotsPerInch);
    s.TextFont = FontObject(dotsPerInch);
    read.font(QStringLiteral("TextFont"), s.TextFont, windowFont);
    s.GraphFont = FontObject(dotsPerInch);
    read.font(QStringLiteral("GraphFont"), s.GraphFont, windowFont);

    s.ShowSignalFlag = read.boolean(QStringLiteral("ShowSignalFlag"), defaults.ShowSignalFlag);
    return s;
}

namespace {

platform::Profile::SectionEntries runLogSection(const RunLogSettings& runLog)
{
    return { QString::fromLatin1(kRunLogSection),
        {
            { QStringLiteral("Enabled"),
                runLog.Enabled ? QStringLiteral("1") : QStringLiteral("0") },
            { QStringLiteral("Folder"), runLog.Folder },
        } };
}

std::vector<platform::Profile::Entry> optionsEntries(const Settings& s)
{
    const auto number = [](auto value) { return QString::number(value); };
    const auto fontKeys = [&](const char* prefix, const FontObject& font) {
        const QString base = QString::fromLatin1(prefix);
        return std::array<std::pair<QString, QString>, 4> { {
            { base + QStringLiteral("Name"), font.name() },
            { base + QStringLiteral("Color"), number(font.color()) },
            { base + QStringLiteral("Size"), number(font.size()) },
            { base + QStringLiteral("Style"), number(FontStylesToBytes(font.style())) },
        } };
    };

    std::vector<platform::Profile::Entry> keys {
        { QStringLiteral("Port"), s.Port },
        { QStringLiteral("BaudRate"), number(s.BaudRate) },
        // The interval is written as the signed 32-bit number it is stored as.
        { QStringLiteral("TimerWorkInterval"),
            number(static_cast<std::int32_t>(s.TimerWorkInterval)) },
        { QStringLiteral("NPoints"), number(s.NPoints) },
        { QStringLiteral("A"), number(s.A) },
        { QStringLiteral("B"), number(s.B) },
        { QStringLiteral("MinY"), number(s.MinY) },
        { QStringLiteral("MaxY"), number(s.MaxY) },
        { QStringLiteral("YCaption"), s.YCaption },
        { QStringLiteral("XCaption"), s.XCaption },
        { QStringLiteral("BrushGraphColor"), number(s.BrushGraphColor) },
        { QStringLiteral("PenGraphColor"), number(s.PenGraphColor) },
        { QStringLiteral("AxisGraphColor"), number(s.AxisGraphColor) },
    };
    for (const auto& key : fontKeys("TextFont", s.TextFont))
        keys.push_back(key);
    for (const auto& key : fontKeys("GraphFont", s.GraphFont))
        keys.push_back(key);
    keys.emplace_back(QStringLiteral("ShowSignalFlag"), s.ShowSignalFlag ? "1" : "0");
    return keys;
}

} // namespace

// One replacement of the file for all keys: a crash while saving leaves the old settings or the
// new ones, never a mix.
bool saveSettings(platform::Profile& profile, const Settings& settings)
{
    return profile.writeStrings(section(), optionsEntries(settings));
}

bool saveSettings(
    platform::Profile& profile, const Settings& settings, const RunLogSettings& runLog)
{
    return profile.writeSections(
        { { section(), optionsEntries(settings) }, runLogSection(runLog) });
}

bool saveSettings(platform::Profile& profile, const Settings& settings,
    const RunLogSettings& runLog, const std::vector<platform::Profile::SectionEntries>& more)
{
    std::vector<platform::Profile::SectionEntries> sections {
        { section(), optionsEntries(settings) }, runLogSection(runLog)
    };
    sections.insert(sections.end(), more.begin(), more.end());
    return profile.writeSections(sections);
}

} // namespace app
