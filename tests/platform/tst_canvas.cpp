#include "platform/Canvas.h"

#include <QElapsedTimer>
#include <QFontDatabase>
#include <QFontInfo>
#include <QTest>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdlib>

using platform::Canvas;
using platform::PenStyle;

namespace {

const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kPen = qRgb(255, 0, 0);
const QRgb kBrush = qRgb(0, 0, 255);
const QRgb kInk = qRgb(0, 255, 0);
const std::array<QRgb, 5> kColours { kBlack, qRgb(255, 255, 255), kPen, kBrush, kInk };

// The pixels of @p area row by row, rows separated by '/': '.' black, 'w' white, 'P' pen,
// 'b' brush, 'T' font colour, '?' any other colour.
QString picture(const QImage& image, QRect area = {})
{
    if (area.isNull())
        area = image.rect();
    QStringList rows;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        QString row;
        for (int x = area.left(); x <= area.right(); ++x) {
            const auto found = std::find(kColours.begin(), kColours.end(), image.pixel(x, y));
            row += QLatin1Char(".wPbT?"[found - kColours.begin()]);
        }
        rows << row;
    }
    return rows.join(QLatin1Char('/'));
}

Canvas testCanvas(QSize size, PenStyle style = PenStyle::Solid)
{
    Canvas canvas(size);
    canvas.setPenColor(QColor(kPen));
    canvas.setBrushColor(QColor(kBrush));
    canvas.setFontColor(QColor(kInk));
    canvas.setPenStyle(style);
    return canvas;
}

void blacken(Canvas& canvas)
{
    canvas.setPenColor(QColor(kBlack));
    canvas.setBrushColor(QColor(kBlack));
    canvas.rectangle(0, 0, canvas.image().width(), canvas.image().height());
    canvas.setPenColor(QColor(kPen));
    canvas.setBrushColor(QColor(kBrush));
}

// The line by its rule, written out plainly: pixel k lies k steps along the longer axis, and the
// other coordinate is the nearest integer, an exact half going to the smaller one.
QImage referenceLine(QSize size, QPoint from, QPoint to, PenStyle style)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(kBlack);
    const QPoint d = to - from;
    const int length = std::max(std::abs(d.x()), std::abs(d.y()));
    const auto nearest = [](double v) { return static_cast<int>(std::ceil(v - 0.5)); };
    for (int k = 0; k < length; ++k) {
        const QPoint p = from
            + QPoint(nearest(double(k) * d.x() / length), nearest(double(k) * d.y() / length));
        if (image.rect().contains(p))
            image.setPixel(p, style == PenStyle::Dot && k % 6 >= 3 ? kBrush : kPen);
    }
    return image;
}

QString describe(QPoint p)
{
    return QStringLiteral("(%1,%2)").arg(p.x()).arg(p.y());
}

} // namespace

class TstCanvas : public QObject {
    Q_OBJECT

private slots:
    void lineExamples_data()
    {
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<QString>("expected"); // the pixels set, row by row
        QTest::newRow("(0,0)->(4,1)") << QPoint(0, 0) << QPoint(4, 1) << "(0,0)(1,0)(2,0)(3,1)";
        QTest::newRow("(0,1)->(4,0)") << QPoint(0, 1) << QPoint(4, 0) << "(2,0)(3,0)(0,1)(1,1)";
        QTest::newRow("(51,60)->(52,56)")
            << QPoint(51, 60) << QPoint(52, 56) << "(52,57)(51,58)(51,59)(51,60)";
        QTest::newRow("(7,5)->(7,5)") << QPoint(7, 5) << QPoint(7, 5) << "";
        QTest::newRow("(7,5)->(8,5)") << QPoint(7, 5) << QPoint(8, 5) << "(7,5)";
        QTest::newRow("(7,5)->(7,4)") << QPoint(7, 5) << QPoint(7, 4) << "(7,5)";
    }

    void lineExamples()
    {
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        QFETCH(QString, expected);
        Canvas canvas = testCanvas(QSize(64, 64));
        canvas.line(from.x(), from.y(), to.x(), to.y());
        QString set;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                if (canvas.image().pixel(x, y) != kBlack)
                    set += describe(QPoint(x, y));
        QCOMPARE(set, expected);
    }

