#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <memory>

// Answers the next message box that opens modally while the returned guard lives: records what
// it showed, then presses OK. Tests take the guard before the action that opens the box; the
// box's own event loop runs the check. When no box opens, the guard stops looking as it goes.
struct MessageBoxSeen {
    bool shown = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    QPoint centre;
};

[[nodiscard]] inline std::unique_ptr<QTimer> answerNextMessageBox(MessageBoxSeen& seen)
{
    auto poll = std::make_unique<QTimer>();
    poll->setInterval(5);
    QTimer* timer = poll.get();
    QObject::connect(timer, &QTimer::timeout, timer, [timer, &seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen.shown = true;
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        seen.buttons = static_cast<int>(box->buttons().size());
        seen.centre = box->frameGeometry().center();
        timer->stop();
        box->button(QMessageBox::Ok)->click();
    });
    poll->start();
    return poll;
}
