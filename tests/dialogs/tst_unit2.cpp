#include "../support/PtyPeer.h"
#include "app/Settings.h"
#include "dialogs/ColorBox.h"
#include "dialogs/Unit2.h"
#include "numeric/IntegerText.h"
#include "numeric/Spin.h"
#include "numeric/TouchSpinEdit.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

Q_DECLARE_METATYPE(QRect)

namespace {

constexpr int kDpi = 96;

// Settings that differ from the defaults and from the dialog's initial values everywhere.
app::Settings editedSettings()
{
    app::Settings settings(kDpi);
    settings.Port = QStringLiteral("ttyUSB3");
    settings.BaudRate = 115200;
    settings.NPoints = 2500;
    settings.MinY = -15;
    settings.MaxY = 120;
    settings.YCaption = QStringLiteral("time");
    settings.XCaption = QStringLiteral("temperature");
    settings.BrushGraphColor = 0x800080; // clPurple
    settings.PenGraphColor = static_cast<std::int32_t>(0xFF00000Du); // clHighlight
    settings.AxisGraphColor = 0xF0CAA6; // clSkyBlue
    settings.TextFont.setName(QStringLiteral("Liberation Serif"));
    settings.TextFont.setSize(14);
    settings.GraphFont.setName(QStringLiteral("Some Typeface Not Installed"));
    settings.GraphFont.setSize(9);
    return settings;
}

} // namespace

