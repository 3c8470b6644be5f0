#include "app/Application.h"

#include "app/ErrorBox.h"
#include "app/Version.h"
#include "numeric/TouchSpinEdit.h"
#include "platform/Beep.h"
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
    // A bad keypad entry is reported from inside a double click, where it cannot be thrown on.
    TTouchSpinEdit::setErrorReporter(&reportFailure);
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        reportFailure(std::current_exception());
        return false;
    }
}

} // namespace app
