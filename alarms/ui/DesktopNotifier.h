#pragma once

#include "alarms/AlarmRules.h"

#include <QDBusConnection>
#include <QObject>

#include <array>
#include <cstdint>
#include <optional>

namespace alarms {

/**
 * Tells raised alarms on the desktop through the freedesktop notification service
 * (org.freedesktop.Notifications on the session bus): one critical notification a rule, replaced
 * when the rule raises again and closed when it clears or the run ends. Every call is
 * asynchronous and its failure is ignored: without a bus or a service nothing waits and nothing
 * is said, as the bell shows the alarm anyway.
 */
class DesktopNotifier : public QObject {
    Q_OBJECT

public:
    /** Notifies on the session bus. */
    explicit DesktopNotifier(QObject* parent = nullptr);
    /** Notifies on @p bus (a private bus, for tests and the benchmark). */
    explicit DesktopNotifier(const QDBusConnection& bus, QObject* parent = nullptr);

    /** The stale rule's time, for its text. */
    void setStaleSeconds(std::optional<double> seconds) { m_staleSeconds = seconds; }
    /** Takes one transition of the rules. */
    void show(const AlarmEvent& event);

signals:
    /** The service answered a notification with its id; for tests and the benchmark. */
    void delivered(alarms::Rule rule, std::uint32_t id);

private:
    void notify(const AlarmEvent& event);
    void close(Rule rule);
    void closeId(std::uint32_t id);

    QDBusConnection m_bus;
    std::optional<double> m_staleSeconds;
    /// The service's id of each rule's notification shown (0: none, or not answered yet).
    std::array<std::uint32_t, kRuleCount> m_ids {};
    /// Each rule's Notify calls so far: only the newest call's answer is kept.
    std::array<std::uint64_t, kRuleCount> m_calls {};
    /// Whether each rule's alarm is raised, so its notification is to stay.
    std::array<bool, kRuleCount> m_showing {};
};

} // namespace alarms
