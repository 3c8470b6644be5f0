#pragma once

class QWidget;

namespace platform {

/**
 * Moves the top-level @p window so that its frame is centred on the screen it belongs to.
 * Call it before the window shows: a window moved after showing may be put back by the platform.
 * Under X11 the frame is known only once the window manager has framed the window; until then
 * the window sits off centre by half the frame.
 */
void centreOnScreen(QWidget* window);

} // namespace platform
