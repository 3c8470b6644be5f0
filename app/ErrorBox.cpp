#include "app/ErrorBox.h"

#include "platform/WindowPlacement.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMessageBox>

#include <utility>

namespace app {

namespace {

// A message box that copies itself to the clipboard on Ctrl+C as a Windows message box does:
// title, text and buttons between rules, so that a user can paste a failure into a report.
class MessageBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->matches(QKeySequence::Copy)) {
            QGuiApplication::clipboard()->setText(copiedText());
            return;
        }
        QMessageBox::keyPressEvent(event);
    }

private:
    QString copiedText() const
    {
        const QString rule = QStringLiteral("---------------------------\n");
        QString copied = rule + windowTitle() + u'\n' + rule + text() + u'\n' + rule;
        for (const QAbstractButton* button : buttons())
            copied += QString(button->text()).remove(u'&') + QStringLiteral("   ");
        return copied + u'\n' + rule;
    }
};

} // namespace

QString errorBoxText(const QString& message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

void showErrorBox(const QString& message)
{
    MessageBox box(QMessageBox::Critical, QString::fromLatin1(kApplicationTitle),
        errorBoxText(message), QMessageBox::Ok, QApplication::activeWindow());
    box.setObjectName(QStringLiteral("ErrorBox"));
    box.exec();
}

namespace {

// A message box placed in the middle of the screen rather than over the active window.
// It is placed as it is about to show, once its size is known, because a window moved
// after showing may be put back by the platform.
class CentredMessageBox : public MessageBox {
public:
    using MessageBox::MessageBox;

    void setVisible(bool visible) override
    {
        if (visible && !isVisible()) {
            adjustSize();
            platform::centreOnScreen(this);
        }
        MessageBox::setVisible(visible);
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

void showFailure(std::exception_ptr failure)
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
