#include "../support/ModalDialog.h"
#include "instrument/Unit3.h"
#include "numeric/Spin.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

template <typename T> T* child(const QObject& parent, const QString& name)
{
    T* found = parent.findChild<T*>(name);
    if (!found)
        qWarning("no child %s", qPrintable(name));
    return found;
}

} // namespace

// The regulator limits dialog: its layout, its keys, and the limits it reads from its fields.
class TstUnit3 : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TdlgRegParam> m_dlg;

    TSpinEdit* field(const char* name) const
    {
        return child<TSpinEdit>(*m_dlg, QString::fromLatin1(name));
    }
    QPushButton* button(const char* name) const
    {
        return child<QPushButton>(*m_dlg, QString::fromLatin1(name));
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void init() { m_dlg = std::make_unique<TdlgRegParam>(); }
    void cleanup() { m_dlg.reset(); }

    void windowIsAFixedDialogWithCloseButtonOnly()
    {
        QCOMPARE(m_dlg->windowTitle(), QStringLiteral("Параметры регулятора"));
        QCOMPARE(m_dlg->size(), QSize(217, 111));
        QCOMPARE(m_dlg->minimumSize(), m_dlg->maximumSize());
        const Qt::WindowFlags flags = m_dlg->windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowSystemMenuHint));
        QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowContextHelpButtonHint));
        QCOMPARE(m_dlg->font().pixelSize(), 11);
        QCOMPARE(
            m_dlg->palette().color(QPalette::Window), m_dlg->palette().color(QPalette::Button));

        const auto* grp1 = child<QGroupBox>(*m_dlg, QStringLiteral("grp1"));
        QVERIFY(grp1);
        QCOMPARE(grp1->title(), QStringLiteral("Пределы"));
        QCOMPARE(grp1->geometry(), QRect(0, 4, 217, 69));
    }

    void fieldsStartAtTheirRangesAndValues_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QPoint>("position");
        QTest::addColumn<int>("minValue");
        QTest::addColumn<int>("maxValue");
        QTest::addColumn<int>("value");
        QTest::newRow("se11") << "se11" << QPoint(88, 16) << 20 << 45 << 36;
        QTest::newRow("se12") << "se12" << QPoint(144, 16) << 0 << 9 << 5;
        QTest::newRow("se21") << "se21" << QPoint(88, 40) << 20 << 45 << 36;
        QTest::newRow("se22") << "se22" << QPoint(144, 40) << 0 << 9 << 7;
    }

    void fieldsStartAtTheirRangesAndValues()
    {
        QFETCH(QString, name);
        QFETCH(QPoint, position);
        QFETCH(int, minValue);
        QFETCH(int, maxValue);
        QFETCH(int, value);
        const auto* edit = child<TSpinEdit>(*m_dlg, name);
        QVERIFY(edit);
        QCOMPARE(edit->parentWidget()->objectName(), QStringLiteral("grp1"));
        QCOMPARE(edit->geometry(), QRect(position, QSize(41, 22)));
        QCOMPARE(edit->MinValue(), minValue);
        QCOMPARE(edit->MaxValue(), maxValue);
        QCOMPARE(edit->Value(), value);
        QCOMPARE(edit->text(), QString::number(value));
    }

    void labelsReadAsDegreesPointTenths_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QPoint>("position");
        QTest::newRow("lbl1") << "lbl1" << QStringLiteral("Нижний") << QPoint(24, 21);
        QTest::newRow("lbl2") << "lbl2" << QStringLiteral(".") << QPoint(136, 24);
        QTest::newRow("lbl3") << "lbl3" << QStringLiteral("Верхний") << QPoint(24, 45);
        QTest::newRow("lbl4") << "lbl4" << QStringLiteral(".") << QPoint(136, 48);
    }

    void labelsReadAsDegreesPointTenths()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QPoint, position);
        const auto* label = child<QLabel>(*m_dlg, name);
        QVERIFY(label);
        QCOMPARE(label->parentWidget()->objectName(), QStringLiteral("grp1"));
        QCOMPARE(label->text(), text);
        QCOMPARE(label->pos(), position);
        QCOMPARE(label->focusPolicy(), Qt::NoFocus);
    }

    void cancelStandsLeftOfTheDefaultOk()
    {
        QPushButton* ok = button("btn1");
        QPushButton* cancel = button("btn2");
        QVERIFY(ok && cancel);
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        QCOMPARE(ok->geometry(), QRect(120, 80, 75, 25));
        QVERIFY(ok->isDefault());
        QVERIFY(!ok->icon().isNull());
        QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
        QCOMPARE(cancel->geometry(), QRect(24, 80, 75, 25));
        QVERIFY(!cancel->isDefault());
        QVERIFY(!cancel->icon().isNull());
    }

    void tabRunsThroughTheFieldsThenOkThenCancel()
    {
        QStringList visited;
        const int result = execWith(*m_dlg, [&] {
            for (int step = 0; step < 7; ++step) {
                QWidget* focus = QApplication::focusWidget();
                visited << (focus ? focus->objectName() : QString());
                QTest::keyClick(focus, Qt::Key_Tab);
            }
        });
        QCOMPARE(result, kLeftOpen);
        QCOMPARE(visited, QStringList({ "se11", "se12", "se21", "se22", "btn1", "btn2", "se11" }));
    }

    void dialogKeysActWhereTheFocusAllows_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("result");
        QTest::newRow("Enter on OK") << "btn1" << int(Qt::Key_Return) << int(QDialog::Accepted);
        QTest::newRow("Enter on Cancel") << "btn2" << int(Qt::Key_Return) << int(QDialog::Rejected);
        QTest::newRow("Esc on OK") << "btn1" << int(Qt::Key_Escape) << int(QDialog::Rejected);
        QTest::newRow("Enter in a field") << "se11" << int(Qt::Key_Return) << kLeftOpen;
        QTest::newRow("Esc in a field") << "se22" << int(Qt::Key_Escape) << kLeftOpen;
    }

    void dialogKeysActWhereTheFocusAllows()
    {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(int, result);
        QWidget* target = child<QWidget>(*m_dlg, focus);
        QVERIFY(target);
        const int ended = execWith(*m_dlg, [&] {
            target->setFocus(Qt::TabFocusReason);
            QTest::keyClick(target, static_cast<Qt::Key>(key));
        });
        QCOMPARE(ended, result);
    }

    void limitsAreDegreesTimesTenPlusTenths_data()
    {
        QTest::addColumn<int>("lowDegrees");
        QTest::addColumn<int>("lowTenth");
        QTest::addColumn<int>("highDegrees");
        QTest::addColumn<int>("highTenth");
        QTest::addColumn<int>("lower");
        QTest::addColumn<int>("upper");
        QTest::newRow("36.5-36.7") << 36 << 5 << 36 << 7 << 365 << 367;
        QTest::newRow("40.0-30.0") << 40 << 0 << 30 << 0 << 400 << 300;
        QTest::newRow("20.0-45.9") << 20 << 0 << 45 << 9 << 200 << 459;
    }

    void limitsAreDegreesTimesTenPlusTenths()
    {
        QFETCH(int, lowDegrees);
        QFETCH(int, lowTenth);
        QFETCH(int, highDegrees);
        QFETCH(int, highTenth);
        QFETCH(int, lower);
        QFETCH(int, upper);
        field("se11")->setValue(lowDegrees);
        field("se12")->setValue(lowTenth);
        field("se21")->setValue(highDegrees);
        field("se22")->setValue(highTenth);
        QCOMPARE(m_dlg->lowerTenths(), lower);
        QCOMPARE(m_dlg->upperTenths(), upper);
    }

    void cancelKeepsWhatTheFieldsShowForTheNextOpening()
    {
        const int first = execWith(*m_dlg, [&] {
            field("se11")->setValue(41);
            field("se22")->setValue(2);
            QTest::mouseClick(button("btn2"), Qt::LeftButton);
        });
        QCOMPARE(first, int(QDialog::Rejected));

        int shownLower = 0;
        int shownUpper = 0;
        const int second = execWith(*m_dlg, [&] {
            shownLower = field("se11")->Value() * 10 + field("se12")->Value();
            shownUpper = field("se21")->Value() * 10 + field("se22")->Value();
            QTest::mouseClick(button("btn1"), Qt::LeftButton);
        });
        QCOMPARE(second, int(QDialog::Accepted));
        QCOMPARE(shownLower, 415);
        QCOMPARE(shownUpper, 362);
        QCOMPARE(m_dlg->lowerTenths(), 415);
        QCOMPARE(m_dlg->upperTenths(), 362);
    }

    void aTypedOutOfRangeNumberIsClampedBeforeOkReadsIt()
    {
        // Clicking OK takes the focus from the field, which then brings its text into range.
        const int result = execWith(*m_dlg, [&] {
            TSpinEdit* degrees = field("se11");
            degrees->setFocus(Qt::TabFocusReason);
            degrees->selectAll();
            QTest::keyClicks(degrees, QStringLiteral("99"));
            QCOMPARE(degrees->text(), QStringLiteral("99"));
            QTest::mouseClick(button("btn1"), Qt::LeftButton);
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(field("se11")->text(), QStringLiteral("45"));
        QCOMPARE(m_dlg->lowerTenths(), 455);
    }

    void anOverlongTypedNumberDoesNotOverflowTheLimit()
    {
        // Read while the field still shows what was typed, the limit saturates instead of
        // wrapping round.
        TSpinEdit* degrees = field("se11");
        degrees->setMinValue(0);
        degrees->setMaxValue(0);
        degrees->setValue(2000000000);
        QCOMPARE(m_dlg->lowerTenths(), std::numeric_limits<std::int32_t>::max());
    }
};

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    TstUnit3 test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_unit3.moc"