    void linesInEveryDirectionFollowTheRule()
    {
        const QSize size(48, 48);
        const QPoint start(24, 24);
        Canvas solid = testCanvas(size);
        Canvas dotted = testCanvas(size, PenStyle::Dot);
        Canvas reverse = testCanvas(size);
        Canvas dottedReverse = testCanvas(size, PenStyle::Dot); // some start off the bitmap
        QStringList wrong;
        // Every end point up to 26 pixels away: all eight octants, the axes, the diagonals and
        // many exact halves; some end points lie off the bitmap.
        for (int dy = -26; dy <= 26; ++dy) {
            for (int dx = -26; dx <= 26; ++dx) {
                const QPoint end = start + QPoint(dx, dy);
                for (Canvas* canvas : { &solid, &dotted, &reverse, &dottedReverse })
                    blacken(*canvas);
                solid.line(start.x(), start.y(), end.x(), end.y());
                dotted.line(start.x(), start.y(), end.x(), end.y());
                if (solid.image() != referenceLine(size, start, end, PenStyle::Solid))
                    wrong << describe(end);
                if (dotted.image() != referenceLine(size, start, end, PenStyle::Dot))
                    wrong << describe(end) + QStringLiteral(" dotted");
                dottedReverse.line(end.x(), end.y(), start.x(), start.y());
                if (dottedReverse.image() != referenceLine(size, end, start, PenStyle::Dot))
                    wrong << describe(end) + QStringLiteral(" dotted, reversed");
                // The reverse line sets the same pixels but for the two end points.
                reverse.line(end.x(), end.y(), start.x(), start.y());
                solid.line(end.x(), end.y(), end.x() + 1, end.y());
                reverse.line(start.x(), start.y(), start.x() + 1, start.y());
                if (solid.image() != reverse.image())
                    wrong << describe(end) + QStringLiteral(" reversed");
            }
        }
        QCOMPARE(wrong, QStringList());
    }

    void dottedLinesRestartTheirPatternAndPaintTheGaps()
    {
        Canvas canvas = testCanvas(QSize(20, 2), PenStyle::Dot);
        canvas.setPenColor(Qt::white);
        canvas.line(0, 0, 20, 0);
        canvas.line(0, 1, 20, 1);
        canvas.setPenColor(QColor(kPen));
        canvas.line(0, 0, 4, 0);
        canvas.line(4, 0, 19, 0); // starts over at its own first pixel
        canvas.line(19, 1, 2, 1); // right to left; leaves out column 2
        QCOMPARE(picture(canvas.image()), "PPPbPPPbbbPPPbbbPPPw/wwwbbPPPbbbPPPbbbPPP");
    }

    void shapesAreClipped_data()
    {
        QTest::addColumn<bool>("isLine");
        QTest::addColumn<QList<int>>("coordinates");
        QTest::addColumn<QString>("expected");
        const QString blank = "......../......../......../......../......../........";
        const QString diagonal = "P......./.P....../..P...../...P..../....P.../.....P..";
        const auto rect = [](const char* name, const QList<int>& ltrb, const QString& expected) {
            QTest::addRow("rectangle %s", name) << false << ltrb << expected;
        };
        const auto line = [](const char* name, const QList<int>& from_to, const QString& expected) {
            QTest::addRow("line %s", name) << true << from_to << expected;
        };
        rect("(1,1,7,5)", { 1, 1, 7, 5 }, "......../.PPPPPP./.PbbbbP./.PbbbbP./.PPPPPP./........");
        rect("(3,0,4,6)", { 3, 0, 4, 6 }, "...P..../...P..../...P..../...P..../...P..../...P....");
        rect("(4,4,4,9)", { 4, 4, 4, 9 }, blank);
        rect("(MIN,MIN,MAX,MAX)", { INT_MIN, INT_MIN, INT_MAX, INT_MAX },
            "bbbbbbbb/bbbbbbbb/bbbbbbbb/bbbbbbbb/bbbbbbbb/bbbbbbbb");
        rect("(MIN,2,4,MAX)", { INT_MIN, 2, 4, INT_MAX },
            "......../......../PPPP..../bbbP..../bbbP..../bbbP....");
        rect("(100,1,MAX,5)", { 100, 1, INT_MAX, 5 }, blank);
        rect("(MIN,1,-3,5)", { INT_MIN, 1, -3, 5 }, blank);
        rect("(2,MIN,6,-1)", { 2, INT_MIN, 6, -1 }, blank);
        rect("(2,7,6,MAX)", { 2, 7, 6, INT_MAX }, blank);
        const QString row3 = "......../......../......../PPPPPPPP/......../........";
        line("(MIN,3)->(MAX,3)", { INT_MIN, 3, INT_MAX, 3 }, row3);
        line("(MAX,3)->(MIN,3)", { INT_MAX, 3, INT_MIN, 3 }, row3);
        line("(MIN,MIN)->(MAX,MAX)", { INT_MIN, INT_MIN, INT_MAX, INT_MAX }, diagonal);
        line("(MAX,MAX)->(MIN,MIN)", { INT_MAX, INT_MAX, INT_MIN, INT_MIN }, diagonal);
        // Column 3.5 and a little more, all the way down.
        line("(0,MIN)->(7,MAX)", { 0, INT_MIN, 7, INT_MAX },
            "....P.../....P.../....P.../....P.../....P.../....P...");
        line("(3,2)->(MAX,MAX)", { 3, 2, INT_MAX, INT_MAX },
            "......../......../...P..../....P.../.....P../......P.");
        // Passes the top-left corner diagonally, one pixel away.
        line("(MAX,MIN)->(MIN,MAX)", { INT_MAX, INT_MIN, INT_MIN, INT_MAX }, blank);
        line("(MIN,-1)->(MAX,-1)", { INT_MIN, -1, INT_MAX, -1 }, blank);
        line("(8,0)->(MAX,5)", { 8, 0, INT_MAX, 5 }, blank);
        line("(-1,MIN)->(-1,MAX)", { -1, INT_MIN, -1, INT_MAX }, blank);
    }

