#include "telemetry/FaultTeller.h"

namespace telemetry {

FaultTeller::FaultTeller(QObject* owner, std::function<void(const QString&)> say)
    : m_owner(owner)
    , m_say(std::move(say))
{
}

void FaultTeller::tell(const QString& what)
{
    QMetaObject::invokeMethod(
        m_owner, [this, what] { m_say(what); }, Qt::QueuedConnection);
}

void FaultTeller::tellOnce(const QString& what)
{
    if (!m_told.exchange(true))
        tell(what);
}

void FaultTeller::tell(const ClientFault& fault)
{
    if (fault.final)
        tell(fault.text);
    else
        tellOnce(fault.text);
}

void FaultTeller::logged(const QString& broker, const QString& error)
{
    if (error.startsWith(u"OpenSSL Error"))
        tellOnce(
            QStringLiteral("MQTT broker %1: TLS failed (%2); not trying again").arg(broker, error));
}

} // namespace telemetry
