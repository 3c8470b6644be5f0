#pragma once

#include "alarms/AlarmSettings.h"
#include "app/RunLogSettings.h"

#include <QDialog>

class QTabWidget;

namespace preferences {
class AlarmsPage;
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

    /** What the pages gave when OK was pressed; the values filled in until then. */
    const app::RunLogSettings& runLogSettings() const { return m_runLog; }
    const alarms::AlarmSettings& alarmSettings() const { return m_alarms; }

    void accept() override;

private:
    QTabWidget* m_pages;
    RunLogPage* m_runLogPage;
    AlarmsPage* m_alarmsPage;
    app::RunLogSettings m_runLog;
    alarms::AlarmSettings m_alarms;
};

} // namespace preferences
