#include "numeric/Spin.h"
#include "platform/Beep.h"
#include "platform/HandlerBoundary.h"
#include "resources/Pictures.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDialog>
#include <QInputMethodEvent>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <memory>
#include <stdexcept>

namespace {

int g_beeps = 0;
void countBeep()
{
    ++g_beeps;
}

// A repeat timer that only ticks when the test says so.
class ManualRepeatTimer final : public numeric::RepeatTimer {
public:
    using RepeatTimer::RepeatTimer;
    std::uint32_t interval() const override { return m_interval; }
    void setInterval(std::uint32_t milliseconds) override { m_interval = milliseconds; }
    bool isEnabled() const override { return m_enabled; }
    void setEnabled(bool enabled) override { m_enabled = enabled; }
    void tick()
    {
        if (m_enabled)
            emit timeout();
    }

private:
    std::uint32_t m_interval = 0;
    bool m_enabled = false;
};

ManualRepeatTimer* timerOf(const TTimerSpeedButton* arrow)
{
    return static_cast<ManualRepeatTimer*>(arrow->RepeatTimer());
}

// A window holding a plain edit (first in the tab order) and the field, shown and active, with
// the dialogs' 11-pixel font on the field so that 22 pixels is its minimum height.
struct Host {
    explicit Host(int width = 73, int height = 22)
    {
        other = new QLineEdit(&window);
        other->setGeometry(0, 0, 60, 22);
        field = new TSpinEdit(&window);
        QFont font = field->font();
        font.setPixelSize(11);
        field->setFont(font);
        field->setGeometry(0, 30, width, height);
        window.resize(200, 80);
        window.show();
        window.activateWindow();
        ready = QTest::qWaitForWindowActive(&window);
    }

    QWidget window;
    QLineEdit* other;
    TSpinEdit* field;
    bool ready = false;
};

// A field whose down step fails, as a descendant's step might.
class FailingStepEdit : public TSpinEdit {
public:
    using TSpinEdit::TSpinEdit;
    void StepDown() override
    {
        ++steps;
        throw std::runtime_error("step failed");
    }
    int steps = 0;
};

QString messageOf(const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("(no message)");
    }
}

void type(QWidget* widget, const QString& text)
{
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

} // namespace

