#pragma once

namespace logger {

struct Options;

/** runPolling()'s status when standard output's reader went away: the program then ends as a
 *  writer to a closed pipe does (SIGPIPE), or with status 1 where that signal is ignored. */
inline constexpr int kExitReaderGone = -1;

/**
 * Polls the instrument as @p options say, until the count or the duration is reached or a stop
 * signal arrives, and returns the exit status (kExitOk, kExitFailure).
 */
int runPolling(const Options& options);

} // namespace logger
