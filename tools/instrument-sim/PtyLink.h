#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace instrumentsim {

/**
 * Makes SIGINT, SIGTERM and SIGHUP stop the simulator in an orderly way: they are blocked except
 * while a PtyLink waits, so a wait returns Stopped when one arrives and nothing is cut off
 * half-way. Call once, before the first wait.
 */
void catchStopSignals();

/** The stop signal that has arrived, or 0. */
int stopSignal();

/**
 * The instrument's end of a serial line: a pseudo-terminal whose slave side a program opens as
 * its port, reached through a symbolic link. The link keeps one handle of the slave open itself
 * for its whole life, so the program may close and reopen the port as often as it likes without
 * the master side seeing a hang-up.
 */
class PtyLink {
public:
    enum class Wait {
        Ready, ///< the byte arrived, or the pause ran its full length
        TimedOut, ///< nothing arrived within the bound
        Stopped, ///< a stop signal arrived (see stopSignal())
        Failed, ///< the pseudo-terminal failed; errorText() says why
    };

    PtyLink() = default;
    ~PtyLink();
    PtyLink(const PtyLink&) = delete;
    PtyLink& operator=(const PtyLink&) = delete;

    /**
     * Creates the pseudo-terminal, puts its slave side in raw mode and points @p linkPath at it.
     * A symbolic link already at @p linkPath (a stale one from an earlier run, say) is replaced;
     * anything else there is left alone and the open fails. On failure nothing is left behind and
     * errorText() says why.
     */
    bool open(const std::string& linkPath);

    const std::string& slavePath() const { return m_slavePath; }
    const std::string& linkPath() const { return m_linkPath; }
    const std::string& errorText() const { return m_error; }

    /** Waits up to @p timeoutMs (negative: without a bound) for one byte from the program. */
    Wait readByte(std::uint8_t& byte, int timeoutMs);

    /** Waits @p ms milliseconds unless a stop signal comes first. */
    Wait pause(int ms);

    /** Waits without a bound for a stop signal: Stopped, or Failed when the wait itself failed. */
    Wait waitForStop();

    /**
     * Hands @p size bytes to the program's side, waiting at most a second for room. Returns how
     * many went out; fewer than @p size means the program's input queue stayed full.
     */
    std::size_t write(const std::uint8_t* data, std::size_t size);

    /**
     * Waits up to @p ms milliseconds until the program has read everything sent to it. A hang-up
     * throws away what it has not read yet, while on a real line the bytes already sent lie safe
     * in the receiving port; waiting first keeps that. Returns false if bytes were still waiting.
     */
    bool waitUntilRead(int ms);

    /**
     * Removes the link (only if it still points at this pseudo-terminal, so a newer simulator's
     * link stays) and closes both sides: the program's port hangs up. Closing twice does nothing.
     */
    void close();

private:
    Wait waitFor(short events, int timeoutMs);
    void fail(const char* what);

    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
    std::string m_linkPath;
    std::string m_error;
};

} // namespace instrumentsim
