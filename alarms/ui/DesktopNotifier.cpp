#include "alarms/ui/DesktopNotifier.h"

#include "alarms/ui/AlarmTexts.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace alarms {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// Critical notifications stay until closed; the service is not asked to let them expire.
constexpr std::int32_t kNeverExpires = 0;
constexpr std::uint8_t kUrgencyCritical = 2;

std::size_t slot(Rule rule)
{
    return static_cast<std::size_t>(rule);
}

} // namespace

DesktopNotifier::DesktopNotifier(QObject* parent)
    : DesktopNotifier(QDBusConnection::sessionBus(), parent)
{
}

DesktopNotifier::DesktopNotifier(const QDBusConnection& bus, QObject* parent)
    : QObject(parent)
    , m_bus(bus)
{
}

void DesktopNotifier::show(const AlarmEvent& event)
{
    switch (event.event) {
    case AlarmEventKind::Raised:
        notify(event);
        break;
    case AlarmEventKind::Cleared:
    case AlarmEventKind::Ended:
        close(event.rule);
        break;
    case AlarmEventKind::Acknowledged:
        // The user has seen it: the notification stays until the alarm clears, as the bell does.
        break;
    }
}

void DesktopNotifier::notify(const AlarmEvent& event)
{
    if (!m_bus.isConnected())
        return;
    const std::size_t i = slot(event.rule);
    const std::uint64_t call = ++m_calls[i];
    m_showing[i] = true;
    QDBusMessage message
        = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(kUrgencyCritical));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("velmora-thermo"));
    message << QStringLiteral("Velmora Thermo") << m_ids[i] << QStringLiteral("velmora-thermo")
            << notificationSummary(event) << notificationBody(event, m_staleSeconds)
            << QStringList() << hints << kNeverExpires;
    // Never a blocking call: the window polls on this thread.
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    const Rule rule = event.rule;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
        [this, rule, i, call](QDBusPendingCallWatcher* self) {
            self->deleteLater();
            const QDBusPendingReply<std::uint32_t> reply = *self;
            if (reply.isError())
                return;
            const std::uint32_t id = reply.value();
            emit delivered(rule, id);
            // The answer to a call since overtaken (a newer raise went out before it came), or
            // to a raise already cleared: that notification must not stay on the desktop.
            if (call != m_calls[i] || !m_showing[i]) {
                if (id != m_ids[i])
                    closeId(id);
                return;
            }
            m_ids[i] = id;
        });
}

void DesktopNotifier::close(Rule rule)
{
    const std::size_t i = slot(rule);
    m_showing[i] = false;
    if (m_ids[i] != 0)
        closeId(m_ids[i]);
    m_ids[i] = 0;
}

void DesktopNotifier::closeId(std::uint32_t id)
{
    if (!m_bus.isConnected() || id == 0)
        return;
    QDBusMessage message = QDBusMessage::createMethodCall(
        kService, kPath, kInterface, QStringLiteral("CloseNotification"));
    message << id;
    m_bus.asyncCall(message);
}

} // namespace alarms
