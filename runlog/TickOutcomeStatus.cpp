#include "runlog/TickOutcomeStatus.h"

namespace runlog {

TickStatus tickStatus(instrument::TickOutcome outcome)
{
    switch (outcome) {
    case instrument::TickOutcome::Ok:
        return TickStatus::Ok;
    case instrument::TickOutcome::NoReply:
        return TickStatus::NoReply;
    case instrument::TickOutcome::ShortReply:
        return TickStatus::ShortReply;
    case instrument::TickOutcome::WriteFailed:
        return TickStatus::WriteFailed;
    case instrument::TickOutcome::PortLost:
        break;
    }
    return TickStatus::PortLost;
}

} // namespace runlog
