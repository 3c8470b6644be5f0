#include "app/Application.h"

#include "app/ErrorBox.h"
#include "app/Version.h"
#include "platform/Beep.h"
#include "platform/HandlerBoundary.h"
#include "resources/Pictures.h"

namespace app {

Application::Application(int& argc, char** argv)
    : QApplication(argc, argv)
{
    // No display name: Qt would append it to the title of every other window.
    setApplicationName(QStringLiteral("velmora-thermo"));
    setApplicationVersion(QString::fromLatin1(kVersion));
    // Every window, and the task bar, shows the program's icon.
    setWindowIcon(resources::programIcon());
    platform::setBeepHandler(&QApplication::beep);
    // Every handler boundary reports to the error box from now on.
    platform::setFailureReporter(&showFailure);
}

Application::~Application()
{
    // No box can be shown once the application object is gone.
    platform::setFailureReporter({});
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        // Only a handler that skipped its boundary gets here, so say which event it was.
        qWarning("A failure escaped the handler of event %d for %s", int(event->type()),
            receiver ? receiver->metaObject()->className() : "no receiver");
        platform::reportFailure(std::current_exception());
        return false;
    }
}

} // namespace app
