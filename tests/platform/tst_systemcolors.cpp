#include "platform/SystemColors.h"

#include <QGuiApplication>
#include <QPalette>
#include <QTest>

#include <cstdint>

using platform::colorFromValue;

namespace {

// A palette in which every group and role has a colour of its own, different for each seed.
QPalette distinctivePalette(int seed)
{
    QPalette palette;
    for (int group = 0; group < QPalette::NColorGroups; ++group) {
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            palette.setColor(QPalette::ColorGroup(group), QPalette::ColorRole(role),
                QColor(10 + 60 * group + seed, 5 + 9 * role, 100 + seed));
        }
    }
    return palette;
}

const QColor kWindowText(11, 22, 33);
const QColor kButton(44, 55, 66);

std::int32_t value(std::uint32_t bits)
{
    return static_cast<std::int32_t>(bits);
}

} // namespace

class TstSystemColors : public QObject {
    Q_OBJECT

private slots:
    void colours_data()
    {
        QTest::addColumn<std::int32_t>("value");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("0") << value(0) << QColor(0, 0, 0);
        QTest::newRow("255") << value(255) << QColor(255, 0, 0);
        QTest::newRow("65280") << value(65280) << QColor(0, 255, 0);
        QTest::newRow("$FF0000") << value(0xFF0000) << QColor(0, 0, 255);
        QTest::newRow("$12345678") << value(0x12345678) << QColor(0x78, 0x56, 0x34);
        QTest::newRow("-16777208") << value(0xFF000008) << kWindowText;
        QTest::newRow("$FF00000F") << value(0xFF00000F) << kButton;
        QTest::newRow("$80000008") << value(0x80000008) << kWindowText;
        QTest::newRow("$FF000019") << value(0xFF000019) << QColor(0, 0, 0);
        QTest::newRow("$FF00001F") << value(0xFF00001F) << QColor(0, 0, 0);
        QTest::newRow("$FF0000FF") << value(0xFF0000FF) << QColor(0, 0, 0);
    }

    void colours()
    {
        QFETCH(std::int32_t, value);
        QFETCH(QColor, expected);
        QPalette palette = distinctivePalette(0);
        palette.setColor(QPalette::WindowText, kWindowText);
        palette.setColor(QPalette::Button, kButton);
        QGuiApplication::setPalette(palette);
        QCOMPARE(colorFromValue(value), expected);
    }

    void systemColoursFollowThePalette()
    {
        // Each of the 30 system colours a colour box offers is taken from the running palette
        // when asked for, so it changes with the palette.
        for (std::uint32_t index = 0; index < 31; ++index) {
            if (index == 25)
                continue;
            QGuiApplication::setPalette(distinctivePalette(0));
            const QColor before = colorFromValue(value(0xFF000000 | index));
            QGuiApplication::setPalette(distinctivePalette(1));
            const QColor after = colorFromValue(value(0xFF000000 | index));
            QVERIFY2(before != after, qPrintable(QString::number(index)));
        }
    }
};

QTEST_MAIN(TstSystemColors)
#include "tst_systemcolors.moc"
