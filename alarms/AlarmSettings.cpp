#include "alarms/AlarmSettings.h"

#include <QLocale>

#include <cmath>

namespace alarms {

namespace {

QString section()
{
    return QString::fromLatin1(kAlarmsSection);
}

// The file's own value: anything refused counts as off.
std::optional<double> fileValue(const platform::Profile& profile, QStringView key, AlarmValue kind)
{
    const ParsedValue parsed = parseAlarmValue(profile.readString(section(), key, u""), kind);
    if (const auto* value = std::get_if<std::optional<double>>(&parsed))
        return *value;
    return std::nullopt;
}

bool fileFlag(const platform::Profile& profile, QStringView key)
{
    return fileValue(profile, key, AlarmValue::Seconds).has_value();
}

} // namespace

ValueRange valueRange(AlarmValue kind)
{
    switch (kind) {
    case AlarmValue::Temperature:
        return { -200.0, 1800.0 };
    case AlarmValue::Seconds:
        return { 0.0, 86400.0 };
    case AlarmValue::Degrees:
        return { 0.0, 1000.0 };
    }
    return { 0.0, 0.0 };
}

std::optional<double> plainNumber(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    for (const QChar c : trimmed) {
        if (!(c >= u'0' && c <= u'9') && c != u'.' && c != u'-' && c != u'+')
            return std::nullopt;
    }
    bool ok = false;
    const double value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString numberText(double value)
{
    return QLocale::c().toString(value, 'f', QLocale::FloatingPointShortest);
}

ParsedValue parseAlarmValue(const QString& text, AlarmValue kind)
{
    if (text.trimmed().isEmpty())
        return std::optional<double> {};
    const std::optional<double> value = plainNumber(text);
    if (!value)
        return QStringLiteral("не число");
    if (*value == 0.0)
        return std::optional<double> {};
    const ValueRange range = valueRange(kind);
    if (*value < range.low || *value > range.high)
        return QStringLiteral("вне пределов от %1 до %2")
            .arg(numberText(range.low), numberText(range.high));
    return value;
}

QString alarmValueText(std::optional<double> value)
{
    if (!value || *value == 0.0)
        return {};
    return numberText(*value);
}

AlarmSettings loadAlarmSettings(const platform::Profile& profile)
{
    AlarmSettings s;
    s.Enabled = fileFlag(profile, u"Enabled");
    s.High = fileValue(profile, u"High", AlarmValue::Temperature);
    s.Low = fileValue(profile, u"Low", AlarmValue::Temperature);
    s.Band = fileFlag(profile, u"Band");
    s.Margin = fileValue(profile, u"Margin", AlarmValue::Degrees);
    s.Stale = fileValue(profile, u"Stale", AlarmValue::Seconds);
    s.Delay = fileValue(profile, u"Delay", AlarmValue::Seconds);
    s.Hysteresis = fileValue(profile, u"Hysteresis", AlarmValue::Degrees);
    s.Sound = fileFlag(profile, u"Sound");
    return s;
}

std::vector<platform::Profile::Entry> alarmEntries(const AlarmSettings& s)
{
    const auto flag = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
    return {
        { QStringLiteral("Enabled"), flag(s.Enabled) },
        { QStringLiteral("High"), alarmValueText(s.High) },
        { QStringLiteral("Low"), alarmValueText(s.Low) },
        { QStringLiteral("Band"), flag(s.Band) },
        { QStringLiteral("Margin"), alarmValueText(s.Margin) },
        { QStringLiteral("Stale"), alarmValueText(s.Stale) },
        { QStringLiteral("Delay"), alarmValueText(s.Delay) },
        { QStringLiteral("Hysteresis"), alarmValueText(s.Hysteresis) },
        { QStringLiteral("Sound"), flag(s.Sound) },
    };
}

bool saveAlarmSettings(platform::Profile& profile, const AlarmSettings& settings)
{
    return profile.writeStrings(section(), alarmEntries(settings));
}

} // namespace alarms
