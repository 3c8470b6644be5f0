#include "instrument/Unit3.h"

#include "numeric/Spin.h"
#include "platform/Fonts.h"
#include "platform/WindowPlacement.h"
#include "resources/Pictures.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include <limits>

namespace {

constexpr Qt::WindowFlags kWindowFlags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
    | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

// A limit is whole degrees from 20 to 45 and one digit of tenths.
constexpr std::int32_t kMinDegrees = 20;
constexpr std::int32_t kMaxDegrees = 45;
constexpr std::int32_t kMinTenth = 0;
constexpr std::int32_t kMaxTenth = 9;

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, const QPoint& position)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFocusPolicy(Qt::NoFocus);
    label->move(position);
    label->adjustSize();
    return label;
}

TSpinEdit* makeSpinEdit(QWidget* parent, const char* name, const QPoint& position,
    std::int32_t minValue, std::int32_t maxValue, std::int32_t value)
{
    auto* edit = new TSpinEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(QRect(position, QSize(41, 22)));
    // The range first: the value is written through it.
    edit->setMaxValue(maxValue);
    edit->setMinValue(minValue);
    edit->setValue(value);
    return edit;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption,
    resources::ToolPicture picture, const QPoint& position)
{
    // The icon makes the greyed picture of the disabled state by itself.
    auto* button = new QPushButton(QIcon(resources::toolPicture(picture)), caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(QRect(position, QSize(75, 25)));
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

// Whole degrees and tenths as one number of tenths; the fields' ranges keep it small, but a
// field that was never left may still show what was typed, so the sum must not overflow.
std::int32_t tenths(const TSpinEdit* degrees, const TSpinEdit* tenth)
{
    const std::int64_t sum = std::int64_t { degrees->Value() } * 10 + tenth->Value();
    if (sum > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (sum < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(sum);
}

} // namespace

TdlgRegParam::TdlgRegParam(QWidget* parent)
    : QDialog(parent, kWindowFlags)
{
    setObjectName(QStringLiteral("dlgRegParam"));
    setWindowTitle(QStringLiteral("Параметры регулятора"));
    setFixedSize(kClientWidth, kClientHeight);
    setFont(platform::windowFont(11));

    // A dialog box wears the button-face colour rather than the plain window colour.
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    setPalette(palette);

    grp1 = new QGroupBox(QStringLiteral("Пределы"), this);
    grp1->setObjectName(QStringLiteral("grp1"));
    grp1->setGeometry(0, 4, 217, 69);

    // Created in tab order: the four fields, then OK, then Cancel.
    lbl1 = makeLabel(grp1, "lbl1", QStringLiteral("Нижний"), QPoint(24, 21));
    se11 = makeSpinEdit(grp1, "se11", QPoint(88, 16), kMinDegrees, kMaxDegrees, 36);
    lbl2 = makeLabel(grp1, "lbl2", QStringLiteral("."), QPoint(136, 24));
    se12 = makeSpinEdit(grp1, "se12", QPoint(144, 16), kMinTenth, kMaxTenth, 5);
    lbl3 = makeLabel(grp1, "lbl3", QStringLiteral("Верхний"), QPoint(24, 45));
    se21 = makeSpinEdit(grp1, "se21", QPoint(88, 40), kMinDegrees, kMaxDegrees, 36);
    lbl4 = makeLabel(grp1, "lbl4", QStringLiteral("."), QPoint(136, 48));
    se22 = makeSpinEdit(grp1, "se22", QPoint(144, 40), kMinTenth, kMaxTenth, 7);

    btn1 = makeButton(
        this, "btn1", QStringLiteral("OK"), resources::ToolPicture::Start, QPoint(120, 80));
    btn1->setDefault(true);
    connect(btn1, &QPushButton::clicked, this, &QDialog::accept);

    // Esc reaches QDialog, which rejects: Cancel is the escape button by that alone.
    btn2 = makeButton(
        this, "btn2", QStringLiteral("Cancel"), resources::ToolPicture::Stop, QPoint(24, 80));
    connect(btn2, &QPushButton::clicked, this, &QDialog::reject);

    QWidget::setTabOrder(se11, se12);
    QWidget::setTabOrder(se12, se21);
    QWidget::setTabOrder(se21, se22);
    QWidget::setTabOrder(se22, btn1);
    QWidget::setTabOrder(btn1, btn2);
    se11->setFocus();
}

std::int32_t TdlgRegParam::lowerTenths() const
{
    return tenths(se11, se12);
}

std::int32_t TdlgRegParam::upperTenths() const
{
    return tenths(se21, se22);
}

void TdlgRegParam::setVisible(bool visible)
{
    // Centred before it shows, so the window system maps it there; a dialog moved after showing
    // may be put back by the platform.
    if (visible && !isVisible())
        platform::centreOnScreen(this);
    QDialog::setVisible(visible);
}
