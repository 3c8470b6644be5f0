#pragma once

#include "telemetry/FaultTeller.h"
#include "telemetry/MqttSettings.h"

#include <memory>

struct mosquitto;

namespace telemetry {

/**
 * Begins a client's connection without making its caller wait. The broker's host name is looked
 * up, and the connection begun, on a short-lived thread of its own, which then starts
 * libmosquitto's network thread; from then on that thread connects again with a growing delay.
 * A look-up that hangs (a DNS server that does not answer) holds only the short-lived thread:
 * never the window, a tick or the end of the program.
 *
 * The network thread starts only once the first attempt has returned, so the two never work
 * on the client at once, and the attempt's CONNECT is only queued, for the network thread to
 * write (written from here, a refused connection would leave libmosquitto's thread never
 * trying again).
 */
class ConnectionStart {
public:
    /** What end() leaves to the client's owner. */
    enum class Left {
        Running, ///< the network thread runs: disconnect, stop it and destroy the client
        Stopped, ///< no network thread: destroy the client
        Nothing, ///< the look-up still hangs: its thread destroys the client when it returns
    };

    /**
     * Begins connecting @p client (made, set up and given its callbacks) to the broker of
     * @p settings; a first attempt that fails is told once to @p faults, which must outlive
     * the connection or its end().
     */
    ConnectionStart(mosquitto* client, const MqttSettings& settings, FaultTeller& faults);
    ~ConnectionStart();
    ConnectionStart(const ConnectionStart&) = delete;
    ConnectionStart& operator=(const ConnectionStart&) = delete;

    /**
     * Ends the start before its owner closes the client: from here on no callback of the
     * client runs unless Running is returned. Called once.
     */
    Left end();

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
};

} // namespace telemetry
