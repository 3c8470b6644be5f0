#pragma once

namespace platform {

/** Sounds the system's default beep, as the program does for a refused key or step. */
void beep();

/** What beep() does: by default nothing, until the application installs the real beep. */
using BeepHandler = void (*)();

/** Installs @p handler for every later beep() and returns the one it replaces. */
BeepHandler setBeepHandler(BeepHandler handler);

} // namespace platform
