#pragma once

#include <QApplication>

namespace app {

/**
 * The application object. It makes the error box the reporter of the handler boundaries
 * (platform::guarded), through which every command handler, tick and window event that can fail
 * runs; the program goes on after each report.
 *
 * notify() is a last-resort net, not a second place where failures are meant to be caught: a
 * failure that reaches it escaped a handler that skipped its boundary, and has already unwound
 * through the toolkit's frames. It is logged as such and shown in the same error box, because
 * ending the program instead would lose the session's settings, written only at close.
 */
class Application : public QApplication {
    Q_OBJECT

public:
    Application(int& argc, char** argv);
    ~Application() override;

    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace app
