#include "../support/ModalDialog.h"
#include "numeric/TouchSpinEdit.h"
#include "numeric/TouchSpinPanel.h"
#include "platform/HandlerBoundary.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <functional>
#include <memory>
#include <utility>

namespace {

// The result a test gives a keypad that its keys or clicks left open.
enum class Finish { OkClick, CancelClick, CloseBox, Enter, Escape };

template <typename T> T* child(const QWidget& parent, const char* name)
{
    return parent.findChild<T*>(QString::fromLatin1(name));
}

QPushButton* digitKey(const TTouchSpinPanelWnd& panel, QChar digit)
{
    const int number = digit == QLatin1Char('0') ? 10 : digit.digitValue();
    return panel.findChild<QPushButton*>(QStringLiteral("SpeedButton%1").arg(number));
}

void pressDigits(const TTouchSpinPanelWnd& panel, const QString& digits)
{
    for (const QChar digit : digits)
        QTest::mouseClick(digitKey(panel, digit), Qt::LeftButton);
}

void finish(TTouchSpinPanelWnd& panel, Finish how)
{
    switch (how) {
    case Finish::OkClick:
    case Finish::CancelClick:
        QTest::mouseClick(child<QPushButton>(panel, how == Finish::OkClick ? "BitBtn1" : "BitBtn2"),
            Qt::LeftButton);
        break;
    case Finish::CloseBox:
        // What the window system does for the close box.
        panel.windowHandle()->close();
        break;
    case Finish::Enter:
        QTest::keyClick(panel.windowHandle(), Qt::Key_Return);
        break;
    case Finish::Escape:
        QTest::keyClick(panel.windowHandle(), Qt::Key_Escape);
        break;
    }
}

QString focusName()
{
    const QWidget* holder = QApplication::focusWidget();
    return holder ? holder->objectName() : QStringLiteral("(none)");
}

int keypadCount()
{
    int count = 0;
    for (QWidget* window : QApplication::topLevelWidgets())
        count += qobject_cast<TTouchSpinPanelWnd*>(window) != nullptr;
    return count;
}

// Runs `whileOpen` on the next keypad that opens modally, once it is the active window, while
// the returned guard lives; a keypad still open afterwards is ended with kLeftOpen.
[[nodiscard]] std::unique_ptr<QTimer> answerNextKeypad(
    int& opened, const std::function<void(TTouchSpinPanelWnd&)>& whileOpen)
{
    auto poll = std::make_unique<QTimer>();
    poll->setInterval(5);
    QTimer* timer = poll.get();
    QObject::connect(timer, &QTimer::timeout, timer, [timer, &opened, whileOpen] {
        auto* panel = qobject_cast<TTouchSpinPanelWnd*>(QApplication::activeModalWidget());
        if (!panel || !panel->isActiveWindow())
            return;
        timer->stop();
        ++opened;
        whileOpen(*panel);
        if (panel->isVisible())
            panel->done(kLeftOpen);
    });
    poll->start();
    return poll;
}

// Runs the keypad of `field`: presses `digits` and ends it as `how` says. Returns how many
// keypads opened.
int enterOnKeypad(TTouchSpinEdit& field, const QString& digits, Finish how)
{
    int opened = 0;
    const auto guard = answerNextKeypad(opened, [&](TTouchSpinPanelWnd& panel) {
        pressDigits(panel, digits);
        finish(panel, how);
    });
    field.ShowPanel();
    return opened;
}

// The points-per-sweep field of the parameters dialog, in a shown window of its own.
TTouchSpinEdit* makeNPointsField(QWidget& dialog)
{
    auto* field = new TTouchSpinEdit(&dialog);
    field->setObjectName(QStringLiteral("seNPoints"));
    field->setGeometry(8, 8, 73, 22);
    field->setMaxValue(10000);
    field->setMinValue(10);
    field->setValue(500);
    dialog.show();
    return field;
}

// Shows a keypad of its own modally and returns how exec() ended.
int execWith(TTouchSpinPanelWnd& panel, const std::function<void()>& whileOpen)
{
    int opened = 0;
    const auto guard = answerNextKeypad(opened, [&](TTouchSpinPanelWnd&) { whileOpen(); });
    return panel.exec();
}

} // namespace

