#include "platform/WindowPlacement.h"

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace platform {

void centreOnScreen(QWidget* window)
{
    const QScreen* screen = window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    window->ensurePolished();
    if (window->layout())
        window->layout()->activate();
    // Creating the platform window (winId) lets it report the frame, where the platform knows it.
    window->winId();
    const QMargins frame
        = window->windowHandle() ? window->windowHandle()->frameMargins() : QMargins();
    QRect outline(QPoint(), window->size().grownBy(frame));
    outline.moveCenter(screen->availableGeometry().center());
    window->move(outline.topLeft());
}

} // namespace platform
