#include "dialogs/ColorBox.h"

#include "platform/SystemColors.h"

#include <QPainter>
#include <QPixmap>
#include <QStyledItemDelegate>

#include <array>

namespace dialogs {

namespace {

constexpr std::int32_t systemColor(int index)
{
    return static_cast<std::int32_t>(0xFF000000u | static_cast<std::uint32_t>(index));
}

constexpr std::array<NamedColor, 50> kNamedColors { {
    { "clBlack", 0x000000 },
    { "clMaroon", 0x000080 },
    { "clGreen", 0x008000 },
    { "clOlive", 0x008080 },
    { "clNavy", 0x800000 },
    { "clPurple", 0x800080 },
    { "clTeal", 0x808000 },
    { "clGray", 0x808080 },
    { "clSilver", 0xC0C0C0 },
    { "clRed", 0x0000FF },
    { "clLime", 0x00FF00 },
    { "clYellow", 0x00FFFF },
    { "clBlue", 0xFF0000 },
    { "clFuchsia", 0xFF00FF },
    { "clAqua", 0xFFFF00 },
    { "clWhite", 0xFFFFFF },
    { "clMoneyGreen", 0xC0DCC0 },
    { "clSkyBlue", 0xF0CAA6 },
    { "clCream", 0xF0FBFF },
    { "clMedGray", 0xA4A0A0 },
    { "clActiveBorder", systemColor(10) },
    { "clActiveCaption", systemColor(2) },
    { "clAppWorkSpace", systemColor(12) },
    { "clBackground", systemColor(1) },
    { "clBtnFace", systemColor(15) },
    { "clBtnHighlight", systemColor(20) },
    { "clBtnShadow", systemColor(16) },
    { "clBtnText", systemColor(18) },
    { "clCaptionText", systemColor(9) },
    { "clGradientActiveCaption", systemColor(27) },
    { "clGradientInactiveCaption", systemColor(28) },
    { "clGrayText", systemColor(17) },
    { "clHighlight", systemColor(13) },
    { "clHighlightText", systemColor(14) },
    { "clHotLight", systemColor(26) },
    { "clInactiveBorder", systemColor(11) },
    { "clInactiveCaption", systemColor(3) },
    { "clInactiveCaptionText", systemColor(19) },
    { "clInfoBk", systemColor(24) },
    { "clInfoText", systemColor(23) },
    { "clMenu", systemColor(4) },
    { "clMenuBar", systemColor(30) },
    { "clMenuHighlight", systemColor(29) },
    { "clMenuText", systemColor(7) },
    { "clScrollBar", systemColor(0) },
    { "cl3DDkShadow", systemColor(21) },
    { "cl3DLight", systemColor(22) },
    { "clWindow", systemColor(5) },
    { "clWindowFrame", systemColor(6) },
    { "clWindowText", systemColor(8) },
} };

// Rows of the drop-down list are as high as the rows of the box itself.
class RowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(ColorBox::kRowHeight);
        return size;
    }
};

QPixmap swatch(std::int32_t value, int side)
{
    QPixmap picture(side, side);
    picture.fill(platform::colorFromValue(value));
    QPainter painter(&picture);
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, side - 1, side - 1);
    return picture;
}

} // namespace

std::span<const NamedColor> namedColors()
{
    return kNamedColors;
}

ColorBox::ColorBox(QWidget* parent)
    : QComboBox(parent)
{
    setEditable(false);
    setMaxVisibleItems(8);
    const int side = kRowHeight - 4;
    setIconSize(QSize(side, side));
    setItemDelegate(new RowDelegate(this));
    for (const NamedColor& color : kNamedColors)
        addItem(QIcon(swatch(color.value, side)), QString::fromLatin1(color.name), color.value);
}

void ColorBox::setSelected(std::int32_t value)
{
    m_unlisted = value;
    setCurrentIndex(findData(value));
}

std::int32_t ColorBox::selected() const
{
    const int row = currentIndex();
    return row < 0 ? m_unlisted : itemData(row).toInt();
}

} // namespace dialogs
