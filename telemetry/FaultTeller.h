#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>

namespace telemetry {

/** A connection's fault as the user is told it, and whether trying again could mend it. */
struct ClientFault {
    QString text;
    bool final = false; ///< retrying cannot help: stop, and tell it whatever was told before
};

/**
 * Tells a broker connection's faults on its owner's thread, whichever thread finds them (the
 * caller's or libmosquitto's): a fault that retrying may mend once until the connection stands
 * again (connected()), a final one always.
 */
class FaultTeller {
public:
    /** @p say is called on @p owner's thread with each fault told. */
    FaultTeller(QObject* owner, std::function<void(const QString&)> say);

    void tell(const QString& what);
    void tellOnce(const QString& what);
    void tell(const ClientFault& fault);
    /** An error libmosquitto logged: a failed TLS handshake is told, as libmosquitto then
     *  gives up without telling of a disconnect. */
    void logged(const QString& broker, const QString& error);
    /** The connection stands: the next fault is told again. */
    void connected() { m_told.store(false); }

private:
    QObject* m_owner;
    std::function<void(const QString&)> m_say;
    std::atomic<bool> m_told { false };
};

} // namespace telemetry