    void shapesAreClipped()
    {
        QFETCH(bool, isLine);
        QFETCH(QList<int>, coordinates);
        QFETCH(QString, expected);
        Canvas canvas = testCanvas(QSize(8, 6));
        const auto [a, b, c, d]
            = std::array { coordinates[0], coordinates[1], coordinates[2], coordinates[3] };
        QElapsedTimer timer; // a walk over 2^32 pixels off the bitmap would take many seconds
        timer.start();
        if (isLine)
            canvas.line(a, b, c, d);
        else
            canvas.rectangle(a, b, c, d);
        QVERIFY(timer.elapsed() < 1000);
        QCOMPARE(picture(canvas.image()), expected);
    }

    void rectangleWithPenAsBrushPaintsEverything()
    {
        Canvas canvas = testCanvas(QSize(5, 3));
        canvas.setPenColor(QColor(kBrush));
        canvas.rectangle(0, 0, 5, 3);
        QCOMPARE(picture(canvas.image()), "bbbbb/bbbbb/bbbbb");
    }

    void textFillsItsCellInTwoColours_data()
    {
        QTest::addColumn<QString>("text");
        QString ascii; // many glyphs new at once
        for (char c = '!'; c <= '~'; ++c)
            ascii += QLatin1Char(c);
        QTest::newRow("T, deg. C : 23.4") << QStringLiteral("T, deg. C : 23.4");
        QTest::newRow("Cyrillic") << QStringLiteral("Т, град. Ц : -5");
        QTest::newRow("Arabic") << QStringLiteral("درجة الحرارة");
        QTest::newRow("all ASCII") << ascii;
    }

    void textFillsItsCellInTwoColours()
    {
        QFETCH(QString, text);
        Canvas canvas = testCanvas(QSize(1000, 50));
        canvas.textOut(4, 6, text); // on a new canvas, before anything else measures the text
        const QRect cell(QPoint(4, 6), canvas.textSize(text));
        QVERIFY(cell.width() > 0 && cell.height() > 0);
        // Only the cell is painted, in the brush and the font colour and nothing in between.
        const QString all = picture(canvas.image());
        const QString inside = picture(canvas.image(), cell).remove(QLatin1Char('/'));
        QCOMPARE(all.count(QLatin1Char('T')) + all.count(QLatin1Char('b')), inside.size());
        QVERIFY(inside.count(QLatin1Char('T')) > 0);
        QVERIFY(!all.contains(QLatin1Char('?')));
        // The same text again, every glyph now drawn before, comes out the same.
        canvas.textOut(cell.x(), cell.y() + cell.height(), text);
        QCOMPARE(picture(canvas.image(), cell.translated(0, cell.height())),
            picture(canvas.image(), cell));
    }

    void shorterTextRepaintsOnlyItsOwnCell()
    {
        Canvas canvas = testCanvas(QSize(90, 20));
        canvas.textOut(2, 3, QStringLiteral("T : 888.8"));
        canvas.textOut(2, 3, QStringLiteral("T : 1.0"));
        Canvas alone = testCanvas(QSize(90, 20));
        alone.textOut(2, 3, QStringLiteral("T : 1.0"));
        const QRect shortCell(QPoint(2, 3), canvas.textSize(QStringLiteral("T : 1.0")));
        const QRect longCell(QPoint(2, 3), canvas.textSize(QStringLiteral("T : 888.8")));
        QCOMPARE(picture(canvas.image(), shortCell), picture(alone.image(), shortCell));
        const QRect rest = longCell.adjusted(shortCell.width(), 0, 0, 0);
        QVERIFY(picture(canvas.image(), rest).contains(QLatin1Char('T')));
    }

