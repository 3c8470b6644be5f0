#include "alarms/ui/AlarmTexts.h"

#include <cmath>

namespace alarms {

namespace {

QString secondsText(std::optional<double> seconds)
{
    if (!seconds)
        return {};
    QString text = QString::number(*seconds, 'f', std::floor(*seconds) == *seconds ? 0 : 1);
    return text.replace(QLatin1Char('.'), QLatin1Char(',')) + QStringLiteral(" с");
}

QString readingText(const AlarmEvent& event)
{
    return event.temperature ? temperatureText(*event.temperature) : QStringLiteral("—");
}

QString thresholdText(const AlarmEvent& event)
{
    return event.threshold ? temperatureText(*event.threshold) : QStringLiteral("—");
}

} // namespace

QString temperatureText(double celsius)
{
    // "-0,0" would say a sign the reading does not have.
    const double rounded = std::round(celsius * 10.0) / 10.0;
    QString text = QString::number(rounded == 0.0 ? 0.0 : rounded, 'f', 1);
    return text.replace(QLatin1Char('.'), QLatin1Char(',')) + QStringLiteral(" °C");
}

QString alarmDescription(const AlarmEvent& event, std::optional<double> staleSeconds)
{
    const QString reading = readingText(event);
    switch (event.rule) {
    case Rule::High:
        return QStringLiteral("температура выше %1 (%2)").arg(thresholdText(event), reading);
    case Rule::Low:
        return QStringLiteral("температура ниже %1 (%2)").arg(thresholdText(event), reading);
    case Rule::Band:
        return QStringLiteral("температура вне пределов регулятора, граница %1 (%2)")
            .arg(thresholdText(event), reading);
    case Rule::Stale:
        return QStringLiteral("нет показаний %1").arg(secondsText(staleSeconds)).trimmed();
    }
    return {};
}

QString notificationSummary(const AlarmEvent& event)
{
    QString summary = ruleTitle(event.rule);
    if (!summary.isEmpty())
        summary[0] = summary[0].toUpper();
    return summary;
}

QString notificationBody(const AlarmEvent& event, std::optional<double> staleSeconds)
{
    if (event.rule == Rule::Stale) {
        QString body = QStringLiteral("Прибор не отвечает %1").arg(secondsText(staleSeconds));
        if (event.temperature)
            body += QStringLiteral("; последнее показание %1").arg(readingText(event));
        return body.simplified();
    }
    return QStringLiteral("%1 при пороге %2").arg(readingText(event), thresholdText(event));
}

} // namespace alarms
