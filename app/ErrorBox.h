#pragma once

#include <QString>

#include <exception>

class QWidget;

namespace app {

/** The application title: the caption of the main window and of every message box. */
inline constexpr char kApplicationTitle[] = "Velmora Thermo";

/** A failure's message as the error box shows it: with a full stop added when its last
 * character sorts after ".", as letters and digits do. */
QString errorBoxText(const QString& message);

/** The modal error box: application title, error icon, one OK button. Like the plain message,
 * it copies its title, text and button to the clipboard on Ctrl+C. */
void showErrorBox(const QString& message);

/** The program's own plain message: modal, centred on the screen, no icon, one OK button. */
void showPlainMessage(const QString& message);

/**
 * Shows the failure held by @p failure in the error box: the message of a std::exception, or
 * "Unknown failure". The application installs this as the reporter of every handler boundary
 * (platform::guarded); the program then goes on.
 */
void showFailure(std::exception_ptr failure);

} // namespace app
