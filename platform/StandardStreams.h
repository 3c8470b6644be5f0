#pragma once

namespace platform {

/** Whether standard error is a terminal that a person reads, not a file, a pipe or a journal. */
bool standardErrorIsTerminal();

/** The handle of standard output, for writers that take one (runlog::RunStream). */
int standardOutputHandle();

/** The handle of standard error, for writers that take one (platform::BackgroundWriter). */
int standardErrorHandle();

} // namespace platform
