#include "app/ErrorBox.h"

#include "platform/WindowPlacement.h"

#include <QApplication>
#include <QMessageBox>

#include <utility>

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

namespace {

// A message box placed in the middle of the screen rather than over the active window.
// It is placed as it is about to show, once its size is known, because a window moved
// after showing may be put back by the platform.
class CentredMessageBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

    void setVisible(bool visible) override
    {
        if (visible && !isVisible()) {
            adjustSize();
            platform::centreOnScreen(this);
        }
        QMessageBox::setVisible(visible);
    }
};

} // namespace

void showPlainMessage(const QString& message)
{
    CentredMessageBox box(
        QMessageBox::NoIcon, QString::fromLatin1(kApplicationTitle), message, QMessageBox::Ok);
    box.setObjectName(QStringLiteral("PlainMessage"));
    box.exec();
}

void reportFailure(std::exception_ptr failure)
{
    try {
        std::rethrow_exception(std::move(failure));
    } catch (const std::exception& e) {
        showErrorBox(QString::fromUtf8(e.what()));
    } catch (...) {
        showErrorBox(QStringLiteral("Unknown failure"));
    }
}

} // namespace app
