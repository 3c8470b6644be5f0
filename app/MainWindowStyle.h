#pragma once

#include <QProxyStyle>

namespace app {

/**
 * The running style with two changes for the main window: the tool bar lays its buttons edge to
 * edge with 8-pixel separators and no frame, and a menu-bar item that has a picture shows its
 * caption beside it (Qt would show the picture alone).
 */
class MainWindowStyle : public QProxyStyle {
    Q_OBJECT

public:
    static constexpr int kSeparatorWidth = 8;

    MainWindowStyle();

    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
        const QWidget* widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
        const QWidget* widget) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
        const QWidget* widget = nullptr) const override;
};

} // namespace app
