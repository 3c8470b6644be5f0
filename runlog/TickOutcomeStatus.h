#pragma once

#include "instrument/PollLink.h"
#include "runlog/RunRow.h"

namespace runlog {

/** The status a run file keeps for a tick of polling that ended with @p outcome. */
TickStatus tickStatus(instrument::TickOutcome outcome);

} // namespace runlog
