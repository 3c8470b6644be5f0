#pragma once

#include "instrument/LimitsUpload.h"
#include "instrument/PollLink.h"
#include "platform/Clock.h"
#include "runlog/LimitsRecord.h"

#include <QDateTime>

#include <optional>

namespace session {

/** One tick of polling, as each listener is given it. */
struct TickResult {
    QDateTime time; ///< the wall clock when the tick's poll went out
    platform::Clock::Duration steady { 0 }; ///< the steady clock then
    platform::Clock::Duration elapsed { 0 }; ///< since the run began, on the steady clock
    instrument::TickOutcome outcome = instrument::TickOutcome::Ok;
    std::optional<double> reading; ///< the reading the tick stored; only for Ok
};

/**
 * What is told of a polling session, in the order things happen. A listener is called on the
 * session's thread, once the tick's exchange is over; it must not wait for the disk or the
 * network itself (hand such work to a thread of its own).
 */
class TickListener {
public:
    virtual ~TickListener();
    /** A run began at @p start: the port opened for it. */
    virtual void runBegan(const QDateTime& start);
    /** One tick of the run. */
    virtual void tickDone(const TickResult& tick) = 0;
    /** The run ended: polling stopped. */
    virtual void runEnded();
    /** Regulator limits were sent at @p time (or the sending failed, as @p outcome says),
     *  between runs or between two ticks of one. */
    virtual void limitsSent(
        const QDateTime& time, instrument::RegulatorLimits limits, runlog::LimitsOutcome outcome);
};

} // namespace session
