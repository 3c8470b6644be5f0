#pragma once

#include "platform/Profile.h"

#include <QString>

#include <optional>
#include <variant>
#include <vector>

namespace alarms {

inline constexpr char kAlarmsSection[] = "Alarms";

/**
 * The alarms' own section of the settings file. A value that is missing, empty, 0, no number
 * or out of its range is off (nullopt). Decimals are always written and read with ".".
 */
struct AlarmSettings {
    bool Enabled = false;
    std::optional<double> High; ///< °C: a reading above it raises "high"
    std::optional<double> Low; ///< °C: a reading below it raises "low"
    bool Band = false; ///< the band rule: outside the regulator's limits widened by Margin
    std::optional<double> Margin; ///< °C the band is widened by on each side
    std::optional<double> Stale; ///< seconds without a good reading
    std::optional<double> Delay; ///< seconds a condition must hold before it raises
    std::optional<double> Hysteresis; ///< °C back inside before an alarm clears
    bool Sound = false;

    bool operator==(const AlarmSettings&) const = default;
};

/** What a key accepts: temperatures, seconds or degrees of widening. */
enum class AlarmValue { Temperature, Seconds, Degrees };

/** The sane range of a kind of value. */
struct ValueRange {
    double low;
    double high;
};
ValueRange valueRange(AlarmValue kind);

/** A value typed by the user: the number (nullopt: empty or 0, off) or the reason it is refused,
 *  in Russian ("не число", "вне пределов от … до …"). */
using ParsedValue = std::variant<std::optional<double>, QString>;
ParsedValue parseAlarmValue(const QString& text, AlarmValue kind);

/** A number as the settings file and the command line take it: ASCII digits, a sign and "."
 *  only (no exponent, "inf", "nan" or separators), finite; none for anything else. */
std::optional<double> plainNumber(const QString& text);
/** @p value with "." decimals, as short as it is exact, no exponent. */
QString numberText(double value);

/** The number as the settings file keeps it: "." decimals, no exponent; empty for off. */
QString alarmValueText(std::optional<double> value);

AlarmSettings loadAlarmSettings(const platform::Profile& profile);
/** The section's keys in their order, for Profile::writeSections(). */
std::vector<platform::Profile::Entry> alarmEntries(const AlarmSettings& settings);
/** Writes the section alone, in one replacement of the file. */
bool saveAlarmSettings(platform::Profile& profile, const AlarmSettings& settings);

} // namespace alarms
