#pragma once

#include "alarms/AlarmRules.h"

#include <QString>

#include <optional>

namespace alarms {

/** A temperature as the window writes it: one decimal after a comma, "31,2 °C". */
QString temperatureText(double celsius);

/**
 * What the alarm of @p event is, for the bell's hint: "температура выше 30,0 °C (31,2 °C)",
 * "нет показаний 5 с". @p staleSeconds is the stale rule's time, when it is on.
 */
QString alarmDescription(const AlarmEvent& event, std::optional<double> staleSeconds);

/** A notification's summary and body: "Температура выше нормы", "31,2 °C при пороге 30,0 °C". */
QString notificationSummary(const AlarmEvent& event);
QString notificationBody(const AlarmEvent& event, std::optional<double> staleSeconds);

} // namespace alarms
