#include "chart/ChartRenderer.h"

namespace chart {

QImage newChartImage()
{
    return QImage(kChartWidth, kChartHeight, QImage::Format_RGB32);
}

QColor plainColor(std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    return QColor(static_cast<int>(bits & 0xFF), static_cast<int>((bits >> 8) & 0xFF),
        static_cast<int>((bits >> 16) & 0xFF));
}

void drawEmptyChart(QImage& image, std::int32_t brushColor)
{
    image.fill(plainColor(brushColor));
}

} // namespace chart