class TstTouchSpin : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        m_previousReporter = platform::setFailureReporter([this](std::exception_ptr failure) {
            m_keypadsAtReport = keypadCount();
            try {
                std::rethrow_exception(std::move(failure));
            } catch (const std::exception& e) {
                m_reported.append(QString::fromUtf8(e.what()));
            }
        });
    }
    void cleanupTestCase() { platform::setFailureReporter(m_previousReporter); }
    void init()
    {
        m_reported.clear();
        m_keypadsAtReport = 0;
    }
    void cleanup() { QCOMPARE(keypadCount(), 0); }

    void keypadWindow()
    {
        TTouchSpinPanelWnd panel;
        QCOMPARE(panel.objectName(), QStringLiteral("TouchSpinPanelWnd"));
        QCOMPARE(panel.windowTitle(), QStringLiteral("Сенсорная панель"));
        QCOMPARE(panel.size(), QSize(198, 354));
        QCOMPARE(panel.minimumSize(), panel.maximumSize());
        QCOMPARE(panel.windowFlags(),
            Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
        QCOMPARE(panel.palette().color(QPalette::Window), panel.palette().color(QPalette::Button));
        QCOMPARE(panel.font().family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(panel.font().pixelSize(), 11);
        QVERIFY(panel.valueText().isEmpty());
        QVERIFY(child<QLineEdit>(panel, "EditValue")->isReadOnly());
        QVERIFY(child<QPushButton>(panel, "BitBtn1")->isDefault());
        QVERIFY(!child<QPushButton>(panel, "BitBtn2")->isDefault());

        // It opens where it was placed, not centred; the field holds the focus, and Tab goes
        // on to OK, then Cancel.
        QPoint shownAt;
        QStringList focusChain;
        execWith(panel, [&] {
            shownAt = panel.pos();
            for (int i = 0; i < 3; ++i) {
                focusChain << focusName();
                QTest::keyClick(panel.windowHandle(), Qt::Key_Tab);
            }
        });
        QCOMPARE(shownAt, QPoint(752, 182));
        QCOMPARE(focusChain, QStringList({ "EditValue", "BitBtn1", "BitBtn2" }));
    }

    void keypadControls_data()
    {
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("pixelSize");
        QTest::addColumn<Qt::FocusPolicy>("focusPolicy");
        for (int i = 0; i < 9; ++i)
            QTest::addRow("SpeedButton%d", i + 1) << QRect(i % 3 * 66, i / 3 * 66, 66, 66)
                                                  << QString::number(i + 1) << 37 << Qt::NoFocus;
        QTest::newRow("SpeedButton10")
            << QRect(66, 198, 66, 66) << QStringLiteral("0") << 37 << Qt::NoFocus;
        QTest::newRow("EditValue") << QRect(0, 263, 197, 56) << QString() << 37 << Qt::StrongFocus;
        QTest::newRow("BitBtn1") << QRect(112, 320, 75, 33) << QStringLiteral("OK") << 11
                                 << Qt::StrongFocus;
        QTest::newRow("BitBtn2") << QRect(8, 320, 75, 33) << QStringLiteral("Cancel") << 11
                                 << Qt::StrongFocus;
    }
    void keypadControls()
    {
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        QFETCH(int, pixelSize);
        QFETCH(Qt::FocusPolicy, focusPolicy);
        TTouchSpinPanelWnd panel;
        const auto* control = child<QWidget>(panel, QTest::currentDataTag());
        QVERIFY(control);
        QCOMPARE(control->geometry(), geometry);
        QCOMPARE(control->property("text").toString(), text);
        QCOMPARE(control->font().family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(control->font().pixelSize(), pixelSize);
        QCOMPARE(control->focusPolicy(), focusPolicy);
    }

    void digitsAppendAndKeepTheFocusInTheField()
    {
        TTouchSpinPanelWnd panel;
        QStringList seen;
        QStringList focus;
        execWith(panel, [&] {
            for (const QChar digit : QStringLiteral("1234567890007")) {
                pressDigits(panel, digit);
                seen << panel.valueText();
                focus << focusName();
            }
        });
        QCOMPARE(seen.last(), QStringLiteral("1234567890007"));
        QCOMPARE(seen.at(2), QStringLiteral("123"));
        QCOMPARE(focus, QStringList(13, QStringLiteral("EditValue")));
    }

    void keypadKeys_data()
    {
        QTest::addColumn<Finish>("how");
        QTest::addColumn<int>("result");
        QTest::newRow("Enter") << Finish::Enter << int(QDialog::Accepted);
        QTest::newRow("OK") << Finish::OkClick << int(QDialog::Accepted);
        QTest::newRow("Escape") << Finish::Escape << int(QDialog::Rejected);
        QTest::newRow("Cancel") << Finish::CancelClick << int(QDialog::Rejected);
        QTest::newRow("close box") << Finish::CloseBox << int(QDialog::Rejected);
    }
    void keypadKeys()
    {
        QFETCH(Finish, how);
        QFETCH(int, result);
        TTouchSpinPanelWnd panel;
        QString typedOver;
        const int ended = execWith(panel, [&] {
            pressDigits(panel, QStringLiteral("5"));
            // Nothing typed reaches the field: no digit, sign, letter, nor a deleting key.
            QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("12-a ."));
            for (const Qt::Key key : { Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Left })
                QTest::keyClick(panel.windowHandle(), key);
            QTest::keyClick(panel.windowHandle(), Qt::Key_V, Qt::ControlModifier);
            typedOver = panel.valueText();
            finish(panel, how);
        });
        QCOMPARE(typedOver, QStringLiteral("5"));
        QCOMPARE(ended, result);
        QCOMPARE(panel.valueText(), QStringLiteral("5"));
    }

    void doubleClickOpensAnEmptyKeypadEachTime()
    {
        QWidget dialog;
        auto* seNPoints = makeNPointsField(dialog);
        for (const QString& digits : { QStringLiteral("250"), QStringLiteral("77") }) {
            int opened = 0;
            QString startText = QStringLiteral("not seen");
            bool modal = false;
            const auto guard = answerNextKeypad(opened, [&](TTouchSpinPanelWnd& panel) {
                startText = panel.valueText();
                modal = panel.isModal() && panel.parentWidget() == nullptr;
                pressDigits(panel, digits);
                finish(panel, Finish::OkClick);
            });
            QTest::mouseDClick(seNPoints, Qt::LeftButton);
            QCOMPARE(opened, 1);
            QCOMPARE(startText, QString());
            QVERIFY(modal);
            QCOMPARE(seNPoints->Value(), digits.toInt());
            QCOMPARE(keypadCount(), 0);
        }
    }

    // The other buttons' double clicks are no double click of the field.
    void onlyTheLeftButtonOpensTheKeypad_data()
    {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<int>("opened");
        QTest::newRow("left") << Qt::LeftButton << 1;
        QTest::newRow("right") << Qt::RightButton << 0;
        QTest::newRow("middle") << Qt::MiddleButton << 0;
    }
    void onlyTheLeftButtonOpensTheKeypad()
    {
        QFETCH(Qt::MouseButton, button);
        QFETCH(int, opened);
        QWidget dialog;
        auto* seNPoints = makeNPointsField(dialog);
        int seen = 0;
        {
            const auto guard = answerNextKeypad(seen, [](TTouchSpinPanelWnd& panel) {
                pressDigits(panel, QStringLiteral("25"));
                finish(panel, Finish::OkClick);
            });
            QTest::mouseDClick(seNPoints, button, {}, QPoint(10, 10));
            // A right click's menu is no keypad; it goes before the next row.
            if (QWidget* popup = QApplication::activePopupWidget())
                popup->close();
        }
        QCOMPARE(seen, opened);
        QCOMPARE(seNPoints->text(), opened ? QStringLiteral("25") : QStringLiteral("500"));
    }

    void keypadResult_data()
    {
        QTest::addColumn<QString>("digits");
        QTest::addColumn<Finish>("how");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("error");
        const QString none;
        const auto row = [](const char* name, const char* digits, Finish how,
                             const char* shown) -> QTestData& {
            return QTest::newRow(name)
                << QString::fromLatin1(digits) << how << QString::fromLatin1(shown);
        };
        row("250 OK", "250", Finish::OkClick, "250") << none;
        row("nothing OK", "", Finish::OkClick, "500") << none;
        row("7 Cancel", "7", Finish::CancelClick, "500") << none;
        row("7 close box", "7", Finish::CloseBox, "500") << none;
        row("005 below the range", "005", Finish::OkClick, "10") << none;
        row("123456 above the range", "123456", Finish::OkClick, "10000") << none;
        row("2147483647", "2147483647", Finish::OkClick, "10000") << none;
        row("leading zeros", "000000000000250", Finish::OkClick, "250") << none;
        row("2147483648", "2147483648", Finish::OkClick, "500")
            << QStringLiteral("'2147483648' is not a valid integer value");
        row("eleven nines", "99999999999", Finish::OkClick, "500")
            << QStringLiteral("'99999999999' is not a valid integer value");
        row("eleven nines Cancel", "99999999999", Finish::CancelClick, "500") << none;
    }
    void keypadResult()
    {
        QFETCH(QString, digits);
        QFETCH(Finish, how);
        QFETCH(QString, shown);
        QFETCH(QString, error);
        QWidget dialog;
        auto* seNPoints = makeNPointsField(dialog);
        QCOMPARE(enterOnKeypad(*seNPoints, digits, how), 1);
        QCOMPARE(seNPoints->text(), shown);
        QCOMPARE(m_reported, error.isEmpty() ? QStringList() : QStringList(error));
        QCOMPARE(m_keypadsAtReport, 0); // the keypad is gone before a failure is shown
    }

    void defaultReporterOnlyWarns()
    {
        const auto installed = platform::setFailureReporter({});
        QWidget dialog;
        auto* seNPoints = makeNPointsField(dialog);
        QTest::ignoreMessage(QtWarningMsg, "Failure: '99999999999' is not a valid integer value");
        const int opened
            = enterOnKeypad(*seNPoints, QStringLiteral("99999999999"), Finish::OkClick);
        platform::setFailureReporter(installed);
        QCOMPARE(opened, 1);
        QCOMPARE(seNPoints->text(), QStringLiteral("500"));
    }

private:
    platform::FailureReporter m_previousReporter;
    QStringList m_reported;
    int m_keypadsAtReport = 0;
};

QTEST_MAIN(TstTouchSpin)
#include "tst_touchspin.moc"
