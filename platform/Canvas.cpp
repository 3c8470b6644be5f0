#include "platform/Canvas.h"

#include "platform/Fonts.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

// Products of two 32-bit coordinates and a line length need more than 64 bits.
__extension__ using Wide = __int128;

// The nearest integer to num / den (den > 0), an exact half going to the smaller one.
Wide roundHalfDown(Wide num, Wide den)
{
    const Wide twice = 2 * num - den; // ceil(twice / (2 den)) is the answer
    const Wide divisor = 2 * den;
    return twice >= 0 ? (twice + divisor - 1) / divisor : -((-twice) / divisor);
}

constexpr int kDefaultPixelSize = 11;
// Larger text only shows more of one glyph; the bound keeps the font system's work finite.
constexpr int kLargestPixelSize = 2000;
constexpr qsizetype kGlyphCacheFonts = 8;
constexpr int kLargestCachedCell = 96;

// How far the parts of a glyph may reach beyond its cell (accents, tails, italic slant) and
// still be drawn.
int overhang(int cellHeight)
{
    return cellHeight / 2 + 2;
}

} // namespace

Canvas::Canvas(QSize size)
{
    reset(size);
}

void Canvas::reset(QSize size)
{
    m_image = QImage(size, QImage::Format_RGB32);
    m_image.fill(Qt::black);
    m_pen = qRgb(0, 0, 0);
    m_penStyle = PenStyle::Solid;
    m_brush = qRgb(255, 255, 255);
    m_fontColor = qRgb(0, 0, 0);
    setFont(QString::fromLatin1(kDefaultFaceName), -kDefaultPixelSize);
}

void Canvas::setFont(const QString& face, std::int32_t height)
{
    QFont font = fontForFace(face);
    font.setStyleStrategy(QFont::NoAntialias);
    int pixelSize = kDefaultPixelSize;
    if (height < 0) {
        pixelSize = height == INT32_MIN
            ? kLargestPixelSize
            : static_cast<int>(std::min<std::int64_t>(-std::int64_t(height), kLargestPixelSize));
    } else if (height > 0) {
        // A cell height: scale the character height so that ascent plus descent match it.
        font.setPixelSize(100);
        const QFontMetrics sample(font);
        const double cell = std::max(1, sample.ascent() + sample.descent());
        pixelSize = static_cast<int>(
            std::lround(std::min<double>(height, kLargestPixelSize) * 100 / cell));
    }
    font.setPixelSize(std::clamp(pixelSize, 1, kLargestPixelSize));
    m_font = font;
    m_metrics.emplace(m_font);

    const QString key = m_font.key();
    if (!m_glyphCaches.contains(key) && m_glyphCaches.size() >= kGlyphCacheFonts)
        m_glyphCaches.clear();
    std::shared_ptr<GlyphCache>& cache = m_glyphCaches[key];
    if (!cache)
        cache = std::make_shared<GlyphCache>();
    m_glyphs = cache;
}

bool Canvas::drawnByCharacter(const QString& text) const
{
    // Large glyphs are few and cost more to keep than to draw.
    if (m_metrics->ascent() + m_metrics->descent() > kLargestCachedCell)
        return false;
    for (const QChar ch : text) {
        if (ch.isSurrogate() || ch.isMark())
            return false;
        switch (ch.script()) {
        case QChar::Script_Common:
        case QChar::Script_Latin:
        case QChar::Script_Cyrillic:
        case QChar::Script_Greek:
            break;
        default:
            return false;
        }
    }
    return true;
}

const Canvas::Glyph& Canvas::glyph(char32_t character) const
{
    const auto found = m_glyphs->find(character);
    if (found != m_glyphs->end())
        return found->second;

    // Drawn once in white on black, with room all round for parts that reach beyond the cell.
    Glyph g;
    const QString text(QChar(static_cast<char16_t>(character)));
    g.advance = m_metrics->horizontalAdvance(text);
    const int cellHeight = m_metrics->ascent() + m_metrics->descent();
    const int margin = overhang(cellHeight);
    QImage scratch(g.advance + 2 * margin, cellHeight + 2 * margin, QImage::Format_RGB32);
    scratch.fill(Qt::black);
    {
        QPainter painter(&scratch);
        painter.setFont(m_font);
        painter.setPen(Qt::white);
        painter.drawText(margin, margin + m_metrics->ascent(), text);
    }
    for (int y = 0; y < scratch.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(scratch.constScanLine(y));
        for (int x = 0; x < scratch.width(); ++x) {
            if (qGray(row[x]) >= 128)
                g.ink.emplace_back(x - margin, y - margin);
        }
    }
    return m_glyphs->emplace(character, std::move(g)).first->second;
}

void Canvas::plot(std::int64_t x, std::int64_t y, QRgb color)
{
    if (x < 0 || y < 0 || x >= m_image.width() || y >= m_image.height())
        return;
    reinterpret_cast<QRgb*>(m_image.scanLine(static_cast<int>(y)))[x] = color;
}

