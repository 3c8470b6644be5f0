#include "instrument/PollCycle.h"

#include "instrument/WireProtocol.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"

namespace instrument {

PollOutcome PollCycle::exchange(platform::SerialPort& port)
{
    port.discardInput();
    const bool commandSent = port.write(QByteArrayView(&kPollCommand, 1)) == 1;
    platform::clock().sleep(kReplyPause);
    // Without a command there is no reply to wait for.
    const QByteArray reply = commandSent ? port.read(kValueSize, kReplyTimeout) : QByteArray();
    platform::clock().sleep(kAfterReplyPause);

    if (!commandSent)
        return PollOutcome::WriteFailed;
    const std::optional<double> reading = readingFromReply(reply);
    if (!reading)
        return reply.isEmpty() ? PollOutcome::NoReply : PollOutcome::ShortReply;
    // A full buffer ends the sweep here too, should the caller not have ended the last
    // reading (its drawing failed): nothing is ever stored past the buffer's end.
    if (m_counter >= kCapacity)
        m_counter = 0;
    ++m_counter;
    m_samples[static_cast<std::size_t>(m_counter - 1)] = *reading;
    return PollOutcome::Ok;
}

void PollCycle::endOfReading(std::int32_t points)
{
    if (m_counter >= points || m_counter >= kCapacity)
        m_counter = 0;
}

} // namespace instrument
