#pragma once

#include <QDialog>
#include <QTest>
#include <QTimer>

#include <functional>

// The result a test gives a dialog that its keys or clicks left open.
inline constexpr int kLeftOpen = 42;

// Shows @p dialog modally, runs @p whileOpen once it is the active window, and returns how
// exec() ended. A dialog that is still open afterwards is ended with kLeftOpen.
inline int execWith(QDialog& dialog, const std::function<void()>& whileOpen)
{
    QTimer::singleShot(0, &dialog, [&] {
        if (QTest::qWaitFor([&] { return dialog.isActiveWindow(); }))
            whileOpen();
        if (dialog.isVisible())
            dialog.done(kLeftOpen);
    });
    return dialog.exec();
}