class TstUnit2 : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_noPorts;

    template <typename T> static T* child(const QObject& parent, const char* name)
    {
        return parent.findChild<T*>(QString::fromLatin1(name));
    }

    // Runs the dialog modally; @p action sees it open and closes it.
    static void runModal(TdlgParam& dialog, const std::function<void(TdlgParam&)>& action)
    {
        QTimer poll;
        poll.setInterval(5);
        connect(&poll, &QTimer::timeout, &poll, [&] {
            if (QApplication::activeModalWidget() != &dialog)
                return;
            poll.stop();
            action(dialog);
        });
        poll.start();
        dialog.exec();
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void creationListsThePortsPresentThen()
    {
        QTemporaryDir folder;
        PtyPeer com3;
        PtyPeer com7;
        QVERIFY(QFile::link(com3.devicePath(), folder.filePath(QStringLiteral("ttyS2"))));
        QVERIFY(QFile::link(com7.devicePath(), folder.filePath(QStringLiteral("ttyS6"))));

        TdlgParam dialog(nullptr, folder.path());
        auto* ports = dialog.findChild<QComboBox*>(QStringLiteral("cbbComboPorts"));
        QVERIFY(ports);
        QCOMPARE(ports->count(), 2);
        QCOMPARE(ports->itemText(0), QStringLiteral("COM3"));
        QCOMPARE(ports->itemText(1), QStringLiteral("COM7"));
        // The list only suggests: any name can be typed.
        QVERIFY(ports->isEditable());
    }

    void noPortsGiveAnEmptyList()
    {
        QTemporaryDir folder;
        TdlgParam dialog(nullptr, folder.path());
        QCOMPARE(dialog.findChild<QComboBox*>(QStringLiteral("cbbComboPorts"))->count(), 0);
    }

    void aTypedPortNameIsTakenAsItIs()
    {
        TdlgParam dialog(nullptr, m_noPorts.path());
        dialog.fill(app::Settings(kDpi), 800);
        child<QComboBox>(dialog, "cbbComboPorts")->setEditText(QStringLiteral("ttyACM9"));
        app::Settings settings(kDpi);
        std::uint32_t interval = 0;
        dialog.readBack(settings, interval);
        QCOMPARE(settings.Port, QStringLiteral("ttyACM9"));
        QCOMPARE(child<QComboBox>(dialog, "cbbComboPorts")->count(), 0);
    }

    void windowAndPages()
    {
        TdlgParam dialog(nullptr, m_noPorts.path());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Параметры"));
        QCOMPARE(dialog.size(), QSize(289, 382));
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        QVERIFY(!(dialog.windowFlags() & Qt::WindowMinMaxButtonsHint));
        QCOMPARE(dialog.font().pixelSize(), 11);

        auto* pages = child<QTabWidget>(dialog, "pgc1");
        QVERIFY(pages);
        QCOMPARE(pages->count(), 3);
        const QStringList names { "ts1", "ts2", "ts3" };
        const QStringList captions { "Управление", "Отображение", "Вид" };
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(pages->widget(i)->objectName(), names[i]);
            QCOMPARE(pages->tabText(i), captions[i]);
        }
        QCOMPARE(pages->currentIndex(), 0);

        auto* cancel = child<QPushButton>(dialog, "btn1");
        auto* ok = child<QPushButton>(dialog, "btn2");
        QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        QVERIFY(ok->isDefault());
        QVERIFY(!cancel->isDefault());
    }

    void controlPlaces_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("caption");
        const auto row
            = [](const char* name, const char* parent, QRect geometry, const char* caption = "") {
                  QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(parent)
                                      << geometry << QString::fromUtf8(caption);
              };
        row("pgc1", "dlgParam", QRect(0, 0, 289, 345));
        row("btn1", "dlgParam", QRect(56, 352, 75, 25), "Cancel");
        row("btn2", "dlgParam", QRect(152, 352, 75, 25), "OK");
        row("grp1", "ts1", QRect(8, 5, 265, 68), "Параметры порта");
        row("cbbComboPorts", "grp1", QRect(112, 16, 145, 21));
        row("cbbComboBaudRate", "grp1", QRect(112, 40, 145, 21));
        row("grp2", "ts1", QRect(8, 73, 265, 44), "Параметры таймера");
        row("se1", "grp2", QRect(184, 16, 73, 22));
        row("grp9", "ts1", QRect(8, 117, 265, 47), "Точки");
        row("seNPoints", "grp9", QRect(184, 16, 73, 22));
        row("grp7", "ts2", QRect(8, 5, 265, 68), "Оси");
        row("edt4", "grp7", QRect(112, 16, 121, 21));
        row("edt5", "grp7", QRect(112, 40, 121, 21));
        row("grp8", "ts2", QRect(8, 73, 265, 68), "Масштаб");
        row("edt6", "grp8", QRect(112, 16, 121, 21));
        row("edt7", "grp8", QRect(112, 40, 121, 21));
        row("grp3", "ts3", QRect(8, 6, 265, 239), "Оформление");
        row("clrbxBrushGraph", "grp3", QRect(112, 14, 145, 22));
        row("clrbxPenGraph", "grp3", QRect(112, 38, 145, 22));
        row("clrbxAxisGraph", "grp3", QRect(112, 62, 145, 22));
        row("grp4", "grp3", QRect(8, 88, 249, 70), "Шрифт текста");
        row("cbbTextFontBox", "grp4", QRect(96, 14, 145, 21));
        row("seEditTextSize", "grp4", QRect(96, 42, 145, 22));
        row("grp5", "grp3", QRect(8, 161, 249, 70), "Шрифт на графиках");
        row("cbbGraphFontBox", "grp5", QRect(96, 14, 145, 21));
        row("seEditGraphSize", "grp5", QRect(96, 42, 145, 22));
    }

    void controlPlaces()
    {
        QFETCH(QString, name);
        QFETCH(QString, parent);
        QFETCH(QRect, geometry);
        QFETCH(QString, caption);
        TdlgParam dialog(nullptr, m_noPorts.path());
        auto* widget = dialog.findChild<QWidget*>(name);
        QVERIFY(widget);
        QCOMPARE(widget->parentWidget()->objectName(), parent);
        QCOMPARE(widget->geometry(), geometry);
        if (auto* group = qobject_cast<QGroupBox*>(widget))
            QCOMPARE(group->title(), caption);
        if (auto* button = qobject_cast<QPushButton*>(widget))
            QCOMPARE(button->text(), caption);
    }

    void labels_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QPoint>("position");
        QTest::addColumn<QString>("caption");
        const auto row
            = [](const char* name, const char* parent, QPoint position, const char* caption) {
                  QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(parent)
                                      << position << QString::fromUtf8(caption);
              };
        row("lbl1", "grp1", QPoint(8, 21), "Номер");
        row("lbl2", "grp1", QPoint(8, 48), "Скорость");
        row("lbl3", "grp2", QPoint(8, 21), "Интервал опроса, мс");
        row("lbl18", "grp9", QPoint(8, 21), "Количество отображаемых точек");
        row("lbl14", "grp7", QPoint(8, 21), "Абсцисс");
        row("lbl15", "grp7", QPoint(8, 48), "Ординат");
        row("lbl16", "grp8", QPoint(8, 21), "Min");
        row("lbl17", "grp8", QPoint(8, 48), "Max");
        row("lbl4", "grp3", QPoint(8, 19), "Фон графиков");
        row("lbl5", "grp3", QPoint(8, 43), "Перо графиков");
        row("lbl6", "grp3", QPoint(8, 67), "Оси, цифры");
        row("lbl7", "grp4", QPoint(8, 18), "Название");
        row("lbl8", "grp4", QPoint(8, 42), "Размер");
        row("lbl9", "grp5", QPoint(8, 18), "Название");
        row("lbl10", "grp5", QPoint(8, 42), "Размер");
    }

    void labels()
    {
        QFETCH(QString, name);
        QFETCH(QString, parent);
        QFETCH(QPoint, position);
        QFETCH(QString, caption);
        TdlgParam dialog(nullptr, m_noPorts.path());
        auto* label = dialog.findChild<QLabel*>(name);
        QVERIFY(label);
        QCOMPARE(label->parentWidget()->objectName(), parent);
        QCOMPARE(label->pos(), position);
        QCOMPARE(label->text(), caption);
    }

    void numberFieldRanges_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("minValue");
        QTest::addColumn<int>("maxValue");
        QTest::newRow("se1") << QStringLiteral("se1") << 600 << 10000;
        QTest::newRow("seNPoints") << QStringLiteral("seNPoints") << 10 << 10000;
        QTest::newRow("seEditTextSize") << QStringLiteral("seEditTextSize") << 6 << 100;
        QTest::newRow("seEditGraphSize") << QStringLiteral("seEditGraphSize") << 6 << 100;
    }

    void numberFieldRanges()
    {
        QFETCH(QString, name);
        QFETCH(int, minValue);
        QFETCH(int, maxValue);
        TdlgParam dialog(nullptr, m_noPorts.path());
        auto* field = dialog.findChild<TSpinEdit*>(name);
        QVERIFY(field);
        QCOMPARE(field->MinValue(), minValue);
        QCOMPARE(field->MaxValue(), maxValue);
    }

    void initialContents()
    {
        TdlgParam dialog(nullptr, m_noPorts.path());
        // Only the point count is a touch field: a double tap opens the keypad.
        QVERIFY(qobject_cast<TTouchSpinEdit*>(child<TSpinEdit>(dialog, "seNPoints")));
        QVERIFY(!qobject_cast<TTouchSpinEdit*>(child<TSpinEdit>(dialog, "se1")));
        QCOMPARE(child<TSpinEdit>(dialog, "seNPoints")->Value(), 500);
        QCOMPARE(child<QComboBox>(dialog, "cbbComboPorts")->currentText(), QStringLiteral("COM1"));

        auto* baud = child<QComboBox>(dialog, "cbbComboBaudRate");
        QVERIFY(baud->isEditable());
        QCOMPARE(baud->currentText(), QStringLiteral("38400"));
        QStringList rates;
        for (int i = 0; i < baud->count(); ++i)
            rates << baud->itemText(i);
        QCOMPARE(rates,
            QStringList({ "100", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200",
                "38400", "56000", "57600", "115200", "128000", "256000" }));

        QCOMPARE(child<dialogs::ColorBox>(dialog, "clrbxBrushGraph")->currentText(),
            QStringLiteral("clWhite"));
        QCOMPARE(child<dialogs::ColorBox>(dialog, "clrbxPenGraph")->currentText(),
            QStringLiteral("clRed"));
        QCOMPARE(child<dialogs::ColorBox>(dialog, "clrbxAxisGraph")->currentText(),
            QStringLiteral("clBlue"));
    }

    void tabOrder()
    {
        TdlgParam dialog(nullptr, m_noPorts.path());
        const QStringList expected { "btn1", "btn2", "pgc1", "cbbComboBaudRate", "cbbComboPorts",
            "se1", "seNPoints", "edt4", "edt5", "edt6", "edt7", "clrbxBrushGraph", "clrbxPenGraph",
            "clrbxAxisGraph", "cbbTextFontBox", "seEditTextSize", "cbbGraphFontBox",
            "seEditGraphSize" };
        // Each focus stop counts for the named control it belongs to (the tab bar of the pages,
        // the line edit of an editable box); the arrows of a number field take no focus.
        QStringList seen;
        QWidget* widget = child<QPushButton>(dialog, "btn1");
        for (int steps = 0; steps < 500 && seen.size() < expected.size(); ++steps) {
            const bool stop = (widget->focusPolicy() & Qt::TabFocus) != 0;
            for (QWidget* owner = widget; stop && owner && owner != &dialog;
                 owner = owner->parentWidget()) {
                if (expected.contains(owner->objectName())) {
                    if (!seen.contains(owner->objectName()))
                        seen << owner->objectName();
                    break;
                }
            }
            widget = widget->nextInFocusChain();
        }
        QCOMPARE(seen, expected);
    }

    void fillAndReadBackEverySetting()
    {
        const app::Settings edited = editedSettings();
        TdlgParam dialog(nullptr, m_noPorts.path());
        dialog.fill(edited, 3000);

        QCOMPARE(child<QComboBox>(dialog, "cbbComboPorts")->currentText(), edited.Port);
        QCOMPARE(
            child<QComboBox>(dialog, "cbbComboBaudRate")->currentText(), QStringLiteral("115200"));
        QCOMPARE(child<TSpinEdit>(dialog, "se1")->text(), QStringLiteral("3000"));
        QCOMPARE(child<TSpinEdit>(dialog, "seNPoints")->text(), QStringLiteral("2500"));
        QCOMPARE(child<QLineEdit>(dialog, "edt4")->text(), QStringLiteral("time"));
        QCOMPARE(child<QLineEdit>(dialog, "edt5")->text(), QStringLiteral("temperature"));
        QCOMPARE(child<QLineEdit>(dialog, "edt6")->text(), QStringLiteral("-15"));
        QCOMPARE(child<QLineEdit>(dialog, "edt7")->text(), QStringLiteral("120"));
        QCOMPARE(child<dialogs::ColorBox>(dialog, "clrbxBrushGraph")->currentText(),
            QStringLiteral("clPurple"));
        QCOMPARE(child<dialogs::ColorBox>(dialog, "clrbxPenGraph")->currentText(),
            QStringLiteral("clHighlight"));
        QCOMPARE(child<dialogs::ColorBox>(dialog, "clrbxAxisGraph")->currentText(),
            QStringLiteral("clSkyBlue"));
        QCOMPARE(child<QComboBox>(dialog, "cbbTextFontBox")->currentText(),
            QStringLiteral("Liberation Serif"));
        QCOMPARE(child<TSpinEdit>(dialog, "seEditTextSize")->text(), QStringLiteral("14"));
        QCOMPARE(child<QComboBox>(dialog, "cbbGraphFontBox")->currentText(),
            QStringLiteral("Some Typeface Not Installed"));
        QCOMPARE(child<TSpinEdit>(dialog, "seEditGraphSize")->text(), QStringLiteral("9"));

        // Read back into the defaults, everything the dialog shows comes across; what it does
        // not show stays.
        app::Settings settings(kDpi);
        settings.A = 123;
        settings.ShowSignalFlag = false;
        std::uint32_t interval = 800;
        dialog.readBack(settings, interval);
        QCOMPARE(interval, 3000u);
        app::Settings expected = edited;
        expected.A = 123;
        expected.ShowSignalFlag = false;
        QCOMPARE(settings, expected);
    }

    void fieldsBringLoadedValuesIntoRange()
    {
        app::Settings loaded(kDpi);
        loaded.NPoints = 20000;
        loaded.TextFont.setSize(2);
        loaded.GraphFont.setSize(300);
        TdlgParam dialog(nullptr, m_noPorts.path());
        dialog.fill(loaded, 100);

        app::Settings settings = loaded;
        std::uint32_t interval = 100;
        dialog.readBack(settings, interval);
        QCOMPARE(interval, 600u);
        QCOMPARE(settings.NPoints, 10000);
        QCOMPARE(settings.TextFont.size(), 6);
        QCOMPARE(settings.GraphFont.size(), 100);

        // An interval beyond the signed range is as far above the field's maximum.
        dialog.fill(loaded, 0xFFFFFFF0u);
        dialog.readBack(settings, interval);
        QCOMPARE(interval, 10000u);
    }

    void typedNumbersOutOfRangeAreLimited()
    {
        // Closing the dialog while a field still has the focus leaves its text unclamped; the
        // values handed back are limited all the same.
        TdlgParam dialog(nullptr, m_noPorts.path());
        dialog.fill(app::Settings(kDpi), 800);
        child<TSpinEdit>(dialog, "se1")->setText(QStringLiteral("0"));
        child<TSpinEdit>(dialog, "seNPoints")->setText(QStringLiteral("-5"));
        child<TSpinEdit>(dialog, "seEditTextSize")->setText(QStringLiteral("abc"));
        child<TSpinEdit>(dialog, "seEditGraphSize")->setText(QStringLiteral("1000"));
        app::Settings settings(kDpi);
        std::uint32_t interval = 800;
        dialog.readBack(settings, interval);
        QCOMPARE(interval, 600u);
        QCOMPARE(settings.NPoints, 10);
        QCOMPARE(settings.TextFont.size(), 6);
        QCOMPARE(settings.GraphFont.size(), 100);
    }

    void scaleBoundsAreTakenAsTheyAre()
    {
        TdlgParam dialog(nullptr, m_noPorts.path());
        dialog.fill(app::Settings(kDpi), 800);
        child<QLineEdit>(dialog, "edt6")->setText(QStringLiteral("$1E"));
        child<QLineEdit>(dialog, "edt7")->setText(QStringLiteral("30"));
        child<QComboBox>(dialog, "cbbComboBaudRate")->setEditText(QStringLiteral("12345"));
        app::Settings settings(kDpi);
        std::uint32_t interval = 800;
        dialog.readBack(settings, interval);
        QCOMPARE(settings.MinY, 30);
        QCOMPARE(settings.MaxY, 30);
        QCOMPARE(settings.BaudRate, 12345);
    }

    void fontNames()
    {
        // An empty name keeps the font's name; a long one is cut to the font's limit.
        TdlgParam dialog(nullptr, m_noPorts.path());
        const app::Settings edited = editedSettings();
        dialog.fill(edited, 800);
        child<QComboBox>(dialog, "cbbTextFontBox")->setEditText(QString());
        child<QComboBox>(dialog, "cbbGraphFontBox")->setEditText(QString(40, QLatin1Char('x')));
        app::Settings settings = edited;
        std::uint32_t interval = 800;
        dialog.readBack(settings, interval);
        QCOMPARE(settings.TextFont.name(), QStringLiteral("Liberation Serif"));
        QCOMPARE(settings.GraphFont.name(), QString(31, QLatin1Char('x')));
    }

    void failingConversion_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("appliedSteps");
        QTest::newRow("baud rate '9600 '")
            << QStringLiteral("cbbComboBaudRate") << QStringLiteral("9600 ")
            << QStringLiteral("'9600 ' is not a valid integer value") << 1;
        QTest::newRow("lower bound 'ten'")
            << QStringLiteral("edt6") << QStringLiteral("ten")
            << QStringLiteral("'ten' is not a valid integer value") << 6;
        QTest::newRow("upper bound empty")
            << QStringLiteral("edt7") << QString()
            << QStringLiteral("'' is not a valid integer value") << 7;
    }

    void failingConversion()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QString, message);
        QFETCH(int, appliedSteps);

        const app::Settings edited = editedSettings();
        TdlgParam dialog(nullptr, m_noPorts.path());
        dialog.fill(edited, 3000);
        if (auto* box = dialog.findChild<QComboBox*>(field))
            box->setEditText(text);
        else
            dialog.findChild<QLineEdit*>(field)->setText(text);

        const app::Settings before(kDpi);
        app::Settings settings = before;
        std::uint32_t interval = 800;
        QString error;
        try {
            dialog.readBack(settings, interval);
        } catch (const numeric::ConversionError& failure) {
            error = QString::fromUtf8(failure.what());
        }
        QCOMPARE(error, message);

        // The steps in reading order; those before the failing one have been taken.
        const std::function<bool()> applied[] = {
            [&] { return settings.Port == edited.Port; },
            [&] { return settings.BaudRate == edited.BaudRate; },
            [&] { return interval == 3000u; },
            [&] { return settings.NPoints == edited.NPoints; },
            [&] { return settings.YCaption == edited.YCaption; },
            [&] { return settings.XCaption == edited.XCaption; },
            [&] { return settings.MinY == edited.MinY; },
            [&] { return settings.MaxY == edited.MaxY; },
            [&] { return settings.BrushGraphColor == edited.BrushGraphColor; },
            [&] { return settings.PenGraphColor == edited.PenGraphColor; },
            [&] { return settings.AxisGraphColor == edited.AxisGraphColor; },
            [&] { return settings.TextFont == edited.TextFont; },
            [&] { return settings.GraphFont == edited.GraphFont; },
        };
        for (int step = 0; step < int(std::size(applied)); ++step)
            QVERIFY2(applied[step]() == (step < appliedSteps), qPrintable(QString::number(step)));
        QVERIFY(settings.TextFont == before.TextFont);
        QVERIFY(settings.GraphFont == before.GraphFont);
    }

    void fontLists()
    {
        TdlgParam dialog(nullptr, m_noPorts.path());
        const QStringList expected = dialogs::fontNameList(QFontDatabase::families());
        for (const char* name : { "cbbTextFontBox", "cbbGraphFontBox" }) {
            auto* box = child<QComboBox>(dialog, name);
            QVERIFY(box->isEditable());
            QStringList listed;
            for (int i = 0; i < box->count(); ++i)
                listed << box->itemText(i);
            QCOMPARE(listed, expected);
            QVERIFY(listed.contains(QStringLiteral("Default")));
        }
    }

    void fontNameListSortsAndTakesEachNameOnce()
    {
        QCOMPARE(dialogs::fontNameList({}), QStringList({ "Default" }));
        QCOMPARE(dialogs::fontNameList({ "Zeta", "arial", "Arial", "beta", "DejaVu Sans" }),
            QStringList({ "Arial", "beta", "Default", "DejaVu Sans", "Zeta" }));
        // The default face keeps its own entry, whatever a family of that name is spelt like.
        QCOMPARE(
            dialogs::fontNameList({ "default", "Courier" }), QStringList({ "Courier", "Default" }));
        QCOMPARE(
            dialogs::fontNameList({ "DEFAULT", "Courier" }), QStringList({ "Courier", "Default" }));
    }

    // A name is shown as the settings hold it; the list's row of that name, in whatever letter
    // case, is the current one, so that the opened list starts there.
    void fontNameSelectsItsRow_data()
    {
        const QStringList fonts = dialogs::fontNameList(QFontDatabase::families());
        QVERIFY(fonts.size() >= 2);
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("row");
        for (const char* name : { "Default", "default", "DEFAULT" })
            QTest::newRow(name) << QString::fromLatin1(name) << QStringLiteral("Default");
        QTest::newRow("last family in upper case") << fonts.last().toUpper() << fonts.last();
        QTest::newRow("Some Typeface Not Installed")
            << QStringLiteral("Some Typeface Not Installed") << QString();
    }

    void fontNameSelectsItsRow()
    {
        QFETCH(QString, name);
        QFETCH(QString, row);

        TdlgParam dialog(nullptr, m_noPorts.path());
        app::Settings settings = editedSettings();
        // The rows chosen at the opening before must not stay current.
        dialog.fill(settings, 800);
        for (const char* box : { "cbbTextFontBox", "cbbGraphFontBox" })
            child<QComboBox>(dialog, box)->setCurrentIndex(1);

        settings.TextFont.setName(name);
        settings.GraphFont.setName(name);
        dialog.fill(settings, 800);
        for (const char* box : { "cbbTextFontBox", "cbbGraphFontBox" }) {
            auto* names = child<QComboBox>(dialog, box);
            QCOMPARE(names->currentText(), name);
            QCOMPARE(names->currentIndex() < 0 ? QString() : names->itemText(names->currentIndex()),
                row);
        }

        // Opened and closed unchanged, the dialog hands the names back as they were written.
        app::Settings read(kDpi);
        std::uint32_t interval = 800;
        dialog.readBack(read, interval);
        QCOMPARE(read.TextFont.name(), name);
        QCOMPARE(read.GraphFont.name(), name);
    }

    void opensCentredOnTheScreen()
    {
        // Centred on the screen, not over an owner window in a corner.
        QWidget owner;
        owner.setGeometry(0, 0, 200, 100);
        owner.show();
        TdlgParam dialog(&owner, m_noPorts.path());
        QPoint centre;
        runModal(dialog, [&](TdlgParam& open) {
            centre = open.frameGeometry().center();
            child<QPushButton>(open, "btn2")->click();
        });
        const QPoint screenCentre = dialog.screen()->availableGeometry().center();
        QVERIFY2((centre - screenCentre).manhattanLength() <= 2,
            qPrintable(QStringLiteral("centre (%1, %2), screen's (%3, %4)")
                           .arg(centre.x())
                           .arg(centre.y())
                           .arg(screenCentre.x())
                           .arg(screenCentre.y())));
    }

    void shownPageIsKeptBetweenOpenings()
    {
        TdlgParam dialog(nullptr, m_noPorts.path());
        auto* pages = child<QTabWidget>(dialog, "pgc1");
        runModal(dialog, [&](TdlgParam& open) {
            pages->setCurrentIndex(2);
            child<QPushButton>(open, "btn2")->click();
        });
        dialog.fill(app::Settings(kDpi), 800);
        int shown = -1;
        runModal(dialog, [&](TdlgParam& open) {
            shown = pages->currentIndex();
            child<QPushButton>(open, "btn1")->click();
        });
        QCOMPARE(shown, 2);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }
};

QTEST_MAIN(TstUnit2)
#include "tst_unit2.moc"
