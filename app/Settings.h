#pragma once

#include "app/FontStylesToBytes.h"
#include "platform/Profile.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace app {

/** The settings file's name; it lives in the folder of the program file. */
inline constexpr char kSettingsFileName[] = "VelmoraThermo.ini";
inline constexpr char kSettingsSection[] = "Options";

/** Colour values: 0x00BBGGRR for plain colours, 0xFF0000nn for system colour nn. */
inline constexpr std::int32_t kWindowTextColor = static_cast<std::int32_t>(0xFF000008u);

/**
 * A font as the settings keep it: face name, colour, height in pixels (negative: character
 * height without internal leading) and style set. Sizes in points are converted through the
 * screen's dots per inch given at construction.
 */
class FontObject {
public:
    static constexpr int kMaxNameLength = 31;
    static constexpr char kInitialName[] = "MS Sans Serif";

    /** A new font: "MS Sans Serif", 8 points, window-text colour, regular. */
    explicit FontObject(int dotsPerInch);

    const QString& name() const { return m_name; }
    /** An empty name keeps the current one; a longer name is cut to 31 characters. */
    void setName(const QString& name);

    std::int32_t color() const { return m_color; }
    void setColor(std::int32_t color) { m_color = color; }

    std::int32_t height() const { return m_height; }
    void setHeight(std::int32_t height) { m_height = height; }

    std::int32_t size() const;
    void setSize(std::int32_t points);

    FontStyles style() const { return m_style; }
    void setStyle(FontStyles style) { m_style = style; }

    int dotsPerInch() const { return m_dotsPerInch; }

    bool operator==(const FontObject&) const = default;

private:
    int m_dotsPerInch;
    QString m_name;
    std::int32_t m_color;
    std::int32_t m_height;
    FontStyles m_style;
};

/** The main window's own font: "MS Sans Serif", 11 pixels at 96 dots per inch, scaled. */
FontObject mainWindowFont(int dotsPerInch);

/** Every value the settings file holds, named after its key. */
struct Settings {
    explicit Settings(int dotsPerInch);

    QString Port = QStringLiteral("COM1");
    std::int32_t BaudRate = 38400;
    std::uint32_t TimerWorkInterval = 800;
    std::int32_t NPoints = 1000;
    std::uint16_t A = 300;
    std::uint16_t B = 310;
    std::int32_t MinY = 20;
    std::int32_t MaxY = 40;
    QString YCaption = QStringLiteral("t, mm:ss");
    QString XCaption = QStringLiteral("T, deg. C");
    std::int32_t BrushGraphColor = 0x000000;
    std::int32_t PenGraphColor = 0x00FF00;
    std::int32_t AxisGraphColor = 0x00FFFF;
    FontObject TextFont;
    FontObject GraphFont;
    bool ShowSignalFlag = true;

    bool operator==(const Settings&) const = default;
};

/** The settings file's path in @p programFolder. */
QString settingsFilePath(const QString& programFolder);

/**
 * Reads all 22 keys. Never fails: a missing, empty or malformed value takes its key's default.
 * Values are not range-checked.
 */
Settings loadSettings(const platform::Profile& profile, int dotsPerInch);

/**
 * Writes all 22 keys in the file's order, in one replacement of the file: either all of them are
 * written or, when the file cannot be written, none is and false is returned.
 */
bool saveSettings(platform::Profile& profile, const Settings& settings);

struct RunLogSettings;

/**
 * Writes all 22 keys and then the run log's section, in one replacement of the file, all or
 * nothing as above. [Options] is written exactly as by the other overload.
 */
bool saveSettings(
    platform::Profile& profile, const Settings& settings, const RunLogSettings& runLog);

/**
 * As above, with the sections of @p more (the alarms', the network's) after the run log's, all
 * in the same one replacement. A section a caller did not load is left as it is.
 */
bool saveSettings(platform::Profile& profile, const Settings& settings,
    const RunLogSettings& runLog, const std::vector<platform::Profile::SectionEntries>& more);

} // namespace app