class TstSpin : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        platform::setBeepHandler(&countBeep);
        // The system font of the desktop the dialogs were drawn on: a 16-pixel cell.
        QFont systemFont = QApplication::font();
        systemFont.setPixelSize(14);
        QApplication::setFont(systemFont);
        QCOMPARE(QFontMetrics(systemFont).height(), 16);
        numeric::setRepeatTimerFactory(
            [](QObject* parent) { return new ManualRepeatTimer(parent); });
    }

    void init() { g_beeps = 0; }

    void creation()
    {
        TSpinEdit field;
        QCOMPARE(field.text(), QStringLiteral("0"));
        QVERIFY(field.MinValue() == 0 && field.MaxValue() == 0 && field.Increment() == 1);
        QVERIFY(field.EditorEnabled() && field.AutoSelect());
        TSpinButton* pair = field.Button();
        QCOMPARE(pair->size(), QSize(15, 17));
        QVERIFY(pair->isVisibleTo(&field));
        QCOMPARE(pair->FocusControl(), &field);
        for (TTimerSpeedButton* arrow : { pair->UpButton(), pair->DownButton() }) {
            QCOMPARE(arrow->TimeBtnState(), TTimerSpeedButton::TimeBtnState::AutoRepeat);
            QCOMPARE(arrow->focusPolicy(), Qt::NoFocus);
        }
        // Black triangles of 1, 3, 5 and 7 pixels on a clear ground, apex up and down.
        const char* const up[]
            = { ".........", "....#....", "...###...", "..#####..", ".#######.", "........." };
        const QImage upImage = pair->UpGlyph().toImage();
        QCOMPARE(upImage.size(), QSize(9, 6));
        for (int y = 0; y < 6; ++y) {
            for (int x = 0; x < 9; ++x)
                QCOMPARE(upImage.pixel(x, y), up[y][x] == '#' ? 0xFF000000u : 0u);
        }
        QCOMPARE(pair->DownGlyph().toImage(), upImage.mirrored(false, true));
    }

    void valueReadsTheText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        // The range is 10..100, so a failure (10) differs from every number in the rows.
        QTest::newRow("42") << "42" << 42;
        QTest::newRow(" 42") << " 42" << 42;
        QTest::newRow("42 ") << "42 " << 10;
        QTest::newRow("-") << "-" << 10;
        QTest::newRow("007") << "007" << 7;
        QTest::newRow("$1F") << "$1F" << 31;
        QTest::newRow("12.5") << "12.5" << 10;
        QTest::newRow("empty") << "" << 10;
        QTest::newRow("1-2+") << "1-2+" << 10;
        QTest::newRow("99999 (not clamped)") << "99999" << 99999;
        QTest::newRow("-15 (not clamped)") << "-15" << -15;
    }

    void valueReadsTheText()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        TSpinEdit field;
        field.setMinValue(10);
        field.setMaxValue(100);
        field.setText(text);
        QCOMPARE(field.Value(), value);
        QCOMPARE(field.text(), text);
    }

    void valueWritesTheClampedNumber_data()
    {
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("written");
        QTest::addColumn<QString>("shown");
        QTest::newRow("1 in 600..10000") << 600 << 10000 << 1 << "600";
        QTest::newRow("10001 in 600..10000") << 600 << 10000 << 10001 << "10000";
        QTest::newRow("700 in 600..10000") << 600 << 10000 << 700 << "700";
        QTest::newRow("-7 with no range") << 0 << 0 << -7 << "-7";
        QTest::newRow("min int with no range") << 5 << 5 << INT32_MIN << "-2147483648";
        QTest::newRow("7 in inverted 10..5") << 10 << 5 << 7 << "10";
        QTest::newRow("12 in inverted 10..5") << 10 << 5 << 12 << "5";
        QTest::newRow("3 in inverted 10..5") << 10 << 5 << 3 << "10";
    }

    void valueWritesTheClampedNumber()
    {
        QFETCH(int, min);
        QFETCH(int, max);
        QFETCH(int, written);
        QFETCH(QString, shown);
        TSpinEdit field;
        field.setMinValue(min);
        field.setMaxValue(max);
        QCOMPARE(field.text(), QStringLiteral("0")); // the bounds leave the text alone
        field.setValue(written);
        QCOMPARE(field.text(), shown);
    }

    void changeFiresOnlyWhenTheTextChanges()
    {
        TSpinEdit field;
        field.setMinValue(600);
        field.setMaxValue(10000);
        QSignalSpy changes(&field, &TSpinEdit::OnChange);
        field.setValue(5);
        QCOMPARE(changes.count(), 1);
        field.setValue(600);
        field.setValue(1); // clamps to what is shown already
        QCOMPARE(changes.count(), 1);
        field.setValue(601);
        QCOMPARE(changes.count(), 2);
    }

    void dialogFields_data()
    {
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("shown");
        QTest::newRow("se1") << 600 << 10000 << 1 << 73 << "600";
        QTest::newRow("seEditTextSize") << 6 << 100 << 6 << 145 << "6";
        QTest::newRow("seEditGraphSize") << 6 << 100 << 8 << 145 << "8";
        QTest::newRow("se11") << 20 << 45 << 36 << 41 << "36";
        QTest::newRow("se21") << 20 << 45 << 36 << 41 << "36";
        QTest::newRow("se12") << 0 << 9 << 5 << 41 << "5";
        QTest::newRow("se22") << 0 << 9 << 7 << 41 << "7";
    }

    // Built as a form loads them: MaxValue, MinValue, then Value. A 22-pixel field puts a 15 x 17
    // pair at (Width - 20, 0) of its client area, which starts inside the 2-pixel sunken border,
    // with arrows 15 x 8 at the top and 15 x 10 from row 7; the text stops at client
    // Width - 4 - 15 - 2, one pixel short of the pair.
    void dialogFields()
    {
        QFETCH(int, min);
        QFETCH(int, max);
        QFETCH(int, stored);
        QFETCH(int, width);
        QFETCH(QString, shown);
        Host host(width, 22);
        QVERIFY(host.ready);
        TSpinEdit* field = host.field;
        field->setMaxValue(max);
        field->setMinValue(min);
        field->setValue(stored);
        QCOMPARE(field->text(), shown);
        QCOMPARE(field->MinHeight(), 22);
        QCOMPARE(field->height(), 22);
        QCOMPARE(field->Button()->geometry(), QRect(width - 18, 2, 15, 17));
        QCOMPARE(field->Button()->UpButton()->geometry(), QRect(0, 0, 15, 8));
        QCOMPARE(field->Button()->DownButton()->geometry(), QRect(0, 7, 15, 10));
        // A long number scrolls, so the cursor at its end shows where the text stops.
        field->setText(QStringLiteral("-2147483648"));
        field->repaint(); // the edit scrolls its text when it paints
        const QRect cursor = field->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        QVERIFY(cursor.center().x() < width - 19);
    }

    // The pair sits in the client area inside the sunken border; a flat field has none.
    // Minimum: the field's cell plus a quarter of the smaller of its cell and the system's 16-pixel
    // one, plus 4 border pixels and 2. A lower field is given that height.
    void layoutFollowsResizes_data()
    {
        QTest::addColumn<int>("pixelSize");
        QTest::addColumn<bool>("frame");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("minimum");
        QTest::addColumn<QRect>("pair");
        QTest::newRow("11 px, 73x5") << 11 << true << QSize(73, 5) << 22 << QRect(55, 2, 15, 17);
        QTest::newRow("10 px, 73x5") << 10 << true << QSize(73, 5) << 19 << QRect(55, 2, 15, 14);
        QTest::newRow("17 px, 73x5") << 17 << true << QSize(73, 5) << 30 << QRect(55, 2, 15, 25);
        QTest::newRow("100x41") << 11 << true << QSize(100, 41) << 22 << QRect(82, 2, 15, 36);
        QTest::newRow("74x22 flat") << 11 << false << QSize(74, 22) << 22 << QRect(59, 1, 15, 19);
    }

    void layoutFollowsResizes()
    {
        QFETCH(int, pixelSize);
        QFETCH(bool, frame);
        QFETCH(QSize, size);
        QFETCH(int, minimum);
        QFETCH(QRect, pair);
        Host host;
        QVERIFY(host.ready);
        QFont font = host.field->font();
        font.setPixelSize(pixelSize);
        host.field->setFont(font);
        host.field->setFrame(frame);
        host.field->resize(size);
        QCOMPARE(host.field->MinHeight(), minimum);
        QCOMPARE(host.field->size(), QSize(size.width(), std::max(size.height(), minimum)));
        QCOMPARE(host.field->Button()->geometry(), pair);
        // The arrows share one pixel row and fill the pair.
        const QRect up = host.field->Button()->UpButton()->geometry();
        const QRect down = host.field->Button()->DownButton()->geometry();
        QCOMPARE(up, QRect(0, 0, 15, pair.height() / 2));
        QCOMPARE(down.top(), up.bottom());
        QCOMPARE(down.bottom(), pair.height() - 1);
    }

    void typedCharacters_data()
    {
        QTest::addColumn<bool>("editorEnabled");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("beeps");
        QTest::addColumn<QString>("text");
        QTest::newRow("0123456789") << true << false << "0123456789" << 0 << "0123456789";
        QTest::newRow("1-2+") << true << false << "1-2+" << 0 << "1-2+";
        QTest::newRow("12.5") << true << false << "12.5" << 0 << "12.5";
        QTest::newRow("1a2") << true << false << "1a2" << 1 << "12";
        QTest::newRow("4 2,$") << true << false << "4 2,$" << 3 << "42";
        QTest::newRow("1Ж") << true << false << QString::fromUtf8("1Ж") << 1 << "1";
        QTest::newRow("CR") << true << false << "1\r" << 1 << "1";
        QTest::newRow("editor off: 5") << false << false << "5" << 1 << "";
        QTest::newRow("editor off: backspace") << false << false << "\b" << 1 << "";
        QTest::newRow("read-only: 5") << true << true << "5" << 0 << "";
        QTest::newRow("read-only: x") << true << true << "x" << 1 << "";
    }

    void typedCharacters()
    {
        QFETCH(bool, editorEnabled);
        QFETCH(bool, readOnly);
        QFETCH(QString, typed);
        QFETCH(QString, text);
        QFETCH(int, beeps);
        TSpinEdit field;
        field.clear();
        field.setEditorEnabled(editorEnabled);
        field.setReadOnly(readOnly);
        type(&field, typed);
        QCOMPARE(field.text(), text);
        QCOMPARE(g_beeps, beeps);
    }

    void editorOffRefusesBackspaceButNotSelection()
    {
        TSpinEdit field;
        field.setText(QStringLiteral("12"));
        field.setEditorEnabled(false);
        QTest::keyClick(&field, Qt::Key_Backspace);
        QTest::keyClick(&field, Qt::Key_Home);
        QTest::keyClick(&field, Qt::Key_Delete);
        QCOMPARE(field.text(), QStringLiteral("12"));
        QCOMPARE(g_beeps, 1); // only backspace is a refused character
        QTest::keyClick(&field, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(field.selectedText(), QStringLiteral("12"));
    }

    void enterAndEscapeStayInTheField()
    {
        QDialog dialog;
        auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
        ok->setDefault(true);
        QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
        auto* field = new TSpinEdit(&dialog);
        auto* other = new QLineEdit(&dialog);
        QSignalSpy finished(&dialog, &QDialog::finished);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));

        field->setFocus();
        field->setText(QStringLiteral("12"));
        QTest::keyClick(field, Qt::Key_Return);
        QTest::keyClick(field, Qt::Key_Enter, Qt::KeypadModifier);
        QTest::keyClick(field, Qt::Key_Escape);
        QCOMPARE(g_beeps, 2);
        QCOMPARE(field->text(), QStringLiteral("12"));
        QVERIFY(dialog.isVisible());
        QCOMPARE(finished.count(), 0);

        // The same keys in a plain edit do reach the dialog.
        other->setFocus();
        QTest::keyClick(other, Qt::Key_Escape);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toInt(), int(QDialog::Rejected));
    }

    void upDownKeysStep_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<bool>("editorEnabled");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("presses");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("beeps");
        QTest::newRow("Up") << false << true << int(Qt::Key_Up) << 1 << "6" << 0;
        QTest::newRow("Down") << false << true << int(Qt::Key_Down) << 1 << "4" << 0;
        QTest::newRow("Up held for 3 repeats") << false << true << int(Qt::Key_Up) << 4 << "9" << 0;
        QTest::newRow("Up held past the top") << false << true << int(Qt::Key_Up) << 9 << "9" << 0;
        QTest::newRow("Up, editor off") << false << false << int(Qt::Key_Up) << 1 << "6" << 0;
        QTest::newRow("Up, read-only") << true << true << int(Qt::Key_Up) << 2 << "5" << 2;
    }

    void upDownKeysStep()
    {
        QFETCH(bool, readOnly);
        QFETCH(bool, editorEnabled);
        QFETCH(int, key);
        QFETCH(int, presses);
        QFETCH(QString, text);
        QFETCH(int, beeps);
        TSpinEdit field;
        field.setMinValue(0);
        field.setMaxValue(9);
        field.setValue(5);
        field.setReadOnly(readOnly);
        field.setEditorEnabled(editorEnabled);
        // The keyboard's own repeat: one press, then repeated presses without a release.
        for (int i = 0; i < presses; ++i)
            QTest::simulateEvent(&field, true, key, Qt::NoModifier, QString(), i > 0);
        QTest::simulateEvent(&field, false, key, Qt::NoModifier, QString(), false);
        QCOMPARE(field.text(), text);
        QCOMPARE(g_beeps, beeps);
    }

    void pasteAndCutNeedAnEditableField_data()
    {
        QTest::addColumn<bool>("editorEnabled");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<QString>("text");
        const QKeySequence ctrlV(Qt::CTRL | Qt::Key_V), shiftIns(Qt::SHIFT | Qt::Key_Insert);
        const QKeySequence ctrlX(Qt::CTRL | Qt::Key_X), shiftDel(Qt::SHIFT | Qt::Key_Delete);
        QTest::newRow("Ctrl+V") << true << false << ctrlV << "$1F";
        QTest::newRow("Shift+Insert") << true << false << shiftIns << "$1F";
        QTest::newRow("Ctrl+X") << true << false << ctrlX << "";
        QTest::newRow("Shift+Delete") << true << false << shiftDel << "";
        QTest::newRow("editor off: Ctrl+V") << false << false << ctrlV << "7";
        QTest::newRow("editor off: Shift+Delete") << false << false << shiftDel << "7";
        QTest::newRow("read-only: Ctrl+V") << true << true << ctrlV << "7";
        QTest::newRow("read-only: Ctrl+X") << true << true << ctrlX << "7";
    }

    void pasteAndCutNeedAnEditableField()
    {
        QFETCH(bool, editorEnabled);
        QFETCH(bool, readOnly);
        QFETCH(QKeySequence, keys);
        QFETCH(QString, text);
        QApplication::clipboard()->setText(QStringLiteral("$1F"));
        TSpinEdit field;
        field.setText(QStringLiteral("7"));
        field.selectAll();
        field.setEditorEnabled(editorEnabled);
        field.setReadOnly(readOnly);
        QTest::keySequence(&field, keys);
        QCOMPARE(field.text(), text);
        QCOMPARE(g_beeps, 0);
        if (text == QStringLiteral("$1F"))
            QCOMPARE(field.Value(), 31); // pasted text skips the character filter
    }

    void contextMenuEditsOnlyWhileTheEditorIsOn_data()
    {
        QTest::addColumn<bool>("editorEnabled");
        QTest::addColumn<bool>("edits");
        QTest::newRow("editor on") << true << true;
        QTest::newRow("editor off") << false << false;
    }

    void contextMenuEditsOnlyWhileTheEditorIsOn()
    {
        QFETCH(bool, editorEnabled);
        QFETCH(bool, edits);
        Host host;
        QVERIFY(host.ready);
        TSpinEdit* field = host.field;
        field->setEditorEnabled(editorEnabled);
        field->selectAll();
        QApplication::clipboard()->setText(QStringLiteral("5"));
        QContextMenuEvent event(
            QContextMenuEvent::Mouse, QPoint(5, 5), field->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(field, &event);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu);
        const std::unique_ptr<QMenu> closeAtEnd(menu);
        QVERIFY(!field->isReadOnly());
        bool edited = false;
        for (QAction* action : menu->actions()) {
            if (action->isSeparator() || !action->isEnabled())
                continue;
            field->setText(QStringLiteral("0"));
            field->selectAll();
            action->trigger();
            edited = edited || field->text() != QStringLiteral("0");
        }
        QCOMPARE(edited, edits);
    }

    void focusEntry_data()
    {
        QTest::addColumn<bool>("autoSelect");
        QTest::addColumn<bool>("byMouse");
        QTest::addColumn<bool>("allSelected");
        QTest::newRow("Tab") << true << false << true;
        QTest::newRow("left click") << true << true << false;
        QTest::newRow("Tab, AutoSelect off") << false << false << false;
    }

    void focusEntry()
    {
        QFETCH(bool, autoSelect);
        QFETCH(bool, byMouse);
        QFETCH(bool, allSelected);
        Host host;
        QVERIFY(host.ready);
        host.field->setText(QStringLiteral("1234"));
        host.field->setAutoSelect(autoSelect);
        host.other->setFocus();
        QSignalSpy entered(host.field, &TSpinEdit::OnEnter);
        if (byMouse)
            QTest::mouseClick(host.field, Qt::LeftButton, {}, QPoint(4, 10));
        else
            QTest::keyClick(host.other, Qt::Key_Tab);
        QVERIFY(host.field->hasFocus());
        QCOMPARE(entered.count(), 1);
        QCOMPARE(host.field->selectedText() == QStringLiteral("1234"), allSelected);
    }

    void leavingClampsAfterExit_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("left");
        QTest::newRow("99999") << QString("99999") << QString("10000");
        QTest::newRow("5") << QString("5") << QString("600");
        QTest::newRow("700") << QString("700") << QString("700");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("12.5") << QString("12.5") << QString("12.5");
    }

    void leavingClampsAfterExit()
    {
        QFETCH(QString, typed);
        QFETCH(QString, left);
        Host host;
        QVERIFY(host.ready);
        TSpinEdit* field = host.field;
        field->setMinValue(600);
        field->setMaxValue(10000);
        field->setValue(600);
        QTest::keyClick(host.other, Qt::Key_Tab);
        QVERIFY(field->hasFocus());
        QTest::keyClick(field, Qt::Key_Backspace); // the whole text is selected
        type(field, typed);
        QCOMPARE(field->text(), typed);
        QString seenOnExit = QStringLiteral("(no exit)");
        connect(field, &TSpinEdit::OnExit, this, [&] { seenOnExit = field->text(); });
        QTest::keyClick(field, Qt::Key_Tab);
        QVERIFY(!field->hasFocus());
        QCOMPARE(seenOnExit, typed);
        QCOMPARE(field->text(), left);
    }

    void arrowClickStepsOnceOnRelease_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("after");
        QTest::newRow("36") << 36 << false << "37";
        QTest::newRow("45") << 45 << false << "45";
        QTest::newRow("36, read-only") << 36 << true << "36";
    }

    // se11: a short click steps once, on release.
    void arrowClickStepsOnceOnRelease()
    {
        QFETCH(int, start);
        QFETCH(bool, readOnly);
        QFETCH(QString, after);
        Host host(41, 22);
        QVERIFY(host.ready);
        TSpinEdit* se11 = host.field;
        se11->setMaxValue(45);
        se11->setMinValue(20);
        se11->setValue(start);
        se11->setReadOnly(readOnly);
        TTimerSpeedButton* up = se11->Button()->UpButton();
        QTest::mousePress(up, Qt::LeftButton);
        QVERIFY(se11->hasFocus()); // the press hands the focus to the field
        QVERIFY(up->isDown());
        QCOMPARE(timerOf(up)->interval(), 400u);
        QVERIFY(timerOf(up)->isEnabled());
        QCOMPARE(se11->text(), QString::number(start));
        QTest::mouseRelease(up, Qt::LeftButton);
        QCOMPARE(se11->text(), after);
        QCOMPARE(g_beeps, readOnly ? 1 : 0);
        QVERIFY(!timerOf(up)->isEnabled());
        QVERIFY(!up->isDown());
    }

    // Holding for one second: steps at 400 ms, then at 500, 600, ... 1000, and once on release.
    void heldArrowRepeats()
    {
        Host host;
        QVERIFY(host.ready);
        host.field->setValue(100);
        TTimerSpeedButton* down = host.field->Button()->DownButton();
        QTest::mousePress(down, Qt::LeftButton);
        ManualRepeatTimer* timer = timerOf(down);
        QCOMPARE(timer->interval(), 400u);
        timer->tick();
        QCOMPARE(timer->interval(), 100u);
        QCOMPARE(host.field->Value(), 99);
        for (int i = 0; i < 6; ++i)
            timer->tick();
        QCOMPARE(host.field->Value(), 93);
        QTest::mouseRelease(down, Qt::LeftButton);
        QCOMPARE(host.field->Value(), 92);
        QVERIFY(!timer->isEnabled());

        // Any button arms the timer again with the long pause, but only the left one clicks.
        QTest::mousePress(down, Qt::MiddleButton);
        QVERIFY(timer->isEnabled());
        QCOMPARE(timer->interval(), 400u);
        timer->tick();
        QTest::mouseRelease(down, Qt::MiddleButton);
        QCOMPARE(host.field->Value(), 92);
        QVERIFY(!timer->isEnabled());
    }

    void repeatsPauseWhileThePointerIsOff()
    {
        Host host;
        QVERIFY(host.ready);
        host.field->setValue(100);
        TTimerSpeedButton* up = host.field->Button()->UpButton();
        const QPoint off(up->width() + 10, up->height() / 2);
        QTest::mousePress(up, Qt::LeftButton);
        ManualRepeatTimer* timer = timerOf(up);
        QTest::mouseMove(up, off);
        QVERIFY(!up->isDown());
        timer->tick();
        timer->tick();
        QCOMPARE(host.field->Value(), 100);
        QTest::mouseMove(up, up->rect().center());
        timer->tick();
        QCOMPARE(host.field->Value(), 101);
        QTest::mouseMove(up, off);
        QTest::mouseRelease(up, Qt::LeftButton, {}, off); // released off the arrow: no click
        QCOMPARE(host.field->Value(), 101);
    }

    void theProgramsRepeatTimerIsArmedByAPress()
    {
        auto manual = numeric::setRepeatTimerFactory({});
        TSpinEdit field;
        TTimerSpeedButton* up = field.Button()->UpButton();
        QVERIFY(!up->RepeatTimer());
        QTest::mousePress(up, Qt::LeftButton);
        numeric::setRepeatTimerFactory(manual);
        QVERIFY(up->RepeatTimer());
        QVERIFY(up->RepeatTimer()->isEnabled());
        QCOMPARE(up->RepeatTimer()->interval(), 400u);
        QTest::mouseRelease(up, Qt::LeftButton);
        QVERIFY(!up->RepeatTimer()->isEnabled());
        QCOMPARE(field.text(), QStringLiteral("1"));
    }

    void hidingAHeldArrowEndsThePress()
    {
        Host host;
        QVERIFY(host.ready);
        TTimerSpeedButton* up = host.field->Button()->UpButton();
        QTest::mousePress(up, Qt::LeftButton);
        host.window.hide(); // no release will come
        QVERIFY(!timerOf(up)->isEnabled());
        host.window.show();
        timerOf(up)->setEnabled(true);
        timerOf(up)->tick();
        QCOMPARE(host.field->text(), QStringLiteral("0"));
        QTest::mouseRelease(up, Qt::LeftButton, {}, QPoint(-5, -5)); // QTest's button state
    }

    void stepsStopAtThe32BitLimits()
    {
        TSpinEdit field;
        field.setIncrement(10);
        field.setValue(INT32_MAX - 3);
        field.StepUp();
        QCOMPARE(field.Value(), INT32_MAX);
        field.setValue(INT32_MIN + 3);
        field.StepDown();
        QCOMPARE(field.Value(), INT32_MIN);
    }

    void doubleClickIsReported_data()
    {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<int>("reported");
        QTest::newRow("left") << Qt::LeftButton << 1;
        QTest::newRow("right") << Qt::RightButton << 0;
        QTest::newRow("middle") << Qt::MiddleButton << 0;
    }
    void doubleClickIsReported()
    {
        QFETCH(Qt::MouseButton, button);
        QFETCH(int, reported);
        Host host;
        QVERIFY(host.ready);
        QSignalSpy doubleClicks(host.field, &TSpinEdit::OnDblClick);
        QTest::mouseDClick(host.field, button, {}, QPoint(5, 10));
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close(); // the right button's menu
        QCOMPARE(doubleClicks.count(), reported);
    }

    // A failed step of a held arrow ends the press: one report, while the timer rests, and
    // no click on release.
    void failedRepeatClickEndsThePress()
    {
        QWidget window;
        auto* field = new FailingStepEdit(&window);
        field->setGeometry(0, 0, 73, 22);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        TTimerSpeedButton* down = field->Button()->DownButton();
        QStringList reported;
        bool timerRanDuringReport = true;
        const auto previous = platform::setFailureReporter([&](const std::exception_ptr& failure) {
            timerRanDuringReport = timerOf(down)->isEnabled();
            timerOf(down)->tick(); // a tick that falls due while the error box is open
            reported << messageOf(failure);
        });
        QTest::mousePress(down, Qt::LeftButton);
        timerOf(down)->tick();
        platform::setFailureReporter(previous);
        QCOMPARE(reported, QStringList { QStringLiteral("step failed") });
        QVERIFY(!timerRanDuringReport);
        QCOMPARE(field->steps, 1);
        QVERIFY(!timerOf(down)->isEnabled());
        QVERIFY(!down->isDown());
        QTest::mouseRelease(down, Qt::LeftButton);
        QCOMPARE(field->steps, 1);
    }

    void committedTextIsFiltered_data()
    {
        QTest::addColumn<bool>("editorEnabled");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("commit");
        QTest::addColumn<int>("replaced"); // characters before the cursor that the commit replaces
        QTest::addColumn<int>("beeps");
        QTest::addColumn<QString>("text");
        QTest::newRow("5") << true << "1"
                           << "5" << 0 << 0 << "15";
        QTest::newRow("-") << true << ""
                           << "-" << 0 << 0 << "-";
        QTest::newRow("dead key: e acute")
            << true << "1" << QString::fromUtf8("é") << 0 << 1 << "1";
        QTest::newRow("1a2") << true << ""
                             << "1a2" << 0 << 1 << "12";
        QTest::newRow("fullwidth 1") << true << "" << QString::fromUtf8("１") << 0 << 1 << "";
        QTest::newRow("beyond 16 bits") << true << "7" << QString::fromUtf8("😀") << 0 << 1 << "7";
        QTest::newRow("CR") << true << "7"
                            << "\r" << 0 << 1 << "7";
        QTest::newRow("replace 2 by 3") << true << "12"
                                        << "3" << 1 << 0 << "13";
        QTest::newRow("replace 2 by x") << true << "12"
                                        << "x" << 1 << 1 << "1";
        QTest::newRow("editor off: 5") << false << "1"
                                       << "5" << 0 << 1 << "1";
        QTest::newRow("editor off: replace") << false << "12"
                                             << "" << 1 << 0 << "12";
    }
    void committedTextIsFiltered()
    {
        QFETCH(bool, editorEnabled);
        QFETCH(QString, start);
        QFETCH(QString, commit);
        QFETCH(int, replaced);
        QFETCH(int, beeps);
        QFETCH(QString, text);
        TSpinEdit field;
        field.setText(start);
        field.setEditorEnabled(editorEnabled);
        // The composition shows first, then the input method commits the character.
        QInputMethodEvent composing(QStringLiteral("'"), {});
        QCoreApplication::sendEvent(&field, &composing);
        QInputMethodEvent committing;
        committing.setCommitString(commit, -replaced, replaced);
        QCoreApplication::sendEvent(&field, &committing);
        QCOMPARE(field.text(), text);
        QCOMPARE(g_beeps, beeps);
        QCOMPARE(field.inputMethodQuery(Qt::ImSurroundingText).toString(), text);
    }
};

QTEST_MAIN(TstSpin)
#include "tst_spin.moc"