void Canvas::fill(
    std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom, QRgb color)
{
    // Inclusive bounds, clipped to the bitmap.
    left = std::max<std::int64_t>(left, 0);
    top = std::max<std::int64_t>(top, 0);
    right = std::min<std::int64_t>(right, m_image.width() - 1);
    bottom = std::min<std::int64_t>(bottom, m_image.height() - 1);
    // Nothing left after clipping (or an empty area to begin with): a reversed range would
    // make std::fill run on past the row.
    if (left > right || top > bottom)
        return;
    for (std::int64_t y = top; y <= bottom; ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(m_image.scanLine(static_cast<int>(y)));
        std::fill(row + left, row + right + 1, color);
    }
}

void Canvas::rectangle(int left, int top, int right, int bottom)
{
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
    // The corners may lie as far apart as the whole int range: the width needs 64 bits.
    if (std::int64_t(right) - left < 1 || std::int64_t(bottom) - top < 1)
        return;
    fill(left, top, std::int64_t(right) - 1, std::int64_t(bottom) - 1, m_pen);
    fill(std::int64_t(left) + 1, std::int64_t(top) + 1, std::int64_t(right) - 2,
        std::int64_t(bottom) - 2, m_brush);
}

void Canvas::line(int x1, int y1, int x2, int y2)
{
    const Wide dx = Wide(x2) - x1;
    const Wide dy = Wide(y2) - y1;

    // Walk the longer axis one pixel at a time; the other coordinate follows, rounded.
    const bool alongX = (dx < 0 ? -dx : dx) >= (dy < 0 ? -dy : dy);
    const Wide major = alongX ? dx : dy;
    const Wide minor = alongX ? dy : dx;
    const Wide step = major > 0 ? 1 : -1;
    const Wide length = major * step; // pixels 0 .. length - 1; the end point is left out
    if (length == 0) // a line from a point to itself: its only pixel is the end point
        return;
    const Wide start = alongX ? x1 : y1;
    const Wide other = alongX ? y1 : x1;
    const Wide limit = alongX ? m_image.width() : m_image.height();

    // Only the pixels inside the bitmap along the longer axis are visited.
    Wide first = 0;
    Wide last = length - 1;
    if (step > 0) {
        first = std::max<Wide>(first, -start);
        last = std::min<Wide>(last, limit - 1 - start);
    } else {
        first = std::max<Wide>(first, start - (limit - 1));
        last = std::min<Wide>(last, start);
    }

    for (Wide k = first; k <= last; ++k) {
        const Wide along = start + step * k;
        // k pixels along the longer axis move k * minor / |major| along the other one.
        const Wide across = other + roundHalfDown(k * minor, length);
        const bool gap = m_penStyle == PenStyle::Dot && k % 6 >= 3;
        const QRgb color = gap ? m_brush : m_pen;
        if (alongX)
            plot(static_cast<std::int64_t>(along), static_cast<std::int64_t>(across), color);
        else
            plot(static_cast<std::int64_t>(across), static_cast<std::int64_t>(along), color);
    }
}

int Canvas::layOut(const QString& text, std::vector<const Glyph*>& glyphs) const
{
    glyphs.clear();
    int width = 0;
    for (const QChar ch : text) {
        glyphs.push_back(&glyph(ch.unicode()));
        width += glyphs.back()->advance;
    }
    return width;
}

QSize Canvas::textSize(const QString& text) const
{
    const int height = m_metrics->ascent() + m_metrics->descent();
    if (!drawnByCharacter(text))
        return QSize(m_metrics->horizontalAdvance(text), height);
    std::vector<const Glyph*> glyphs;
    return QSize(layOut(text, glyphs), height);
}

void Canvas::textOut(int x, int y, const QString& text)
{
    if (text.isEmpty())
        return;
    const int height = m_metrics->ascent() + m_metrics->descent();
    const bool byCharacter = drawnByCharacter(text);
    const int width = byCharacter ? layOut(text, m_layout) : m_metrics->horizontalAdvance(text);

    // Text far off the bitmap leaves it untouched. Past this point the cell lies near the bitmap,
    // so the font system only ever sees coordinates close to it.
    const std::int64_t reach = overhang(height);
    if (std::int64_t(x) + width + reach <= 0 || std::int64_t(y) + height + reach <= 0
        || std::int64_t(x) - reach >= m_image.width()
        || std::int64_t(y) - reach >= m_image.height())
        return;
    fill(x, y, std::int64_t(x) + width - 1, std::int64_t(y) + height - 1, m_brush);

    if (!byCharacter) {
        QPainter painter(&m_image);
        painter.setFont(m_font);
        painter.setPen(QColor(m_fontColor));
        painter.drawText(x, y + m_metrics->ascent(), text);
        return;
    }

    uchar* const bits = m_image.bits();
    const qsizetype stride = m_image.bytesPerLine();
    const std::int64_t w = m_image.width();
    const std::int64_t h = m_image.height();
    std::int64_t penX = x;
    for (const Glyph* g : m_layout) {
        for (const QPoint& p : g->ink) {
            const std::int64_t px = penX + p.x();
            const std::int64_t py = std::int64_t(y) + p.y();
            if (px >= 0 && py >= 0 && px < w && py < h)
                reinterpret_cast<QRgb*>(bits + py * stride)[px] = m_fontColor;
        }
        penX += g->advance;
    }
}

} // namespace platform
