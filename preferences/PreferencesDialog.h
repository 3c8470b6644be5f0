#pragma once

#include "alarms/AlarmSettings.h"
#include "app/RunLogSettings.h"
#include "telemetry/MqttSettings.h"

#include <QDialog>

class QTabWidget;

namespace preferences {
class AlarmsPage;
class NetworkPage;
class RunLogPage;

/**
 * "Дополнительно": the settings that have sections of their own beside [Options], a page each.
 * OK takes every page or none: the first value refused is named with its reason, its page and
 * field come to the front, and the dialog stays open.
 */
class PreferencesDialog : public QDialog {
    Q_OBJECT

public:
    explicit PreferencesDialog(QWidget* parent = nullptr);

    void fill(const app::RunLogSettings& runLog, const QString& defaultRunFolder,
        const alarms::AlarmSettings& alarmSettings, bool bandActive);
    /** The network's page; @p defaultBench: the bench's name while none is typed. */
    void fillNetwork(const telemetry::MqttSettings& mqtt, const QString& defaultBench);

    /** What the pages gave when OK was pressed; the values filled in until then. */
    const app::RunLogSettings& runLogSettings() const { return m_runLog; }
    const alarms::AlarmSettings& alarmSettings() const { return m_alarms; }
    const telemetry::MqttSettings& mqttSettings() const { return m_mqtt; }

    void accept() override;

private:
    QTabWidget* m_pages;
    RunLogPage* m_runLogPage;
    AlarmsPage* m_alarmsPage;
    NetworkPage* m_networkPage;
    app::RunLogSettings m_runLog;
    alarms::AlarmSettings m_alarms;
    telemetry::MqttSettings m_mqtt;
};

} // namespace preferences
