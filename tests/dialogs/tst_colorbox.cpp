#include "dialogs/ColorBox.h"

#include <QTest>

#include <set>

class TstColorBox : public QObject {
    Q_OBJECT

private slots:
    void rowsInOrder()
    {
        dialogs::ColorBox box;
        QVERIFY(!box.isEditable());
        QCOMPARE(box.count(), 50);
        const auto colors = dialogs::namedColors();
        QCOMPARE(colors.size(), std::size_t(50));
        std::set<std::int32_t> values;
        for (int row = 0; row < box.count(); ++row) {
            QCOMPARE(box.itemText(row), QString::fromLatin1(colors[std::size_t(row)].name));
            QCOMPARE(box.itemData(row).toInt(), colors[std::size_t(row)].value);
            QVERIFY(!box.itemIcon(row).isNull());
            values.insert(colors[std::size_t(row)].value);
        }
        QCOMPARE(values.size(), std::size_t(50));

        QCOMPARE(box.itemText(0), QStringLiteral("clBlack"));
        QCOMPARE(box.itemText(9), QStringLiteral("clRed"));
        QCOMPARE(box.itemData(9).toInt(), 0x0000FF);
        QCOMPARE(box.itemText(12), QStringLiteral("clBlue"));
        QCOMPARE(box.itemData(12).toInt(), 0xFF0000);
        QCOMPARE(box.itemText(17), QStringLiteral("clSkyBlue"));
        QCOMPARE(box.itemData(17).toInt(), 0xF0CAA6);
        QCOMPARE(box.itemText(20), QStringLiteral("clActiveBorder"));
        QCOMPARE(box.itemData(20).toInt(), static_cast<std::int32_t>(0xFF00000Au));
        QCOMPARE(box.itemText(44), QStringLiteral("clScrollBar"));
        QCOMPARE(box.itemData(44).toInt(), static_cast<std::int32_t>(0xFF000000u));
        QCOMPARE(box.itemText(49), QStringLiteral("clWindowText"));
        QCOMPARE(box.itemData(49).toInt(), static_cast<std::int32_t>(0xFF000008u));
    }

    void settingAValueSelectsItsRow_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("row");
        QTest::newRow("0 black") << 0 << QStringLiteral("clBlack");
        QTest::newRow("0x00FF00 lime") << 0x00FF00 << QStringLiteral("clLime");
        QTest::newRow("0x00FFFF yellow") << 0x00FFFF << QStringLiteral("clYellow");
        QTest::newRow("0xFF000008 window text")
            << static_cast<int>(0xFF000008u) << QStringLiteral("clWindowText");
    }

    void settingAValueSelectsItsRow()
    {
        QFETCH(int, value);
        QFETCH(QString, row);
        dialogs::ColorBox box;
        box.setSelected(value);
        QCOMPARE(box.currentText(), row);
        QCOMPARE(box.selected(), value);
    }

    void aColourOfNoRowIsKept()
    {
        dialogs::ColorBox box;
        box.setSelected(0x123456);
        QCOMPARE(box.currentIndex(), -1);
        QCOMPARE(box.selected(), 0x123456);
        // Showing the box does not turn it into another colour.
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QCOMPARE(box.selected(), 0x123456);

        // Once the user picks a row, that row's colour counts.
        box.setCurrentIndex(3);
        QCOMPARE(box.selected(), 0x008080);
        // A listed value after an unlisted one selects its row again.
        box.setSelected(0x123456);
        box.setSelected(0xFFFFFF);
        QCOMPARE(box.currentText(), QStringLiteral("clWhite"));
    }

    void rowsAreSixteenPixelsHigh()
    {
        dialogs::ColorBox box;
        QStyleOptionViewItem option;
        option.initFrom(&box);
        QCOMPARE(box.itemDelegate()->sizeHint(option, box.model()->index(0, 0)).height(),
            dialogs::ColorBox::kRowHeight);
    }
};

QTEST_MAIN(TstColorBox)
#include "tst_colorbox.moc"
