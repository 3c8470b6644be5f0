#include "telemetry/MqttSettings.h"

namespace telemetry {

namespace {

QString section()
{
    return QString::fromLatin1(kMqttSection);
}

bool asciiAlnum(QChar c)
{
    return c.unicode() < 128 && c.isLetterOrNumber();
}

// One topic level that needs no escaping anywhere: no wildcard, no separator, no NUL.
bool safeLevel(QStringView level)
{
    if (level.isEmpty())
        return false;
    for (const QChar c : level) {
        if (!asciiAlnum(c) && c != u'-' && c != u'_')
            return false;
    }
    return true;
}

constexpr qsizetype kMaxHostLength = 253;
constexpr qsizetype kMaxLevelLength = 64;
constexpr qsizetype kMaxPrefixLength = 128;
constexpr qsizetype kMaxTextLength = 1024;

QString fileValue(const platform::Profile& profile, QStringView key, MqttValue kind)
{
    const ParsedMqttValue parsed = parseMqttValue(profile.readString(section(), key, u""), kind);
    if (const auto* value = std::get_if<QString>(&parsed))
        return *value;
    return {};
}

bool fileFlag(const platform::Profile& profile, QStringView key, bool byDefault)
{
    const QString text = profile.readString(section(), key, u"").trimmed();
    if (text == u"1")
        return true;
    if (text == u"0")
        return false;
    return byDefault;
}

} // namespace

QString MqttSettings::host() const
{
    return Host.isEmpty() ? QString::fromLatin1(kDefaultHost) : Host;
}

int MqttSettings::port() const
{
    if (Port > 0)
        return Port;
    return tls() ? kTlsPort : kPlainPort;
}

QString MqttSettings::prefix() const
{
    return Prefix.isEmpty() ? QString::fromLatin1(kDefaultPrefix) : Prefix;
}

ParsedMqttValue parseMqttValue(const QString& text, MqttValue kind)
{
    const QString value = text.trimmed();
    if (value.isEmpty())
        return value;
    switch (kind) {
    case MqttValue::Host:
        if (value.size() > kMaxHostLength)
            return MqttRefusal { QStringLiteral("слишком длинное имя") };
        for (const QChar c : value) {
            if (!asciiAlnum(c) && c != u'.' && c != u'-' && c != u'_' && c != u':')
                return MqttRefusal { QStringLiteral("недопустимый знак «%1»").arg(c) };
        }
        return value;
    case MqttValue::Port: {
        bool ok = false;
        const int port = value.toInt(&ok);
        for (const QChar c : value) {
            if (!(c.isDigit() && c.unicode() < 128))
                ok = false;
        }
        if (!ok)
            return MqttRefusal { QStringLiteral("не число") };
        if (port < 1 || port > 65535)
            return MqttRefusal { QStringLiteral("вне пределов от 1 до 65535") };
        return QString::number(port);
    }
    case MqttValue::Bench:
        if (value.size() > kMaxLevelLength)
            return MqttRefusal { QStringLiteral("длиннее %1 знаков").arg(kMaxLevelLength) };
        if (!safeLevel(value))
            return MqttRefusal { QStringLiteral("только латинские буквы, цифры, «-» и «_»") };
        return value;
    case MqttValue::Prefix:
        if (value.size() > kMaxPrefixLength)
            return MqttRefusal { QStringLiteral("длиннее %1 знаков").arg(kMaxPrefixLength) };
        for (const QStringView level : QStringView(value).split(u'/')) {
            if (!safeLevel(level))
                return MqttRefusal { QStringLiteral(
                    "только латинские буквы, цифры, «-», «_» и «/» между ними") };
        }
        return value;
    case MqttValue::File:
        if (!value.startsWith(u'/'))
            return MqttRefusal { QStringLiteral("нужен полный путь") };
        [[fallthrough]];
    case MqttValue::User:
        if (value.size() > kMaxTextLength)
            return MqttRefusal { QStringLiteral("слишком длинное") };
        for (const QChar c : value) {
            if (c.category() == QChar::Other_Control)
                return MqttRefusal { QStringLiteral("управляющий знак") };
        }
        return value;
    }
    return MqttRefusal { QStringLiteral("неизвестное значение") };
}

MqttSettings loadMqttSettings(const platform::Profile& profile)
{
    MqttSettings s;
    s.Enabled = fileFlag(profile, u"Enabled", false);
    s.Host = fileValue(profile, u"Host", MqttValue::Host);
    s.Port = fileValue(profile, u"Port", MqttValue::Port).toInt();
    s.Bench = fileValue(profile, u"Bench", MqttValue::Bench);
    s.Prefix = fileValue(profile, u"Prefix", MqttValue::Prefix);
    s.User = fileValue(profile, u"User", MqttValue::User);
    s.PasswordFile = fileValue(profile, u"PasswordFile", MqttValue::File);
    s.CaFile = fileValue(profile, u"CaFile", MqttValue::File);
    s.Discovery = fileFlag(profile, u"Discovery", true);
    s.RemoteLimits = fileFlag(profile, u"RemoteLimits", false);
    return s;
}

std::vector<platform::Profile::Entry> mqttEntries(const MqttSettings& s)
{
    const auto flag = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
    return {
        { QStringLiteral("Enabled"), flag(s.Enabled) },
        { QStringLiteral("Host"), s.Host },
        { QStringLiteral("Port"), s.Port > 0 ? QString::number(s.Port) : QString() },
        { QStringLiteral("Bench"), s.Bench },
        { QStringLiteral("Prefix"), s.Prefix },
        { QStringLiteral("User"), s.User },
        { QStringLiteral("PasswordFile"), s.PasswordFile },
        { QStringLiteral("CaFile"), s.CaFile },
        { QStringLiteral("Discovery"), flag(s.Discovery) },
        { QStringLiteral("RemoteLimits"), flag(s.RemoteLimits) },
    };
}

bool saveMqttSettings(platform::Profile& profile, const MqttSettings& settings)
{
    return profile.writeStrings(section(), mqttEntries(settings));
}

} // namespace telemetry
