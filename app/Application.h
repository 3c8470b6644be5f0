#pragma once

#include <QApplication>

namespace app {

/**
 * The application object. Any failure that escapes an event handler is caught here, shown in the
 * error box, and the event loop goes on. Handlers that must react to their own failure (closing
 * the window) catch it themselves through guarded().
 */
class Application : public QApplication {
    Q_OBJECT

public:
    Application(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace app
