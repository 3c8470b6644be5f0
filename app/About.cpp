#include "app/About.h"

#include "app/Version.h"
#include "platform/Fonts.h"
#include "platform/WindowPlacement.h"
#include "resources/Pictures.h"

#include <QDesktopServices>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QUrl>

namespace {

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, const QRect& geometry)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setFocusPolicy(Qt::NoFocus);
    label->setGeometry(geometry);
    return label;
}

void setTextColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

} // namespace

TDlgAbout::TDlgAbout(QWidget* parent)
    : QDialog(parent,
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("DlgAbout"));
    setWindowTitle(QStringLiteral("О программе"));
    setFixedSize(kClientWidth, kClientHeight);
    setFont(platform::windowFont(11));

    // A dialog box wears the button-face colour rather than the plain window colour.
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    setPalette(palette);

    const QColor blue(0x00, 0x00, 0xFF);

    Image1 = makeLabel(this, "Image1", QString(), QRect(8, 8, 32, 32));
    const QPixmap icon = resources::programIconPixmap();
    Image1->setPixmap(icon);
    if (!icon.isNull())
        Image1->resize(icon.deviceIndependentSize().toSize());

    Label1 = makeLabel(this, "Label1",
        QStringLiteral("Velmora Thermo ") + QString::fromLatin1(app::kVersion),
        QRect(48, 8, 255, 29));
    QFont titleFont = platform::windowFont(24);
    titleFont.setBold(true);
    titleFont.setItalic(true);
    Label1->setFont(titleFont);
    setTextColour(Label1, blue);

    Label2 = makeLabel(
        this, "Label2", QStringLiteral("© 2026 Velmora Instruments"), QRect(74, 40, 192, 13));

    Label3
        = makeLabel(this, "Label3", QString::fromLatin1(kWebAddressText), QRect(106, 56, 121, 13));
    Label3->setFont(platform::windowFont(11));
    setTextColour(Label3, blue);
    Label3->setCursor(Qt::PointingHandCursor);
    Label3->installEventFilter(this);

    BitBtn1 = new QPushButton(
        style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(122, 80, 75, 25);
    BitBtn1->setFocusPolicy(Qt::StrongFocus);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    BitBtn1->setFocus();
}

void TDlgAbout::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    // Every opening starts with the focus on OK, so Enter closes the dialog at once.
    BitBtn1->setFocus(Qt::ActiveWindowFocusReason);
}

void TDlgAbout::setVisible(bool visible)
{
    // Placed before it shows, so the window system maps it where it belongs; a dialog that is
    // moved after showing may be put back by the platform.
    if (visible && !isVisible())
        platform::centreOnScreen(this);
    QDialog::setVisible(visible);
}

void TDlgAbout::keyPressEvent(QKeyEvent* event)
{
    // A key that a child (the OK button) did not want is passed on to its window. The window
    // only reacts to keys typed while it holds the focus itself, so such a key is swallowed
    // here; this also keeps QDialog from closing the window on Escape.
    const QWidget* holder = focusWidget();
    if (holder && holder != this) {
        event->accept();
        return;
    }
    if (!event->text().isEmpty()) {
        FormKeyPress(event);
        return;
    }
    // Past QDialog on purpose, as said above. NOLINTNEXTLINE(bugprone-parent-virtual-call)
    QWidget::keyPressEvent(event);
}

bool TDlgAbout::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != Label3)
        return QDialog::eventFilter(watched, event);

    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        // The second press of a double click is no new click: the page opens once.
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton
            && !mouse->flags().testFlag(Qt::MouseEventCreatedDoubleClick))
            m_label3Pressed = true;
        return true;
    }
    case QEvent::MouseButtonDblClick:
        return true;
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            return true;
        // Releasing outside the label takes the click back.
        const bool click = m_label3Pressed && Label3->rect().contains(mouse->position().toPoint());
        m_label3Pressed = false;
        if (click)
            Label3Click();
        return true;
    }
    default:
        return QDialog::eventFilter(watched, event);
    }
}

void TDlgAbout::FormKeyPress(QKeyEvent* event)
{
    event->accept();
    reject();
}

void TDlgAbout::Label3Click()
{
    // Nothing is reported when no browser takes the address: the dialog simply stays open.
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(kWebAddress)));
}
