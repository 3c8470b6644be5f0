#include "session/TickListener.h"

namespace session {

TickListener::~TickListener() = default;

void TickListener::runBegan(const QDateTime& /*start*/) { }

void TickListener::runEnded() { }

} // namespace session
