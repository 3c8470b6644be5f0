#include "app/ErrorBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>

namespace app {

QString errorBoxText(const QString& message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

void showErrorBox(const QString& message)
{
    QMessageBox box(QMessageBox::Critical, QString::fromLatin1(kApplicationTitle),
        errorBoxText(message), QMessageBox::Ok, QApplication::activeWindow());
    box.setObjectName(QStringLiteral("ErrorBox"));
    box.exec();
}

void showPlainMessage(const QString& message)
{
    QMessageBox box(
        QMessageBox::NoIcon, QString::fromLatin1(kApplicationTitle), message, QMessageBox::Ok);
    box.setObjectName(QStringLiteral("PlainMessage"));
    // Not owned by any window, the box is centred on the screen rather than on the window.
    box.adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = box.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        box.move(frame.topLeft());
    }
    box.exec();
}

void reportFailure(std::exception_ptr failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        showErrorBox(QString::fromUtf8(e.what()));
    } catch (...) {
        showErrorBox(QStringLiteral("Unknown failure"));
    }
}

} // namespace app
