#include "app/MainWindowStyle.h"

#include <QPainter>
#include <QStyleOptionMenuItem>

namespace app {

namespace {

constexpr int kPictureSize = 16;
constexpr int kPictureGap = 4;

const QStyleOptionMenuItem* pictureWithCaption(const QStyleOption* option)
{
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (item && !item->icon.isNull() && !item->text.isEmpty())
        return item;
    return nullptr;
}

int captionWidth(const QStyleOptionMenuItem& item)
{
    return item.fontMetrics.size(Qt::TextShowMnemonic, item.text).width();
}

} // namespace

MainWindowStyle::MainWindowStyle()
    : QProxyStyle(nullptr)
{
}

int MainWindowStyle::pixelMetric(
    PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    switch (metric) {
    case PM_ToolBarItemSpacing:
    case PM_ToolBarItemMargin:
    case PM_ToolBarFrameWidth:
        return 0;
    case PM_ToolBarSeparatorExtent:
        return kSeparatorWidth;
    case PM_ToolBarIconSize:
        return kPictureSize;
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

QSize MainWindowStyle::sizeFromContents(
    ContentsType type, const QStyleOption* option, const QSize& size, const QWidget* widget) const
{
    if (type == CT_MenuBarItem) {
        if (const QStyleOptionMenuItem* item = pictureWithCaption(option)) {
            const QSize caption = item->fontMetrics.size(Qt::TextShowMnemonic, item->text);
            const QSize content(kPictureSize + kPictureGap + caption.width(),
                std::max(kPictureSize, caption.height()));
            return QProxyStyle::sizeFromContents(type, option, content, widget);
        }
    }
    return QProxyStyle::sizeFromContents(type, option, size, widget);
}

void MainWindowStyle::drawControl(ControlElement element, const QStyleOption* option,
    QPainter* painter, const QWidget* widget) const
{
    const QStyleOptionMenuItem* item
        = element == CE_MenuBarItem ? pictureWithCaption(option) : nullptr;
    if (!item) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }

    // Let the style draw the item's background and highlight, then put picture and caption in.
    QStyleOptionMenuItem background(*item);
    background.text.clear();
    background.icon = QIcon();
    QProxyStyle::drawControl(element, &background, painter, widget);

    const bool enabled = item->state & State_Enabled;
    const int width = kPictureSize + kPictureGap + captionWidth(*item);
    const QRect area = item->rect;
    const int left = area.left() + (area.width() - width) / 2;
    const QRect picture(left, area.center().y() - kPictureSize / 2 + 1, kPictureSize, kPictureSize);
    item->icon.paint(painter, picture, Qt::AlignCenter, enabled ? QIcon::Normal : QIcon::Disabled);

    const QRect caption(picture.right() + 1 + kPictureGap, area.top(),
        area.right() - picture.right() - kPictureGap, area.height());
    drawItemText(painter, caption, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic,
        item->palette, enabled, item->text, QPalette::ButtonText);
}

} // namespace app
