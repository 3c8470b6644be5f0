#pragma once

namespace logger {

struct Options;

/**
 * Polls the instrument as @p options say, until the count or the duration is reached or a stop
 * signal arrives, and returns the exit status (kExitOk, kExitFailure).
 */
int runPolling(const Options& options);

} // namespace logger
