#include "session/TickListener.h"

namespace session {

TickListener::~TickListener() = default;

void TickListener::runBegan(const QDateTime& /*start*/) { }

void TickListener::runEnded() { }

void TickListener::limitsSent(const QDateTime& /*time*/, instrument::RegulatorLimits /*limits*/,
    runlog::LimitsOutcome /*outcome*/)
{
}

} // namespace session
