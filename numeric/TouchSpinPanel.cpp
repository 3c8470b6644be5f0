#include "numeric/TouchSpinPanel.h"

#include "platform/Fonts.h"

#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include <array>

namespace {

// The window's own font and the large one of the digits and the value field, which differs
// from it only in height.
constexpr int kFontPixelSize = 11;
constexpr int kDigitFontPixelSize = 37;

constexpr int kKeySize = 66;

struct DigitKey {
    const char* name;
    char digit;
    int column;
    int row;
    void (TTouchSpinPanelWnd::*click)();
};

// A telephone keypad: 1-2-3 on top, 0 under the middle of 7-8-9.
constexpr std::array<DigitKey, 10> kDigitKeys { {
    { "SpeedButton1", '1', 0, 0, &TTouchSpinPanelWnd::SpeedButton1Click },
    { "SpeedButton2", '2', 1, 0, &TTouchSpinPanelWnd::SpeedButton2Click },
    { "SpeedButton3", '3', 2, 0, &TTouchSpinPanelWnd::SpeedButton3Click },
    { "SpeedButton4", '4', 0, 1, &TTouchSpinPanelWnd::SpeedButton4Click },
    { "SpeedButton5", '5', 1, 1, &TTouchSpinPanelWnd::SpeedButton5Click },
    { "SpeedButton6", '6', 2, 1, &TTouchSpinPanelWnd::SpeedButton6Click },
    { "SpeedButton7", '7', 0, 2, &TTouchSpinPanelWnd::SpeedButton7Click },
    { "SpeedButton8", '8', 1, 2, &TTouchSpinPanelWnd::SpeedButton8Click },
    { "SpeedButton9", '9', 2, 2, &TTouchSpinPanelWnd::SpeedButton9Click },
    { "SpeedButton10", '0', 1, 3, &TTouchSpinPanelWnd::SpeedButton10Click },
} };

} // namespace

TTouchSpinPanelWnd::TTouchSpinPanelWnd(QWidget* parent)
    : QDialog(parent,
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("TouchSpinPanelWnd"));
    setWindowTitle(QStringLiteral("Сенсорная панель"));
    setFixedSize(kClientWidth, kClientHeight);

    const QFont windowFont = platform::windowFont(kFontPixelSize);
    setFont(windowFont);
    QFont digitFont = windowFont;
    digitFont.setPixelSize(kDigitFontPixelSize);

    // A dialog box wears the button-face colour rather than the plain window colour.
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    setPalette(palette);

    // The digit keys never take the focus, so it stays in the value field and Enter keeps
    // meaning OK however many digits were pressed.
    for (const DigitKey& key : kDigitKeys) {
        auto* button = new QPushButton(QString(QLatin1Char(key.digit)), this);
        button->setObjectName(QString::fromLatin1(key.name));
        button->setGeometry(key.column * kKeySize, key.row * kKeySize, kKeySize, kKeySize);
        button->setFont(digitFont);
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, key.click);
    }

    EditValue = new QLineEdit(this);
    EditValue->setObjectName(QStringLiteral("EditValue"));
    EditValue->setGeometry(0, 263, 197, 56);
    EditValue->setFont(digitFont);
    EditValue->setReadOnly(true);

    BitBtn1 = new QPushButton(
        style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(112, 320, 75, 33);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    BitBtn2 = new QPushButton(
        style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("Cancel"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(8, 320, 75, 33);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(EditValue, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
    EditValue->setFocus();

    // Placed before it shows: a window moved after showing may be put back by the platform, and
    // a window that was moved is not centred over its parent by the dialog.
    move(kScreenPosition);
}

QString TTouchSpinPanelWnd::valueText() const
{
    return EditValue->text();
}

void TTouchSpinPanelWnd::appendDigit(char digit)
{
    EditValue->setText(EditValue->text() + QLatin1Char(digit));
}

void TTouchSpinPanelWnd::SpeedButton1Click()
{
    appendDigit('1');
}
void TTouchSpinPanelWnd::SpeedButton2Click()
{
    appendDigit('2');
}
void TTouchSpinPanelWnd::SpeedButton3Click()
{
    appendDigit('3');
}
void TTouchSpinPanelWnd::SpeedButton4Click()
{
    appendDigit('4');
}
void TTouchSpinPanelWnd::SpeedButton5Click()
{
    appendDigit('5');
}
void TTouchSpinPanelWnd::SpeedButton6Click()
{
    appendDigit('6');
}
void TTouchSpinPanelWnd::SpeedButton7Click()
{
    appendDigit('7');
}
void TTouchSpinPanelWnd::SpeedButton8Click()
{
    appendDigit('8');
}
void TTouchSpinPanelWnd::SpeedButton9Click()
{
    appendDigit('9');
}
void TTouchSpinPanelWnd::SpeedButton10Click()
{
    appendDigit('0');
}
