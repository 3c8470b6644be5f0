#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QHash>
#include <QImage>
#include <QPoint>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace platform {

enum class PenStyle {
    Solid,
    Dot, ///< three pixels on, three off, the gaps in the brush colour
};

/**
 * A bitmap with the drawing rules of the Windows device context the chart was designed on:
 * a one-pixel pen, a solid brush, lines that leave out their end point, text whose cell's
 * top-left corner is at the given point on an opaque background of the brush colour.
 * Everything outside the bitmap is clipped, however far outside it lies.
 *
 * Pen, brush and font stay as set from one call to the next, until reset() starts over on a
 * new bitmap. Text is set character by character, each at the advance of the one before (no
 * kerning), from glyphs drawn once per font; text in scripts whose letters join or combine goes
 * to the font system whole.
 */
class Canvas {
public:
    explicit Canvas(QSize size);

    const QImage& image() const { return m_image; }

    /**
     * Starts over on a new, black bitmap of @p size with a new bitmap's drawing state: black
     * solid pen, white solid brush, "MS Sans Serif" 11 pixels high in black.
     */
    void reset(QSize size);

    void setPenColor(QColor color) { m_pen = color.rgb(); }
    void setPenStyle(PenStyle style) { m_penStyle = style; }
    void setBrushColor(QColor color) { m_brush = color.rgb(); }
    void setFontColor(QColor color) { m_fontColor = color.rgb(); }

    /**
     * The face and height of the text. A negative @p height is the character height in pixels,
     * a positive one the height of the whole cell, 0 a default height. The style is regular, and
     * glyphs are drawn without anti-aliasing, in the font colour only.
     */
    void setFont(const QString& face, std::int32_t height);
    const QFont& font() const { return m_font; }

    /** Outlines columns left and right - 1, rows top and bottom - 1 with the pen (always solid)
     * and fills the inside with the brush. */
    void rectangle(int left, int top, int right, int bottom);

    /** Sets the pixels of the line from (x1, y1) towards (x2, y2), leaving out (x2, y2). */
    void line(int x1, int y1, int x2, int y2);

    /** The cell @p text takes: its advance width and the font's ascent plus descent. */
    QSize textSize(const QString& text) const;

    /** Writes @p text with its cell's top-left corner at (x, y), on the brush colour. */
    void textOut(int x, int y, const QString& text);

private:
    // A character as drawn in the current font: how far it moves the pen, and the pixels it sets,
    // relative to the top-left corner of its cell.
    struct Glyph {
        int advance = 0;
        std::vector<QPoint> ink;
    };
    // A node-based map: layOut() keeps pointers to glyphs while it adds new ones, and these must
    // survive the map growing (a QHash moves its elements when it grows).
    using GlyphCache = std::unordered_map<char32_t, Glyph>;

    /** Whether @p text is drawn character by character from the glyph cache: text of a font of
     * ordinary size in scripts whose characters stand on their own, without joining or marks. */
    bool drawnByCharacter(const QString& text) const;
    const Glyph& glyph(char32_t character) const;
    /** The glyphs of @p text, and the width they take together. */
    int layOut(const QString& text, std::vector<const Glyph*>& glyphs) const;
    void plot(std::int64_t x, std::int64_t y, QRgb color);
    void fill(
        std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom, QRgb color);

    QImage m_image;
    QRgb m_pen = 0;
    PenStyle m_penStyle = PenStyle::Solid;
    QRgb m_brush = 0;
    QRgb m_fontColor = 0;
    QFont m_font;
    std::optional<QFontMetrics> m_metrics;
    // Glyphs of the fonts used so far, by font; a chart uses two or three fonts at most.
    QHash<QString, std::shared_ptr<GlyphCache>> m_glyphCaches;
    std::shared_ptr<GlyphCache> m_glyphs;
    std::vector<const Glyph*> m_layout; // reused by textOut, so a readout allocates nothing
};

} // namespace platform