    void textIsClippedAtTheEdges_data()
    {
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<QString>("text");
        for (const char* script : { "Latin", "Arabic" }) {
            const QString text
                = script[0] == 'L' ? QStringLiteral("Mg,8") : QStringLiteral("حرارة");
            for (const QPoint at : { QPoint(-9, 3), QPoint(3, -7), QPoint(36, 3), QPoint(3, 12),
                     QPoint(INT_MAX, INT_MAX), QPoint(INT_MIN, INT_MIN), QPoint(INT_MIN, 3),
                     QPoint(3, INT_MAX), QPoint(INT_MAX - 9, 3) })
                QTest::addRow("%s at (%d,%d)", script, at.x(), at.y()) << at << text;
        }
        QTest::newRow("empty at (2,2)") << QPoint(2, 2) << QString();
    }

    void textIsClippedAtTheEdges()
    {
        QFETCH(QPoint, at);
        QFETCH(QString, text);
        const QSize size(40, 16);
        Canvas canvas = testCanvas(size);
        canvas.textOut(at.x(), at.y(), text);
        // What shows is the part of the same text on a larger bitmap that falls on this one.
        constexpr int margin = 100;
        Canvas larger = testCanvas(size + QSize(2 * margin, 2 * margin));
        if (std::abs(qint64(at.x())) < margin && std::abs(qint64(at.y())) < margin)
            larger.textOut(at.x() + margin, at.y() + margin, text);
        QCOMPARE(
            picture(canvas.image()), picture(larger.image(), QRect(QPoint(margin, margin), size)));
    }

    void fontHeights_data()
    {
        QTest::addColumn<int>("height");
        for (const int height : { -20, -1, 0, 1, 20, -100000, INT_MIN, INT_MAX })
            QTest::addRow("%d", height) << height;
    }

    void fontHeights()
    {
        QFETCH(int, height);
        Canvas canvas = testCanvas(QSize(60, 30));
        canvas.setFont(QStringLiteral("MS Sans Serif"), height);
        const QSize cell = canvas.textSize(QStringLiteral("Ag"));
        QVERIFY(cell.width() > 0 && cell.height() > 0 && cell.height() <= 4000);
        if (height < 0 && height >= -100) // the height of the characters, without the leading
            QCOMPARE(canvas.font().pixelSize(), -height);
        if (height > 1 && height <= 100) // the height of the whole cell
            QVERIFY2(
                std::abs(cell.height() - height) <= 1, qPrintable(QString::number(cell.height())));
        if (height == 0)
            QVERIFY(cell.height() >= 8 && cell.height() <= 20);
        canvas.textOut(1, 1, QStringLiteral("Ag"));
        const QString drawn
            = picture(canvas.image(), QRect(QPoint(1, 1), cell) & canvas.image().rect());
        QCOMPARE(drawn.count(QLatin1Char('b')) + drawn.count(QLatin1Char('T')),
            drawn.size() - drawn.count(QLatin1Char('/')));
        QVERIFY(cell.height() > 30 || drawn.contains(QLatin1Char('T')));
        // Glyphs drawn by a font that exists: the default face has a stand-in.
        QVERIFY(QFontDatabase::families().contains(QFontInfo(canvas.font()).family()));
    }

    void stateStaysUntilReset()
    {
        Canvas canvas = testCanvas(QSize(30, 16), PenStyle::Dot);
        canvas.setFont(QStringLiteral("DejaVu Sans"), -9);
        canvas.rectangle(0, 0, 30, 16);
        canvas.textOut(1, 1, QStringLiteral("Hi"));
        canvas.line(1, 14, 29, 14);
        QCOMPARE(picture(canvas.image(), QRect(1, 14, 28, 1)), "PPPbbbPPPbbbPPPbbbPPPbbbPPPb");
        QCOMPARE(canvas.font().pixelSize(), 9);

        // Afterwards the canvas draws as a new one does: black solid pen, white brush, black text.
        const auto draw = [](Canvas& c) {
            c.rectangle(0, 0, 20, 16);
            c.textOut(1, 1, QStringLiteral("Hi"));
            c.line(1, 14, 19, 14);
        };
        canvas.reset(QSize(20, 16));
        QCOMPARE(picture(canvas.image()), QStringList(16, QString(20, '.')).join('/'));
        Canvas fresh(QSize(20, 16));
        draw(canvas);
        draw(fresh);
        QCOMPARE(canvas.image(), fresh.image());
        const QStringList rows = picture(fresh.image()).split(QLatin1Char('/'));
        QCOMPARE(rows[13] + rows[14], ".wwwwwwwwwwwwwwwwww." + QString(20, '.'));
        QVERIFY(rows.join(QString()).remove(QLatin1Char('.')).remove(QLatin1Char('w')).isEmpty());
        QVERIFY(picture(fresh.image(), QRect(1, 1, 18, 12)).contains(QLatin1Char('.'))); // ink
    }
};

QTEST_MAIN(TstCanvas)
#include "tst_canvas.moc"
