#pragma once

namespace platform {

/** Whether standard error is a terminal that a person reads, not a file, a pipe or a journal. */
bool standardErrorIsTerminal();

/**
 * Whether standard error is the systemd journal's stream: JOURNAL_STREAM names the device and
 * inode of the stream systemd connected, and standard error is still that one (not a file or
 * a pipe a child of the service was given instead).
 */
bool standardErrorIsJournal();

/** The handle of standard output, for writers that take one (runlog::RunStream). */
int standardOutputHandle();

/** The handle of standard error, for writers that take one (platform::BackgroundWriter). */
int standardErrorHandle();

} // namespace platform
